// The view state the desktop and document screens add to the UI thread's view, and the glue
// between a forwarded input record and their portable rules: which screens they serve, what a
// press, move, release or key does there, and what the payload builder is told. Portable.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "computer/action_menu.h"
#include "computer/book_viewer.h"
#include "computer/desktop_draw.h"
#include "computer/desktop_input.h"
#include "computer/document_payload.h"
#include "computer/editor_exchange.h"
#include "computer/editor_state.h"
#include "computer/picture_chooser.h"
#include "computer/signature_sheet.h"

namespace hm {

struct DocumentScreen {
    DesktopView desktop;
    SheetView sheet;
    bool sign_confirmed = false;  // kinds 0 and 8: the first of two signing clicks was given
    int paper_action = 0;         // chosen in the paper desktop's action menu
    ActionMenu menu;              // the action menu of a paper desktop or attachment list, its dialogs
    PictureChooser pictures;      // the insert-picture chooser
    BookView book;                // the book viewer's contents page
    bool submitted = false;       // an answer is awaited (kept by the window): no page changes
    std::optional<int> web_image_id;  // the sketch chosen in it
};

bool IsDesktopScreen(const EditorState& s);     // kind 16 drawn as the slot desktop
bool IsSignatureSheet(const EditorState& s);    // kind 1

// A new screen replaces the view: selection, drag, memory and confirmations go.
void ResetDocumentScreen(DocumentScreen& d, const EditorState& s);
// An in-place update (same screen): confirmations go, the selection stays on the chosen item.
void UpdateDocumentScreen(DocumentScreen& d, const EditorState& old_state, const EditorState& s);

// The status a view keeps over an in-place update: a two-click prompt goes with the confirmation
// it asked for (the new state cleared it).
std::wstring KeptStatus(const std::wstring& status);

struct ScreenInput {
    bool handled = false;        // the screen's own rules took the event
    std::optional<int> answer;   // submit this action
    // An action body for its endpoint (an icon move, a signature removal, a reorder, a page),
    // empty when none.
    EditorBody body_kind = EditorBody::kDesktopPosition;
    std::string body;
    std::optional<std::wstring> status;  // a new status text
    std::wstring insert_text;    // replaces the main text's selection, undoable
    bool minimise = false;       // the computer goes down to its restore bar
    bool paste = false;          // the action menu's dialog wants the clipboard's plain text
};


// A forwarded mouse message (WM_LBUTTONDOWN, WM_LBUTTONDBLCLK as a press, WM_MOUSEMOVE,
// WM_LBUTTONUP, WM_MOUSEWHEEL, WM_RBUTTONDOWN: the action menu of a paper desktop) at a canvas
// point.
ScreenInput DocumentPointer(DocumentScreen& d, EditorState& s, std::uint32_t message, std::uint32_t wparam,
                            std::uint32_t lparam, Tick now, Tick double_click_ms);

// The whole screen as a draw list when this view draws all of it (slot desktop, list window).
std::optional<DrawList> WholeScreenDrawList(const DocumentScreen& d, const EditorState& s, const DesktopDrawContext& c);
// A forwarded key message (WM_KEYDOWN, WM_SYSKEYDOWN, WM_CHAR...) and whether Ctrl is held.
ScreenInput DocumentKey(DocumentScreen& d, const EditorState& s, std::uint32_t message, std::uint32_t vk,
                        bool ctrl = false);
// The clipboard's plain text, asked for by ScreenInput::paste.
void DocumentPaste(DocumentScreen& d, std::u16string_view text);

// What the payload builder knows of this screen besides the controls' texts.
PayloadInputs PayloadInputsFor(const DocumentScreen& d, const EditorState& s, int action);
// The builder's outcome carried back into the view (confirmation given, paper action used).
void AfterPayload(DocumentScreen& d, const EditorState& s, const PayloadOutcome& out);

// The bottom button label on kinds 0 and 8 after the first signing click: on the button whose
// answer now waits (kind 8: button 1, which confirms; kind 0: button 2).
std::optional<std::wstring> ConfirmSignLabel(const DocumentScreen& d, const EditorState& s, int button_index);

}  // namespace hm
