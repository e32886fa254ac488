#include "computer/legacy_grid.h"

#include <algorithm>

#include "base/text1250.h"
#include "computer/desktop_layout.h"

namespace hm {
namespace {

namespace df = desktop_flag;
namespace tf = text_format;

constexpr ColorRef kTileDark = RgbRef(220, 234, 247);
constexpr ColorRef kTilePlain = RgbRef(250, 252, 255);
constexpr ColorRef kLabel = RgbRef(30, 58, 92);
constexpr int kBandTop = 90, kBandBottom = 665;

bool Compact(const EditorState& s) { return AnyBit(s.Flags(), df::kCompact); }
bool Inside(const UiRect& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }
std::wstring Wide(std::u16string_view t) { return std::wstring(t.begin(), t.end()); }

long long ItemCount(const EditorState& s) { return static_cast<long long>(s.items.size()); }

void Select(DesktopView& v, const EditorState& s, long long index) {
    if (s.items.empty()) return;
    v.selected = int(std::clamp<long long>(index, 0, ItemCount(s) - 1));
    v.page = v.selected / LegacyPerPage(s);
}

void TurnPage(DesktopView& v, const EditorState& s, int step) {
    v.page = std::clamp<long long>(v.page + step, 0, LegacyPages(s) - 1);
}

// The band as strips of one colour each: the colour changes every few rows, never between.
void AddBand(DrawList& l, const EditorState& s, bool light) {
    const int left = Compact(s) ? 230 : 24, right = Compact(s) ? 580 : 786;
    // The dark band reaches under the pager row (646..677), whose light page text would
    // otherwise stand half on the window's light background.
    const int bottom = !light && ItemCount(s) > LegacyPerPage(s) ? kLegacyPrevious.bottom : kBandBottom;
    int top = kBandTop;
    ColorRef colour = LegacyBandColour(top, light);
    for (int y = kBandTop + 1; y <= bottom; ++y) {
        const ColorRef next = y < bottom ? LegacyBandColour(y, light) : ColorRef(~colour);
        if (next == colour) continue;
        AddFill(l, {left, top, right, y}, colour);
        top = y;
        colour = next;
    }
}

}  // namespace

bool IsLegacyGrid(const EditorState& s) {
    // A menu with an initial text also holds a text box: drawn by the frame.
    return s.kind == screen_kind::kComputer && WindowLayout(s) == ComputerLayout::kLegacyGrid &&
           s.initial_text.empty();
}

LegacyTheme LegacyThemeOf(const EditorState& s) {
    if (!AnyBit(s.Flags(), df::kIconStyle)) return LegacyTheme::kPlain;
    return AnyBit(s.Flags(), df::kWeb) ? LegacyTheme::kLight : LegacyTheme::kDark;
}

int LegacyPerPage(const EditorState& s) { return Compact(s) ? 6 : 16; }
int LegacyColumns(const EditorState& s) { return Compact(s) ? 2 : 4; }

long long LegacyPages(const EditorState& s) {
    const long long per = LegacyPerPage(s);
    return std::max<long long>(1, (ItemCount(s) + per - 1) / per);
}

UiRect LegacyTileRect(const EditorState& s, int i) {
    const int c = i % LegacyColumns(s), r = i / LegacyColumns(s);
    if (Compact(s)) {
        const int x = 236 + 164 * c, y = 170 + 144 * r;
        return {x, y, x + 154, y + 118};
    }
    const int x = 40 + 184 * c, y = 126 + 132 * r;
    return {x, y, x + 172, y + 118};
}

UiRect LegacyPreviousRect(const EditorState& s) { return Compact(s) ? kCompactLegacyPrevious : kLegacyPrevious; }
UiRect LegacyNextRect(const EditorState& s) { return Compact(s) ? kCompactLegacyNext : kLegacyNext; }

ColorRef LegacyBandColour(int y, bool light) {
    if (light) return RgbRef(244 - y / 80, 248 - y / 95, 252 - y / 110);
    return RgbRef(25 + y / 35, 52 + y / 22, 80 + y / 15);
}

DrawList BuildLegacyGridDrawList(const EditorState& s, const DesktopView& v, const DesktopDrawContext& c) {
    DrawList l;
    AddComputerWindowTop(l, s);
    const LegacyTheme theme = LegacyThemeOf(s);
    // The title strip over the band: across the window, inset by 16 px (compact) as at full size.
    const UiRect strip = Compact(s) ? UiRect{246, 96, 564, 120} : UiRect{40, 96, 770, 120};
    const UiRect strip_text{strip.left + 8, strip.top, strip.right - 8, strip.bottom};
    if (theme == LegacyTheme::kLight) {
        AddBand(l, s, true);
        AddFill(l, strip, RgbRef(255, 255, 255));
        const std::wstring address =
            s.caption.empty() ? std::wstring(L"◉   CoogLe.sa   /   Internet") : L"◉   " + Cp1250ToWide(s.caption);
        AddText(l, strip_text, address, kLabel, tf::kLine);
    } else if (theme == LegacyTheme::kDark) {
        AddBand(l, s, false);
        AddText(l, strip_text, L"HM OS   /   Pracovní plocha", RgbRef(214, 231, 248), tf::kLine);
    }
    const bool desktop_rule = AnyBit(s.Flags(), df::kIconStyle);
    const int per = LegacyPerPage(s);
    const long long page = std::clamp<long long>(v.page, 0, LegacyPages(s) - 1);
    for (int i = 0; i < per && page * per + i < ItemCount(s); ++i) {
        const long long index = page * per + i;
        const EditorItem& e = s.items[std::size_t(index)];
        const UiRect t = LegacyTileRect(s, i);
        const ColorRef fill = index == v.selected           ? kTileSelected
                              : theme == LegacyTheme::kDark ? kTileDark
                                                            : kTilePlain;
        AddRoundFill(l, t, fill, 12);
        DrawOp glyph;
        glyph.kind = DrawOpKind::kGlyph;
        const int centre = (t.left + t.right) / 2;
        glyph.r = {centre - 23, t.top + 14, centre + 23, t.top + 60};
        glyph.glyph = ItemGlyph(s, e, desktop_rule);
        l.push_back(std::move(glyph));
        AddText(l, {t.left + 6, t.top + 66, t.right - 6, t.top + 112}, Wide(DisplayLabel(e.label)), kLabel,
                tf::kWrap | tf::kCenter);
    }
    if (ItemCount(s) > per)
        AddPager(l, LegacyPreviousRect(s), LegacyNextRect(s), page, LegacyPages(s),
                 theme == LegacyTheme::kDark ? RgbRef(214, 231, 248) : RgbRef(27, 46, 69), s.Flags());
    AddComputerWindowBottom(l, s, c);
    return l;
}

ListInput LegacyGridPress(DesktopView& v, const EditorState& s, int x, int y, Tick now, bool double_click_message) {
    ListInput in;
    if (!PressReachesContent(s, x, y, in)) return in;
    const int per = LegacyPerPage(s);
    if (ItemCount(s) > per) {
        if (Inside(LegacyPreviousRect(s), x, y)) {
            TurnPage(v, s, -1);
            return in;
        }
        if (Inside(LegacyNextRect(s), x, y)) {
            TurnPage(v, s, 1);
            return in;
        }
    }
    const long long page = std::clamp<long long>(v.page, 0, LegacyPages(s) - 1);
    for (int i = 0; i < per; ++i) {
        if (!Inside(LegacyTileRect(s, i), x, y)) continue;
        const long long index = page * per + i;
        if (index < ItemCount(s) && PressRow(v, index, now, double_click_message)) in.answer = 1;
        return in;
    }
    return in;
}

ListInput LegacyGridWheel(DesktopView& v, const EditorState& s, int wheel_delta) {
    ListInput in;
    in.redraw = true;
    if (wheel_delta != 0) TurnPage(v, s, wheel_delta > 0 ? -1 : 1);
    return in;
}

ListInput LegacyGridKey(DesktopView& v, const EditorState& s, std::uint32_t vk) {
    ListInput in;
    in.redraw = true;
    const long long at = v.selected;
    switch (vk) {
        case 0x0D: in.answer = 1; break;
        case 0x1B: in.answer = CloseAnswer(s); break;
        case 0x21: TurnPage(v, s, -1); break;
        case 0x22: TurnPage(v, s, 1); break;
        case 0x25: Select(v, s, at < 0 ? 0 : at - 1); break;
        case 0x27: Select(v, s, at < 0 ? 0 : at + 1); break;
        case 0x26: Select(v, s, at < 0 ? 0 : at - LegacyColumns(s)); break;
        case 0x28: Select(v, s, at < 0 ? 0 : at + LegacyColumns(s)); break;
        default: in.redraw = false; break;
    }
    return in;
}

}  // namespace hm
