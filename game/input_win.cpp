#include "game/input_win.h"

#include <atomic>
#include <memory>

#include "base/edge.h"
#include "base/fault_seam.h"
#include "base/overlay_frame.h"
#include "game/input_rules.h"
#include "game/input_state.h"

namespace hm {

namespace {

// Game-thread bookkeeping of the subclass and the hook (written only by install/remove).
std::atomic<HWND> g_gameWindow{nullptr};
std::atomic<WNDPROC> g_previousProc{nullptr};
std::atomic<HHOOK> g_messageHook{nullptr};
std::atomic<HWND> g_hookWindow{nullptr};

const InputWinSeams kRealSeams = {[] { return new ForwardedInput{}; }, &::SetWindowLongW};
std::atomic<const InputWinSeams*> g_seams{&kRealSeams};

HWND UiWindow() { return reinterpret_cast<HWND>(PluginInput().ui_window.load()); }

// The receiver owns the record; when posting fails the record is ours to free and the message
// counts as consumed.
void PostRecord(HWND ui, UINT uiMessage, UINT message, WPARAM wParam, LPARAM lParam) {
    std::unique_ptr<ForwardedInput> record(g_seams.load()->new_record());
    record->message = message;
    record->wParam = std::uint32_t(wParam);
    record->lParam = std::uint32_t(lParam);
    GetKeyboardState(record->key_state);
    if (PostMessageW(ui, uiMessage, 0, reinterpret_cast<LPARAM>(record.get()))) record.release();
}

CanvasPoint ClientToCanvas(int x, int y) { return MapToCanvas(x, y, PluginInput().Placement()); }

LRESULT PassOn(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC previous = g_previousProc.load();
    return previous ? CallWindowProcW(previous, window, message, wParam, lParam)
                    : DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

bool IsGameInFront() {
    DWORD pid = 0;
    HWND front = GetForegroundWindow();
    return front && GetWindowThreadProcessId(front, &pid) && pid == GetCurrentProcessId();
}

bool IsCharacterKeyDown(wchar_t ch) {
    HWND front = GetForegroundWindow();
    HKL layout = GetKeyboardLayout(front ? GetWindowThreadProcessId(front, nullptr) : 0);
    const SHORT scan = VkKeyScanExW(ch, layout);
    if (scan == -1) return false;
    auto held = [](int key) { return (GetAsyncKeyState(key) & 0x8000) != 0; };
    const int mods = (scan >> 8) & 0xFF;
    return held(scan & 0xFF) && held(VK_SHIFT) == bool(mods & 1) && held(VK_CONTROL) == bool(mods & 2) &&
           held(VK_MENU) == bool(mods & 4);
}

namespace {

LRESULT HandleGameWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    OverlayState& overlay = PluginOverlay();
    InputCaptureState& input = PluginInput();
    GameWindowInputs in;
    in.in_front = IsGameInFront();
    in.now = GetTickCount64();
    in.quiet_until = input.quiet_until.load();
    in.non_minimisable = input.non_minimisable.load();
    HWND ui = UiWindow();
    in.ui_window_exists = ui != nullptr;
    in.minimized = overlay.computer_minimized.load();

    std::optional<CanvasPoint> cursor;
    if (NeedsCursorHitTest(in)) {
        POINT p{};
        if (GetCursorPos(&p) && ScreenToClient(window, &p)) cursor = ClientToCanvas(p.x, p.y);
    }
    const WindowDecision d = DecideGameWindowMessage(message, std::uint32_t(wParam), in, cursor);
    if (d.clear_minimized) overlay.computer_minimized.store(false);

    switch (d.action) {
        case WindowAction::PassOn:
            return PassOn(window, message, wParam, lParam);
        case WindowAction::Swallow:
            return 0;
        case WindowAction::HandCursor:
            SetCursor(LoadCursorW(nullptr, IDC_HAND));
            return TRUE;
        case WindowAction::HideCursor:
            SetCursor(nullptr);
            return TRUE;
        case WindowAction::Restore:
            overlay.computer_minimized.store(false);
            return 0;
        case WindowAction::ForwardKeyboard:
            PostRecord(ui, msg::kInputEventMessage, message, wParam, lParam);
            return 0;
        case WindowAction::ForwardMouse: {
            POINT p{short(LOWORD(lParam)), short(HIWORD(lParam))};
            if (message == WM_MOUSEWHEEL) ScreenToClient(window, &p);
            const CanvasPoint c = ClientToCanvas(p.x, p.y);
            overlay.cursor_x.exchange(c.x);
            overlay.cursor_y.exchange(c.y);
            PostRecord(ui, msg::kMouseEventMessage, message, wParam, LPARAM(PackCanvasPoint(c)));
            return 0;
        }
    }
    return PassOn(window, message, wParam, lParam);
}

void HandleHookedMessage(int code, WPARAM wParam, LPARAM lParam) {
    auto* m = reinterpret_cast<MSG*>(lParam);
    HWND ui = UiWindow();
    if (m) {
        MessageHookInputs in;
        in.action_remove = code == HC_ACTION && wParam == PM_REMOVE;
        in.in_front = in.action_remove && IsGameInFront();
        in.ui_window_exists = ui != nullptr;
        in.minimized = PluginOverlay().computer_minimized.load();
        in.to_game_window = m->hwnd != nullptr && m->hwnd == g_hookWindow.load();
        const HookAction action = DecideMessageHook(m->message, std::uint32_t(m->wParam), in);
        if (action != HookAction::LeaveAlone) {
            PostRecord(ui, msg::kInputEventMessage, m->message, m->wParam, m->lParam);
            if (action == HookAction::ForwardTranslateAndEmpty) {
                BYTE keys[256];
                GetKeyboardState(keys);
                wchar_t chars[8];
                const int n = ToUnicodeEx(UINT(m->wParam), UINT((m->lParam >> 16) & 0xFF), keys, chars, 8, 0,
                                          GetKeyboardLayout(0));
                for (int i = 0; i < n && i < 8; ++i) PostRecord(ui, msg::kInputEventMessage, WM_CHAR, chars[i], 0);
            }
            m->message = 0;
            m->wParam = 0;
            m->lParam = 0;
        }
    }
}

}  // namespace

// A failure inside the plugin must not cost the game its message: it goes on as if no UI were open.
LRESULT CALLBACK GameWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return AtTheEdgeOr(
        [&] {
            FaultSiteReached(FaultSite::kWindowProcedure);
            return HandleGameWindowMessage(window, message, wParam, lParam);
        },
                       [&] { return PassOn(window, message, wParam, lParam); });
}

LRESULT CALLBACK GameMessageHook(int code, WPARAM wParam, LPARAM lParam) {
    AtTheEdge([&] {
        FaultSiteReached(FaultSite::kMessageHook);
        HandleHookedMessage(code, wParam, lParam);
    });
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool SubclassGameWindow(HWND gameWindow) {
    // Still in the chain, perhaps below someone who subclassed after us: subclassing again would
    // put us in the chain twice, and our procedure would then call itself through theirs.
    if (g_previousProc.load()) return true;
    // The game's thread may dispatch a message the moment our procedure is in: the procedure to
    // pass it on to must already be known by then.
    auto current = reinterpret_cast<WNDPROC>(GetWindowLongW(gameWindow, GWL_WNDPROC));
    if (!current) return false;
    g_gameWindow.store(gameWindow);
    g_previousProc.store(current);
    auto previous = reinterpret_cast<WNDPROC>(g_seams.load()->set_window_long(
        gameWindow, GWL_WNDPROC, LONG(reinterpret_cast<LONG_PTR>(&GameWindowProc))));
    if (!previous) {
        g_previousProc.store(nullptr);
        g_gameWindow.store(nullptr);
        return false;
    }
    // Someone swapped the procedure between our read and our write: theirs is the one below us.
    if (previous != current) g_previousProc.store(previous);
    return true;
}

void RestoreGameWindow() {
    WNDPROC previous = g_previousProc.load();
    HWND window = g_gameWindow.load();
    if (!previous || !window) return;
    g_seams.load()->set_window_long(window, GWL_WNDPROC, LONG(reinterpret_cast<LONG_PTR>(previous)));
    g_previousProc.store(nullptr);
    g_gameWindow.store(nullptr);
}

bool IsGameWindowSubclassed() { return g_previousProc.load() != nullptr; }

bool InstallGameMessageHook(HWND gameWindow) {
    if (g_messageHook.load()) return true;
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&GameMessageHook), &self);
    HHOOK hook = SetWindowsHookExW(WH_GETMESSAGE, &GameMessageHook, self,
                                   GetWindowThreadProcessId(gameWindow, nullptr));
    if (!hook) return false;
    g_hookWindow.store(gameWindow);
    g_messageHook.store(hook);
    return true;
}

void RemoveGameMessageHook() {
    if (HHOOK hook = g_messageHook.exchange(nullptr)) UnhookWindowsHookEx(hook);
    g_hookWindow.store(nullptr);
}

bool IsGameMessageHookInstalled() { return g_messageHook.load() != nullptr; }

void SetInputWinSeamsForTests(const InputWinSeams* seams) { g_seams.store(seams ? seams : &kRealSeams); }

InputWinSeams RealInputWinSeams() { return kRealSeams; }

}  // namespace hm
