#include "net/device_store_win.h"

#include <windows.h>
#include <wincrypt.h>

#include <stdexcept>

#include "base/owners_win.h"
#include "net/device_store.h"

namespace hm {

namespace {

DATA_BLOB Blob(const std::string& bytes) {
    DATA_BLOB blob;
    blob.cbData = DWORD(bytes.size());
    blob.pbData = reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data()));
    return blob;
}

// Creates every missing folder of `path`'s parent.
bool CreateParentFolders(const std::wstring& path) {
    const auto slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos || slash == 0) return true;
    const std::wstring folder = path.substr(0, slash);
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (folder.size() == 2 && folder[1] == L':') return true;  // drive root
    if (!CreateParentFolders(folder)) return false;
    return CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

}  // namespace

std::string LoadRememberedDevice(const std::wstring& path, const std::wstring& apiUrl) {
    try {
        UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return {};
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 ||
            !IsDeviceBlobSize(std::size_t(size.QuadPart)) || size.QuadPart > LONGLONG(kMaxDeviceFileBytes))
            return {};
        std::string blob(std::size_t(size.QuadPart), '\0');
        DWORD got = 0;
        if (!ReadFile(file.get(), blob.data(), DWORD(blob.size()), &got, nullptr) || got != blob.size()) return {};
        // Grown since the size check: read as damaged rather than decrypt a moving target.
        char extra = 0;
        DWORD more = 0;
        if (ReadFile(file.get(), &extra, 1, &more, nullptr) && more != 0) return {};
        file.reset();

        const std::string entropyBytes = DeviceEntropy(apiUrl);
        DATA_BLOB in = Blob(blob), entropy = Blob(entropyBytes), out{};
        if (!CryptUnprotectData(&in, nullptr, entropyBytes.empty() ? nullptr : &entropy, nullptr, nullptr,
                                CRYPTPROTECT_UI_FORBIDDEN, &out))
            return {};
        UniqueLocal decrypted(out.pbData);
        // The plain credential is wiped before its buffer goes back, on every way out.
        auto wipe = OnScopeExit([&out] { SecureZeroMemory(out.pbData, out.cbData); });
        std::string plain(reinterpret_cast<const char*>(out.pbData), out.cbData);
        if (!IsDeviceCredential(plain)) {
            SecureZeroMemory(plain.data(), plain.size());
            return {};
        }
        return plain;
    } catch (...) {
        return {};
    }
}

void SaveRememberedDevice(const std::wstring& path, const std::wstring& apiUrl, const std::string& credential) {
    if (!IsDeviceCredential(credential)) throw std::runtime_error("invalid device credential");

    const std::string entropyBytes = DeviceEntropy(apiUrl);
    DATA_BLOB in = Blob(credential), entropy = Blob(entropyBytes), out{};
    if (!CryptProtectData(&in, kDeviceDescription, entropyBytes.empty() ? nullptr : &entropy, nullptr, nullptr,
                          CRYPTPROTECT_UI_FORBIDDEN, &out))
        throw std::runtime_error("device protection failed");
    UniqueLocal protectedBlob(out.pbData);
    const std::string blob(reinterpret_cast<const char*>(out.pbData), out.cbData);

    if (!CreateParentFolders(path)) throw std::runtime_error("device storage failed");
    const std::wstring temp = path + L".tmp";
    {
        UniqueFile file(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                    nullptr));
        if (!file) throw std::runtime_error("device storage failed");
        DWORD written = 0;
        if (!WriteFile(file.get(), blob.data(), DWORD(blob.size()), &written, nullptr) || written != blob.size()) {
            file.reset();
            DeleteFileW(temp.c_str());
            throw std::runtime_error("device storage failed");
        }
    }
    if (!MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(temp.c_str());
        throw std::runtime_error("device storage failed");
    }
}

void ForgetRememberedDevice(const std::wstring& path) { DeleteFileW(path.c_str()); }

}  // namespace hm
