// The document action menu (right mouse button on an item of a paper desktop, kind 16 with paper
// actions, or of an attachment list, kind 2) and the small dialogs it opens: rename, position,
// and the discard or delete confirmation. Portable: offers per document type or per the list's
// permissions, placement on the canvas, keys, typed text and clicks, the draw list appended to the
// screen's, and the /editor/attachment body a confirmed dialog leaves.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "computer/draw_list.h"
#include "computer/editor_state.h"

namespace hm {

enum class DocumentType { kBook, kFile, kSealed, kPhoto, kSketch, kPlain };
DocumentType DocumentTypeOf(const EditorItem& item);

// Paper actions: 0 show (open), 1 rename, 2 discard, 3 show to others, 4 hand over, 5 ask for a
// signature, 6 sign, 7 copy.
const wchar_t* PaperActionLabel(int action);
// The actions offered for an item of a paper desktop, in menu order.
std::vector<int> PaperActionsFor(const EditorItem& item);

// Attachment actions: 0 open, 1 rename, 2 delete, 3 change the position.
const wchar_t* AttachmentActionLabel(int action);
// Open, then rename, delete and position for each of the flag bits 1, 2 and 4 that is set.
std::vector<int> AttachmentActionsFor(std::uint32_t flags);

constexpr int kMenuWidth = 232;
constexpr int kMenuEntryHeight = 40;
constexpr int kPaperRenameLimit = 64;
constexpr int kAttachmentRenameLimit = 50;
constexpr int kPositionLimit = 6;
constexpr UiRect kMenuDialogPanel{120, 236, 690, 440};
constexpr UiRect kMenuTextBox{140, 296, 670, 360};
constexpr UiRect kMenuConfirmButton{140, 390, 394, 422};
constexpr UiRect kMenuCancelButton{412, 390, 670, 422};

enum class MenuSource { kPaperDesktop, kAttachments };

struct ActionMenu {
    bool open = false;
    MenuSource source = MenuSource::kPaperDesktop;
    int item = -1;            // item index
    int item_id = 0;          // its id, for the attachment body
    int request_id = 0;
    int left = 0, top = 0;    // where it stands
    std::vector<int> actions;
    int highlight = 0;
    // The dialog standing over the screen: 1 rename, 2 discard/delete, 3 position; 0 none.
    int dialog = 0;
    std::u16string text;      // the dialog's text box
    bool all_selected = false;
    char16_t pending_high = 0;  // the first half of a typed surrogate pair
    std::u16string name;      // the item's display name, shown by the confirmation
};

bool MenuActive(const ActionMenu& m);  // the menu or one of its dialogs takes the input

// Opens the menu for `item` at the click point, kept on the canvas.
void OpenActionMenu(ActionMenu& m, const EditorState& s, int item, int x, int y,
                    MenuSource source = MenuSource::kPaperDesktop);

struct MenuOutcome {
    bool handled = false;             // the menu or its dialog took the event
    std::optional<int> paper_action;  // answer 1 with this paper action (0: open, no action)
    std::string attachment_body;      // for /editor/attachment, empty when none
    bool paste = false;               // the window should paste the clipboard's plain text
};
MenuOutcome MenuPress(ActionMenu& m, int x, int y);
// Key-down (WM_KEYDOWN, WM_SYSKEYDOWN) with the Ctrl key's state; Enter confirms, Esc cancels,
// Ctrl+A selects all, Ctrl+V asks for a paste, Backspace deletes.
MenuOutcome MenuKey(ActionMenu& m, std::uint32_t vk, bool ctrl = false);
// A typed character (WM_CHAR unit): control characters (Tab, Enter...) are not typed.
MenuOutcome MenuChar(ActionMenu& m, char16_t unit);
// Plain text pasted into the dialog's box: line breaks and tabs dropped, the limit kept.
void MenuPaste(ActionMenu& m, std::u16string_view text);

// "rename" payload: the name's code page 1250 bytes as lower-case hexadecimal; a character
// without a code page 1250 form (a surrogate pair counts as one) is "3f".
std::string RenameHex(std::u16string_view name);

void AddActionMenu(DrawList& l, const ActionMenu& m, const EditorState& s);

}  // namespace hm
