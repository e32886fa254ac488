#include "ui/banner_win.h"

#include <windows.h>

#include <stdexcept>

#include "ui/banner.h"
#include "ui/canvas_win.h"
#include "ui/draw_win.h"

namespace hm {

int MeasureBannerText(const std::wstring& text) {
    UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
    if (!dc) throw std::runtime_error("cannot create drawing surface");
    UniqueFont font = CreateUiFont(kBannerFont);
    SelectedObject with_font(dc.get(), font.get());
    RECT r{0, 0, kBannerTextWidth, 0};
    DrawTextW(dc.get(), text.c_str(), int(text.size()), &r, DT_NOPREFIX | DT_CALCRECT | DT_WORDBREAK);
    return r.bottom - r.top;
}

PixelsRef RenderBannerBitmap(const std::wstring& text) {
    if (text.empty()) return nullptr;
    const int height = BannerHeight(MeasureBannerText(text));
    DibCanvas canvas(kBannerWidth, height);
    HDC dc = canvas.dc();

    for (int row = 0; row < height; ++row) FillSolidRect(dc, 0, row, kBannerWidth, row + 1, BannerRowColour(row, height));

    FillSolidRect(dc, 0, 0, kBannerStripWidth, height, kBannerAccent);
    {
        UniqueBrush brush(CreateSolidBrush(kBannerAccent));
        SelectedObject with_brush(dc, brush.get());
        SelectedObject no_outline(dc, GetStockObject(NULL_PEN));
        RoundRect(dc, kBannerBadge.left, kBannerBadge.top, kBannerBadge.right, kBannerBadge.bottom,
                  kBannerBadgeDiameter, kBannerBadgeDiameter);
    }
    UniqueFont badge_font = CreateUiFont(kBannerBadgeFont);
    UniqueFont text_font = CreateUiFont(kBannerFont);
    DrawTextInRect(dc, badge_font.get(), kBannerBadge.left, kBannerBadge.top, kBannerBadge.right, kBannerBadge.bottom,
                   L"HM", kBannerBadgeText, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    const BannerRect m = BannerMessageRect(height);
    DrawTextInRect(dc, text_font.get(), m.left, m.top, m.right, m.bottom, text, kBannerText,
                   DT_NOPREFIX | DT_WORDBREAK);
    // The fonts are deleted below; put the DC's own font back first.
    SelectObject(dc, GetStockObject(SYSTEM_FONT));
    return canvas.ToPixels();
}

}  // namespace hm

namespace hm {

bool RefreshBannerLayer(BannerLayer& layer, std::mutex& lock, const NoticeState& notices, Tick now,
                        const BannerInputs& in) {
    if (!UpdateBannerText(layer.reader, lock, notices, now, in)) return false;
    layer.bitmap = RenderBannerBitmap(layer.reader.text);
    layer.reader.shown = layer.reader.text;
    return true;
}

void ResetBannerLayer(BannerLayer& layer) {
    layer.reader.shown.clear();
    layer.bitmap.reset();
}

}  // namespace hm
