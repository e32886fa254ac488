#include "tv/browser_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tv/frame_block.h"

namespace hm {
namespace {

const std::u16string kName = u"Local\\HMMedia-TV-42{01234567-89AB-CDEF-0123-456789ABCDEF}";

TEST(HelperArgs, SwitchesAndMappingNames) {
    struct Case {
        std::vector<std::u16string> args;
        int exit;
        bool selftest, local_test;
    };
    const std::u16string exe = u"HM_PluginBrowser.exe";
    const std::vector<Case> cases = {
        {{exe, kName}, 0, false, false},
        {{exe, kName, u"--selftest"}, 0, true, false},
        {{exe, kName, u"--local-test"}, 0, false, true},
        {{exe}, 2, false, false},
        {{exe, kName, u"--selftest", u"--local-test"}, 2, false, false},
        {{exe, kName, u"--version"}, 2, false, false},
        {{exe, kName, u"--SELFTEST"}, 2, false, false},
        {{exe, u"--selftest", kName}, 2, false, false},  // the switch comes after the name
        {{exe, u"Local\\HMMedia-TV-"}, 0, false, false},                                  // 17
        {{exe, u"Local\\HMMedia-TV"}, 3, false, false},                                   // 16
        {{exe, u"Local\\HMMedia-TV-" + std::u16string(103, u'x')}, 0, false, false},     // 120
        {{exe, u"Local\\HMMedia-TV-" + std::u16string(104, u'x')}, 3, false, false},     // 121
        {{exe, u"Global\\HMMedia-TV-42{01234567-89AB-CDEF-0123-456789ABCDEF}"}, 3, false, false},
        {{exe, u"local\\HMMedia-TV-42{01234567-89AB-CDEF-0123-456789ABCDEF}"}, 3, false, false},
    };
    for (const Case& c : cases) {
        const HelperArgs a = ParseHelperArgs(c.args);
        EXPECT_EQ(a.exit_code, c.exit) << c.args.size();
        if (c.exit == 0) {
            EXPECT_EQ(a.mapping_name, c.args[1]);
            EXPECT_EQ(a.selftest, c.selftest);
            EXPECT_EQ(a.local_test, c.local_test);
        }
    }
}

TEST(HelperPageUrl, AcceptedAddresses) {
    struct Case {
        std::u16string url;
        bool local_test;
        bool accepted;
    };
    const std::vector<Case> cases = {
        {u"https://h.cz/HM/MEDIA-PLUGIN/api/tv/player#ab12", false, true},
        {u"https://h.cz/HM/MEDIA-PLUGIN/api/tv/player#", false, true},
        {u"https://h.cz/HM/MEDIA-PLUGIN/api/tv/player", false, false},
        {u"https://h.cz/tv/player?x#a", false, false},
        {u"HTTPS://h.cz/tv/player#ab12", false, false},
        {u"http://h.cz/tv/player#ab12", false, false},
        {u"http://127.0.0.1:8443/tv/player#ab12", false, false},
        {u"http://127.0.0.1:8443/tv/player#ab12", true, true},
        {u"http://127.0.0.10:8443/tv/player#ab12", true, false},
        {u"http://127.0.0.1/tv/player#ab12", true, false},
        {u"", false, false},
    };
    for (const Case& c : cases) {
        std::vector<char16_t> field(kTvUrlChars, 0);
        std::copy(c.url.begin(), c.url.end(), field.begin());
        const std::u16string got = AcceptedPageUrl(field.data(), field.size(), c.local_test);
        EXPECT_EQ(got, c.accepted ? c.url : std::u16string()) << std::string(c.url.begin(), c.url.end());
    }
}

TEST(HelperPageUrl, NeverReadsPastTheField) {
    // A field with no NUL: exactly its 2048 characters are the URL, nothing after it is looked at.
    const std::u16string head = u"https://h.cz/tv/player#";
    std::vector<char16_t> field(kTvUrlChars + 8, u'x');
    std::copy(head.begin(), head.end(), field.begin());
    const std::u16string got = AcceptedPageUrl(field.data(), kTvUrlChars, false);
    EXPECT_EQ(got.size(), kTvUrlChars);
    // The marker only beyond the field does not count.
    std::vector<char16_t> late(kTvUrlChars + 16, u'x');
    const std::u16string start = u"https://h.cz/";
    std::copy(start.begin(), start.end(), late.begin());
    const std::u16string marker = u"/tv/player#";
    std::copy(marker.begin(), marker.end(), late.begin() + kTvUrlChars);
    EXPECT_TRUE(AcceptedPageUrl(late.data(), kTvUrlChars, false).empty());
}

TEST(HelperNavigation, MainFrameStaysOnItsAddress) {
    const std::u16string page = u"https://h.cz/HM/MEDIA-PLUGIN/api/tv/player#ab12";
    const std::u16string allowed = AllowedPageAddress(page);
    EXPECT_EQ(allowed, u"https://h.cz/HM/MEDIA-PLUGIN/api/tv/player");
    struct Case {
        std::u16string url;
        bool main_frame;
        bool allowed;
    };
    const std::vector<Case> cases = {
        {page, true, true},
        {u"https://h.cz/HM/MEDIA-PLUGIN/api/tv/player#other", true, true},
        {u"https://h.cz/HM/MEDIA-PLUGIN/api/tv/player", true, true},
        {u"https://h.cz/HM/MEDIA-PLUGIN/api/tv/Player#ab12", true, false},
        {u"https://H.cz/HM/MEDIA-PLUGIN/api/tv/player#ab12", true, false},
        {u"https://h.cz/HM/MEDIA-PLUGIN/api/tv/player?x=1#ab12", true, false},
        {u"https://evil.cz/HM/MEDIA-PLUGIN/api/tv/player#ab12", true, false},
        {u"https://h.cz/HM/MEDIA-PLUGIN/api/tv/player/", true, false},
        {u"https://www.youtube.com/embed/x", false, true},
        {u"https://www.youtube.com/embed/x", true, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NavigationAllowed(c.url, allowed, c.main_frame), c.allowed) << std::string(c.url.begin(), c.url.end());
}

TEST(HelperTitles, PageStatus) {
    struct Case {
        std::u16string title;
        std::uint32_t status;
    };
    const std::vector<Case> cases = {
        {u"HMMedia:playing", 1},
        {u"HMMedia:paused", 2},
        {u"HMMedia:playingX", 0},
        {u"hmmedia:playing", 0},
        {u"HMMedia:error:404", 1404},
        {u"HMMedia:error:0", 1000},
        {u"HMMedia:error:", 1000},
        {u"HMMedia:error:abc", 1000},
        {u"HMMedia:error:-1", 1000},
        {u"HMMedia:error:404x", 1000},
        {u"HMMedia:error:4294966295", 4294967295u},
        {u"HMMedia:error:4294966296", 1000},  // 1000 + n would wrap past 32 bits
        {u"HMMedia:error:4294967296", 1000},
        {u"HMMedia:error:99999999999999999999999", 1000},
        {u"HMMedia:error", 0},
        {u"HMMedia:erro", 0},
        {u"Some page", 0},
        {u"", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(PageStatusOfTitle(c.title), c.status) << std::string(c.title.begin(), c.title.end());
}

TEST(HelperHeartbeat, ClosesOnRequestOrStaleBeat) {
    struct Case {
        std::uint32_t close_request;
        std::uint64_t now, heartbeat;
        bool close;
    };
    const std::vector<Case> cases = {
        {0, 10000, 2000, false},   // 8000 ms old
        {0, 10001, 2000, true},    // 8001 ms old
        {0, 1000, 5000, false},    // ahead of the helper's clock
        {0, 1000, ~0ull, false},
        {1, 1000, 1000, true},
        {7, 0, 0, true},
        {0, 0, 0, false},
    };
    for (const Case& c : cases) EXPECT_EQ(ShouldCloseBrowser(c.close_request, c.now, c.heartbeat), c.close) << c.now << " " << c.heartbeat;
}

TEST(HelperPaint, OnlyMainViewFullFramesWithPixels) {
    const char pixel = 0;
    struct Case {
        bool main_view;
        int w, h;
        const void* buffer;
        bool copied;
    };
    const std::vector<Case> cases = {
        {true, 960, 540, &pixel, true},   {false, 960, 540, &pixel, false}, {true, 1920, 1080, &pixel, false},
        {true, 960, 541, &pixel, false},  {true, 959, 540, &pixel, false},  {true, 960, 540, nullptr, false},
    };
    for (const Case& c : cases) EXPECT_EQ(PaintCopied(c.main_view, c.w, c.h, c.buffer), c.copied) << c.w << "x" << c.h;
}

}  // namespace
}  // namespace hm
