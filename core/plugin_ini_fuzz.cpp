// libFuzzer target over HM_Plugin.ini as the plugin reads it: "Key=Value" lines in code page
// 1250 (what the profile API gives an ANSI file), every key through the same rules as at start.
// Checks the ranges the rest of the plugin relies on.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>

#include "base/text1250.h"
#include "core/config.h"
#include "core/identity.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring text = hm::Cp1250ToWide(std::string(reinterpret_cast<const char*>(data), size));
    std::map<std::wstring, std::wstring> keys;
    std::size_t at = 0;
    while (at <= text.size()) {
        std::size_t end = text.find(L'\n', at);
        if (end == std::wstring::npos) end = text.size();
        const std::wstring line = text.substr(at, end - at);
        const std::size_t eq = line.find(L'=');
        if (eq != std::wstring::npos) keys.emplace(line.substr(0, eq), line.substr(eq + 1));
        at = end + 1;
    }
    const hm::IniReader ini = [&](const wchar_t* key, std::size_t maxChars) {
        const auto it = keys.find(key);
        return it == keys.end() ? std::wstring() : it->second.substr(0, maxChars);
    };
    const hm::PluginConfig c = hm::ReadPluginConfig(ini);
    if (c.api_url.size() > hm::kApiUrlMaxChars || c.player_name.size() > hm::kPlayerNameMaxChars) std::abort();
    if (c.game_server_port == 0) std::abort();
    // A name that passed is valid as it stands.
    const std::string name = hm::ValidPlayerName(c.player_name);
    if (!name.empty() && hm::ValidPlayerName(hm::Cp1250ToWide(name)) != name) std::abort();
    for (const auto& kv : keys) (void)hm::ProfileInt(kv.second, 7);
    return 0;
}
