#include "ui/drawing.h"

namespace hm {

ButtonColours ButtonColoursFor(bool primary, std::uint32_t screen_flags) {
    const bool alternate = (screen_flags & kAlternatePaletteFlag) != 0;
    if (primary) return {alternate ? 0x3A6180u : 0xAA6022u, 0xFFFFFFu};
    return {alternate ? 0xAEC7D5u : 0xF0EAE5u, 0x4E3C2Cu};
}

void ApplyRestoreBarAlpha(Pixels& frame) {
    const int w = int(frame.width()), h = int(frame.height());
    for (int y = 0; y < h; ++y) {
        std::uint8_t* row = frame.row(std::uint32_t(y));
        const bool bar_row = y >= kRestoreBar.top && y < kRestoreBar.bottom;
        for (int x = 0; x < w; ++x)
            row[x * 4 + 3] = (bar_row && x >= kRestoreBar.left && x < kRestoreBar.right) ? 255 : 0;
    }
}

ColorRef EmbeddedPictureBackground(int index) { return index == 1 ? 0xE9F4E8u : 0xDDF2F9u; }

}  // namespace hm
