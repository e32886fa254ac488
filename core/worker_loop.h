// WorkerLoop: the worker's 30 ms scheduler after start-up. Portable over a few seams so the pass
// structure runs in native tests; the worker thread passes the real clock, keys and Sleep.
#pragma once

#include <functional>

#include "core/worker_context.h"

namespace hm {

constexpr unsigned kWorkerPassSleepMs = 30;

struct WorkerLoopSeams {
    std::function<bool()> stop_requested;      // StopFlag
    std::function<Tick()> now;                 // GetTickCount64
    std::function<HotkeyKeys()> sample_keys;   // key states and foreground window
    std::function<void(unsigned ms)> sleep;
    std::function<void(WorkerContext&)> release_imaging_factory;
};

// One pass without the stop test and the sleep: TV heartbeat, the disconnected reset, hotkeys,
// session steps, the editor exchange, release check, TV step when due, media session token. An exception escaping a
// step ends only that step; the next pass retries on its timers.
void WorkerPass(WorkerContext& ctx, Tick now, const HotkeyKeys& keys);

// Runs passes until the stop flag is seen, then releases the imaging factory and the session
// objects. The caller uninitialises COM.
void RunWorkerLoop(WorkerContext& ctx, const WorkerLoopSeams& seams);

}  // namespace hm
