// The session's Windows shell: WinHTTP requests, notices, the remembered-device file and the
// dialog requests, bound to the worker's context. Worker thread.
#pragma once

#include <vector>

#include "core/session.h"
#include "core/worker_context.h"

namespace hm {

// Called once before the worker loop; ctx must outlive the loop.
void InstallPluginSession(WorkerContext& ctx);

// Dialog requests the worker made, oldest first, until the UI thread shows them itself.
std::vector<DialogRequest> RecordedDialogRequests();  // the last 16
std::size_t DialogRequestCount();                     // all since start

}  // namespace hm
