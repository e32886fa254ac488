// Pixels: the one picture type of the plugin (back-buffer reads, overlay frames, photos,
// decoded pictures, textures). 32-bit pixels B, G, R, A, tightly packed, top row first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace hm {

class Pixels {
public:
    // Zero-filled picture; throws std::runtime_error("picture too large") when
    // width * height * 4 does not fit in memory sizes of a 32-bit process.
    Pixels(std::uint32_t width, std::uint32_t height);

    std::uint32_t width() const { return width_; }
    std::uint32_t height() const { return height_; }
    std::size_t stride() const { return std::size_t(width_) * 4; }
    std::size_t size_bytes() const { return bytes_.size(); }
    bool empty() const { return bytes_.empty(); }

    std::uint8_t* data() { return bytes_.data(); }
    const std::uint8_t* data() const { return bytes_.data(); }
    std::uint8_t* row(std::uint32_t y) { return bytes_.data() + y * stride(); }
    const std::uint8_t* row(std::uint32_t y) const { return bytes_.data() + y * stride(); }

    // Pixel as 0xAARRGGBB (the little-endian reading of B, G, R, A).
    std::uint32_t at(std::uint32_t x, std::uint32_t y) const;
    void set(std::uint32_t x, std::uint32_t y, std::uint32_t argb);

    bool SameContent(const Pixels& other) const;

private:
    std::uint32_t width_;
    std::uint32_t height_;
    std::vector<std::uint8_t> bytes_;
};

// Pictures travel between threads through shared reference-counted pointers.
using PixelsRef = std::shared_ptr<Pixels>;

PixelsRef MakePixels(std::uint32_t width, std::uint32_t height);

}  // namespace hm
