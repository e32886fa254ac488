#include "net/hardware_id_win.h"

#include <windows.h>

#include "net/hardware_id.h"
#include "net/sha256_win.h"

namespace hm {

std::string HardwareIdFromTable(const std::string& table) {
    const auto uuid = FindSystemUuid(reinterpret_cast<const std::uint8_t*>(table.data()), table.size());
    if (!uuid) return {};
    try {
        Sha256 hash;
        hash.Add(HardwareIdMessage(*uuid));
        return hash.FinishHex();
    } catch (...) {
        return {};
    }
}

std::string ComputeHardwareId() {
    constexpr DWORD kRsmb = 0x52534D42;  // 'RSMB'
    const UINT size = GetSystemFirmwareTable(kRsmb, 0, nullptr, 0);
    if (size < kSmbiosMinTableBytes || size > kSmbiosMaxTableBytes) return {};
    std::string table(size, '\0');
    if (GetSystemFirmwareTable(kRsmb, 0, table.data(), size) != size) return {};
    return HardwareIdFromTable(table);
}

const std::string& HardwareId() {
    // Never destroyed, like every process-wide record.
    static const std::string& id = *new std::string(ComputeHardwareId());
    return id;
}

}  // namespace hm
