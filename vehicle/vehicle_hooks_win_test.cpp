// The cockpit camera's line on the Ctrl+F9 screen after the vehicle features' own installation,
// under Wine, in game_win_test (whose image holds the game's address range at 0x500000): the
// camera update routine and the camera target stand at their addresses; a changed gate byte and
// CockpitCamera=0 each give their line.
#include "vehicle/vehicle_hooks_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "base/plugin.h"
#include "game/game_hooks_win.h"
#include "game/hook_engine_win.h"
#include "vehicle/vehicle_state.h"

namespace hm {
namespace {

constexpr std::uintptr_t kPages[] = {0x526000, 0x5E7000, 0x6A2000};
constexpr std::uintptr_t kTargets[] = {0x526FC0, 0x5E7680, 0x6A2B10};  // camera update, camera target, vehicle render

class CockpitLine : public ::testing::Test {
protected:
    void SetUp() override {
        for (std::uintptr_t page : kPages) {
            DWORD old = 0;
            ASSERT_TRUE(VirtualProtect(reinterpret_cast<void*>(page), 0x1000, PAGE_EXECUTE_READWRITE, &old))
                << std::hex << page << ": the game's range is not in this program";
            std::memset(reinterpret_cast<void*>(page), 0xCC, 0x1000);
        }
        const std::uint8_t update[] = {0xDB, 0x05, 0x34, 0xFE, 0xB6, 0x00, 0x83, 0xEC, 0x7C, 0x56, 0x8B, 0xF1, 0xC3};
        const std::uint8_t stub[] = {0x55, 0x8B, 0xEC, 0x5D, 0xC3};
        std::memcpy(reinterpret_cast<void*>(kTargets[0]), update, sizeof update);
        std::memcpy(reinterpret_cast<void*>(kTargets[1]), stub, sizeof stub);
        std::memcpy(reinterpret_cast<void*>(kTargets[2]), stub, sizeof stub);
        *reinterpret_cast<std::uint32_t*>(kCameraTargetSlot) = std::uint32_t(kGameCameraTarget);
        const int init = hook_engine::Initialize();
        ASSERT_TRUE(init == kHookOk || init == kHookAlreadyInitialized) << init;
        switched_ = Plugin().cockpit_camera.load();
    }
    void TearDown() override {
        // Every routine the installation may have hooked, the ladder's included.
        for (std::uintptr_t target : {0x526FC0u, 0x5E7680u, 0x6A2B10u, 0x59F180u, 0x6ACE70u, 0x546D00u})
            hook_engine::RemoveHook(reinterpret_cast<void*>(target));
        Plugin().cockpit_camera.store(switched_);
    }
    // The installation as the worker does it, for the game at 0x400000 with the INI's switch.
    static void Install(bool cockpit_camera) {
        Plugin().cockpit_camera.store(cockpit_camera);
        GameHookInputs in;
        in.main_module = kGameImageBase;
        in.cockpit_camera = cockpit_camera;
        InstallVehicleHooksFor(in);
    }

private:
    bool switched_ = true;
};

TEST_F(CockpitLine, ChangedGateByteSwitchOffAndNoSamp) {
    ASSERT_EQ(GetModuleHandleW(L"samp.dll"), nullptr);

    *reinterpret_cast<std::uint8_t*>(kTargets[0] + 11) = 0xF0;  // another build, or another camera patch
    Install(true);
    EXPECT_EQ(PluginVehicles().game_hooks.load(), 0);
    EXPECT_FALSE(PluginVehicles().camera_hooks.load());
    EXPECT_EQ(CockpitStatusLine(), L"Kamera C: nekompatibilní GTA nebo jiná úprava kamery/vykreslování.\n");
    *reinterpret_cast<std::uint8_t*>(kTargets[0] + 11) = 0xF1;

    Install(false);
    EXPECT_FALSE(PluginVehicles().camera_hooks.load());
    EXPECT_EQ(CockpitStatusLine(), L"Kamera C: vypnutá v INI.\n");
    TearDown();
    SetUp();

    // Both camera hooks in place: without samp.dll the line names the SA-MP build.
    Install(true);
    EXPECT_TRUE(PluginVehicles().camera_hooks.load());
    EXPECT_EQ(CockpitStatusLine(), L"Kamera C: nerozpoznaná verze SA-MP.\n");
}

}  // namespace
}  // namespace hm
