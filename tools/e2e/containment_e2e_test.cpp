// Failure containment in the fake game under Wine (test-hooks build): each hook body and each
// thread's loop step throws, a std::runtime_error and then an exception that is no
// std::exception, while the game runs. The game must keep presenting, the frame notice must
// appear where the per-frame work failed, and every lock the plugin's threads take must be free
// again in the next frame.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "tools/e2e/e2e_harness.h"

namespace hm::e2e {
namespace {

using namespace std::chrono_literals;

long long Counter(Scenario& s, int which) { return std::stoll(s.Ok("graphics " + std::to_string(which))); }

const char kFrameNotice[] = "HM Plugin: obraz nelze zpracovat. Zkontrolujte 32bitovy rezim a kompatibilitu D3D9.";

// Site numbers of the plugin's fault seam (base/fault_seam.h) and what makes each one run.
struct Site {
    int number;
    const char* name;
    const char* stimulus;  // a fake-game command that reaches the site
    bool frame_notice;     // the per-frame work failed: the frame notice is due
};
const Site kSites[] = {
    {1, "present", "frames 2", true},
    {2, "begin scene", "frames 1", false},
    {3, "clean frame", "frames 1", false},
    {4, "draw hooks", "frames 1", false},
    {5, "window procedure", "key down A", false},
    {6, "message hook", "key up A", false},
    {7, "cursor hooks", "setcursor 40 40", false},
    {8, "worker pass", "run 300", false},
    {9, "capture pass", "run 200", false},
    {10, "exchange pass", "run 400", false},
};

std::string Field(const std::string& answer, const std::string& name) {
    const std::size_t at = answer.find(name + "=");
    if (at == std::string::npos) return "";
    const std::size_t from = at + name.size() + 1;
    return answer.substr(from, answer.find(' ', from) - from);
}

TEST(Containment, EveryHookAndLoopStepSurvivesItsOwnFailure) {
    Scenario s("containment");
    s.WriteIni(s.DefaultIni());
    GameOptions o;
    o.testHooks = true;
    o.extraArgs = {"--hm-2d-pass"};  // the game routine the clean-frame hook sits on
    s.StartGame(o);
    ASSERT_TRUE(s.RenderUntil([&] { return Counter(s, 8) == 1 && Counter(s, 7) == 1; }, 60s))
        << "device and clean-frame hooks\n" << s.GameLog();
    // The test overlay stands in for an open computer: the window procedure and the message hook
    // are in place while it is shown.
    ASSERT_EQ(s.Ok("overlay ff3366cc 64 64"), "shown");
    s.Ok("focus");
    s.Ok("frames 3");

    for (const Site& site : kSites) {
        SCOPED_TRACE(site.name);
        const long long presents = Counter(s, 0);
        const std::string arm = "fault " + std::to_string(site.number);
        // "fault" answers the count thrown so far: each kind must have been thrown in its turn.
        const long before = std::stol(Field(s.Ok(arm + " 1"), "thrown"));
        s.Ok(site.stimulus);
        const long afterRuntimeError = std::stol(Field(s.Ok(arm + " 2"), "thrown"));
        s.Ok(site.stimulus);
        const long afterForeign = std::stol(Field(s.Ok("fault 0 1"), "thrown"));
        EXPECT_GT(afterRuntimeError, before) << "std::runtime_error thrown";
        EXPECT_GT(afterForeign, afterRuntimeError) << "foreign exception thrown";
        if (site.stimulus == std::string("key down A")) s.Ok("key up A");
        const std::string frames = s.Ok("frames 1");
        EXPECT_THAT(frames, ::testing::StartsWith("frames=1 ")) << "the game still renders";
        EXPECT_EQ(Field(s.Ok("locks"), "free"), "15") << "a lock stayed held";
        EXPECT_GT(Counter(s, 0), presents) << "the plugin's frame work runs again";
        if (site.frame_notice) {
            EXPECT_EQ(s.Ok("notice"), kFrameNotice);
        }
    }
    // Still the whole plugin afterwards: the worker loops, the frame work draws the overlay.
    EXPECT_THAT(s.Ok("plugin"), ::testing::HasSubstr("worker_stage=4"));
    const long long uploads = Counter(s, 1);
    s.Ok("overlay ff00ff00 64 64");
    s.Ok("frames 2");
    EXPECT_GT(Counter(s, 1), uploads) << "a new overlay frame still reaches the screen";
    EXPECT_EQ(s.Quit(), 0);
}

}  // namespace
}  // namespace hm::e2e
