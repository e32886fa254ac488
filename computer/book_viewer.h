// The book viewer (kind 15): the cover, the contents and the pages of a book or case file, with
// the page the server shows and the page changes it is asked for by /editor/book. Portable.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "computer/draw_list.h"
#include "computer/editor_state.h"

namespace hm {

constexpr int kContentsRows = 10;
constexpr int kContentsTop = 120;
constexpr int kContentsStep = 48;
constexpr int kContentsRowHeight = 44;
constexpr UiRect kBookPictureArea{48, 76, 742, 636};
constexpr UiRect kAttachmentButton{246, 320, 564, 352};
constexpr UiRect kOptionsButton{640, 674, 786, 706};
constexpr ColorRef kBookCover = RgbRef(108, 36, 40);
constexpr ColorRef kFileCover = RgbRef(201, 170, 112);

bool IsBookScreen(const EditorState& s);
bool IsFileCover(const EditorState& s);  // cover type 2: a case file ("SPIS")

struct BookView {
    int contents_page = 0;  // the contents' own page (10 entries a page)
};

struct BookPicture {
    int width = 0, height = 0;  // of the page's picture; 0 when none
};
// The picture fitted into 694 x 560 at (48,76), centred.
UiRect FitPicture(int width, int height, const UiRect& area);

// status: the view's status text.
DrawList BuildBookDrawList(const EditorState& s, const BookView& v, const std::wstring& status, bool submitted,
                           const BookPicture& picture);

struct BookInput {
    bool handled = false;
    std::optional<int> answer;
    std::string body;  // for /editor/book: request id, page index
};
// A press at a canvas point; `awaiting`: an answer is awaited (no page changes then).
BookInput BookPress(BookView& v, const EditorState& s, int x, int y, bool awaiting);
BookInput BookWheel(BookView& v, const EditorState& s, int wheel_delta);
// Enter, Page Down, Right next; Page Up, Left previous; End last; Home first. Others: not handled.
BookInput BookKey(const EditorState& s, std::uint32_t vk, bool awaiting);

}  // namespace hm
