// What the player's mouse and keys do on the slot desktop (and its carried-documents view): the
// view state of one screen, the areas a point hits, and the answers and icon moves that follow.
// Portable; times come from the caller's clock.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/ticks.h"
#include "computer/desktop_layout.h"
#include "computer/editor_state.h"
#include "ui/drawing.h"

namespace hm {

// ---- Geometry (drawn and hit alike) ----------------------------------------------------------

constexpr int kDesktopColumns = 5;
constexpr int kDesktopRows = 4;
constexpr int kTileStepX = 146;
constexpr int kTileStepY = 108;
constexpr int kTileOriginX = 40;
constexpr int kTileOriginY = 146;
constexpr int kSlotIconSize = 40;
constexpr int kCarriedColumns = 2;
constexpr int kCardWidth = 344;
constexpr int kCardHeight = 140;
constexpr int kCardStepX = 368;
constexpr int kCardStepY = 154;
constexpr int kCardOriginX = 40;
constexpr int kCardOriginY = 156;
// Movement beyond this many pixels in x or y turns a press into a drag.
constexpr int kDragThreshold = 5;
constexpr Tick kListDoubleClickMs = 420;

// The rectangle of tile `index` on a page (0-based, row by row), card-shaped in the carried view.
UiRect DesktopTileRect(const EditorState& s, int index);
UiRect HomeButtonRect();
UiRect LogoutButtonRect(bool home_shown);
// Slot placement: y 580..615; otherwise, and always under the carried cards, 640..675.
UiRect PagingRow(const EditorState& s, const DesktopPlacement& p);
UiRect AnswerButtonRect(const EditorState& s, int index);  // index 0-based
int AnswerButtonCount(const EditorState& s);
constexpr UiRect kDesktopCloseArea{746, 20, 810, 78};
constexpr UiRect kWebBackButton{34, 88, 80, 134};

enum class DesktopHitKind { kNothing, kTile, kHome, kLogout, kClose, kAnswer, kPreviousPage, kNextPage };
struct DesktopHit {
    DesktopHitKind kind = DesktopHitKind::kNothing;
    long long value = 0;  // kTile: grid position; kAnswer: action 1..n
};

// ---- View state (reset for every new screen) ---------------------------------------------------

struct DesktopView {
    DesktopPlacement placement;
    int selected = -1;          // item index, -1 none
    long long page = 0;
    // Press and drag.
    bool pressed = false;
    bool dragging = false;
    int press_x = 0, press_y = 0;
    int cursor_x = 0, cursor_y = 0;
    int press_item = -1;
    // Double-click memory: the last click that ended without a drag.
    long long last_click_position = -1;
    Tick last_click_time = 0;
};

// A new screen: placement made, selection and memory cleared.
DesktopView MakeDesktopView(const EditorState& s);
// An in-place update of the same screen: the selection stays on the item with `chosen_id`.
void UpdateDesktopView(DesktopView& v, const EditorState& s, std::optional<int> chosen_id);

DesktopHit HitDesktop(const DesktopView& v, const EditorState& s, int x, int y);

// Computer windows (kind 16, not paper, institution, carried documents, login or dialog screens)
// have a minimise area at x 700..741 above y 78; in the compact frame, whose window ends at x 580,
// it sits in the title bar left of the close glyph (x 498..539, y 24..87).
bool CanMinimise(const EditorState& s);
constexpr UiRect kMinimiseArea{700, 0, 742, 78};
constexpr UiRect kCompactMinimiseArea{498, 24, 540, 88};
UiRect MinimiseArea(const EditorState& s);

// The answer of the close area and Esc.
int CloseAnswer(const EditorState& s);

// ---- Input -------------------------------------------------------------------------------------

struct CanvasPoint16 {
    int x = 0, y = 0;
};
// A mouse message's lParam: two signed 16-bit coordinates (a point left of the canvas is -5, not
// 65531).
CanvasPoint16 DecodeCanvasPoint(std::uint32_t lparam);

enum class PointerEvent { kDown, kMove, kUp };

struct DesktopOutcome {
    std::optional<int> answer;   // submit this action with the selection
    std::string position_body;   // for /editor/desktop-position, empty when none
    bool redraw = false;
};

// Mouse on the slot desktop. A move changes the items' slot texts in `s`.
DesktopOutcome DesktopPointer(DesktopView& v, EditorState& s, PointerEvent e, int x, int y, Tick now,
                              Tick double_click_ms);
// Key down (virtual key).
DesktopOutcome DesktopKey(DesktopView& v, const EditorState& s, std::uint32_t vk);

// A press on list row `index` (an item there): it becomes the selection; true when it opens the
// item (a forwarded double click, or the second press on the same row within 420 ms).
bool PressRow(DesktopView& v, long long index, Tick now, bool double_click_message);

// The selection's item id, if an item is selected.
std::optional<int> SelectedItemId(const DesktopView& v, const EditorState& s);

}  // namespace hm
