// Test host: loads HM_Plugin.dll from its own folder as a plugin loader would, waits for the
// worker and exits with the number of worker starts it saw (0 when the plugin stayed idle).
//   plugin_host.exe <milliseconds to wait>
#include <windows.h>

#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv) {
    const DWORD waitMs = argc > 1 ? DWORD(std::wcstoul(argv[1], nullptr, 10)) : 1000;
    wchar_t self[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring dir(self, n);
    dir.resize(dir.find_last_of(L'\\') + 1);
    HMODULE plugin = LoadLibraryW((dir + L"HM_Plugin.dll").c_str());
    if (!plugin) return 100;
    auto starts = reinterpret_cast<long (*)()>(GetProcAddress(plugin, "HM_WorkerStarts"));
    if (!starts) return 101;
    const ULONGLONG end = GetTickCount64() + waitMs;
    while (starts() == 0 && GetTickCount64() < end) Sleep(10);
    return int(starts());
}
