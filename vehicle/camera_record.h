// Per-model cockpit camera data: the HMCAM2 answer of the web API, the built-in defaults and the
// cache the data thread fills and the camera hook reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string_view>

#include "base/ticks.h"

namespace hm {

struct CameraRecord {
    float x = 0.0f;        // eye offset to the right
    float y = -0.12f;      // eye offset forward
    float z = 0.78f;       // eye height
    float w = 0.0f;        // pitch offset, degrees
    float fov = 83.0f;     // degrees
    int body = -1;         // -1 by class, 0 hidden, 1 visible
    bool fast = false;     // refresh every 300 ms instead of 1200 ms
    Tick fetched = 0;
};

// An HMCAM2 answer for `requested_model`; empty when any rule is broken.
std::optional<CameraRecord> ParseCameraRecord(std::string_view text, int requested_model);

// The built-in record for a model without server data; `vehicle_class` 0..10.
CameraRecord DefaultCameraRecord(int model, int vehicle_class);

// Models with a record, guarded by `lock`; emptied when the media session changes.
constexpr std::size_t kCameraCacheLimit = 256;
struct CameraCache {
    std::mutex lock;
    std::map<int, CameraRecord> records;
};

// Insert or replace under the lock; a full cache gives up the record fetched longest ago.
void StoreCameraRecord(CameraCache& cache, int model, const CameraRecord& record);
void ClearCameraCache(CameraCache& cache);

enum class CacheLookup { Found, Missing, Busy };
// Game thread: never waits. Busy when the data thread holds the lock.
CacheLookup TryFindCameraRecord(CameraCache& cache, int model, CameraRecord& out);

}  // namespace hm
