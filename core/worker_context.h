// WorkerContext: everything the worker thread owns between start-up and stop. Only the worker
// thread touches it; subsystems that hang on the loop add their own records here.
#pragma once

#include <string>

#include "core/config.h"
#include "base/ticks.h"
#include "net/api_types.h"
#include "update/updater.h"

namespace hm {

// Keys as sampled at the start of a pass.
struct HotkeyKeys {
    bool ctrl = false;
    bool f9 = false;
    bool f10 = false;
    bool f11 = false;
    bool f12 = false;  // Ctrl+F12 minimises the computer (edge taken by EditorSync)
    bool game_in_foreground = false;  // the foreground window belongs to the game process
};

// Presses seen this pass: each hotkey acts once on the press, not while held.
struct HotkeyPresses {
    bool update_dialog = false;   // Ctrl+F9
    bool consent = false;         // Ctrl+F10: consent or disconnect
    bool photo_visible = false;   // Ctrl+F11: toggles PhotoVisible
};

class HotkeyEdges {
public:
    HotkeyPresses Sample(const HotkeyKeys& keys);

private:
    bool f9_ = false, f10_ = false, f11_ = false;
};

struct WorkerContext {
    PluginConfig config;
    ApiClient client;
    std::wstring photos_folder;
    std::wstring device_file;
    std::string remembered_device;  // DeviceCredential read at start-up; empty when none
    bool auto_prompt_armed = false;  // automatic consent prompt
    void* imaging_factory = nullptr;  // IWICImagingFactory*, owned by the worker
    HotkeyEdges hotkey_edges;
    HotkeyPresses hotkeys;  // this pass's presses
    ReleaseCheckRecord release_check;  // deadline and last announced release build
};

}  // namespace hm
