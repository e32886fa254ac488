// Costs on the game thread: hook B's step with the camera on, and the object and collision
// detours' decisions for an entity that is no ladder. Memory is a flat array behind the guard,
// so the figures are the plugin's own work plus a read count. And the camera data thread's pass
// while the player walks (no model asked for): what the idle thread costs every 1200 ms.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "vehicle/camera_data.h"
#include "vehicle/cockpit_camera.h"
#include "vehicle/game_facts.h"
#include "vehicle/ladder.h"

namespace hm {
namespace {

// 0x100000..0xC00000 as one array; counts the reads that reach it.
class FlatMemory : public MemoryReader {
public:
    FlatMemory() : bytes_(kEnd - kBegin) {}
    bool ReadRaw(GameAddress a, void* out, std::size_t n) const override {
        ++reads;
        if (a < kBegin || a + n > kEnd) return false;
        std::memcpy(out, &bytes_[a - kBegin], n);
        return true;
    }
    void Write(GameAddress a, const void* in, std::size_t n) { std::memcpy(&bytes_[a - kBegin], in, n); }
    template <class T>
    void Set(GameAddress a, T v) { Write(a, &v, sizeof v); }
    mutable long reads = 0;

private:
    static constexpr GameAddress kBegin = 0x100000, kEnd = 0xC00000;
    std::vector<std::uint8_t> bytes_;
};

constexpr GameAddress kCam = gta::kCameras, kPed = 0x100000, kCar = 0x200000, kMatrix = 0x300000;

class BenchWorld : public CockpitWorld {
public:
    FlatMemory mem;
    CockpitKeys keys;
    Tick now = 1000;
    BenchWorld() {
        keys.game_in_front = keys.chat_free = true;
        mem.Set<std::uint8_t>(gta::kActiveCameraIndex, 0);
        mem.Set<std::uint8_t>(gta::kCameraControlByte, 1);
        mem.Set<std::uint16_t>(kCam + gta::kCameraMode, 18);
        mem.Set<std::uint32_t>(kCam + gta::kCameraTarget, kCar);
        mem.Set<float>(gta::kNearClip, 1.0f);
        mem.Set<std::uint32_t>(gta::kPlayerPed, kPed);
        mem.Set<std::uint32_t>(kPed + gta::kPedState, 50);
        mem.Set<std::uint32_t>(kPed + gta::kPedVehicle, kCar);
        mem.Set<std::uint32_t>(kCar + gta::kVehicleDriver, kPed);
        mem.Set<std::uint32_t>(kCar + gta::kEntityMatrix, kMatrix);
        mem.Set<std::uint16_t>(kCar + gta::kEntityModel, 400);
        const float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 10, 20, 5, 1};
        mem.Write(kMatrix, m, sizeof m);
        mem.Set<std::uint32_t>(gta::kModelInfoTable + 400 * 4, 0x400000);
        mem.Set<std::uint32_t>(0x400000 + gta::kModelSeatData, 0x410000);
    }
    const MemoryReader& Memory() const override { return mem; }
    bool Write(GameAddress a, const void* b, std::size_t n) override {
        mem.Write(a, b, n);
        return true;
    }
    void CallThrough() override {}
    void RefreshLeanMatrix(GameAddress) override {}
    bool HeadPosition(GameAddress, V3& out) override {
        out = {10, 20, 6};
        return true;
    }
    CockpitKeys SampleKeys() override { return keys; }
    Tick Now() override { return now += 16; }
};

void BM_CameraHookStepActive(benchmark::State& state) {
    BenchWorld world;
    CockpitCamera camera;
    RunCameraUpdate(camera, kCam, world);
    world.keys.c = true;
    RunCameraUpdate(camera, kCam, world);
    world.keys.c = false;
    world.keys.numpad6 = true;
    world.mem.reads = 0;
    long updates = 0;
    for (auto _ : state) {
        RunCameraUpdate(camera, kCam, world);
        ++updates;
    }
    state.counters["guarded_reads_per_update"] = double(world.mem.reads) / double(updates);
    if (camera.shared.status.load() != kCameraActive) state.SkipWithError("camera not active");
}
BENCHMARK(BM_CameraHookStepActive);

void BM_CameraHookStepOff(benchmark::State& state) {
    BenchWorld world;
    CockpitCamera camera;
    long updates = 0;
    for (auto _ : state) {
        RunCameraUpdate(camera, kCam, world);
        ++updates;
    }
    state.counters["guarded_reads_per_update"] = double(world.mem.reads) / double(updates);
}
BENCHMARK(BM_CameraHookStepOff);

void BM_ObjectAndCollisionDecisionsForAnOrdinaryEntity(benchmark::State& state) {
    FlatMemory mem;
    mem.Set<std::uint16_t>(0x500000 + gta::kEntityModel, 1337);
    mem.Set<std::uint16_t>(0x510000 + gta::kEntityModel, 400);
    LadderState ladder;
    long calls = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(IsLadderPiece(ladder, mem, 0x500000, 5000));
        benchmark::DoNotOptimize(IsFilteredCollisionCall(mem, CollisionRoutine::TruckIsThis, 0x510000, 0x500000));
        ++calls;
    }
    state.counters["guarded_reads_per_decision"] = double(mem.reads) / double(2 * calls);
}
BENCHMARK(BM_ObjectAndCollisionDecisionsForAnOrdinaryEntity);

void BM_CameraDataPassIdle(benchmark::State& state) {
    CameraDataSeams seams;
    long requests = 0;
    seams.request = [&requests](const ApiClient&, const std::string&, const std::string&, const std::string&,
                                const std::string&, std::uint32_t) {
        ++requests;
        return ApiResponse{404, {}};
    };
    seams.session = [] { return CameraSessionCopy{std::string(64, 'a'), 3}; };
    seams.generation = [] { return std::uint32_t(3); };
    seams.now = [] { return Tick(1000); };
    CameraDataState data;
    CameraCache cache;
    for (auto _ : state) benchmark::DoNotOptimize(CameraDataStep(data, cache, 0, seams));
    if (requests != 0) state.SkipWithError("an idle pass made a request");
}
BENCHMARK(BM_CameraDataPassIdle);

}  // namespace
}  // namespace hm
