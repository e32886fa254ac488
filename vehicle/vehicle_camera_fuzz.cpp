// libFuzzer entry point of the HMCAM2 parser: any bytes, the model from the first byte.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "vehicle/camera_record.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (int model : {400, 544, 0}) {
        const auto record = hm::ParseCameraRecord(text, model);
        if (!record) continue;
        // Whatever is accepted is within the bounds the camera relies on.
        if (!std::isfinite(record->x) || std::fabs(record->x) > 1.5f || !(record->z >= 0.2f && record->z <= 2.5f) ||
            !(record->fov >= 40.0f && record->fov <= 110.0f) || record->body < -1 || record->body > 1)
            std::abort();
    }
    return 0;
}
