#include "computer/dialog_panel.h"

#include <algorithm>

#include "base/text1250.h"
#include "computer/desktop_layout.h"

namespace hm {
namespace {

namespace tf = text_format;

constexpr ColorRef kWhite = RgbRef(255, 255, 255);
constexpr ColorRef kTitleBar = RgbRef(25, 43, 65);
constexpr ColorRef kPanel = RgbRef(248, 251, 255);
constexpr ColorRef kPlain = RgbRef(238, 243, 249);
constexpr ColorRef kPrimary = RgbRef(36, 100, 167);
constexpr UiRect kInspectionButton1{116, 648, 386, 680};
constexpr UiRect kInspectionButton2{414, 648, 694, 680};
constexpr UiRect kInspectionClose{676, 72, 720, 128};
constexpr UiRect kPanelClose{640, 160, 690, 220};
constexpr UiRect kScannerPrevious{150, 510, 210, 542};
constexpr UiRect kScannerNext{590, 510, 650, 542};

bool Inside(const UiRect& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }
bool Has(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }
std::wstring Wide(std::u16string_view t) { return std::wstring(t.begin(), t.end()); }
std::wstring Wide1250(std::string_view t) { return Wide(Cp1250ToUtf16(t)); }

bool IsScanner(const EditorState& s) { return s.screen_id == "scanner"; }
int RowsPerPage(const EditorState& s) { return IsScanner(s) ? kScannerRows : std::max<int>(1, int(s.items.size())); }
long long Pages(const EditorState& s) {
    if (!IsScanner(s)) return 1;
    return std::max<long long>(1, (static_cast<long long>(s.items.size()) + kScannerRows - 1) / kScannerRows);
}
UiRect RowRect(const EditorState& s, int row) {
    const int step = IsScanner(s) ? 42 : 54, height = IsScanner(s) ? 38 : 50;
    return {148, 240 + step * row, 662, 240 + step * row + height};
}

void AddButtonBox(DrawList& l, const UiRect& r, const std::wstring& label, ColorRef fill, ColorRef ink) {
    AddRoundFill(l, r, fill, 6);
    AddText(l, r, label, ink, tf::kLine | tf::kCenter);
}

void AddCloseGlyph(DrawList& l, const UiRect& r, ColorRef c) { AddText(l, r, L"✕", c, tf::kLine | tf::kCenter, DrawFont::kTitle); }

}  // namespace

bool IsDialogPanel(const EditorState& s) {
    return s.kind == screen_kind::kComputer && ChooseComputerLayout(s) == ComputerLayout::kDialogPanel;
}
bool IsIdentityCard(const EditorState& s) { return IsDialogPanel(s) && s.screen_id == "identity-card"; }
bool IsInspectionWithCard(const EditorState& s) {
    return IsDialogPanel(s) && s.screen_id == "field-inspection" && Has(s.content, "\\hmcard161 ");
}
bool IsDialogMenu(const EditorState& s) {
    return IsDialogPanel(s) && !IsIdentityCard(s) && !IsInspectionWithCard(s) && IsMenuSubMode(int(s.Flags() & 7u));
}
int CardPicture(const EditorState& s) { return Has(s.content, "COUNTRYSIDE") ? 1 : 0; }

MaskDocument DialogMaskDocument(const EditorState& s) {
    if (!IsDialogPanel(s)) return MaskDocument::kNone;
    if (IsIdentityCard(s)) return MaskDocument::kIdentityCard;
    if (s.screen_id == "field-inspection")
        return IsInspectionWithCard(s) ? MaskDocument::kInspectionWithCard : MaskDocument::kInspectionWithoutCard;
    if (s.screen_id == "identity-dialog") return MaskDocument::kIdentityDialog;
    return MaskDocument::kNone;  // drawn over the screen behind them
}

CardTextLines FindCardLines(std::u16string_view text) {
    CardTextLines lines;
    const auto line_start = [&](std::size_t at) {
        while (at > 0 && text[at - 1] != u'\r' && text[at - 1] != u'\n' && text[at - 1] != u'\v') --at;
        return long(at);
    };
    const std::size_t state = text.find(u"STATE OF SAN ANDREAS");
    if (state == std::u16string_view::npos) return lines;
    lines.state_line = line_start(state);
    const std::size_t popis = text.find(u"Popis:");
    if (popis != std::u16string_view::npos) lines.popis_line = line_start(popis);
    return lines;
}

std::optional<UiRect> CardDecoration(int control_left, std::optional<int> state_top, std::optional<int> popis_top) {
    if (!state_top) return std::nullopt;
    const int top = *state_top - 8;
    int bottom = *state_top + 352;
    if (popis_top && *popis_top - 10 > top) bottom = *popis_top - 10;
    const int left = control_left + 1;
    return UiRect{left, top, left + 500, bottom};
}

DrawList BuildDialogPanelDrawList(const EditorState& s, const DesktopView& v, const std::optional<UiRect>& card_area,
                                  Backdrop behind, const std::wstring& clock) {
    DrawList l;
    if (IsIdentityCard(s) || IsInspectionWithCard(s) || s.screen_id == "identity-dialog" ||
        s.screen_id == "field-inspection" || behind == Backdrop::kNone)
        AddFill(l, {0, 0, 810, 760}, kPlain);
    else
        AddBackdrop(l, behind, clock);
    if (IsIdentityCard(s)) {
        if (card_area) {
            DrawOp card;
            card.kind = DrawOpKind::kEmbeddedPicture;
            card.r = *card_area;
            card.glyph = CardPicture(s);
            l.push_back(card);
        }
        AddCloseGlyph(l, {662, 194, 694, 226}, RgbRef(28, 57, 88));
        return l;
    }
    if (IsInspectionWithCard(s)) {
        const UiRect& p = kInspectionPanel;
        AddRoundFill(l, p, kPanel, 12);
        AddFill(l, {p.left, p.top, p.right, 128}, kTitleBar);
        AddText(l, {112, 82, 672, 120}, Wide1250(s.title), kWhite, tf::kLine, DrawFont::kTitle);
        AddCloseGlyph(l, {676, 80, 710, 120}, kWhite);
        if (!s.buttons[0].empty()) AddButtonBox(l, kInspectionButton1, Wide1250(s.buttons[0]), kPrimary, kWhite);
        if (!s.buttons[1].empty())
            AddButtonBox(l, kInspectionButton2, Wide1250(s.buttons[1]), RgbRef(223, 230, 237), RgbRef(30, 45, 60));
        return l;
    }
    const UiRect& p = kDialogPanel;
    AddRoundFill(l, p, kPanel, 12);
    AddFill(l, {p.left, p.top, p.right, 220}, kTitleBar);
    AddText(l, {146, 166, 634, 214}, Wide1250(s.title), kWhite, tf::kLine, DrawFont::kTitle);
    AddCloseGlyph(l, kPanelClose, kWhite);
    if (IsDialogMenu(s)) {
        if (s.items.empty() && IsScanner(s))
            AddText(l, {148, 240, 662, 290}, L"Nemáš u sebe žádnou písemnost.", RgbRef(97, 113, 131), tf::kLine);
        const int per = RowsPerPage(s);
        const long long page = std::clamp<long long>(v.page, 0, Pages(s) - 1);
        for (int row = 0; row < per; ++row) {
            const long long i = page * per + row;
            if (i >= static_cast<long long>(s.items.size())) break;
            const UiRect r = RowRect(s, row);
            if (r.bottom > 548) break;  // only what the panel holds above its button
            AddFill(l, r, i == v.selected ? RgbRef(216, 233, 251) : RgbRef(234, 240, 247));
            AddText(l, {r.left + 12, r.top, r.right - 8, r.bottom}, Wide(DisplayLabel(s.items[std::size_t(i)].label)),
                    RgbRef(29, 54, 79), tf::kLine);
        }
        if (IsScanner(s) && s.items.size() > std::size_t(kScannerRows)) {
            AddButton(l, kScannerPrevious, L"‹", false, s.Flags());
            AddButton(l, kScannerNext, L"›", false, s.Flags());
            AddText(l, {210, 510, 590, 542}, PageText(page, Pages(s)), RgbRef(27, 46, 69), tf::kLine | tf::kCenter);
        }
    }
    if (!s.buttons[0].empty()) AddButtonBox(l, kDialogButton, Wide1250(s.buttons[0]), kPrimary, kWhite);
    return l;
}

DialogInput DialogPress(DesktopView& v, const EditorState& s, int x, int y, Tick now, bool double_click_message) {
    DialogInput in;
    if (x < 0 || y < 0 || x >= 810 || y >= 760) return in;
    if (IsIdentityCard(s)) {
        if (Inside(kCardClose, x, y)) in = {true, 1};
        return in;
    }
    if (IsInspectionWithCard(s)) {
        if (y >= 648 && y < 690) {
            const int button = x < 405 ? 1 : 2;
            in.handled = true;
            if (!s.buttons[std::size_t(button - 1)].empty()) in.answer = button;
        } else if (Inside(kInspectionClose, x, y)) {
            in = {true, 2};
        }
        return in;
    }
    if (Inside(kPanelClose, x, y)) return {true, CloseAnswer(s)};
    if (Inside(kDialogButton, x, y)) {
        in.handled = true;
        if (!s.buttons[0].empty()) in.answer = 1;
        return in;
    }
    if (!IsDialogMenu(s)) return in;
    if (IsScanner(s) && s.items.size() > std::size_t(kScannerRows)) {
        if (Inside(kScannerPrevious, x, y)) {
            v.page = std::max<long long>(0, v.page - 1);
            return {true, std::nullopt};
        }
        if (Inside(kScannerNext, x, y)) {
            v.page = std::min(Pages(s) - 1, v.page + 1);
            return {true, std::nullopt};
        }
    }
    const int per = RowsPerPage(s);
    const long long page = std::clamp<long long>(v.page, 0, Pages(s) - 1);
    for (int row = 0; row < per; ++row) {
        const UiRect r = RowRect(s, row);
        if (r.bottom > 548) break;
        if (!Inside(r, x, y)) continue;
        in.handled = true;
        const long long i = page * per + row;
        if (i >= static_cast<long long>(s.items.size())) return in;
        if (PressRow(v, i, now, double_click_message)) in.answer = 1;
        return in;
    }
    return in;
}

DialogInput DialogKey(DesktopView& v, const EditorState& s, std::uint32_t vk) {
    DialogInput in;
    if (!IsDialogMenu(s) || (vk != 0x26 && vk != 0x28) || s.items.empty()) return in;
    in.handled = true;
    const int last = int(s.items.size()) - 1;
    v.selected = v.selected < 0 ? 0 : std::clamp(v.selected + (vk == 0x26 ? -1 : 1), 0, last);
    if (IsScanner(s)) v.page = v.selected / kScannerRows;
    return in;
}

}  // namespace hm
