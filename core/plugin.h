// The plugin's process-wide record: state shared by the library entry, the worker and the
// hooks. One instance lives in the plugin (Plugin()); fields are atomic words or guarded as noted.
#pragma once

#include <atomic>

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
    // Times the worker thread has begun running; read by the diagnostics export.
    std::atomic<long> worker_starts{0};
};

PluginRecord& Plugin();

}  // namespace hm
