// Decisions of the per-frame work inside Present, kept apart from Direct3D so they can be
// tested and measured natively: where the overlay quad goes, the screen-region cut and its
// 150 ms wait, the plugin cursor's triangles, the photo time-out and the pairing chat command.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "base/ticks.h"
#include "game/input_rules.h"

namespace hm {

// ---- Overlay placement ------------------------------------------------------------------------
// s = min(0.9 * VW / 1000, 0.9 * VH / 760) (the width rule uses 1000, not the canvas width, so
// the canvas keeps some room beside it); the canvas is centred: X = (VW - 810 s) / 2,
// Y = (VH - 760 s) / 2.
CanvasPlacement PlaceOverlay(float viewport_width, float viewport_height);

// One XYZRHW|TEX1 vertex of a screen quad (z 0, rhw 1 are added by the drawer).
struct ScreenVertex {
    float x, y, u, v;
};
// The canvas quad as a triangle strip, every coordinate minus 0.5 (texel centres on pixels).
std::array<ScreenVertex, 4> OverlayQuad(const CanvasPlacement& placement);

// ---- Plugin cursor ----------------------------------------------------------------------------
struct ColouredVertex {
    float x, y;
    std::uint32_t colour;  // D3DCOLOR 0xAARRGGBB
};
constexpr std::uint32_t kCursorDark = 0xFF101820;
constexpr std::uint32_t kCursorLight = 0xFFF8FBFF;
// Screen point of the hot spot: (CursorX * s + X, CursorY * s + Y).
void CursorHotSpot(const CanvasPlacement& placement, int cursor_x, int cursor_y, float& x, float& y);
// Six triangles (a triangle list of 18 vertices), three dark then three light, in cursor units
// of max(s, 0.65) from the hot spot.
std::array<ColouredVertex, 18> CursorTriangles(float hot_x, float hot_y, float scale);

// ---- Screen region for the UI -----------------------------------------------------------------
// The part of the back buffer that the UI asks for: x0 = W*178/640, y0 = H*106/448, width
// W*267/640, height H*275/448, in integer arithmetic.
struct RegionCut {
    std::uint32_t x = 0, y = 0, width = 0, height = 0;
};
RegionCut CutScreenRegion(std::uint32_t back_width, std::uint32_t back_height);
// The cut is not empty and lies inside the back buffer.
bool RegionFits(const RegionCut& cut, std::uint32_t back_width, std::uint32_t back_height);

// Render-thread bookkeeping of ScreenRegionRequest: a changed id waits 150 ms so the game has
// drawn the requested view; each id >= 1 is served once.
class ScreenRegionTracker {
public:
    static constexpr Tick kWaitMs = 150;
    // Returns true when this frame must read the back buffer for `id`.
    bool Due(int id, Tick now);
    // After the read, whether or not the cut fitted. A read that threw leaves the id unserved,
    // so the failure repeats (and shows) every frame until the request changes.
    void Served(int id) { last_served_ = id; }
    void Reset() { *this = ScreenRegionTracker(); }

private:
    int last_seen_ = 0;
    Tick serve_at_ = 0;
    int last_served_ = 0;
};

// ---- Photo request ----------------------------------------------------------------------------
// PhotoRequest and its deadline: armed by the worker, consumed by exactly one of the time-out in
// Present and the clean-frame hook (both take it with an atomic exchange).
struct PhotoRequestState {
    std::atomic<int> request{0};       // > 0: a shot number is pending
    std::atomic<Tick> deadline{0};
};
PhotoRequestState& PluginPhotoRequest();

// Worker: arm a request. The deadline is stored first so a reader of the id sees its deadline.
void ArmPhotoRequest(PhotoRequestState& state, int id, Tick deadline);
// Present: when a request is pending and due, take it. Returns true when this call consumed it
// (show the time-out notice); false when nothing was pending, not due, or another taker won.
bool TakeTimedOutPhotoRequest(PhotoRequestState& state, Tick now);
// The two halves of TakeTimedOutPhotoRequest, apart so a request armed between them can be tested:
// the id that is pending and due (0: none), then taking exactly that id. A request re-armed in
// between keeps its place.
int DueTimedOutPhotoRequest(const PhotoRequestState& state, Tick now);
bool TakePhotoRequest(PhotoRequestState& state, int id);

extern const wchar_t kPhotoTimeoutNotice[];
extern const wchar_t kFrameFailureNotice[];
extern const wchar_t kCleanFrameFailureNotice[];

// ---- Pairing chat command ---------------------------------------------------------------------
constexpr Tick kPairingCommandIntervalMs = 3000;
extern const char kPairingCommandPrefix[];  // "/hmpluginbind "

struct PairingInputs {
    bool connected = false;
    bool consent_given = false;
    bool computer_ui_running = false;
    bool game_in_front = false;
    bool chat_free = false;  // samp.dll known, chat input and dialog closed
};

// Everything but the bind code: may this frame try to send the command?
bool PairingCommandDue(const PairingInputs& in, Tick now, Tick next_allowed);

// The whole step after the code was copied (empty when the lock was busy or no code waits).
// Returns the line to send, or an empty string; moves `next_allowed` when it returns a line.
std::string PairingCommandLine(const PairingInputs& in, Tick now, Tick& next_allowed, const std::string& bind_code);

// The probes a frame may need for the command, dearest last: the window test and SA-MP's memory.
struct PairingProbes {
    bool (*game_in_front)() = nullptr;
    bool (*chat_free)() = nullptr;  // only asked when the game is in front
};
// Render thread, once a frame: the flags of `in` (connected, consent, UI) are read by the caller;
// the game-in-front and chat fields are filled here. The timer, then the bind code under a
// try-lock of `lock`, decide before any probe runs, since a connected session spends nearly every
// frame with no code waiting. Returns the line to send or an empty string.
std::string PairingCommandStep(PairingInputs in, Tick now, Tick& next_allowed, std::mutex& lock,
                               const std::string& bind_code, const PairingProbes& probes);

}  // namespace hm

namespace hm {

struct NoticeState;

// Notices raised on the render thread: it must not wait for SharedStateLock, so they are kept
// here and handed over with a try-lock, at the latest a few frames later. Render thread only.
class RenderNoticeOutbox {
public:
    void Post(const wchar_t* text);  // one of the static texts above; kept in order, duplicates merged
    // Try-locks `lock` and posts what waits. Returns false when the lock was busy.
    bool Flush(std::mutex& lock, NoticeState& notices, Tick now);
    bool empty() const { return count_ == 0; }

private:
    static constexpr int kSlots = 4;
    const wchar_t* pending_[kSlots] = {};
    int count_ = 0;
};

}  // namespace hm
