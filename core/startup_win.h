// The worker thread's body on Windows: start-up with the real calls, then the worker loop.
#pragma once

#include "core/startup.h"

namespace hm {

// The start-up seams wired to Windows and the subsystem hooks.
StartupSeams PluginStartupSeams();

// Gate, start-up, loop; returns the thread's exit code (0). Records the stage in Plugin(). What
// escapes it is caught by the thread's edge (WorkerThread).
unsigned long RunWorkerThread();

}  // namespace hm
