#include "tools/e2e/png_reader.h"

#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace hm::e2e {
namespace {

std::uint32_t Be32(const std::string& s, std::size_t at) {
    return std::uint32_t(std::uint8_t(s[at])) << 24 | std::uint32_t(std::uint8_t(s[at + 1])) << 16 |
           std::uint32_t(std::uint8_t(s[at + 2])) << 8 | std::uint32_t(std::uint8_t(s[at + 3]));
}

[[noreturn]] void Fail(const std::string& why) { throw std::runtime_error("png: " + why); }

std::string Inflate(const std::string& data, std::size_t expected) {
    std::string out(expected, '\0');
    z_stream z{};
    if (inflateInit(&z) != Z_OK) Fail("inflateInit");
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = uInt(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    const int rc = inflate(&z, Z_FINISH);
    const std::size_t produced = out.size() - z.avail_out;
    inflateEnd(&z);
    if (rc != Z_STREAM_END || produced != expected) Fail("image data does not inflate to the picture's size");
    return out;
}

int Paeth(int a, int b, int c) {
    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return a;
    return pb <= pc ? b : c;
}

}  // namespace

Pixels DecodePng(const std::string& bytes) {
    static const char kSignature[] = "\x89PNG\r\n\x1a\n";
    if (bytes.size() < 8 || bytes.compare(0, 8, kSignature, 8) != 0) Fail("not a PNG file");
    std::uint32_t width = 0, height = 0;
    int channels = 0;
    bool header = false, end = false;
    std::string idat;
    for (std::size_t at = 8; !end;) {
        if (at + 12 > bytes.size()) Fail("truncated chunk");
        const std::uint32_t len = Be32(bytes, at);
        if (len > bytes.size() - at - 12) Fail("truncated chunk");
        const std::string type = bytes.substr(at + 4, 4);
        const std::string data = bytes.substr(at + 8, len);
        const uLong crc = crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(bytes.data() + at + 4), uInt(len + 4));
        if (crc != Be32(bytes, at + 8 + len)) Fail("bad CRC in chunk " + type);
        at += 12 + std::size_t(len);
        if (type == "IHDR") {
            if (len != 13) Fail("bad IHDR");
            width = Be32(data, 0);
            height = Be32(data, 4);
            const int depth = std::uint8_t(data[8]), colour = std::uint8_t(data[9]);
            if (depth != 8) Fail("only 8-bit samples are read");
            channels = colour == 0 ? 1 : colour == 2 ? 3 : colour == 4 ? 2 : colour == 6 ? 4 : 0;
            if (!channels) Fail("palette pictures are not read");
            if (data[10] != 0 || data[11] != 0 || data[12] != 0) Fail("interlaced or unknown method");
            if (width == 0 || height == 0 || width > 16384 || height > 16384) Fail("bad size");
            header = true;
        } else if (type == "IDAT") {
            if (!header) Fail("IDAT before IHDR");
            idat += data;
        } else if (type == "IEND") {
            end = true;
        }
    }
    if (!header) Fail("no IHDR");
    const std::size_t stride = std::size_t(width) * channels;
    const std::string raw = Inflate(idat, (stride + 1) * height);

    std::vector<std::uint8_t> prev(stride, 0), cur(stride);
    Pixels out(width, height);
    for (std::uint32_t y = 0; y < height; ++y) {
        const std::uint8_t* line = reinterpret_cast<const std::uint8_t*>(raw.data()) + y * (stride + 1);
        const int filter = line[0];
        for (std::size_t i = 0; i < stride; ++i) {
            const int a = i >= std::size_t(channels) ? cur[i - channels] : 0, b = prev[i],
                      c = i >= std::size_t(channels) ? prev[i - channels] : 0;
            int v = line[1 + i];
            switch (filter) {
                case 0: break;
                case 1: v += a; break;
                case 2: v += b; break;
                case 3: v += (a + b) / 2; break;
                case 4: v += Paeth(a, b, c); break;
                default: Fail("unknown filter type");
            }
            cur[i] = std::uint8_t(v);
        }
        for (std::uint32_t x = 0; x < width; ++x) {
            const std::uint8_t* p = &cur[std::size_t(x) * channels];
            std::uint32_t r, g, bl, al = 255;
            if (channels <= 2) {
                r = g = bl = p[0];
                if (channels == 2) al = p[1];
            } else {
                r = p[0], g = p[1], bl = p[2];
                if (channels == 4) al = p[3];
            }
            out.set(x, y, al << 24 | r << 16 | g << 8 | bl);
        }
        prev.swap(cur);
    }
    return out;
}

Pixels ReadPngFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("png: cannot open " + path);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return DecodePng(bytes.str());
}

}  // namespace hm::e2e
