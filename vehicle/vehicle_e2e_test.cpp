// The cockpit camera and the ladder truck in the fake game with its game routines: the plugin,
// resumed from a remembered device, fetches the car's camera record at its 1200 ms pace, C puts
// the view at the driver's eyes and back, and the ladder truck's keys (in table order, never
// with the chat open or for a passenger), hidden ladder, collision filter and pieces (drawn as
// the ladder mesh) run inside the game's own routines. One game start for all of it.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "game/drawing_class.h"
#include "game/world_surfaces.h"
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

// The chat lines from index `from` on.
std::vector<std::string> TextsFrom(const std::vector<Line>& lines, std::size_t from) {
    std::vector<std::string> out;
    for (std::size_t i = from; i < lines.size(); ++i) out.push_back(lines[i].text);
    return out;
}

// Whether `rgb` is one of the shades the fake game gives the faces of a ladder object's post.
bool PostShade(std::uint32_t rgb) {
    const std::uint32_t c = fakegame::kLadderPostColour;
    for (std::uint32_t percent : {100u, 90u, 80u, 70u, 60u}) {
        const std::uint32_t r = ((c >> 16) & 255) * percent / 100, g = ((c >> 8) & 255) * percent / 100,
                            b = (c & 255) * percent / 100;
        if (rgb == ((r << 16) | (g << 8) | b)) return true;
    }
    return false;
}

// The presented frame's colour at (x, y) as 0xRRGGBB.
std::uint32_t Rgb(Scenario& s, int x, int y) {
    return std::uint32_t(std::stoul(s.Ok("pixel " + std::to_string(x) + " " + std::to_string(y)), nullptr, 16)) & 0xFFFFFF;
}

TEST(VehiclesInGame, CockpitCameraAndLadderTruck) {
    if (!std::getenv("HM_WIN32_BIN") || !std::getenv("HM_WINE_RUN")) GTEST_SKIP() << "needs HM_WIN32_BUILD";
    // When each request for the car's record arrived: the data thread's pace (declared
    // before the scenario, whose fake API calls the observer until it ends).
    std::mutex times_lock;
    std::vector<std::chrono::steady_clock::time_point> car_requests;
    Scenario s("vehicle_cockpit");
    s.api().Respond("GET", "/vehicle-camera", [](const fake::RecordedRequest& r) {
        return r.query == "v=2&model=400" ? fake::Reply(200, "HMCAM2 400 0 -0.12 0.78 0 70 0 -1\n") : fake::Reply(404);
    });
    s.api().OnRequest([&](const fake::RecordedRequest& r, const fake::Reply&) {
        if (r.path != "/vehicle-camera" || r.query != "v=2&model=400") return;
        std::lock_guard<std::mutex> hold(times_lock);
        car_requests.push_back(std::chrono::steady_clock::now());
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
    // A record without the fast flag is asked for every 1200 ms: never sooner (the next request
    // leaves only after the pause), and on a loaded machine not much later.
    ASSERT_TRUE(s.RenderUntil([&] { return CameraRequests(s) >= 5; }, 30s));
    {
        std::lock_guard<std::mutex> hold(times_lock);
        std::vector<long long> gaps;
        for (std::size_t i = 1; i < car_requests.size(); ++i)
            gaps.push_back(std::chrono::duration_cast<std::chrono::milliseconds>(car_requests[i] - car_requests[i - 1]).count());
        ASSERT_GE(gaps.size(), 4u);
        std::string all;
        for (long long g : gaps) all += std::to_string(g) + " ";
        EXPECT_GE(*std::min_element(gaps.begin(), gaps.end()), 1150) << all;
        std::sort(gaps.begin(), gaps.end());
        EXPECT_LE(gaps[gaps.size() / 2], 2500) << all;
    }
    s.api().OnRequest(nullptr);

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
    // The pieces on the truck were drawn as the ladder mesh, not as the game's posts.
    const Pixels truck = s.Screenshot("ladder_truck.png");
    std::set<std::uint32_t> mesh_colours;
    for (const MeshVertex& v : MeshOfId(int(kLadderPieceDrawingClass))) mesh_colours.insert(v.colour & 0xFFFFFF);
    int mesh_pixels = 0, post_pixels = 0;
    for (std::uint32_t y = 0; y < truck.height(); ++y)
        for (std::uint32_t x = 0; x < truck.width(); ++x) {
            const std::uint32_t c = truck.at(x, y) & 0xFFFFFF;
            mesh_pixels += mesh_colours.count(c) ? 1 : 0;
            post_pixels += PostShade(c) ? 1 : 0;
        }
    EXPECT_GT(mesh_pixels, 200) << "the ladder mesh in ladder_truck.png";
    EXPECT_EQ(post_pixels, 0) << "a piece drawn as the game's own post";

    phase("7 with 6");
    // The table's order decides: numpad 7 before numpad 6. Both go down between two frames.
    std::size_t before = SampLines(s).size();
    s.Ok("autorun off");
    s.Ok("key down 0x66");
    s.Ok("key down 0x67");
    EXPECT_TRUE(s.RenderUntil([&] { return SampLines(s).size() >= before + 2; }, 30s));
    s.Ok("key up 0x67");
    s.Ok("key up 0x66");
    for (const std::string& text : TextsFrom(SampLines(s), before)) EXPECT_EQ(text, "/hmladderkey 7");

    phase("chat open");
    // Numpad 8 held with the chat open, then as a passenger: nothing reaches samp.dll over frames
    // well past the 185 ms spacing; with the chat closed again the driver's key goes out, so the
    // key was held all along.
    s.Ok("sampchat 1");
    s.Ok("key down 0x68");
    before = SampLines(s).size();
    s.Ok("run 300");
    s.Ok("frames 2");
    EXPECT_EQ(TextsFrom(SampLines(s), before), std::vector<std::string>{}) << "chat open";
    s.Ok("sampchat 0");
    phase("chat closed");
    EXPECT_TRUE(s.RenderUntil([&] { return SampLines(s).size() > before; }, 30s));
    phase("passenger");
    s.Ok("seat 544 0 passenger");
    before = SampLines(s).size();
    s.Ok("run 300");
    s.Ok("frames 2");
    EXPECT_EQ(TextsFrom(SampLines(s), before), std::vector<std::string>{}) << "passenger";
    s.Ok("key up 0x68");
    s.Ok("seat 544 0 driver");
    s.Ok("autorun 40");

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
