// Input capture decisions of the game window procedure and the message hook.
#include <gtest/gtest.h>

#include "game/input_rules.h"

namespace hm {
namespace {

using A = WindowAction;

GameWindowInputs OpenUi() {
    GameWindowInputs in;
    in.in_front = true;
    in.now = 10000;
    in.ui_window_exists = true;
    return in;
}

TEST(GameWindowProc, OpenUiTakesInputButLeavesAltF4F8ToTheGame) {
    struct Case {
        std::uint32_t message, wParam;
        A action;
    } cases[] = {
        {msg::kKeyDown, 'A', A::ForwardKeyboard},      {msg::kKeyUp, 'A', A::ForwardKeyboard},
        {msg::kSysKeyDown, 'X', A::ForwardKeyboard},   {msg::kKeyDown, vk::kMenu, A::PassOn},
        {msg::kSysKeyDown, vk::kF4, A::PassOn},        {msg::kKeyUp, vk::kF8, A::PassOn},
        {msg::kChar, 'a', A::ForwardKeyboard},         {msg::kSysChar, 'a', A::ForwardKeyboard},
        {msg::kDeadChar, '^', A::PassOn},              {msg::kSysDeadChar, '^', A::PassOn},
        {msg::kMouseMove, 0, A::ForwardMouse},         {msg::kLButtonDown, 1, A::ForwardMouse},
        {msg::kLButtonDblClk, 1, A::ForwardMouse},     {msg::kRButtonUp, 0, A::ForwardMouse},
        {msg::kMouseWheel, 0, A::ForwardMouse},        {0x0207 /*middle down*/, 0, A::PassOn},
        {0x020B /*x button*/, 0, A::PassOn},           {msg::kSetCursor, 0, A::HideCursor},
        {0x0010 /*close*/, 0, A::PassOn},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DecideGameWindowMessage(c.message, c.wParam, OpenUi(), std::nullopt).action, c.action)
            << std::hex << c.message << " " << c.wParam;
}

TEST(GameWindowProc, QuietPeriodSwallowsInputOnlyWhileInFront) {
    GameWindowInputs in = OpenUi();
    in.quiet_until = 10200;
    EXPECT_EQ(DecideGameWindowMessage(msg::kLButtonUp, 0, in, std::nullopt).action, A::Swallow);
    EXPECT_EQ(DecideGameWindowMessage(msg::kKeyDown, vk::kF4, in, std::nullopt).action, A::Swallow);
    EXPECT_EQ(DecideGameWindowMessage(msg::kSetCursor, 0, in, std::nullopt).action, A::HideCursor);
    in.now = 10200;  // the period has ended
    EXPECT_EQ(DecideGameWindowMessage(msg::kLButtonUp, 0, in, std::nullopt).action, A::ForwardMouse);
    in.now = 10000;
    in.ui_window_exists = false;  // the quiet period also protects the game after the UI closed
    EXPECT_EQ(DecideGameWindowMessage(msg::kLButtonDown, 0, in, std::nullopt).action, A::Swallow);
    in.in_front = false;
    EXPECT_EQ(DecideGameWindowMessage(msg::kLButtonDown, 0, in, std::nullopt).action, A::PassOn);
}

TEST(GameWindowProc, WithoutUiOrInBackgroundEverythingPassesThrough) {
    GameWindowInputs noUi = OpenUi();
    noUi.ui_window_exists = false;
    GameWindowInputs behind = OpenUi();
    behind.in_front = false;
    for (std::uint32_t m : {msg::kKeyDown, msg::kChar, msg::kMouseMove, msg::kLButtonDown, msg::kSetCursor}) {
        EXPECT_EQ(DecideGameWindowMessage(m, 'A', noUi, std::nullopt).action, A::PassOn);
        EXPECT_EQ(DecideGameWindowMessage(m, 'A', behind, std::nullopt).action, A::PassOn);
    }
}

TEST(GameWindowProc, MinimisedUiLeavesInputToTheGameExceptTheRestoreBar) {
    GameWindowInputs in = OpenUi();
    in.minimized = true;
    ASSERT_TRUE(NeedsCursorHitTest(in));
    const CanvasPoint onBar{24, 712}, onBarFar{329, 751}, offBar{330, 751}, above{100, 711};
    EXPECT_EQ(DecideGameWindowMessage(msg::kSetCursor, 0, in, onBar).action, A::HandCursor);
    EXPECT_EQ(DecideGameWindowMessage(msg::kLButtonDown, 1, in, onBarFar).action, A::Restore);
    EXPECT_EQ(DecideGameWindowMessage(msg::kLButtonUp, 0, in, onBar).action, A::PassOn);
    EXPECT_EQ(DecideGameWindowMessage(msg::kSetCursor, 0, in, offBar).action, A::PassOn);
    EXPECT_EQ(DecideGameWindowMessage(msg::kLButtonDown, 1, in, above).action, A::PassOn);
    EXPECT_EQ(DecideGameWindowMessage(msg::kKeyDown, 'W', in, offBar).action, A::PassOn);

    // The login dialog cannot stay minimised: the flag brings the UI back at once.
    in.non_minimisable = true;
    EXPECT_FALSE(NeedsCursorHitTest(in));
    const WindowDecision d = DecideGameWindowMessage(msg::kKeyDown, 'W', in, std::nullopt);
    EXPECT_TRUE(d.clear_minimized);
    EXPECT_EQ(d.action, A::ForwardKeyboard);
}

TEST(CanvasMapping, TruncatesTowardZeroAndPacksYHigh) {
    const CanvasPlacement p{1.5f, 100.0f, 20.0f};
    const CanvasPoint a = MapToCanvas(100, 20, p);
    EXPECT_EQ(a.x, 0);
    EXPECT_EQ(a.y, 0);
    const CanvasPoint b = MapToCanvas(1315, 1160, p);  // (1215/1.5, 1140/1.5)
    EXPECT_EQ(b.x, 810);
    EXPECT_EQ(b.y, 760);
    const CanvasPoint c = MapToCanvas(99, 18, p);  // -0.66 and -1.33 truncate to 0 and -1
    EXPECT_EQ(c.x, 0);
    EXPECT_EQ(c.y, -1);
    EXPECT_EQ(PackCanvasPoint({5, 7}), 0x00070005u);
    EXPECT_EQ(PackCanvasPoint({-2, 3}), 0x0003FFFEu);
    EXPECT_EQ(MapToCanvas(10, 10, {0.0f, 0.0f, 0.0f}).x, 10);  // broken placement, no crash
}

TEST(MessageHook, KeyboardIsTakenFromTheQueueCharactersOnlyThroughTranslation) {
    MessageHookInputs in{true, true, true, false, true};
    EXPECT_EQ(DecideMessageHook(msg::kKeyDown, 'A', in), HookAction::ForwardTranslateAndEmpty);
    EXPECT_EQ(DecideMessageHook(msg::kSysKeyDown, 'A', in), HookAction::ForwardTranslateAndEmpty);
    EXPECT_EQ(DecideMessageHook(msg::kKeyUp, 'A', in), HookAction::ForwardAndEmpty);
    EXPECT_EQ(DecideMessageHook(msg::kChar, 'a', in), HookAction::ForwardAndEmpty);
    EXPECT_EQ(DecideMessageHook(msg::kSysChar, 'a', in), HookAction::ForwardAndEmpty);
    EXPECT_EQ(DecideMessageHook(msg::kKeyDown, vk::kF4, in), HookAction::LeaveAlone);
    EXPECT_EQ(DecideMessageHook(msg::kSysKeyDown, vk::kMenu, in), HookAction::LeaveAlone);
    EXPECT_EQ(DecideMessageHook(msg::kMouseMove, 0, in), HookAction::LeaveAlone);
    // Any missing precondition leaves the queue alone.
    for (int i = 0; i < 5; ++i) {
        MessageHookInputs off = in;
        bool* flags[] = {&off.action_remove, &off.in_front, &off.ui_window_exists, &off.minimized, &off.to_game_window};
        *flags[i] = !*flags[i];
        EXPECT_EQ(DecideMessageHook(msg::kKeyDown, 'A', off), HookAction::LeaveAlone) << i;
    }
}

TEST(Hotkeys, EdgeFiresOncePerPressAndTalkChannelPriority) {
    EdgeTrigger t;
    const bool held[] = {false, true, true, true, false, true, false};
    const bool fires[] = {false, true, false, false, false, true, false};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(t.Update(held[i]), fires[i]) << i;

    EXPECT_EQ(ChooseTalkChannel(false, false, false, false), -1);
    EXPECT_EQ(ChooseTalkChannel(false, false, false, true), 0);
    EXPECT_EQ(ChooseTalkChannel(false, true, false, true), 2);  // "+" and M together talk on 2
    EXPECT_EQ(ChooseTalkChannel(false, false, true, true), 3);
    EXPECT_EQ(ChooseTalkChannel(true, true, true, true), 1);
}

}  // namespace
}  // namespace hm
