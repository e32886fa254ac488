// Save, load and forget the remembered device (worker thread).
#pragma once

#include <string>

namespace hm {

// The credential, or empty for a missing, unreadable, empty, oversized (over 8192 bytes, not
// decrypted), foreign (other user or ApiUrl) or damaged file. Never throws.
std::string LoadRememberedDevice(const std::wstring& path, const std::wstring& apiUrl);

// Throws std::runtime_error "invalid device credential", "device protection failed" or
// "device storage failed". Writes path + ".tmp", then moves it over path (replace,
// write-through); an invalid credential leaves any existing file untouched.
void SaveRememberedDevice(const std::wstring& path, const std::wstring& apiUrl, const std::string& credential);

// Deletes the file; a missing file is no error.
void ForgetRememberedDevice(const std::wstring& path);

}  // namespace hm
