#include "vehicle/cockpit_camera.h"

#include <cmath>
#include <cstring>

#include "vehicle/game_facts.h"

namespace hm {

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr float kDeg = kPi / 180.0f;

V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V3 operator*(V3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
float Dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
bool Finite(V3 a) { return std::isfinite(a.x) && std::isfinite(a.y) && std::isfinite(a.z); }

// A unit vector, or false for a zero or non-finite one.
bool Normalise(V3& v) {
    if (!Finite(v)) return false;
    const float length = std::sqrt(Dot(v, v));
    if (!(length > 1e-6f) || !std::isfinite(length)) return false;
    v = v * (1.0f / length);
    return true;
}

bool ReadBytes(const MemoryReader& m, GameAddress a, void* out, std::size_t n) { return GuardedRead(m, a, out, n); }
bool ReadV3(const MemoryReader& m, GameAddress a, V3& v) {
    float f[3];
    if (!ReadBytes(m, a, f, sizeof f)) return false;
    v = {f[0], f[1], f[2]};
    return true;
}
bool ReadFloat(const MemoryReader& m, GameAddress a, float& v) { return ReadBytes(m, a, &v, 4); }

struct Basis {
    V3 right, forward, up, position;
};

// Four rows of four floats; the first three of each are used.
bool ReadBasis(const MemoryReader& m, GameAddress at, Basis& b) {
    return ReadV3(m, at, b.right) && ReadV3(m, at + 16, b.forward) && ReadV3(m, at + 32, b.up) &&
           ReadV3(m, at + 48, b.position);
}

// A matrix the camera can stand on: finite, with three usable axes.
bool SoundBasis(Basis& b) { return Normalise(b.right) && Normalise(b.forward) && Normalise(b.up) && Finite(b.position); }

float MoveToward(float value, float target, float step) {
    if (value < target) return std::min(value + step, target);
    return std::max(value - step, target);
}

void ResetSmoothing(CockpitCamera& c) {
    c.yaw = c.pitch = c.look_back = 0.0f;
    c.last_update = 0;
}

bool ActiveCamera(const MemoryReader& m, GameAddress self) {
    std::uint8_t index = 0;
    if (!ReadBytes(m, gta::kActiveCameraIndex, &index, 1) || index > 2) return false;
    return self == gta::kCameras + GameAddress(index) * gta::kCameraStride;
}

bool IsCabTvModel(int model) { return model == 403 || model == 514 || model == 515; }

struct Driving {
    GameAddress ped = 0, vehicle = 0;
    int vehicle_class = 0;
    int model = 0;
};

bool FindDrivenVehicle(const MemoryReader& m, Driving& d) {
    std::uint32_t ped = 0, state = 0, vehicle = 0, driver = 0, cls = 0;
    std::uint16_t model = 0;
    if (!GuardedRead32(m, gta::kPlayerPed, ped) || ped == 0) return false;
    if (!GuardedRead32(m, ped + gta::kPedState, state) || state != gta::kPedStateDriving) return false;
    if (!GuardedRead32(m, ped + gta::kPedVehicle, vehicle) || vehicle == 0) return false;
    if (!GuardedRead32(m, vehicle + gta::kVehicleDriver, driver)) return false;
    if (!GuardedRead32(m, vehicle + gta::kVehicleClass, cls) || cls > gta::kMaxVehicleClass) return false;
    if (!ReadBytes(m, vehicle + gta::kEntityModel, &model, 2) || model >= gta::kModelLimit) return false;
    if (driver != ped) {
        std::uint32_t passenger = 0;
        if (!IsCabTvModel(model) || !GuardedRead32(m, vehicle + gta::kVehiclePassenger, passenger) || passenger != ped)
            return false;
    }
    d = {ped, vehicle, int(cls), int(model)};
    return true;
}

bool AllowedMode(std::uint16_t mode) {
    return mode == 16 || mode == 18 || mode == 22 || mode == 24 || mode == 25 || mode == 26;
}

CameraRecord LookUpRecord(CockpitCamera& c, const Driving& d, Tick now) {
    CameraRecord found;
    switch (TryFindCameraRecord(c.cache, d.model, found)) {
        case CacheLookup::Found: c.last_record = found; break;
        case CacheLookup::Missing: c.last_record = DefaultCameraRecord(d.model, d.vehicle_class); break;
        case CacheLookup::Busy:
            // Never wait on the data thread: last frame's record serves, if it was this model's.
            if (c.last_model != d.model) c.last_record = DefaultCameraRecord(d.model, d.vehicle_class);
            break;
    }
    c.last_model = d.model;
    CameraRecord r = c.last_record;
    if (r.fast && now - r.fetched > kFastFlagLifetimeMs) r.fast = false;
    return r;
}

bool Status(CockpitCamera& c, int status) {
    c.shared.status.store(status, std::memory_order_relaxed);
    return false;
}

bool WriteV3(CockpitWorld& w, GameAddress a, V3 v) {
    const float f[3] = {v.x, v.y, v.z};
    return w.Write(a, f, sizeof f);
}

// Steps 10 to 16 once the camera is on; false when nothing was written.
bool PlaceView(CockpitCamera& c, GameAddress self, CockpitWorld& world, const Driving& d, const CameraRecord& r,
               const CockpitKeys& keys, bool keys_allowed, Tick now) {
    const MemoryReader& m = world.Memory();
    Basis b;
    GameAddress matrix = 0;
    if (d.vehicle_class == 9 || d.vehicle_class == 10) {
        world.RefreshLeanMatrix(d.vehicle);
        matrix = d.vehicle + gta::kVehicleLeanMatrix;
    } else if (!GuardedRead32(m, d.vehicle + gta::kEntityMatrix, matrix)) {
        return Status(c, kCameraNoSeat);
    }
    // A zero or non-finite matrix, seat or field of view would put NaN into the game's camera.
    if (!ReadBasis(m, matrix, b) || !SoundBasis(b)) return Status(c, kCameraNoSeat);

    std::uint32_t info = 0, seats = 0;
    V3 seat;
    const std::uint32_t seat_offset = std::uint32_t(d.vehicle_class) == gta::kBoatClass ? gta::kBoatDriverSeat
                                                                                          : gta::kDriverSeat;
    if (!GuardedRead32(m, gta::kModelInfoTable + GameAddress(d.model) * 4, info) ||
        !GuardedRead32(m, info + gta::kModelSeatData, seats) || !ReadV3(m, seats + seat_offset, seat) || !Finite(seat))
        return Status(c, kCameraNoSeat);
    const V3 eye_local = seat + V3{r.x, r.y, r.z};
    auto to_world = [&b](V3 local) { return b.position + b.right * local.x + b.forward * local.y + b.up * local.z; };
    const V3 eye_base = to_world(eye_local);
    if (!Finite(eye_base) || !std::isfinite(r.fov) || !std::isfinite(r.w)) return Status(c, kCameraNoSeat);
    if (d.vehicle_class != 2 && d.vehicle_class != 9 && d.vehicle_class != 10) {
        V3 head;
        if (!world.HeadPosition(d.ped, head) || !Finite(head)) return Status(c, kCameraNoSeat);
        const V3 apart = eye_base - head;
        if (!(Dot(apart, apart) <= kMaxEyeToHead * kMaxEyeToHead)) return Status(c, kCameraNoSeat);
    }
    // What the flag byte and the near clip were, so the next update can give them back.
    std::uint8_t flag = 0;
    float near_clip = 0.0f;
    if (!ReadBytes(m, gta::kCameraFlagByte, &flag, 1) || !ReadFloat(m, gta::kNearClip, near_clip))
        return Status(c, kCameraNoSeat);

    // Look keys: the ladder truck's numpad steers its ladder.
    float yaw_target = 0.0f, pitch_target = 0.0f, back_target = 0.0f;
    if (keys_allowed && d.model != gta::kLadderTruckModel) {
        if (keys.numpad4 != keys.numpad6) yaw_target = keys.numpad4 ? -80.0f : 80.0f;
        if (keys.numpad1 && (d.vehicle_class == 0 || d.vehicle_class == 1)) {
            yaw_target = -155.0f;
            back_target = 1.0f;
        }
        if (keys.numpad8 != keys.numpad2) pitch_target = keys.numpad8 ? 35.0f : -35.0f;
    }
    float dt = c.last_update == 0 || now < c.last_update ? 0.0f : float(now - c.last_update) / 1000.0f;
    dt = std::min(std::max(dt, 0.0f), 0.05f);
    const float step = kTurnDegreesPerSecond * dt;
    c.yaw = MoveToward(c.yaw, yaw_target, step);
    c.pitch = MoveToward(c.pitch, pitch_target, step);
    c.look_back = MoveToward(c.look_back, back_target, step / 100.0f);
    c.last_update = now;

    const V3 eye = to_world(eye_local + V3{0.08f * c.look_back, -0.72f * c.look_back, 0.0f});
    const float yaw = c.yaw * kDeg, pitch = (c.pitch + r.w) * kDeg;
    const V3 heading = b.forward * std::cos(yaw) + b.right * std::sin(yaw);
    V3 front = heading * std::cos(pitch) + b.up * std::sin(pitch);
    V3 up = b.up * std::cos(pitch) - heading * std::sin(pitch);
    if (!Normalise(front) || !Normalise(up) || !Finite(eye)) return Status(c, kCameraNoSeat);

    const float fov = r.fov;
    const float clip = kCockpitNearClip;
    const std::uint8_t one = 1;
    if (!WriteV3(world, self + gta::kCameraSource, eye) || !WriteV3(world, self + gta::kCameraFront, front) ||
        !WriteV3(world, self + gta::kCameraUp, up) || !world.Write(self + gta::kCameraFov, &fov, 4))
        return Status(c, kCameraNoSeat);
    c.saved_flag = flag;
    c.saved_near_clip = near_clip;
    c.restore_pending = true;
    world.Write(gta::kNearClip, &clip, 4);
    world.Write(gta::kCameraFlagByte, &one, 1);

    const bool visible = r.body == 1 || (r.body == -1 && (d.vehicle_class == 0 || d.vehicle_class == 1));
    c.shared.suppressed_vehicle.store(visible ? 0 : d.vehicle, std::memory_order_relaxed);

    if (IsCabTvModel(d.model)) {
        // A 16:9 screen ahead of the driver, fixed in the cab whatever the driver looks at.
        const V3 centre = eye_base + b.forward * 0.97f + b.up * 0.24f;
        const V3 half_w = b.right * 0.21f, half_h = b.up * 0.118125f;
        c.cab.corners = {centre - half_w + half_h, centre + half_w + half_h, centre - half_w - half_h,
                         centre + half_w - half_h};
        c.cab.eye = eye;
        c.cab.front = front;
        c.cab.up = up;
        c.cab.fov_degrees = fov;
        c.cab_written = true;
    }
    c.shared.status.store(kCameraActive, std::memory_order_relaxed);
    return true;
}

}  // namespace

void RunCameraUpdate(CockpitCamera& c, GameAddress self, CockpitWorld& world) {
    const MemoryReader& m = world.Memory();
    if (!ActiveCamera(m, self)) {
        world.CallThrough();
        return;
    }
    if (c.restore_pending) {
        // Only what is still ours goes back: the game may have set its own values meanwhile.
        std::uint8_t flag = 0;
        float near_clip = 0.0f;
        if (ReadBytes(m, gta::kCameraFlagByte, &flag, 1) && ReadFloat(m, gta::kNearClip, near_clip) && flag == 1 &&
            std::fabs(near_clip - kCockpitNearClip) <= 0.00001f) {
            world.Write(gta::kNearClip, &c.saved_near_clip, 4);
            world.Write(gta::kCameraFlagByte, &c.saved_flag, 1);
        }
        c.restore_pending = false;
    }
    c.shared.suppressed_vehicle.store(0, std::memory_order_relaxed);
    c.cab_written = false;
    world.CallThrough();

    const CockpitKeys keys = world.SampleKeys();
    const bool c_pressed = keys.c && !c.c_was_down;
    c.c_was_down = keys.c;
    const Tick now = world.Now();

    Driving d;
    if (!FindDrivenVehicle(m, d)) {
        c.on = false;
        c.previous_vehicle = 0;
        ResetSmoothing(c);
        c.shared.camera_on.store(false, std::memory_order_relaxed);
        c.shared.requested_model.store(0, std::memory_order_relaxed);
        Status(c, kCameraWaitingForDriver);
        return;
    }
    c.shared.requested_model.store(d.model, std::memory_order_relaxed);
    c.shared.vehicle_class.store(d.vehicle_class, std::memory_order_relaxed);
    const bool keys_allowed =
        keys.game_in_front && !keys.computer_ui && !keys.photo_visible && keys.chat_free && !keys.ctrl && !keys.alt;
    if (d.vehicle != c.previous_vehicle) {
        c.on = false;
    } else if (keys_allowed && c_pressed) {
        c.on = !c.on;
    }
    c.previous_vehicle = d.vehicle;
    c.shared.camera_on.store(c.on, std::memory_order_relaxed);

    const CameraRecord record = LookUpRecord(c, d, now);

    std::uint16_t mode = 0;
    std::uint8_t control = 0;
    std::uint32_t target = 0;
    const bool readable = ReadBytes(m, self + gta::kCameraMode, &mode, 2) &&
                          ReadBytes(m, gta::kCameraControlByte, &control, 1) &&
                          GuardedRead32(m, self + gta::kCameraTarget, target);
    if (readable) c.shared.mode.store(mode, std::memory_order_relaxed);
    if (!readable || !AllowedMode(mode) || control != 1 || (target != d.vehicle && target != d.ped)) {
        Status(c, kCameraGameControlled);
        return;
    }
    Status(c, keys_allowed ? kCameraReady : kCameraKeyBlocked);
    if (!c.on) {
        if (!keys.c) ResetSmoothing(c);
        return;
    }
    PlaceView(c, self, world, d, record, keys, keys_allowed, now);
}

bool ShouldDrawEntity(const CockpitCamera& camera, GameAddress entity) {
    const std::uint32_t hidden = camera.shared.suppressed_vehicle.load(std::memory_order_relaxed);
    return hidden == 0 || hidden != entity;
}

bool TakeCabView(CockpitCamera& camera, CabView& out) {
    if (!camera.cab_written) return false;
    camera.cab_written = false;
    out = camera.cab;
    return true;
}

std::wstring CameraStatusText(const CameraStatusInputs& in) {
    static const wchar_t* const kTexts[] = {L"připravená",
                                            L"čeká na řidiče",
                                            L"klávesa blokovaná otevřeným vstupem",
                                            L"nepodporovaný model",
                                            L"dočasně ji řídí hra/server",
                                            L"model nemá platné sedadlo",
                                            L"aktivní"};
    std::wstring line = L"Kamera C: ";
    if (!in.switched_on) return line + L"vypnutá v INI.\n";
    if (!in.hooks_installed) return line + L"nekompatibilní GTA nebo jiná úprava kamery/vykreslování.\n";
    if (!in.samp_recognised) return line + L"nerozpoznaná verze SA-MP.\n";
    const int status = in.status >= 0 && in.status <= 6 ? in.status : 0;
    return line + kTexts[status] + L"; model " + std::to_wstring(in.model) + L", režim " + std::to_wstring(in.mode) +
           L".\n";
}

}  // namespace hm
