// HM_Plugin.ini through the profile API, the SA-MP registry name and the local folders, under
// Wine: the portable integer rule must read values exactly as GetPrivateProfileIntW does.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "core/config.h"
#include "core/config_win.h"
#include "core/identity_win.h"

namespace hm {
namespace {

std::wstring TempIni() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + L"hm_config_" + std::to_wstring(GetCurrentProcessId()) + L".ini";
}

void WriteIni(const std::wstring& path, const std::string& text) {
    std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
    out << text;
}

TEST(ProfileIniReader, IntegersMatchGetPrivateProfileIntW) {
    // Wine's profile API also reads "0x10" as 16; the plugin keeps to decimal digits only, so
    // prefixed values are left out of the comparison (the native table pins them).
    const char* values[] = {"1",     "0",   "80",         "12abc",       "abc",
                            " 42",   "+7",  "-5",         "- 5",         "4294967297",  "99999999999",
                            "2147483648", "\"5\"", "7 8", "\t9", "",   "00000000000000000000000000001",
                            "000000000000000000000000000001", "18446744073709551617"};
    const std::wstring path = TempIni();
    std::string text = "[HM_Plugin]\r\n";
    for (std::size_t i = 0; i < sizeof values / sizeof values[0]; ++i)
        text += "K" + std::to_string(i) + "=" + values[i] + "\r\n";
    WriteIni(path, text);
    const IniReader ini = ProfileIniReader(path);
    for (std::size_t i = 0; i < sizeof values / sizeof values[0]; ++i) {
        const std::wstring key = L"K" + std::to_wstring(i);
        for (int def : {0, 27017, -3}) {
            const int system = int(GetPrivateProfileIntW(L"HM_Plugin", key.c_str(), def, path.c_str()));
            EXPECT_EQ(ProfileInt(ini(key.c_str(), 29), def), system) << "value '" << values[i] << "' default " << def;
        }
    }
    EXPECT_EQ(ProfileInt(ini(L"Missing", 29), 27017), int(GetPrivateProfileIntW(L"HM_Plugin", L"Missing", 27017, path.c_str())));
    DeleteFileW(path.c_str());
}

TEST(ProfileIniReader, WholeConfigurationWithLimitsAndAMissingFile) {
    const std::wstring path = TempIni();
    WriteIni(path, "[Other]\r\nEnabled=0\r\n[HM_Plugin]\r\nEnabled=1\r\nApiUrl=https://api.example/" +
                       std::string(2100, 'p') + "\r\nPlayerName=" + std::string(70, 'n') +
                       "\r\nGameServerPort=70000\r\nTelevision=1\r\n");
    const PluginConfig c = ReadPluginConfig(ProfileIniReader(path));
    EXPECT_TRUE(c.enabled);
    EXPECT_EQ(c.api_url.size(), 2047u);
    EXPECT_EQ(c.api_url.substr(0, 20), L"https://api.example/");
    EXPECT_EQ(c.player_name, std::wstring(63, L'n'));
    EXPECT_EQ(c.game_server_port, 27017);
    EXPECT_TRUE(c.television);
    EXPECT_TRUE(c.voice);
    DeleteFileW(path.c_str());
    // No file at all: every default, Enabled off.
    const PluginConfig none = ReadPluginConfig(ProfileIniReader(path));
    EXPECT_FALSE(none.enabled);
    EXPECT_EQ(none.voice_volume, 80);
    EXPECT_EQ(none.api_url, L"");
}

TEST(ConfigPaths, IniBesideTheOwnModuleAndLocalAppData) {
    wchar_t exe[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, exe, MAX_PATH);
    // This test links the plugin's code statically, so its own module is the test program.
    EXPECT_EQ(OwnModuleFileName(), std::wstring(exe, n));
    const std::wstring local = LocalAppDataFolder();
    EXPECT_FALSE(local.empty());
    EXPECT_NE(GetFileAttributesW(local.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(RegistryPlayerName, ReadsTheSampValueUpToItsLimit) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\SAMP", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    wchar_t saved[256] = {};
    DWORD savedBytes = sizeof saved, savedType = 0;
    const bool hadValue = RegQueryValueExW(key, L"PlayerName", nullptr, &savedType, reinterpret_cast<BYTE*>(saved),
                                           &savedBytes) == ERROR_SUCCESS;
    auto set = [&](const std::wstring& v) {
        RegSetValueExW(key, L"PlayerName", 0, REG_SZ, reinterpret_cast<const BYTE*>(v.c_str()), DWORD((v.size() + 1) * 2));
    };
    set(L"Karel_Novak");
    EXPECT_EQ(RegistryPlayerName(), L"Karel_Novak");
    set(std::wstring(63, L'x'));
    EXPECT_EQ(RegistryPlayerName(), std::wstring(63, L'x'));
    set(std::wstring(64, L'x'));
    EXPECT_EQ(RegistryPlayerName(), L"");  // longer than the value may be
    const DWORD number = 5;
    RegSetValueExW(key, L"PlayerName", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    EXPECT_EQ(RegistryPlayerName(), L"");
    RegDeleteValueW(key, L"PlayerName");
    EXPECT_EQ(RegistryPlayerName(), L"");
    if (hadValue) RegSetValueExW(key, L"PlayerName", 0, savedType, reinterpret_cast<BYTE*>(saved), savedBytes);
    RegCloseKey(key);
}

}  // namespace
}  // namespace hm
