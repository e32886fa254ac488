#include "tv/tv_rules.h"

#include <cstring>

#include "tv/frame_block.h"

namespace hm {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

std::wstring Widen(std::string_view s) { return std::wstring(s.begin(), s.end()); }

std::string Hex(std::uint32_t v) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    do {
        out.insert(out.begin(), digits[v & 15]);
        v >>= 4;
    } while (v);
    return out;
}

}  // namespace

int ParseTvState(int status, std::string_view body) {
    if (status != 200) return 0;
    std::size_t i = 0;
    while (i < body.size() && IsSpace(body[i])) ++i;
    if (body.substr(i, 2) != "TV") return 0;
    i += 2;
    // Between the word and the number: blanks and at most one line end.
    std::size_t gap_start = i;
    int line_ends = 0;
    while (i < body.size() && IsSpace(body[i])) {
        if (body[i] == '\n') ++line_ends;
        ++i;
    }
    if (i == gap_start || line_ends > 1) return 0;
    long value = 0;
    std::size_t digits = 0;
    while (i < body.size() && body[i] >= '0' && body[i] <= '9') {
        // Anything past six digits is out of range whatever follows; stop before it overflows.
        if (++digits > 6) return 0;
        value = value * 10 + (body[i] - '0');
        ++i;
    }
    if (digits == 0) return 0;
    if (i < body.size() && !IsSpace(body[i])) return 0;
    if (value < 1 || value > kMaxTvScreenId) return 0;
    return static_cast<int>(value);
}

std::wstring BuildTvPageUrl(const ApiClient& client, std::string_view token) {
    std::wstring url = L"https://" + client.host;
    if (client.port != 443) url += L":" + std::to_wstring(client.port);
    url += client.base_path + L"/tv/player#" + Widen(token);
    return url;
}

std::wstring BuildNewsPageUrl(const ApiClient& client, std::string_view token, std::string_view news_id) {
    return BuildTvPageUrl(client, token) + L"&news=" + Widen(news_id);
}

std::wstring TvMappingName(std::uint32_t process_id, std::wstring_view guid) {
    return std::wstring(kTvMappingPrefix) + std::to_wstring(process_id) + std::wstring(guid);
}

std::wstring TvMutexName(std::wstring_view mapping_name) { return std::wstring(mapping_name) + kTvMutexSuffix; }

std::string HelperEndedText(std::uint32_t exit_code) {
    return "Prehravac skoncil (kod 0x" + Hex(exit_code) + "). Spust ZKONTROLOVAT.cmd.";
}

std::string HelperNotStartedText(std::uint32_t last_error) {
    return "Prehravac nelze spustit (Windows " + std::to_string(last_error) + "). Spust ZKONTROLOVAT.cmd.";
}

const char* const kTvUrlTooLongText = "TV URL too long";
const char* const kTvMappingFailedText = "TV mapping failed";
const char* const kTvViewFailedText = "TV mapping view failed";
const char* const kTvMutexFailedText = "TV mutex failed";
const char* const kHelperMissingText = "Chybi HM_PluginBrowser.exe vedle hry. Spust INSTALOVAT.cmd z kompletniho ZIPu.";
const char* const kHelperIncompleteText = "Neuplna slozka HM_PluginBrowser. Znovu nainstaluj kompletni ZIP.";
const char* const kTvJobFailedText = "TV job failed";
const char* const kTvJobAssignmentFailedText = "TV job assignment failed";
const char* const kTvUnknownFailureText = "chyba prehravace. Spust ZKONTROLOVAT.cmd.";

std::wstring HelperCommandLine(std::wstring_view helper_path, std::wstring_view mapping_name) {
    return L"\"" + std::wstring(helper_path) + L"\" \"" + std::wstring(mapping_name) + L"\"";
}

int ScreenIdOfColour(std::uint32_t rgb) {
    const int r = (rgb >> 16) & 0xff, g = (rgb >> 8) & 0xff, b = rgb & 0xff;
    const auto tv = [](int c) { return c >= 8 && c <= 39; };
    if (tv(r) && tv(g) && tv(b)) return ((r - 8) << 10) | ((g - 8) << 5) | (b - 8);
    if (r == 168 && g == 37 && b >= 47 && b <= 57) return kFirstSpecialScreenId + (b - 47);
    return 0;
}

int ScreenIdOfSamples(const std::array<std::uint32_t, 9>& samples) {
    const std::uint32_t first = samples[0] & 0xffffff;
    for (std::uint32_t s : samples)
        if ((s & 0xffffff) != first) return 0;
    return ScreenIdOfColour(first);
}

int ScreenIdOfLevel(const std::uint8_t* bits, std::size_t pitch) {
    std::array<std::uint32_t, 9> samples{};
    std::size_t k = 0;
    for (int y : kScreenSamplePositions)
        for (int x : kScreenSamplePositions) {
            std::uint32_t px;
            std::memcpy(&px, bits + static_cast<std::size_t>(y) * pitch + static_cast<std::size_t>(x) * 4, 4);
            samples[k++] = px;
        }
    return ScreenIdOfSamples(samples);
}

void CopyTvFrame(const std::uint8_t* frame, std::uint8_t* level, std::size_t pitch) {
    for (std::size_t y = 0; y < kTvFrameHeight; ++y) std::memcpy(level + y * pitch, frame + y * kTvFrameRowBytes, kTvFrameRowBytes);
}

}  // namespace hm
