// The legacy icon grid: which screens get it, tile geometry, both themes' bands and titles,
// glyph rules, paging, and clicks and keys down to the selection payload; and the compact frame
// that holds it (or a list or text window) on the phone-sized body.
#include "computer/legacy_grid.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "computer/desktop_layout.h"
#include "computer/document_payload.h"
#include "computer/document_screen.h"
#include "computer/editor_view.h"
#include "computer/list_window.h"

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
    EditorState s;
    DocumentScreen d;
    explicit GridScreen(std::uint32_t flags = 0x22, int items = 20) : s(Grid(flags, items)) { ResetDocumentScreen(d, s); }
    // A mouse message at a canvas point (x -5 arrives as 0xFFFB).
    ScreenInput Click(int x, int y, Tick now, std::uint32_t message = 0x201) {
        return DocumentPointer(d, s, message, 0, (std::uint32_t(std::uint16_t(y)) << 16) | std::uint16_t(x), now, 500);
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

struct KeyStep {
    std::uint32_t vk;
    int selected;
    long long page;
};

// The first key selects the first tile, then each step; Page Down stops at the last page;
// Enter answers 1 and Esc as the close glyph.
void ExpectKeyWalk(GridScreen& t, std::uint32_t first_key, std::initializer_list<KeyStep> walk) {
    t.Key(first_key);
    EXPECT_EQ(t.d.desktop.selected, 0);
    for (const KeyStep& w : walk) {
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

TEST(LegacyGrid, KeysWalkByOneAndByARow) {
    GridScreen t;
    ExpectKeyWalk(t, 0x27, {{0x28, 4, 0}, {0x28, 8, 0}, {0x28, 12, 0}, {0x28, 16, 1}, {0x28, 19, 1},
                            {0x25, 18, 1}, {0x26, 14, 0}, {0x27, 15, 0}, {0x27, 16, 1}, {0x26, 12, 0}});
}

// ---- The compact (phone-sized) frame: which window it holds, that everything it draws stays on
// its body, the themed grid six a page, and clicks, keys and paging inside its window.

bool Within(const UiRect& inner, const UiRect& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right && inner.bottom <= outer.bottom;
}

TEST(CompactFrame, HoldsTheWindowOfItsCase) {
    using L = ComputerLayout;
    const struct {
        const char* name;
        std::uint32_t flags;
        L window;
        LegacyTheme theme;
    } cases[] = {
        {"icon bit 0x20", 0x2A, L::kLegacyGrid, LegacyTheme::kPlain},
        {"0x80: dark theme", 0x8A, L::kLegacyGrid, LegacyTheme::kDark},
        {"0x80 and 0x40: light theme", 0xCA, L::kLegacyGrid, LegacyTheme::kLight},
        {"0x40 alone: plain grid", 0x4A, L::kLegacyGrid, LegacyTheme::kPlain},
        {"sub-mode 5 with 0x2000080", 0x200008D, L::kLegacyGrid, LegacyTheme::kDark},
        {"carried view flag: the frame first", 0x20002A, L::kLegacyGrid, LegacyTheme::kPlain},
        {"menu without icons", 0xC, L::kListWindow, LegacyTheme::kPlain},
        {"text page", 0x8, L::kTextWindow, LegacyTheme::kPlain},
        {"one-line entry", 0x9, L::kTextWindow, LegacyTheme::kPlain},
        {"password", 0xB, L::kTextWindow, LegacyTheme::kPlain},
        {"text page with icon bits", 0xE8, L::kTextWindow, LegacyTheme::kDark},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const EditorState s = Grid(c.flags, 3);
        EXPECT_EQ(ChooseComputerLayout(s), L::kCompact);
        EXPECT_TRUE(IsCompactFrame(s));
        EXPECT_EQ(WindowLayout(s), c.window);
        EXPECT_EQ(IsLegacyGrid(s), c.window == L::kLegacyGrid);
        EXPECT_EQ(IsListWindow(s), c.window == L::kListWindow);
        EXPECT_EQ(IsTextWindow(s), c.window == L::kTextWindow);
        EXPECT_FALSE(IsDesktopScreen(s));
        if (c.window == L::kLegacyGrid) {
            EXPECT_EQ(LegacyThemeOf(s), c.theme);
        }
    }
    // Outside the frame the window is the layout itself.
    EXPECT_EQ(WindowLayout(Grid(0x22, 3)), L::kLegacyGrid);
    EXPECT_EQ(WindowLayout(Grid(0x82, 3)), L::kSlotDesktop);
    EXPECT_FALSE(IsCompactFrame(Grid(0x22, 3)));
    EditorState other_kind = Grid(0x2A, 3);
    other_kind.kind = 2;
    EXPECT_FALSE(IsCompactFrame(other_kind));
}

// Every window the frame holds, with pages, buttons, address bars and a status: nothing is drawn
// beside the body (the mask cuts there), and the body, window and title bar are in place.
TEST(CompactFrame, EverythingDrawnLiesOnTheBody) {
    DesktopDrawContext c;
    c.status = L"Rozložení ikon se nepodařilo uložit (HTTP 500). Otevři plochu znovu.";
    for (const std::uint32_t flags : {0x2Au, 0x8Au, 0xCAu, 0x2000002Au, 0xCu, 0x8u, 0x48u, 0x9u, 0x18u}) {
        SCOPED_TRACE(flags);
        EditorState s = Grid(flags, 13);
        s.caption = "Zadej adresu, ktera se na sirku telefonu nevejde ani nahodou";
        s.buttons = {"Otevrit", "Zpet", "Treti", "Ctvrte"};
        DocumentScreen d;
        ResetDocumentScreen(d, s);
        d.desktop.selected = 1;
        DrawList l;
        if (IsLegacyGrid(s)) l = BuildLegacyGridDrawList(s, d.desktop, c);
        else if (IsListWindow(s)) l = BuildListWindowDrawList(s, d.desktop, c);
        else l = BuildTextWindowDrawList(s, PlanMainControl(s).box, c);
        ASSERT_GE(l.size(), 4u);
        EXPECT_EQ(Rect(l[0].r), "0,0,810,760");
        EXPECT_EQ(l[0].colour, RgbRef(238, 243, 249)) << "the mask keeps no light cursor box beside the body";
        EXPECT_EQ(l[1].kind, DrawOpKind::kRoundFill);
        EXPECT_EQ(Rect(l[1].r), "216,0,594,760");
        EXPECT_EQ(l[1].radius, 42);
        EXPECT_EQ(l[1].colour, kCompactBodyColour);
        EXPECT_EQ(Rect(l[2].r), "230,24,580,746");
        EXPECT_EQ(Rect(l[3].r), "230,24,580,88");
        EXPECT_EQ(l[3].colour, RgbRef(25, 43, 65));
        for (std::size_t i = 2; i < l.size(); ++i)
            EXPECT_TRUE(Within(l[i].r, kCompactWindow)) << "step " << i << " at " << Rect(l[i].r);
        if (IsLegacyGrid(s) || IsListWindow(s)) {
            EXPECT_NE(FindText(l, L"Strana 1 / " + std::to_wstring(IsLegacyGrid(s) ? 3 : 2)), nullptr);
        }
        EXPECT_EQ(FindText(l, L"–") != nullptr, CanMinimise(s)) << "the minimise glyph in the title bar";
        EXPECT_NE(FindText(l, L"Zpet"), nullptr);
        EXPECT_EQ(FindText(l, L"Treti"), nullptr) << "two answer buttons";
    }
}

TEST(CompactFrame, ThemedGridsSixATwoColumnsWithTheirBandAndStrip) {
    for (const bool light : {false, true}) {
        SCOPED_TRACE(light ? "light" : "dark");
        EditorState s = Grid(light ? 0xCA : 0x8A, 7);
        DocumentScreen d;
        ResetDocumentScreen(d, s);
        const DrawList l = BuildLegacyGridDrawList(s, d.desktop, {});
        int next = 90;
        for (const DrawOp& op : l) {
            if (op.kind != DrawOpKind::kFill || op.r.top != next || op.r.left != 230 || op.r.right != 580) continue;
            for (int y = op.r.top; y < op.r.bottom; ++y) ASSERT_EQ(op.colour, LegacyBandColour(y, light)) << y;
            next = op.r.bottom;
        }
        // 90..664 of the window; the dark band reaches under the pager row, whose text is light.
        EXPECT_EQ(next, light ? 665 : 678);
        const DrawOp* strip = FindText(l, light ? L"◉   CoogLe.sa   /   Internet" : L"HM OS   /   Pracovní plocha");
        ASSERT_NE(strip, nullptr);
        EXPECT_EQ(Rect(strip->r), "254,96,556,120");
        int tiles = 0;
        for (const DrawOp& op : l)
            if (op.kind == DrawOpKind::kRoundFill && op.r.right - op.r.left == 154 && op.r.bottom - op.r.top == 118) ++tiles;
        EXPECT_EQ(tiles, 6);
        // The desktop rule with 0x80: "Mail" is glyph 4 at its tile's centre - 23.
        const DrawOp* glyph = nullptr;
        for (const DrawOp& op : l)
            if (op.kind == DrawOpKind::kGlyph && !glyph) glyph = &op;
        ASSERT_NE(glyph, nullptr);
        EXPECT_EQ(glyph->glyph, 4);
        EXPECT_EQ(Rect(glyph->r), "290,184,336,230");
        const DrawOp* page = FindText(l, L"Strana 1 / 2");
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(Rect(page->r), "342,646,468,678");
        EXPECT_EQ(page->colour, light ? RgbRef(27, 46, 69) : RgbRef(214, 231, 248));
    }
}

TEST(CompactFrame, GridClicksPagesAndOpensInsideTheWindowOnly) {
    GridScreen t(0x8A, 8);
    t.Click(300, 300, 1000);  // between row 0 (170..287) and row 1 (314..431)
    EXPECT_EQ(t.d.desktop.selected, -1) << "the gap between rows";
    t.Click(450, 350, 1000);  // tile 3
    EXPECT_EQ(t.d.desktop.selected, 3);
    EXPECT_FALSE(t.Click(450, 350, 1421).answer) << "421 ms later is a new click";
    ASSERT_EQ(t.Click(450, 350, 1800).answer, 1);
    EXPECT_EQ(BuildPayload(PayloadInputsFor(t.d, t.s, 1)).payload, "{\\rtf1\\hmsel303 }");
    // The full-size "›" lies beside the window: nothing; the compact one turns the page.
    EXPECT_TRUE(t.Click(700, 660, 3000).handled);
    EXPECT_EQ(t.d.desktop.page, 0);
    t.Click(500, 660, 3000);
    EXPECT_EQ(t.d.desktop.page, 1);
    t.Click(300, 200, 4000);
    EXPECT_EQ(t.d.desktop.selected, 6);
    t.Click(300, 200, 4100, 0x203);
    EXPECT_EQ(t.d.desktop.selected, 6);
    t.Click(300, 660, 5000);
    EXPECT_EQ(t.d.desktop.page, 0);
    // Beside the window and left of the canvas (x -5 as 0xFFFB): taken, nothing chosen or answered.
    for (const auto& [x, y] : {std::pair{100, 300}, {600, 300}, {400, 10}, {400, 750}, {-5, 300}}) {
        const ScreenInput off = t.Click(x, y, 6000);
        EXPECT_TRUE(off.handled) << x << "," << y;
        EXPECT_FALSE(off.answer) << x << "," << y;
        EXPECT_FALSE(off.minimise) << x << "," << y;
    }
    EXPECT_EQ(t.d.desktop.selected, 6);
    EXPECT_TRUE(t.Click(100, 300, 6000, 0x204).handled) << "a right click too";
    // The wheel pages wherever the cursor is.
    DocumentPointer(t.d, t.s, 0x20A, std::uint32_t(-120) << 16, (300u << 16) | 100u, 6000, 500);
    EXPECT_EQ(t.d.desktop.page, 1);
    DocumentPointer(t.d, t.s, 0x20A, 120u << 16, (300u << 16) | 100u, 6000, 500);
    EXPECT_EQ(t.d.desktop.page, 0);
    // The close glyph at the window's right; minimise left of it, not at the full-size place.
    EXPECT_EQ(t.Click(560, 50, 7000).answer, 0);
    EXPECT_TRUE(t.Click(510, 50, 7000).minimise);
    EXPECT_FALSE(t.Click(720, 40, 7000).minimise);
    t.s.buttons[1] = "Zpet";
    EXPECT_EQ(t.Click(560, 50, 7000).answer, 2);
    // Answer buttons share the window's width: the second from x 405.
    t.s.buttons[0] = "Otevrit";
    EXPECT_EQ(t.Click(300, 720, 8000).answer, 1);
    EXPECT_EQ(t.Click(500, 720, 8000).answer, 2);
}

TEST(CompactFrame, KeysWalkByTwoAndThePageFollowsSixATime) {
    GridScreen t(0x8A, 8);
    ExpectKeyWalk(t, 0x28, {{0x28, 2, 0}, {0x28, 4, 0}, {0x28, 6, 1}, {0x28, 7, 1}, {0x26, 5, 0}, {0x27, 6, 1}, {0x25, 5, 0}});
    // An in-place update keeps the chosen item and its compact page.
    EditorState again = t.s;
    again.items.erase(again.items.begin());
    UpdateDocumentScreen(t.d, t.s, again);
    EXPECT_EQ(t.d.desktop.selected, 4);
    EXPECT_EQ(t.d.desktop.page, 0);
}

TEST(CompactFrame, ListAndTextWindowsAnswerInsideTheWindow) {
    EditorState list = Grid(0xC, 10);
    DocumentScreen d;
    ResetDocumentScreen(d, list);
    const auto press = [&](EditorState& s, int x, int y, Tick now) {
        return DocumentPointer(d, s, 0x201, 0, (std::uint32_t(y) << 16) | std::uint32_t(x), now, 500);
    };
    press(list, 400, kListRowTop + kListRowStep + 10, 1000);
    EXPECT_EQ(d.desktop.selected, 1);
    EXPECT_EQ(press(list, 400, kListRowTop + kListRowStep + 10, 1300).answer, 1);
    EXPECT_FALSE(press(list, 700, kListRowTop + 10, 2000).answer);
    EXPECT_EQ(d.desktop.selected, 1) << "a row's full-size width lies beside the window";
    press(list, 540, 636, 3000);  // "›" 16 px inside the window's right
    EXPECT_EQ(d.desktop.page, 1);
    DocumentKey(d, list, 0x100, 0x26);
    EXPECT_EQ(d.desktop.selected, 0);
    EXPECT_EQ(d.desktop.page, 0);

    EditorState entry = Grid(0x9, 0);
    entry.buttons[0] = "Odeslat";
    ResetDocumentScreen(d, entry);
    EXPECT_EQ(press(entry, 300, 720, 0).answer, 1);
    EXPECT_TRUE(press(entry, 100, 720, 0).handled);
    EXPECT_FALSE(press(entry, 100, 720, 0).answer) << "the full-size first button lies beside the window";
    const ControlBox box = PlanMainControl(entry).box;
    EXPECT_FALSE(press(entry, box.x + 10, box.y + 10, 0).handled) << "the text box takes it";
    // A move or release beside the window is left to the text box's selection drag.
    for (const std::uint32_t message : {0x200u, 0x202u}) {
        EXPECT_FALSE(DocumentPointer(d, entry, message, 0, (300u << 16) | 100u, 0, 500).handled) << message;
    }
    EXPECT_EQ(DocumentKey(d, entry, 0x100, 0x1B).answer, 0);
}

}  // namespace
}  // namespace hm
