// Hotkeys in the fake game: they act once per press, only while the game is in front.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "tools/e2e/e2e_harness.h"

namespace hm::e2e {
namespace {

using namespace std::chrono_literals;


// Holds Ctrl+<key> for `holdMs` of rendered time (the worker samples every 30 ms), then lets go
// and gives the worker a few passes to act.
void PressCtrl(Scenario& s, const std::string& key, int holdMs) {
    s.Ok("key down CTRL");
    s.Ok("key down " + key);
    s.Ok("run " + std::to_string(holdMs));
    s.Ok("key up " + key);
    s.Ok("key up CTRL");
    s.Ok("run 300");
}

TEST(Hotkeys, ActOncePerPressAndOnlyInFront) {
    Scenario s("hotkeys");
    s.WriteIni(s.DefaultIni());
    s.StartGame();
    // The worker must be in its loop before keys count.
    ASSERT_TRUE(s.RenderUntil([&] { return Field(s.Ok("plugin"), "worker_stage") >= 4; }, 60s));
    ASSERT_EQ(s.Ok("focus").find("foreground=1"), 0u);
    ASSERT_EQ(Field(s.Ok("plugin"), "photo_visible"), 0);

    // Ctrl+F11 toggles PhotoVisible; holding it for many worker passes still acts once.
    PressCtrl(s, "F11", 200);
    EXPECT_EQ(Field(s.Ok("plugin"), "photo_visible"), 1);
    PressCtrl(s, "F11", 1500);
    EXPECT_EQ(Field(s.Ok("plugin"), "photo_visible"), 0);
    // F11 without Ctrl is no hotkey.
    s.Ok("key tap F11");
    s.Ok("run 300");
    EXPECT_EQ(Field(s.Ok("plugin"), "photo_visible"), 0);

    // Ctrl+F10 while not connected asks for the consent dialog.
    const int dialogsBefore = Field(s.Ok("plugin"), "dialogs");
    PressCtrl(s, "F10", 200);
    EXPECT_TRUE(s.RenderUntil([&] { return Field(s.Ok("plugin"), "dialogs") > dialogsBefore; }, 5s));

    // With another process's window in front nothing fires.
    const std::string unfocused = s.Ok("unfocus");
    if (unfocused.find("foreground=0") == 0) {
        PressCtrl(s, "F11", 300);
        EXPECT_EQ(Field(s.Ok("plugin"), "photo_visible"), 0);
        ASSERT_EQ(s.Ok("focus").find("foreground=1"), 0u);
        PressCtrl(s, "F11", 300);
        EXPECT_EQ(Field(s.Ok("plugin"), "photo_visible"), 1);
    } else {
        ADD_FAILURE() << "Wine kept the game in front: " << unfocused;
    }
    EXPECT_EQ(s.Quit(), 0);
}

}  // namespace
}  // namespace hm::e2e
