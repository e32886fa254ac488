// The list screens of documents (kinds 2, 5, 6, 7, 12, 14): 10 rows a page under the document
// frame's header, the reorder buttons of an attachment list and paging (search results page on
// the server, the others here). Portable: a draw list and the rules of clicks, wheel and keys;
// selection and page live in the desktop view's fields.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/ticks.h"
#include "computer/desktop_input.h"
#include "computer/draw_list.h"
#include "computer/editor_exchange.h"
#include "computer/editor_state.h"

namespace hm {

constexpr int kDocumentListRows = 10;
constexpr int kDocumentListTop = 120;
constexpr int kDocumentListStep = 48;
constexpr int kDocumentListRowHeight = 44;
constexpr UiRect kMoveUpButton{210, 628, 380, 660};
constexpr UiRect kMoveDownButton{398, 628, 568, 660};
constexpr UiRect kListPreviousButton{24, 628, 174, 660};
constexpr UiRect kListNextButton{636, 628, 786, 660};

bool IsDocumentList(const EditorState& s);
// Kind 2 with a second button label: the items can be moved.
bool HasReorderButtons(const EditorState& s);
// Kind 7: the server's page count (at least 1); others: 10 rows a page.
long long DocumentListPages(const EditorState& s);
// The page shown (0-based): kind 7 the server's, others the view's.
long long DocumentListPage(const DesktopView& v, const EditorState& s);
UiRect DocumentListRowRect(int row);
// The item index of the row under a canvas point, or nothing.
std::optional<int> DocumentListItemAt(const DesktopView& v, const EditorState& s, int x, int y);

// Kinds 5 and 6 carry their rows in the content text, not in the item lines: one row a line
// (LF, CR LF or a lone CR; kind 6: after a heading line), fields split at TAB, numbered from 1. The row reads
// "č.j. " + first field + "  |  " + second, its second line the other fields joined the same
// way; a line of more than three fields gives its colour from the last, read as hexadecimal
// digits (rows without one are not tinted). Empty lines give no row; at most kMaxItems rows.
std::vector<EditorItem> RowsFromContent(const EditorState& s);
// Replaces the items of a kind 5 or 6 state with the rows of its content; other kinds stay.
void RebuildContentRows(EditorState& s);

DrawList BuildDocumentListDrawList(const EditorState& s, const DesktopView& v);

struct DocumentListInput {
    bool handled = false;
    std::optional<int> answer;
    EditorBody body_kind = EditorBody::kReorder;
    std::string body;  // /editor/reorder "id\nitem\n-1|1" or /editor/page "id\npage"
};
// A press (WM_LBUTTONDBLCLK: double_click_message). Not handled: the frame's buttons may take it.
DocumentListInput DocumentListPress(DesktopView& v, const EditorState& s, int x, int y, Tick now,
                                    bool double_click_message);
DocumentListInput DocumentListWheel(DesktopView& v, const EditorState& s, int wheel_delta);
// Up, Down, Page Up, Page Down; other keys are the frame's.
DocumentListInput DocumentListKey(DesktopView& v, const EditorState& s, std::uint32_t vk);

}  // namespace hm
