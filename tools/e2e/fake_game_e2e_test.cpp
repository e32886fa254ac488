// The fake game with the real plugin under Wine: it renders, shows its scene and markers in a
// screenshot, exits cleanly, and takes injected input the way the plugin will read it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "tools/e2e/e2e_harness.h"
#include "tools/fake_game/scene_layout.h"

namespace hm::e2e {
namespace {

using namespace std::chrono_literals;
namespace fg = hm::fakegame;

std::string Hex(std::uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08x", v);
    return buf;
}

// Every pixel of the rectangle, shrunk by a margin against edge rounding, has the colour.
void ExpectFilled(const Pixels& p, fg::Rect r, std::uint32_t colour, const char* what) {
    int wrong = 0;
    std::string first;
    for (int y = r.y + 2; y < r.y + r.h - 2; ++y)
        for (int x = r.x + 2; x < r.x + r.w - 2; ++x)
            if (p.at(x, y) != colour && wrong++ == 0)
                first = std::to_string(x) + "," + std::to_string(y) + " is " + Hex(p.at(x, y));
    EXPECT_EQ(wrong, 0) << what << " should be " << Hex(colour) << "; first wrong pixel " << first;
}

// The plugin's worker starts on its own thread: ask until it shows or the time runs out.
long WorkerStarts(Scenario& s, std::chrono::milliseconds patience) {
    const auto end = std::chrono::steady_clock::now() + patience;
    for (;;) {
        const std::string a = s.Ok("plugin");
        const long starts = std::stol(a.substr(a.find("worker_starts=") + 14));
        if (starts != 0 || std::chrono::steady_clock::now() > end) return starts;
        std::this_thread::sleep_for(100ms);
    }
}

TEST(FakeGame, RendersWithThePluginSavesAScreenshotAndExitsCleanly) {
    Scenario s("renders_with_plugin");
    s.WriteIni(s.DefaultIni());
    s.StartGame();
    EXPECT_THAT(s.greeting(), ::testing::HasSubstr("plugin=loaded"));

    // The image the plugin's fixed-address checks expect: base 0x400000, the game's range present.
    const std::string image = s.Ok("image");
    EXPECT_THAT(image, ::testing::HasSubstr("base=00400000"));
    EXPECT_THAT(image, ::testing::HasSubstr("region=1 state_53e230=1000"));

    EXPECT_EQ(s.Ok("frames 60"), "frames=60 total=60");
    EXPECT_EQ(WorkerStarts(s, 5s), 1);

    const Pixels shot = s.Screenshot("frame60.png");
    ASSERT_EQ(shot.width(), std::uint32_t(fg::kWidth));
    ASSERT_EQ(shot.height(), std::uint32_t(fg::kHeight));
    // The sky below the plugin's start-up banner (top-left, two lines: 12..84) and right of it.
    ExpectFilled(shot, fg::Rect{0, 90, fg::kBuilding.x, fg::kMarkerTop - 8 - 90}, fg::kSkyColour, "sky");
    ExpectFilled(shot, fg::Rect{540, 0, fg::kWidth - 540, fg::kBuilding.y}, fg::kSkyColour, "sky, right");
    ExpectFilled(shot, fg::Rect{0, fg::kCar.y + fg::kCar.h + 4, fg::kWidth, 60}, fg::kGroundColour, "ground");
    ExpectFilled(shot, fg::kBuilding, fg::kBuildingColour, "building");
    // Screen 1 and picture 1057 show their colour while no TV plays and no gallery is up; the
    // hidden surface shows the sky behind it and the lettering surface the lettering's red.
    const auto markers = fg::DefaultMarkers();
    ASSERT_EQ(markers, (std::vector<std::uint32_t>{1, 1057, 65537, 65538}));
    for (int i : {0, 1})
        ExpectFilled(shot, fg::MarkerRect(i), fg::MarkerColour(markers[std::size_t(i)]), ("marker " + std::to_string(markers[std::size_t(i)])).c_str());
    ExpectFilled(shot, fg::MarkerRect(2), fg::kSkyColour, "hidden surface");
    int red = 0, marker = 0;
    const fg::Rect lettering = fg::MarkerRect(3);
    for (int y = lettering.y; y < lettering.y + lettering.h; ++y)
        for (int x = lettering.x; x < lettering.x + lettering.w; ++x) {
            red += shot.at(x, y) == 0xFFA6181Du;
            marker += shot.at(x, y) == fg::MarkerColour(65538);
        }
    EXPECT_EQ(marker, 0) << "the lettering replaces the marker";
    EXPECT_GT(red, lettering.w * lettering.h / 2) << "mostly the lettering's background";
    // The car of the 60th frame (frame index 59).
    fg::Rect car = fg::kCar;
    car.x = fg::kCarStartX + (59 * fg::kCarStep) % fg::kCarTravel;
    ExpectFilled(shot, car, fg::kCarColour, "car");

    EXPECT_EQ(s.Quit(), 0);
}

TEST(FakeGame, UnderAnotherNameThePluginStaysIdle) {
    Scenario s("other_name_idle");
    s.WriteIni(s.DefaultIni());
    GameOptions o;
    o.exeName = "gta_sa_launcher.exe";
    s.StartGame(o);
    EXPECT_THAT(s.greeting(), ::testing::HasSubstr("plugin=loaded"));
    s.Ok("frames 3");
    // Give a worker every chance to show up before concluding that none started.
    EXPECT_EQ(WorkerStarts(s, 1500ms), 0);
    EXPECT_THAT(s.Ok("plugin"), ::testing::HasSubstr("loaded=1 worker_starts=0 worker_stage=0 "));
    EXPECT_EQ(s.Quit(), 0);
}

TEST(FakeGame, InjectedInputReachesMessagesAndKeyState) {
    Scenario s("injected_input");
    s.WriteIni(s.DefaultIni());
    s.StartGame();
    s.Ok("frames 1");
    EXPECT_EQ(s.Ok("focus"), "foreground=1 focus=1");
    s.Ok("events");  // forget what the start produced

    // Ctrl+F10, the plugin's connect hotkey: held keys show in GetAsyncKeyState while down.
    EXPECT_EQ(s.Ok("keystate F10"), "async=up state=up");
    s.Ok("key down CTRL");
    s.Ok("key down F10");
    EXPECT_EQ(s.Ok("keystate CTRL"), "async=down state=down");
    EXPECT_EQ(s.Ok("keystate F10"), "async=down state=down");
    s.Ok("key up F10");
    s.Ok("key up CTRL");
    EXPECT_EQ(s.Ok("keystate F10"), "async=up state=up");
    EXPECT_EQ(s.Ok("keystate CTRL"), "async=up state=up");
    // F10 is a system key: Windows reports it with WM_SYSKEYDOWN and WM_SYSKEYUP.
    EXPECT_EQ(s.Ok("events"), "KEYDOWN:17 SYSKEYDOWN:121 SYSKEYUP:121 KEYUP:17");

    s.Ok("key tap M");
    EXPECT_EQ(s.Ok("events"), "KEYDOWN:77 CHAR:109 KEYUP:77");

    EXPECT_EQ(s.Ok("click 200 150"), "cursor=200,150");
    EXPECT_EQ(s.Ok("click 320 240 right"), "cursor=320,240");
    EXPECT_EQ(s.Ok("events"),
              "MOUSEMOVE:200,150 LBUTTONDOWN:200,150 LBUTTONUP:200,150 "
              "MOUSEMOVE:320,240 RBUTTONDOWN:320,240 RBUTTONUP:320,240");

    // Left running, the game keeps presenting frames between commands; switched off, it waits.
    auto total = [&] {
        const std::string a = s.Ok("frames 0");
        return std::stol(a.substr(a.find("total=") + 6));
    };
    const long before = total();
    s.Ok("autorun 50");
    long running = before;
    for (auto end = std::chrono::steady_clock::now() + 30s; running < before + 3 && std::chrono::steady_clock::now() < end;) {
        std::this_thread::sleep_for(500ms);  // frames cost a few hundred ms under emulation
        running = total();
    }
    EXPECT_GE(running, before + 3);
    s.Ok("autorun off");
    const long stopped = total();
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(total(), stopped);
    EXPECT_EQ(s.Quit(), 0);
}

}  // namespace
}  // namespace hm::e2e
