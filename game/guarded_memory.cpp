#include "game/guarded_memory.h"

#include <cstring>

namespace hm {

bool GuardedRead(const MemoryReader& memory, GameAddress address, void* out, std::size_t size) {
    if (address <= kLowestReadableAddress || size == 0 || size > kMaxGuardedRead) return false;
    if (std::uint64_t(address) + size > 0x100000000ull) return false;
    return memory.ReadRaw(address, out, size);
}

bool GuardedRead32(const MemoryReader& memory, GameAddress address, std::uint32_t& value) {
    std::uint8_t b[4];
    if (!GuardedRead(memory, address, b, 4)) return false;
    value = std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 | std::uint32_t(b[2]) << 16 | std::uint32_t(b[3]) << 24;
    return true;
}

bool GuardedEquals(const MemoryReader& memory, GameAddress address, const std::uint8_t* expected, std::size_t size) {
    std::uint8_t actual[kMaxGuardedRead];
    return GuardedRead(memory, address, actual, size) && std::memcmp(actual, expected, size) == 0;
}

void FakeAddressSpace::Put(GameAddress address, const std::vector<std::uint8_t>& bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes_[GameAddress(address + i)] = bytes[i];
}

void FakeAddressSpace::Put32(GameAddress address, std::uint32_t value) {
    Put(address, {std::uint8_t(value), std::uint8_t(value >> 8), std::uint8_t(value >> 16), std::uint8_t(value >> 24)});
}

void FakeAddressSpace::Remove(GameAddress address, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) bytes_.erase(GameAddress(address + i));
}

bool FakeAddressSpace::ReadRaw(GameAddress address, void* out, std::size_t size) const {
    auto* dst = static_cast<std::uint8_t*>(out);
    for (std::size_t i = 0; i < size; ++i) {
        const auto it = bytes_.find(GameAddress(address + i));
        if (it == bytes_.end()) return false;
        dst[i] = it->second;
    }
    return true;
}

}  // namespace hm
