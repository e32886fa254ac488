// Code page 1250 conversion on its own; the Wine test proves it equals Windows' conversion.
#include <gtest/gtest.h>

#include "base/text1250.h"

namespace hm {
namespace {

TEST(Text1250, CzechLettersRoundTrip) {
    const std::u16string czech = u"Příliš žluťoučký kůň úpěl ďábelské ódy ŘŠČŽÝÁÍÉŮÚĚŤĎŇ";
    const std::string bytes = Utf16ToCp1250(czech);
    ASSERT_EQ(bytes.size(), czech.size());
    EXPECT_EQ(bytes.find('?'), std::string::npos);
    EXPECT_EQ(Cp1250ToUtf16(bytes), czech);
    // A few fixed points of the code page.
    EXPECT_EQ(static_cast<unsigned char>(Cp1250FromUnit(u'ř')), 0xF8);
    EXPECT_EQ(static_cast<unsigned char>(Cp1250FromUnit(u'Š')), 0x8A);
    EXPECT_EQ(static_cast<unsigned char>(Cp1250FromUnit(u'€')), 0x80);
    EXPECT_EQ(UnitFromCp1250(0x9E), u'ž');
    EXPECT_EQ(UnitFromCp1250(0xA0), u'\u00A0');
}

TEST(Text1250, UnmappableUnitsBecomeOneQuestionMarkEach) {
    EXPECT_EQ(Utf16ToCp1250(u"a\u4E2Db"), "a?b");
    EXPECT_EQ(Utf16ToCp1250(u"\U0001F600"), "??");  // each surrogate on its own
    EXPECT_EQ(Utf16ToCp1250(u"\uFFFF"), "?");
    EXPECT_EQ(Utf16ToCp1250(std::u16string(1, u'\0')), std::string(1, '\0'));
}

TEST(Text1250, EveryByteMapsBackToItself) {
    for (int b = 0; b < 256; ++b) {
        const char16_t unit = UnitFromCp1250(static_cast<unsigned char>(b));
        EXPECT_EQ(static_cast<unsigned char>(Cp1250FromUnit(unit)), b) << "byte " << b;
    }
}

TEST(Text1250, WideAdaptersAgreeWithUtf16) {
    EXPECT_EQ(WideToCp1250(L"Počítač"), Utf16ToCp1250(u"Počítač"));
    EXPECT_EQ(Cp1250ToWide(Utf16ToCp1250(u"Počítač")), L"Počítač");
}

}  // namespace
}  // namespace hm
