#include "core/config.h"

namespace hm {

namespace {
// GetPrivateProfileIntW reads the value into a 30-character buffer.
constexpr std::size_t kProfileIntChars = 29;

bool IsSpace(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\f' || c == L'\v'; }

bool Flag(const IniReader& ini, const wchar_t* key, int defaultValue) {
    return ProfileInt(ini(key, kProfileIntChars), defaultValue) != 0;
}
int Integer(const IniReader& ini, const wchar_t* key, int defaultValue) {
    return ProfileInt(ini(key, kProfileIntChars), defaultValue);
}
}  // namespace

int ProfileInt(std::wstring_view value, int defaultValue) {
    if (value.size() > kProfileIntChars) value = value.substr(0, kProfileIntChars);
    if (value.empty()) return defaultValue;
    std::size_t i = 0;
    while (i < value.size() && IsSpace(value[i])) ++i;
    bool negative = false;
    if (i < value.size() && (value[i] == L'+' || value[i] == L'-')) {
        negative = value[i] == L'-';
        ++i;
    }
    std::uint32_t result = 0;
    for (; i < value.size() && value[i] >= L'0' && value[i] <= L'9'; ++i)
        result = result * 10u + std::uint32_t(value[i] - L'0');
    if (negative) result = 0u - result;
    return static_cast<int>(result);
}

std::uint16_t PortOrDefault(long long value) {
    return (value >= 1 && value <= 65535) ? std::uint16_t(value) : kDefaultGameServerPort;
}

bool ReadEnabled(const IniReader& ini) { return Flag(ini, L"Enabled", 0); }

bool ReadAutoDownloadUpdates(const IniReader& ini) { return Flag(ini, L"AutoDownloadUpdates", 1); }

PluginConfig ReadPluginConfig(const IniReader& ini) {
    PluginConfig c;
    c.enabled = ReadEnabled(ini);
    c.api_url = ini(L"ApiUrl", kApiUrlMaxChars);
    c.allow_local_http = Flag(ini, L"AllowLocalHttp", 0);
    c.voice_volume = Integer(ini, L"VoiceVolume", 80);
    c.voice = Flag(ini, L"Voice", 1);
    c.npc_voice_volume = Integer(ini, L"NPCVoiceVolume", 75);
    c.npc_voices = Flag(ini, L"NPCVoices", 1);
    c.cockpit_camera = Flag(ini, L"CockpitCamera", 1);
    c.television = Flag(ini, L"Television", 0);
    c.auto_connect = Flag(ini, L"AutoConnect", 0);
    c.auto_download_updates = ReadAutoDownloadUpdates(ini);
    c.game_server_port = PortOrDefault(Integer(ini, L"GameServerPort", kDefaultGameServerPort));
    c.player_name = ini(L"PlayerName", kPlayerNameMaxChars);
    return c;
}

std::wstring PhotosFolderIn(std::wstring_view localAppData) {
    return std::wstring(localAppData) + L"\\Hollowmarsh\\HMMedia\\Photos";
}

std::wstring DeviceFileIn(std::wstring_view localAppData) {
    return std::wstring(localAppData) + L"\\Hollowmarsh\\HMMedia\\device.bin";
}

std::wstring IniPathBeside(std::wstring_view moduleFileName) {
    const auto slash = moduleFileName.find_last_of(L"\\/");
    const std::wstring_view folder =
        slash == std::wstring_view::npos ? std::wstring_view() : moduleFileName.substr(0, slash + 1);
    return std::wstring(folder) + L"HM_Plugin.ini";
}

}  // namespace hm
