#include "computer/entry_panel.h"

#include "base/text1250.h"
#include "computer/desktop_input.h"
#include "computer/desktop_layout.h"

namespace hm {
namespace {

namespace tf = text_format;

constexpr UiRect kCloseGlyph{640, 160, 690, 220};

bool Inside(const UiRect& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }
std::wstring Wide1250(std::string_view t) {
    const std::u16string u = Cp1250ToUtf16(t);
    return std::wstring(u.begin(), u.end());
}

// The labelled buttons in a row from x 150, 160 wide, 10 apart.
UiRect EntryButton(int i) { return {150 + 170 * i, 500, 310 + 170 * i, 540}; }

}  // namespace

bool IsEntryPanel(const EditorState& s) {
    // Those two keep boxes of their own.
    return s.kind == screen_kind::kComputer && ChooseComputerLayout(s) == ComputerLayout::kEntryPanel &&
           s.screen_id != "hospic-draft" && s.screen_id != "identity-dialog";
}

DrawList BuildEntryPanelDrawList(const EditorState& s, const std::wstring& status, bool submitted, Backdrop behind,
                                 const std::wstring& clock) {
    DrawList l;
    AddBackdrop(l, behind == Backdrop::kNone ? Backdrop::kPlain : behind, clock);
    AddRoundFill(l, kEntryPanel, RgbRef(247, 250, 254), 20);
    AddFill(l, {kEntryPanel.left, kEntryPanel.top, kEntryPanel.right, 220}, RgbRef(25, 43, 65));
    AddText(l, {140, 166, 630, 214}, Wide1250(s.title), RgbRef(255, 255, 255), tf::kLine, DrawFont::kTitle);
    AddText(l, kCloseGlyph, L"✕", RgbRef(255, 255, 255), tf::kLine | tf::kCenter, DrawFont::kTitle);
    AddText(l, {150, 242, 660, 374}, Wide1250(s.caption), RgbRef(67, 86, 109), tf::kWrap);
    AddFill(l, kEntryBoxFrame, RgbRef(179, 195, 215));
    AddFill(l, {150, 390, 660, 438}, RgbRef(255, 255, 255));
    AddText(l, {150, 446, 660, 474}, submitted ? std::wstring(L"Načítání…") : status, RgbRef(89, 107, 129), tf::kLine);
    for (int i = 0; i < 3; ++i)
        if (!s.buttons[std::size_t(i)].empty())
            AddButton(l, EntryButton(i), Wide1250(s.buttons[std::size_t(i)]), i == 0, s.Flags());
    return l;
}

std::optional<int> EntryPanelPress(const EditorState& s, int x, int y) {
    if (Inside(kCloseGlyph, x, y)) return CloseAnswer(s);
    for (int i = 0; i < 3; ++i)
        if (Inside(EntryButton(i), x, y) && !s.buttons[std::size_t(i)].empty()) return i + 1;
    return std::nullopt;
}

}  // namespace hm
