#include "core/identity_win.h"

#include <windows.h>
#include <shellapi.h>

#include "core/config.h"
#include "core/identity.h"

namespace hm {

std::vector<std::wstring> GameCommandLineArgs() {
    std::vector<std::wstring> args;
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!argv) return args;
    for (int i = 1; i < count; ++i) args.emplace_back(argv[i]);
    LocalFree(argv);
    return args;
}

std::wstring RegistryPlayerName() {
    wchar_t buffer[kPlayerNameMaxChars + 1] = {};
    DWORD bytes = sizeof buffer;
    const LSTATUS rc = RegGetValueW(HKEY_CURRENT_USER, L"Software\\SAMP", L"PlayerName", RRF_RT_REG_SZ, nullptr,
                                    buffer, &bytes);
    if (rc != ERROR_SUCCESS) return {};
    buffer[kPlayerNameMaxChars] = L'\0';
    return buffer;
}

bool IsOnCommunityServer() { return IsCommunityServerCommandLine(GameCommandLineArgs(), CommunityServerAddress()); }

}  // namespace hm
