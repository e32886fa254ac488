#include "base/overlay_frame.h"

#include <cstring>
#include <utility>


namespace hm {

OverlayState& PluginOverlay() {
    static OverlayState& state = *new OverlayState;
    return state;
}

namespace {

bool SameFrame(const FrameRef& a, const FrameRef& b) {
    if (IsEmptyFrame(a) || IsEmptyFrame(b)) return IsEmptyFrame(a) && IsEmptyFrame(b);
    return a == b || a->SameContent(*b);
}

void Swap(OverlayState& state, FrameRef frame) {
    {
        std::lock_guard<std::mutex> guard(state.lock);
        state.frame.swap(frame);
        state.version.fetch_add(1, std::memory_order_release);
    }
    // `frame` now holds the old picture; it is released here, outside the lock.
}

}  // namespace

bool PublishOverlayFrame(OverlayState& state, FrameRef frame, PublishRule rule) {
    // Only this thread writes state.frame, so reading it without the lock is safe.
    if (rule == PublishRule::kIfChanged && SameFrame(state.frame, frame)) return false;
    Swap(state, std::move(frame));
    return true;
}

void PublishEmptyOverlayFrame(OverlayState& state) {
    state.plugin_cursor_visible.store(false);
    Swap(state, std::make_shared<const Pixels>(0, 0));
}

bool TakeOverlayFrame(OverlayState& state, int seen_version, FrameRef& frame, int& version) {
    if (state.version.load(std::memory_order_acquire) == seen_version) return false;
    std::unique_lock<std::mutex> guard(state.lock, std::try_to_lock);
    if (!guard.owns_lock()) return false;
    frame = state.frame;
    version = state.version.load(std::memory_order_relaxed);
    return true;
}

}  // namespace hm
