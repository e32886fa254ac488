#include "ui/embedded_pictures.h"

#include "ui/embedded_pictures_data.h"

namespace hm {

ByteView EmbeddedPictureBytes(int index) {
    switch (index) {
        case 0: return {kEmbeddedPicture0, sizeof kEmbeddedPicture0};
        case 1: return {kEmbeddedPicture1, sizeof kEmbeddedPicture1};
        default: return {};
    }
}

bool ReadJpegSize(ByteView jpeg, int& width, int& height) {
    const std::uint8_t* p = jpeg.data;
    const std::size_t n = jpeg.size;
    if (n < 4 || p[0] != 0xFF || p[1] != 0xD8) return false;
    std::size_t i = 2;
    while (i + 4 <= n) {
        if (p[i] != 0xFF) return false;
        const std::uint8_t marker = p[i + 1];
        if (marker == 0xFF) {  // fill byte
            ++i;
            continue;
        }
        const std::size_t length = std::size_t(p[i + 2]) << 8 | p[i + 3];
        if (length < 2 || i + 2 + length > n) return false;
        const bool frame_header = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame_header) {
            if (length < 7) return false;
            height = int(p[i + 5]) << 8 | p[i + 6];
            width = int(p[i + 7]) << 8 | p[i + 8];
            return true;
        }
        if (marker == 0xDA || marker == 0xD9) return false;  // scan or end before any frame header
        i += 2 + length;
    }
    return false;
}

}  // namespace hm
