// The computer's dialog screens (kind 16 routed to a dialog panel): the identity card, the
// identity dialog, field inspection, the scanner and short e-mail menus. The panel around the
// text box (the box itself is the control's, printed by the caller), their clicks and keys,
// and the transparency mask each one needs. Portable.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/ticks.h"
#include "computer/backdrop.h"
#include "computer/desktop_input.h"
#include "computer/draw_list.h"
#include "computer/editor_state.h"
#include "ui/masks.h"

namespace hm {

bool IsDialogPanel(const EditorState& s);
bool IsIdentityCard(const EditorState& s);                 // "identity-card"
bool IsInspectionWithCard(const EditorState& s);           // "field-inspection" holding a card
bool IsDialogMenu(const EditorState& s);                   // a panel listing items
// Background picture of a card: 1 for "COUNTRYSIDE" cards, else 0.
int CardPicture(const EditorState& s);

// The document mask of a dialog screen (MaskDocument::kNone for the others).
MaskDocument DialogMaskDocument(const EditorState& s);

constexpr UiRect kDialogPanel{120, 160, 690, 600};
constexpr UiRect kCardClose{662, 190, 700, 230};
constexpr UiRect kInspectionPanel{90, 72, 720, 702};
constexpr UiRect kDialogButton{150, 550, 650, 582};
constexpr int kScannerRows = 6;

// The card text's decoration: the card picture behind the text, from 8 px above the line holding
// "STATE OF SAN ANDREAS" to 10 px above the line holding "Popis:" (352 px below the first when
// there is none, or when it stands above), 500 px wide from the control's left edge + 1. A text
// without the first line gets none.
struct CardTextLines {
    std::optional<long> state_line;  // position of the first character of each line
    std::optional<long> popis_line;
};
// Lines end at CR, LF or VT, each counting one position (as the control counts a paragraph end).
CardTextLines FindCardLines(std::u16string_view text);
// From the canvas tops of those lines (the UI thread measures them in the control).
std::optional<UiRect> CardDecoration(int control_left, std::optional<int> state_top, std::optional<int> popis_top);

// `card`: where the identity card's picture goes, none for no decoration. The panels other than
// the identity screens are drawn over `behind` with the game clock `clock`.
DrawList BuildDialogPanelDrawList(const EditorState& s, const DesktopView& v,
                                  const std::optional<UiRect>& card = std::nullopt, Backdrop behind = Backdrop::kPlain,
                                  const std::wstring& clock = {});

struct DialogInput {
    bool handled = false;
    std::optional<int> answer;
};
// A press; elsewhere than its buttons, rows and glyphs the text box may take it (not handled).
DialogInput DialogPress(DesktopView& v, const EditorState& s, int x, int y, Tick now, bool double_click_message);
// Up and Down walk the rows of a menu (the page follows); others are the frame's.
DialogInput DialogKey(DesktopView& v, const EditorState& s, std::uint32_t vk);

}  // namespace hm
