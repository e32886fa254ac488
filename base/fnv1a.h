// FNV-1a, 32-bit: the plugin's cheap content hash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace hm {

constexpr std::uint32_t kFnv1aOffset = 0x811C9DC5u;
constexpr std::uint32_t kFnv1aPrime = 16777619u;

// Pass a previous result as seed to hash data in pieces.
constexpr std::uint32_t Fnv1a32(std::string_view bytes, std::uint32_t seed = kFnv1aOffset) {
    std::uint32_t h = seed;
    for (char c : bytes) {
        h ^= static_cast<unsigned char>(c);
        h *= kFnv1aPrime;
    }
    return h;
}

inline std::uint32_t Fnv1a32Bytes(const void* data, std::size_t size, std::uint32_t seed = kFnv1aOffset) {
    return Fnv1a32(std::string_view(static_cast<const char*>(data), size), seed);
}

}  // namespace hm
