// The Windows side of the web API client under Wine: WinHttpCrackUrl with the URL policy,
// CryptoAPI SHA-256, the fingerprint and the DPAPI-protected remembered device.
#include <windows.h>
#include <wincrypt.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>

#include "net/device_store.h"
#include "net/device_store_win.h"
#include "net/hardware_id.h"
#include "net/hardware_id_win.h"
#include "net/sha256_win.h"
#include "net/url_policy_win.h"

namespace hm {
namespace {

std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

// ---- ApiClient from URL text ---------------------------------------------------------------

TEST(MakeApiClient, CrackedUrlsThroughThePolicy) {
    struct Case {
        const wchar_t* url;
        bool local;
        const char* error;  // nullptr: accepted
        const wchar_t* host;
        int port;
        const wchar_t* base;
        bool secure;
    } cases[] = {
        {L"https://api.example/HM/MEDIA-PLUGIN/api", false, nullptr, L"api.example", 443, L"/HM/MEDIA-PLUGIN/api", true},
        {L"https://api.example/HM/MEDIA-PLUGIN/api//", false, nullptr, L"api.example", 443, L"/HM/MEDIA-PLUGIN/api", true},
        {L"https://api.example:8443/", false, nullptr, L"api.example", 8443, L"", true},
        {L"https://api.example", false, nullptr, L"api.example", 443, L"", true},
        {L"http://127.0.0.1:5000/HM/MEDIA-PLUGIN/test-api/", true, nullptr, L"127.0.0.1", 5000, L"/HM/MEDIA-PLUGIN/test-api", false},
        {L"http://127.0.0.1/x", true, nullptr, L"127.0.0.1", 80, L"/x", false},
        {L"http://127.0.0.1:5000/x", false, "HTTPS required", nullptr, 0, nullptr, false},
        {L"http://localhost:5000/x", true, "HTTPS required", nullptr, 0, nullptr, false},
        {L"http://127.1:5000/x", true, "HTTPS required", nullptr, 0, nullptr, false},
        {L"http://api.example/x", true, "HTTPS required", nullptr, 0, nullptr, false},
        {L"https://user:pw@api.example/x", false, "URL credentials/query forbidden", nullptr, 0, nullptr, false},
        {L"https://user@api.example/x", false, "URL credentials/query forbidden", nullptr, 0, nullptr, false},
        {L"https://api.example/x?a=1", false, "URL credentials/query forbidden", nullptr, 0, nullptr, false},
        {L"https://api.example/x#top", false, "URL credentials/query forbidden", nullptr, 0, nullptr, false},
        {L"http://u:p@api.example/x", false, "URL credentials/query forbidden", nullptr, 0, nullptr, false},
        {L"", false, "invalid API URL", nullptr, 0, nullptr, false},
        {L"api.example/x", false, "invalid API URL", nullptr, 0, nullptr, false},
        {L"not a url", false, "invalid API URL", nullptr, 0, nullptr, false},
        {L"ftp://api.example/x", true, "invalid API URL", nullptr, 0, nullptr, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.url));
        try {
            const ApiClient client = MakeApiClient(c.url, c.local);
            ASSERT_EQ(c.error, nullptr) << "accepted";
            EXPECT_EQ(client.host, c.host);
            EXPECT_EQ(client.port, c.port);
            EXPECT_EQ(client.base_path, c.base);
            EXPECT_EQ(client.secure, c.secure);
        } catch (const std::runtime_error& e) {
            ASSERT_NE(c.error, nullptr) << e.what();
            EXPECT_STREQ(e.what(), c.error);
        }
    }
}

// ---- SHA-256 and the fingerprint -----------------------------------------------------------

TEST(Sha256, PublishedVectorsInPieces) {
    EXPECT_EQ(Sha256().FinishHex(), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    Sha256 abc;
    abc.Add("a", 1);
    abc.Add(std::string("bc"));
    EXPECT_EQ(abc.FinishHex(), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    Sha256 million;
    const std::string chunk(1000, 'a');
    for (int i = 0; i < 1000; ++i) million.Add(chunk);
    EXPECT_EQ(million.FinishHex(), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

std::string TableWithUuid(const std::uint8_t* uuid) {
    std::string t(8, '\0');
    // A BIOS structure with two strings, then System Information (formatted length 27).
    t += std::string("\x00\x08\x00\x00\x01\x02\x00\x00", 8) + std::string("Vendor\0" "1.0\0\0", 12);
    std::string sys("\x01\x1B\x01\x00\x01\x00\x00\x00", 8);
    sys.append(reinterpret_cast<const char*>(uuid), 16);
    sys += std::string(3, '\0');
    t += sys + std::string("Maker\0\0", 7);
    t += std::string("\x7F\x04\x02\x00\x00\x00", 6);
    return t;
}

TEST(HardwareId, HashOfDomainAndUuidAsStored) {
    std::uint8_t uuid[16];
    for (int i = 0; i < 16; ++i) uuid[i] = std::uint8_t(0x10 + i);
    EXPECT_EQ(HardwareIdFromTable(TableWithUuid(uuid)), "0af11df5ee06bb15e6601f4924f71a448f0e2f0a9cf997e23b224a825a58cae3");
    uuid[15] = 0x20;  // one byte changed: another fingerprint
    EXPECT_EQ(HardwareIdFromTable(TableWithUuid(uuid)), "06449aef3c4a4f7890a83a0f561140f49dc2805c4707c19f6ce1c5aa01d94392");
    std::uint8_t ones[16];
    memset(ones, 0xFF, sizeof ones);
    EXPECT_EQ(HardwareIdFromTable(TableWithUuid(ones)), "");
    std::uint8_t zeros[16] = {};
    EXPECT_EQ(HardwareIdFromTable(TableWithUuid(zeros)), "");
}

TEST(HardwareId, ThisMachineIsStableAndWellFormed) {
    const std::string first = HardwareId();
    EXPECT_EQ(&HardwareId(), &HardwareId());  // computed once, kept
    EXPECT_EQ(ComputeHardwareId(), first);
    if (!first.empty()) {
        ASSERT_EQ(first.size(), 64u);
        for (char c : first) EXPECT_TRUE((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')) << first;
    }
    std::printf("[ info ] this machine's HardwareId: '%s'\n", first.c_str());
}

// ---- Remembered device ---------------------------------------------------------------------

class DeviceStore : public ::testing::Test {
protected:
    std::wstring root;
    std::wstring path;
    const std::wstring url = L"http://127.0.0.1:5000/HM/MEDIA-PLUGIN/test-api";
    const std::string cred = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";

    void SetUp() override {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        root = std::wstring(temp) + L"hm_device_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
               std::to_wstring(GetTickCount64());
        path = root + L"\\Hollowmarsh\\HMMedia\\device.bin";  // folders do not exist yet
    }
    void TearDown() override {
        DeleteFileW(path.c_str());
        DeleteFileW((path + L".tmp").c_str());
        RemoveDirectoryW((root + L"\\Hollowmarsh\\HMMedia").c_str());
        RemoveDirectoryW((root + L"\\Hollowmarsh").c_str());
        DeleteFileW((root + L"\\file").c_str());
        RemoveDirectoryW(root.c_str());
    }
    std::string ReadAll(const std::wstring& p) {
        std::ifstream in(p.c_str(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    void WriteAll(const std::wstring& p, const std::string& bytes) {
        std::ofstream out(p.c_str(), std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), std::streamsize(bytes.size()));
    }
    std::string SaveError(const std::wstring& p, const std::string& credential) {
        try {
            SaveRememberedDevice(p, url, credential);
            return "";
        } catch (const std::runtime_error& e) {
            return e.what();
        }
    }
};

TEST_F(DeviceStore, SavedDeviceLoadsBackOnlyUnderTheSameApiUrl) {
    ASSERT_EQ(SaveError(path, cred), "");
    EXPECT_EQ(GetFileAttributesW((path + L".tmp").c_str()), INVALID_FILE_ATTRIBUTES);  // moved, not copied
    const std::string blob = ReadAll(path);
    EXPECT_TRUE(IsDeviceBlobSize(blob.size()));
    EXPECT_EQ(blob.find(cred), std::string::npos);  // not stored in the clear
    EXPECT_EQ(LoadRememberedDevice(path, url), cred);
    EXPECT_EQ(LoadRememberedDevice(path, url + L"/"), "");
    EXPECT_EQ(LoadRememberedDevice(path, L"https://api.example/HM/MEDIA-PLUGIN/api"), "");
    EXPECT_EQ(LoadRememberedDevice(path, L""), "");
    // The description names the plugin.
    DATA_BLOB in{DWORD(blob.size()), reinterpret_cast<BYTE*>(const_cast<char*>(blob.data()))}, out{};
    const std::string entropy = DeviceEntropy(url);
    DATA_BLOB ent{DWORD(entropy.size()), reinterpret_cast<BYTE*>(const_cast<char*>(entropy.data()))};
    LPWSTR description = nullptr;
    ASSERT_TRUE(CryptUnprotectData(&in, &description, &ent, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out));
    EXPECT_STREQ(description, L"HM_Plugin remembered device");
    LocalFree(description);
    LocalFree(out.pbData);
}

TEST_F(DeviceStore, SaveReplacesAnOldDeviceAndALeftoverTemporaryFile) {
    ASSERT_EQ(SaveError(path, cred), "");
    WriteAll(path + L".tmp", "leftover of an interrupted save");
    const std::string second(64, 'e');
    ASSERT_EQ(SaveError(path, second), "");
    EXPECT_EQ(LoadRememberedDevice(path, url), second);
    EXPECT_EQ(GetFileAttributesW((path + L".tmp").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(DeviceStore, InvalidCredentialIsRefusedAndTheFileStaysUntouched) {
    ASSERT_EQ(SaveError(path, cred), "");
    const std::string before = ReadAll(path);
    std::string upper = cred;
    upper[0] = 'A';
    for (const std::string& bad : {upper, cred.substr(0, 63), cred + "0", std::string(), std::string(64, 'g')}) {
        EXPECT_EQ(SaveError(path, bad), "invalid device credential") << bad;
        EXPECT_EQ(ReadAll(path), before);
        EXPECT_EQ(GetFileAttributesW((path + L".tmp").c_str()), INVALID_FILE_ATTRIBUTES);
    }
    EXPECT_EQ(LoadRememberedDevice(path, url), cred);
}

TEST_F(DeviceStore, UnwritableFolderIsAStorageFailure) {
    ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
    WriteAll(root + L"\\file", "x");  // a file where the folder should be
    EXPECT_EQ(SaveError(root + L"\\file\\device.bin", cred), "device storage failed");
}

TEST_F(DeviceStore, DamagedOrForeignFilesLoadAsNothing) {
    ASSERT_EQ(SaveError(path, cred), "");
    const std::string good = ReadAll(path);
    std::mt19937 rng(3);
    std::string random(300, '\0');
    for (char& c : random) c = char(rng());
    std::string flipped = good;
    flipped[flipped.size() / 2] = char(flipped[flipped.size() / 2] ^ 0x40);
    std::string oversized = good + std::string(8193 - good.size(), '\0');
    struct Case {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"truncated", good.substr(0, good.size() - 10)},
        {"half", good.substr(0, good.size() / 2)},
        {"random", random},
        {"one byte flipped", flipped},
        {"8193 bytes", oversized},
        {"plain credential", cred},
    };
    for (const Case& c : cases) {
        WriteAll(path, c.bytes);
        EXPECT_EQ(LoadRememberedDevice(path, url), "") << c.name;
    }
    // A protected text that is not a credential.
    for (const std::string& plain : {std::string(64, 'A'), std::string(63, 'a'), std::string(65, 'a')}) {
        const std::string entropy = DeviceEntropy(url);
        DATA_BLOB in{DWORD(plain.size()), reinterpret_cast<BYTE*>(const_cast<char*>(plain.data()))}, out{};
        DATA_BLOB ent{DWORD(entropy.size()), reinterpret_cast<BYTE*>(const_cast<char*>(entropy.data()))};
        ASSERT_TRUE(CryptProtectData(&in, L"x", &ent, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out));
        WriteAll(path, std::string(reinterpret_cast<char*>(out.pbData), out.cbData));
        LocalFree(out.pbData);
        EXPECT_EQ(LoadRememberedDevice(path, url), "") << plain.size();
    }
    EXPECT_EQ(LoadRememberedDevice(root + L"\\missing\\device.bin", url), "");
}

TEST_F(DeviceStore, ForgetDeletesAndAMissingFileIsNoError) {
    ASSERT_EQ(SaveError(path, cred), "");
    ForgetRememberedDevice(path);
    EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(LoadRememberedDevice(path, url), "");
    ForgetRememberedDevice(path);
    ForgetRememberedDevice(root + L"\\never\\device.bin");
}

}  // namespace
}  // namespace hm
