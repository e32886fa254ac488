// The legacy icon grid of kind 16: icon desktops drawn inside a window (the icon bits 0xE0 with
// neither the slot desktop's bits nor the web style, or any of them in the compact frame), 16
// tiles a page in 4 columns or, compact, 6 in 2. With 0x80 the band behind the tiles is a
// vertical gradient: the dark theme, or with 0x40 too the light (web) theme with its address bar
// (both reached in the compact frame: at full size 0x80 makes a slot desktop). Portable: a draw list and the rules of
// clicks, wheel and keys; selection and page live in the desktop view's fields.
#pragma once

#include <cstdint>

#include "base/ticks.h"
#include "computer/desktop_draw.h"
#include "computer/desktop_input.h"
#include "computer/draw_list.h"
#include "computer/editor_state.h"
#include "computer/list_window.h"

namespace hm {

bool IsLegacyGrid(const EditorState& s);  // kind 16 drawn as a window with the legacy icon grid

enum class LegacyTheme { kPlain, kDark, kLight };
LegacyTheme LegacyThemeOf(const EditorState& s);

int LegacyPerPage(const EditorState& s);   // 16; compact 6
int LegacyColumns(const EditorState& s);   // 4; compact 2
long long LegacyPages(const EditorState& s);
// The tile of place `i` (0-based) on a page.
UiRect LegacyTileRect(const EditorState& s, int i);
// The band's colour at canvas row y (90..664) in the dark or light theme.
ColorRef LegacyBandColour(int y, bool light);

constexpr UiRect kLegacyPrevious{40, 646, 136, 678};
constexpr UiRect kLegacyNext{674, 646, 770, 678};
// Compact: the same buttons inside the window (230..580), 16 px from its sides.
constexpr UiRect kCompactLegacyPrevious{246, 646, 342, 678};
constexpr UiRect kCompactLegacyNext{468, 646, 564, 678};
UiRect LegacyPreviousRect(const EditorState& s);
UiRect LegacyNextRect(const EditorState& s);

DrawList BuildLegacyGridDrawList(const EditorState& s, const DesktopView& v, const DesktopDrawContext& c);

// A press: close glyph and answer buttons, paging, a tile selects it and a second press on it
// within the double-click rule answers 1.
ListInput LegacyGridPress(DesktopView& v, const EditorState& s, int x, int y, Tick now, bool double_click_message);
ListInput LegacyGridWheel(DesktopView& v, const EditorState& s, int wheel_delta);
// Left/Right by 1, Up/Down by a row of columns, Page Up/Down, Enter answers 1, Esc as the close glyph.
ListInput LegacyGridKey(DesktopView& v, const EditorState& s, std::uint32_t vk);

}  // namespace hm
