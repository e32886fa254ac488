// The harness itself, without Wine: a stand-in runner script plays the game's side of the
// control protocol over bash's /dev/tcp.
#include "tools/e2e/e2e_harness.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <signal.h>
#include <unistd.h>

namespace hm::e2e {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST(E2eHarness, BuildsTheGameSwitchesALauncherPasses) {
    struct Case {
        GameOptions options;
        std::vector<std::string> args;
    };
    GameOptions plain, bare, extra;
    bare.host = "";
    bare.port = 0;
    bare.name = "";
    extra.host = "play.example.cz";
    extra.port = 7778;
    extra.name = "Jan_Novak";
    extra.extraArgs = {"-z", "secret"};
    const Case cases[] = {
        {plain, {"-c", "-h", CommunityHost(), "-p", "7777", "-n", "Test_Player"}},
        {bare, {"-c"}},
        {extra, {"-c", "-h", "play.example.cz", "-p", "7778", "-n", "Jan_Novak", "-z", "secret"}},
    };
    for (const auto& c : cases) EXPECT_EQ(GameArguments(c.options), c.args);
}

TEST(E2eHarness, WindowsPathsGoThroughTheZDrive) {
    EXPECT_EQ(WindowsPath("/tmp/a/b.png"), "Z:\\tmp\\a\\b.png");
    EXPECT_EQ(WindowsPath("/tmp/a/../c.png"), "Z:\\tmp\\c.png");
}

// Alive and not a zombie waiting for its parent.
bool Alive(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return false;
    const std::size_t close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'Z';
}

class HarnessWithStandIn : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("hm-e2e-harness-" + std::to_string(::getpid()));
        fs::create_directories(root_ / "bin");
        std::ofstream(root_ / "bin" / "gta_sa.exe") << "exe";
        std::ofstream(root_ / "bin" / "HM_Plugin.dll") << "dll";
        ::setenv("HM_WIN32_BIN", (root_ / "bin").c_str(), 1);
        ::setenv("HM_E2E_DIR", (root_ / "runs").c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("HM_E2E_DIR");
        fs::remove_all(root_);
    }
    // A runner whose "game" behaves as `body` says; $port is the driver's control port.
    void Runner(const std::string& body) {
        const fs::path script = root_ / "runner.sh";
        std::ofstream(script) << "#!/bin/bash\n"
                                 "arch=$1; exe=$2; shift 2\n"
                                 "echo \"runner $arch $(basename \"$exe\") $*\"\n"
                                 "for a in \"$@\"; do case $a in --hm-control=*) port=${a#--hm-control=};; esac; done\n"
                              << body;
        ::setenv("HM_WINE_RUN", script.c_str(), 1);
    }
    fs::path root_;
};

TEST_F(HarnessWithStandIn, StartsDrivesAndEndsTheGame) {
    Runner("exec 3<>/dev/tcp/127.0.0.1/$port\n"
           "echo \"hello stand-in $(ls \"$(dirname \"$exe\")\" | tr '\\n' ' ')\" >&3\n"
           "while read -r line <&3; do\n"
           "  case $line in quit) echo 'ok frames=0' >&3; exit 7;; fail*) echo 'error nope' >&3;; *) echo \"ok $line\" >&3;; esac\n"
           "done\n");
    Scenario s("stand in");
    s.WriteIni({{"Enabled", "1"}, {"ApiUrl", "http://127.0.0.1:1/x"}});
    GameOptions o;
    o.exeName = "other.exe";
    s.StartGame(o);
    EXPECT_EQ(fs::path(s.dir()).filename(), "stand_in");
    EXPECT_THAT(s.greeting(), ::testing::HasSubstr("HM_Plugin.dll HM_Plugin.ini game.log other.exe"));
    EXPECT_EQ(s.Command("frames 3"), "ok frames 3");
    EXPECT_EQ(s.Ok("echo two words"), "echo two words");
    EXPECT_THROW(s.Ok("fail"), std::runtime_error);
    int runs = 0;
    EXPECT_TRUE(s.RenderUntil([&] { return ++runs == 3; }, 10s));  // asks twice, renders between
    EXPECT_FALSE(s.RenderUntil([] { return false; }, 50ms, 20ms));
    EXPECT_EQ(s.Quit(), 7);  // the runner's exit code is the game's
    EXPECT_FALSE(s.running());
    EXPECT_THAT(s.GameLog(), ::testing::HasSubstr("runner win32 other.exe -c -h " + CommunityHost() +
                                                  " -p 7777 -n Test_Player --hm-control="));
    std::ifstream ini(fs::path(s.dir()) / "HM_Plugin.ini", std::ios::binary);
    std::stringstream text;
    text << ini.rdbuf();
    EXPECT_EQ(text.str(), "[HM_Plugin]\r\nEnabled=1\r\nApiUrl=http://127.0.0.1:1/x\r\n");
}

// Wine may kill the process in its teardown after the game finished (the runner then says 137):
// only a game that said "bye <code>" first has its own code taken.
TEST_F(HarnessWithStandIn, TakesTheGamesFarewellOnlyWhenWineKilledItAfterwards) {
    struct Case {
        const char* onQuit;
        int expected;
    };
    const Case cases[] = {
        {"echo 'bye 0' >&3; exit 137", 0},
        {"echo 'bye 3' >&3; exit 137", 3},
        {"exit 137", 137},                  // killed before the game had finished
        {"echo 'bye 0' >&3; exit 5", 5},   // a plain exit code stays what it is
    };
    for (const auto& c : cases) {
        Runner(std::string("exec 3<>/dev/tcp/127.0.0.1/$port\necho hello stand-in >&3\n"
                           "read -r line <&3; echo 'ok frames=0' >&3\n") +
               c.onQuit + "\n");
        Scenario s("farewell");
        s.StartGame();
        EXPECT_EQ(s.Quit(), c.expected) << c.onQuit;
    }
}

TEST_F(HarnessWithStandIn, LeavesThePluginOutWhenAsked) {
    Runner("exec 3<>/dev/tcp/127.0.0.1/$port\n"
           "echo \"hello $(ls \"$(dirname \"$exe\")\" | tr '\\n' ' ')\" >&3\n"
           "read -r line <&3; echo ok >&3\n");
    Scenario s("no plugin");
    GameOptions o;
    o.withPlugin = false;
    s.StartGame(o);
    EXPECT_THAT(s.greeting(), ::testing::Not(::testing::HasSubstr("HM_Plugin.dll")));
    EXPECT_EQ(s.Quit(), 0);
}

TEST_F(HarnessWithStandIn, ReportsAGameThatEndsBeforeConnecting) {
    Runner("echo 'wine: cannot start' >&2\nexit 5\n");
    Scenario s("early end");
    try {
        s.StartGame();
        FAIL() << "StartGame succeeded";
    } catch (const std::runtime_error& e) {
        EXPECT_THAT(e.what(), ::testing::HasSubstr("exit 5"));
        EXPECT_THAT(e.what(), ::testing::HasSubstr("wine: cannot start"));
    }
    EXPECT_FALSE(s.running());
}

TEST_F(HarnessWithStandIn, KillsAGameThatHangs) {
    // Connects, greets, then neither answers nor ends; a child process hangs with it.
    Runner("exec 3<>/dev/tcp/127.0.0.1/$port\necho hello hang >&3\nsleep 600 &\necho $! > \"$(dirname \"$exe\")/child.pid\"\nsleep 600\n");
    Scenario s("hang");
    s.StartGame();
    EXPECT_THROW(s.Command("frames 1", 300ms), std::runtime_error);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(s.WaitExit(200ms), -1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_FALSE(s.running());
    std::ifstream pidFile(fs::path(s.dir()) / "child.pid");
    pid_t child = 0;
    pidFile >> child;
    ASSERT_GT(child, 0);
    for (int i = 0; i < 50 && Alive(child); ++i) std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(Alive(child)) << "the runner's child outlived the kill";
}

TEST_F(HarnessWithStandIn, GivesUpOnAGameThatNeverConnects) {
    Runner("sleep 600\n");
    Scenario s("silent");
    GameOptions o;
    o.startTimeout = 500ms;
    EXPECT_THROW(s.StartGame(o), std::runtime_error);
    EXPECT_FALSE(s.running());
}

}  // namespace
}  // namespace hm::e2e
