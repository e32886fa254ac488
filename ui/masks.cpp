#include "ui/masks.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "ui/colour.h"

namespace hm {

namespace {

// clamp that tolerates lo > hi (a shape narrower than its corners): the upper bound wins.
int ClampTo(int v, int lo, int hi) { return std::min(std::max(v, lo), hi); }

int FloorSqrt(int v) {
    int r = int(std::sqrt(double(v)));
    while (r * r > v) --r;
    while ((r + 1) * (r + 1) <= v) ++r;
    return r;
}

constexpr MaskShape Rect(int l, int t, int r, int b, int radius = 0) { return MaskShape{l, t, r, b, radius}; }

TransparencyMask Make(std::initializer_list<MaskShape> shapes, CursorBoxRule box) {
    TransparencyMask m;
    m.active = true;
    for (const MaskShape& s : shapes) m.shapes[std::size_t(m.shape_count++)] = s;
    m.cursor_box = box;
    return m;
}

constexpr std::uint8_t kOpaque = 255;

bool SameColour(const std::uint8_t* a, const std::uint8_t* b) { return a[0] == b[0] && a[1] == b[1] && a[2] == b[2]; }

}  // namespace

bool ShapeContains(const MaskShape& s, int x, int y) {
    if (x < s.left || x >= s.right || y < s.top || y >= s.bottom) return false;
    const long long dx = x - ClampTo(x, s.left + s.radius, s.right - s.radius - 1);
    const long long dy = y - ClampTo(y, s.top + s.radius, s.bottom - s.radius - 1);
    return dx * dx + dy * dy <= (long long)s.radius * s.radius;
}

RowSpan ShapeRowSpan(const MaskShape& s, int y) {
    if (y < s.top || y >= s.bottom || s.left >= s.right) return {};
    const int r = s.radius;
    const int dy = y - ClampTo(y, s.top + r, s.bottom - r - 1);
    const int rest = r * r - dy * dy;
    if (rest < 0) return {};
    const int dx = FloorSqrt(rest);
    const int hi = s.right - r - 1;
    const int lo = std::min(s.left + r, hi);
    return {std::max(s.left, lo - dx), std::min(s.right, hi + dx + 1)};
}

TransparencyMask MaskFor(MaskScreen screen) {
    using B = CursorBoxRule;
    switch (screen) {
        case MaskScreen::kNone: return {};
        // The compact frame's body is rounded by 42 px; a smaller radius would keep light corners.
        case MaskScreen::kApp16Window: return Make({Rect(216, 0, 594, 760, 42)}, B::kNotBackground);
        case MaskScreen::kApp16Modes: return Make({Rect(120, 160, 690, 600)}, B::kOpaque);
        case MaskScreen::kApps27And30: return Make({Rect(116, 38, 694, 719)}, B::kOpaque);
        case MaskScreen::kApp34Compact:
            return Make({Rect(180, 54, 642, 684, 9), Rect(232, 710, 594, 746, 8)}, B::kOpaque);
        case MaskScreen::kApp34Full:
            return Make({Rect(54, 42, 758, 704, 9), Rect(82, 710, 392, 746, 8), Rect(416, 710, 732, 746, 8)},
                        B::kOpaque);
        case MaskScreen::kInspectionWithCard: return Make({Rect(90, 72, 720, 702, 6)}, B::kNone);
        // Each shape holds what its screen draws: the card is the rounded picture at
        // (110,190)-(700,560) (corners of 20 px); the dialog is the panel (120,160)-(690,600)
        // whose square title bar is the band across its top.
        case MaskScreen::kIdentityCard: return Make({Rect(110, 190, 700, 560, 20)}, B::kNone);
        case MaskScreen::kIdentityDialog: return Make({Rect(120, 160, 690, 600, 6), Rect(120, 160, 690, 220)}, B::kNone);
        case MaskScreen::kApp4ModeMinus2: return Make({Rect(120, 210, 690, 550, 8)}, B::kNone);
    }
    return {};
}

MaskScreen ChooseMask(const MaskInputs& in) {
    switch (in.document) {
        case MaskDocument::kIdentityCard: return MaskScreen::kIdentityCard;
        case MaskDocument::kInspectionWithCard: return MaskScreen::kInspectionWithCard;
        case MaskDocument::kInspectionWithoutCard:
        case MaskDocument::kIdentityDialog: return MaskScreen::kIdentityDialog;
        case MaskDocument::kNone: break;
    }
    switch (in.app) {
        case 16:
            if (in.window_flags & 8) return MaskScreen::kApp16Window;
            if ((in.mode == 1 || in.mode == 3) && !(in.window_flags & 16) && !in.app_declines_mask)
                return MaskScreen::kApp16Modes;
            return MaskScreen::kNone;
        case 27:
        case 30: return MaskScreen::kApps27And30;
        case 34: return in.compact_layout ? MaskScreen::kApp34Compact : MaskScreen::kApp34Full;
        case 4: return in.mode == -2 ? MaskScreen::kApp4ModeMinus2 : MaskScreen::kNone;
        default: return MaskScreen::kNone;
    }
}

void SetAlphaOpaque(Pixels& frame) {
    std::uint8_t* p = frame.data();
    const std::size_t n = frame.size_bytes();
    for (std::size_t i = 3; i < n; i += 4) p[i] = kOpaque;
}

void ApplyMask(Pixels& frame, const TransparencyMask& mask, int cursor_x, int cursor_y, const Pixels* snapshot) {
    if (!mask.active) return;
    if (snapshot && (snapshot->width() != frame.width() || snapshot->height() != frame.height())) snapshot = nullptr;
    const int w = int(frame.width());
    const int h = int(frame.height());
    const int box_l = std::max(cursor_x, 0), box_r = std::min(cursor_x + kCursorBoxSize, w);
    const int box_t = std::max(cursor_y, 0), box_b = std::min(cursor_y + kCursorBoxSize, h);
    const bool box_used = mask.cursor_box != CursorBoxRule::kNone && box_l < box_r && box_t < box_b;
    const std::uint8_t bg[3] = {std::uint8_t(BlueOf(kCanvasBackground)), std::uint8_t(GreenOf(kCanvasBackground)),
                                std::uint8_t(RedOf(kCanvasBackground))};

    std::array<RowSpan, 3> spans;
    for (int y = 0; y < h; ++y) {
        std::uint8_t* row = frame.row(std::uint32_t(y));
        for (int i = 0; i < mask.shape_count; ++i) spans[std::size_t(i)] = ShapeRowSpan(mask.shapes[std::size_t(i)], y);
        auto inside = [&](int x) {
            for (int i = 0; i < mask.shape_count; ++i)
                if (x >= spans[std::size_t(i)].begin && x < spans[std::size_t(i)].end) return true;
            return false;
        };
        // One write per pixel: the row's runs in order of their start, gaps transparent.
        std::array<RowSpan, 3> sorted = spans;
        for (int i = 1; i < mask.shape_count; ++i)
            for (int j = i; j > 0 && sorted[std::size_t(j)].begin < sorted[std::size_t(j - 1)].begin; --j)
                std::swap(sorted[std::size_t(j)], sorted[std::size_t(j - 1)]);
        int x = 0;
        for (int i = 0; i < mask.shape_count; ++i) {
            const RowSpan s = sorted[std::size_t(i)];
            if (s.empty()) continue;
            for (const int gap_end = std::min(s.begin, w); x < gap_end; ++x) row[x * 4 + 3] = 0;
            for (const int run_end = std::min(s.end, w); x < run_end; ++x) row[x * 4 + 3] = kOpaque;
        }
        for (; x < w; ++x) row[x * 4 + 3] = 0;
        if (snapshot) {
            const std::uint8_t* snap = snapshot->row(std::uint32_t(y));
            for (int x = 0; x < w; ++x)
                if (!inside(x) && !SameColour(row + x * 4, snap + x * 4)) row[x * 4 + 3] = kOpaque;
        }
        if (box_used && y >= box_t && y < box_b) {
            for (int x = box_l; x < box_r; ++x) {
                if (mask.cursor_box == CursorBoxRule::kOpaque || !SameColour(row + x * 4, bg)) row[x * 4 + 3] = kOpaque;
            }
        }
    }
}

}  // namespace hm
