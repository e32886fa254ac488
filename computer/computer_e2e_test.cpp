// The in-game computer's UI thread in the fake game with the shipped plugin: the session's consent
// dialog on screen, answered with real clicks and keys.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "tools/e2e/e2e_harness.h"
#include "tools/fake_api/demo_world.h"

namespace hm::e2e {
namespace {

using namespace std::chrono_literals;

constexpr CanvasPoint kConsentPanel{30, 300};
constexpr CanvasPoint kConsentPrimary{30, 720};  // inside "Souhlasím", left of its label
constexpr unsigned kPanelRgb = 0xFFFFFF;
constexpr unsigned kPrimaryRgb = 0x2260AA;  // the primary button colour 0xAA6022 as RGB

std::string ClickAt(CanvasPoint p) { return "canvasclick " + std::to_string(p.x) + " " + std::to_string(p.y); }

class ConsentInGame : public testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("HM_WIN32_BIN") || !std::getenv("HM_WINE_RUN")) GTEST_SKIP() << "needs HM_WIN32_BUILD";
    }
    void Start(Scenario& s, const std::string& name) {
        fake::ScriptDemoWorld(s.api(), 100000);
        s.WriteIni(s.DefaultIni());
        GameOptions options;
        options.name = name;
        s.StartGame(options);
        ASSERT_TRUE(s.RenderUntil([&] { return Field(s.Ok("plugin"), "worker_stage") >= 4; }, 60s));
        ASSERT_EQ(s.Ok("focus").find("foreground=1"), 0u);
    }
    void AskForConsent(Scenario& s) {
        s.Ok("key down CTRL");
        s.Ok("key tap F10");
        s.Ok("key up CTRL");
        ASSERT_TRUE(RenderUntilCanvasColour(s, kConsentHeader.x, kConsentHeader.y, kDialogHeaderRgb, 30s))
            << s.GameLog();
    }
};

TEST_F(ConsentInGame, EscRefusesAndAClickOnSouhlasimPairs) {
    Scenario s("consent_click");
    Start(s, "Test_Player");

    // Esc: no consent, a sticky notice, nothing sent.
    AskForConsent(s);
    s.Ok("key tap ESC");
    EXPECT_TRUE(s.RenderUntil([&] { return CanvasColour(s, kConsentHeader.x, kConsentHeader.y) != long(kDialogHeaderRgb); }, 20s));
    EXPECT_TRUE(s.RenderUntil([&] { return s.Ok("pixel 13 30") == "ff64e2c5"; }, 20s)) << s.Ok("pixel 13 30");
    EXPECT_TRUE(s.api().RequestsTo("POST", "/pair").empty());

    // Again, and this time the player agrees with a click on the first button.
    AskForConsent(s);
    s.Screenshot("consent.png");
    EXPECT_EQ(CanvasColour(s, kConsentPanel.x, kConsentPanel.y), long(kPanelRgb));
    EXPECT_EQ(CanvasColour(s, kConsentPrimary.x, kConsentPrimary.y), long(kPrimaryRgb));
    s.Ok("events");  // forget what came before
    s.Ok(ClickAt(kConsentAgree));
    ASSERT_TRUE(s.api().WaitFor("POST", "/pair", 20s).has_value());
    EXPECT_TRUE(s.RenderUntil([&] { return CanvasColour(s, kConsentHeader.x, kConsentHeader.y) != long(kDialogHeaderRgb); }, 20s));
    const std::string events = s.Ok("events");
    EXPECT_EQ(events.find("LBUTTON"), std::string::npos) << "the game saw the click: " << events;
    EXPECT_EQ(s.api().RequestsTo("POST", "/pair").size(), 1u);
    EXPECT_EQ(s.Quit(), 0);
}

TEST_F(ConsentInGame, WithoutAPlayerNameNothingIsSent) {
    Scenario s("consent_no_name");
    Start(s, "");
    AskForConsent(s);
    s.Ok(ClickAt(kConsentAgree));
    s.Ok("key tap ENTER");
    s.Ok("run 1500");
    // The dialog stays, nothing went out.
    EXPECT_EQ(CanvasColour(s, kConsentHeader.x, kConsentHeader.y), long(kDialogHeaderRgb));
    EXPECT_TRUE(s.api().RequestsTo("POST", "/pair").empty());
    s.Screenshot("consent_no_name.png");
    EXPECT_EQ(s.Quit(), 0);
}

}  // namespace
}  // namespace hm::e2e
