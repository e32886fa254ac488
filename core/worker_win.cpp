#include "core/worker_win.h"

#include "base/edge.h"
#include "base/plugin.h"
#include "core/startup_win.h"

namespace hm {

DWORD WINAPI WorkerThread(LPVOID moduleReference) {
    HMODULE own = moduleReference ? *static_cast<HMODULE*>(moduleReference) : nullptr;
    const DWORD code = AtTheEdge(DWORD(0), [] {
        Plugin().worker_starts.fetch_add(1);
        return DWORD(RunWorkerThread());
    });
    // Nothing of ours may run after this FreeLibrary: it can unmap this very code (a refused
    // gate, or a start-up that never pinned the module). Once pinned it only lowers a count.
    if (own) FreeLibraryAndExitThread(own, code);
    return code;
}

}  // namespace hm
