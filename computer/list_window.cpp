#include "computer/list_window.h"

#include <algorithm>

#include "base/text1250.h"

namespace hm {
namespace {

namespace tf = text_format;

constexpr ColorRef kWindowBackground = RgbRef(238, 243, 249);
constexpr ColorRef kTitleBar = RgbRef(25, 43, 65);
constexpr ColorRef kWhite = RgbRef(255, 255, 255);

bool Compact(const EditorState& s) { return AnyBit(s.Flags(), desktop_flag::kCompact); }
int Left(const EditorState& s) { return Compact(s) ? 230 : 24; }
int Right(const EditorState& s) { return Compact(s) ? 580 : 786; }
bool Inside(const UiRect& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }
std::wstring Wide(std::u16string_view t) { return std::wstring(t.begin(), t.end()); }
std::wstring Wide1250(std::string_view t) { return Wide(Cp1250ToUtf16(t)); }

long long Pages(const EditorState& s) {
    return std::max<long long>(1, (static_cast<long long>(s.items.size()) + kListRowsPerPage - 1) / kListRowsPerPage);
}
UiRect PreviousButton(const EditorState& s) { return {Left(s) + 16, 620, Left(s) + 112, 652}; }
UiRect NextButton(const EditorState& s) { return {Right(s) - 112, 620, Right(s) - 16, 652}; }
UiRect AnswerButton(const EditorState& s, int i) {
    const int half = (Right(s) - Left(s)) / 2;
    return {Left(s) + half * i + (i ? 4 : 0), 712, Left(s) + half * (i + 1) - (i ? 0 : 4), 744};
}
UiRect CloseGlyph(const EditorState& s) { return {Right(s) - 40, 24, Right(s), 88}; }

void Select(DesktopView& v, const EditorState& s, int index) {
    if (s.items.empty()) return;
    v.selected = std::clamp(index, 0, int(s.items.size()) - 1);
    v.page = v.selected / kListRowsPerPage;
}

}  // namespace

bool IsListWindow(const EditorState& s) {
    // A menu with an initial text also holds a text box among its rows: drawn by the frame.
    return s.kind == screen_kind::kComputer && WindowLayout(s) == ComputerLayout::kListWindow &&
           s.initial_text.empty();
}

long long ListPages(const EditorState& s) { return Pages(s); }

UiRect ListRowRect(const EditorState& s, int row) {
    const int top = kListRowTop + kListRowStep * row;
    return {Left(s) + 16, top, Right(s) - 16, top + kListRowHeight};
}

ColorRef ListRowColour(const EditorItem& item, bool selected) {
    const std::uint32_t n = item.number;
    if (n != 0 && n != 0xFFFFFF) {
        // The number is RGB; each channel becomes a pale tint.
        const auto tint = [](unsigned c) { return 180 + c * 5 / 17; };
        return RgbRef(tint((n >> 16) & 0xFF), tint((n >> 8) & 0xFF), tint(n & 0xFF));
    }
    return selected ? kListRowSelected : kWhite;
}

void AddListRow(DrawList& l, const UiRect& r, const EditorItem& e, bool selected, const std::wstring& label) {
    AddFill(l, r, ListRowColour(e, selected));
    AddFill(l, {r.left, r.top, r.left + 3, r.bottom}, selected ? kListBarSelected : kListBar);
    AddText(l, {r.left + 12, r.top + 3, r.right - 8, r.top + 25}, label, RgbRef(27, 46, 69), tf::kLine, DrawFont::kTitle);
    std::wstring second = Wide1250(e.tag);
    if (!e.slot.empty()) second += L" · " + Wide1250(e.slot);
    AddText(l, {r.left + 12, r.top + 24, r.right - 8, r.bottom}, second, RgbRef(97, 113, 131), tf::kLine);
}

void AddComputerWindowTop(DrawList& l, const EditorState& s) {
    AddFill(l, {0, 0, 810, 760}, kWindowBackground);
    if (Compact(s)) {
        AddRoundFill(l, kCompactBody, kCompactBodyColour, kCompactBodyRadius);
        AddFill(l, kCompactWindow, kWindowBackground);
    }
    AddFill(l, {Left(s), 24, Right(s), 88}, kTitleBar);
    AddText(l, {Left(s) + 20, 24, Right(s) - 90, 88}, Wide1250(s.title), kWhite, tf::kLine, DrawFont::kTitle);
    AddText(l, CloseGlyph(s), L"✕", kWhite, tf::kLine | tf::kCenter, DrawFont::kTitle);
    if (CanMinimise(s)) {
        const UiRect m = MinimiseArea(s);
        AddText(l, {m.left, 24, m.right, 88}, L"–", kWhite, tf::kLine | tf::kCenter, DrawFont::kTitle);
    }
}

void AddComputerWindowBottom(DrawList& l, const EditorState& s, const DesktopDrawContext& c) {
    const std::wstring status = c.submitted        ? std::wstring(L"Načítání…")
                                : !c.status.empty() ? c.status
                                : AnyBit(s.Flags(), desktop_flag::kMultiLine)
                                    ? std::wstring(L"Enter: nový řádek • Ctrl+Enter: potvrdit")
                                    : std::wstring(L"Esc: zpět");
    AddText(l, {Left(s) + 16, 672, Right(s) - 16, 704}, status, RgbRef(89, 107, 129), tf::kLine);
    for (int i = 0; i < 2; ++i)
        if (!s.buttons[std::size_t(i)].empty())
            AddButton(l, AnswerButton(s, i), Wide1250(s.buttons[std::size_t(i)]), i == 0, s.Flags());
}

WindowPress ComputerWindowPress(const EditorState& s, int x, int y) {
    WindowPress p;
    if (Inside(CloseGlyph(s), x, y)) {
        p.handled = true;
        p.answer = CloseAnswer(s);
        return p;
    }
    for (int i = 0; i < 2; ++i)
        if (Inside(AnswerButton(s, i), x, y)) {
            p.handled = true;
            if (!s.buttons[std::size_t(i)].empty()) p.answer = i + 1;
        }
    return p;
}

bool IsTextWindow(const EditorState& s) {
    return s.kind == screen_kind::kComputer && WindowLayout(s) == ComputerLayout::kTextWindow;
}

DrawList BuildTextWindowDrawList(const EditorState& s, const ControlBox& box, const DesktopDrawContext& c) {
    DrawList l;
    AddComputerWindowTop(l, s);
    const int left = Left(s) + 24, right = Right(s) - 24;
    if (AnyBit(s.Flags(), desktop_flag::kWeb)) {
        AddRoundFill(l, {left, 100, right, 140}, kWhite, 10);
        const std::wstring address = L"◉   " + (s.caption.empty() ? std::wstring(L"CoogLe.sa") : Wide1250(s.caption));
        AddText(l, {left + 12, 100, right - 12, 140}, address, RgbRef(30, 58, 92), tf::kLine);
    } else if (!s.caption.empty()) {
        AddText(l, {left, 100, right, std::max(100, box.y - 8)}, Wide1250(s.caption), RgbRef(67, 86, 109), tf::kWrap);
    }
    if (!box.empty()) {
        const UiRect inside{box.x, box.y, box.x + box.width, box.y + box.height};
        AddFill(l, {box.x - 2, box.y - 2, box.x + box.width + 2, box.y + box.height + 2}, RgbRef(179, 195, 215));
        AddFill(l, inside, kWhite);
        // Picture mode 4: the web page's background picture fills the box, the text is printed
        // over it through the colour key.
        if (HasBackgroundPicture(s)) {
            DrawOp picture;
            picture.kind = DrawOpKind::kStatePicture;
            picture.r = inside;
            picture.colour = picture.colour2 = kWhite;
            l.push_back(picture);
        }
    }
    AddComputerWindowBottom(l, s, c);
    return l;
}

WindowPress TextWindowPress(const EditorState& s, int x, int y) {
    WindowPress p = ComputerWindowPress(s, x, y);
    p.handled = p.handled || (y >= 712 && y < 744);
    return p;
}

DrawList BuildListWindowDrawList(const EditorState& s, const DesktopView& v, const DesktopDrawContext& c) {
    DrawList l;
    AddComputerWindowTop(l, s);
    if (s.items.empty())
        AddText(l, {Left(s) + 16, kListRowTop, Right(s) - 16, kListRowTop + 48}, L"Seznam je prázdný.",
                RgbRef(97, 113, 131), tf::kLine);
    const long long first = v.page * kListRowsPerPage;
    for (int row = 0; row < kListRowsPerPage && first + row < static_cast<long long>(s.items.size()); ++row) {
        const int index = int(first + row);
        const EditorItem& e = s.items[std::size_t(index)];
        AddListRow(l, ListRowRect(s, row), e, index == v.selected, Wide(DisplayLabel(e.label)));
    }
    if (s.items.size() > std::size_t(kListRowsPerPage))
        AddPager(l, PreviousButton(s), NextButton(s), v.page, Pages(s), RgbRef(27, 46, 69), s.Flags());
    AddComputerWindowBottom(l, s, c);
    return l;
}

void AddPager(DrawList& l, const UiRect& previous, const UiRect& next, long long page, long long pages, ColorRef text,
              std::uint32_t flags) {
    AddButton(l, previous, L"‹", false, flags);
    AddButton(l, next, L"›", false, flags);
    AddText(l, {previous.right, previous.top, next.left, previous.bottom}, PageText(page, pages), text,
            tf::kLine | tf::kCenter);
}

bool PressReachesContent(const EditorState& s, int x, int y, ListInput& in) {
    if (x < 0 || y < 0 || x >= 810 || y >= 760) return false;
    in.redraw = true;
    const WindowPress w = ComputerWindowPress(s, x, y);
    in.answer = w.answer;
    return !w.handled;
}

ListInput ListPress(DesktopView& v, const EditorState& s, int x, int y, Tick now, bool double_click_message) {
    ListInput in;
    if (!PressReachesContent(s, x, y, in)) return in;
    if (s.items.size() > std::size_t(kListRowsPerPage)) {
        if (Inside(PreviousButton(s), x, y)) {
            v.page = std::max<long long>(0, v.page - 1);
            return in;
        }
        if (Inside(NextButton(s), x, y)) {
            v.page = std::min(Pages(s) - 1, v.page + 1);
            return in;
        }
    }
    for (int row = 0; row < kListRowsPerPage; ++row) {
        if (!Inside(ListRowRect(s, row), x, y)) continue;
        const long long index = v.page * kListRowsPerPage + row;
        if (index >= static_cast<long long>(s.items.size())) return in;
        if (PressRow(v, index, now, double_click_message)) in.answer = 1;
        return in;
    }
    return in;
}

ListInput ListWheel(DesktopView& v, const EditorState& s, int wheel_delta) {
    ListInput in;
    in.redraw = true;
    if (wheel_delta > 0) v.page = std::max<long long>(0, v.page - 1);
    else if (wheel_delta < 0) v.page = std::min(Pages(s) - 1, v.page + 1);
    return in;
}

ListInput ListKey(DesktopView& v, const EditorState& s, std::uint32_t vk) {
    ListInput in;
    in.redraw = true;
    switch (vk) {
        case 0x0D: in.answer = 1; break;
        case 0x1B: in.answer = CloseAnswer(s); break;
        case 0x21: v.page = std::max<long long>(0, v.page - 1); break;
        case 0x22: v.page = std::min(Pages(s) - 1, v.page + 1); break;
        case 0x26: Select(v, s, v.selected < 0 ? 0 : v.selected - 1); break;
        case 0x28: Select(v, s, v.selected < 0 ? 0 : v.selected + 1); break;
        default: in.redraw = false; break;
    }
    return in;
}

}  // namespace hm
