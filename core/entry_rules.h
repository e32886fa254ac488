// Decisions of the library entry that do not need Windows.
#pragma once

#include <string_view>

namespace hm {

// True when the host executable path names the game: its file name (after the last
// backslash or slash) is gta_sa.exe or gta-sa.exe, ignoring case.
bool IsGameExecutable(std::wstring_view hostPath);

}  // namespace hm
