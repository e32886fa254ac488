// The game executable's memory as the vehicle features read and write it: fixed addresses,
// record offsets and routine addresses. One table, shared with the fake game, so the tests
// prove the logic; the values marked "unverified" come from public descriptions of the game's
// memory and have not been checked against the real executable.
#pragma once

#include <cstdint>

#include "game/guarded_memory.h"

namespace hm::gta {

// ---- Cameras ----------------------------------------------------------------------------------
constexpr GameAddress kActiveCameraIndex = 0xB6F081;  // byte, at most 2
constexpr GameAddress kCameras = 0xB6F19C;            // the three cameras, kCameraStride apart
constexpr std::uint32_t kCameraStride = 568;
constexpr GameAddress kCameraFlagByte = 0xB6F059;     // set to 1 while the cockpit view is written
constexpr GameAddress kNearClip = 0xB6F160;           // float
constexpr GameAddress kCameraControlByte = 0xB6F053;  // 1 while the player's camera is in charge
constexpr std::uint32_t kCameraMode = 12;             // 16-bit
constexpr std::uint32_t kCameraTarget = 540;          // entity pointer
// Unverified: where a camera keeps what it shows.
constexpr std::uint32_t kCameraFov = 0xB4;            // float, degrees
constexpr std::uint32_t kCameraFront = 0x168;         // 3 floats
constexpr std::uint32_t kCameraSource = 0x174;        // 3 floats
constexpr std::uint32_t kCameraUp = 0x18C;            // 3 floats

// ---- Player, vehicles, entities ---------------------------------------------------------------
constexpr GameAddress kPlayerPed = 0xB6F5F0;          // pointer
constexpr std::uint32_t kPedState = 1328;             // 32-bit; 50 = driving
constexpr std::uint32_t kPedStateDriving = 50;
constexpr std::uint32_t kPedVehicle = 1420;
constexpr std::uint32_t kVehicleDriver = 1120;
constexpr std::uint32_t kVehiclePassenger = 1124;
constexpr std::uint32_t kVehicleClass = 1424;         // unverified width: read as 32 bits
constexpr std::uint32_t kVehicleLeanMatrix = 1484;    // embedded matrix of two-wheelers
constexpr std::uint32_t kVehicleLadderFrames = 1688;  // three frame pointers
constexpr std::uint32_t kEntityMatrix = 20;           // pointer to right, forward, up, position rows
constexpr std::uint32_t kEntityModel = 34;            // 16-bit
constexpr std::uint32_t kEntityAttachedTo = 252;      // pointer
constexpr std::uint32_t kMaxVehicleClass = 10;
constexpr std::uint32_t kModelLimit = 20000;

// ---- Model information ------------------------------------------------------------------------
constexpr GameAddress kModelInfoTable = 0xA9B0C8;     // pointer per model
constexpr std::uint32_t kModelSeatData = 92;          // pointer to the model's seat positions
constexpr std::uint32_t kDriverSeat = 48;             // 3 floats
constexpr std::uint32_t kBoatClass = 5;
constexpr std::uint32_t kBoatDriverSeat = 60;         // unverified: the boat's seat entry

// ---- Frames -----------------------------------------------------------------------------------
constexpr std::uint32_t kFrameParent = 4;
constexpr std::uint32_t kFrameMatrix = 16;            // 64 bytes, four rows of four floats

// ---- Routines (called, never hooked) ----------------------------------------------------------
// Unverified calling conventions:
// member function of the vehicle, no arguments: refreshes the lean matrix of a two-wheeler.
constexpr GameAddress kLeanMatrixRoutine = 0x6B7150;
// member function of the ped: (float out[3], std::uint32_t bone, std::uint8_t from camera) -> void.
constexpr GameAddress kBonePositionRoutine = 0x5E4280;
constexpr std::uint32_t kHeadBone = 5;
// plain function (cdecl), one argument, the frame; returns the frame.
constexpr GameAddress kFrameRefreshRoutine = 0x7F0910;

// ---- Models -----------------------------------------------------------------------------------
constexpr int kLadderTruckModel = 544;
constexpr int kLadderPieceModel = 19425;

}  // namespace hm::gta
