// TvFrameBlock: the shared memory between the plugin (32-bit) and the browser helper (64-bit).
// One layout for both programs; every field sits at the same offset in either, little-endian.
#pragma once

#include <cstddef>
#include <cstdint>

namespace hm {

constexpr std::uint32_t kTvBlockMagic = 0x484d5456;  // the bytes "VTMH"
constexpr std::uint32_t kTvBlockVersion = 1;
constexpr std::uint32_t kTvFrameWidth = 960;
constexpr std::uint32_t kTvFrameHeight = 540;
constexpr std::uint32_t kTvFrameRowBytes = kTvFrameWidth * 4;
constexpr std::size_t kTvFrameBytes = std::size_t{kTvFrameRowBytes} * kTvFrameHeight;
constexpr std::size_t kTvUrlChars = 2048;        // the field, NUL included
constexpr std::size_t kTvMaxUrlChars = 2047;     // what the plugin may write
constexpr std::size_t kTvBlockBytes = 2077728;

// Page status written by the helper.
constexpr std::uint32_t kTvStatusNone = 0;
constexpr std::uint32_t kTvStatusPlaying = 1;
constexpr std::uint32_t kTvStatusPaused = 2;
constexpr std::uint32_t kTvStatusErrorBase = 1000;

struct TvFrameBlock {
    std::uint32_t magic;
    std::uint32_t version;
    std::uint32_t close_request;   // nonzero: the helper closes the page and exits
    std::uint32_t frame_counter;   // helper: after every frame written
    std::uint64_t heartbeat;       // plugin: its monotonic tick
    char16_t url[kTvUrlChars];     // UTF-16LE, NUL-terminated
    std::uint8_t frame[kTvFrameBytes];  // B, G, R, A; top row first; no padding
    std::uint32_t status;
    std::uint32_t zero;
};

static_assert(offsetof(TvFrameBlock, magic) == 0);
static_assert(offsetof(TvFrameBlock, version) == 4);
static_assert(offsetof(TvFrameBlock, close_request) == 8);
static_assert(offsetof(TvFrameBlock, frame_counter) == 12);
static_assert(offsetof(TvFrameBlock, heartbeat) == 16);
static_assert(offsetof(TvFrameBlock, url) == 24);
static_assert(offsetof(TvFrameBlock, frame) == 4120);
static_assert(offsetof(TvFrameBlock, status) == 2077720);
static_assert(offsetof(TvFrameBlock, zero) == 2077724);
static_assert(sizeof(TvFrameBlock) == kTvBlockBytes);

// Names of one start: the mapping, and its frame mutex (mapping name + "-lock").
constexpr const wchar_t* kTvMappingPrefix = L"Local\\HMMedia-TV-";
constexpr std::size_t kTvMappingPrefixChars = 17;
constexpr const wchar_t* kTvMutexSuffix = L"-lock";

}  // namespace hm
