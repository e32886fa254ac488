// Where the player identity comes from on Windows: the game's command line and the SA-MP
// launcher's registry value.
#pragma once

#include <string>
#include <vector>

namespace hm {

// CommandLineToArgvW(GetCommandLineW()) without the program name.
std::vector<std::wstring> GameCommandLineArgs();

// PlayerName under HKEY_CURRENT_USER\Software\SAMP (at most 63 characters); empty when missing,
// not a string or longer.
std::wstring RegistryPlayerName();

// The start-up gate on the game's own command line.
bool IsOnCommunityServer();

}  // namespace hm
