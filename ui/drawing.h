// Portable choices of the drawing helpers: fonts, button palettes, the restore bar, the
// embedded pictures' backgrounds. draw_win.h does the GDI work with them.
#pragma once

#include <cstdint>

#include "base/pixels.h"
#include "ui/colour.h"

namespace hm {

struct UiRect {
    int left, top, right, bottom;  // right and bottom exclusive
};

struct FontSpec {
    const wchar_t* face;
    int height;  // CreateFontW height: negative = character height, positive = cell height
    int weight;
    bool italic;
};
constexpr FontSpec kBodyFont{L"Segoe UI", -16, 400, false};
constexpr FontSpec kTitleFont{L"Segoe UI", -19, 600, false};
constexpr FontSpec kSignatureFont{L"Segoe Script", -23, 700, true};
constexpr FontSpec kBannerFont{L"Segoe UI", 24, 400, false};
constexpr FontSpec kBannerBadgeFont{L"Segoe UI", 16, 700, false};

// Buttons: bit 0x200000 of the screen's flag word selects the alternate palette.
constexpr std::uint32_t kAlternatePaletteFlag = 0x200000;
constexpr int kButtonCornerDiameter = 14;
struct ButtonColours {
    ColorRef fill;
    ColorRef label;
};
ButtonColours ButtonColoursFor(bool primary, std::uint32_t screen_flags);

// The restore bar of a minimised computer.
constexpr UiRect kRestoreBar{24, 712, 330, 752};
constexpr UiRect kRestoreBarText{38, 714, 316, 750};
constexpr ColorRef kRestoreBarColour = 0x563519;
constexpr ColorRef kRestoreBarTextColour = 0xFFFFFF;
constexpr int kRestoreBarDiameter = 8;
constexpr const wchar_t* kRestoreBarLabel = L"\u25A3  Počítač \u2014 obnovit";

// Alpha of a restore-bar frame: 255 on the bar's rectangle, 0 everywhere else.
void ApplyRestoreBarAlpha(Pixels& frame);

// The rounded background under an embedded picture, also what remains when it cannot be decoded.
ColorRef EmbeddedPictureBackground(int index);
constexpr int kEmbeddedPictureDiameter = 20;

}  // namespace hm
