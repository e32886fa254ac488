// The remembered device: a DeviceCredential kept in device.bin as a DPAPI blob bound to the
// Windows user and the configured ApiUrl. Format rules here; the file and DPAPI work in
// device_store_win.h.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace hm {

constexpr std::size_t kDeviceCredentialChars = 64;
constexpr std::size_t kMaxDeviceFileBytes = 8192;
constexpr const wchar_t* kDeviceDescription = L"HM_Plugin remembered device";

// Exactly 64 characters, each 0-9 or a-f.
bool IsDeviceCredential(std::string_view text);

// A device.bin of this size is worth decrypting (1..8192 bytes).
bool IsDeviceBlobSize(std::size_t bytes);

// The protection's entropy: the ApiUrl as UTF-16LE bytes without terminator.
std::string DeviceEntropy(std::wstring_view apiUrl);

}  // namespace hm
