// The two JPEG pictures the plugin carries for its screens (drawn by tools/gen/embedded_pictures.py,
// compiled in from ui/pictures/*.jpg). Picture 0: evening landscape; picture 1: city skyline.
#pragma once

#include <cstddef>
#include <cstdint>

namespace hm {

constexpr int kEmbeddedPictureCount = 2;

struct ByteView {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
};

// The JPEG bytes of picture `index`; empty for an index other than 0 or 1.
ByteView EmbeddedPictureBytes(int index);

// Width and height from a baseline or progressive JPEG's frame header; false when the bytes do
// not hold one before the end.
bool ReadJpegSize(ByteView jpeg, int& width, int& height);

}  // namespace hm
