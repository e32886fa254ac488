#include "tools/e2e/png_reader.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

namespace hm::e2e {
namespace {

void Be32(std::string& out, std::uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) out += char((v >> s) & 0xFF);
}

void Chunk(std::string& out, const std::string& type, const std::string& data) {
    Be32(out, std::uint32_t(data.size()));
    const std::string body = type + data;
    out += body;
    Be32(out, std::uint32_t(crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()))));
}

int Paeth(int a, int b, int c) {
    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// A PNG as an encoder writes it: each row with its own filter type.
std::string Encode(int w, int h, int colourType, int channels, const std::vector<std::uint8_t>& raw,
                   const std::vector<int>& filters) {
    const std::size_t stride = std::size_t(w) * channels;
    std::string filtered;
    for (int y = 0; y < h; ++y) {
        const int f = filters[std::size_t(y) % filters.size()];
        filtered += char(f);
        for (std::size_t i = 0; i < stride; ++i) {
            const int x = raw[y * stride + i];
            const int a = i >= std::size_t(channels) ? raw[y * stride + i - channels] : 0;
            const int b = y > 0 ? raw[(y - 1) * stride + i] : 0;
            const int c = y > 0 && i >= std::size_t(channels) ? raw[(y - 1) * stride + i - channels] : 0;
            const int pred = f == 0 ? 0 : f == 1 ? a : f == 2 ? b : f == 3 ? (a + b) / 2 : Paeth(a, b, c);
            filtered += char(std::uint8_t(x - pred));
        }
    }
    uLongf size = compressBound(uLong(filtered.size()));
    std::string z(size, '\0');
    compress(reinterpret_cast<Bytef*>(z.data()), &size, reinterpret_cast<const Bytef*>(filtered.data()), uLong(filtered.size()));
    z.resize(size);
    std::string png("\x89PNG\r\n\x1a\n", 8);
    std::string ihdr;
    Be32(ihdr, std::uint32_t(w));
    Be32(ihdr, std::uint32_t(h));
    ihdr += std::string{char(8), char(colourType), 0, 0, 0};
    Chunk(png, "IHDR", ihdr);
    Chunk(png, "IDAT", z.substr(0, z.size() / 2));  // image data may span several chunks
    Chunk(png, "IDAT", z.substr(z.size() / 2));
    Chunk(png, "IEND", "");
    return png;
}

std::vector<std::uint8_t> Noise(std::size_t n) {
    std::vector<std::uint8_t> v(n);
    std::uint32_t s = 12345;
    for (auto& b : v) b = std::uint8_t((s = s * 1103515245 + 12345) >> 16);
    return v;
}

TEST(PngReader, UndoesEveryFilterType) {
    const int w = 7, h = 10;
    const auto raw = Noise(std::size_t(w) * h * 3);
    for (const std::vector<int>& filters : std::vector<std::vector<int>>{{0}, {1}, {2}, {3}, {4}, {4, 3, 2, 1, 0}}) {
        SCOPED_TRACE(::testing::PrintToString(filters));
        const Pixels p = DecodePng(Encode(w, h, 2, 3, raw, filters));
        ASSERT_EQ(p.width(), std::uint32_t(w));
        ASSERT_EQ(p.height(), std::uint32_t(h));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const std::uint8_t* s = &raw[(std::size_t(y) * w + x) * 3];
                ASSERT_EQ(p.at(x, y), 0xFF000000u | std::uint32_t(s[0]) << 16 | std::uint32_t(s[1]) << 8 | s[2])
                    << x << "," << y;
            }
    }
}

TEST(PngReader, ReadsGreyAndAlphaLayouts) {
    struct Case {
        int colourType, channels;
        std::vector<std::uint8_t> pixel;
        std::uint32_t argb;
    } cases[] = {
        {0, 1, {0x40}, 0xFF404040},
        {4, 2, {0x40, 0x80}, 0x80404040},
        {6, 4, {0x11, 0x22, 0x33, 0x44}, 0x44112233},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.colourType);
        std::vector<std::uint8_t> raw;
        for (int i = 0; i < 6; ++i) raw.insert(raw.end(), c.pixel.begin(), c.pixel.end());
        const Pixels p = DecodePng(Encode(3, 2, c.colourType, c.channels, raw, {1, 4}));
        EXPECT_EQ(p.at(0, 0), c.argb);
        EXPECT_EQ(p.at(2, 1), c.argb);
    }
}

TEST(PngReader, RejectsWhatItCannotRead) {
    const std::string good = Encode(2, 2, 2, 3, Noise(12), {0});
    std::string badCrc = good;
    badCrc[30] ^= 1;  // inside the IHDR chunk
    std::string palette = Encode(2, 2, 3, 1, Noise(4), {0});
    const std::string cases[] = {"", "GIF89a", good.substr(0, good.size() - 20), badCrc, palette,
                                 Encode(2, 2, 2, 3, Noise(12), {5})};
    for (const auto& bytes : cases) EXPECT_THROW(DecodePng(bytes), std::runtime_error);
    EXPECT_NO_THROW(DecodePng(good));
    EXPECT_THROW(ReadPngFile("/nonexistent/shot.png"), std::runtime_error);
}

}  // namespace
}  // namespace hm::e2e
