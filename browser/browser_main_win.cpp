// HM_PluginBrowser: the 64-bit helper that will host the off-screen browser for TV.
// Until the browser side exists it only answers "--version" through its exit code.
#include <windows.h>

#include <cwchar>

namespace {
constexpr int kHelperVersion = 100;  // 1.00
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR commandLine, int) {
    if (commandLine && std::wcsstr(commandLine, L"--version")) return kHelperVersion;
    return 0;
}
