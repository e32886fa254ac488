// Library entry of HM_Plugin.dll. Runs under the loader lock: decide, start the worker, leave.
#include <windows.h>

#include <mutex>
#include <string>

#include "base/edge.h"
#include "base/owners_win.h"
#include "base/plugin.h"
#include "base/shared_state.h"
#include "core/config_win.h"
#include "core/entry_rules.h"
#include "core/session_win.h"
#include "core/worker_win.h"

namespace {

// The worker's own reference to this module, filled in before the worker runs its first instruction.
HMODULE g_workerReference = nullptr;

void OnProcessAttach(HINSTANCE instance) {
    hm::Plugin().module.store(instance);
    if (!hm::IsGameExecutable(hm::ModuleFileName(nullptr))) return;  // other hosts: stay loaded, idle
    // A host may free the library right after loading it; the worker's reference keeps its code
    // mapped until it ends. FreeLibrary is not safe under the loader lock, so the thread is made
    // first (suspended) and the reference taken only once there is a thread to give it back.
    hm::UniqueKernelHandle thread(
        CreateThread(nullptr, 0, hm::WorkerThread, &g_workerReference, CREATE_SUSPENDED, nullptr));
    if (!thread) return;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&g_workerReference),
                            &g_workerReference))
        g_workerReference = nullptr;  // the worker runs without one, as the host's reference allows
    ResumeThread(thread.get());
}

}  // namespace

// ---- Support diagnostics (read-only; docs/support-diagnostics.md) ------------------------------
// How many times the worker thread has started.
extern "C" __declspec(dllexport) long HM_WorkerStarts() { return hm::Plugin().worker_starts.load(); }
// How far the worker got (hm::WorkerStage as a number).
extern "C" __declspec(dllexport) int HM_WorkerStage() { return hm::Plugin().worker_stage.load(); }
// PhotoVisible and how many session dialogs were requested.
extern "C" __declspec(dllexport) int HM_PhotoVisible() { return hm::Plugin().photo_visible.load() ? 1 : 0; }
// -1 when the count could not be read (its lock failed).
extern "C" __declspec(dllexport) int HM_DialogRequests() {
    return hm::AtTheEdge(-1, [] { return int(hm::DialogRequestCount()); });
}
// Exceptions caught at an edge that their body did not handle itself.
extern "C" __declspec(dllexport) long HM_EdgeFailures() { return hm::Plugin().edge_failures.load(); }

// The current notice as UTF-16 into `text` (at most `chars` units with the terminator); its
// length, or -1 when SharedStateLock is held elsewhere.
extern "C" __declspec(dllexport) int HM_CurrentNotice(wchar_t* text, int chars) {
    return hm::AtTheEdge(-1, [&]() -> int {
        std::unique_lock<std::mutex> hold(hm::PluginShared().lock, std::try_to_lock);
        if (!hold.owns_lock()) return -1;
        const std::wstring& current = hm::PluginShared().notices.current;
        const int n = int(current.size()) < chars - 1 ? int(current.size()) : chars - 1;
        if (chars > 0) {
            current.copy(text, std::size_t(n));
            text[n] = L'\0';
        }
        return n;
    });
}

// The game must load whatever happens here.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    hm::AtTheEdge([&] {
        if (reason == DLL_PROCESS_ATTACH) {
            OnProcessAttach(instance);
        } else if (reason == DLL_PROCESS_DETACH) {
            hm::Plugin().stop_flag.store(true);
        }
    });
    return TRUE;
}
