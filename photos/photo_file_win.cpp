#include "photos/photo_file_win.h"

#include <windows.h>

#include <stdexcept>

#include "base/owners_win.h"
#include "photos/photo_rules.h"

namespace hm {
namespace {

bool IsFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void WriteWhole(const PhotoFileCalls& calls, const std::wstring& path, const std::string& bytes) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) throw std::runtime_error("create");
    DWORD written = 0;
    if (!calls.write(file.get(), bytes.data(), DWORD(bytes.size()), &written, nullptr) || written != bytes.size())
        throw std::runtime_error("write");
    if (!calls.flush(file.get())) throw std::runtime_error("flush");
}

// Returns false when `name` is taken.
bool CreatePhotoFile(const PhotoFileCalls& calls, const std::wstring& folder, const std::wstring& name,
                     const std::string& bytes) {
    const std::wstring final_path = folder + L"\\" + name;
    if (GetFileAttributesW(final_path.c_str()) != INVALID_FILE_ATTRIBUTES) return false;
    const std::wstring part = final_path + L".part";
    auto remove_part = OnScopeExit([&] { DeleteFileW(part.c_str()); });
    WriteWhole(calls, part, bytes);
    if (calls.move(part.c_str(), final_path.c_str(), MOVEFILE_WRITE_THROUGH)) {
        remove_part.dismiss();
        return true;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) return false;
    throw std::runtime_error("move");
}

}  // namespace

void CreateFolderLevels(const std::wstring& folder) {
    // Skip the root: a drive ("C:\") or a share ("\\server\share\").
    std::size_t from = 0;
    if (folder.compare(0, 2, L"\\\\") == 0) {
        from = folder.find(L'\\', 2);
        from = from == std::wstring::npos ? folder.size() : folder.find(L'\\', from + 1);
    } else if (folder.size() >= 2 && folder[1] == L':') {
        from = 2;
    }
    while (from != std::wstring::npos && from < folder.size()) {
        const std::size_t end = folder.find(L'\\', from + 1);
        const std::wstring level = folder.substr(0, end);
        if (!level.empty() && level.back() != L'\\' && !IsFolder(level)) {
            if (!CreateDirectoryW(level.c_str(), nullptr) && !IsFolder(level))
                throw std::runtime_error("cannot make photos folder");
        }
        from = end;
    }
}

std::wstring WritePhotoFile(const std::wstring& folder, Tick tick, int shot, const std::string& jpeg) {
    return WritePhotoFileThrough(PhotoFileCalls(), folder, tick, shot, jpeg);
}

std::wstring WritePhotoFileThrough(const PhotoFileCalls& calls, const std::wstring& folder, Tick tick, int shot,
                                   const std::string& jpeg) {
    try {
        CreateFolderLevels(folder);
    } catch (const std::exception&) {
        throw std::runtime_error("local photo write failed");
    }
    const std::wstring name = StorePhoto(
        [&](const std::wstring& n, const std::string& bytes) { return CreatePhotoFile(calls, folder, n, bytes); }, tick,
        shot, jpeg);
    return folder + L"\\" + name;
}

}  // namespace hm
