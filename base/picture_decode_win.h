// DecodePicture: image bytes (PNG, JPEG, BMP, GIF frame 0...) to a Pixels through the Windows
// Imaging Component factory of the calling thread.
#pragma once

#include <wincodec.h>

#include <cstddef>
#include <cstdint>

#include "base/pixels.h"

namespace hm {

constexpr std::uint32_t kMaxDecodedWidth = 1280;
constexpr std::uint32_t kMaxDecodedHeight = 720;

// Frame 0 as 32-bit BGRA. A size outside 1..1280 x 1..720 raises "invalid gallery dimensions"
// before any pixel memory is taken; each failing imaging call raises its WinApiFailure.
PixelsRef DecodePicture(IWICImagingFactory* factory, const std::uint8_t* data, std::size_t size);

}  // namespace hm
