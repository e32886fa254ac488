// PluginConfig: the keys of section HM_Plugin in HM_Plugin.ini, read once at start (except
// AutoDownloadUpdates, which the release check re-reads). Values come through an IniReader so
// the rules run anywhere; the plugin's reader wraps GetPrivateProfileStringW (config_win.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace hm {

constexpr std::size_t kApiUrlMaxChars = 2047;
constexpr std::size_t kPlayerNameMaxChars = 63;
constexpr std::uint16_t kDefaultGameServerPort = 27017;

struct PluginConfig {
    bool enabled = false;
    std::wstring api_url;  // exactly as read; also the remembered device's entropy
    bool allow_local_http = false;
    int voice_volume = 80;
    bool voice = true;
    int npc_voice_volume = 75;
    bool npc_voices = true;
    bool cockpit_camera = true;
    bool television = false;
    bool auto_connect = false;
    bool auto_download_updates = true;
    std::uint16_t game_server_port = kDefaultGameServerPort;
    std::wstring player_name;  // last fallback of the player name
};

// Returns the value of `key`, cut to at most `maxChars` characters; empty when the key or the
// file is missing (the profile API does not tell the two apart).
using IniReader = std::function<std::wstring(const wchar_t* key, std::size_t maxChars)>;

// Profile-integer semantics of GetPrivateProfileIntW: an empty value gives `defaultValue`;
// otherwise leading spaces, an optional sign and the leading decimal digits, wrapping modulo
// 2^32 like the system does; no digits at all gives 0. Only the first 29 characters count.
int ProfileInt(std::wstring_view value, int defaultValue);

// GameServerPort rule: any value outside 1..65535 becomes 27017.
std::uint16_t PortOrDefault(long long value);

bool ReadEnabled(const IniReader& ini);
// Reads every key (Enabled included) with its default.
PluginConfig ReadPluginConfig(const IniReader& ini);
// The release check's re-read.
bool ReadAutoDownloadUpdates(const IniReader& ini);

// Folders under the local application data folder.
std::wstring PhotosFolderIn(std::wstring_view localAppData);  // ...\Hollowmarsh\HMMedia\Photos
std::wstring DeviceFileIn(std::wstring_view localAppData);    // ...\Hollowmarsh\HMMedia\device.bin
// HM_Plugin.ini in the folder of the given module file name.
std::wstring IniPathBeside(std::wstring_view moduleFileName);

}  // namespace hm
