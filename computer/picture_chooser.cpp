#include "computer/picture_chooser.h"

#include <algorithm>

#include "computer/desktop_layout.h"
#include "computer/editor_view.h"

namespace hm {
namespace {

namespace tf = text_format;

std::wstring Wide(std::u16string_view t) { return std::wstring(t.begin(), t.end()); }

constexpr UiRect kPanel{64, 60, 746, 676};
constexpr UiRect kCloseCorner{680, 60, 730, 120};

int Pages(const EditorState& s) {
    return std::max(1, int((s.items.size() + kChooserPictureRows - 1) / kChooserPictureRows));
}

UiRect Row(int row) {
    const int top = kChooserPictureTop + kChooserPictureStep * row;
    return {80, top, 730, top + kChooserPictureHeight};
}

}  // namespace

bool TakesWebImages(const EditorState& s) { return (s.Flags() & kTakesWebImagesFlag) != 0; }
bool OpensChooserAtOnce(const EditorState& s) { return TakesWebImages(s) && (s.Flags() & kOpenChooserFlag) != 0; }

bool OpensChooserButton(const EditorState& s, int x, int y) {
    return TakesWebImages(s) && s.kind != screen_kind::kSignatureSheet && BottomButton(2).Contains(x, y);
}

DrawList BuildPictureChooserDrawList(const EditorState& s, const PictureChooser& c) {
    DrawList l;
    if (!c.open) return l;
    AddRoundFill(l, kPanel, RgbRef(248, 251, 255), 12);
    AddFill(l, {kPanel.left, kPanel.top, kPanel.right, 120}, RgbRef(25, 43, 65));
    AddText(l, {90, kPanel.top, 670, 120}, L"Obrázky a skicy v počítači", RgbRef(255, 255, 255), tf::kLine,
            DrawFont::kTitle);
    AddText(l, kCloseCorner, L"✕", RgbRef(255, 255, 255), tf::kLine | tf::kCenter, DrawFont::kTitle);
    if (s.items.empty())
        AddText(l, {90, kChooserPictureTop, 720, kChooserPictureTop + 64},
                L"Nejdřív naskenuj fotografii nebo skicu do dokumentů tohoto účtu.", RgbRef(97, 113, 131), tf::kWrap);
    const int page = std::clamp(c.page, 0, Pages(s) - 1);
    for (int row = 0; row < kChooserPictureRows; ++row) {
        const std::size_t i = std::size_t(page) * kChooserPictureRows + std::size_t(row);
        if (i >= s.items.size()) break;
        const UiRect r = Row(row);
        AddFill(l, r, RgbRef(234, 240, 247));
        AddText(l, {r.left + 14, r.top, r.right - 10, r.bottom}, Wide(DisplayLabel(s.items[i].label)), RgbRef(29, 54, 79),
                tf::kLine);
    }
    if (Pages(s) > 1)
        AddText(l, {90, 600, 720, 626}, PageText(page, Pages(s)), RgbRef(27, 46, 69), tf::kLine | tf::kCenter);
    AddText(l, {90, 626, 720, 660}, L"Kliknutím vložíš · Kolečkem listuješ · Esc zpět", RgbRef(89, 107, 129),
            tf::kLine | tf::kCenter);
    return l;
}

ChooserOutcome ChooserPress(PictureChooser& c, const EditorState& s, int x, int y) {
    ChooserOutcome out;
    if (!c.open) return out;
    out.handled = true;
    if (x >= 680 && x < 730 && y < 120) {
        c.open = false;
        return out;
    }
    if (x < 80 || x >= 730 || y < kChooserPictureTop || y >= 618) return out;
    const int row = (y - kChooserPictureTop) / kChooserPictureStep;
    if (y >= Row(row).bottom) return out;  // between rows
    const std::size_t i = std::size_t(std::clamp(c.page, 0, Pages(s) - 1)) * kChooserPictureRows + std::size_t(row);
    if (i >= s.items.size()) return out;
    c.open = false;
    const EditorItem& item = s.items[i];
    if (item.tag == "sketch") out.web_image = item.id;
    else out.insert_text = L"\r\n[HMIMG:" + std::to_wstring(item.id) + L"]\r\n";
    return out;
}

ChooserOutcome ChooserWheel(PictureChooser& c, const EditorState& s, int wheel_delta) {
    ChooserOutcome out;
    if (!c.open) return out;
    out.handled = true;
    if (wheel_delta > 0) c.page = std::max(0, c.page - 1);
    else if (wheel_delta < 0) c.page = std::min(Pages(s) - 1, c.page + 1);
    return out;
}

ChooserOutcome ChooserKey(PictureChooser& c, std::uint32_t vk) {
    ChooserOutcome out;
    if (!c.open) return out;
    out.handled = true;
    if (vk == 0x1B) c.open = false;
    return out;
}

}  // namespace hm
