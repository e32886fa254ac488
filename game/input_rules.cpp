#include "game/input_rules.h"

namespace hm {

namespace {
bool IsKeyboardRange(std::uint32_t m) { return m >= msg::kKeyDown && m <= msg::kKeyLast; }
bool IsMouseRange(std::uint32_t m) { return m >= msg::kMouseMove && m <= msg::kMouseLast; }
bool IsKeyMessage(std::uint32_t m) {
    return m == msg::kKeyDown || m == msg::kKeyUp || m == msg::kSysKeyDown || m == msg::kSysKeyUp;
}
bool IsGameKey(std::uint32_t key) { return key == vk::kMenu || key == vk::kF4 || key == vk::kF8; }
bool IsForwardedMouse(std::uint32_t m) {
    return m == msg::kMouseMove || m == msg::kLButtonDown || m == msg::kLButtonUp || m == msg::kLButtonDblClk ||
           m == msg::kRButtonDown || m == msg::kRButtonUp || m == msg::kMouseWheel;
}
}  // namespace

CanvasPoint MapToCanvas(int clientX, int clientY, const CanvasPlacement& p) {
    // A zero scale would divide by zero; the placement starts at 1 and is never set below that
    // by a sane viewport, but a broken one must not crash the game's window procedure.
    const float s = p.scale > 0.0f ? p.scale : 1.0f;
    return {int((float(clientX) - p.offset_x) / s), int((float(clientY) - p.offset_y) / s)};
}

bool IsOnRestoreBar(CanvasPoint p) { return p.x >= 24 && p.x <= 329 && p.y >= 712 && p.y <= 751; }

std::uint32_t PackCanvasPoint(CanvasPoint p) {
    return (std::uint32_t(p.y) << 16) | (std::uint32_t(p.x) & 0xFFFFu);
}

bool NeedsCursorHitTest(const GameWindowInputs& in) {
    return in.ui_window_exists && in.minimized && !in.non_minimisable && in.in_front;
}

WindowDecision DecideGameWindowMessage(std::uint32_t message, std::uint32_t wParam, const GameWindowInputs& in,
                                       std::optional<CanvasPoint> cursorOnCanvas) {
    WindowDecision d;
    if (in.in_front && in.now < in.quiet_until && (IsKeyboardRange(message) || IsMouseRange(message))) {
        d.action = WindowAction::Swallow;
        return d;
    }
    bool minimized = in.minimized;
    if (in.non_minimisable) {
        d.clear_minimized = true;
        minimized = false;
    }
    if (!in.ui_window_exists) return d;

    if (minimized && in.in_front && cursorOnCanvas && IsOnRestoreBar(*cursorOnCanvas)) {
        if (message == msg::kSetCursor) {
            d.action = WindowAction::HandCursor;
            return d;
        }
        if (message == msg::kLButtonDown) {
            d.action = WindowAction::Restore;
            return d;
        }
    }
    if (!minimized && in.in_front) {
        if (message == msg::kSetCursor) {
            d.action = WindowAction::HideCursor;
        } else if (IsKeyMessage(message)) {
            d.action = IsGameKey(wParam) ? WindowAction::PassOn : WindowAction::ForwardKeyboard;
        } else if (message == msg::kChar || message == msg::kSysChar) {
            d.action = WindowAction::ForwardKeyboard;
        } else if (IsForwardedMouse(message)) {
            d.action = WindowAction::ForwardMouse;
        }
    }
    return d;
}

HookAction DecideMessageHook(std::uint32_t message, std::uint32_t wParam, const MessageHookInputs& in) {
    if (!in.action_remove || !in.in_front || !in.ui_window_exists || in.minimized || !in.to_game_window)
        return HookAction::LeaveAlone;
    const bool keyKind = IsKeyMessage(message) || message == msg::kSysChar;
    if (keyKind && IsGameKey(wParam)) return HookAction::LeaveAlone;
    if (message == msg::kKeyDown || message == msg::kSysKeyDown) return HookAction::ForwardTranslateAndEmpty;
    if (keyKind || message == msg::kChar) return HookAction::ForwardAndEmpty;
    return HookAction::LeaveAlone;
}

int ChooseTalkChannel(bool bangHeld, bool plusHeld, bool minusHeld, bool mHeld) {
    if (bangHeld) return 1;
    if (plusHeld) return 2;
    if (minusHeld) return 3;
    if (mHeld) return 0;
    return -1;
}

}  // namespace hm
