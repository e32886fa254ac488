// Decisions of the game-window input capture: what the replacement window procedure and the
// message hook do with each message while the plugin's UI is open, the canvas mapping, the
// forwarded record and the hotkey edges. The Windows shell (input_win.cpp) only carries them out.
#pragma once

#include <cstdint>
#include <optional>

#include "base/ticks.h"
#include "base/ui_messages.h"

namespace hm {

// Message numbers used here (the values of winuser.h), so the rules stay portable.
namespace msg {
constexpr std::uint32_t kSetCursor = 0x0020;
constexpr std::uint32_t kKeyDown = 0x0100, kKeyUp = 0x0101, kChar = 0x0102, kDeadChar = 0x0103;
constexpr std::uint32_t kSysKeyDown = 0x0104, kSysKeyUp = 0x0105, kSysChar = 0x0106, kSysDeadChar = 0x0107;
constexpr std::uint32_t kKeyLast = 0x0109;
constexpr std::uint32_t kMouseMove = 0x0200, kLButtonDown = 0x0201, kLButtonUp = 0x0202, kLButtonDblClk = 0x0203;
constexpr std::uint32_t kRButtonDown = 0x0204, kRButtonUp = 0x0205, kMouseWheel = 0x020A, kMouseLast = 0x020E;
constexpr std::uint32_t kInputEventMessage = uimsg::kInputEvent;  // keyboard record to the UiWindow
constexpr std::uint32_t kMouseEventMessage = uimsg::kMouseEvent;  // mouse record to the UiWindow
}  // namespace msg

namespace vk {
constexpr std::uint32_t kMenu = 0x12, kF4 = 0x73, kF8 = 0x77;
}

// Where the canvas sits in the game picture (written by the render thread).
struct CanvasPlacement {
    float scale = 1.0f;
    float offset_x = 0.0f;
    float offset_y = 0.0f;
};

struct CanvasPoint {
    int x = 0;
    int y = 0;
};

// cx = trunc((x - offset X) / s), cy likewise.
CanvasPoint MapToCanvas(int clientX, int clientY, const CanvasPlacement& placement);
bool IsOnRestoreBar(CanvasPoint p);
// Mouse record lParam: y in the high 16 bits, x in the low 16.
std::uint32_t PackCanvasPoint(CanvasPoint p);

struct GameWindowInputs {
    bool in_front = false;         // foreground window belongs to this process
    Tick now = 0;
    Tick quiet_until = 0;          // input quiet period end
    bool non_minimisable = false;  // login/registration dialog shown
    bool ui_window_exists = false;
    bool minimized = false;        // ComputerMinimized
};

enum class WindowAction {
    PassOn,           // CallWindowProcW to the game
    Swallow,          // return 0
    HandCursor,       // SetCursor(IDC_HAND), return TRUE
    HideCursor,       // SetCursor(null), return TRUE
    Restore,          // ComputerMinimized = false, return 0
    ForwardKeyboard,  // post InputEventMessage, return 0
    ForwardMouse,     // post MouseEventMessage with canvas lParam, return 0
};

struct WindowDecision {
    WindowAction action = WindowAction::PassOn;
    bool clear_minimized = false;  // the non-minimisable flag forces the UI back
};

// True when the decision needs the Windows cursor in canvas coordinates (restore bar test).
bool NeedsCursorHitTest(const GameWindowInputs& in);

// cursorOnCanvas: the Windows cursor mapped to the canvas, given when NeedsCursorHitTest.
WindowDecision DecideGameWindowMessage(std::uint32_t message, std::uint32_t wParam, const GameWindowInputs& in,
                                       std::optional<CanvasPoint> cursorOnCanvas);

enum class HookAction {
    LeaveAlone,
    ForwardAndEmpty,           // post a record, replace the queued message by an empty one
    ForwardTranslateAndEmpty,  // as above, then post ToUnicodeEx characters as WM_CHAR records
};

struct MessageHookInputs {
    bool action_remove = false;  // hook code HC_ACTION and wParam PM_REMOVE
    bool in_front = false;
    bool ui_window_exists = false;
    bool minimized = false;
    bool to_game_window = false;
};

HookAction DecideMessageHook(std::uint32_t message, std::uint32_t wParam, const MessageHookInputs& in);

// An edge-triggered hotkey: fires once when the combination becomes held, not again until released.
class EdgeTrigger {
public:
    bool Update(bool held) {
        const bool fire = held && !held_;
        held_ = held;
        return fire;
    }

private:
    bool held_ = false;
};

// Talk channel of push-to-talk, by priority: "!" 1, "+" 2, "-" 3, M 0, none -1.
int ChooseTalkChannel(bool bangHeld, bool plusHeld, bool minusHeld, bool mHeld);

}  // namespace hm
