// Reads of game and SA-MP memory. Every read goes through a MemoryReader so that a bad pointer
// from another module can never fault the game, and so tests can give a fake address space.
// Addresses are the game's 32-bit addresses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

namespace hm {

using GameAddress = std::uint32_t;

// Raw access: true only when all `size` bytes were transferred.
class MemoryReader {
public:
    virtual ~MemoryReader() = default;
    virtual bool ReadRaw(GameAddress address, void* out, std::size_t size) const = 0;
};

// The guard: addresses at or below 0x10000 are refused without reading; a read counts only
// when the full byte count arrived. Sizes up to 16 bytes (pointers, values, byte patterns).
constexpr GameAddress kLowestReadableAddress = 0x10000;
constexpr std::size_t kMaxGuardedRead = 16;

bool GuardedRead(const MemoryReader& memory, GameAddress address, void* out, std::size_t size);
bool GuardedRead32(const MemoryReader& memory, GameAddress address, std::uint32_t& value);
// True when the bytes at `address` equal `expected` (at most 16 bytes).
bool GuardedEquals(const MemoryReader& memory, GameAddress address, const std::uint8_t* expected, std::size_t size);

// A sparse address space of byte regions for tests and fuzzing.
class FakeAddressSpace : public MemoryReader {
public:
    void Put(GameAddress address, const std::vector<std::uint8_t>& bytes);
    void Put32(GameAddress address, std::uint32_t value);
    void Remove(GameAddress address, std::size_t size);  // makes bytes unreadable again
    bool ReadRaw(GameAddress address, void* out, std::size_t size) const override;

private:
    std::map<GameAddress, std::uint8_t> bytes_;
};

}  // namespace hm
