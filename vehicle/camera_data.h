// The cockpit camera's data thread: one pass fetches the record of the model the player drives.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "base/ticks.h"
#include "net/api_types.h"
#include "vehicle/camera_record.h"

namespace hm {

constexpr unsigned kCameraFastRefreshMs = 300;
constexpr unsigned kCameraSlowRefreshMs = 1200;

struct CameraSessionCopy {
    std::string token;
    std::uint32_t generation = 0;
};

struct CameraDataSeams {
    ApiClient client;
    ApiRequestFn request;
    std::function<CameraSessionCopy()> session;     // token and generation, copied under its lock
    std::function<std::uint32_t()> generation;      // the generation alone
    std::function<Tick()> now;
};

struct CameraDataState {
    bool seen_any = false;
    std::uint32_t generation = 0;  // the one the cache belongs to
    bool last_stored_fast = false;
};

// One pass; returns the milliseconds to sleep before the next. Never throws.
unsigned CameraDataStep(CameraDataState& state, CameraCache& cache, int requested_model,
                        const CameraDataSeams& seams);

// "/vehicle-camera?v=2&model=<model>"
std::string CameraRecordPath(int model);

}  // namespace hm
