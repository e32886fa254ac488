// The plugin's one long-lived worker thread.
#pragma once

#include <windows.h>

namespace hm {

// Thread procedure started by the library entry inside the game; returns 0. `moduleReference`
// points at a module handle whose reference the entry took for this thread before it ran (null
// handle: none taken). The thread gives that reference back as its very last act, so a host that
// frees the library early cannot unmap code the worker still runs.
DWORD WINAPI WorkerThread(LPVOID moduleReference);

}  // namespace hm
