// The plugin's one long-lived worker thread.
#pragma once

#include <windows.h>

namespace hm {

// Thread procedure started by the library entry inside the game; returns 0.
DWORD WINAPI WorkerThread(LPVOID);

}  // namespace hm
