// The game's command line and the player identity: the start-up gate (is the game connecting
// to the community's server?) and the PlayerIdentity rules. Arguments are the game's
// CommandLineToArgvW result without the program name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/shared_state.h"

namespace hm {

// The community game server's address the gate compares host switches with (build-time
// constant HM_COMMUNITY_SERVER, see core/CMakeLists.txt).
const wchar_t* CommunityServerAddress();

// The gate's walk: -n /n -p /p -z /z skip their value; every -h or /h names a host (glued
// when the argument has 3 or more characters, else the next argument); every host must equal
// `server` exactly and at least one must be present.
bool IsCommunityServerCommandLine(const std::vector<std::wstring>& args, std::wstring_view server);

// Values of the -p and -n switches: "-p 7777", "/p 7777" or "-p7777" (glued only with the
// dash); the last occurrence wins. `found` tells a switch without a value from no switch.
struct SwitchValue {
    bool found = false;
    std::wstring value;
};
SwitchValue FindSwitchValue(const std::vector<std::wstring>& args, wchar_t letter);

// Leading decimal digits (after an optional sign) as a port; outside 1..65535 gives 27017.
std::uint16_t PortFromText(std::wstring_view text);

// Name rule: converted to code page 1250, kept when it has 3..24 bytes, each an ASCII letter,
// digit or one of "_.$[]()="; otherwise empty.
std::string ValidPlayerName(std::wstring_view name);

// Port: INI value, overridden by -p. Name: -n, else the registry's PlayerName, else the INI's.
PlayerIdentity ResolvePlayerIdentity(const std::vector<std::wstring>& args, std::uint16_t iniPort,
                                     std::wstring_view registryName, std::wstring_view iniName);

// libFuzzer-ready: the bytes are UTF-16LE arguments separated by zero units.
int FuzzCommandLineWalk(const std::uint8_t* data, std::size_t size);

}  // namespace hm
