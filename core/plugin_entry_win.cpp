// Library entry of HM_Plugin.dll. Runs under the loader lock: decide, start the worker, leave.
#include <windows.h>

#include <string>

#include "core/config_win.h"
#include "core/entry_rules.h"
#include "base/plugin.h"
#include "core/session_win.h"
#include "core/worker_win.h"

namespace {

void OnProcessAttach(HINSTANCE instance) {
    hm::Plugin().module.store(instance);
    if (!hm::IsGameExecutable(hm::ModuleFileName(nullptr))) return;  // other hosts: stay loaded, idle
    if (HANDLE thread = CreateThread(nullptr, 0, hm::WorkerThread, nullptr, 0, nullptr)) CloseHandle(thread);
}

}  // namespace

// ---- Support diagnostics (read-only; docs/support-diagnostics.md) ------------------------------
// How many times the worker thread has started.
extern "C" __declspec(dllexport) long HM_WorkerStarts() { return hm::Plugin().worker_starts.load(); }
// How far the worker got (hm::WorkerStage as a number).
extern "C" __declspec(dllexport) int HM_WorkerStage() { return hm::Plugin().worker_stage.load(); }
// PhotoVisible and how many session dialogs were requested.
extern "C" __declspec(dllexport) int HM_PhotoVisible() { return hm::Plugin().photo_visible.load() ? 1 : 0; }
extern "C" __declspec(dllexport) int HM_DialogRequests() { return int(hm::DialogRequestCount()); }
// Exceptions caught at an edge that their body did not handle itself.
extern "C" __declspec(dllexport) long HM_EdgeFailures() { return hm::Plugin().edge_failures.load(); }

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    try {
        if (reason == DLL_PROCESS_ATTACH) {
            OnProcessAttach(instance);
        } else if (reason == DLL_PROCESS_DETACH) {
            hm::Plugin().stop_flag.store(true);
        }
    } catch (...) {
        // The game must load whatever happened here.
    }
    return TRUE;
}
