// End to end in the fake game: the plugin loaded by gta_sa.exe under Wine resumes a remembered
// device by itself once the game draws, polls the state and checks presence against the fake API.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/e2e/e2e_harness.h"

namespace hm::e2e {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::string kCredential = "0dd0ba110dd0ba110dd0ba110dd0ba110dd0ba110dd0ba110dd0ba110dd0ba11";
const std::string kToken = "7ea7ea007ea7ea007ea7ea007ea7ea007ea7ea007ea7ea007ea7ea007ea7ea00";


TEST(SessionInGame, RememberedDeviceResumesWithoutDialogOnceTheGameDraws) {
    if (!std::getenv("HM_WIN32_BIN") || !std::getenv("HM_WINE_RUN")) GTEST_SKIP() << "needs HM_WIN32_BUILD";
    Scenario s("session_resume");
    fake::FakeApi& api = s.api();
    std::vector<std::pair<std::string, Clock::time_point>> seen;
    std::mutex lock;
    api.OnRequest([&](const fake::RecordedRequest& r, const fake::Reply&) {
        std::lock_guard<std::mutex> hold(lock);
        seen.push_back({r.method + " " + r.path, Clock::now()});
    });
    api.Script("POST", "/resume", fake::Reply(201, kToken + "\n0123456789ab\n"));
    api.Script("GET", "/state", fake::Reply(200, "OK 0 0\n"));
    api.Script("POST", "/presence", fake::Reply(204));

    ForgetDeviceAtEnd forget{s.dir()};
    ASSERT_EQ(RunSessionProbe(s.dir(), {"save-plugin", api.BaseUrl(), kCredential}), 0);
    IniKeys ini = s.DefaultIni();
    ini.push_back({"AutoConnect", "1"});
    s.WriteIni(ini);
    s.StartGame();

    const auto drawing = Clock::now();
    s.Ok("run 7000");
    auto resume = api.WaitFor("POST", "/resume", 5s);
    ASSERT_TRUE(resume) << s.Ok("plugin") << "\n" << s.GameLog();
    EXPECT_EQ(resume->Header("Authorization"), "Bearer " + kCredential);

    std::vector<Clock::time_point> states, presences;
    Clock::time_point resumed{};
    {
        std::lock_guard<std::mutex> hold(lock);
        for (const auto& [key, at] : seen) {
            if (key == "POST /resume" && resumed == Clock::time_point{}) resumed = at;
            if (key == "GET /state") states.push_back(at);
            if (key == "POST /presence") presences.push_back(at);
        }
    }
    const long to_resume = long(std::chrono::duration_cast<std::chrono::milliseconds>(resumed - drawing).count());
    auto median_gap = [](const std::vector<Clock::time_point>& t) {
        std::vector<long> gaps;
        for (std::size_t i = 1; i < t.size(); ++i)
            gaps.push_back(long(std::chrono::duration_cast<std::chrono::milliseconds>(t[i] - t[i - 1]).count()));
        std::sort(gaps.begin(), gaps.end());
        return gaps.empty() ? -1L : gaps[gaps.size() / 2];
    };
    std::printf("[ figures  ] resume %ld ms after drawing began; state gap %ld ms, presence gap %ld ms\n", to_resume,
                median_gap(states), median_gap(presences));
    EXPECT_GE(to_resume, 0);  // not before the game drew
    EXPECT_LE(to_resume, 5500);
    EXPECT_GE(states.size(), 5u);
    EXPECT_GE(median_gap(states), 330);
    EXPECT_LE(median_gap(states), 700);
    EXPECT_GE(median_gap(presences), 950);
    EXPECT_LE(median_gap(presences), 1600);
    for (const auto& r : api.RequestsTo("POST", "/presence")) {
        EXPECT_EQ(r.Header("X-HMPlugin-Player"), "Test_Player");
        EXPECT_EQ(r.Header("X-HMPlugin-Port"), "7777");
        EXPECT_EQ(r.Header("X-HMPlugin-Consent"), "1");
    }
    EXPECT_TRUE(api.RequestsTo("POST", "/pair").empty());
    EXPECT_TRUE(api.RequestsTo("POST", "/device").empty());
    EXPECT_EQ(api.RequestsTo("POST", "/resume").size(), 1u);
    EXPECT_EQ(s.Quit(), 0);
}

}  // namespace
}  // namespace hm::e2e
