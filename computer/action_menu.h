// The paper desktop's document action menu (kind 16 with paper actions, right mouse button on an
// item) and its discard confirmation. Portable: offers per document type, placement on the
// canvas, keys and clicks, and the draw list appended to the desktop's.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "computer/draw_list.h"
#include "computer/editor_state.h"

namespace hm {

enum class DocumentType { kBook, kFile, kSealed, kPhoto, kSketch, kPlain };
DocumentType DocumentTypeOf(const EditorItem& item);

// Paper actions: 0 show (open), 1 rename, 2 discard, 3 show to others, 4 hand over, 5 ask for a
// signature, 6 sign, 7 copy.
const wchar_t* PaperActionLabel(int action);
// The actions offered for an item, in menu order. Renaming is left out: its dialog with a text
// box is not built.
std::vector<int> PaperActionsFor(const EditorItem& item);

constexpr int kMenuWidth = 232;
constexpr int kMenuEntryHeight = 40;

struct ActionMenu {
    bool open = false;
    int item = -1;            // item index
    int left = 0, top = 0;    // where it stands
    std::vector<int> actions;
    int highlight = 0;
    int confirm_discard = -1;  // item index whose discard awaits confirmation, -1 none
};

// Opens the menu for `item` at the click point, kept on the canvas.
void OpenActionMenu(ActionMenu& m, const EditorState& s, int item, int x, int y);

struct MenuOutcome {
    bool handled = false;             // the menu or its dialog took the event
    std::optional<int> paper_action;  // answer 1 with this paper action (0: open, no action)
};
MenuOutcome MenuPress(ActionMenu& m, int x, int y);
MenuOutcome MenuKey(ActionMenu& m, std::uint32_t vk);

void AddActionMenu(DrawList& l, const ActionMenu& m, const EditorState& s);

}  // namespace hm
