// HardwareId on Windows: the raw SMBIOS table from GetSystemFirmwareTable, hashed.
#pragma once

#include <string>

namespace hm {

// The cached fingerprint: computed once per process on first use (thread-safe), empty when
// the machine has no usable system UUID or anything failed.
const std::string& HardwareId();

// One uncached computation (the getter's work).
std::string ComputeHardwareId();

// SHA-256 of the domain and the UUID of `table`, or empty.
std::string HardwareIdFromTable(const std::string& table);

}  // namespace hm
