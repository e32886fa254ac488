// A screen as a list of drawing steps in canvas pixels, built portably and replayed with GDI by
// draw_list_win.h. Tests read the list for the texts, colours and rectangles that matter.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/colour.h"
#include "ui/drawing.h"

namespace hm {

enum class DrawOpKind {
    kFill,            // solid rectangle
    kRoundFill,       // rounded rectangle, `radius`
    kGradient,        // vertical gradient colour -> colour2
    kText,            // `text` in `font`, `format`
    kButton,          // rounded button, label `text`, palette by `primary` and `flags`
    kGlyph,           // icon painter glyph `glyph` filling r (40 or 46 px)
    kStatePicture,    // the screen's picture scaled to fill r (falls back to the gradient)
    kDesktopPicture,  // the built-in desktop picture
    kCover,           // a document cover `glyph` (cover kind) filling r
    kEmbeddedPicture, // the plugin's embedded picture `glyph` (0 or 1) on its rounded background
    kTool,            // a workbench tool picture `glyph` (0-based tool number) filling r
    kBackdrop,        // the kept backdrop (a rendered screen), 1:1 from r's top left corner
};

enum class DrawFont { kBody, kTitle, kScript, kSmall, kCover };  // kCover: Segoe UI 28 px semibold

namespace text_format {
constexpr unsigned kLeft = 0;
constexpr unsigned kCenter = 1;
constexpr unsigned kRight = 2;
constexpr unsigned kWrap = 4;       // word-wrapped paragraph
constexpr unsigned kLine = 8;       // one line, vertically centred, ended with an ellipsis
}  // namespace text_format

struct DrawOp {
    DrawOpKind kind = DrawOpKind::kFill;
    UiRect r{0, 0, 0, 0};
    ColorRef colour = 0;
    ColorRef colour2 = 0;
    int radius = 0;
    std::wstring text;
    unsigned format = 0;
    DrawFont font = DrawFont::kBody;
    int glyph = 0;
    bool primary = false;
    std::uint32_t flags = 0;
};

using DrawList = std::vector<DrawOp>;

// Builders.
void AddFill(DrawList& l, UiRect r, ColorRef c);
void AddRoundFill(DrawList& l, UiRect r, ColorRef c, int radius);
void AddText(DrawList& l, UiRect r, std::wstring text, ColorRef c, unsigned format, DrawFont font = DrawFont::kBody);
void AddButton(DrawList& l, UiRect r, std::wstring label, bool primary, std::uint32_t flags);

// The first text step whose text equals `text`, or null.
const DrawOp* FindText(const DrawList& l, const std::wstring& text);

}  // namespace hm
