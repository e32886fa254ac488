// End to end: the plugin's start-up in the fake game under Wine. The worker stage comes from the
// game's "plugin" command; OutputDebugString lines from debug_capture.exe in the same session.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "base/plugin.h"
#include "tools/e2e/e2e_harness.h"

namespace hm::e2e {
namespace {

using namespace std::chrono_literals;

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Asks the game until the worker reaches `wanted` or the time runs out; returns the last stage.
int WaitForStage(Scenario& s, WorkerStage wanted, std::chrono::milliseconds patience) {
    const auto end = std::chrono::steady_clock::now() + patience;
    for (;;) {
        const std::string a = s.Ok("plugin");
        const int stage = std::stoi(a.substr(a.find("worker_stage=") + 13));
        if (stage == int(wanted) || std::chrono::steady_clock::now() > end) return stage;
        std::this_thread::sleep_for(100ms);
    }
}

// debug_capture.exe running in the background for one scenario.
class DebugCapture {
public:
    explicit DebugCapture(const std::string& dir) : file_(dir + "/debug.txt") {
        const std::string cmd = "'" + Env("HM_WINE_RUN") + "' win32 '" + Env("HM_WIN32_BIN") + "/debug_capture.exe' '" +
                                WindowsPath(file_) + "' >'" + dir + "/debug_capture.log' 2>&1 &";
        std::system(cmd.c_str());
        for (int i = 0; i < 300 && ::access((file_ + ".ready").c_str(), F_OK) != 0; ++i) std::this_thread::sleep_for(100ms);
        listening_ = ::access((file_ + ".ready").c_str(), F_OK) == 0;
    }
    ~DebugCapture() { std::ofstream(file_ + ".stop") << "stop\n"; }
    bool listening() const { return listening_; }
    std::string Text(std::chrono::milliseconds patience, const std::string& expect) const {
        const auto end = std::chrono::steady_clock::now() + patience;
        std::string text = ReadAll(file_);
        while (text.find(expect) == std::string::npos && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(100ms);
            text = ReadAll(file_);
        }
        return text;
    }

private:
    std::string file_;
    bool listening_ = false;
};

const char kFailureLine[] = "HM Plugin: initialization failed; check HM_Plugin.ini and D3D9 compatibility.\n";

class Startup : public ::testing::Test {
protected:
    void SetUp() override {
        if (Env("HM_WIN32_BIN").empty() || Env("HM_WINE_RUN").empty())
            GTEST_SKIP() << "needs the Wine session of the host build (HM_WIN32_BUILD)";
    }
};

TEST_F(Startup, NoIniOrEnabledZeroStartsNothing) {
    for (const char* enabled : {"", "0"}) {
        Scenario s(std::string("startup_disabled_") + (*enabled ? enabled : "noini"));
        if (*enabled) {
            IniKeys keys = s.DefaultIni();
            keys[0].second = enabled;
            s.WriteIni(keys);
        } else {
            s.api();  // listening, so a request would be seen
        }
        s.StartGame();
        EXPECT_EQ(WaitForStage(s, WorkerStage::Disabled, 20s), int(WorkerStage::Disabled)) << enabled;
        s.Ok("frames 5");
        EXPECT_TRUE(s.api().Requests().empty());
        EXPECT_EQ(s.Quit(), 0);
    }
}

TEST_F(Startup, PlainHttpToAnotherHostEndsWithTheDebugLine) {
    Scenario s("startup_http_other_host");
    DebugCapture capture(s.dir());
    ASSERT_TRUE(capture.listening());
    s.WriteIni({{"Enabled", "1"},
                {"ApiUrl", "http://192.0.2.7:" + std::to_string(s.api().port()) + "/HM/MEDIA-PLUGIN/test-api"},
                {"AllowLocalHttp", "1"}});
    s.StartGame();
    EXPECT_EQ(WaitForStage(s, WorkerStage::Failed, 20s), int(WorkerStage::Failed));
    EXPECT_THAT(capture.Text(10s, kFailureLine), ::testing::HasSubstr(kFailureLine));
    EXPECT_TRUE(s.api().Requests().empty());
    EXPECT_EQ(s.Quit(), 0);
}

TEST_F(Startup, GoodConfigurationReachesTheLoopWithoutTheDebugLine) {
    Scenario s("startup_good");
    DebugCapture capture(s.dir());
    ASSERT_TRUE(capture.listening());
    s.WriteIni(s.DefaultIni());
    s.StartGame();
    EXPECT_EQ(WaitForStage(s, WorkerStage::Looping, 20s), int(WorkerStage::Looping));
    s.Ok("frames 5");
    EXPECT_EQ(capture.Text(1s, kFailureLine).find("initialization failed"), std::string::npos);
    // The plugin pinned itself: the game giving back its reference leaves the hooks' code mapped.
    EXPECT_EQ(s.Ok("unload"), "resident=1");
    s.Ok("frames 3");
    EXPECT_EQ(WaitForStage(s, WorkerStage::Looping, 1s), int(WorkerStage::Looping));
    EXPECT_EQ(s.Quit(), 0);
}

TEST_F(Startup, AnotherServerLeavesThePluginIdle) {
    Scenario s("startup_other_server");
    s.WriteIni(s.DefaultIni());
    GameOptions o;
    o.host = "other.example";
    s.StartGame(o);
    EXPECT_EQ(WaitForStage(s, WorkerStage::GateRefused, 20s), int(WorkerStage::GateRefused));
    // Refused before it pins itself: the game can unload it once its worker has returned.
    std::this_thread::sleep_for(2s);
    EXPECT_EQ(s.Ok("unload"), "resident=0");
    s.Ok("frames 2");
    EXPECT_EQ(s.Quit(), 0);
}

}  // namespace
}  // namespace hm::e2e
