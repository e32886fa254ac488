#include "core/identity.h"

#include <cstdlib>
#include <cstring>

#include "core/config.h"
#include "base/text1250.h"

#ifndef HM_COMMUNITY_SERVER
#define HM_COMMUNITY_SERVER "play.hollowmarsh-rp.cz"
#endif

namespace hm {

namespace {
#define HM_WIDEN2(x) L##x
#define HM_WIDEN(x) HM_WIDEN2(x)
constexpr const wchar_t* kCommunityServer = HM_WIDEN(HM_COMMUNITY_SERVER);

bool IsValueSwitch(const std::wstring& a) {
    return a == L"-n" || a == L"/n" || a == L"-p" || a == L"/p" || a == L"-z" || a == L"/z";
}

bool IsHostSwitch(const std::wstring& a) {
    return a.size() >= 2 && (a[0] == L'-' || a[0] == L'/') && a[1] == L'h';
}

bool IsNameByte(unsigned char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    return c != 0 && std::strchr("_.$[]()=", c) != nullptr;
}
}  // namespace

const wchar_t* CommunityServerAddress() { return kCommunityServer; }

bool IsCommunityServerCommandLine(const std::vector<std::wstring>& args, std::wstring_view server) {
    bool matched = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::wstring& a = args[i];
        if (IsValueSwitch(a)) {
            ++i;
        } else if (IsHostSwitch(a)) {
            std::wstring_view host;
            if (a.size() >= 3) {
                host = std::wstring_view(a).substr(2);
            } else if (i + 1 < args.size()) {
                host = args[++i];
            }
            if (host != server) return false;
            matched = true;
        }
    }
    return matched;
}

SwitchValue FindSwitchValue(const std::vector<std::wstring>& args, wchar_t letter) {
    SwitchValue result;
    const std::wstring dash{L'-', letter}, slash{L'/', letter};
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::wstring& a = args[i];
        if (a == dash || a == slash) {
            if (i + 1 < args.size()) {
                result.found = true;
                result.value = args[++i];
            }
        } else if (IsValueSwitch(a) || a == L"-h" || a == L"/h") {
            ++i;  // another switch's value is never read as a switch
        } else if (a.size() > 2 && a.compare(0, 2, dash) == 0) {
            result.found = true;
            result.value = a.substr(2);
        }
    }
    return result;
}

std::uint16_t PortFromText(std::wstring_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == L' ' || text[i] == L'\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
    long long value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        value = value * 10 + (text[i] - L'0');
        if (value > 65535) return kDefaultGameServerPort;  // no wrap-around into range
    }
    return PortOrDefault(negative ? -value : value);
}

std::string ValidPlayerName(std::wstring_view name) {
    if (name.size() < 3 || name.size() > 24) return {};
    std::string narrow = WideToCp1250(name);
    for (unsigned char c : narrow)
        if (!IsNameByte(c)) return {};
    return narrow;
}

PlayerIdentity ResolvePlayerIdentity(const std::vector<std::wstring>& args, std::uint16_t iniPort,
                                     std::wstring_view registryName, std::wstring_view iniName) {
    PlayerIdentity id;
    id.port = PortOrDefault(iniPort);
    const SwitchValue port = FindSwitchValue(args, L'p');
    if (port.found) id.port = PortFromText(port.value);
    const SwitchValue name = FindSwitchValue(args, L'n');
    std::wstring_view chosen = name.value;
    if (chosen.empty()) chosen = registryName;
    if (chosen.empty()) chosen = iniName;
    id.name = ValidPlayerName(chosen);
    return id;
}

int FuzzCommandLineWalk(const std::uint8_t* data, std::size_t size) {
    std::vector<std::wstring> args(1);
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const wchar_t unit = wchar_t(data[i] | (data[i + 1] << 8));
        if (unit == 0) {
            args.emplace_back();
        } else {
            args.back().push_back(unit);
        }
    }
    const PlayerIdentity id = ResolvePlayerIdentity(args, 7777, L"", L"");
    (void)IsCommunityServerCommandLine(args, CommunityServerAddress());
    if (id.port == 0 || (!id.name.empty() && (id.name.size() < 3 || id.name.size() > 24))) std::abort();
    return 0;
}

}  // namespace hm
