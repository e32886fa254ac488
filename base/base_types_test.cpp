// Shared types: failure text, hashing, pictures, ticks.
#include <gtest/gtest.h>

#include "base/fnv1a.h"
#include "base/pixels.h"
#include "base/ticks.h"
#include "base/win_api_failure.h"

namespace hm {
namespace {

TEST(WinApiFailure, TextNamesCallSiteAndLowerCaseHexWithoutLeadingZeros) {
    struct Case {
        int site;
        std::uint32_t hr;
        const char* text;
    } cases[] = {
        {42, 0x80004005u, "Windows API failure at line 42: 0x80004005"},
        {7, 0x8876086Cu, "Windows API failure at line 7: 0x8876086c"},
        {1300, 0x00000001u, "Windows API failure at line 1300: 0x1"},
        {0, 0u, "Windows API failure at line 0: 0x0"},
        {5, 0x000ABCDEu, "Windows API failure at line 5: 0xabcde"},
        {-3, 0xFFFFFFFFu, "Windows API failure at line -3: 0xffffffff"},
    };
    for (const Case& c : cases) {
        const WinApiFailure failure(c.site, c.hr);
        EXPECT_STREQ(failure.what(), c.text);
        EXPECT_EQ(failure.hresult(), c.hr);
    }
    // It is a runtime error like every other failure of the plugin.
    EXPECT_THROW(throw WinApiFailure(1, 2), std::runtime_error);
}

TEST(Fnv1a, MatchesPublishedVectorsAndChains) {
    EXPECT_EQ(Fnv1a32(""), 0x811C9DC5u);
    EXPECT_EQ(Fnv1a32("a"), 0xE40C292Cu);
    EXPECT_EQ(Fnv1a32("foobar"), 0xBF9CF968u);
    EXPECT_EQ(Fnv1a32("bar", Fnv1a32("foo")), Fnv1a32("foobar"));
    static_assert(Fnv1a32("a") == 0xE40C292Cu, "usable at compile time");
    const char16_t wide[] = u"ab";  // UTF-16 bytes hash as bytes: 61 00 62 00
    EXPECT_EQ(Fnv1a32Bytes(wide, 4), Fnv1a32(std::string_view("a\0b\0", 4)));
}

TEST(Pixels, BgraTopRowFirstAndSizeGuard) {
    Pixels p(3, 2);
    EXPECT_EQ(p.size_bytes(), 24u);
    EXPECT_EQ(p.stride(), 12u);
    EXPECT_EQ(p.at(2, 1), 0u);  // zero-filled
    p.set(2, 1, 0x80112233u);
    // Bytes are B, G, R, A at row 1, column 2.
    const std::uint8_t* px = p.row(1) + 8;
    EXPECT_EQ(px[0], 0x33);
    EXPECT_EQ(px[1], 0x22);
    EXPECT_EQ(px[2], 0x11);
    EXPECT_EQ(px[3], 0x80);
    EXPECT_EQ(p.data() + 20, px);

    Pixels q(3, 2);
    EXPECT_FALSE(p.SameContent(q));
    q.set(2, 1, 0x80112233u);
    EXPECT_TRUE(p.SameContent(q));
    EXPECT_FALSE(Pixels(2, 3).SameContent(Pixels(3, 2)));

    EXPECT_THROW(Pixels(70000, 70000), std::runtime_error);
    EXPECT_TRUE(Pixels(0, 0).empty());
}

TEST(Ticks, DeadlineIsDueAtAndAfterItsTick) {
    EXPECT_TRUE(IsDue(100, 0));
    EXPECT_TRUE(IsDue(100, 100));
    EXPECT_FALSE(IsDue(99, 100));
    EXPECT_FALSE(IsDue(0, 1));
}

}  // namespace
}  // namespace hm
