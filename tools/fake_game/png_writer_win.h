// PNG files through the Windows Imaging Component.
#pragma once

#include <cstdint>
#include <string>

namespace hm::fakegame {

// Writes width x height pixels (0xAARRGGBB, rows top-down) as a 24-bit PNG; "" on success,
// otherwise what failed. The caller has initialised COM.
std::string WritePng(const std::wstring& path, const std::uint32_t* pixels, int width, int height);

}  // namespace hm::fakegame
