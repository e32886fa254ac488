// The sketch upload's image: a captured picture as PNG bytes through WIC, lossless, with its
// alpha. Worker thread; the caller's COM must be initialised.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <wincodec.h>

#include <string>

#include "base/pixels.h"

namespace hm {

// Throws WinApiFailure with the failing call's site (601 ... 609), or std::runtime_error
// ("sketch upload failed") for an empty picture or a stream that reads short.
std::string EncodeSketchPng(IWICImagingFactory* factory, const Pixels& sketch);

}  // namespace hm
