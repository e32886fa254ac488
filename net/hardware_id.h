// HardwareId: the computer's fingerprint from the SMBIOS system UUID. The walk over the raw
// SMBIOS table is portable; reading the table and hashing are in hardware_id_win.h.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace hm {

constexpr std::size_t kSmbiosMinTableBytes = 8;
constexpr std::size_t kSmbiosMaxTableBytes = 1048576;
constexpr std::size_t kSmbiosHeaderBytes = 8;  // raw-SMBIOS header before the structures

// "Hollowmarsh-RP hardware v1" and one zero byte: 27 bytes hashed before the UUID.
std::string HardwareIdDomain();

using SystemUuid = std::array<std::uint8_t, 16>;

// Walks the raw table (header included) to the first type-1 structure with a formatted length
// of at least 24 and returns its UUID as stored. Nothing when a structure is shorter than 4 or
// runs past the end first, when there is no such structure, or when the UUID is all 0x00 or
// all 0xFF. Never reads outside [table, table + size).
std::optional<SystemUuid> FindSystemUuid(const std::uint8_t* table, std::size_t size);

// The bytes the fingerprint hashes: the domain, then the UUID.
std::string HardwareIdMessage(const SystemUuid& uuid);

// Lowercase hex, high nibble first.
std::string LowerHex(const std::uint8_t* bytes, std::size_t size);

// libFuzzer-ready entry point for the walk.
int FuzzSmbiosWalk(const std::uint8_t* data, std::size_t size);

}  // namespace hm
