#include "computer/desktop_draw.h"

#include <algorithm>

#include "base/text1250.h"

namespace hm {
namespace {

namespace df = desktop_flag;
namespace tf = text_format;

std::wstring Wide(std::u16string_view t) { return std::wstring(t.begin(), t.end()); }
std::wstring Wide1250(std::string_view t) { return Wide(Cp1250ToUtf16(t)); }
bool StartsWith(std::string_view text, std::string_view part) { return text.substr(0, part.size()) == part; }

std::wstring HeaderText(const EditorState& s, ComputerLayout layout) {
    const std::uint32_t f = s.Flags();
    if (layout == ComputerLayout::kWebDesktop || AnyBit(f, df::kInstitution) ||
        StartsWith(s.screen_id, "desktop:hospic:") || s.screen_id == "mechanic-workbench" || AnyBit(f, 0x8800000u))
        return Wide1250(s.title);
    return L"Počítač";
}

std::wstring SubheaderText(const EditorState& s) {
    const std::uint32_t f = s.Flags();
    if (AnyBit(f, df::kInstitution)) return Wide1250(s.caption);
    if (AnyBit(f, df::kFolders)) return L"Složky a dokumenty";
    if (s.screen_id == "mechanic-workbench") return L"Vyber nářadí pro další krok opravy.";
    return L"Pracovní plocha";
}

std::wstring WebAddress(const EditorState& s) {
    return L"◉   " + (s.caption.empty() ? std::wstring(L"CoogLe.sa") : Wide1250(s.caption));
}

// A square picture of the icon painter: a glyph or a tool, by number.
void AddSquare(DrawList& l, DrawOpKind kind, int left, int top, int size, int number) {
    DrawOp op;
    op.kind = kind;
    op.r = {left, top, left + size, top + size};
    op.glyph = number;
    l.push_back(std::move(op));
}

void AddGlyph(DrawList& l, int left, int top, int size, int glyph) {
    AddSquare(l, DrawOpKind::kGlyph, left, top, size, glyph);
}

void AddCover(DrawList& l, UiRect r, CoverKind kind) {
    DrawOp op;
    op.kind = DrawOpKind::kCover;
    op.r = r;
    op.glyph = int(kind);
    l.push_back(std::move(op));
}

void AddTool(DrawList& l, int left, int top, int size, int tool) {
    AddSquare(l, DrawOpKind::kTool, left, top, size, tool);
}

constexpr int kToolSize = 56;

// Board with its lines, the shelf under it and three trays below.
void AddWorkbench(DrawList& l) {
    const UiRect& b = kWorkbenchBoard;
    AddRoundFill(l, b, kWorkbenchBoardColour, 6);
    for (int y = b.top + kWorkbenchLineStep; y < b.bottom; y += kWorkbenchLineStep)
        AddFill(l, {b.left + 4, y, b.right - 4, y + 2}, kWorkbenchLineColour);
    AddFill(l, {b.left - 4, b.bottom, b.right + 4, b.bottom + 14}, kWorkbenchShelf);
    AddFill(l, {b.left - 4, b.bottom + 14, b.right + 4, b.bottom + 18}, RgbRef(70, 47, 30));
    const int width = (b.right - b.left - 2 * 14) / 3;
    for (int i = 0; i < 3; ++i) {
        const int left = b.left + i * (width + 14);
        AddRoundFill(l, {left, 408, left + width, 574}, kWorkbenchTray, 8);
        AddFill(l, {left + 8, 416, left + width - 8, 566}, kWorkbenchTrayInside);
    }
}

void AddWorkbenchTile(DrawList& l, const UiRect& cell, const EditorItem& e, bool selected) {
    const UiRect r{cell.left, cell.top, cell.left + kWorkbenchTileWidth, cell.top + kWorkbenchTileHeight};
    AddRoundFill(l, r, selected ? kWorkbenchTileSelected : kWorkbenchTile, 10);
    const int centre = (r.left + r.right) / 2;
    AddTool(l, centre - kToolSize / 2, r.top + 4, kToolSize, WorkbenchTool(e));
    AddText(l, {r.left + 4, r.top + 62, r.right - 4, r.bottom - 2}, Wide(DisplayLabel(e.label)), RgbRef(255, 255, 255),
            tf::kWrap | tf::kCenter, DrawFont::kSmall);
}

void AddTiles(DrawList& l, const EditorState& s, const DesktopView& v) {
    const DesktopPlacement& p = v.placement;
    const long long first = v.page * p.per_page;
    const bool carried = AnyBit(s.Flags(), df::kCarried);
    const bool bench = IsWorkbench(s);
    for (auto it = p.at.lower_bound(first); it != p.at.end() && it->first < first + p.per_page; ++it) {
        const int index = int(it->first - first);
        const int item = it->second;
        if (v.dragging && item == v.press_item) continue;  // drawn at the cursor
        const EditorItem& e = s.items[std::size_t(item)];
        const UiRect r = DesktopTileRect(s, index);
        const bool selected = item == v.selected;
        if (carried) {
            AddRoundFill(l, r, selected ? kCardSelected : kCardColour, 12);
            AddCover(l, {r.left + 16, r.top + 20, r.left + 82, r.top + 120}, CoverFor(e));
            AddText(l, {r.left + 104, r.top + 14, r.right - 12, r.top + 122}, Wide(DisplayLabel(e.label)),
                    RgbRef(82, 61, 39), tf::kWrap);
            continue;
        }
        if (bench) {
            AddWorkbenchTile(l, r, e, selected);
            continue;
        }
        if (selected) AddRoundFill(l, r, kTileSelected, 14);
        AddGlyph(l, r.left + 52, r.top + 6, kSlotIconSize, ItemGlyph(s, e, true));
        AddText(l, {r.left + 4, r.top + 50, r.right - 4, r.bottom}, Wide(DisplayLabel(e.label)), RgbRef(20, 33, 52),
                tf::kWrap | tf::kCenter, DrawFont::kSmall);
    }
    if (v.dragging && v.press_item >= 0 && bench) {
        AddTool(l, v.cursor_x - kToolSize / 2, v.cursor_y - kToolSize / 2, kToolSize,
                WorkbenchTool(s.items[std::size_t(v.press_item)]));
    } else if (v.dragging && v.press_item >= 0 && !carried) {
        const EditorItem& e = s.items[std::size_t(v.press_item)];
        AddGlyph(l, v.cursor_x - kSlotIconSize / 2, v.cursor_y - kSlotIconSize / 2, kSlotIconSize, ItemGlyph(s, e, true));
    }
}

void AddPaging(DrawList& l, const EditorState& s, const DesktopView& v) {
    const DesktopPlacement& p = v.placement;
    if (p.pages <= 1) return;
    const UiRect row = PagingRow(s, p);
    AddButton(l, {40, row.top, 136, row.bottom}, L"‹", false, s.Flags());
    AddButton(l, {674, row.top, 770, row.bottom}, L"›", false, s.Flags());
    AddText(l, {136, row.top, 674, row.bottom}, PageText(v.page, p.pages), kDesktopHeaderText, tf::kLine | tf::kCenter);
}

void AddBottomRow(DrawList& l, const EditorState& s, const DesktopView& v, const DesktopDrawContext& c) {
    const DesktopPlacement& p = v.placement;
    if (p.home >= 0) AddButton(l, HomeButtonRect(), L"Domů", false, s.Flags());
    if (p.logout >= 0) AddButton(l, LogoutButtonRect(p.home >= 0), L"Odhlásit se", false, s.Flags());
    // Without a status line a failed icon move would go unseen.
    const std::wstring status = c.submitted ? std::wstring(L"Načítání…") : c.status;
    AddText(l, kDesktopStatusLine, status, kDesktopClockText, tf::kLine);
    AddText(l, {616, 632, 758, 668}, c.clock, kDesktopClockText, tf::kLine | tf::kRight);
    for (int i = 0; i < AnswerButtonCount(s); ++i) {
        const std::string& label = s.buttons[std::size_t(i)];
        if (!label.empty()) AddButton(l, AnswerButtonRect(s, i), Wide1250(label), i == 0, s.Flags());
    }
}

void AddCloseGlyph(DrawList& l, ColorRef colour) {
    AddText(l, {746, 22, 786, 78}, L"✕", colour, tf::kLine | tf::kCenter, DrawFont::kTitle);
}

void AddMinimiseGlyph(DrawList& l, const EditorState& s, ColorRef colour) {
    if (CanMinimise(s)) AddText(l, {700, 22, 742, 78}, L"–", colour, tf::kLine | tf::kCenter, DrawFont::kTitle);
}

DrawList CarriedView(const EditorState& s, const DesktopView& v, const DesktopDrawContext& c) {
    DrawList l;
    AddFill(l, {0, 0, 810, 760}, kCarriedBackdrop);
    AddRoundFill(l, {18, 18, 794, 746}, kCarriedPanel, 24);
    AddFill(l, {26, 28, 784, 732}, kCarriedSheet);
    AddFill(l, {26, 28, 784, 37}, kCarriedStrip);
    AddText(l, {46, 52, 704, 96}, Wide1250(s.title), RgbRef(82, 61, 39), tf::kLine, DrawFont::kScript);
    AddText(l, {46, 106, 740, 132}, L"Dokumenty, fotografie a spisy, které máš fyzicky u sebe", RgbRef(126, 105, 78),
            tf::kLine);
    AddCloseGlyph(l, RgbRef(82, 61, 39));
    if (IsMenuSubMode(int(s.Flags() & 7u))) {
        if (v.placement.at.empty())
            AddText(l, {100, 260, 710, 400}, L"Nemáš u sebe žádné písemnosti.", RgbRef(82, 61, 39),
                    tf::kWrap | tf::kCenter, DrawFont::kScript);
        AddTiles(l, s, v);
        AddPaging(l, s, v);
    } else {
        AddFill(l, {40, 160, 770, 650}, RgbRef(255, 253, 246));
        AddText(l, {56, 176, 754, 634}, Wide1250(s.caption), RgbRef(91, 74, 53), tf::kWrap);
    }
    const std::wstring status = c.submitted ? std::wstring(L"Načítání…") : c.status;
    AddText(l, {46, 678, 600, 704}, status, RgbRef(91, 74, 53), tf::kLine);
    for (int i = 0; i < AnswerButtonCount(s); ++i) {
        const std::string& label = s.buttons[std::size_t(i)];
        if (!label.empty()) AddButton(l, AnswerButtonRect(s, i), Wide1250(label), i == 0, s.Flags());
    }
    return l;
}

}  // namespace

bool IsWorkbench(const EditorState& s) {
    return s.kind == screen_kind::kComputer && s.screen_id == "mechanic-workbench" && !AnyBit(s.Flags(), df::kCarried) &&
           IsSlotDesktopLayout(ChooseComputerLayout(s));
}

int WorkbenchTool(const EditorItem& item) { return item.id > 0 ? item.id - 1 : -1; }

CoverKind CoverFor(const EditorItem& item) {
    const std::string& t = item.tag;
    const std::string& label = item.label;
    if (t == "book" || StartsWith(label, "KNIHA:")) return CoverKind::kBook;
    if (t == "file" || StartsWith(label, "E-SPIS:") || StartsWith(label, "R-SPIS:")) return CoverKind::kFile;
    if (t == "photo" || StartsWith(label, "FOTO:")) return CoverKind::kPhoto;
    return CoverKind::kPaper;
}

DrawList BuildDesktopDrawList(const EditorState& s, const DesktopView& v, const DesktopDrawContext& c) {
    if (AnyBit(s.Flags(), df::kCarried)) return CarriedView(s, v, c);
    const ComputerLayout layout = ChooseComputerLayout(s);
    const std::uint32_t f = s.Flags();
    DrawList l;
    AddFill(l, {0, 0, 810, 760}, kDesktopBackdrop);
    AddRoundFill(l, {16, 14, 796, 748}, kDesktopPanel, 24);
    const UiRect& w = kDesktopWorkArea;
    if (AnyBit(f, df::kInstitution)) {
        AddFill(l, w, RgbRef(238, 243, 249));
    } else {
        DrawOp op;
        op.r = w;
        op.colour = RgbRef(214, 228, 243);
        op.colour2 = RgbRef(164, 190, 219);
        if ((f & (df::kTitleHeader | df::kIconStyle)) == (df::kTitleHeader | df::kIconStyle)) op.kind = DrawOpKind::kDesktopPicture;
        else if (c.has_picture) op.kind = DrawOpKind::kStatePicture;
        else op.kind = DrawOpKind::kGradient;
        l.push_back(std::move(op));
    }
    AddText(l, {40, 22, 700, 78}, HeaderText(s, layout), kDesktopHeaderText, tf::kLine, DrawFont::kTitle);
    AddCloseGlyph(l, kDesktopHeaderText);
    AddMinimiseGlyph(l, s, kDesktopHeaderText);
    if (layout == ComputerLayout::kWebDesktop) {
        AddButton(l, {38, 88, 80, 134}, L"‹", false, f);
        AddText(l, {92, 88, 744, 134}, WebAddress(s), kDesktopHeaderText, tf::kLine);
    } else {
        AddText(l, {46, 88, 744, 124}, SubheaderText(s), kDesktopHeaderText, tf::kLine);
    }
    if (IsWorkbench(s)) AddWorkbench(l);
    AddTiles(l, s, v);
    AddPaging(l, s, v);
    AddBottomRow(l, s, v, c);
    return l;
}

}  // namespace hm
