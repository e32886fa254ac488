// The fixed-address hooks made for real under Wine: the game's routines stand at their addresses
// in this test program (linked at 0x200000 with the game's range 0x500000..0xD00000 as a section
// of its own, as the fake game does), with the bytes the plan checks; each case spoils one thing
// and the hook engine's work is read back.
#include "game/game_hooks_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "game/hook_engine_win.h"

// The game's address range, zero-filled; game/CMakeLists.txt places it at 0x500000.
asm(".section .gta,\"bwx\"\n"
    ".globl _hm_game_hooks_test_region\n"
    "_hm_game_hooks_test_region:\n"
    ".space 0x800000\n"
    ".text\n");
extern "C" char hm_game_hooks_test_region[];

namespace hm {
namespace {

// 64 KiB pieces holding the routines and the camera target slot.
constexpr std::uintptr_t kChunks[] = {0x520000, 0x540000, 0x590000, 0x5E0000, 0x6A0000, 0x860000};
constexpr std::uintptr_t kSampCameraTarget = 0x5E8000;  // inside a "samp.dll" of 0x5E0000..0x5F0000

struct Routine {
    GameHookRole role;
    std::uintptr_t at;
    std::vector<std::uint8_t> bytes;
};
// Each starts with the game's bytes and returns.
const std::vector<Routine>& Routines() {
    static const std::vector<Routine> r = {
        {GameHookRole::CameraB, 0x526FC0,
         {0xDB, 0x05, 0x34, 0xFE, 0xB6, 0x00, 0x83, 0xEC, 0x7C, 0x56, 0x8B, 0xF1, 0x5E, 0x83, 0xC4, 0x7C, 0xC3}},
        {GameHookRole::LadderProximity, 0x59F180, {0x56, 0x8B, 0xF1, 0x8B, 0x8E, 0x40, 0x01, 0x00, 0x00, 0x5E, 0xC3}},
        {GameHookRole::LadderCollisionFilterA, 0x6ACE70,
         {0x81, 0xEC, 0x88, 0x00, 0x00, 0x00, 0x53, 0x55, 0x56, 0x5E, 0x5D, 0x5B, 0x81, 0xC4, 0x88, 0x00, 0x00, 0x00,
          0xC2, 0x08, 0x00}},
        {GameHookRole::LadderCollisionFilterB, 0x546D00,
         {0x53, 0x55, 0x56, 0x8B, 0x74, 0x24, 0x10, 0x8B, 0x46, 0x14, 0x5E, 0x5D, 0x5B, 0xC2, 0x08, 0x00}},
        {GameHookRole::LadderVehicleRender, 0x6A2B10, {0x55, 0x8B, 0xEC, 0x5D, 0xC3}},
        {GameHookRole::CameraA, 0x5E7680, {0x55, 0x8B, 0xEC, 0x5D, 0xC3}},
        {GameHookRole::CameraA, kSampCameraTarget, {0x55, 0x8B, 0xEC, 0x5D, 0xC3}},
    };
    return r;
}

template <class T>
T& At(std::uintptr_t address) {
    return *reinterpret_cast<T*>(address);
}

void Detour() {}

class GameRoutines : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(reinterpret_cast<std::uintptr_t>(hm_game_hooks_test_region), 0x500000u);
        for (std::uintptr_t chunk : kChunks) {
            DWORD old = 0;
            ASSERT_TRUE(VirtualProtect(reinterpret_cast<void*>(chunk), 0x10000, PAGE_EXECUTE_READWRITE, &old))
                << std::hex << chunk << ": " << GetLastError();
            std::memset(reinterpret_cast<void*>(chunk), 0xCC, 0x10000);
        }
        for (const Routine& r : Routines()) std::memcpy(reinterpret_cast<void*>(r.at), r.bytes.data(), r.bytes.size());
        At<std::uint32_t>(kCameraTargetSlot) = std::uint32_t(kGameCameraTarget);
        const int init = hook_engine::Initialize();
        ASSERT_TRUE(init == kHookOk || init == kHookAlreadyInitialized) << init;
    }
    void TearDown() override {
        for (const Routine& r : Routines()) hook_engine::RemoveHook(reinterpret_cast<void*>(r.at));
    }

    static void MakeNotExecutable(std::uintptr_t at) {
        DWORD old = 0;
        ASSERT_TRUE(VirtualProtect(reinterpret_cast<void*>(at & ~std::uintptr_t(0xFFF)), 0x1000, PAGE_READWRITE, &old));
    }
    static bool Untouched() {
        for (const Routine& r : Routines())
            if (std::memcmp(reinterpret_cast<void*>(r.at), r.bytes.data(), r.bytes.size()) != 0) return false;
        return true;
    }
};

TEST_F(GameRoutines, OneHookPerRoleAndWhatEachFailureTakesAway) {
    using R = GameHookRole;
    struct Case {
        const char* what;
        std::function<void(GameHookInputs&)> spoil;
        int created;
        bool camera, vehicle_render;
        std::vector<R> hooked;
    };
    const std::vector<R> ladder = {R::LadderProximity, R::LadderCollisionFilterA, R::LadderCollisionFilterB,
                                   R::LadderVehicleRender};
    std::vector<R> all = ladder;
    all.insert(all.end(), {R::CameraA, R::CameraB});
    std::vector<R> no_render = {R::LadderProximity, R::LadderCollisionFilterA, R::LadderCollisionFilterB, R::CameraA,
                                R::CameraB};
    const std::vector<Case> cases = {
        {"everything in place", [](GameHookInputs&) {}, 6, true, true, all},
        {"the camera target inside samp.dll",
         [](GameHookInputs& in) {
             At<std::uint32_t>(kCameraTargetSlot) = std::uint32_t(kSampCameraTarget);
             in.samp_base = 0x5E0000;
             in.samp_size_of_image = 0x10000;
         },
         6, true, true, all},
        {"a changed gate byte", [](GameHookInputs&) { At<std::uint8_t>(0x526FC0 + 11) = 0xF0; }, 0, false, false, {}},
        {"not the game's image base", [](GameHookInputs& in) { in.main_module = 0x10000000; }, 0, false, false, {}},
        {"CockpitCamera=0", [](GameHookInputs& in) { in.cockpit_camera = false; }, 4, false, true, ladder},
        {"a camera target of neither the game nor samp.dll",
         [](GameHookInputs&) { At<std::uint32_t>(kCameraTargetSlot) = 0x5E9000; }, 4, false, true, ladder},
        {"camera hook B cannot be made: A goes again", [](GameHookInputs&) { MakeNotExecutable(0x526FC0); }, 4, false,
         true, ladder},
        {"the vehicle render hook cannot be made", [](GameHookInputs&) { MakeNotExecutable(0x6A2B10); }, 5, true, false,
         no_render},
        {"a changed ladder routine", [](GameHookInputs&) { At<std::uint8_t>(0x59F180) = 0x57; }, 5, true, true,
         {R::LadderCollisionFilterA, R::LadderCollisionFilterB, R::LadderVehicleRender, R::CameraA, R::CameraB}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        GameHookInputs in;
        in.main_module = kGameImageBase;
        in.cockpit_camera = true;
        c.spoil(in);
        std::vector<std::vector<std::uint8_t>> before(Routines().size());
        for (std::size_t i = 0; i < Routines().size(); ++i) {
            const Routine& r = Routines()[i];
            before[i].assign(reinterpret_cast<const std::uint8_t*>(r.at), reinterpret_cast<const std::uint8_t*>(r.at) + 16);
        }
        std::array<void*, kGameHookRoles> through{};
        GameHookBindings bindings;
        for (std::size_t i = 0; i < kGameHookRoles; ++i)
            bindings[i] = {reinterpret_cast<void*>(&Detour), &through[i]};

        const GameHooksInstalled made = InstallGameHooksFor(in, bindings);
        EXPECT_EQ(made.created, c.created);
        EXPECT_EQ(made.camera, c.camera);
        EXPECT_EQ(made.vehicle_render, c.vehicle_render);
        for (std::size_t role = 0; role < kGameHookRoles; ++role) {
            const bool want = std::find(c.hooked.begin(), c.hooked.end(), R(role)) != c.hooked.end();
            EXPECT_EQ(through[role] != nullptr, want) << "trampoline of role " << role;
        }
        // Created, not enabled: the game's bytes are all still there, whatever was made or taken back.
        for (std::size_t i = 0; i < Routines().size(); ++i) {
            const Routine& r = Routines()[i];
            EXPECT_EQ(std::memcmp(reinterpret_cast<void*>(r.at), before[i].data(), 16), 0) << std::hex << r.at;
        }
        // What was made is really in the engine: enabling patches it, disabling puts it back.
        if (c.created > 0) {
            ASSERT_EQ(hook_engine::EnableHook(nullptr), kHookOk);
            for (std::size_t i = 0; i < Routines().size(); ++i) {
                const Routine& r = Routines()[i];
                const bool hooked = std::find(c.hooked.begin(), c.hooked.end(), r.role) != c.hooked.end() &&
                                    (r.role != R::CameraA || r.at == At<std::uint32_t>(kCameraTargetSlot));
                EXPECT_EQ(At<std::uint8_t>(r.at) == 0xE9, hooked) << std::hex << r.at;
            }
            ASSERT_EQ(hook_engine::DisableHook(nullptr), kHookOk);
            for (std::size_t i = 0; i < Routines().size(); ++i) {
                const Routine& r = Routines()[i];
                EXPECT_EQ(std::memcmp(reinterpret_cast<void*>(r.at), before[i].data(), 16), 0) << std::hex << r.at;
            }
        }
    }
    // And the installer itself in this process, which is not the game at 0x400000: nothing.
    TearDown();
    SetUp();
    std::array<void*, kGameHookRoles> through{};
    GameHookBindings bindings;
    for (std::size_t i = 0; i < kGameHookRoles; ++i) bindings[i] = {reinterpret_cast<void*>(&Detour), &through[i]};
    const GameHooksInstalled made = InstallGameAndSampHooks(bindings, true);
    EXPECT_EQ(made.created, 0);
    EXPECT_FALSE(made.camera);
    EXPECT_TRUE(Untouched());
}

}  // namespace
}  // namespace hm
