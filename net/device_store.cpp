#include "net/device_store.h"

#include <cstdint>

namespace hm {

bool IsDeviceCredential(std::string_view text) {
    if (text.size() != kDeviceCredentialChars) return false;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

bool IsDeviceBlobSize(std::size_t bytes) { return bytes >= 1 && bytes <= kMaxDeviceFileBytes; }

std::string DeviceEntropy(std::wstring_view apiUrl) {
    std::string bytes;
    bytes.reserve(apiUrl.size() * 2);
    for (wchar_t c : apiUrl) {
        const auto unit = static_cast<std::uint32_t>(c) & 0xFFFFu;
        bytes += char(unit & 0xFF);
        bytes += char(unit >> 8);
    }
    return bytes;
}

}  // namespace hm
