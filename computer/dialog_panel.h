// The computer's dialog screens (kind 16 routed to a dialog panel): the identity card, the
// identity dialog, field inspection, the scanner and short e-mail menus. The panel around the
// text box (the box itself is the control's, printed by the caller), their clicks and keys,
// and the transparency mask each one needs. Portable.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/ticks.h"
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
constexpr UiRect kCardArea{110, 190, 700, 560};
constexpr UiRect kCardClose{662, 190, 700, 230};
constexpr UiRect kInspectionPanel{90, 72, 720, 702};
constexpr UiRect kDialogButton{150, 550, 650, 582};
constexpr int kScannerRows = 6;

DrawList BuildDialogPanelDrawList(const EditorState& s, const DesktopView& v);

struct DialogInput {
    bool handled = false;
    std::optional<int> answer;
};
// A press; elsewhere than its buttons, rows and glyphs the text box may take it (not handled).
DialogInput DialogPress(DesktopView& v, const EditorState& s, int x, int y, Tick now, bool double_click_message);
// Up and Down walk the rows of a menu (the page follows); others are the frame's.
DialogInput DialogKey(DesktopView& v, const EditorState& s, std::uint32_t vk);

}  // namespace hm
