// session_probe.exe: runs the plugin's real session shell (WinHTTP, DPAPI device.bin, notices)
// inside the worker loop's pass, without the game, for the end-to-end driver. The game's
// frames are stood in for by writing LastFrameTick every pass.
//   session_probe save <device file> <api url> <credential>
//   session_probe run <device file> <api url> <log file> <run ms> [agree]
//     agree: answer every consent dialog with Enter on its window, as the player would
//   session_probe save-plugin <api url> <credential>   device.bin where the plugin looks for it
//   session_probe forget-plugin                        deletes that device.bin
// The log gets one line per notice change ("notice <ms since start> <UTF-8 text>"), per dialog
// request ("dialog <ms> <id> <title>"), per bind code change ("bind <ms> <code>") and a last
// line "end connected=<0|1> consent=<0|1>". Exit 0 on success.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/config.h"
#include "core/config_win.h"
#include "base/dialog_mailbox.h"
#include "base/ui_messages.h"
#include "game/input_state.h"
#include "base/plugin.h"
#include "core/session_win.h"
#include "base/shared_state.h"
#include "core/worker_context.h"
#include "core/worker_loop.h"
#include "net/device_store_win.h"
#include "net/url_policy_win.h"

namespace {

std::wstring Wide(const char* text) {
    int n = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring out(n > 0 ? n - 1 : 0, L'\0');
    if (n > 1) MultiByteToWideChar(CP_UTF8, 0, text, -1, &out[0], n);
    return out;
}

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

// Enter, as the game window would forward it, once the UI thread's window is up.
bool PressEnterOnUi() {
    HWND ui = reinterpret_cast<HWND>(hm::PluginInput().ui_window.load());
    if (!ui) return false;
    auto* record = new hm::ForwardedInput{WM_KEYDOWN, VK_RETURN, 1, {}};
    if (!PostMessageW(ui, hm::uimsg::kInputEvent, 0, reinterpret_cast<LPARAM>(record))) {
        delete record;
        return false;
    }
    return true;
}

int Run(const std::wstring& deviceFile, const std::wstring& url, const char* logPath, unsigned runMs, bool agree) {
    FILE* log = std::fopen(logPath, "wb");
    if (!log) return 3;
    hm::WorkerContext ctx;
    ctx.config.enabled = true;
    ctx.config.api_url = url;
    ctx.config.allow_local_http = true;
    ctx.config.auto_connect = true;
    ctx.client = hm::MakeApiClient(url, true);
    ctx.device_file = deviceFile;
    ctx.remembered_device = hm::LoadRememberedDevice(deviceFile, url);
    {
        hm::SharedState& shared = hm::PluginShared();
        std::lock_guard<std::mutex> hold(shared.lock);
        shared.identity.name = "Probe_Player";
        shared.identity.port = 7777;
    }
    hm::InstallPluginSession(ctx);
    // A window of our own in front, as the game's would be, for the automatic consent prompt.
    HWND window = CreateWindowExW(0, L"STATIC", L"session_probe", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 320, 200,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (window) SetForegroundWindow(window);

    const ULONGLONG start = GetTickCount64();
    std::wstring shown;
    std::string bind;
    std::size_t dialogs = 0;
    bool press_enter = false;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        if (now - start >= runMs) break;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        hm::Plugin().last_frame_tick.store(now);
        hm::WorkerPass(ctx, now, hm::HotkeyKeys{});
        const unsigned long long at = GetTickCount64() - start;
        std::wstring current;
        std::string code;
        {
            hm::SharedState& shared = hm::PluginShared();
            std::lock_guard<std::mutex> hold(shared.lock);
            current = shared.notices.current;
            code = shared.bind_code;
        }
        if (code != bind) {
            bind = code;
            std::fprintf(log, "bind %llu %s\n", at, code.c_str());
        }
        const std::vector<hm::DialogRequest> requests = hm::RecordedDialogRequests();
        for (; dialogs < requests.size(); ++dialogs) {
            std::fprintf(log, "dialog %llu %d %s\n", at, requests[dialogs].id, requests[dialogs].title.c_str());
            if (agree && requests[dialogs].id == hm::kConsentDialogId) press_enter = true;
        }
        if (press_enter && PressEnterOnUi()) press_enter = false;
        if (current != shown) {
            shown = current;
            std::fprintf(log, "notice %llu %s\n", at, Utf8(current).c_str());
            std::fflush(log);
        }
        Sleep(hm::kWorkerPassSleepMs);
    }
    std::fprintf(log, "end connected=%d consent=%d\n", int(hm::Plugin().connected.load()),
                 int(hm::Plugin().consent_given.load()));
    std::fclose(log);
    if (window) DestroyWindow(window);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        std::string mode = argc > 1 ? argv[1] : "";
        if (mode == "save" && argc == 5) {
            hm::SaveRememberedDevice(Wide(argv[2]), Wide(argv[3]), argv[4]);
            return 0;
        }
        if (mode == "save-plugin" && argc == 4) {
            hm::SaveRememberedDevice(hm::DeviceFileIn(hm::LocalAppDataFolder()), Wide(argv[2]), argv[3]);
            return 0;
        }
        if (mode == "forget-plugin" && argc == 2) {
            hm::ForgetRememberedDevice(hm::DeviceFileIn(hm::LocalAppDataFolder()));
            return 0;
        }
        if (mode == "run" && (argc == 6 || (argc == 7 && std::string(argv[6]) == "agree")))
            return Run(Wide(argv[2]), Wide(argv[3]), argv[4], unsigned(std::strtoul(argv[5], nullptr, 10)), argc == 7);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "session_probe: %s\n", e.what());
        return 2;
    }
    std::fprintf(stderr, "usage: session_probe save <file> <url> <credential> | run <file> <url> <log> <ms>\n");
    return 1;
}
