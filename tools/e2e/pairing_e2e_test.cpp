// Pairing in the fake game: consent, /pair, and the bind code typed into SA-MP's chat as
// "/hmpluginbind <code>" through a fake samp.dll, never while its chat box or a dialog is open
// and at most every 3 s.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tools/e2e/e2e_harness.h"
#include "tools/fake_api/demo_world.h"

namespace hm::e2e {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;


TEST(Pairing, BindCodeReachesTheChatOnlyWhenItIsFree) {
    Scenario s("pairing");
    fake::ScriptDemoWorld(s.api(), 100000);  // the server keeps answering WAIT: pairing stays open
    s.WriteIni(s.DefaultIni());
    std::filesystem::copy_file(std::string(std::getenv("HM_WIN32_BIN")) + "/samp.dll", s.dir() + "/samp.dll");
    GameOptions options;
    options.extraArgs = {"--hm-samp"};
    s.StartGame(options);
    ASSERT_TRUE(s.RenderUntil([&] { return Field(s.Ok("plugin"), "worker_stage") >= 4; }, 60s));
    ASSERT_EQ(s.Ok("focus").find("foreground=1"), 0u);

    // Before consent nothing is typed, and the fake chat box stays untouched.
    s.Ok("run 500");
    EXPECT_EQ(Field(s.Ok("samp"), "lines"), 0);

    // Ctrl+F10 asks for consent; the player agrees with the first button.
    s.Ok("key down CTRL");
    s.Ok("key tap F10");
    s.Ok("key up CTRL");
    ASSERT_TRUE(s.RenderUntil([&] { return Field(s.Ok("plugin"), "dialogs") >= 1; }, 10s));
    ASSERT_TRUE(RenderUntilCanvasColour(s, kConsentHeader.x, kConsentHeader.y, kDialogHeaderRgb, 30s));
    s.Ok("sampchat 1");  // the player is typing: the command must wait
    s.Ok("canvasclick " + std::to_string(kConsentAgree.x) + " " + std::to_string(kConsentAgree.y));
    ASSERT_TRUE(s.api().WaitFor("POST", "/pair", 20s).has_value());
    ASSERT_TRUE(s.RenderUntil([&] { return !s.api().RequestsTo("GET", "/state").empty(); }, 20s));
    s.Ok("run 1500");
    EXPECT_EQ(Field(s.Ok("samp"), "lines"), 0) << "typed while the chat box was open";

    s.Ok("sampchat 0");
    ASSERT_TRUE(s.RenderUntil([&] { return Field(s.Ok("samp"), "lines") >= 1; }, 20s));
    const std::string samp = s.Ok("samp");
    EXPECT_NE(samp.find("last=/hmpluginbind " + fake::kDemoBindCode), std::string::npos) << samp;

    // While pairing stays open the command repeats, but never faster than every 3 s.
    const int before = Field(s.Ok("samp"), "lines");
    const auto start = Clock::now();
    s.Ok("run 4000");
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const int sent = Field(s.Ok("samp"), "lines") - before;
    EXPECT_LE(sent, int(seconds / 3.0) + 1) << sent << " lines in " << seconds << " s";

    // A SA-MP dialog holds it back too.
    s.Ok("sampchat 1 dialog");
    const int heldAt = Field(s.Ok("samp"), "lines");
    s.Ok("run 4000");
    EXPECT_EQ(Field(s.Ok("samp"), "lines"), heldAt);
    EXPECT_EQ(s.Quit(), 0);
}

}  // namespace
}  // namespace hm::e2e
