// Television end to end in a 64-bit Wine prefix: the 32-bit game with the plugin starts the
// 64-bit helper (with the fake framework) in a kill-on-close job, the helper's frames show on the
// in-vehicle screen, and the server, a silent API, a crashing helper and the game's end all
// take the picture and the helper away as they should.
#include <dirent.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

#include "tools/e2e/e2e_harness.h"
#include "tools/fake_cef/test_card.h"

namespace hm::e2e {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

const std::string kCredential = "0dd0ba110dd0ba110dd0ba110dd0ba110dd0ba110dd0ba110dd0ba110dd0ba11";
const std::string kToken = "7ea7ea007ea7ea007ea7ea007ea7ea007ea7ea007ea7ea007ea7ea007ea7ea00";

// The cab screen over x 160..480, y 120..360 of the 640 x 480 game: eye at the origin looking
// along +y, z up, 90 degrees, corners at depth 2.
const std::string kCabScreen = "cabscreen -1 2 0.75 1 2 0.75 -1 2 -0.75 1 2 -0.75 0 0 0 0 1 0 0 0 1 90";

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Linux processes of Wine that run a helper from this scenario's folder.
int HelperProcesses(const std::string& folder_name) {
    int n = 0;
    DIR* proc = opendir("/proc");
    if (!proc) return -1;
    while (dirent* e = readdir(proc)) {
        if (e->d_name[0] < '0' || e->d_name[0] > '9') continue;
        std::string cmd = ReadText(std::string("/proc/") + e->d_name + "/cmdline");
        for (char& c : cmd)
            if (c == '\0') c = ' ';
        if (cmd.find("HM_PluginBrowser.exe") != std::string::npos && cmd.find(folder_name) != std::string::npos) ++n;
    }
    closedir(proc);
    return n;
}

std::uint32_t Rgb(const Pixels& p, int x, int y) { return p.at(std::uint32_t(x), std::uint32_t(y)) & 0xFFFFFF; }

// Whether the test card's bars sit on the cab screen; the game's own picture is elsewhere.
bool CardOnScreen(const Pixels& p) {
    for (int k = 0; k < 8; ++k)
        if (Rgb(p, 160 + 20 + 40 * k, 260) != fake_cef::kBars[k]) return false;
    return true;
}

// x of the white stripe along the screen's top edge, -1 when there is none.
int StripeX(const Pixels& p) {
    for (int x = 160; x < 480; ++x)
        if (Rgb(p, x, 122) == 0xFFFFFF) return x;
    return -1;
}

TEST(TelevisionWow64, HelperFramesOnTheCabScreenAndEveryWayTheyGo) {
    const char* win64 = std::getenv("HM_WIN64_BIN");
    if (!win64 || !fs::exists(fs::path(win64) / "HM_PluginBrowser.exe")) GTEST_SKIP() << "needs the win64 build";
    Scenario s("tv_wow64");
    fake::FakeApi& api = s.api();
    api.Script("POST", "/resume", fake::Reply(201, kToken + "\n0123456789ab\n"));
    api.Script("GET", "/state", fake::Reply(200, "OK 0 0\n"));
    api.Script("POST", "/presence", fake::Reply(204));
    api.Script("GET", "/tv/state", fake::Reply(200, "TV 30001\n"));

    // The full helper folder: the helper, the fake framework and the runtime files it names.
    const fs::path helper = fs::path(s.dir()) / "HM_PluginBrowser";
    fs::create_directories(helper);
    fs::copy_file(fs::path(win64) / "HM_PluginBrowser.exe", helper / "HM_PluginBrowser.exe");
    fs::copy_file(fs::path(win64) / "libcef.dll", helper / "libcef.dll");
    for (const char* f : {"chrome_elf.dll", "icudtl.dat", "resources.pak", "v8_context_snapshot.bin"}) std::ofstream(helper / f) << "x";
    std::ofstream(helper / "fake_cef_script.txt") << "title=2:HMMedia:playing\n";

    ForgetDeviceAtEnd forget{s.dir()};
    ASSERT_EQ(RunSessionProbe(s.dir(), {"save-plugin", api.BaseUrl(), kCredential}), 0);
    IniKeys ini = s.DefaultIni();
    ini.push_back({"AutoConnect", "1"});
    ini.push_back({"Television", "1"});
    s.WriteIni(ini);
    GameOptions options;
    options.testHooks = true;  // the cab screen is placed through the test door until the cockpit camera exists
    s.StartGame(options);
    s.Ok(kCabScreen);

    // "TV 30001": the helper runs with the page address, its frames reach the cab screen.
    ASSERT_TRUE(s.RenderUntil([&] { return Field(s.Ok("tv 2"), "value") == 1; }, 90s)) << s.GameLog();
    const std::string record = ReadText((helper / "fake_cef_record.txt").string());
    EXPECT_NE(record.find("browser url=https://127.0.0.1:" + std::to_string(api.port()) +
                          "/HM/MEDIA-PLUGIN/test-api/tv/player#" + kToken + "\n"),
              std::string::npos)
        << record;
    EXPECT_EQ(Field(s.Ok("tv 0"), "value"), 30001);
    Pixels first = s.Screenshot("tv-cab-1.png");
    EXPECT_TRUE(CardOnScreen(first));
    EXPECT_EQ(Rgb(first, 80, 260), Rgb(first, 600, 260)) << "outside the screen: the game's picture";
    EXPECT_NE(StripeX(first), -1);
    // Frames come as the loaded machine lets them: render until a newer one is on the screen.
    std::optional<Pixels> second;
    EXPECT_TRUE(s.RenderUntil(
        [&] {
            second.emplace(s.Screenshot("tv-cab-2.png"));
            return StripeX(*second) != StripeX(first);
        },
        20s))
        << "the stripe moves with the helper's frames";
    EXPECT_TRUE(CardOnScreen(*second));

    // The API goes silent: the picture goes within 3.5 s, the helper lives on its heartbeat.
    api.Stop();
    const auto stopped = std::chrono::steady_clock::now();
    // The last good answer came at most 700 ms before: its deadline holds the picture past the
    // first frames after the stop, and a frame drawn 3.5 s after the stop has none.
    s.Ok("run 300");
    EXPECT_TRUE(CardOnScreen(s.Screenshot("tv-cab-silent-early.png")));
    const long left = 3500 - long(std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - stopped).count());
    if (left > 0) s.Ok("run " + std::to_string(left));
    s.Ok("run 1000");
    EXPECT_FALSE(CardOnScreen(s.Screenshot("tv-cab-silent.png")));
    EXPECT_EQ(Field(s.Ok("tv 1"), "value"), 1);
    EXPECT_EQ(HelperProcesses("tv_wow64"), 1);
    api.Restart();

    // "OFF": picture and helper gone.
    api.Script("GET", "/tv/state", fake::Reply(200, "OFF\n"));
    ASSERT_TRUE(s.RenderUntil([&] { return Field(s.Ok("tv 4"), "value") == 0; }, 30s));
    EXPECT_FALSE(CardOnScreen(s.Screenshot("tv-cab-off.png")));
    ASSERT_TRUE(s.RenderUntil([&] { return HelperProcesses("tv_wow64") == 0; }, 20s));

    // A helper that crashes is named with its code.
    std::ofstream(helper / "fake_cef_script.txt", std::ios::trunc) << "exit_after_frames=10\nexit_code=0xC0000005\n";
    api.Script("GET", "/tv/state", fake::Reply(200, "TV 30001\n"));
    const std::string crashed = "HM Plugin: Prehravac skoncil (kod 0xc0000005). Spust ZKONTROLOVAT.cmd.";
    ASSERT_TRUE(s.RenderUntil([&] { return s.Ok("notice") == crashed; }, 60s)) << s.Ok("notice");

    // After its 15 s pause the TV comes back; the game's end takes the helper with it.
    std::ofstream(helper / "fake_cef_script.txt", std::ios::trunc) << "";
    ASSERT_TRUE(s.RenderUntil([&] { return Field(s.Ok("tv 1"), "value") == 1; }, 60s));
    EXPECT_EQ(HelperProcesses("tv_wow64"), 1);
    EXPECT_EQ(s.Quit(), 0);
    bool gone = false;
    for (int i = 0; i < 100 && !gone; ++i) {
        gone = HelperProcesses("tv_wow64") == 0;
        if (!gone) std::this_thread::sleep_for(100ms);
    }
    EXPECT_TRUE(gone) << "no helper outlives the game";
}

}  // namespace
}  // namespace hm::e2e
