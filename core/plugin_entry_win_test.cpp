// The library entry starts the worker only inside the game executable.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring OwnFolder() {
    wchar_t self[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring dir(self, n);
    return dir.substr(0, dir.find_last_of(L'\\') + 1);
}

// Copies the test host under `exeName` into a fresh folder beside the plugin and runs it with
// `args` (plugin_host_win.cpp).
DWORD RunHostAs(const std::wstring& exeName, const std::wstring& args) {
    const std::wstring bin = OwnFolder();
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring dir = std::wstring(temp) + L"hm_entry_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                             std::to_wstring(GetTickCount64()) + L"\\";
    EXPECT_TRUE(CreateDirectoryW(dir.c_str(), nullptr));
    EXPECT_TRUE(CopyFileW((bin + L"plugin_host.exe").c_str(), (dir + exeName).c_str(), FALSE));
    EXPECT_TRUE(CopyFileW((bin + L"HM_Plugin.dll").c_str(), (dir + L"HM_Plugin.dll").c_str(), FALSE));

    std::wstring cmd = L"\"" + dir + exeName + L"\" " + args;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    DWORD code = 999;
    if (CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &pi)) {
        WaitForSingleObject(pi.hProcess, 60000);
        GetExitCodeProcess(pi.hProcess, &code);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    } else {
        ADD_FAILURE() << "CreateProcess failed: " << GetLastError();
    }
    DeleteFileW((dir + exeName).c_str());
    DeleteFileW((dir + L"HM_Plugin.dll").c_str());
    RemoveDirectoryW(dir.c_str());
    return code;
}

TEST(PluginEntry, StartsTheWorkerOnlyInTheGame) {
    struct Case {
        const wchar_t* exe;
        DWORD expectedStarts;
    } cases[] = {
        {L"gta_sa.exe", 1}, {L"GTA_SA.EXE", 1}, {L"gta-sa.exe", 1},
        {L"samp.exe", 0},   {L"gta_sa2.exe", 0}, {L"xgta_sa.exe", 0},
    };
    for (const Case& c : cases) {
        // An idle plugin is given time to prove it stays idle; a running one reports at once.
        const DWORD starts = RunHostAs(c.exe, c.expectedStarts ? L"20000" : L"1500");
        EXPECT_EQ(starts, c.expectedStarts) << "host " << std::string(c.exe, c.exe + wcslen(c.exe));
    }
}

#define HM_WIDEN2(x) L##x
#define HM_WIDEN(x) HM_WIDEN2(x)

// A host that gives its reference back right after loading: the worker, already made, holds its
// own until its last instruction, so the process survives. After a refused gate that reference
// goes back and the library leaves the process; once pinned it stays.
TEST(PluginEntry, TheWorkerHoldsTheLibraryUntilItsLastInstruction) {
    struct Case {
        const char* name;
        const wchar_t* args;
        DWORD expected;  // plugin_host's release code
    } cases[] = {
        {"gate refused: released by the worker", L"20000 release", 200 + 1 + 2},
        {"pinned at start-up: stays", L"20000 release -h " HM_WIDEN(HM_COMMUNITY_SERVER), 200 + 1 + 10 * 2},
    };
    for (const Case& c : cases) EXPECT_EQ(RunHostAs(L"gta_sa.exe", c.args), c.expected) << c.name;
}

}  // namespace
