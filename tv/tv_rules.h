// The TV controller's decisions that need no Windows: the TV state answer, the page address,
// the shared-memory names, the start failure texts and the screen colour rule.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "net/api_types.h"

namespace hm {

constexpr int kMaxTvScreenId = 32767;
constexpr int kMaxWorldTvScreenId = 30000;  // 30001.. name only the in-vehicle screen

// The screen a /tv/state answer turns on, or 0 for "stop the TV": status 200 and a body that
// starts with the word "TV" and an integer 1..32767, on the same line or the next.
int ParseTvState(int status, std::string_view body);

// "https://" + host + (":" + port unless 443) + base path + "/tv/player#" + token.
// The token travels only in the fragment, so it never reaches a server log.
std::wstring BuildTvPageUrl(const ApiClient& client, std::string_view token);
// The news video's page: the computer adds "&news=" + id to the TV page.
std::wstring BuildNewsPageUrl(const ApiClient& client, std::string_view token, std::string_view news_id);

// "Local\HMMedia-TV-" + process id + GUID in registry format; the mutex adds "-lock".
std::wstring TvMappingName(std::uint32_t process_id, std::wstring_view guid);
std::wstring TvMutexName(std::wstring_view mapping_name);

// Failure texts of StartBrowserHelper, shown as "HM Plugin: " + text.
std::string HelperEndedText(std::uint32_t exit_code);
std::string HelperNotStartedText(std::uint32_t last_error);
extern const char* const kTvUrlTooLongText;
extern const char* const kTvMappingFailedText;
extern const char* const kTvViewFailedText;
extern const char* const kTvMutexFailedText;
extern const char* const kHelperMissingText;
extern const char* const kHelperIncompleteText;
extern const char* const kTvJobFailedText;
extern const char* const kTvJobAssignmentFailedText;
extern const char* const kTvUnknownFailureText;  // an error without a message

// The helper's program and the files the framework needs beside it, in the order checked.
struct HelperPlace {
    const wchar_t* folder;
    const wchar_t* program;
};
constexpr std::array<HelperPlace, 2> kHelperPlaces{{{L"HM_PluginBrowser", L"HM_PluginBrowser.exe"},
                                                    {L"HMMediaBrowser", L"HMMediaBrowser.exe"}}};
constexpr std::array<const wchar_t*, 5> kHelperRuntimeFiles{
    L"libcef.dll", L"chrome_elf.dll", L"icudtl.dat", L"resources.pak", L"v8_context_snapshot.bin"};

// "<helper>" "<mapping>": the helper's whole command line.
std::wstring HelperCommandLine(std::wstring_view helper_path, std::wstring_view mapping_name);

// ScreenTextureId's colour rule: 0 no screen, 1..32767 a TV screen, 65536..65546 a special
// surface. Colours are 0x00RRGGBB (alpha ignored).
constexpr int kFirstSpecialScreenId = 65536;
int ScreenIdOfColour(std::uint32_t rgb);
// The nine samples at (x, y), x and y from {4, 16, 28}, of a 32 x 32 level: all equal or 0.
constexpr std::array<int, 3> kScreenSamplePositions{4, 16, 28};
int ScreenIdOfSamples(const std::array<std::uint32_t, 9>& samples);
// Same rule over a locked 32 x 32 level of 32-bit pixels with `pitch` bytes a row.
int ScreenIdOfLevel(const std::uint8_t* bits, std::size_t pitch);

// The frame upload's copy: 540 rows of 3840 bytes into a texture level of `pitch` bytes a row.
void CopyTvFrame(const std::uint8_t* frame, std::uint8_t* level, std::size_t pitch);

}  // namespace hm
