#include "tv/browser_rules.h"

#include <limits>

#include "tv/frame_block.h"

namespace hm {

namespace {

bool StartsWith(std::u16string_view s, std::u16string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

constexpr std::u16string_view kMappingPrefix = u"Local\\HMMedia-TV-";
static_assert(kMappingPrefix.size() == kTvMappingPrefixChars);

}  // namespace

const char16_t* const kSelftestPage =
    u"data:text/html,<html><body style='margin:0;background:rgb(20,100,180)'><script>setInterval(()=>"
    u"document.body.style.opacity='1',30)</script></body></html>";

HelperArgs ParseHelperArgs(const std::vector<std::u16string>& args) {
    HelperArgs out;
    if (args.size() != 2 && args.size() != 3) {
        out.exit_code = kHelperExitArguments;
        return out;
    }
    if (args.size() == 3) {
        if (args[2] == u"--selftest")
            out.selftest = true;
        else if (args[2] == u"--local-test")
            out.local_test = true;
        else {
            out.exit_code = kHelperExitArguments;
            return out;
        }
    }
    const std::u16string& name = args[1];
    if (name.size() < 17 || name.size() > 120 || !StartsWith(name, kMappingPrefix)) {
        out.exit_code = kHelperExitMappingName;
        return out;
    }
    out.mapping_name = name;
    return out;
}

std::u16string AcceptedPageUrl(const char16_t* field, std::size_t field_chars, bool local_test) {
    std::size_t n = 0;
    while (n < field_chars && field[n] != 0) ++n;
    const std::u16string_view url(field, n);
    const bool secure = StartsWith(url, u"https://");
    const bool loopback = local_test && StartsWith(url, u"http://127.0.0.1:");
    if (!secure && !loopback) return {};
    if (url.size() < 11) return {};
    if (url.find(u"/tv/player#") == std::u16string_view::npos) return {};
    return std::u16string(url);
}

std::u16string AllowedPageAddress(std::u16string_view url) { return std::u16string(url.substr(0, url.find(u'#'))); }

bool NavigationAllowed(std::u16string_view url, std::u16string_view allowed, bool main_frame) {
    if (!main_frame) return true;
    return url.substr(0, url.find(u'#')) == allowed;
}

std::uint32_t PageStatusOfTitle(std::u16string_view title) {
    if (title == u"HMMedia:playing") return kTvStatusPlaying;
    if (title == u"HMMedia:paused") return kTvStatusPaused;
    constexpr std::u16string_view prefix = u"HMMedia:error:";
    if (title.size() > 13 && StartsWith(title, prefix)) {
        const std::u16string_view digits = title.substr(prefix.size());
        // 1000 + n must stay a 32-bit status: a larger n would wrap into "playing" or "paused".
        constexpr std::uint64_t kMaxN = std::numeric_limits<std::uint32_t>::max() - kTvStatusErrorBase;
        std::uint64_t n = 0;
        bool numeric = !digits.empty();
        for (char16_t c : digits) {
            if (c < u'0' || c > u'9') {
                numeric = false;
                break;
            }
            n = n * 10 + static_cast<std::uint64_t>(c - u'0');
            if (n > kMaxN) {
                numeric = false;
                break;
            }
        }
        return kTvStatusErrorBase + (numeric ? static_cast<std::uint32_t>(n) : 0u);
    }
    return kTvStatusNone;
}

bool ShouldCloseBrowser(std::uint32_t close_request, std::uint64_t now, std::uint64_t heartbeat) {
    if (close_request != 0) return true;
    return now > heartbeat && now - heartbeat > kHeartbeatLimitMs;
}

bool PaintCopied(bool main_view, int width, int height, const void* buffer) {
    return main_view && buffer != nullptr && width == static_cast<int>(kTvFrameWidth) &&
           height == static_cast<int>(kTvFrameHeight);
}

}  // namespace hm
