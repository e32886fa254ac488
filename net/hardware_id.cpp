#include "net/hardware_id.h"

#include <cstdlib>

namespace hm {

std::string HardwareIdDomain() { return std::string("Hollowmarsh-RP hardware v1", 26) + '\0'; }

std::optional<SystemUuid> FindSystemUuid(const std::uint8_t* table, std::size_t size) {
    if (!table || size < kSmbiosHeaderBytes) return std::nullopt;
    std::size_t at = kSmbiosHeaderBytes;
    while (at < size) {
        if (size - at < 4) return std::nullopt;  // not even a structure header left
        const std::uint8_t type = table[at];
        const std::size_t formatted = table[at + 1];
        if (formatted < 4 || formatted > size - at) return std::nullopt;
        if (type == 1 && formatted >= 24) {
            SystemUuid uuid;
            bool allZero = true, allOnes = true;
            for (std::size_t i = 0; i < uuid.size(); ++i) {
                uuid[i] = table[at + 8 + i];
                allZero = allZero && uuid[i] == 0x00;
                allOnes = allOnes && uuid[i] == 0xFF;
            }
            if (allZero || allOnes) return std::nullopt;
            return uuid;
        }
        // Past the formatted area, then past the strings up to and including the double zero.
        std::size_t p = at + formatted;
        for (;;) {
            if (size - p < 2) return std::nullopt;
            if (table[p] == 0 && table[p + 1] == 0) break;
            ++p;
        }
        at = p + 2;
    }
    return std::nullopt;
}

std::string HardwareIdMessage(const SystemUuid& uuid) {
    std::string message = HardwareIdDomain();
    message.append(reinterpret_cast<const char*>(uuid.data()), uuid.size());
    return message;
}

std::string LowerHex(const std::uint8_t* bytes, std::size_t size) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex(size * 2, '0');
    for (std::size_t i = 0; i < size; ++i) {
        hex[2 * i] = kDigits[bytes[i] >> 4];
        hex[2 * i + 1] = kDigits[bytes[i] & 0x0F];
    }
    return hex;
}

int FuzzSmbiosWalk(const std::uint8_t* data, std::size_t size) {
    const auto uuid = FindSystemUuid(data, size);
    if (uuid) {
        bool allZero = true, allOnes = true;
        for (std::uint8_t b : *uuid) {
            allZero = allZero && b == 0;
            allOnes = allOnes && b == 0xFF;
        }
        if (allZero || allOnes) std::abort();
    }
    return 0;
}

}  // namespace hm
