// Decisions of the UI thread that need no window: where the text controls go and how much they
// hold, which incoming states the view takes and how, what a key does, what an answer carries
// and which button a click hits. The window procedure (ui_window_win.cpp) carries them out.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/ticks.h"
#include "computer/editor_state.h"

namespace hm {

// A control's rectangle in canvas pixels; zero width or height: the screen shows no text box.
struct ControlBox {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool empty() const { return width <= 0 || height <= 0; }
};

struct MainControlPlan {
    ControlBox box;
    int limit = 6000;           // characters
    bool no_selection = false;  // kind 1: the selection is not shown
};

// Main control placement and text limit of a screen. Kind 0 (a free document) sits in the text
// area under the formatting toolbar.
MainControlPlan PlanMainControl(const EditorState& state);

struct SecondControlPlan {
    ControlBox box;
    int limit = 0;
    bool read_only = false;
    bool hidden = false;
    bool fill_from_caption = false;
};
// The kind-specific second control, if the screen has one.
std::optional<SecondControlPlan> PlanSecondControl(const EditorState& state);
// Screens whose two boxes both take typing (delivery names and e-mails, CCTV from and to): Tab,
// or Enter without Ctrl, moves the typing to the other box; Ctrl+Enter answers.
bool HasTwoTypingBoxes(int kind);
// Read-only law text: the main box as well as its hidden twin.
bool MainBoxReadOnly(const EditorState& s);

// Desktop screens whose flags hold 0x28 and not 0x40 (among 0x68): an item labelled "Smazání
// zpráv" or "Smazat zprávy" is not listed. The first such item's id is returned (every such item
// leaves the list); the next confirm sends it.
std::optional<int> TakeDeleteMessagesItem(EditorState& s);
// "{\rtf1\hmsel" + id + " }"
std::string SelectionPayload(int id);
// Picture mode 4 shows the picture behind the text: the view keeps it as its background.
inline bool HasBackgroundPicture(const EditorState& s) { return s.picture_mode == picture_mode::kWebBackground; }
// The control is printed over what lies under it (a background picture or an identity card)
// instead of onto its own white.
bool PrintsTransparently(const EditorState& s);

constexpr std::uint32_t kCompactFlag = 0x8;
inline int SubMode(const EditorState& s) { return int(s.Flags() & 7u); }
// The session's own dialogs carry negative request ids: they answer the session, not the server.
inline bool IsLocalDialog(const EditorState& s) { return s.request_id < 0; }
inline bool IsUpdateDialog(const EditorState& s) { return s.request_id == -2 && s.kind == screen_kind::kTextPage; }
bool IsReadOnlyScreen(const EditorState& s);  // read-only flag or kind 3
bool IsPaperScreen(const EditorState& s);      // paper flag, not kind 11

// ---- New state ------------------------------------------------------------------------------
struct NewStateView {
    int request_id = 0;
    int kind = 0;
    bool paper = false;
    const std::string* content = nullptr;  // the content text the view was built from
    // The state shown: its signatures are appended to the control's text, so new ones rebuild.
    const EditorState* shown = nullptr;
};
enum class NewStateAction { kIgnore, kUpdateInPlace, kRebuild };
// awaiting: AwaitingAnswer; an in-place update keeps the control (and the typed text) when the
// id, kind, paper flag, content text and signatures are unchanged.
NewStateAction DecideNewState(const NewStateView& view, const EditorState& incoming, bool awaiting);
// Rebuild: the old picture stays only when slot, mode and count are unchanged.
bool KeepPictureOnRebuild(const EditorState& old_state, const EditorState& incoming);

// ---- Keys -----------------------------------------------------------------------------------
struct KeyContext {
    int kind = 0;
    bool read_only = false;
    bool ctrl = false;
    bool alt = false;
    bool shift = false;
};
enum class KeyAction {
    kSwallow,       // nothing happens
    kToControl,     // the control gets the message as it is
    kAnswerOk,      // Enter: answer 1
    kAnswerCancel,  // Esc: answer 0 (local update dialog: 2)
    kBold, kItalic, kUnderline,
    kSelectAll, kCopy, kCut, kPastePlain, kUndo, kRedo,
    kAlignLeft, kAlignCenter, kAlignRight,
    kSwitchBox,     // typing moves to the other box
};
// message: WM_KEYDOWN/WM_SYSKEYDOWN (0x100/0x104), WM_KEYUP/WM_SYSKEYUP, or WM_CHAR (WM_SYSCHAR
// already turned into WM_CHAR); wparam: the virtual key or the character.
KeyAction DecideKey(std::uint32_t message, std::uint32_t wparam, const KeyContext& k);
// The action Esc answers on a screen of this kind (kAnswerCancel).
int EscapeAnswer(int kind);

// ---- Mouse editing in the text boxes ------------------------------------------------------------
struct TextRange {
    int start = 0;
    int end = 0;  // exclusive
    bool operator==(const TextRange& o) const { return start == o.start && end == o.end; }
};
// What a double-click selects around character position `at` of `text` (the control's text, one
// '\r' per paragraph end): a word with the blanks after it; on blanks, the blanks; on any other
// sign, that sign. A click past a line's end takes the word before it.
TextRange WordAt(std::wstring_view text, int at);

constexpr int kNoBox = -1;
// The last press in a text box, for double-click detection.
struct ClickMemory {
    bool valid = false;
    Tick at = 0;
    int x = 0, y = 0;
    int box = kNoBox;
};
// A press is the second click of a double-click when it comes within `limit_ms` of the last one,
// in the same box, inside the double-click rectangle (slop_x by slop_y pixels centred on it).
bool IsDoubleClick(const ClickMemory& last, Tick now, int x, int y, int box, Tick limit_ms, int slop_x, int slop_y);

bool BoxContains(const ControlBox& b, int x, int y);
// A canvas point as the control sees it: client pixels clamped into the box, and the pixels to
// scroll first when a drag goes past its top or bottom edge.
struct BoxPoint {
    int x = 0;
    int y = 0;
    int scroll = 0;
};
BoxPoint PointInBox(const ControlBox& b, int x, int y);

// ---- Render tick ----------------------------------------------------------------------------------
// The caret blinks twice a second: on while the tick modulo 1000 is below 500.
inline int CaretPhase(Tick now) { return now % 1000 < 500 ? 1 : 0; }
struct RedrawInputs {
    bool dirty = false;           // a message that may change what shows was handled
    int caret_phase = 0;          // now, 0 when no caret shows
    int drawn_caret_phase = -1;
    bool minimized = false;
    bool drawn_minimized = false;
    Tick now = 0;
    Tick drawn_at = 0;
};
constexpr Tick kRedrawAtLeastMs = 1000;
// Drawing a screen costs milliseconds of GDI: a tick draws only when something that shows may
// have changed or a second has passed.
bool NeedsRedraw(const RedrawInputs& in);

// ---- Answers --------------------------------------------------------------------------------
constexpr std::size_t kRtfLimitBytes = 16000;
constexpr std::string_view kEmptyRtf = "{\\rtf1}";
// Whether action a on this screen sends the control's RTF (else the base payload "{\rtf1}").
bool SendsDocumentRtf(const EditorState& s, int action);
// Removes embedded objects and pictures ({\object ...}, {\pict ...}, {\*\objdata ...}, \bin
// data) and NUL bytes from RTF text; unbalanced input is closed where it ends.
std::string StripRtfObjects(std::string_view rtf);
// Incoming RTF made safe for the control: groups nested deeper than `max_depth` end the text
// there (what came before is kept), and groups still open at the end are closed. \bin data is
// skipped as data.
constexpr int kMaxRtfDepth = 24;
std::string BoundRtfNesting(std::string_view rtf, int max_depth = kMaxRtfDepth);
// The control's RTF as it may be sent, or nothing when it exceeds 16000 bytes.
std::optional<std::string> CutDocumentRtf(std::string_view rtf);

// A nickname the server accepts: 3 to 24 characters of A-Z, a-z, 0-9 and "_.$[]()=".
bool IsValidNickname(std::string_view name);

// ---- Hit tests ------------------------------------------------------------------------------
struct ButtonBox {
    int left, top, right, bottom;  // right and bottom exclusive
    bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};
// Bottom buttons of a document frame: button i (from 0) at x 24 + 192 i, 184 wide, y 712..744.
ButtonBox BottomButton(int index);
// The update dialog inside its mask 120..689 x 210..549: two buttons at its foot.
ButtonBox UpdateDialogButton(int index);
constexpr ButtonBox kCloseGlyph{760, 0, 802, 48};
// The action a left click answers on a frame-style screen (consent, update dialog, document
// frame); nothing when it hits no button. Labels must be set for a button to answer.
std::optional<int> ClickAction(const EditorState& s, int x, int y);


// ---- Formatting toolbar of a free document (kind 0) --------------------------------------------
enum class ToolbarControl {
    kNone, kBold, kItalic, kUnderline, kSize9, kSize10, kSize11, kSize14,
    kAlignLeft, kAlignCenter, kAlignRight, kAlignJustify, kUndo, kRedo, kTextColour, kBackColour,
};
struct ToolbarItem {
    ToolbarControl control;
    ButtonBox box;
    const wchar_t* label;
};
// The row y 104..135, then (not read-only) the two colour buttons at y 140.
constexpr ToolbarItem kToolbar[] = {
    {ToolbarControl::kBold, {24, 104, 54, 136}, L"B"},
    {ToolbarControl::kItalic, {60, 104, 90, 136}, L"I"},
    {ToolbarControl::kUnderline, {96, 104, 126, 136}, L"U"},
    {ToolbarControl::kSize9, {134, 104, 158, 136}, L"9"},
    {ToolbarControl::kSize10, {160, 104, 184, 136}, L"10"},
    {ToolbarControl::kSize11, {186, 104, 210, 136}, L"11"},
    {ToolbarControl::kSize14, {212, 104, 236, 136}, L"14"},
    {ToolbarControl::kAlignLeft, {304, 104, 376, 136}, L"Vlevo"},
    {ToolbarControl::kAlignCenter, {382, 104, 454, 136}, L"Na střed"},
    {ToolbarControl::kAlignRight, {460, 104, 532, 136}, L"Vpravo"},
    {ToolbarControl::kAlignJustify, {538, 104, 610, 136}, L"Do bloku"},
    {ToolbarControl::kUndo, {628, 104, 698, 136}, L"Zpět"},
    {ToolbarControl::kRedo, {706, 104, 786, 136}, L"Znovu"},
    {ToolbarControl::kTextColour, {24, 140, 174, 172}, L"Barva textu ▾"},
    {ToolbarControl::kBackColour, {226, 140, 376, 172}, L"Podbarvení ▾"},
};
bool HasToolbar(const EditorState& s);  // kind 0, not paper
// The control under (x, y); the colour buttons only when the document may be edited.
ToolbarControl HitToolbar(int x, int y, bool read_only);
// Font size in points of a size control, 0 for others.
int ToolbarFontSize(ToolbarControl c);

// The colour menu: 24 cells of 28 px in 3 rows of 8 from (34, 208); RGB values row by row.
constexpr std::uint32_t kMenuColoursRgb[24] = {
    0x000000, 0x464646, 0x808080, 0xFFFFFF, 0x8C0000, 0xDC1E1E, 0xFF6E00, 0xEBB900,
    0x005519, 0x009141, 0x64AA1E, 0x00918C, 0x002873, 0x1E5ABE, 0x2891E1, 0x78BEEB,
    0x4B0073, 0x8728B4, 0xC83C91, 0xEB78AA, 0x643719, 0xA06437, 0x646E78, 0xAFBECD,
};
constexpr int kColourCell = 28;
ButtonBox ColourCell(int index);
int HitColourCell(int x, int y);  // -1 outside the cells

// ---- Scroll bar -----------------------------------------------------------------------------
// Text screens other than lists and kind 3 show a 16 px bar 4 px right of the text box, as tall
// as the box, with an 18 px arrow cell at each end.
bool HasScrollBar(const EditorState& s, const MainControlPlan& plan);
struct ScrollGeometry {
    int left = 0, top = 0, right = 0, bottom = 0;  // the whole bar
    int thumb_top = 0, thumb_bottom = 0;
};
constexpr int kScrollBarWidth = 16;
constexpr int kScrollArrowCell = 18;
constexpr int kScrollLinePixels = 24;
// position: first visible pixel row; total: text height; page: visible height (pixels).
ScrollGeometry PlaceScrollBar(const ControlBox& box, int position, int total, int page);
enum class ScrollHit { kNone, kLineUp, kLineDown, kPageUp, kPageDown, kThumb };
ScrollHit HitScrollBar(const ScrollGeometry& g, int x, int y);
// Thumb drag: the scroll position that follows a cursor moved by dy pixels since the press.
int DragScrollPosition(const ScrollGeometry& g, int total, int page, int start_position, int dy);

}  // namespace hm
