// PNG files of Pixels, for looking at what the UI draws (test output, screenshots). Stored
// (uncompressed) deflate blocks: simple and exact, not small.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/pixels.h"

namespace hm {

// RGBA, 8 bits a channel; alpha as in the picture.
std::vector<std::uint8_t> EncodePng(const Pixels& picture);

// Writes EncodePng's bytes to `path`; throws std::runtime_error("cannot write PNG file").
void WritePngFile(const std::string& path, const Pixels& picture);

}  // namespace hm
