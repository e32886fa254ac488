// The compact (phone-sized) frame: which window it holds, that everything it draws stays on its
// body, the themed icon grid six a page, and clicks, keys and paging inside its window.
#include <gtest/gtest.h>

#include <string>

#include "computer/desktop_layout.h"
#include "computer/document_payload.h"
#include "computer/document_screen.h"
#include "computer/editor_view.h"
#include "computer/legacy_grid.h"
#include "computer/list_window.h"

namespace hm {
namespace {

EditorState Phone(std::uint32_t flags, int items) {
    EditorState s;
    s.request_id = 90;
    s.kind = 16;
    s.flags = int(flags);
    s.title = "Aplikace";
    for (int i = 0; i < items; ++i) {
        EditorItem e;
        e.id = 400 + i;
        e.label = i == 0 ? "Mail" : "Program " + std::to_string(i);
        s.items.push_back(e);
    }
    return s;
}

bool Within(const UiRect& inner, const UiRect& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right && inner.bottom <= outer.bottom;
}

std::string Rect(const UiRect& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
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
        const EditorState s = Phone(c.flags, 3);
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
    EXPECT_EQ(WindowLayout(Phone(0x22, 3)), L::kLegacyGrid);
    EXPECT_EQ(WindowLayout(Phone(0x82, 3)), L::kSlotDesktop);
    EXPECT_FALSE(IsCompactFrame(Phone(0x22, 3)));
    EditorState other_kind = Phone(0x2A, 3);
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
        EditorState s = Phone(flags, 13);
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
        EditorState s = Phone(light ? 0xCA : 0x8A, 7);
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

struct PhoneScreen {
    EditorState s = Phone(0x8A, 8);
    DocumentScreen d;
    PhoneScreen() { ResetDocumentScreen(d, s); }
    ScreenInput Click(int x, int y, Tick now, std::uint32_t message = 0x201) {
        return DocumentPointer(d, s, message, 0, (std::uint32_t(std::uint16_t(y)) << 16) | std::uint16_t(x), now, 500);
    }
    ScreenInput Key(std::uint32_t vk) { return DocumentKey(d, s, 0x100, vk); }
};

TEST(CompactFrame, GridClicksPagesAndOpensInsideTheWindowOnly) {
    PhoneScreen t;
    t.Click(300, 300, 1000);  // between row 0 (170..287) and row 1 (314..431)
    EXPECT_EQ(t.d.desktop.selected, -1) << "the gap between rows";
    t.Click(450, 350, 1000);  // tile 3
    EXPECT_EQ(t.d.desktop.selected, 3);
    EXPECT_FALSE(t.Click(450, 350, 1421).answer) << "421 ms later is a new click";
    ASSERT_EQ(t.Click(450, 350, 1800).answer, 1);
    EXPECT_EQ(BuildPayload(PayloadInputsFor(t.d, t.s, 1)).payload, "{\\rtf1\\hmsel403 }");
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
    PhoneScreen t;
    t.Key(0x28);  // the first key selects the first tile
    EXPECT_EQ(t.d.desktop.selected, 0);
    const struct {
        std::uint32_t vk;
        int selected;
        long long page;
    } walk[] = {
        {0x28, 2, 0}, {0x28, 4, 0}, {0x28, 6, 1}, {0x28, 7, 1}, {0x26, 5, 0}, {0x27, 6, 1}, {0x25, 5, 0},
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
    // An in-place update keeps the chosen item and its compact page.
    EditorState again = t.s;
    again.items.erase(again.items.begin());
    UpdateDocumentScreen(t.d, t.s, again);
    EXPECT_EQ(t.d.desktop.selected, 4);
    EXPECT_EQ(t.d.desktop.page, 0);
}

TEST(CompactFrame, ListAndTextWindowsAnswerInsideTheWindow) {
    EditorState list = Phone(0xC, 10);
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

    EditorState entry = Phone(0x9, 0);
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
