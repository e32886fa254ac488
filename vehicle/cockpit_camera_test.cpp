#include "vehicle/cockpit_camera.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <functional>
#include <set>
#include <thread>

#include "vehicle/game_facts.h"

namespace hm {
namespace {

constexpr GameAddress kCam = gta::kCameras;  // camera 0
constexpr GameAddress kPed = 0x100000, kCar = 0x200000, kMatrix = 0x300000, kInfo = 0x400000, kSeats = 0x410000;
constexpr GameAddress kOtherPed = 0x120000;

// A little game: camera 0 follows the player who drives model 400 (class 0) at (10, 20, 5),
// facing +y, the driver's seat at (-0.4, 0.1, 0.3), the head near the seat.
class FakeGame : public CockpitWorld {
public:
    FakeAddressSpace mem;
    CockpitKeys keys;
    Tick now = 10000;
    int call_throughs = 0;
    int lean_refreshes = 0;
    bool head_readable = true;
    V3 head{9.6f, 20.1f, 6.1f};
    std::set<GameAddress> written;
    std::function<void()> during_call_through;

    FakeGame() {
        keys.game_in_front = true;
        keys.chat_free = true;
        Byte(gta::kActiveCameraIndex, 0);
        Byte(gta::kCameraControlByte, 1);
        Byte(gta::kCameraFlagByte, 0);
        Float(gta::kNearClip, 1.0f);
        Put16(kCam + gta::kCameraMode, 18);
        mem.Put32(kCam + gta::kCameraTarget, kCar);
        Vec(kCam + gta::kCameraSource, {1, 2, 3});
        Vec(kCam + gta::kCameraFront, {0, 1, 0});
        Vec(kCam + gta::kCameraUp, {0, 0, 1});
        Float(kCam + gta::kCameraFov, 70.0f);
        mem.Put32(gta::kPlayerPed, kPed);
        mem.Put32(kPed + gta::kPedState, 50);
        mem.Put32(kPed + gta::kPedVehicle, kCar);
        Vehicle(kCar, 400, 0, kMatrix);
        Matrix(kMatrix, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {10, 20, 5});
        mem.Put32(gta::kModelInfoTable + 400 * 4, kInfo);
        mem.Put32(gta::kModelInfoTable + 403 * 4, kInfo);
        mem.Put32(gta::kModelInfoTable + 544 * 4, kInfo);
        mem.Put32(kInfo + gta::kModelSeatData, kSeats);
        Vec(kSeats + gta::kDriverSeat, {-0.4f, 0.1f, 0.3f});
        Vec(kSeats + gta::kBoatDriverSeat, {0.0f, -1.0f, 0.5f});
    }
    void Byte(GameAddress a, std::uint8_t v) { mem.Put(a, {v}); }
    void Put16(GameAddress a, std::uint16_t v) { mem.Put(a, {std::uint8_t(v), std::uint8_t(v >> 8)}); }
    void Float(GameAddress a, float f) {
        std::uint32_t u;
        std::memcpy(&u, &f, 4);
        mem.Put32(a, u);
    }
    void Vec(GameAddress a, V3 v) {
        Float(a, v.x);
        Float(a + 4, v.y);
        Float(a + 8, v.z);
    }
    void Matrix(GameAddress a, V3 r, V3 f, V3 u, V3 p) {
        Vec(a, r), Vec(a + 16, f), Vec(a + 32, u), Vec(a + 48, p);
    }
    void Vehicle(GameAddress v, std::uint16_t model, std::uint32_t cls, GameAddress matrix) {
        mem.Put32(v + gta::kEntityMatrix, matrix);
        Put16(v + gta::kEntityModel, model);
        mem.Put32(v + gta::kVehicleDriver, kPed);
        mem.Put32(v + gta::kVehiclePassenger, 0);
        mem.Put32(v + gta::kVehicleClass, cls);
    }
    float ReadF(GameAddress a) const {
        float f = 0;
        EXPECT_TRUE(mem.ReadRaw(a, &f, 4));
        return f;
    }
    V3 ReadV(GameAddress a) const { return {ReadF(a), ReadF(a + 4), ReadF(a + 8)}; }
    std::uint8_t ReadB(GameAddress a) const {
        std::uint8_t b = 0;
        EXPECT_TRUE(mem.ReadRaw(a, &b, 1));
        return b;
    }

    const MemoryReader& Memory() const override { return mem; }
    bool Write(GameAddress address, const void* bytes, std::size_t size) override {
        const auto* b = static_cast<const std::uint8_t*>(bytes);
        mem.Put(address, std::vector<std::uint8_t>(b, b + size));
        written.insert(address);
        return true;
    }
    void CallThrough() override {
        ++call_throughs;
        if (during_call_through) during_call_through();
    }
    void RefreshLeanMatrix(GameAddress) override { ++lean_refreshes; }
    bool HeadPosition(GameAddress ped, V3& out) override {
        EXPECT_EQ(ped, kPed);
        out = head;
        return head_readable;
    }
    CockpitKeys SampleKeys() override { return keys; }
    Tick Now() override { return now; }
};

struct CameraRig {
    CockpitCamera camera;
    FakeGame game;
    void Update(Tick step = 20) {
        game.now += step;
        RunCameraUpdate(camera, kCam, game);
    }
    void PressC() {
        game.keys.c = true;
        Update();
        game.keys.c = false;
        Update();
    }
    int Status() const { return camera.shared.status.load(); }
    bool CameraWritten() const {
        return game.written.count(kCam + gta::kCameraSource) || game.written.count(kCam + gta::kCameraFov);
    }
};

TEST(CockpitCameraTest, CTogglesOnAFreshPressAndWritesTheView) {
    CameraRig rig;
    rig.Update();
    EXPECT_EQ(rig.Status(), kCameraReady);
    EXPECT_EQ(rig.camera.shared.requested_model.load(), 400);
    EXPECT_EQ(rig.camera.shared.mode.load(), 18);
    EXPECT_FALSE(rig.CameraWritten());

    rig.game.keys.c = true;
    rig.Update();
    EXPECT_EQ(rig.Status(), kCameraActive);
    EXPECT_FLOAT_EQ(rig.game.ReadF(kCam + gta::kCameraFov), 83.0f);
    EXPECT_FLOAT_EQ(rig.game.ReadF(gta::kNearClip), kCockpitNearClip);
    EXPECT_EQ(rig.game.ReadB(gta::kCameraFlagByte), 1);
    // Eye = position + seat + default offsets (0, -0.12, 0.78); looking along the car.
    const V3 eye = rig.game.ReadV(kCam + gta::kCameraSource);
    EXPECT_NEAR(eye.x, 9.6f, 1e-4);
    EXPECT_NEAR(eye.y, 19.98f, 1e-4);
    EXPECT_NEAR(eye.z, 6.08f, 1e-4);
    const V3 front = rig.game.ReadV(kCam + gta::kCameraFront), up = rig.game.ReadV(kCam + gta::kCameraUp);
    EXPECT_NEAR(front.y, 1.0f, 1e-5);
    EXPECT_NEAR(up.z, 1.0f, 1e-5);

    // Held C: no flip on the following updates.
    for (int i = 0; i < 5; ++i) rig.Update();
    EXPECT_EQ(rig.Status(), kCameraActive);
    EXPECT_EQ(rig.game.call_throughs, 7);

    // Released and pressed again: off, and the next update gives near clip and flag back.
    rig.game.keys.c = false;
    rig.Update();
    rig.game.written.clear();
    rig.game.keys.c = true;
    rig.Update();
    EXPECT_EQ(rig.Status(), kCameraReady);
    EXPECT_FLOAT_EQ(rig.game.ReadF(gta::kNearClip), 1.0f);
    EXPECT_EQ(rig.game.ReadB(gta::kCameraFlagByte), 0);
    EXPECT_FALSE(rig.CameraWritten());
}

TEST(CockpitCameraTest, BlockedKeysAndModifiersIgnoreC) {
    struct Case {
        const char* name;
        std::function<void(CockpitKeys&)> change;
    } cases[] = {
        {"chat open", [](CockpitKeys& k) { k.chat_free = false; }},
        {"game behind", [](CockpitKeys& k) { k.game_in_front = false; }},
        {"computer", [](CockpitKeys& k) { k.computer_ui = true; }},
        {"photo", [](CockpitKeys& k) { k.photo_visible = true; }},
        {"ctrl", [](CockpitKeys& k) { k.ctrl = true; }},
        {"alt", [](CockpitKeys& k) { k.alt = true; }},
    };
    for (const Case& c : cases) {
        CameraRig rig;
        c.change(rig.game.keys);
        rig.Update();
        rig.PressC();
        EXPECT_EQ(rig.Status(), kCameraKeyBlocked) << c.name;
        EXPECT_FALSE(rig.camera.on) << c.name;
        EXPECT_FALSE(rig.CameraWritten()) << c.name;
    }
    // Opening the chat while the camera is on keeps the view but blocks the key.
    CameraRig rig;
    rig.Update();
    rig.PressC();
    rig.game.keys.chat_free = false;
    rig.PressC();
    EXPECT_TRUE(rig.camera.on);
    EXPECT_EQ(rig.Status(), kCameraActive);
}

TEST(CockpitCameraTest, UnreadableOrWrongGameStateWritesNothing) {
    struct Case {
        const char* name;
        std::function<void(FakeGame&)> change;
        int status;
    } cases[] = {
        {"null ped", [](FakeGame& g) { g.mem.Put32(gta::kPlayerPed, 0); }, kCameraWaitingForDriver},
        {"low ped", [](FakeGame& g) { g.mem.Put32(gta::kPlayerPed, 0x10000); }, kCameraWaitingForDriver},
        {"unreadable ped", [](FakeGame& g) { g.mem.Put32(gta::kPlayerPed, 0x700000); }, kCameraWaitingForDriver},
        {"no ped slot", [](FakeGame& g) { g.mem.Remove(gta::kPlayerPed, 4); }, kCameraWaitingForDriver},
        {"on foot", [](FakeGame& g) { g.mem.Put32(kPed + gta::kPedState, 1); }, kCameraWaitingForDriver},
        {"no vehicle", [](FakeGame& g) { g.mem.Put32(kPed + gta::kPedVehicle, 0); }, kCameraWaitingForDriver},
        {"unreadable vehicle", [](FakeGame& g) { g.mem.Put32(kPed + gta::kPedVehicle, 0x710000); }, kCameraWaitingForDriver},
        {"class 11", [](FakeGame& g) { g.mem.Put32(kCar + gta::kVehicleClass, 11); }, kCameraWaitingForDriver},
        {"model 20000", [](FakeGame& g) { g.Put16(kCar + gta::kEntityModel, 20000); }, kCameraWaitingForDriver},
        {"passenger", [](FakeGame& g) { g.mem.Put32(kCar + gta::kVehicleDriver, kOtherPed); }, kCameraWaitingForDriver},
        {"no matrix", [](FakeGame& g) { g.mem.Put32(kCar + gta::kEntityMatrix, 0); }, kCameraNoSeat},
        {"zero matrix", [](FakeGame& g) { g.Matrix(kMatrix, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {10, 20, 5}); }, kCameraNoSeat},
        {"NaN matrix", [](FakeGame& g) { g.Vec(kMatrix + 48, {NAN, 20, 5}); }, kCameraNoSeat},
        {"infinite axis", [](FakeGame& g) { g.Vec(kMatrix + 16, {0, INFINITY, 0}); }, kCameraNoSeat},
        {"no model info", [](FakeGame& g) { g.mem.Put32(gta::kModelInfoTable + 400 * 4, 0); }, kCameraNoSeat},
        {"no seat data", [](FakeGame& g) { g.mem.Remove(kSeats + gta::kDriverSeat, 12); }, kCameraNoSeat},
        {"NaN seat", [](FakeGame& g) { g.Vec(kSeats + gta::kDriverSeat, {0, NAN, 0}); }, kCameraNoSeat},
        {"seat far from the head", [](FakeGame& g) { g.head = {9.6f, 45.0f, 6.0f}; }, kCameraNoSeat},
        {"head unreadable", [](FakeGame& g) { g.head_readable = false; }, kCameraNoSeat},
        {"near clip unreadable", [](FakeGame& g) { g.mem.Remove(gta::kNearClip, 4); }, kCameraNoSeat},
        {"mode 4", [](FakeGame& g) { g.Put16(kCam + gta::kCameraMode, 4); }, kCameraGameControlled},
        {"control byte", [](FakeGame& g) { g.Byte(gta::kCameraControlByte, 0); }, kCameraGameControlled},
        {"other target", [](FakeGame& g) { g.mem.Put32(kCam + gta::kCameraTarget, kOtherPed); }, kCameraGameControlled},
    };
    for (const Case& c : cases) {
        CameraRig rig;
        rig.Update();
        rig.PressC();
        ASSERT_EQ(rig.Status(), kCameraActive) << c.name;
        c.change(rig.game);
        rig.game.written.clear();
        rig.Update();
        EXPECT_EQ(rig.Status(), c.status) << c.name;
        EXPECT_FALSE(rig.CameraWritten()) << c.name;
        EXPECT_FALSE(rig.game.written.count(gta::kNearClip) && rig.game.ReadF(gta::kNearClip) == kCockpitNearClip)
            << c.name;
        if (c.status == kCameraWaitingForDriver) {
            EXPECT_FALSE(rig.camera.on) << c.name;
            EXPECT_EQ(rig.camera.shared.requested_model.load(), 0) << c.name;
        }
    }
}

TEST(CockpitCameraTest, OnlyTheActiveCameraIsTouched) {
    CameraRig rig;
    rig.Update();
    rig.PressC();
    rig.game.written.clear();
    const int before = rig.game.call_throughs;
    rig.game.now += 20;
    RunCameraUpdate(rig.camera, kCam + gta::kCameraStride, rig.game);  // camera 1 while 0 is active
    rig.game.Byte(gta::kActiveCameraIndex, 3);
    RunCameraUpdate(rig.camera, kCam + 3 * gta::kCameraStride, rig.game);
    EXPECT_EQ(rig.game.call_throughs, before + 2);
    EXPECT_TRUE(rig.game.written.empty());
}

TEST(CockpitCameraTest, AnotherVehicleSwitchesTheCameraOff) {
    CameraRig rig;
    rig.Update();
    rig.PressC();
    ASSERT_TRUE(rig.camera.on);
    constexpr GameAddress kCar2 = 0x220000;
    rig.game.Vehicle(kCar2, 400, 0, kMatrix);
    rig.game.mem.Put32(kPed + gta::kPedVehicle, kCar2);
    rig.game.mem.Put32(kCam + gta::kCameraTarget, kPed);  // the player as target serves too
    rig.Update();
    EXPECT_FALSE(rig.camera.on);
    EXPECT_EQ(rig.Status(), kCameraReady);
    // A press in the very frame of the change does not count either.
    rig.game.mem.Put32(kPed + gta::kPedVehicle, kCar);
    rig.game.keys.c = true;
    rig.Update();
    EXPECT_FALSE(rig.camera.on);
}

TEST(CockpitCameraTest, RecordsFromTheCacheAndLastFramesRecordWhenBusy) {
    CameraRig rig;
    CameraRecord r;
    r.fov = 70.0f;
    r.z = 1.0f;
    StoreCameraRecord(rig.camera.cache, 400, r);
    rig.Update();
    rig.PressC();
    EXPECT_FLOAT_EQ(rig.game.ReadF(kCam + gta::kCameraFov), 70.0f);

    std::atomic<int> phase{0};
    std::thread holder([&] {
        std::lock_guard<std::mutex> hold(rig.camera.cache.lock);
        phase = 1;
        while (phase != 2) std::this_thread::yield();
    });
    while (phase != 1) std::this_thread::yield();
    rig.game.Float(kCam + gta::kCameraFov, 1.0f);
    rig.Update();
    EXPECT_FLOAT_EQ(rig.game.ReadF(kCam + gta::kCameraFov), 70.0f);  // last frame's record, no wait
    // Another model while busy: its defaults, not the other model's record.
    rig.game.Put16(kCar + gta::kEntityModel, 403);
    rig.Update();
    EXPECT_FLOAT_EQ(rig.game.ReadF(kCam + gta::kCameraFov), 83.0f);
    phase = 2;
    holder.join();
}

float YawOf(V3 front) { return std::atan2(front.x, front.y) * 180.0f / 3.14159265f; }
float PitchOf(V3 front) { return std::asin(front.z) * 180.0f / 3.14159265f; }

TEST(CockpitCameraTest, LookKeysTurnAtMostOneHundredFiftyDegreesASecond) {
    CameraRig rig;
    rig.Update();
    rig.PressC();
    rig.game.keys.numpad6 = true;
    rig.Update(1000);  // a long frame counts as 0.05 s
    EXPECT_NEAR(YawOf(rig.game.ReadV(kCam + gta::kCameraFront)), 7.5f, 0.01f);
    rig.Update(20);
    EXPECT_NEAR(YawOf(rig.game.ReadV(kCam + gta::kCameraFront)), 10.5f, 0.01f);
    for (int i = 0; i < 60; ++i) rig.Update(50);
    EXPECT_NEAR(YawOf(rig.game.ReadV(kCam + gta::kCameraFront)), 80.0f, 0.01f);
    rig.game.keys.numpad4 = true;  // both: straight ahead
    for (int i = 0; i < 30; ++i) rig.Update(50);
    EXPECT_NEAR(YawOf(rig.game.ReadV(kCam + gta::kCameraFront)), 0.0f, 0.01f);
    rig.game.keys.numpad4 = rig.game.keys.numpad6 = false;
    rig.game.keys.numpad8 = true;
    for (int i = 0; i < 30; ++i) rig.Update(50);
    EXPECT_NEAR(PitchOf(rig.game.ReadV(kCam + gta::kCameraFront)), 35.0f, 0.01f);
    rig.game.keys.numpad8 = false;
    rig.game.keys.numpad2 = true;
    for (int i = 0; i < 30; ++i) rig.Update(50);
    EXPECT_NEAR(PitchOf(rig.game.ReadV(kCam + gta::kCameraFront)), -35.0f, 0.01f);
}

TEST(CockpitCameraTest, LookBackMovesTheEyeWithItsSlowBlend) {
    CameraRig rig;
    rig.Update();
    rig.PressC();
    const V3 eye0 = rig.game.ReadV(kCam + gta::kCameraSource);
    rig.game.keys.numpad1 = true;
    rig.Update(50);
    EXPECT_NEAR(rig.camera.look_back, 0.075f, 1e-5);
    const V3 eye1 = rig.game.ReadV(kCam + gta::kCameraSource);
    EXPECT_NEAR(eye1.y - eye0.y, -0.72f * 0.075f, 1e-4);
    EXPECT_NEAR(eye1.x - eye0.x, 0.08f * 0.075f, 1e-4);
    for (int i = 0; i < 40; ++i) rig.Update(50);
    EXPECT_NEAR(YawOf(rig.game.ReadV(kCam + gta::kCameraFront)), -155.0f, 0.01f);

    // No look keys for the ladder truck, no look-back beyond classes 0 and 1, none while blocked.
    struct Case {
        const char* name;
        std::uint16_t model;
        std::uint32_t cls;
        bool chat_free;
        bool numpad1;
    } cases[] = {{"544", 544, 0, true, false}, {"quad", 400, 2, true, true}, {"chat", 400, 0, false, false}};
    for (const Case& c : cases) {
        CameraRig r2;
        r2.game.Vehicle(kCar, c.model, c.cls, kMatrix);
        r2.Update();
        r2.PressC();
        r2.game.keys.chat_free = c.chat_free;
        r2.game.keys.numpad4 = true;
        r2.game.keys.numpad1 = c.numpad1;
        for (int i = 0; i < 10; ++i) r2.Update(50);
        EXPECT_EQ(r2.Status(), kCameraActive) << c.name;
        const float yaw = YawOf(r2.game.ReadV(kCam + gta::kCameraFront));
        if (c.model == 544 || !c.chat_free) {
            EXPECT_NEAR(yaw, 0.0f, 0.01f) << c.name;
        } else {
            EXPECT_NEAR(yaw, -75.0f, 0.01f) << c.name;  // turning left, never back
        }
        EXPECT_FLOAT_EQ(r2.camera.look_back, 0.0f) << c.name;
    }
}

TEST(CockpitCameraTest, NearClipComesBackOnlyWhenStillOurs) {
    CameraRig rig;
    rig.Update();
    rig.PressC();
    // Something else set its own near clip since: leave it, and the flag byte with it.
    rig.game.Float(gta::kNearClip, 0.3f);
    rig.game.keys.c = true;
    rig.Update();
    EXPECT_FALSE(rig.camera.on);
    EXPECT_FLOAT_EQ(rig.game.ReadF(gta::kNearClip), 0.3f);
    EXPECT_EQ(rig.game.ReadB(gta::kCameraFlagByte), 1);
}

TEST(CockpitCameraTest, BodyFlagDecidesWhetherHookADrawsTheVehicle) {
    struct Case {
        std::uint32_t cls;
        int body;
        bool drawn;
    } cases[] = {{0, -1, true}, {1, -1, true}, {3, -1, false}, {4, -1, false}, {4, 1, true}, {0, 0, false}};
    for (const Case& c : cases) {
        CameraRig rig;
        rig.game.Vehicle(kCar, 400, c.cls, kMatrix);
        CameraRecord r;
        r.body = c.body;
        StoreCameraRecord(rig.camera.cache, 400, r);
        rig.Update();
        rig.PressC();
        ASSERT_EQ(rig.Status(), kCameraActive) << c.cls;
        EXPECT_EQ(ShouldDrawEntity(rig.camera, kCar), c.drawn) << c.cls << " " << c.body;
        EXPECT_TRUE(ShouldDrawEntity(rig.camera, kCar + 0x1000));
        // The next update starts by drawing everything again.
        rig.game.during_call_through = [&] { EXPECT_TRUE(ShouldDrawEntity(rig.camera, kCar)); };
        rig.Update();
    }
}

TEST(CockpitCameraTest, TwoWheelersUseTheLeanMatrixWithoutHeadCheck) {
    CameraRig rig;
    rig.game.Vehicle(kCar, 400, 9, kMatrix);
    rig.game.Matrix(kCar + gta::kVehicleLeanMatrix, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {100, 200, 5});
    rig.game.head = {0, 0, -500};  // far away: not asked for two-wheelers
    rig.Update();
    rig.PressC();
    EXPECT_EQ(rig.Status(), kCameraActive);
    EXPECT_GE(rig.game.lean_refreshes, 1);
    EXPECT_NEAR(rig.game.ReadV(kCam + gta::kCameraSource).x, 99.6f, 1e-3);
}

TEST(CockpitCameraTest, CabTrucksPlaceTheWindscreenOncePerUpdate) {
    CabView view;
    {
        CameraRig car;
        car.Update();
        car.PressC();
        ASSERT_EQ(car.Status(), kCameraActive);
        EXPECT_FALSE(TakeCabView(car.camera, view));  // not a cab-TV model
    }
    CameraRig rig;
    rig.game.Vehicle(kCar, 403, 0, kMatrix);
    rig.game.mem.Put32(kCar + gta::kVehicleDriver, kOtherPed);  // the player rides beside the driver
    rig.game.mem.Put32(kCar + gta::kVehiclePassenger, kPed);
    rig.Update();
    rig.PressC();
    ASSERT_EQ(rig.Status(), kCameraActive);
    ASSERT_TRUE(TakeCabView(rig.camera, view));
    EXPECT_FALSE(TakeCabView(rig.camera, view));
    const V3 eye = rig.game.ReadV(kCam + gta::kCameraSource);
    EXPECT_FLOAT_EQ(view.eye.x, eye.x);
    EXPECT_FLOAT_EQ(view.fov_degrees, 83.0f);
    EXPECT_NEAR(view.corners[0].y - eye.y, 0.97f, 1e-4);                    // ahead of the eye
    EXPECT_NEAR(view.corners[1].x - view.corners[0].x, 0.42f, 1e-4);         // 0.42 wide
    EXPECT_NEAR(view.corners[0].z - view.corners[2].z, 0.23625f, 1e-4);      // 16:9
    EXPECT_NEAR(view.corners[3].x, view.corners[1].x, 1e-5);
}

TEST(CameraStatusTextTest, FixedCasesFirstThenTheStatusLine) {
    struct Case {
        CameraStatusInputs in;
        const wchar_t* text;
    } cases[] = {
        {{false, true, true, 6, 400, 18}, L"Kamera C: vypnutá v INI.\n"},
        {{true, false, true, 6, 400, 18}, L"Kamera C: nekompatibilní GTA nebo jiná úprava kamery/vykreslování.\n"},
        {{true, true, false, 6, 400, 18}, L"Kamera C: nerozpoznaná verze SA-MP.\n"},
        {{true, true, true, 0, 400, 18}, L"Kamera C: připravená; model 400, režim 18.\n"},
        {{true, true, true, 1, 0, 4}, L"Kamera C: čeká na řidiče; model 0, režim 4.\n"},
        {{true, true, true, 2, 400, 16}, L"Kamera C: klávesa blokovaná otevřeným vstupem; model 400, režim 16.\n"},
        {{true, true, true, 3, 1, 2}, L"Kamera C: nepodporovaný model; model 1, režim 2.\n"},
        {{true, true, true, 4, 544, 7}, L"Kamera C: dočasně ji řídí hra/server; model 544, režim 7.\n"},
        {{true, true, true, 5, 520, 22}, L"Kamera C: model nemá platné sedadlo; model 520, režim 22.\n"},
        {{true, true, true, 6, 403, 26}, L"Kamera C: aktivní; model 403, režim 26.\n"},
        {{true, true, true, 7, 400, 18}, L"Kamera C: připravená; model 400, režim 18.\n"},
        {{true, true, true, -1, 400, 18}, L"Kamera C: připravená; model 400, režim 18.\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(CameraStatusText(c.in), c.text);
}

}  // namespace
}  // namespace hm
