#include "core/config_win.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <utility>
#include <vector>

#include "base/win_api_failure.h"

namespace hm {

std::wstring ModuleFileName(HMODULE module) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(module, path.data(), DWORD(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        if (path.size() >= 32768) return {};
        path.resize(path.size() * 2);
    }
}

std::wstring OwnModuleFileName() {
    HMODULE self = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&OwnModuleFileName), &self))
        self = nullptr;
    return ModuleFileName(self);
}

IniReader ProfileIniReader(std::wstring iniPath) {
    return [path = std::move(iniPath)](const wchar_t* key, std::size_t maxChars) {
        std::vector<wchar_t> buffer(maxChars + 1, L'\0');
        const DWORD n = GetPrivateProfileStringW(L"HM_Plugin", key, L"", buffer.data(), DWORD(buffer.size()), path.c_str());
        return std::wstring(buffer.data(), n);
    };
}

std::wstring LocalAppDataFolder() {
    PWSTR folder = nullptr;
    const HRESULT hr = SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &folder);
    if (FAILED(hr)) {
        CoTaskMemFree(folder);
        throw WinApiFailure(1101, std::uint32_t(hr));
    }
    std::wstring result(folder);
    CoTaskMemFree(folder);
    return result;
}

}  // namespace hm
