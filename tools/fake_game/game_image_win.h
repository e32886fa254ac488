// The fake game's stand-in for the real game's fixed addresses: a range of its own image that
// starts at 0x500000 and ends at 0xD00000 (image base 0x400000), zero-filled, writable and
// executable, where the game's routines (with the byte patterns the plugin checks) and the
// memory the plugin reads can be placed at their real addresses.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace hm::fakegame {

constexpr std::uintptr_t kImageBase = 0x400000;
constexpr std::uintptr_t kGameRegionBegin = 0x500000;
constexpr std::uintptr_t kGameRegionEnd = 0xD00000;

bool InGameRegion(std::uintptr_t address, std::size_t size);

// A game variable at its fixed address. The address must lie in the game region.
template <class T>
T& GameVariable(std::uintptr_t address) {
    return *reinterpret_cast<T*>(address);
}

// printf into a string (answers of the control protocol), at most 2047 characters.
std::string Format(const char* fmt, ...);

// Places code bytes at a fixed address and makes them executable; false outside the region.
bool WriteGameCode(std::uintptr_t address, const void* bytes, std::size_t size);

}  // namespace hm::fakegame
