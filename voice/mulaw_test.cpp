#include "voice/mulaw.h"

#include <gtest/gtest.h>

namespace hm {
namespace {

TEST(MuLaw, DecodeAnchorsOfTheStandardTable) {
    struct Case { std::uint8_t byte; int value; };
    const Case cases[] = {
        {0x00, -32124}, {0x01, -31100}, {0x0F, -16764}, {0x10, -15996}, {0x70, -120}, {0x7E, -8},
        {0x7F, 0},      {0x80, 32124},  {0x8F, 16764},  {0xEF, 132},    {0xF0, 120},  {0xFE, 8},
        {0xFF, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(DecodeMuLaw(c.byte), c.value) << int(c.byte);
}

TEST(MuLaw, EveryByteIsSymmetricMonotonicAndSurvivesARoundTrip) {
    for (int b = 0; b < 128; ++b) {
        EXPECT_EQ(DecodeMuLaw(std::uint8_t(b)), -DecodeMuLaw(std::uint8_t(b | 0x80))) << b;
        if (b > 0) {
            EXPECT_GT(DecodeMuLaw(std::uint8_t(b)), DecodeMuLaw(std::uint8_t(b - 1))) << b;
        }
    }
    for (int b = 0; b < 256; ++b) {
        if (b == 0x7F) continue;  // negative zero comes back as positive zero
        EXPECT_EQ(EncodeMuLaw(DecodeMuLaw(std::uint8_t(b))), b) << b;
    }
    EXPECT_EQ(EncodeMuLaw(DecodeMuLaw(0x7F)), 0xFF);
}

TEST(MuLaw, EncodeAtTheEdgesOfTheRange) {
    struct Case { int sample; std::uint8_t byte; };
    const Case cases[] = {
        {0, 0xFF}, {1, 0xFF}, {-1, 0x7F}, {32767, 0x80}, {32635, 0x80}, {-32767, 0x00},
        {-32768, 0x00},  // no overflow when the magnitude is taken
        {32124, 0x80}, {-8, 0x7E}, {8, 0xFE},
    };
    for (const Case& c : cases) EXPECT_EQ(EncodeMuLaw(std::int16_t(c.sample)), c.byte) << c.sample;
}

TEST(MuLaw, ScaleTruncatesTowardZero) {
    struct Case { int s, v, g, out; };
    const Case cases[] = {
        {-32124, 100, 255, -32124}, {32767, 100, 255, 32767}, {-32768, 100, 255, -32768},
        {-100, 80, 200, -62},  // -62.74 becomes -62, not -63
        {100, 80, 200, 62},    {-1, 99, 255, 0}, {1000, 0, 255, 0}, {1000, 100, 0, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(ScaleSample(c.s, c.v, c.g), c.out) << c.s << " " << c.v << " " << c.g;
}

}  // namespace
}  // namespace hm
