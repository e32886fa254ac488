// The browser helper's decisions, kept portable so they are tested and fuzzed natively: its
// command line, the page address it accepts, what it lets the page navigate to, the page
// status told by titles, when it closes, and which paints it copies.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace hm {

// Exit codes of HM_PluginBrowser (besides cef_execute_process's own value).
enum HelperExit : int {
    kHelperExitOk = 0,
    kHelperExitArguments = 2,
    kHelperExitMappingName = 3,
    kHelperExitOpen = 4,
    kHelperExitBlock = 5,
    kHelperExitUrl = 6,
    kHelperExitInitialize = 7,
    kHelperExitBrowser = 8,
    kHelperExitCache = 9,
};

struct HelperArgs {
    int exit_code = kHelperExitOk;  // nonzero: refuse with it
    std::u16string mapping_name;
    bool selftest = false;    // "--selftest": the built-in page instead of the block's URL
    bool local_test = false;  // "--local-test": also http://127.0.0.1:<port>
};
// args as CommandLineToArgvW splits them, the program name first.
HelperArgs ParseHelperArgs(const std::vector<std::u16string>& args);

// The page to load from the block's URL field (chars, at most `field_chars` read, up to the first
// NUL); empty when it is not acceptable (exit 6).
std::u16string AcceptedPageUrl(const char16_t* field, std::size_t field_chars, bool local_test);
extern const char16_t* const kSelftestPage;
// The address the main frame may show: the URL up to its first "#".
std::u16string AllowedPageAddress(std::u16string_view url);
// Sub-frames go anywhere; the main frame only to its own address (the fragment may change).
bool NavigationAllowed(std::u16string_view url, std::u16string_view allowed, bool main_frame);

// Page status from a document title: 1 playing, 2 paused, 1000 + n for "HMMedia:error:n", else 0.
std::uint32_t PageStatusOfTitle(std::u16string_view title);

constexpr std::uint64_t kHeartbeatLimitMs = 8000;
// The helper closes when the plugin asks or its heartbeat is more than 8000 ms old; a heartbeat
// ahead of the helper's clock is fresh.
bool ShouldCloseBrowser(std::uint32_t close_request, std::uint64_t now, std::uint64_t heartbeat);

// Only the main view's 960 x 540 paints with pixels are copied.
bool PaintCopied(bool main_view, int width, int height, const void* buffer);

constexpr int kHelperFrameRate = 30;
constexpr const char* kAutoplaySwitch = "autoplay-policy";
constexpr const char* kAutoplayValue = "no-user-gesture-required";
constexpr int kCacheRemovalAttempts = 10;

}  // namespace hm
