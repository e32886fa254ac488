#include "tv/tv_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tv/frame_block.h"

namespace hm {
namespace {

TEST(TvState, AnswersThatStartOrStop) {
    struct Case {
        int status;
        std::string body;
        int screen;
    };
    const std::vector<Case> cases = {
        {200, "TV 15", 15},
        {200, "TV 1", 1},
        {200, "TV 30000", 30000},
        {200, "TV 30001", 30001},
        {200, "TV 32767", 32767},
        {200, "TV\n15\n", 15},
        {200, "TV\r\n15", 15},
        {200, "  TV\t15 trailing words", 15},
        {200, "TV 0", 0},
        {200, "TV 32768", 0},
        {200, "TV 40000", 0},
        {200, "TV -1", 0},
        {200, "TV +5", 0},
        {200, "TV 15x", 0},
        {200, "tv 15", 0},
        {200, "TVX 15", 0},
        {200, "TV15", 0},
        {200, "TV\n\n15", 0},
        {200, "TV 00000000000000000015", 0},
        {200, "TV 18446744073709551631", 0},
        {200, "TV", 0},
        {200, "TV ", 0},
        {200, "OFF", 0},
        {200, "", 0},
        {204, "TV 15", 0},
        {500, "TV 15", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseTvState(c.status, c.body), c.screen) << c.status << " '" << c.body << "'";
}

TEST(TvPageUrl, HttpsPortOnlyWhenNot443TokenOnlyInFragment) {
    struct Case {
        ApiClient client;
        std::wstring url;
    };
    const std::vector<Case> cases = {
        {{L"hollowmarsh-rp.cz", L"/HM/MEDIA-PLUGIN/api", 443, true},
         L"https://hollowmarsh-rp.cz/HM/MEDIA-PLUGIN/api/tv/player#ab12"},
        {{L"127.0.0.1", L"/HM/MEDIA-PLUGIN/test-api", 8443, true},
         L"https://127.0.0.1:8443/HM/MEDIA-PLUGIN/test-api/tv/player#ab12"},
        {{L"127.0.0.1", L"", 80, false}, L"https://127.0.0.1:80/tv/player#ab12"},
    };
    for (const Case& c : cases) {
        const std::wstring url = BuildTvPageUrl(c.client, "ab12");
        EXPECT_EQ(url, c.url);
        EXPECT_EQ(url.find(L"ab12"), url.find(L'#') + 1) << "the token sits only after the fragment mark";
    }
    EXPECT_EQ(BuildNewsPageUrl(cases[0].client, "ab12", "77"),
              L"https://hollowmarsh-rp.cz/HM/MEDIA-PLUGIN/api/tv/player#ab12&news=77");
}

TEST(TvNames, MappingMutexAndCommandLine) {
    const std::wstring guid = L"{01234567-89AB-CDEF-0123-456789ABCDEF}";
    const std::wstring name = TvMappingName(4242, guid);
    EXPECT_EQ(name, L"Local\\HMMedia-TV-4242{01234567-89AB-CDEF-0123-456789ABCDEF}");
    EXPECT_EQ(TvMutexName(name), name + L"-lock");
    EXPECT_EQ(HelperCommandLine(L"C:\\g\\HM_PluginBrowser\\HM_PluginBrowser.exe", name),
              L"\"C:\\g\\HM_PluginBrowser\\HM_PluginBrowser.exe\" \"" + name + L"\"");
    // The longest name a 32-bit process id gives still fits the helper's 120-character limit.
    EXPECT_LE(TvMappingName(4294967295u, guid).size(), 120u);
}

TEST(TvTexts, StartFailures) {
    EXPECT_EQ(HelperEndedText(0xC0000005u), "Prehravac skoncil (kod 0xc0000005). Spust ZKONTROLOVAT.cmd.");
    EXPECT_EQ(HelperEndedText(0), "Prehravac skoncil (kod 0x0). Spust ZKONTROLOVAT.cmd.");
    EXPECT_EQ(HelperEndedText(8), "Prehravac skoncil (kod 0x8). Spust ZKONTROLOVAT.cmd.");
    EXPECT_EQ(HelperNotStartedText(193), "Prehravac nelze spustit (Windows 193). Spust ZKONTROLOVAT.cmd.");
}

TEST(ScreenTextureId, ColourRule) {
    struct Case {
        std::uint32_t rgb;
        int id;
    };
    const std::vector<Case> cases = {
        {0x080809, 1},      {0x272727, 32767},  {0x080808, 0},        {0x0f0a0c, (7 << 10) | (2 << 5) | 4},
        {0x070808, 0},      {0x282727, 0},      {0x272807, 0},        {0xa8252f, 65536},
        {0xa82539, 65546},  {0xa8252e, 0},      {0xa8253a, 0},        {0xa92539, 0},
        {0xa82639, 0},      {0x000000, 0},      {0xffffff, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(ScreenIdOfColour(c.rgb), c.id) << std::hex << c.rgb;
}

TEST(ScreenTextureId, NineSamplesOfALevelAlphaIgnored) {
    struct Level {
        std::vector<std::uint8_t> bytes;
        std::size_t pitch;
        void Fill(std::uint32_t argb) {
            for (std::size_t y = 0; y < 32; ++y)
                for (std::size_t x = 0; x < 32; ++x) Set(x, y, argb);
        }
        void Set(std::size_t x, std::size_t y, std::uint32_t argb) {
            for (int k = 0; k < 4; ++k) bytes[y * pitch + x * 4 + k] = static_cast<std::uint8_t>(argb >> (8 * k));
        }
    };
    for (std::size_t pitch : {std::size_t{128}, std::size_t{256}}) {
        Level level{std::vector<std::uint8_t>(pitch * 32), pitch};
        level.Fill(0xff080809);
        EXPECT_EQ(ScreenIdOfLevel(level.bytes.data(), pitch), 1);
        level.Set(4, 4, 0x00080809);  // alpha differs only
        EXPECT_EQ(ScreenIdOfLevel(level.bytes.data(), pitch), 1);
        level.Set(0, 0, 0xff000000);  // not a sample position
        EXPECT_EQ(ScreenIdOfLevel(level.bytes.data(), pitch), 1);
        level.Set(16, 16, 0xff08080a);  // the centre differs
        EXPECT_EQ(ScreenIdOfLevel(level.bytes.data(), pitch), 0);
        level.Fill(0xffa82539);
        EXPECT_EQ(ScreenIdOfLevel(level.bytes.data(), pitch), 65546);
        level.Set(28, 28, 0xffa82538);
        EXPECT_EQ(ScreenIdOfLevel(level.bytes.data(), pitch), 0);
    }
}

}  // namespace
}  // namespace hm
