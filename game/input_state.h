// The input path's shared record: what the game window procedure and the message hook read
// besides the overlay flags. Single atomic words, read without locking on the game's thread.
#pragma once

#include <atomic>
#include <cstdint>

#include "base/ticks.h"
#include "game/input_rules.h"

namespace hm {

struct InputCaptureState {
    // Input quiet period end. Written: UI thread (now + 200 ms on a dialog choice). Default 0.
    std::atomic<Tick> quiet_until{0};
    // Login/registration dialog shown: the UI cannot be minimised. Written: UI thread.
    std::atomic<bool> non_minimisable{false};
    // The UiWindow handle, 0 while no UI is open. Written: UI thread.
    std::atomic<std::uintptr_t> ui_window{0};
    // Overlay placement in viewport pixels. Written: render thread. Start values 1, 0, 0.
    std::atomic<float> scale{1.0f};
    std::atomic<float> offset_x{0.0f};
    std::atomic<float> offset_y{0.0f};

    CanvasPlacement Placement() const { return {scale.load(), offset_x.load(), offset_y.load()}; }
};

// The plugin's one instance; tests make their own where they can.
InputCaptureState& PluginInput();

}  // namespace hm
