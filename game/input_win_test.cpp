// The game window's replacement procedure and message hook on a real window, with a test
// UiWindow on the same thread collecting what is forwarded.
#include <windows.h>

#include <gtest/gtest.h>

#include <new>
#include <vector>

#include "base/plugin.h"
#include "game/input_rules.h"
#include "game/input_state.h"
#include "game/input_win.h"
#include "base/overlay_frame.h"

namespace hm {
namespace {

struct Seen {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool shift;
};
std::vector<Seen> g_forwarded;  // records the UiWindow received
std::vector<Seen> g_gameSaw;    // input messages the game's own procedure received

LRESULT CALLBACK TestUiProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == msg::kInputEventMessage || m == msg::kMouseEventMessage) {
        auto* r = reinterpret_cast<ForwardedInput*>(lp);
        g_forwarded.push_back({r->message, r->wParam, LPARAM(r->lParam), (r->key_state[VK_SHIFT] & 0x80) != 0});
        delete r;
        return 0;
    }
    return DefWindowProcW(w, m, wp, lp);
}

LRESULT CALLBACK TestGameProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if ((m >= WM_KEYFIRST && m <= WM_KEYLAST) || (m >= WM_MOUSEFIRST && m <= WM_MOUSELAST))
        g_gameSaw.push_back({m, wp, lp, false});
    return DefWindowProcW(w, m, wp, lp);
}

void Pump() {
    MSG m;
    for (int round = 0; round < 3; ++round)
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
}

LPARAM KeyLParam(UINT scan, bool up) { return LPARAM(1 | (scan << 16) | (up ? 0xC0000000u : 0)); }

class GameInput : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSW game{};
        game.lpfnWndProc = TestGameProc;
        game.hInstance = GetModuleHandleW(nullptr);
        game.lpszClassName = L"HmTestGame";
        RegisterClassW(&game);
        WNDCLASSW ui{};
        ui.lpfnWndProc = TestUiProc;
        ui.hInstance = GetModuleHandleW(nullptr);
        ui.lpszClassName = L"HmTestUi";
        RegisterClassW(&ui);
        game_ = CreateWindowExW(0, L"HmTestGame", L"game", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 800, 600, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
        ui_ = CreateWindowExW(0, L"HmTestUi", L"ui", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr),
                              nullptr);
        ASSERT_TRUE(game_ && ui_);
        SetForegroundWindow(game_);
        Pump();
        ASSERT_TRUE(IsGameInFront());
        PluginInput().ui_window.store(reinterpret_cast<std::uintptr_t>(ui_));
        PluginInput().quiet_until.store(0);
        PluginInput().scale.store(1.0f);
        PluginInput().offset_x.store(0.0f);
        PluginInput().offset_y.store(0.0f);
        PluginOverlay().computer_minimized.store(false);
        ASSERT_TRUE(SubclassGameWindow(game_));
        ASSERT_TRUE(InstallGameMessageHook(game_));
        g_forwarded.clear();
        g_gameSaw.clear();
    }
    void TearDown() override {
        RemoveGameMessageHook();
        RestoreGameWindow();
        PluginInput().ui_window.store(0);
        DestroyWindow(ui_);
        DestroyWindow(game_);
        Pump();
    }
    HWND game_ = nullptr;
    HWND ui_ = nullptr;
};

TEST_F(GameInput, KeysGoToTheUiWithTranslatedCharactersAndNeverToTheGame) {
    PostMessageW(game_, WM_KEYDOWN, 'A', KeyLParam(0x1E, false));
    PostMessageW(game_, WM_KEYUP, 'A', KeyLParam(0x1E, true));
    Pump();
    ASSERT_EQ(g_forwarded.size(), 3u);
    EXPECT_EQ(g_forwarded[0].message, UINT(WM_KEYDOWN));
    EXPECT_EQ(g_forwarded[0].wParam, WPARAM('A'));
    EXPECT_EQ(g_forwarded[1].message, UINT(WM_CHAR));  // right after its key-down
    EXPECT_EQ(g_forwarded[1].wParam, WPARAM(L'a'));
    EXPECT_EQ(g_forwarded[1].lParam, 0);
    EXPECT_EQ(g_forwarded[2].message, UINT(WM_KEYUP));
    EXPECT_TRUE(g_gameSaw.empty()) << "game saw message 0x" << std::hex << g_gameSaw[0].message;

    // The key state travels with the record and drives the translation.
    BYTE keys[256] = {};
    keys[VK_SHIFT] = 0x80;
    SetKeyboardState(keys);
    g_forwarded.clear();
    PostMessageW(game_, WM_KEYDOWN, 'B', KeyLParam(0x30, false));
    Pump();
    ASSERT_EQ(g_forwarded.size(), 2u);
    EXPECT_TRUE(g_forwarded[0].shift);
    EXPECT_EQ(g_forwarded[1].wParam, WPARAM(L'B'));
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
}

TEST_F(GameInput, AltF4AndF8StayWithTheGame) {
    PostMessageW(game_, WM_SYSKEYDOWN, VK_MENU, KeyLParam(0x38, false) | (1 << 29));
    PostMessageW(game_, WM_SYSKEYDOWN, VK_F4, KeyLParam(0x3E, false) | (1 << 29));
    PostMessageW(game_, WM_KEYDOWN, VK_F8, KeyLParam(0x42, false));
    Pump();
    EXPECT_TRUE(g_forwarded.empty());
    ASSERT_EQ(g_gameSaw.size(), 3u);
    EXPECT_EQ(g_gameSaw[1].wParam, WPARAM(VK_F4));
    EXPECT_EQ(g_gameSaw[2].wParam, WPARAM(VK_F8));
}

TEST_F(GameInput, MouseIsMappedOntoTheCanvas) {
    PluginInput().scale.store(2.0f);
    PluginInput().offset_x.store(100.0f);
    PluginInput().offset_y.store(50.0f);
    EXPECT_EQ(SendMessageW(game_, WM_MOUSEMOVE, 0, MAKELPARAM(301, 251)), 0);
    EXPECT_EQ(SendMessageW(game_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(120, 60)), 0);
    Pump();
    ASSERT_EQ(g_forwarded.size(), 2u);
    EXPECT_EQ(g_forwarded[0].message, UINT(WM_MOUSEMOVE));
    EXPECT_EQ(g_forwarded[0].lParam, LPARAM((100 << 16) | 100));
    EXPECT_EQ(g_forwarded[1].lParam, LPARAM((5 << 16) | 10));
    EXPECT_EQ(PluginOverlay().cursor_x.load(), 10);
    EXPECT_EQ(PluginOverlay().cursor_y.load(), 5);
    EXPECT_TRUE(g_gameSaw.empty());
    // The middle button is the game's.
    SendMessageW(game_, WM_MBUTTONDOWN, 0, 0);
    EXPECT_EQ(g_gameSaw.size(), 1u);
}

TEST_F(GameInput, QuietPeriodSwallowsAndNoUiPassesEverything) {
    PluginInput().quiet_until.store(GetTickCount64() + 60000);
    SendMessageW(game_, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    SendMessageW(game_, WM_KEYDOWN, VK_F4, 0);
    Pump();
    EXPECT_TRUE(g_forwarded.empty());
    EXPECT_TRUE(g_gameSaw.empty());

    PluginInput().quiet_until.store(0);
    PluginInput().ui_window.store(0);
    PostMessageW(game_, WM_KEYDOWN, 'W', KeyLParam(0x11, false));
    SendMessageW(game_, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    Pump();
    EXPECT_TRUE(g_forwarded.empty());
    // Untouched: the game's own translation still makes its character.
    ASSERT_EQ(g_gameSaw.size(), 3u);
    EXPECT_EQ(g_gameSaw[0].message, UINT(WM_LBUTTONDOWN));
    EXPECT_EQ(g_gameSaw[1].message, UINT(WM_KEYDOWN));
    EXPECT_EQ(g_gameSaw[2].message, UINT(WM_CHAR));
}

TEST_F(GameInput, MinimisedUiRestoresFromItsBarOnly) {
    PluginOverlay().computer_minimized.store(true);
    POINT bar{100, 730};
    ClientToScreen(game_, &bar);
    ASSERT_TRUE(SetCursorPos(bar.x, bar.y));
    EXPECT_EQ(SendMessageW(game_, WM_SETCURSOR, WPARAM(game_), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)), TRUE);
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));
    SendMessageW(game_, WM_KEYDOWN, 'W', 0);  // keys belong to the game while minimised
    EXPECT_EQ(g_gameSaw.size(), 1u);
    SendMessageW(game_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 730));
    EXPECT_FALSE(PluginOverlay().computer_minimized.load());
    EXPECT_EQ(g_gameSaw.size(), 1u);  // the restoring click is not the game's

    PluginOverlay().computer_minimized.store(true);
    POINT away{400, 300};
    ClientToScreen(game_, &away);
    SetCursorPos(away.x, away.y);
    SendMessageW(game_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(400, 300));
    EXPECT_TRUE(PluginOverlay().computer_minimized.load());
    EXPECT_EQ(g_gameSaw.size(), 2u);
}

TEST_F(GameInput, AFailedPostConsumesTheMessage) {
    HWND gone = CreateWindowExW(0, L"HmTestUi", L"gone", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr, nullptr, nullptr);
    DestroyWindow(gone);
    PluginInput().ui_window.store(reinterpret_cast<std::uintptr_t>(gone));
    SendMessageW(game_, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    PostMessageW(game_, WM_KEYDOWN, 'Q', KeyLParam(0x10, false));
    Pump();
    EXPECT_TRUE(g_forwarded.empty());
    EXPECT_TRUE(g_gameSaw.empty());
}

// ---- failures inside the procedure and the hook ----------------------------------------------

long g_failedAllocations = 0;
ForwardedInput* FailingNewRecord() {
    ++g_failedAllocations;
    throw std::bad_alloc();
}

std::vector<UINT> g_nextHookSaw;  // what a hook installed before ours was handed on
LRESULT CALLBACK RecordingHook(int code, WPARAM wParam, LPARAM lParam) {
    const auto* m = reinterpret_cast<const MSG*>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE && m && m->message >= WM_KEYFIRST && m->message <= WM_KEYLAST)
        g_nextHookSaw.push_back(m->message);
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

class SeamScope {
public:
    explicit SeamScope(const InputWinSeams& seams) : seams_(seams) { SetInputWinSeamsForTests(&seams_); }
    ~SeamScope() { SetInputWinSeamsForTests(nullptr); }
    SeamScope(const SeamScope&) = delete;
    SeamScope& operator=(const SeamScope&) = delete;

private:
    InputWinSeams seams_;
};

// A record that cannot be made must not cost the game its input: the window procedure hands the
// message to the game's procedure, the hook hands it on unchanged, and each failure is counted.
TEST_F(GameInput, AFailureInsideHandsTheMessageOnAndIsCounted) {
    // A hook installed before ours is the one our CallNextHookEx reaches.
    RemoveGameMessageHook();
    HHOOK next = SetWindowsHookExW(WH_GETMESSAGE, RecordingHook, nullptr, GetCurrentThreadId());
    ASSERT_TRUE(next);
    ASSERT_TRUE(InstallGameMessageHook(game_));
    g_nextHookSaw.clear();
    g_failedAllocations = 0;
    const long failuresBefore = Plugin().edge_failures.load();
    InputWinSeams seams = RealInputWinSeams();
    seams.new_record = &FailingNewRecord;
    {
        SeamScope scope(seams);
        EXPECT_EQ(SendMessageW(game_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10)), 0);
        ASSERT_EQ(g_gameSaw.size(), 1u);
        EXPECT_EQ(g_gameSaw[0].message, UINT(WM_LBUTTONDOWN));
        EXPECT_EQ(g_failedAllocations, 1);

        PostMessageW(game_, WM_KEYDOWN, 'A', KeyLParam(0x1E, false));
        Pump();
    }
    UnhookWindowsHookEx(next);
    EXPECT_TRUE(g_forwarded.empty());
    ASSERT_GE(g_nextHookSaw.size(), 1u);
    EXPECT_EQ(g_nextHookSaw[0], UINT(WM_KEYDOWN)) << "the hook handed the key on untouched";
    // The key reached the game's procedure, and so did the character its translation made.
    ASSERT_EQ(g_gameSaw.size(), 3u);
    EXPECT_EQ(g_gameSaw[1].message, UINT(WM_KEYDOWN));
    EXPECT_EQ(g_gameSaw[2].message, UINT(WM_CHAR));
    EXPECT_GE(g_failedAllocations, 3);
    EXPECT_EQ(Plugin().edge_failures.load() - failuresBefore, g_failedAllocations);

    // Back to normal once records can be made again.
    g_gameSaw.clear();
    SendMessageW(game_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    Pump();
    EXPECT_EQ(g_forwarded.size(), 1u);
    EXPECT_TRUE(g_gameSaw.empty());
}

// Swaps the procedure for real and, when ours goes in, has the game's thread deliver a message
// at once, as a busy game thread may.
LONG WINAPI SetWindowLongThenDeliver(HWND window, int index, LONG value) {
    const LONG previous = SetWindowLongW(window, index, value);
    if (index == GWL_WNDPROC && value == LONG(reinterpret_cast<LONG_PTR>(&GameWindowProc)))
        SendMessageW(window, WM_MBUTTONDOWN, 0, 0);
    return previous;
}

TEST_F(GameInput, AMessageRightAfterSubclassingReachesTheGamesProcedure) {
    RestoreGameWindow();
    ASSERT_FALSE(IsGameWindowSubclassed());
    InputWinSeams seams = RealInputWinSeams();
    seams.set_window_long = &SetWindowLongThenDeliver;
    {
        SeamScope scope(seams);
        ASSERT_TRUE(SubclassGameWindow(game_));
    }
    ASSERT_EQ(g_gameSaw.size(), 1u) << "the message fell through to the default procedure";
    EXPECT_EQ(g_gameSaw[0].message, UINT(WM_MBUTTONDOWN));
    EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongW(game_, GWL_WNDPROC)), &GameWindowProc);
    // And the procedure below ours is still the game's: later messages reach it as well.
    SendMessageW(game_, WM_MBUTTONDOWN, 0, 0);
    EXPECT_EQ(g_gameSaw.size(), 2u);
}

TEST(CharacterKeys, HeldCombinationOfTheLayoutCounts) {
    auto key = [](WORD vk, bool up) {
        INPUT in{};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = vk;
        in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        ASSERT_EQ(SendInput(1, &in, sizeof in), 1u);
    };
    EXPECT_FALSE(IsCharacterKeyDown(L'!'));
    key(VK_SHIFT, false);
    key('1', false);
    Sleep(50);
    EXPECT_TRUE(IsCharacterKeyDown(L'!'));
    EXPECT_FALSE(IsCharacterKeyDown(L'1'));  // Shift is held, "1" needs it up
    key(VK_SHIFT, true);
    Sleep(50);
    EXPECT_TRUE(IsCharacterKeyDown(L'1'));
    EXPECT_FALSE(IsCharacterKeyDown(L'!'));
    key('1', true);
    Sleep(50);
    EXPECT_FALSE(IsCharacterKeyDown(L'1'));
    EXPECT_FALSE(IsCharacterKeyDown(L'\u4E2D'));  // no key types it
}

}  // namespace
}  // namespace hm
