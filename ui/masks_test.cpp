// Transparency masks: the containment rule, every shape of the table at its corners, the
// cursor box rules, the snapshot option and the restore bar's alpha.
#include <gtest/gtest.h>

#include <vector>

#include "ui/colour.h"
#include "ui/drawing.h"
#include "ui/masks.h"
#include "base/overlay_frame.h"

namespace hm {
namespace {

constexpr ColorRef kInk = 0x203040;  // any colour other than the background

Pixels Canvas(ColorRef fill) {
    Pixels p(kCanvasWidth, kCanvasHeight);
    for (std::uint32_t y = 0; y < p.height(); ++y)
        for (std::uint32_t x = 0; x < p.width(); ++x) p.set(x, y, ArgbOf(fill));
    return p;
}

unsigned AlphaAt(const Pixels& p, int x, int y) { return p.at(std::uint32_t(x), std::uint32_t(y)) >> 24; }

TEST(MaskShapes, RowSpansAgreeWithTheContainmentRuleOnEveryPixel) {
    std::vector<MaskShape> shapes = {
        {0, 0, 10, 10, 0}, {5, 5, 6, 6, 0}, {0, 0, 11, 7, 3}, {3, 4, 9, 30, 5},  // narrower than two radii
        {0, 0, 4, 4, 9},   {2, 2, 2, 8, 1}, {-5, -3, 20, 9, 4},
    };
    for (MaskScreen s : {MaskScreen::kApp16Window, MaskScreen::kApp16Modes, MaskScreen::kApps27And30,
                         MaskScreen::kApp34Compact, MaskScreen::kApp34Full, MaskScreen::kInspectionWithCard,
                         MaskScreen::kIdentityCard, MaskScreen::kIdentityDialog, MaskScreen::kApp4ModeMinus2}) {
        const TransparencyMask m = MaskFor(s);
        for (int i = 0; i < m.shape_count; ++i) shapes.push_back(m.shapes[std::size_t(i)]);
    }
    for (const MaskShape& s : shapes) {
        for (int y = s.top - 2; y < s.bottom + 2; ++y) {
            const RowSpan span = ShapeRowSpan(s, y);
            for (int x = s.left - 2; x < s.right + 2; ++x) {
                ASSERT_EQ(ShapeContains(s, x, y), x >= span.begin && x < span.end)
                    << "shape " << s.left << "," << s.top << "," << s.right << "," << s.bottom << " r" << s.radius
                    << " at " << x << "," << y;
            }
        }
    }
}

TEST(MaskShapes, CornerPixelsOfEveryScreenMask) {
    struct Probe {
        MaskScreen screen;
        int x, y;
        bool opaque;
    } probes[] = {
        // app 16 window: rounded 216..593 x 0..759, r 42 as the compact frame's body is drawn (a
        // radius of 24 would leave light corners beside the dark body: 224,8 and 593,735)
        {MaskScreen::kApp16Window, 216, 0, false},  {MaskScreen::kApp16Window, 258, 0, true},
        {MaskScreen::kApp16Window, 216, 42, true},  {MaskScreen::kApp16Window, 223, 7, false},
        {MaskScreen::kApp16Window, 229, 13, true},  {MaskScreen::kApp16Window, 224, 8, false},
        {MaskScreen::kApp16Window, 593, 759, false}, {MaskScreen::kApp16Window, 593, 717, true},
        {MaskScreen::kApp16Window, 593, 735, false}, {MaskScreen::kApp16Window, 594, 400, false},
        {MaskScreen::kApp16Window, 215, 400, false}, {MaskScreen::kApp16Window, 0, 0, false},
        // app 16 modes 1/3: 120..689 x 160..599
        {MaskScreen::kApp16Modes, 120, 160, true},  {MaskScreen::kApp16Modes, 689, 599, true},
        {MaskScreen::kApp16Modes, 119, 160, false}, {MaskScreen::kApp16Modes, 690, 599, false},
        {MaskScreen::kApp16Modes, 120, 159, false}, {MaskScreen::kApp16Modes, 120, 600, false},
        // apps 27/30: 116..693 x 38..718
        {MaskScreen::kApps27And30, 116, 38, true},  {MaskScreen::kApps27And30, 693, 718, true},
        {MaskScreen::kApps27And30, 115, 38, false}, {MaskScreen::kApps27And30, 693, 719, false},
        // app 34 compact: (180,54,642,684 r9) and (232,710,594,746 r8)
        {MaskScreen::kApp34Compact, 180, 54, false}, {MaskScreen::kApp34Compact, 189, 54, true},
        {MaskScreen::kApp34Compact, 180, 63, true},  {MaskScreen::kApp34Compact, 641, 683, false},
        {MaskScreen::kApp34Compact, 641, 674, true}, {MaskScreen::kApp34Compact, 638, 681, false},
        {MaskScreen::kApp34Compact, 637, 680, true}, {MaskScreen::kApp34Compact, 232, 710, false},
        {MaskScreen::kApp34Compact, 240, 710, true}, {MaskScreen::kApp34Compact, 300, 700, false},
        {MaskScreen::kApp34Compact, 593, 745, false}, {MaskScreen::kApp34Compact, 585, 745, true},
        // app 34 full: (54,42,758,704 r9), (82,710,392,746 r8), (416,710,732,746 r8)
        {MaskScreen::kApp34Full, 54, 42, false},  {MaskScreen::kApp34Full, 63, 42, true},
        {MaskScreen::kApp34Full, 757, 703, false}, {MaskScreen::kApp34Full, 748, 703, true},
        {MaskScreen::kApp34Full, 82, 710, false}, {MaskScreen::kApp34Full, 90, 710, true},
        {MaskScreen::kApp34Full, 391, 728, true}, {MaskScreen::kApp34Full, 392, 728, false},
        {MaskScreen::kApp34Full, 400, 728, false}, {MaskScreen::kApp34Full, 415, 728, false},
        {MaskScreen::kApp34Full, 416, 728, true}, {MaskScreen::kApp34Full, 731, 745, false},
        // field inspection with card: 90..719 x 72..701, r 6
        {MaskScreen::kInspectionWithCard, 90, 72, false}, {MaskScreen::kInspectionWithCard, 96, 72, true},
        {MaskScreen::kInspectionWithCard, 90, 78, true},  {MaskScreen::kInspectionWithCard, 719, 701, false},
        {MaskScreen::kInspectionWithCard, 713, 701, true}, {MaskScreen::kInspectionWithCard, 720, 400, false},
        // identity card: the card picture 110..699 x 190..559, r 20 (its rounded corners); the
        // dialog's title bar above it is not the card's
        {MaskScreen::kIdentityCard, 110, 190, false}, {MaskScreen::kIdentityCard, 130, 190, true},
        {MaskScreen::kIdentityCard, 110, 210, true},  {MaskScreen::kIdentityCard, 699, 559, false},
        {MaskScreen::kIdentityCard, 699, 539, true},  {MaskScreen::kIdentityCard, 109, 300, false},
        {MaskScreen::kIdentityCard, 700, 300, false}, {MaskScreen::kIdentityCard, 400, 189, false},
        {MaskScreen::kIdentityCard, 400, 560, false},
        // identity dialog: the panel 120..689 x 160..599, r 6, its title bar (the top band)
        // square and its button 1 (150..649 x 550..581) inside
        {MaskScreen::kIdentityDialog, 120, 160, true},  {MaskScreen::kIdentityDialog, 689, 160, true},
        {MaskScreen::kIdentityDialog, 120, 219, true},  {MaskScreen::kIdentityDialog, 120, 599, false},
        {MaskScreen::kIdentityDialog, 126, 599, true},  {MaskScreen::kIdentityDialog, 689, 599, false},
        {MaskScreen::kIdentityDialog, 119, 200, false}, {MaskScreen::kIdentityDialog, 690, 200, false},
        {MaskScreen::kIdentityDialog, 150, 581, true},  {MaskScreen::kIdentityDialog, 649, 550, true},
        // app 4 mode -2: 120..689 x 210..549, r 8
        {MaskScreen::kApp4ModeMinus2, 120, 210, false}, {MaskScreen::kApp4ModeMinus2, 128, 210, true},
        {MaskScreen::kApp4ModeMinus2, 689, 549, false}, {MaskScreen::kApp4ModeMinus2, 681, 549, true},
        // no mask: the whole canvas stays
        {MaskScreen::kNone, 0, 0, true}, {MaskScreen::kNone, 809, 759, true},
    };
    const Pixels base = Canvas(kInk);
    MaskScreen last = MaskScreen::kNone;
    Pixels frame = base;
    bool applied = false;
    for (const Probe& p : probes) {
        if (!applied || p.screen != last) {
            frame = base;
            ApplyMask(frame, MaskFor(p.screen), -1000, -1000);
            last = p.screen;
            applied = true;
        }
        EXPECT_EQ(AlphaAt(frame, p.x, p.y), p.opaque ? 255u : 0u)
            << "screen " << int(p.screen) << " at " << p.x << "," << p.y;
        EXPECT_EQ(ColorOfArgb(frame.at(std::uint32_t(p.x), std::uint32_t(p.y))), kInk) << "colour untouched";
    }
}

TEST(MaskShapes, AppliedMaskIsTheUnionOfItsShapesOnEveryPixel) {
    std::vector<TransparencyMask> masks;
    for (MaskScreen s : {MaskScreen::kApp16Window, MaskScreen::kApp16Modes, MaskScreen::kApps27And30,
                         MaskScreen::kApp34Compact, MaskScreen::kApp34Full, MaskScreen::kInspectionWithCard,
                         MaskScreen::kIdentityCard, MaskScreen::kIdentityDialog, MaskScreen::kApp4ModeMinus2})
        masks.push_back(MaskFor(s));
    // Shapes out of order, overlapping, nested and running off the canvas.
    TransparencyMask odd;
    odd.active = true;
    odd.shapes = {MaskShape{500, 100, 900, 300, 30}, MaskShape{-40, 50, 520, 200, 12}, MaskShape{100, 60, 200, 150, 5}};
    odd.shape_count = 3;
    masks.push_back(odd);
    const Pixels base = Canvas(kInk);
    for (std::size_t m = 0; m < masks.size(); ++m) {
        Pixels f = base;
        ApplyMask(f, masks[m], -1000, -1000);
        int wrong = 0;
        for (int y = 0; y < kCanvasHeight; ++y)
            for (int x = 0; x < kCanvasWidth; ++x) {
                bool in = false;
                for (int i = 0; i < masks[m].shape_count; ++i) in = in || ShapeContains(masks[m].shapes[std::size_t(i)], x, y);
                wrong += AlphaAt(f, x, y) != (in ? 255u : 0u);
            }
        EXPECT_EQ(wrong, 0) << "mask " << m;
    }
}

TEST(MaskCursorBox, OpaqueBoxIsTwentyFourPixelsFromTheCursorAndClippedAtTheEdges) {
    const TransparencyMask m = MaskFor(MaskScreen::kApp16Modes);
    Pixels f = Canvas(kInk);
    ApplyMask(f, m, 10, 20);
    EXPECT_EQ(AlphaAt(f, 10, 20), 255u);
    EXPECT_EQ(AlphaAt(f, 33, 43), 255u);
    EXPECT_EQ(AlphaAt(f, 34, 43), 0u);
    EXPECT_EQ(AlphaAt(f, 33, 44), 0u);
    EXPECT_EQ(AlphaAt(f, 9, 20), 0u);
    EXPECT_EQ(AlphaAt(f, 10, 19), 0u);

    Pixels corner = Canvas(kInk);
    ApplyMask(corner, m, 800, 750);  // box runs off the canvas
    EXPECT_EQ(AlphaAt(corner, 809, 759), 255u);
    EXPECT_EQ(AlphaAt(corner, 799, 759), 0u);

    Pixels before = Canvas(kInk);
    ApplyMask(before, m, -5, -5);  // partly left of and above the canvas
    EXPECT_EQ(AlphaAt(before, 0, 0), 255u);
    EXPECT_EQ(AlphaAt(before, 18, 18), 255u);
    EXPECT_EQ(AlphaAt(before, 19, 18), 0u);
}

TEST(MaskCursorBox, App16WindowKeepsOnlyBoxPixelsThatAreNotBackground) {
    Pixels f = Canvas(kCanvasBackground);
    for (int y = 12; y < 15; ++y)
        for (int x = 12; x < 15; ++x) f.set(std::uint32_t(x), std::uint32_t(y), ArgbOf(kInk));
    f.set(100, 100, ArgbOf(kInk));  // ink outside the box is still cut
    ApplyMask(f, MaskFor(MaskScreen::kApp16Window), 10, 10);
    EXPECT_EQ(AlphaAt(f, 12, 12), 255u);
    EXPECT_EQ(AlphaAt(f, 14, 14), 255u);
    EXPECT_EQ(AlphaAt(f, 10, 10), 0u);
    EXPECT_EQ(AlphaAt(f, 15, 15), 0u);
    EXPECT_EQ(AlphaAt(f, 100, 100), 0u);
    EXPECT_EQ(AlphaAt(f, 400, 400), 255u) << "background inside the shape stays";
}

TEST(MaskCursorBox, DocumentMasksIgnoreTheCursor) {
    for (MaskScreen s : {MaskScreen::kIdentityDialog, MaskScreen::kIdentityCard, MaskScreen::kInspectionWithCard,
                         MaskScreen::kApp4ModeMinus2}) {
        Pixels f = Canvas(kInk);
        ApplyMask(f, MaskFor(s), 10, 10);
        EXPECT_EQ(AlphaAt(f, 12, 12), 0u) << int(s);
    }
}

TEST(MaskSnapshot, OutsideTheShapesOnlyPixelsThatDifferFromTheSnapshotStay) {
    const Pixels snapshot = Canvas(kCanvasBackground);
    Pixels f = snapshot;
    f.set(5, 5, ArgbOf(kInk));
    f.set(805, 700, ArgbOf(0xF9F3EF));  // one unit off in red still differs
    ApplyMask(f, MaskFor(MaskScreen::kIdentityDialog), 0, 0, &snapshot);
    EXPECT_EQ(AlphaAt(f, 5, 5), 255u);
    EXPECT_EQ(AlphaAt(f, 805, 700), 255u);
    EXPECT_EQ(AlphaAt(f, 6, 5), 0u);
    EXPECT_EQ(AlphaAt(f, 400, 400), 255u);

    const Pixels wrong_size(10, 10);
    Pixels g = Canvas(kInk);
    ApplyMask(g, MaskFor(MaskScreen::kIdentityDialog), 0, 0, &wrong_size);  // ignored, never read past
    EXPECT_EQ(AlphaAt(g, 5, 5), 0u);
}

TEST(MaskChoice, ScreensMapToTheirMasks) {
    struct Case {
        MaskInputs in;
        MaskScreen want;
    } cases[] = {
        {{16, 0, 8, false, false, MaskDocument::kNone}, MaskScreen::kApp16Window},
        {{16, 1, 8 | 16, false, false, MaskDocument::kNone}, MaskScreen::kApp16Window},
        {{16, 1, 0, false, false, MaskDocument::kNone}, MaskScreen::kApp16Modes},
        {{16, 3, 0, false, false, MaskDocument::kNone}, MaskScreen::kApp16Modes},
        {{16, 3, 16, false, false, MaskDocument::kNone}, MaskScreen::kNone},
        {{16, 1, 0, true, false, MaskDocument::kNone}, MaskScreen::kNone},
        {{16, 2, 0, false, false, MaskDocument::kNone}, MaskScreen::kNone},
        {{27, 0, 0, false, false, MaskDocument::kNone}, MaskScreen::kApps27And30},
        {{30, 5, 0, false, false, MaskDocument::kNone}, MaskScreen::kApps27And30},
        {{34, 0, 0, false, true, MaskDocument::kNone}, MaskScreen::kApp34Compact},
        {{34, 0, 0, false, false, MaskDocument::kNone}, MaskScreen::kApp34Full},
        {{4, -2, 0, false, false, MaskDocument::kNone}, MaskScreen::kApp4ModeMinus2},
        {{4, -1, 0, false, false, MaskDocument::kNone}, MaskScreen::kNone},
        {{1, 0, 0, false, false, MaskDocument::kNone}, MaskScreen::kNone},
        {{16, 1, 0, false, false, MaskDocument::kIdentityCard}, MaskScreen::kIdentityCard},
        {{0, 0, 0, false, false, MaskDocument::kInspectionWithCard}, MaskScreen::kInspectionWithCard},
        {{0, 0, 0, false, false, MaskDocument::kInspectionWithoutCard}, MaskScreen::kIdentityDialog},
        {{0, 0, 0, false, false, MaskDocument::kIdentityDialog}, MaskScreen::kIdentityDialog},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ChooseMask(c.in), c.want) << "app " << c.in.app << " mode " << c.in.mode << " flags " << c.in.window_flags;
}

TEST(AlphaRules, OpaqueThenRestoreBarLeavesOnlyTheBar) {
    Pixels f(kCanvasWidth, kCanvasHeight);
    SetAlphaOpaque(f);
    EXPECT_EQ(AlphaAt(f, 0, 0), 255u);
    ApplyRestoreBarAlpha(f);
    int opaque = 0;
    for (int y = 0; y < kCanvasHeight; ++y)
        for (int x = 0; x < kCanvasWidth; ++x) opaque += AlphaAt(f, x, y) == 255;
    EXPECT_EQ(opaque, 306 * 40);
    EXPECT_EQ(AlphaAt(f, 24, 712), 255u);
    EXPECT_EQ(AlphaAt(f, 329, 751), 255u);
    EXPECT_EQ(AlphaAt(f, 23, 712), 0u);
    EXPECT_EQ(AlphaAt(f, 330, 751), 0u);
    EXPECT_EQ(AlphaAt(f, 24, 711), 0u);
    EXPECT_EQ(AlphaAt(f, 24, 752), 0u);
}

TEST(ButtonPalette, PrimaryAndSecondaryInBothPalettes) {
    struct Case {
        bool primary;
        std::uint32_t flags;
        ColorRef fill, label;
    } cases[] = {
        {true, 0, 0xAA6022, 0xFFFFFF},        {true, 0x200000, 0x3A6180, 0xFFFFFF},
        {false, 0, 0xF0EAE5, 0x4E3C2C},       {false, 0x200000, 0xAEC7D5, 0x4E3C2C},
        {true, 0xFFDFFFFF, 0xAA6022, 0xFFFFFF},  // every other bit set: still the normal palette
    };
    for (const Case& c : cases) {
        const ButtonColours b = ButtonColoursFor(c.primary, c.flags);
        EXPECT_EQ(b.fill, c.fill);
        EXPECT_EQ(b.label, c.label);
    }
}

}  // namespace
}  // namespace hm
