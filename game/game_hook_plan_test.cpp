// The fixed-address game hooks are planned only where the game's bytes are the expected ones.
#include <gtest/gtest.h>

#include <algorithm>

#include "game/game_hook_plan.h"

namespace hm {
namespace {

FakeAddressSpace GenuineGame() {
    FakeAddressSpace m;
    m.Put(0x526FC0, {0xDB, 0x05, 0x34, 0xFE, 0xB6, 0x00, 0x83, 0xEC, 0x7C, 0x56, 0x8B, 0xF1});
    m.Put(0x59F180, {0x56, 0x8B, 0xF1, 0x8B, 0x8E, 0x40, 0x01, 0x00, 0x00});
    m.Put(0x6ACE70, {0x81, 0xEC, 0x88, 0x00, 0x00, 0x00, 0x53, 0x55, 0x56});
    m.Put(0x546D00, {0x53, 0x55, 0x56, 0x8B, 0x74, 0x24, 0x10, 0x8B, 0x46, 0x14});
    m.Put32(0x86C3A0, 0x5E7680);
    return m;
}

std::vector<GameHookRole> Roles(const std::vector<PlannedGameHook>& plan) {
    std::vector<GameHookRole> roles;
    for (const auto& h : plan) roles.push_back(h.role);
    return roles;
}

using R = GameHookRole;

TEST(GameHookPlan, GenuineGamePlansEveryHookInOrder) {
    const auto plan = PlanGameHooks(GenuineGame(), {0x400000, true, 0, 0});
    EXPECT_EQ(Roles(plan), (std::vector<R>{R::LadderProximity, R::LadderCollisionFilterA, R::LadderCollisionFilterB,
                                           R::LadderVehicleRender, R::CameraA, R::CameraB}));
    EXPECT_EQ(plan[4].target, 0x5E7680u);
    EXPECT_EQ(plan[5].target, 0x526FC0u);
    EXPECT_EQ(plan[3].target, 0x6A2B10u);
}

TEST(GameHookPlan, GateDecidesForAll) {
    EXPECT_TRUE(PlanGameHooks(GenuineGame(), {0x500000, true, 0, 0}).empty());  // relocated game
    for (GameAddress at = 0x526FC0; at < 0x526FC0 + 12; ++at) {
        FakeAddressSpace m = GenuineGame();
        m.Put(at, {0x90});
        EXPECT_TRUE(PlanGameHooks(m, {0x400000, true, 0, 0}).empty()) << std::hex << at;
    }
}

TEST(GameHookPlan, EachLadderTargetNeedsItsOwnBytes) {
    struct Case {
        GameAddress changed;
        R missing;
    } cases[] = {{0x59F188, R::LadderProximity}, {0x6ACE78, R::LadderCollisionFilterA}, {0x546D09, R::LadderCollisionFilterB}};
    for (const Case& c : cases) {
        FakeAddressSpace m = GenuineGame();
        m.Put(c.changed, {0xCC});
        const auto roles = Roles(PlanGameHooks(m, {0x400000, false, 0, 0}));
        EXPECT_EQ(std::count(roles.begin(), roles.end(), c.missing), 0);
        EXPECT_EQ(roles.size(), 3u);  // the other two and the unchecked render hook
    }
}

TEST(GameHookPlan, CameraHooksFollowTheSwitchAndTheTargetPointer) {
    constexpr GameAddress sampBase = 0x10000000;
    struct Case {
        bool cockpit;
        bool readable;
        std::uint32_t target;
        std::uint32_t sampSize;
        bool camera;
    } cases[] = {
        {false, true, 0x5E7680, 0x300000, false},             // switch off
        {true, true, 0x5E7680, 0, true},                      // the game's own routine
        {true, true, sampBase + 0x1234, 0x300000, true},      // inside samp.dll
        {true, true, sampBase + 0x300000, 0x300000, false},   // one past the image
        {true, true, sampBase + 0x1234, 0x8000000, false},    // implausible image size
        {true, true, 0x5E7681, 0x300000, false},              // somewhere else
        {true, false, 0x5E7680, 0x300000, false},             // slot unreadable
    };
    for (const Case& c : cases) {
        FakeAddressSpace m = GenuineGame();
        if (c.readable) m.Put32(0x86C3A0, c.target);
        else m.Remove(0x86C3A0, 4);
        const auto plan = PlanGameHooks(m, {0x400000, c.cockpit, sampBase, c.sampSize});
        const bool hasCamera = plan.size() == 6 && plan[4].role == R::CameraA && plan[4].target == c.target;
        EXPECT_EQ(hasCamera, c.camera) << std::hex << c.target;
        if (!c.camera) {
            EXPECT_EQ(plan.size(), 4u);
        }
    }
}


TEST(GameHookCreationTest, CameraNeedsBothAndAFailedRenderHookOnlyDisablesItself) {
    const auto plan = PlanGameHooks(GenuineGame(), {0x400000, true, 0, 0});
    struct Case {
        const char* name;
        std::vector<R> failing;
        std::vector<R> left;  // in place at the end
        bool camera;
    } cases[] = {
        {"all", {}, {R::LadderProximity, R::LadderCollisionFilterA, R::LadderCollisionFilterB, R::LadderVehicleRender, R::CameraA, R::CameraB}, true},
        {"B fails", {R::CameraB}, {R::LadderProximity, R::LadderCollisionFilterA, R::LadderCollisionFilterB, R::LadderVehicleRender}, false},
        {"A fails", {R::CameraA}, {R::LadderProximity, R::LadderCollisionFilterA, R::LadderCollisionFilterB, R::LadderVehicleRender}, false},
        {"render fails", {R::LadderVehicleRender}, {R::LadderProximity, R::LadderCollisionFilterA, R::LadderCollisionFilterB, R::CameraA, R::CameraB}, true},
    };
    for (const Case& c : cases) {
        std::vector<R> in_place, tried;
        const GameHookCreation made = CreatePlannedHooks(
            plan,
            [&](const PlannedGameHook& h) {
                tried.push_back(h.role);
                if (std::count(c.failing.begin(), c.failing.end(), h.role)) return false;
                in_place.push_back(h.role);
                return true;
            },
            [&](const PlannedGameHook& h) {
                EXPECT_EQ(h.target, 0x5E7680u) << c.name;
                in_place.erase(std::remove(in_place.begin(), in_place.end(), h.role), in_place.end());
            });
        EXPECT_EQ(in_place, c.left) << c.name;
        EXPECT_EQ(made.camera, c.camera) << c.name;
        EXPECT_EQ(made.count, int(c.left.size())) << c.name;
        for (R r : c.left) EXPECT_TRUE(made.created[std::size_t(r)]) << c.name;
        // B is never tried without A.
        if (std::count(c.failing.begin(), c.failing.end(), R::CameraA)) {
            EXPECT_EQ(std::count(tried.begin(), tried.end(), R::CameraB), 0) << c.name;
        }
    }
}

}  // namespace
}  // namespace hm
