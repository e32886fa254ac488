#include "core/worker_win.h"

#include "core/plugin.h"

namespace hm {

DWORD WINAPI WorkerThread(LPVOID) {
    Plugin().worker_starts.fetch_add(1);
    return 0;
}

}  // namespace hm
