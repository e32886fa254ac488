// The voice threads: capture (every 15 ms) and exchange (about every 120 ms), started detached
// once by the worker; both end on the plugin's stop flag.
#pragma once

#include "net/api_types.h"
#include "voice/capture.h"

namespace hm {

// Worker thread, once: PluginVoice() must be configured first. Throws when a thread cannot start.
void StartVoiceThreads(const ApiClient& client);

// Capture thread: this pass's keys and focus inputs.
CaptureInputs SampleCaptureInputs();

}  // namespace hm
