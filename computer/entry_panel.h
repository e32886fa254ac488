// The computer's entry screens (login, registration, password: kind 16, sub-mode 1 or 3 without
// flags 0x18): a panel with a title bar, the caption, the one-line text box and a row of
// buttons, all inside the screen's mask. Portable.
#pragma once

#include <optional>
#include <string>

#include "computer/backdrop.h"
#include "computer/draw_list.h"
#include "computer/editor_state.h"

namespace hm {

bool IsEntryPanel(const EditorState& s);

constexpr UiRect kEntryPanel{120, 160, 690, 600};
constexpr UiRect kEntryBoxFrame{148, 388, 662, 440};

// The panel around the text box (the box itself is the control's, printed by the caller), over
// `behind` with the game clock `clock`.
DrawList BuildEntryPanelDrawList(const EditorState& s, const std::wstring& status, bool submitted,
                                 Backdrop behind = Backdrop::kPlain, const std::wstring& clock = {});

// A press: the answer of a labelled button or of the close glyph; nothing elsewhere (the text
// box takes its own clicks).
std::optional<int> EntryPanelPress(const EditorState& s, int x, int y);

}  // namespace hm
