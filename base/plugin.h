// The plugin's process-wide record: state shared by the library entry, the worker and the
// hooks. One instance lives in the plugin (Plugin()); fields are atomic words or guarded as noted.
#pragma once

#include <atomic>
#include <cstdint>

namespace hm {

struct PluginRecord {
    // Set once at library detach; every long loop tests it. Written: entry. Read: all loops.
    std::atomic<bool> stop_flag{false};
    // The plugin's own module handle (HMODULE). Written once at process attach.
    std::atomic<void*> module{nullptr};
    // ConsentGiven: the player agreed to link the game with the web API. Written: worker
    // (session). Read: transport (identity headers), media threads.
    std::atomic<bool> consent_given{false};
    // Connected: a session with the web API is live. Written: worker (session). Read: render
    // thread (bind-code chat command), media threads.
    std::atomic<bool> connected{false};
    // PhotoVisible: the shown photo is displayed. Written: worker (Ctrl+F11, session). Read:
    // render thread (banner, photo layer).
    std::atomic<bool> photo_visible{false};
    // Times the worker thread has begun running; read by the diagnostics export.
    std::atomic<long> worker_starts{0};
    // How far the worker got (WorkerStage); read by the diagnostics export and support.
    std::atomic<int> worker_stage{0};
    // CockpitCamera switch of the INI. Written once by the worker at start-up; read by the
    // game hooks. Default on, as the INI's.
    std::atomic<bool> cockpit_camera{true};
    // LastFrameTick: tick of the last frame the game presented, 0 until the first. Written:
    // Present hook (render thread). Read: worker (automatic consent prompt).
    std::atomic<std::uint64_t> last_frame_tick{0};
    // Exceptions caught at an edge (hook, window procedure, thread body, export) that the body
    // did not handle itself. Written: any thread. Read: the diagnostics export and support.
    std::atomic<long> edge_failures{0};
};

// Where the worker thread stands; a later stage replaces an earlier one.
enum class WorkerStage : int {
    NotStarted = 0,
    GateRefused = 1,  // not connecting to the community server: idle for good
    Disabled = 2,     // Enabled=0 or no INI
    Failed = 3,       // start-up failure, debug-output line written
    Looping = 4,      // in the worker loop
    Stopped = 5,      // left the loop on the stop flag
};

// Process-wide records are never destroyed: at process exit the other threads are killed
// wherever they stand, possibly holding a lock a destructor would wait for.
PluginRecord& Plugin();

}  // namespace hm
