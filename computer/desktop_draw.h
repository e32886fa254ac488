// The slot desktop (and its carried-documents view) as a draw list.
#pragma once

#include <string>

#include "computer/desktop_input.h"
#include "computer/draw_list.h"
#include "computer/editor_state.h"

namespace hm {

struct DesktopDrawContext {
    std::wstring status;      // status text of the view
    bool submitted = false;   // an answer is awaited
    std::wstring clock;       // "HH:MM" or "--:--"
    bool has_picture = false; // the state's picture is decoded
    int picture_width = 0, picture_height = 0;  // its size
};

constexpr ColorRef kDesktopBackdrop = RgbRef(223, 229, 236);
constexpr ColorRef kDesktopPanel = RgbRef(249, 251, 254);
constexpr ColorRef kDesktopHeaderText = RgbRef(31, 45, 66);
constexpr ColorRef kDesktopClockText = RgbRef(36, 55, 79);
constexpr ColorRef kTileSelected = RgbRef(211, 231, 252);
constexpr ColorRef kCarriedBackdrop = RgbRef(204, 190, 166);
constexpr ColorRef kCarriedPanel = RgbRef(181, 160, 127);
constexpr ColorRef kCarriedSheet = RgbRef(226, 215, 192);
constexpr ColorRef kCarriedStrip = RgbRef(138, 111, 78);
constexpr ColorRef kCardColour = RgbRef(250, 246, 236);
constexpr ColorRef kCardSelected = RgbRef(255, 236, 196);
constexpr UiRect kDesktopWorkArea{24, 78, 786, 666};
constexpr UiRect kDesktopStatusLine{392, 632, 606, 668};

// The mechanic's workbench: a slot desktop whose tiles are tools on a board, a shelf and trays.
bool IsWorkbench(const EditorState& s);
constexpr UiRect kWorkbenchBoard{33, 138, 776, 382};
constexpr int kWorkbenchLineStep = 29;  // the board's horizontal lines
constexpr int kWorkbenchTileWidth = 132;
constexpr int kWorkbenchTileHeight = 100;
constexpr ColorRef kWorkbenchBoardColour = RgbRef(139, 98, 62);
constexpr ColorRef kWorkbenchLineColour = RgbRef(108, 74, 45);
constexpr ColorRef kWorkbenchShelf = RgbRef(94, 64, 40);
constexpr ColorRef kWorkbenchTray = RgbRef(62, 70, 80);
constexpr ColorRef kWorkbenchTrayInside = RgbRef(84, 94, 106);
constexpr ColorRef kWorkbenchTile = RgbRef(44, 50, 58);
constexpr ColorRef kWorkbenchTileSelected = RgbRef(38, 92, 152);
// The tool picture of an item: its id - 1, -1 for ids below 1 (the painter shows a tool box for
// every number it has no picture for).
int WorkbenchTool(const EditorItem& item);
constexpr int kWorkbenchToolCount = 10;

DrawList BuildDesktopDrawList(const EditorState& s, const DesktopView& v, const DesktopDrawContext& c);

// Cover kinds of a carried card by the item's document type.
enum class CoverKind { kPaper = 0, kBook = 1, kFile = 2, kPhoto = 3 };
CoverKind CoverFor(const EditorItem& item);

}  // namespace hm
