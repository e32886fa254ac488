// The 64-bit helper starts under 64-bit Wine and answers through its exit code.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

DWORD RunHelper(const std::wstring& args) {
    wchar_t self[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring exe(self, n);
    exe = exe.substr(0, exe.find_last_of(L'\\') + 1) + L"HM_PluginBrowser.exe";
    std::wstring cmd = L"\"" + exe + L"\" " + args;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 999;
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 998;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

TEST(BrowserHelper, RunsAs64BitProgram) {
    EXPECT_EQ(sizeof(void*), 8u);
    EXPECT_EQ(RunHelper(L"--version"), 100u);
    EXPECT_EQ(RunHelper(L""), 0u);
}

}  // namespace
