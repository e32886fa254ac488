#include "ui/overlay_frame.h"

#include <cstring>
#include <utility>

#include "core/fnv1a.h"

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

std::string StateSignature(const StateSignatureInputs& in) {
    std::uint32_t hash = kFnv1aOffset;
    for (char16_t unit : in.input_text) {
        const unsigned char bytes[2] = {static_cast<unsigned char>(unit & 0xFF), static_cast<unsigned char>(unit >> 8)};
        hash = Fnv1a32Bytes(bytes, 2, hash);
    }
    const int cursor_column = (in.cursor_y > 699 || in.cursor_y < 80) ? in.cursor_x / 100 : -1;
    std::string s;
    s.reserve(96);
    auto add = [&s](long long v) {
        if (!s.empty()) s += ':';
        s += std::to_string(v);
    };
    add(in.capture_request_id);
    add(in.scroll_x);
    add(in.scroll_y);
    add(in.selection_start);
    add(in.selection_end);
    add(cursor_column);
    for (bool f : in.layout_flags) add(f ? 1 : 0);
    add(hash);
    add(in.document_length);
    return s;
}

bool SignatureGate::Unchanged(const std::string& signature) {
    if (has_ && signature == stored_) return true;
    stored_ = signature;
    has_ = true;
    return false;
}

}  // namespace hm
