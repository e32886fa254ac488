// The computer's list window (kind 16, a menu sub-mode without icon bits): 8 rows a page under a
// title bar, paging, a status line and two answer buttons. Portable: a draw list and the rules
// of its clicks, wheel and keys.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/ticks.h"
#include "computer/desktop_draw.h"
#include "computer/desktop_input.h"
#include "computer/draw_list.h"
#include "computer/editor_state.h"
#include "computer/editor_view.h"

namespace hm {

constexpr int kListRowsPerPage = 8;
constexpr int kListRowTop = 168;
constexpr int kListRowStep = 56;
constexpr int kListRowHeight = 52;
constexpr ColorRef kListRowSelected = RgbRef(218, 233, 252);
constexpr ColorRef kListBarSelected = RgbRef(39, 105, 177);
constexpr ColorRef kListBar = RgbRef(201, 213, 227);

bool IsListWindow(const EditorState& s);  // kind 16 drawn as a list window
long long ListPages(const EditorState& s);

// The row rectangle of row r (0..7) of a page; compact windows are narrower.
UiRect ListRowRect(const EditorState& s, int row);
// A row's background: the pale tint of the item's colour number, else selected or white. No
// number (0) and 0xFFFFFF both mean no colour.
ColorRef ListRowColour(const EditorItem& item, bool selected);

// One list row: its background and bar, `label` over the tag (and " · " slot when set).
void AddListRow(DrawList& l, const UiRect& r, const EditorItem& item, bool selected, const std::wstring& label);

// The window around the lists and the legacy icon grid of kind 16: background, title bar with
// the title, close and minimise glyphs; and below, the status line and the two answer buttons.
void AddComputerWindowTop(DrawList& l, const EditorState& s);
void AddComputerWindowBottom(DrawList& l, const EditorState& s, const DesktopDrawContext& c);
// A press on the close glyph or an answer button (an unlabelled one answers nothing).
struct WindowPress {
    bool handled = false;
    std::optional<int> answer;
};
WindowPress ComputerWindowPress(const EditorState& s, int x, int y);

// The "‹" and "›" buttons with "Strana " + page + " / " + pages centred between them.
void AddPager(DrawList& l, const UiRect& previous, const UiRect& next, long long page, long long pages, ColorRef text,
              std::uint32_t flags);

struct ListInput {
    std::optional<int> answer;
    bool redraw = false;
};

// The start of a press on a list or grid window: false (nothing more to do) off the canvas or
// on the close glyph and answer buttons, whose answer `in` then holds.
bool PressReachesContent(const EditorState& s, int x, int y, ListInput& in);

// A window of kind 16 around a text page or text box (not a menu), full-size or compact.
bool IsTextWindow(const EditorState& s);
// Its frame: the title bar, the web style's address bar or the caption as a paragraph, the
// frame of the text box at `box` (the control is printed over it), the status line, buttons.
DrawList BuildTextWindowDrawList(const EditorState& s, const ControlBox& box, const DesktopDrawContext& c);
// A press on its close glyph or in its button row (the row is the window's, labelled or not).
WindowPress TextWindowPress(const EditorState& s, int x, int y);

// Selection and page live in the desktop view's fields (selected, page, last click).
DrawList BuildListWindowDrawList(const EditorState& s, const DesktopView& v, const DesktopDrawContext& c);

// message: WM_LBUTTONDOWN/WM_LBUTTONDBLCLK (a press), WM_MOUSEWHEEL (wheel_delta), WM_KEYDOWN (vk).
ListInput ListPress(DesktopView& v, const EditorState& s, int x, int y, Tick now, bool double_click_message);
ListInput ListWheel(DesktopView& v, const EditorState& s, int wheel_delta);
ListInput ListKey(DesktopView& v, const EditorState& s, std::uint32_t vk);

}  // namespace hm
