// HM_Plugin.ini rules: profile-integer reading, defaults, limits and the derived paths.
#include <gtest/gtest.h>

#include <map>

#include "core/config.h"

namespace hm {
namespace {

// An INI as the profile API would return it: missing keys read as empty, values cut.
struct FakeIni {
    std::map<std::wstring, std::wstring> values;
    std::map<std::wstring, std::size_t> asked;  // key -> maxChars the reader was asked with
    IniReader Reader() {
        return [this](const wchar_t* key, std::size_t maxChars) {
            asked[key] = maxChars;
            auto it = values.find(key);
            if (it == values.end()) return std::wstring();
            return it->second.substr(0, maxChars);
        };
    }
};

TEST(ProfileInt, LeadingDecimalDigitsLikeTheProfileApi) {
    struct Case {
        const wchar_t* value;
        int def;
        int expected;
    } cases[] = {
        {L"", 80, 80},           // missing key: the default
        {L"0", 1, 0},
        {L"1", 0, 1},
        {L"75", 0, 75},
        {L"12abc", 0, 12},       // digits up to the first other character
        {L"abc", 5, 0},          // garbage without digits: 0, not the default
        {L"0x10", 5, 0},         // no hex
        {L" 42", 0, 42},         // leading blanks skipped
        {L"+7", 0, 7},
        {L"-5", 0, -5},          // negative comes back as the system's unsigned value
        {L"- 5", 9, 0},
        {L"4294967297", 0, 1},   // wraps modulo 2^32 like the system
        {L"99999999999", 0, 1215752191},
        {L"2147483648", 0, int(0x80000000u)},
        // Only the first 29 characters count.
        {L"00000000000000000000000000001", 0, 1},
        {L"000000000000000000000000000001", 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ProfileInt(c.value, c.def), c.expected) << std::string(c.value, c.value + wcslen(c.value));
    }
}

TEST(PluginConfig, EmptyIniGivesEveryDefault) {
    FakeIni ini;
    const PluginConfig c = ReadPluginConfig(ini.Reader());
    EXPECT_FALSE(c.enabled);
    EXPECT_EQ(c.api_url, L"");
    EXPECT_FALSE(c.allow_local_http);
    EXPECT_EQ(c.voice_volume, 80);
    EXPECT_TRUE(c.voice);
    EXPECT_EQ(c.npc_voice_volume, 75);
    EXPECT_TRUE(c.npc_voices);
    EXPECT_TRUE(c.cockpit_camera);
    EXPECT_FALSE(c.television);
    EXPECT_FALSE(c.auto_connect);
    EXPECT_TRUE(c.auto_download_updates);
    EXPECT_EQ(c.game_server_port, 27017);
    EXPECT_EQ(c.player_name, L"");
    EXPECT_FALSE(ReadEnabled(ini.Reader()));
    EXPECT_TRUE(ReadAutoDownloadUpdates(ini.Reader()));
}

TEST(PluginConfig, EveryKeyIsReadFromSectionValues) {
    FakeIni ini;
    ini.values = {{L"Enabled", L"1"},        {L"ApiUrl", L"https://api.example/HM/MEDIA-PLUGIN/api/"},
                  {L"AllowLocalHttp", L"2"}, {L"VoiceVolume", L"33"},
                  {L"Voice", L"0"},          {L"NPCVoiceVolume", L"12"},
                  {L"NPCVoices", L"0"},      {L"CockpitCamera", L"0"},
                  {L"Television", L"1"},     {L"AutoConnect", L"1"},
                  {L"AutoDownloadUpdates", L"0"}, {L"GameServerPort", L"7777"},
                  {L"PlayerName", L"Karel_Novak"}};
    const PluginConfig c = ReadPluginConfig(ini.Reader());
    EXPECT_TRUE(c.enabled);
    EXPECT_EQ(c.api_url, L"https://api.example/HM/MEDIA-PLUGIN/api/");  // kept exactly: it is the entropy
    EXPECT_TRUE(c.allow_local_http);  // any non-zero integer is on
    EXPECT_EQ(c.voice_volume, 33);
    EXPECT_FALSE(c.voice);
    EXPECT_EQ(c.npc_voice_volume, 12);
    EXPECT_FALSE(c.npc_voices);
    EXPECT_FALSE(c.cockpit_camera);
    EXPECT_TRUE(c.television);
    EXPECT_TRUE(c.auto_connect);
    EXPECT_FALSE(c.auto_download_updates);
    EXPECT_EQ(c.game_server_port, 7777);
    EXPECT_EQ(c.player_name, L"Karel_Novak");
}

TEST(PluginConfig, TextKeysAreReadWithTheirLimits) {
    FakeIni ini;
    ini.values = {{L"ApiUrl", std::wstring(3000, L'a')}, {L"PlayerName", std::wstring(100, L'b')}};
    const PluginConfig c = ReadPluginConfig(ini.Reader());
    EXPECT_EQ(ini.asked[L"ApiUrl"], 2047u);
    EXPECT_EQ(ini.asked[L"PlayerName"], 63u);
    EXPECT_EQ(c.api_url.size(), 2047u);
    EXPECT_EQ(c.player_name.size(), 63u);
}

TEST(PluginConfig, GameServerPortOutsideRangeBecomesDefault) {
    struct Case {
        const wchar_t* value;
        std::uint16_t port;
    } cases[] = {
        {L"1", 1},        {L"65535", 65535}, {L"7777", 7777},  {L"0", 27017},
        {L"65536", 27017}, {L"-1", 27017},   {L"garbage", 27017}, {L"99999999999", 27017},
        {L"", 27017},     {L"7777x", 7777},
    };
    for (const Case& c : cases) {
        FakeIni ini;
        ini.values[L"GameServerPort"] = c.value;
        EXPECT_EQ(ReadPluginConfig(ini.Reader()).game_server_port, c.port)
            << std::string(c.value, c.value + wcslen(c.value));
    }
}

TEST(PluginConfig, GarbageFlagsReadAsProfileIntegers) {
    FakeIni ini;
    ini.values = {{L"Enabled", L"yes"}, {L"Voice", L"off"}, {L"Television", L"-1"}, {L"VoiceVolume", L"-20"}};
    const PluginConfig c = ReadPluginConfig(ini.Reader());
    EXPECT_FALSE(c.enabled);    // "yes" has no digits: 0
    EXPECT_FALSE(c.voice);      // likewise, although the default is 1
    EXPECT_TRUE(c.television);  // non-zero
    EXPECT_EQ(c.voice_volume, -20);  // handed on as read; voice chat bounds it
}

TEST(PluginConfig, PathsUnderLocalAppDataAndBesideTheModule) {
    EXPECT_EQ(PhotosFolderIn(L"C:\\Users\\p\\AppData\\Local"), L"C:\\Users\\p\\AppData\\Local\\Hollowmarsh\\HMMedia\\Photos");
    EXPECT_EQ(DeviceFileIn(L"C:\\Users\\p\\AppData\\Local"), L"C:\\Users\\p\\AppData\\Local\\Hollowmarsh\\HMMedia\\device.bin");
    EXPECT_EQ(IniPathBeside(L"C:\\Games\\GTA San Andreas\\HM_Plugin.dll"), L"C:\\Games\\GTA San Andreas\\HM_Plugin.ini");
    EXPECT_EQ(IniPathBeside(L"D:\\x\\plugins\\HM_Plugin.asi"), L"D:\\x\\plugins\\HM_Plugin.ini");
    EXPECT_EQ(IniPathBeside(L"HM_Plugin.dll"), L"HM_Plugin.ini");
}

}  // namespace
}  // namespace hm
