#include "ui/png_file.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <stdexcept>

namespace hm {

namespace {

const std::array<std::uint32_t, 256>& CrcTable() {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    return table;
}

void PutBe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(std::uint8_t(v >> 24));
    out.push_back(std::uint8_t(v >> 16));
    out.push_back(std::uint8_t(v >> 8));
    out.push_back(std::uint8_t(v));
}

void PutChunk(std::vector<std::uint8_t>& out, const char type[5], const std::vector<std::uint8_t>& body) {
    PutBe32(out, std::uint32_t(body.size()));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), body.begin(), body.end());
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = start; i < out.size(); ++i) crc = CrcTable()[(crc ^ out[i]) & 0xFF] ^ (crc >> 8);
    PutBe32(out, crc ^ 0xFFFFFFFFu);
}

}  // namespace

std::vector<std::uint8_t> EncodePng(const Pixels& picture) {
    const std::uint32_t w = picture.width(), h = picture.height();
    // Filter byte 0 then RGBA for every row.
    std::vector<std::uint8_t> raw;
    raw.reserve(std::size_t(h) * (std::size_t(w) * 4 + 1));
    for (std::uint32_t y = 0; y < h; ++y) {
        raw.push_back(0);
        const std::uint8_t* row = picture.row(y);
        for (std::uint32_t x = 0; x < w; ++x) {
            const std::uint8_t* p = row + x * 4;
            raw.insert(raw.end(), {p[2], p[1], p[0], p[3]});
        }
    }
    // zlib stream of stored blocks of at most 65535 bytes.
    std::vector<std::uint8_t> z = {0x78, 0x01};
    std::size_t pos = 0;
    do {
        const std::size_t n = std::min<std::size_t>(65535, raw.size() - pos);
        const bool last = pos + n == raw.size();
        z.push_back(last ? 1 : 0);
        z.insert(z.end(), {std::uint8_t(n), std::uint8_t(n >> 8), std::uint8_t(~n), std::uint8_t(~n >> 8)});
        z.insert(z.end(), raw.begin() + std::ptrdiff_t(pos), raw.begin() + std::ptrdiff_t(pos + n));
        pos += n;
    } while (pos < raw.size());
    std::uint32_t a = 1, b = 0;
    for (std::uint8_t v : raw) {
        a = (a + v) % 65521;
        b = (b + a) % 65521;
    }
    PutBe32(z, (b << 16) | a);

    std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> header;
    PutBe32(header, w);
    PutBe32(header, h);
    header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, no filter, no interlace
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", z);
    PutChunk(png, "IEND", {});
    return png;
}

void WritePngFile(const std::string& path, const Pixels& picture) {
    const std::vector<std::uint8_t> bytes = EncodePng(picture);
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    f.close();
    if (!f) throw std::runtime_error("cannot write PNG file");
}

}  // namespace hm
