#include "base/pixels.h"

#include <cstring>
#include <stdexcept>

namespace hm {

namespace {
// Largest picture we accept: 1 GiB of pixels stays addressable in a 32-bit process.
constexpr std::uint64_t kMaxPictureBytes = 1ull << 30;

std::size_t CheckedSize(std::uint32_t width, std::uint32_t height) {
    const std::uint64_t bytes = std::uint64_t(width) * height * 4;
    if (bytes > kMaxPictureBytes) throw std::runtime_error("picture too large");
    return std::size_t(bytes);
}
}  // namespace

Pixels::Pixels(std::uint32_t width, std::uint32_t height)
    : width_(width), height_(height), bytes_(CheckedSize(width, height)) {}

std::uint32_t Pixels::at(std::uint32_t x, std::uint32_t y) const {
    std::uint32_t v;
    std::memcpy(&v, row(y) + x * 4, 4);
    return v;
}

void Pixels::set(std::uint32_t x, std::uint32_t y, std::uint32_t argb) {
    std::memcpy(row(y) + x * 4, &argb, 4);
}

bool Pixels::SameContent(const Pixels& other) const {
    return width_ == other.width_ && height_ == other.height_ && bytes_ == other.bytes_;
}

PixelsRef MakePixels(std::uint32_t width, std::uint32_t height) {
    return std::make_shared<Pixels>(width, height);
}

}  // namespace hm
