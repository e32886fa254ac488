#include "core/worker_win.h"

#include "base/plugin.h"
#include "core/startup_win.h"

namespace hm {

DWORD WINAPI WorkerThread(LPVOID) {
    Plugin().worker_starts.fetch_add(1);
    return DWORD(RunWorkerThread());
}

}  // namespace hm
