// The published overlay frame and the UI flags the render and input paths read.
//
// The UI thread renders the canvas 20 times a second and publishes a frame only when its pixels
// changed; the render thread uploads a texture only when the version moved. A published frame
// is immutable, so both sides trade references: the lock is held for a pointer swap (UI thread)
// or a pointer copy (render thread), never for a comparison, a copy of pixels or a draw.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "base/pixels.h"

namespace hm {

constexpr int kCanvasWidth = 810;
constexpr int kCanvasHeight = 760;

// A published frame; null or 0 x 0 means "nothing to draw".
using FrameRef = std::shared_ptr<const Pixels>;

inline bool IsEmptyFrame(const FrameRef& f) { return !f || f->width() == 0 || f->height() == 0; }

struct OverlayState {
    // OverlayFrameLock: guards `frame` (and the editor exchange slots kept beside it). Held only
    // for pointer copies and swaps.
    std::mutex lock;
    // OverlayFrame. Written: UI thread (PublishOverlayFrame), under `lock`. Read: render thread,
    // under `lock`; the UI thread also reads it unlocked, being its only writer. Default: empty.
    FrameRef frame;
    // OverlayFrameVersion: moves with every publication. Written under `lock`; readable without
    // it so the render thread can skip the lock when nothing changed.
    std::atomic<int> version{0};

    // Shared UI flags, single atomic words read without locking.
    std::atomic<bool> computer_minimized{false};     // ComputerMinimized; written by the UI/editor paths
    // The editor-open flag: the UI thread and its UiWindow exist (a computer screen or a session
    // dialog). Set by whoever starts the UI thread, cleared when it ends. Read: worker (session,
    // EditorSync), render and input paths (computer UI running).
    std::atomic<bool> editor_open{false};
    std::atomic<bool> plugin_cursor_visible{false};  // PluginCursorVisible; written by the UI thread
    std::atomic<int> screen_region_request{0};       // ScreenRegionRequest; UI thread, render thread lowers it
    std::atomic<int> cursor_x{0};                    // CursorX, canvas pixels; written by the input path
    std::atomic<int> cursor_y{0};                    // CursorY
};

// The plugin's one instance; tests make their own.
OverlayState& PluginOverlay();

enum class PublishRule {
    kIfChanged,  // compare with the published frame (size and bytes), publish only a difference
    kAlways,     // restore bar and signature-gated screens
};

// UI thread. Publishes `frame` (which must not change afterwards) and moves the version.
// Returns whether it published.
bool PublishOverlayFrame(OverlayState& state, FrameRef frame, PublishRule rule = PublishRule::kIfChanged);

// UI thread, when the UiWindow goes: no cursor, an empty frame and a new version, so the render
// thread drops its texture.
void PublishEmptyOverlayFrame(OverlayState& state);

// Render thread. When the published version differs from `seen_version`, try the lock and copy
// the frame reference and its version into `frame` / `version`. Returns false when nothing moved
// or the lock was busy (keep the current texture and look again next frame). Never waits.
bool TakeOverlayFrame(OverlayState& state, int seen_version, FrameRef& frame, int& version);

}  // namespace hm
