// The legacy icon grid: which screens get it, tile geometry, both themes' bands and titles,
// glyph rules, paging, and clicks and keys down to the selection payload.
#include "computer/legacy_grid.h"

#include <gtest/gtest.h>

#include <string>

#include "computer/desktop_layout.h"
#include "computer/document_payload.h"
#include "computer/document_screen.h"

namespace hm {
namespace {

EditorState Grid(std::uint32_t flags, int items) {
    EditorState s;
    s.request_id = 80;
    s.kind = 16;
    s.flags = int(flags);
    s.title = "Aplikace";
    for (int i = 0; i < items; ++i) {
        EditorItem e;
        e.id = 300 + i;
        e.label = i == 0 ? "Mail" : "Program " + std::to_string(i);
        s.items.push_back(e);
    }
    return s;
}

std::string Rect(const UiRect& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}

int Fills(const DrawList& l, ColorRef c) {
    int n = 0;
    for (const DrawOp& op : l) n += (op.kind == DrawOpKind::kFill || op.kind == DrawOpKind::kRoundFill) && op.colour == c;
    return n;
}

TEST(LegacyGrid, WhichScreensGetIt) {
    const struct {
        const char* name;
        std::uint32_t flags;
        const char* initial_text;
        bool legacy;
    } cases[] = {
        {"icon bit 0x20 in a menu", 0x22, "", true},
        {"sub-mode 4 and 5", 0x25, "", true},
        {"with 0x80 a slot desktop", 0xA2, "", false},
        {"0x40 alone: web desktop", 0x62, "", false},
        {"no icon bit: a list", 0x02, "", false},
        {"text page", 0x20, "", false},
        {"a menu with initial text", 0x22, "x", false},
    };
    for (const auto& c : cases) {
        EditorState s = Grid(c.flags, 3);
        s.initial_text = c.initial_text;
        EXPECT_EQ(IsLegacyGrid(s), c.legacy) << c.name;
    }
}

TEST(LegacyGrid, TilesPagesAndGeometry) {
    const EditorState s = Grid(0x22, 17);
    EXPECT_EQ(Rect(LegacyTileRect(s, 0)), "40,126,212,244");
    EXPECT_EQ(Rect(LegacyTileRect(s, 5)), "224,258,396,376");
    EXPECT_EQ(Rect(LegacyTileRect(s, 15)), "592,522,764,640");
    EXPECT_EQ(LegacyPages(s), 2);
    const EditorState compact = Grid(0x2A, 7);
    EXPECT_EQ(LegacyPerPage(compact), 6);
    EXPECT_EQ(Rect(LegacyTileRect(compact, 3)), "400,314,554,432");
    EXPECT_EQ(LegacyPages(compact), 2);
    EXPECT_EQ(LegacyPages(Grid(0x22, 0)), 1);

    DocumentScreen d;
    ResetDocumentScreen(d, s);
    DrawList l = BuildLegacyGridDrawList(s, d.desktop, {});
    EXPECT_EQ(Fills(l, RgbRef(250, 252, 255)), 16) << "plain tiles, one page";
    EXPECT_NE(FindText(l, L"Strana 1 / 2"), nullptr);
    EXPECT_NE(FindText(l, L"Program 15"), nullptr);
    EXPECT_EQ(FindText(l, L"Program 16"), nullptr);
    const DrawOp* label = FindText(l, L"Mail");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(Rect(label->r), "46,192,206,238");
    EXPECT_EQ(label->colour, RgbRef(30, 58, 92));
    // The glyph: at the tile's centre - 23, top + 14, 46 px; the police rule without 0x80.
    const DrawOp* glyph = nullptr;
    for (const DrawOp& op : l)
        if (op.kind == DrawOpKind::kGlyph && !glyph) glyph = &op;
    ASSERT_NE(glyph, nullptr);
    EXPECT_EQ(Rect(glyph->r), "103,140,149,186");
    EXPECT_EQ(glyph->glyph, 20);
    d.desktop.page = 1;
    l = BuildLegacyGridDrawList(s, d.desktop, {});
    EXPECT_NE(FindText(l, L"Strana 2 / 2"), nullptr);
    EXPECT_EQ(Fills(l, RgbRef(250, 252, 255)), 1) << "17 items: one tile on page 2";
}

TEST(LegacyGrid, ThemesPaintTheBandRowByRow) {
    for (const bool light : {false, true}) {
        EditorState s = Grid(light ? 0xC2 : 0x82, 2);
        ASSERT_EQ(LegacyThemeOf(s), light ? LegacyTheme::kLight : LegacyTheme::kDark);
        DesktopView v;
        v.selected = 1;
        const DrawList l = BuildLegacyGridDrawList(s, v, {});
        // The strips cover 90..664 without a gap, each row in the formula's colour.
        int next = 90;
        for (const DrawOp& op : l) {
            if (op.kind != DrawOpKind::kFill || op.r.top != next || op.r.left != 24 || op.r.right != 786) continue;
            for (int y = op.r.top; y < op.r.bottom; ++y) ASSERT_EQ(op.colour, LegacyBandColour(y, light)) << y;
            next = op.r.bottom;
        }
        EXPECT_EQ(next, 665);
        EXPECT_EQ(Fills(l, RgbRef(211, 231, 252)), 1) << "the selected tile";
        if (light) {
            EXPECT_EQ(Fills(l, RgbRef(250, 252, 255)), 1);
            EXPECT_NE(FindText(l, L"◉   CoogLe.sa   /   Internet"), nullptr);
            s.caption = "policie.sa";
            EXPECT_NE(FindText(BuildLegacyGridDrawList(s, v, {}), L"◉   policie.sa"), nullptr);
        } else {
            EXPECT_EQ(Fills(l, RgbRef(220, 234, 247)), 1) << "dark theme tiles";
            const DrawOp* title = FindText(l, L"HM OS   /   Pracovní plocha");
            ASSERT_NE(title, nullptr);
            EXPECT_EQ(title->colour, RgbRef(214, 231, 248));
        }
    }
    EXPECT_EQ(LegacyBandColour(90, false), RgbRef(27, 56, 86));
    EXPECT_EQ(LegacyBandColour(664, true), RgbRef(236, 242, 246));
}

TEST(LegacyGrid, DesktopRuleWithIconStyle) {
    // "Mail": 4 by the desktop rule (0x80), 20 by the police rule.
    EditorState s = Grid(0x82, 1);
    for (const DrawOp& op : BuildLegacyGridDrawList(s, {}, {}))
        if (op.kind == DrawOpKind::kGlyph) {
            EXPECT_EQ(op.glyph, 4);
        }
}

struct GridScreen {
    EditorState s = Grid(0x22, 20);
    DocumentScreen d;
    GridScreen() { ResetDocumentScreen(d, s); }
    ScreenInput Click(int x, int y, Tick now) {
        return DocumentPointer(d, s, 0x201, 0, (std::uint32_t(y) << 16) | std::uint32_t(x), now, 500);
    }
    ScreenInput Key(std::uint32_t vk) { return DocumentKey(d, s, 0x100, vk); }
};

TEST(LegacyGrid, ClicksSelectAndOpen) {
    GridScreen t;
    EXPECT_FALSE(t.Click(300, 300, 1000).answer);  // tile 5
    EXPECT_EQ(t.d.desktop.selected, 5);
    EXPECT_FALSE(t.Click(300, 300, 1421).answer) << "421 ms later is a new click";
    const ScreenInput open = t.Click(300, 300, 1800);
    ASSERT_EQ(open.answer, 1);
    EXPECT_EQ(BuildPayload(PayloadInputsFor(t.d, t.s, 1)).payload, "{\\rtf1\\hmsel305 }");
    // "›" turns the page; a tile there is item 16 + i.
    t.Click(700, 660, 5000);
    EXPECT_EQ(t.d.desktop.page, 1);
    t.Click(100, 150, 6000);
    EXPECT_EQ(t.d.desktop.selected, 16);
    t.Click(100, 660, 7000);
    EXPECT_EQ(t.d.desktop.page, 0);
    // The gap between tiles and a place past the last item hit nothing.
    t.Click(216, 150, 8000);
    EXPECT_EQ(t.d.desktop.selected, 16);
    // Close: 0 without a second button, 2 with one.
    EXPECT_EQ(t.Click(770, 50, 9000).answer, 0);
    t.s.buttons[1] = "Zpět";
    EXPECT_EQ(t.Click(770, 50, 9500).answer, 2);
}

TEST(LegacyGrid, KeysWalkByOneAndByARow) {
    GridScreen t;
    t.Key(0x27);  // the first key selects the first tile
    EXPECT_EQ(t.d.desktop.selected, 0);
    const struct {
        std::uint32_t vk;
        int selected;
        long long page;
    } walk[] = {
        {0x28, 4, 0}, {0x28, 8, 0}, {0x28, 12, 0}, {0x28, 16, 1}, {0x28, 19, 1},
        {0x25, 18, 1}, {0x26, 14, 0}, {0x27, 15, 0}, {0x27, 16, 1}, {0x26, 12, 0},
    };
    for (const auto& w : walk) {
        t.Key(w.vk);
        EXPECT_EQ(t.d.desktop.selected, w.selected) << w.vk;
        EXPECT_EQ(t.d.desktop.page, w.page) << w.vk;
    }
    t.Key(0x22);
    EXPECT_EQ(t.d.desktop.page, 1);
    t.Key(0x22);
    EXPECT_EQ(t.d.desktop.page, 1) << "no page past the last";
    EXPECT_EQ(t.Key(0x0D).answer, 1);
    EXPECT_EQ(t.Key(0x1B).answer, 0);
}

}  // namespace
}  // namespace hm
