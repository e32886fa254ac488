// The photos folder writer under Wine: folders made level by level, the exact name, no replaced
// file, and no stray file when the write fails.
#include "photos/photo_file_win.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <stdexcept>
#include <vector>

namespace hm {
namespace {

std::wstring TempRoot() {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    std::wstring root = std::wstring(base) + L"hm_photos_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                        std::to_wstring(GetTickCount64());
    CreateDirectoryW(root.c_str(), nullptr);
    return root;
}

std::string Read(const std::wstring& path) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return "<missing>";
    std::string bytes(GetFileSize(f, nullptr), '\0');
    DWORD got = 0;
    ReadFile(f, bytes.data(), DWORD(bytes.size()), &got, nullptr);
    CloseHandle(f);
    return bytes;
}

void Write(const std::wstring& path, const std::string& bytes) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    DWORD put = 0;
    WriteFile(f, bytes.data(), DWORD(bytes.size()), &put, nullptr);
    CloseHandle(f);
}

std::vector<std::wstring> Names(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        const std::wstring n = found.cFileName;
        if (n != L"." && n != L"..") names.push_back(n);
    } while (FindNextFileW(h, &found));
    FindClose(h);
    return names;
}

std::string ErrorOf(const std::wstring& folder, Tick tick, int shot) {
    try {
        WritePhotoFile(folder, tick, shot, "JPEG");
        return "";
    } catch (const std::exception& e) {
        return e.what();
    }
}

TEST(PhotoFile, MakesTheFolderLevelByLevelAndWritesTheExactName) {
    const std::wstring root = TempRoot();
    const std::wstring folder = root + L"\\Hollowmarsh\\HMMedia\\Photos";
    const std::string jpeg("\xFF\xD8 photo \0 bytes \xFF\xD9", 19);
    const std::wstring path = WritePhotoFile(folder, 18446744073709551615ull, 2147483647, jpeg);
    EXPECT_EQ(path, folder + L"\\18446744073709551615-2147483647.jpg");
    EXPECT_EQ(Read(path), jpeg);
    EXPECT_EQ(Names(folder), std::vector<std::wstring>{L"18446744073709551615-2147483647.jpg"}) << "no .part left";
}

TEST(PhotoFile, AnOlderPhotoOfTheSameNameStaysAndTheNextTickIsUsed) {
    const std::wstring folder = TempRoot();
    Write(folder + L"\\500-3.jpg", "older");
    Write(folder + L"\\501-3.jpg", "older too");
    EXPECT_EQ(WritePhotoFile(folder, 500, 3, "new"), folder + L"\\502-3.jpg");
    EXPECT_EQ(Read(folder + L"\\500-3.jpg"), "older");
    EXPECT_EQ(Read(folder + L"\\501-3.jpg"), "older too");
    EXPECT_EQ(Read(folder + L"\\502-3.jpg"), "new");
}

TEST(PhotoFile, UnwritableFolderFailsWithoutLeavingAFile) {
    const std::wstring root = TempRoot();
    // A file where a folder level should be.
    Write(root + L"\\Hollowmarsh", "not a folder");
    EXPECT_EQ(ErrorOf(root + L"\\Hollowmarsh\\Photos", 1, 1), "local photo write failed");
    EXPECT_EQ(Read(root + L"\\Hollowmarsh"), "not a folder");
    // The photos folder itself is a file.
    Write(root + L"\\Photos", "x");
    EXPECT_EQ(ErrorOf(root + L"\\Photos", 1, 1), "local photo write failed");
    // The temporary name cannot be created: the write fails and nothing is left behind.
    const std::wstring folder = root + L"\\Blocked";
    CreateDirectoryW(folder.c_str(), nullptr);
    CreateDirectoryW((folder + L"\\7-2.jpg.part").c_str(), nullptr);
    EXPECT_EQ(ErrorOf(folder, 7, 2), "local photo write failed");
    EXPECT_EQ(Names(folder), std::vector<std::wstring>{L"7-2.jpg.part"});
}

// Writes half the bytes, then reports a full disk.
BOOL WINAPI HalfWriteThenFail(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED) {
    WriteFile(file, data, size / 2, written, nullptr);
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
}
BOOL WINAPI FailFlush(HANDLE) {
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
}
BOOL WINAPI FailMove(LPCWSTR, LPCWSTR, DWORD) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}

TEST(PhotoFile, AWriteThatFailsPartWayLeavesNoTruncatedPhoto) {
    PhotoFileCalls half, flush, move;
    half.write = &HalfWriteThenFail;
    flush.flush = &FailFlush;
    move.move = &FailMove;
    for (const PhotoFileCalls* calls : {&half, &flush, &move}) {
        const std::wstring folder = TempRoot() + L"\\Photos";
        try {
            WritePhotoFileThrough(*calls, folder, 9, 1, std::string(4096, 'j'));
            ADD_FAILURE() << "no throw";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "local photo write failed");
        }
        EXPECT_TRUE(Names(folder).empty()) << "neither a .jpg nor its .part stays";
    }
}

}  // namespace
}  // namespace hm
