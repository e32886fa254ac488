// The embedded pictures are whole JPEG files within the size limit; PNG files of Pixels read
// back exactly with zlib.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <vector>

#include "ui/embedded_pictures.h"
#include "ui/png_file.h"

namespace hm {
namespace {

TEST(EmbeddedPictures, BothAreWholeJpegFilesOfAtMost1280x720) {
    for (int i = 0; i < kEmbeddedPictureCount; ++i) {
        const ByteView b = EmbeddedPictureBytes(i);
        ASSERT_GT(b.size, 20000u) << i;
        EXPECT_EQ(b.data[0], 0xFF);
        EXPECT_EQ(b.data[1], 0xD8);
        EXPECT_EQ(b.data[b.size - 2], 0xFF);
        EXPECT_EQ(b.data[b.size - 1], 0xD9);
        int w = 0, h = 0;
        ASSERT_TRUE(ReadJpegSize(b, w, h)) << i;
        EXPECT_GE(w, 1);
        EXPECT_LE(w, 1280);
        EXPECT_GE(h, 1);
        EXPECT_LE(h, 720);
    }
    const ByteView a = EmbeddedPictureBytes(0), b = EmbeddedPictureBytes(1);
    EXPECT_FALSE(a.size == b.size && std::memcmp(a.data, b.data, a.size) == 0);
    EXPECT_EQ(EmbeddedPictureBytes(2).size, 0u);
    EXPECT_EQ(EmbeddedPictureBytes(-1).size, 0u);
}

TEST(EmbeddedPictures, JpegSizeReaderRejectsWhatIsNotAJpegFrame) {
    const std::uint8_t good[] = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x04, 0x00, 0x00,  // APP0, 2 bytes of body
                                 0xFF, 0xC0, 0x00, 0x0B, 0x08, 0x02, 0xD0, 0x05, 0x00, 0x01, 0x01, 0x11, 0x00};
    int w = 0, h = 0;
    ASSERT_TRUE(ReadJpegSize({good, sizeof good}, w, h));
    EXPECT_EQ(w, 1280);
    EXPECT_EQ(h, 720);
    const std::uint8_t progressive[] = {0xFF, 0xD8, 0xFF, 0xFF, 0xC2, 0x00, 0x0B, 0x08, 0x00, 0x10, 0x00, 0x20, 0x01, 0x01, 0x11, 0x00};
    ASSERT_TRUE(ReadJpegSize({progressive, sizeof progressive}, w, h)) << "fill byte before the marker";
    EXPECT_EQ(w, 32);
    EXPECT_EQ(h, 16);

    const std::uint8_t huffman_only[] = {0xFF, 0xD8, 0xFF, 0xC4, 0x00, 0x04, 0x00, 0x00, 0xFF, 0xD9};
    const std::uint8_t not_jpeg[] = {0x89, 'P', 'N', 'G', 0, 0, 0, 0};
    const std::uint8_t scan_first[] = {0xFF, 0xD8, 0xFF, 0xDA, 0x00, 0x02, 0xFF, 0xC0, 0x00, 0x0B, 0x08, 0, 1, 0, 1};
    const std::uint8_t length_past_end[] = {0xFF, 0xD8, 0xFF, 0xE0, 0x40, 0x00, 0x00};
    const std::uint8_t short_frame[] = {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x04, 0x08, 0x00};
    const ByteView bad[] = {{nullptr, 0},
                            {good, 2},
                            {good, 12},  // frame header cut
                            {huffman_only, sizeof huffman_only},
                            {not_jpeg, sizeof not_jpeg},
                            {scan_first, sizeof scan_first},
                            {length_past_end, sizeof length_past_end},
                            {short_frame, sizeof short_frame}};
    for (const ByteView& v : bad) EXPECT_FALSE(ReadJpegSize(v, w, h)) << v.size;
}

std::uint32_t Be32(const std::uint8_t* p) { return std::uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; }

// Walks the chunks (checking every CRC) and inflates IDAT.
std::vector<std::uint8_t> ReadPng(const std::vector<std::uint8_t>& png, std::uint32_t& w, std::uint32_t& h) {
    static const std::uint8_t sig[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    EXPECT_EQ(std::memcmp(png.data(), sig, 8), 0);
    std::vector<std::uint8_t> idat;
    std::size_t i = 8;
    bool end = false;
    while (i + 12 <= png.size() && !end) {
        const std::uint32_t len = Be32(&png[i]);
        const std::string type(reinterpret_cast<const char*>(&png[i + 4]), 4);
        const std::uint32_t crc = std::uint32_t(crc32(0, &png[i + 4], len + 4));
        EXPECT_EQ(crc, Be32(&png[i + 8 + len])) << type;
        if (type == "IHDR") {
            w = Be32(&png[i + 8]);
            h = Be32(&png[i + 12]);
            EXPECT_EQ(png[i + 16], 8);
            EXPECT_EQ(png[i + 17], 6);
        } else if (type == "IDAT") {
            idat.insert(idat.end(), &png[i + 8], &png[i + 8] + len);
        } else if (type == "IEND") {
            end = true;
        }
        i += 12 + len;
    }
    EXPECT_TRUE(end);
    EXPECT_EQ(i, png.size());
    std::vector<std::uint8_t> raw(std::size_t(h) * (std::size_t(w) * 4 + 1));
    uLongf raw_len = uLongf(raw.size());
    EXPECT_EQ(uncompress(raw.data(), &raw_len, idat.data(), uLong(idat.size())), Z_OK);
    EXPECT_EQ(raw_len, raw.size());
    return raw;
}

TEST(PngFile, ReadsBackExactlyIncludingAlphaAcrossSeveralDeflateBlocks) {
    for (auto size : {std::pair<std::uint32_t, std::uint32_t>{3, 2}, {200, 100}}) {
        Pixels p(size.first, size.second);
        for (std::uint32_t y = 0; y < p.height(); ++y)
            for (std::uint32_t x = 0; x < p.width(); ++x) p.set(x, y, (x * 7u) << 24 | (y * 3u) << 16 | x << 8 | (x ^ y));
        std::uint32_t w = 0, h = 0;
        const std::vector<std::uint8_t> raw = ReadPng(EncodePng(p), w, h);
        ASSERT_EQ(w, p.width());
        ASSERT_EQ(h, p.height());
        for (std::uint32_t y = 0; y < h; ++y) {
            const std::uint8_t* row = &raw[y * (w * 4 + 1)];
            ASSERT_EQ(row[0], 0) << "filter";
            for (std::uint32_t x = 0; x < w; ++x) {
                const std::uint32_t v = p.at(x, y);
                const std::uint8_t want[4] = {std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v), std::uint8_t(v >> 24)};
                ASSERT_EQ(std::memcmp(row + 1 + x * 4, want, 4), 0) << x << "," << y;
            }
        }
    }
}

TEST(PngFile, UnwritablePathThrows) {
    const Pixels p(1, 1);
    EXPECT_THROW(WritePngFile("/nonexistent-folder/x.png", p), std::runtime_error);
}

}  // namespace
}  // namespace hm
