// Transparency masks of the overlay canvas: which pixels stay opaque (alpha 255) and where the
// game shows through (alpha 0). Portable; the UI thread applies one after each rendering pass.
#pragma once

#include <array>
#include <cstdint>

#include "base/pixels.h"

namespace hm {

// A rectangle with rounded corners; right and bottom are exclusive, radius 0 is a plain rectangle.
// (x, y) is inside when left <= x < right, top <= y < bottom and its distance to
// (clamp(x, left + r, right - r - 1), clamp(y, top + r, bottom - r - 1)) is at most r.
struct MaskShape {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int radius = 0;
};

bool ShapeContains(const MaskShape& shape, int x, int y);

// The columns [begin, end) of `shape` in row y (a row of a convex shape is one run).
struct RowSpan {
    int begin = 0;
    int end = 0;
    bool empty() const { return begin >= end; }
};
RowSpan ShapeRowSpan(const MaskShape& shape, int y);

// How the 24 x 24 box at the plugin cursor (CursorX, CursorY) is treated outside the shapes.
enum class CursorBoxRule {
    kNone,           // cut out like everything else
    kOpaque,         // the whole box stays opaque
    kNotBackground,  // box pixels stay opaque unless they show the canvas background 0xF9F3EE
};
constexpr int kCursorBoxSize = 24;

struct TransparencyMask {
    bool active = false;  // false: the whole canvas stays opaque
    std::array<MaskShape, 3> shapes{};
    int shape_count = 0;
    CursorBoxRule cursor_box = CursorBoxRule::kNone;
};

// The screens that cut the game free around them.
enum class MaskScreen {
    kNone,
    kApp16Window,             // app 16 while its window flag 8 is set
    kApp16Modes,              // app 16 in modes 1 and 3 without flags 8 and 16
    kApps27And30,
    kApp34Compact,
    kApp34Full,
    kInspectionWithCard,      // field inspection document that embeds an identity card
    kIdentityCard,            // identity card document
    kIdentityDialog,          // identity dialog, and field inspection without a card
    kApp4ModeMinus2,
};

TransparencyMask MaskFor(MaskScreen screen);

// The open document, as far as masks care.
enum class MaskDocument { kNone, kIdentityCard, kInspectionWithCard, kInspectionWithoutCard, kIdentityDialog };

struct MaskInputs {
    int app = 0;
    int mode = 0;
    std::uint32_t window_flags = 0;
    bool app_declines_mask = false;  // app 16 in modes 1/3 may report that it needs the full canvas
    bool compact_layout = false;     // app 34
    MaskDocument document = MaskDocument::kNone;
};

// Document masks win over app masks; screens without a row in the table keep the whole canvas.
MaskScreen ChooseMask(const MaskInputs& in);

// Applies `mask` to a finished canvas whose alpha is 255 everywhere. With a snapshot (the canvas
// right after its background was drawn, same size), a pixel outside the shapes stays opaque when
// its colour differs from the snapshot's.
void ApplyMask(Pixels& frame, const TransparencyMask& mask, int cursor_x, int cursor_y,
               const Pixels* snapshot = nullptr);

// Alpha rule: GDI leaves alpha undefined, so a copied canvas starts fully opaque.
void SetAlphaOpaque(Pixels& frame);

}  // namespace hm
