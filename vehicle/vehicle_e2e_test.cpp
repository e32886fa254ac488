// The cockpit camera and the ladder truck in the fake game with its game routines: the plugin,
// resumed from a remembered device, fetches the car's camera record, C puts the view at the
// driver's eyes and back, and the ladder truck's keys, hidden ladder, collision filter and
// pieces run inside the game's own routines. One game start for all of it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "tools/e2e/e2e_harness.h"
#include "tools/fake_game/scene_layout.h"

namespace hm::e2e {
namespace {

using namespace std::chrono_literals;

const std::string kCredential = "c0ffee00c0ffee00c0ffee00c0ffee00c0ffee00c0ffee00c0ffee00c0ffee00";
const std::string kToken = "cab1cab1cab1cab1cab1cab1cab1cab1cab1cab1cab1cab1cab1cab1cab1cab1";

long long Vehicle(Scenario& s, int which) { return std::stoll(s.Ok("vehicle " + std::to_string(which))); }

std::string Value(const std::string& answer, const std::string& name) {
    const std::size_t at = answer.find(name + "=");
    if (at == std::string::npos) return {};
    const std::size_t from = at + name.size() + 1;
    return answer.substr(from, answer.find(' ', from) - from);
}

struct Line {
    unsigned tick;
    std::string text;
};
std::vector<Line> SampLines(Scenario& s) {
    std::vector<Line> lines;
    std::stringstream all(s.Ok("samplines"));
    std::string item;
    while (std::getline(all, item, '|')) {
        const std::size_t colon = item.find(':');
        if (colon != std::string::npos) lines.push_back({unsigned(std::stoul(item.substr(0, colon))), item.substr(colon + 1)});
    }
    return lines;
}

std::size_t CameraRequests(Scenario& s) {
    std::size_t n = 0;
    for (const auto& r : s.api().RequestsTo("GET", "/vehicle-camera"))
        if (r.query == "v=2&model=400" && r.Header("Authorization") == "Bearer " + kToken) ++n;
    return n;
}

// The presented frame's colour at (x, y) as 0xRRGGBB.
std::uint32_t Rgb(Scenario& s, int x, int y) {
    return std::uint32_t(std::stoul(s.Ok("pixel " + std::to_string(x) + " " + std::to_string(y)), nullptr, 16)) & 0xFFFFFF;
}

TEST(VehiclesInGame, CockpitCameraAndLadderTruck) {
    if (!std::getenv("HM_WIN32_BIN") || !std::getenv("HM_WINE_RUN")) GTEST_SKIP() << "needs HM_WIN32_BUILD";
    Scenario s("vehicle_cockpit");
    s.api().Respond("GET", "/vehicle-camera", [](const fake::RecordedRequest& r) {
        return r.query == "v=2&model=400" ? fake::Reply(200, "HMCAM2 400 0 -0.12 0.78 0 70 0 -1\n") : fake::Reply(404);
    });
    ForgetDeviceAtEnd forget{s.dir()};
    StartResumedGame(s, kCredential, kToken, {}, "", true, {"--gta-routines"});
    s.Ok("autorun 40");
    ASSERT_EQ(Vehicle(s, 4), 1) << "camera hooks";
    EXPECT_EQ(Vehicle(s, 5), 6) << "fixed-address hooks";
    EXPECT_EQ(Vehicle(s, 0), 1) << "waiting for a driver";

    const auto t0 = std::chrono::steady_clock::now();
    auto phase = [&](const char* what) {
        std::fprintf(stderr, "%6.1f s  %s\n", std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), what);
    };
    // A class-0 car: the record arrives, the camera is ready, the game's chase view shows.
    s.Ok("seat 400 0 driver");
    ASSERT_TRUE(s.RenderUntil([&] { return Vehicle(s, 7) >= 1 && Vehicle(s, 0) == 0; }, 60s)) << s.GameLog();
    EXPECT_GE(CameraRequests(s), 1u);
    EXPECT_EQ(Vehicle(s, 1), 400);
    EXPECT_EQ(Rgb(s, 320, 150), fakegame::kGroundColour & 0xFFFFFF) << "the chase view looks down";

    phase("C");
    // C: the driver's eyes, the record's field of view, our near clip and flag byte.
    s.Ok("key down C");
    ASSERT_TRUE(s.RenderUntil([&] { return Vehicle(s, 0) == 6; }, 20s));
    s.Ok("frames 2");  // still held: no second flip
    s.Ok("key up C");
    EXPECT_EQ(Vehicle(s, 3), 1);
    const std::string on = s.Ok("camfield");
    EXPECT_EQ(Value(on, "fov"), "70.00") << on;
    EXPECT_EQ(Value(on, "near"), "0.150") << on;
    EXPECT_EQ(Value(on, "flag"), "1") << on;
    EXPECT_EQ(Rgb(s, 320, 150), fakegame::kSkyColour & 0xFFFFFF) << "an eye-height horizon";
    EXPECT_EQ(Rgb(s, 320, 250), fakegame::kGroundColour & 0xFFFFFF);

    phase("chat");
    // The chat open: C does nothing.
    s.Ok("sampchat 1");
    s.Ok("key tap C");
    s.Ok("frames 2");
    EXPECT_EQ(Vehicle(s, 3), 1);
    EXPECT_EQ(Vehicle(s, 0), 6);
    s.Ok("sampchat 0");

    phase("C again");
    // C again: the game's camera, near clip and flag byte are back.
    s.Ok("key down C");
    ASSERT_TRUE(s.RenderUntil([&] { return Vehicle(s, 3) == 0; }, 20s));
    s.Ok("key up C");
    s.Ok("frames 1");
    const std::string off = s.Ok("camfield");
    EXPECT_EQ(Value(off, "fov"), "60.00") << off;
    EXPECT_EQ(Value(off, "near"), "0.300") << off;
    EXPECT_EQ(Value(off, "flag"), "0") << off;
    EXPECT_GE(CameraRequests(s), 2u) << "the record is asked for again while driving";

    phase("ladder");
    // The ladder truck with two pieces on it and one far away; numpad 8 held meanwhile.
    s.Ok("seat 544 0 driver");
    s.Ok("ladder 2 1");
    s.Ok("chain 1");
    s.Ok("frames 1");
    s.Ok("gtareset");
    const std::size_t first = SampLines(s).size();
    phase("numpad 8");
    s.Ok("key down 0x68");
    const bool repeated = s.RenderUntil([&] { return SampLines(s).size() >= first + 3; }, 30s);
    s.Ok("key up 0x68");
    const std::string counts = s.Ok("gtacounts");
    const long frames = std::stol(Value(counts, "body"));
    EXPECT_GT(frames, 0) << counts;
    EXPECT_EQ(Value(counts, "builtin"), "0") << counts;
    EXPECT_NE(Value(counts, "refresh"), "0") << counts;
    EXPECT_EQ(Value(counts, "o0"), "0,0,65542") << counts;
    EXPECT_EQ(Value(counts, "o1"), "0,0,65542") << counts;
    EXPECT_EQ(Value(counts, "o2"), std::to_string(frames) + "," + std::to_string(frames) + ",0") << counts;
    const std::vector<Line> lines = SampLines(s);
    ASSERT_TRUE(repeated) << "numpad 8 held";
    for (std::size_t i = first; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].text, "/hmladderkey 8");
        if (i > first) {
            EXPECT_GE(lines[i].tick - lines[i - 1].tick, 185u);
        }
    }
    phase("chain");
    s.Ok("chain 0");
    s.Ok("gtareset");
    s.Ok("frames 1");
    const std::string broken = s.Ok("gtacounts");
    EXPECT_EQ(Value(broken, "builtin"), Value(broken, "body")) << "a broken chain shows the built-in ladder: " << broken;
    EXPECT_NE(Value(broken, "builtin"), "0") << broken;

    std::fprintf(stderr, "in-game part: %.1f s\n", std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    EXPECT_EQ(s.Quit(), 0);
}

}  // namespace
}  // namespace hm::e2e
