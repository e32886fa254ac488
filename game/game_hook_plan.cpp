#include "game/game_hook_plan.h"

namespace hm {

namespace {
const std::uint8_t kGateBytes[] = {0xDB, 0x05, 0x34, 0xFE, 0xB6, 0x00, 0x83, 0xEC, 0x7C, 0x56, 0x8B, 0xF1};
const std::uint8_t kLadderProximityBytes[] = {0x56, 0x8B, 0xF1, 0x8B, 0x8E, 0x40, 0x01, 0x00, 0x00};
const std::uint8_t kCollisionABytes[] = {0x81, 0xEC, 0x88, 0x00, 0x00, 0x00, 0x53, 0x55, 0x56};
const std::uint8_t kCollisionBBytes[] = {0x53, 0x55, 0x56, 0x8B, 0x74, 0x24, 0x10, 0x8B, 0x46, 0x14};
constexpr std::uint32_t kMaxSampImage = 0x8000000;
}  // namespace

std::vector<PlannedGameHook> PlanGameHooks(const MemoryReader& memory, const GameHookInputs& in) {
    std::vector<PlannedGameHook> plan;
    if (in.main_module != kGameImageBase) return plan;
    if (!GuardedEquals(memory, kCameraUpdateRoutine, kGateBytes, sizeof kGateBytes)) return plan;

    if (GuardedEquals(memory, kLadderProximityRoutine, kLadderProximityBytes, sizeof kLadderProximityBytes))
        plan.push_back({GameHookRole::LadderProximity, kLadderProximityRoutine});
    if (GuardedEquals(memory, kLadderCollisionFilterA, kCollisionABytes, sizeof kCollisionABytes))
        plan.push_back({GameHookRole::LadderCollisionFilterA, kLadderCollisionFilterA});
    if (GuardedEquals(memory, kLadderCollisionFilterB, kCollisionBBytes, sizeof kCollisionBBytes))
        plan.push_back({GameHookRole::LadderCollisionFilterB, kLadderCollisionFilterB});
    plan.push_back({GameHookRole::LadderVehicleRender, kLadderVehicleRender});

    if (in.cockpit_camera) {
        std::uint32_t target = 0;
        if (GuardedRead32(memory, kCameraTargetSlot, target)) {
            const bool inSamp = in.samp_base != 0 && in.samp_size_of_image < kMaxSampImage &&
                                target >= in.samp_base && std::uint64_t(target) < std::uint64_t(in.samp_base) + in.samp_size_of_image;
            if (inSamp || target == kGameCameraTarget) {
                plan.push_back({GameHookRole::CameraA, target});
                plan.push_back({GameHookRole::CameraB, kCameraUpdateRoutine});
            }
        }
    }
    return plan;
}

}  // namespace hm
