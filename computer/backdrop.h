// What lies behind the computer's entry panels and dialog panels: the last screen rendered when
// an answer was submitted from a desktop or the file manager (with the game clock drawn anew in
// its lower right corner), or, without one and on login screens, a plain panel titled
// "Počítač". Portable: which screens leave a backdrop, which are drawn over one, its drawing
// steps, and the mask that then keeps it.
#pragma once

#include <string>

#include "computer/draw_list.h"
#include "computer/editor_state.h"
#include "ui/masks.h"

namespace hm {

enum class Backdrop {
    kNone,   // the screen draws its own background
    kPlain,  // the plain panel titled "Počítač"
    kKept,   // the kept screen
};

// Submitting from this screen renders it once more and keeps the picture as the backdrop: the
// file manager (kind 35) and kind-16 desktops (any of 0x20000C0, not compact, not an entry
// sub-mode) that are not identity screens.
bool LeavesBackdrop(const EditorState& s);

// What `s` is drawn over, `kept` telling whether a backdrop is kept: entry panels and the dialog
// panels other than the identity card, identity dialog and field inspection (those draw their
// own plain background).
Backdrop BackdropBehind(const EditorState& s, bool kept);

// The clock's place on the backdrop, where the slot desktop shows it.
constexpr UiRect kBackdropClock{616, 632, 758, 668};

// Steps for the backdrop: the kept picture (a kBackdrop step over the canvas) or the plain
// panel, then the game clock `clock`. Nothing for Backdrop::kNone.
void AddBackdrop(DrawList& l, Backdrop b, const std::wstring& clock);

// The mask inputs of a screen drawn over `behind`: a kept backdrop behind an entry panel
// declines the panel's mask, so that the backdrop it is drawn over stays in sight.
MaskInputs ScreenMaskInputs(const EditorState& s, Backdrop behind);

}  // namespace hm
