// The cockpit camera inside the game's camera update (hook B) and its entity-draw companion
// (hook A). Portable: the game is reached through a CockpitWorld, so tests give a fake one.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "base/ticks.h"
#include "game/guarded_memory.h"
#include "vehicle/camera_record.h"

namespace hm {

struct V3 {
    float x = 0.0f, y = 0.0f, z = 0.0f;
};

enum CameraStatus : int {
    kCameraReady = 0,
    kCameraWaitingForDriver = 1,
    kCameraKeyBlocked = 2,
    kCameraUnsupportedModel = 3,
    kCameraGameControlled = 4,
    kCameraNoSeat = 5,
    kCameraActive = 6,
};

// What the shell samples once per camera update.
struct CockpitKeys {
    bool c = false;
    bool ctrl = false, alt = false;
    bool numpad1 = false, numpad2 = false, numpad4 = false, numpad6 = false, numpad8 = false;
    bool game_in_front = false;
    bool computer_ui = false;   // the computer's UI window exists
    bool photo_visible = false;
    bool chat_free = false;     // IsChatFree
};

// The game as hook B sees it. Reads are guarded; writes report whether every byte landed.
class CockpitWorld {
public:
    virtual ~CockpitWorld() = default;
    virtual const MemoryReader& Memory() const = 0;
    virtual bool Write(GameAddress address, const void* bytes, std::size_t size) = 0;
    virtual void CallThrough() = 0;                          // the game's own camera update
    virtual void RefreshLeanMatrix(GameAddress vehicle) = 0;  // two-wheelers
    virtual bool HeadPosition(GameAddress ped, V3& out) = 0;
    virtual CockpitKeys SampleKeys() = 0;
    virtual Tick Now() = 0;
};

// The windscreen area of the cab-TV trucks and the camera that looks at it.
struct CabView {
    std::array<V3, 4> corners;  // top-left, top-right, bottom-left, bottom-right
    V3 eye, front, up;
    float fov_degrees = 0.0f;
};

// Shared with the data thread and the status line: single atomic words.
struct CockpitShared {
    std::atomic<int> requested_model{0};
    std::atomic<int> vehicle_class{0};
    std::atomic<int> status{kCameraWaitingForDriver};
    std::atomic<int> mode{0};
    std::atomic<bool> camera_on{false};
    std::atomic<std::uint32_t> suppressed_vehicle{0};  // hook A skips its drawing; 0 none
};

struct CockpitCamera {
    CockpitShared shared;
    CameraCache cache;

    // Game thread only.
    bool on = false;
    bool c_was_down = false;
    GameAddress previous_vehicle = 0;
    float yaw = 0.0f, pitch = 0.0f, look_back = 0.0f;
    Tick last_update = 0;
    bool restore_pending = false;
    float saved_near_clip = 0.0f;
    std::uint8_t saved_flag = 0;
    int last_model = -1;          // whose record last_record is
    CameraRecord last_record;
    bool cab_written = false;     // cab holds this update's windscreen; taken by the frame
    CabView cab;
};

constexpr float kCockpitNearClip = 0.15f;
constexpr float kTurnDegreesPerSecond = 150.0f;
constexpr Tick kFastFlagLifetimeMs = 4000;
constexpr float kMaxEyeToHead = 20.0f;

// Hook B for camera `self`: calls through exactly once, then places the cockpit view.
void RunCameraUpdate(CockpitCamera& camera, GameAddress self, CockpitWorld& world);

// Hook A: false when the entity is the vehicle whose drawing the camera suppresses.
bool ShouldDrawEntity(const CockpitCamera& camera, GameAddress entity);

// The frame takes the windscreen placed since the last frame, once.
bool TakeCabView(CockpitCamera& camera, CabView& out);

// The line for the Ctrl+F9 screen (three fixed cases, else the status).
struct CameraStatusInputs {
    bool switched_on = true;     // CockpitCamera in the INI
    bool hooks_installed = false;
    bool samp_recognised = false;
    int status = 0;
    int model = 0;
    int mode = 0;
};
std::wstring CameraStatusText(const CameraStatusInputs& in);

}  // namespace hm
