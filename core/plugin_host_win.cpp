// Test host: loads HM_Plugin.dll from its own folder as a plugin loader would.
//   plugin_host.exe <ms> [game arguments...]
//     waits up to <ms> for the worker to start; exits with the number of starts (0: idle).
//   plugin_host.exe <ms> release [game arguments...]
//     gives its reference back right after loading, then watches for up to <ms> whether the
//     library leaves the process; exits with 200 + 1 (still mapped right after the release)
//     + 2 (gone by the end) + 10 * the last worker stage it read while the library stayed.
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

constexpr int kStageDisabled = 2;  // hm::WorkerStage values past start-up
constexpr int kStageStopped = 5;

int WatchAfterRelease(HMODULE plugin, DWORD waitMs) {
    FreeLibrary(plugin);
    const bool held = GetModuleHandleW(L"HM_Plugin.dll") != nullptr;
    bool gone = false;
    int stage = 0;
    const ULONGLONG end = GetTickCount64() + waitMs;
    while (GetTickCount64() < end) {
        HMODULE borrowed = nullptr;  // a reference of our own while we read the stage
        if (!GetModuleHandleExW(0, L"HM_Plugin.dll", &borrowed)) {
            gone = true;
            break;
        }
        if (auto read = reinterpret_cast<int (*)()>(GetProcAddress(borrowed, "HM_WorkerStage"))) stage = read();
        FreeLibrary(borrowed);
        if (stage >= kStageDisabled && stage <= kStageStopped) {
            Sleep(1500);  // the worker's own release comes after its last stage
            gone = GetModuleHandleW(L"HM_Plugin.dll") == nullptr;
            break;
        }
        Sleep(10);
    }
    return 200 + (held ? 1 : 0) + (gone ? 2 : 0) + 10 * stage;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const DWORD waitMs = argc > 1 ? DWORD(std::wcstoul(argv[1], nullptr, 10)) : 1000;
    const bool release = argc > 2 && std::wcscmp(argv[2], L"release") == 0;
    wchar_t self[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring dir(self, n);
    dir.resize(dir.find_last_of(L'\\') + 1);
    HMODULE plugin = LoadLibraryW((dir + L"HM_Plugin.dll").c_str());
    if (!plugin) return 100;
    if (release) return WatchAfterRelease(plugin, waitMs);
    auto starts = reinterpret_cast<long (*)()>(GetProcAddress(plugin, "HM_WorkerStarts"));
    if (!starts) return 101;
    const ULONGLONG end = GetTickCount64() + waitMs;
    while (starts() == 0 && GetTickCount64() < end) Sleep(10);
    return int(starts());
}
