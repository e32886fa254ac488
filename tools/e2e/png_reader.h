// Reads the PNG files the fake game writes (8-bit greyscale, RGB or RGBA, not interlaced), so
// that end-to-end tests can look at the pixels of a screenshot.
#pragma once

#include <string>

#include "base/pixels.h"

namespace hm::e2e {

// Throws std::runtime_error saying what is wrong with a file it cannot read.
Pixels DecodePng(const std::string& bytes);
Pixels ReadPngFile(const std::string& path);

}  // namespace hm::e2e
