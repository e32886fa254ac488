// The portable code page 1250 table equals Windows' own conversion, unit for unit.
#include <windows.h>

#include <gtest/gtest.h>

#include "base/text1250.h"

namespace hm {
namespace {

TEST(Text1250Windows, EveryUtf16UnitConvertsLikeWideCharToMultiByte) {
    int mismatches = 0;
    for (unsigned u = 1; u <= 0xFFFF; ++u) {
        const wchar_t unit = wchar_t(u);
        char out[4] = {};
        const int n = WideCharToMultiByte(1250, 0, &unit, 1, out, sizeof out, nullptr, nullptr);
        ASSERT_EQ(n, 1) << "unit " << u;
        if (Cp1250FromUnit(char16_t(u)) != out[0] && ++mismatches <= 10)
            ADD_FAILURE() << "unit 0x" << std::hex << u << ": windows 0x" << (unsigned(out[0]) & 0xFF)
                          << ", ours 0x" << (unsigned(Cp1250FromUnit(char16_t(u))) & 0xFF);
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(Text1250Windows, EveryByteConvertsLikeMultiByteToWideChar) {
    for (int b = 0; b < 256; ++b) {
        const char byte = char(b);
        wchar_t out[2] = {};
        ASSERT_EQ(MultiByteToWideChar(1250, 0, &byte, 1, out, 2), 1);
        EXPECT_EQ(char16_t(out[0]), UnitFromCp1250(static_cast<unsigned char>(b))) << "byte " << b;
    }
}

TEST(Text1250Windows, WholeStringsMatch) {
    const std::wstring text = L"Přezdívku se nepodařilo zjistit. Spusť hru přes SA-MP klienta. \u4E2D\u00C0";
    const int n = WideCharToMultiByte(1250, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string windows(size_t(n), '\0');
    WideCharToMultiByte(1250, 0, text.data(), int(text.size()), windows.data(), n, nullptr, nullptr);
    EXPECT_EQ(WideToCp1250(text), windows);
}

}  // namespace
}  // namespace hm
