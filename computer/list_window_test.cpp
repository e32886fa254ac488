// The computer's list window: which screens get it, rows and their colours, paging, the 420 ms
// double click, keys and the glue that routes input and builds the selection payload.
#include "computer/list_window.h"

#include <gtest/gtest.h>

#include <string>

#include "computer/document_screen.h"
#include "computer/editor_view.h"
#include "computer/entry_panel.h"

namespace hm {
namespace {

EditorState List(int items, std::uint32_t flags = 4) {
    EditorState s;
    s.request_id = 50;
    s.kind = 16;
    s.flags = int(flags);
    s.title = "Seznam";
    for (int i = 0; i < items; ++i) {
        EditorItem e;
        e.id = 100 + i;
        e.label = "Radek " + std::to_string(i);
        e.tag = "zaznam";
        s.items.push_back(e);
    }
    return s;
}

int RowY(int row) { return kListRowTop + kListRowStep * row + 20; }

TEST(ListWindow, WhichScreensAreLists) {
    EXPECT_TRUE(IsListWindow(List(3)));
    EXPECT_TRUE(IsListWindow(List(3, 2)));
    EXPECT_FALSE(IsListWindow(List(3, 4 | 0x20)));  // legacy icon grid
    EXPECT_FALSE(IsListWindow(List(3, 4 | 0x80)));  // slot desktop
    EXPECT_FALSE(IsListWindow(List(3, 0)));         // text page
    EditorState initial = List(3);
    initial.initial_text = "Vyber";
    EXPECT_FALSE(IsListWindow(initial));
}

TEST(ListWindow, RowsColoursAndPaging) {
    EditorState s = List(9);
    s.items[1].number = 0xFF0000;
    s.items[2].number = 0xFFFFFF;
    s.items[3].slot = "12";
    DesktopView v = MakeDesktopView(s);
    v.selected = 0;
    const DrawList l = BuildListWindowDrawList(s, v, {});
    EXPECT_EQ(ListRowColour(s.items[0], true), kListRowSelected);
    EXPECT_EQ(ListRowColour(s.items[1], false), RgbRef(255, 180, 180));
    EXPECT_EQ(ListRowColour(s.items[2], false), RgbRef(255, 255, 255));
    EXPECT_NE(FindText(l, L"Strana 1 / 2"), nullptr);
    EXPECT_NE(FindText(l, L"zaznam · 12"), nullptr);
    EXPECT_NE(FindText(l, L"Esc: zpět"), nullptr);
    bool bar = false;
    for (const DrawOp& op : l) bar |= op.kind == DrawOpKind::kFill && op.colour == kListBarSelected && op.r.right - op.r.left == 3;
    EXPECT_TRUE(bar);
    EXPECT_NE(FindText(BuildListWindowDrawList(List(0), MakeDesktopView(List(0)), {}), L"Seznam je prázdný."), nullptr);
    EXPECT_EQ(FindText(BuildListWindowDrawList(List(8), MakeDesktopView(List(8)), {}), L"Strana 1 / 1"), nullptr);
    // Next page, wheel back.
    ListPress(v, s, 720, 630, 0, false);
    EXPECT_EQ(v.page, 1);
    EXPECT_NE(FindText(BuildListWindowDrawList(s, v, {}), L"Radek 8"), nullptr);
    ListWheel(v, s, 120);
    EXPECT_EQ(v.page, 0);
    ListWheel(v, s, -120);
    ListWheel(v, s, -120);
    EXPECT_EQ(v.page, 1);
}

TEST(ListWindow, TwoClicksWithin420MsOpen) {
    const struct {
        Tick gap;
        bool opens;
    } cases[] = {{100, true}, {420, true}, {421, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.gap);
        EditorState s = List(3);
        DesktopView v = MakeDesktopView(s);
        EXPECT_FALSE(ListPress(v, s, 300, RowY(2), 1000, false).answer);
        EXPECT_EQ(v.selected, 2);
        EXPECT_EQ(ListPress(v, s, 300, RowY(2), 1000 + c.gap, false).answer.has_value(), c.opens);
    }
    EditorState s = List(3);
    DesktopView v = MakeDesktopView(s);
    EXPECT_EQ(ListPress(v, s, 300, RowY(1), 1000, true).answer, 1);  // a forwarded double click
    EXPECT_FALSE(ListPress(v, s, 300, RowY(5), 2000, false).answer);  // no row there
    EXPECT_EQ(v.selected, 1);
    EXPECT_FALSE(ListPress(v, s, -5, RowY(1), 3000, false).answer);
}

TEST(ListWindow, KeysAndButtonsThroughTheGlue) {
    EditorState s = List(12);
    s.buttons = {"Otevřít", "Zpět", "", ""};
    DocumentScreen d;
    ResetDocumentScreen(d, s);
    for (int i = 0; i < 9; ++i) DocumentKey(d, s, 0x100, 0x28);
    EXPECT_EQ(d.desktop.selected, 8);
    EXPECT_EQ(d.desktop.page, 1);
    EXPECT_EQ(DocumentKey(d, s, 0x100, 0x0D).answer, 1);
    EXPECT_EQ(BuildPayload(PayloadInputsFor(d, s, 1)).payload, "{\\rtf1\\hmsel108 }");
    EXPECT_EQ(DocumentKey(d, s, 0x100, 0x1B).answer, 2);  // button 2 labelled
    EXPECT_TRUE(DocumentKey(d, s, 0x102, 'a').handled);
    EXPECT_EQ(DocumentPointer(d, s, 0x201, 0, (720u << 16) | 100u, 0, 500).answer, 1);
    EXPECT_EQ(DocumentPointer(d, s, 0x201, 0, (720u << 16) | 600u, 0, 500).answer, 2);
    EXPECT_EQ(DocumentPointer(d, s, 0x201, 0, (40u << 16) | 770u, 0, 500).answer, 2);  // close glyph
    DocumentPointer(d, s, 0x20A, std::uint32_t(std::uint16_t(-120)) << 16, 0, 0, 500);
    EXPECT_EQ(d.desktop.page, 1);
    // An in-place update keeps the item and its page.
    EditorState next = s;
    next.items.erase(next.items.begin());
    UpdateDocumentScreen(d, s, next);
    EXPECT_EQ(SelectedItemId(d.desktop, next), 108);
    EXPECT_EQ(d.desktop.page, 0);
}

TEST(EntryPanel, TheBoxSitsInsideThePanelAndButtonsAnswer) {
    EditorState s = List(0, 1);
    s.title = "Prihlaseni";
    s.caption = "Zadej heslo";
    s.buttons = {"Prihlasit", "", "Zpet", ""};
    ASSERT_TRUE(IsEntryPanel(s));
    EXPECT_FALSE(IsEntryPanel(List(0, 1 | 0x10)));
    EXPECT_FALSE(IsEntryPanel(List(0, 3 | 0x8)));
    const ControlBox box = PlanMainControl(s).box;
    EXPECT_GE(box.x, kEntryBoxFrame.left);
    EXPECT_LE(box.x + box.width, kEntryBoxFrame.right);
    EXPECT_GE(box.y, kEntryBoxFrame.top);
    EXPECT_LE(box.y + box.height, kEntryBoxFrame.bottom);
    EXPECT_GE(box.x, kEntryPanel.left);
    EXPECT_LE(box.y + box.height, kEntryPanel.bottom);
    const DrawList l = BuildEntryPanelDrawList(s, L"", true);
    EXPECT_NE(FindText(l, L"Zadej heslo"), nullptr);
    EXPECT_NE(FindText(l, L"Načítání…"), nullptr);
    EXPECT_NE(FindText(l, L"Prihlasit"), nullptr);
    EXPECT_EQ(EntryPanelPress(s, 200, 520), 1);
    EXPECT_EQ(EntryPanelPress(s, 400, 520), std::nullopt);  // button 2 has no label
    EXPECT_EQ(EntryPanelPress(s, 560, 520), 3);
    EXPECT_EQ(EntryPanelPress(s, 670, 190), 0);  // close: no second button
    DocumentScreen d;
    ResetDocumentScreen(d, s);
    EXPECT_FALSE(DocumentPointer(d, s, 0x201, 0, (400u << 16) | 300u, 0, 500).handled) << "the box's own click";
    EXPECT_EQ(DocumentPointer(d, s, 0x201, 0, (520u << 16) | 200u, 0, 500).answer, 1);
}

TEST(TextWindow, FrameCaptionBoxAndButtons) {
    const struct {
        const char* name;
        std::uint32_t flags;
        bool window;
    } which[] = {
        {"text page", 0x0, true}, {"multi-line entry", 0x11, true}, {"web page", 0x40, true},
        {"one-line entry: the entry panel", 0x1, false}, {"menu", 0x2, false}, {"compact", 0x8, true},
        {"compact entry", 0x9, true}, {"compact menu", 0xA, false},
    };
    for (const auto& w : which) {
        EditorState s = List(0, w.flags);
        EXPECT_EQ(IsTextWindow(s), w.window) << w.name;
    }
    EditorState s = List(0, 0x0);
    s.caption = "Zadej text zpr\xe1vy";
    s.buttons[0] = "Odeslat";
    s.buttons[1] = "Zp\xect";
    const ControlBox box = PlanMainControl(s).box;
    ASSERT_FALSE(box.empty());
    DrawList l = BuildTextWindowDrawList(s, box, {});
    const DrawOp* caption = FindText(l, L"Zadej text zprávy");
    ASSERT_NE(caption, nullptr);
    EXPECT_LE(caption->r.bottom, box.y) << "the caption stands above the box";
    EXPECT_EQ(caption->colour, RgbRef(67, 86, 109));
    bool framed = false;
    for (const DrawOp& op : l)
        framed = framed || (op.kind == DrawOpKind::kFill && op.colour == RgbRef(179, 195, 215) && op.r.left == box.x - 2 &&
                            op.r.top == box.y - 2 && op.r.bottom == box.y + box.height + 2);
    EXPECT_TRUE(framed);
    EXPECT_NE(FindText(l, L"Esc: zpět"), nullptr);
    EXPECT_NE(FindText(l, L"Seznam"), nullptr) << "the title in the bar";
    DesktopDrawContext busy;
    busy.submitted = true;
    EXPECT_NE(FindText(BuildTextWindowDrawList(s, box, busy), L"Načítání…"), nullptr);
    s.flags = 0x11;
    EXPECT_NE(FindText(BuildTextWindowDrawList(s, PlanMainControl(s).box, {}), L"Enter: nový řádek • Ctrl+Enter: potvrdit"),
              nullptr);
    s.flags = 0x40;
    EXPECT_NE(FindText(BuildTextWindowDrawList(s, box, {}), L"◉   Zadej text zprávy"), nullptr);
    s.caption.clear();
    EXPECT_NE(FindText(BuildTextWindowDrawList(s, box, {}), L"◉   CoogLe.sa"), nullptr);
}

TEST(TextWindow, PictureModeFourFillsTheBoxUnderItsText) {
    EditorState s = List(0, 0x40);
    const ControlBox box = PlanMainControl(s).box;
    ASSERT_FALSE(box.empty());
    const auto picture_at = [&](const DrawList& l) -> const DrawOp* {
        for (std::size_t i = 0; i < l.size(); ++i)
            if (l[i].kind == DrawOpKind::kStatePicture) return &l[i];
        return nullptr;
    };
    EXPECT_EQ(picture_at(BuildTextWindowDrawList(s, box, {})), nullptr) << "no background without mode 4";
    s.picture_mode = 2;
    EXPECT_EQ(picture_at(BuildTextWindowDrawList(s, box, {})), nullptr) << "an attachment is no background";
    s.picture_mode = 4;
    const DrawList l = BuildTextWindowDrawList(s, box, {});
    const DrawOp* picture = picture_at(l);
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->r.left, box.x);
    EXPECT_EQ(picture->r.top, box.y);
    EXPECT_EQ(picture->r.right, box.x + box.width);
    EXPECT_EQ(picture->r.bottom, box.y + box.height);
    // Over the box's white, under nothing but the text printed later.
    const std::size_t at = std::size_t(picture - l.data());
    bool white_before = false;
    for (std::size_t i = 0; i < at; ++i)
        white_before = white_before || (l[i].kind == DrawOpKind::kFill && l[i].colour == RgbRef(255, 255, 255) &&
                                        l[i].r.left == box.x && l[i].r.top == box.y);
    EXPECT_TRUE(white_before);
    for (std::size_t i = at + 1; i < l.size(); ++i)
        EXPECT_FALSE(l[i].r.left < box.x + box.width && l[i].r.right > box.x && l[i].r.top < box.y + box.height &&
                     l[i].r.bottom > box.y)
            << "step " << i << " covers the picture";
    EXPECT_TRUE(PrintsTransparently(s)) << "the text goes over it through the colour key";
}

TEST(TextWindow, ButtonsCloseAndEscAnswer) {
    EditorState s = List(0, 0x0);
    s.buttons[0] = "Odeslat";
    DocumentScreen d;
    ResetDocumentScreen(d, s);
    const auto press = [&](int x, int y) {
        return DocumentPointer(d, s, 0x201, 0, (std::uint32_t(y) << 16) | std::uint32_t(x), 0, 500);
    };
    EXPECT_EQ(press(100, 720).answer, 1);
    const ScreenInput unlabelled = press(600, 720);
    EXPECT_TRUE(unlabelled.handled) << "the row is the window's";
    EXPECT_FALSE(unlabelled.answer);
    EXPECT_TRUE(press(405, 720).handled) << "between the buttons";
    EXPECT_FALSE(press(300, 300).handled) << "the text box takes it";
    EXPECT_EQ(press(770, 50).answer, 0);
    EXPECT_EQ(DocumentKey(d, s, 0x100, 0x1B).answer, 0);
    s.buttons[1] = "Zpet";
    EXPECT_EQ(press(770, 50).answer, 2);
    EXPECT_EQ(DocumentKey(d, s, 0x100, 0x1B).answer, 2);
    s.screen_id = "police-instruction";
    EXPECT_EQ(DocumentKey(d, s, 0x100, 0x1B).answer, 1);
    EXPECT_FALSE(DocumentKey(d, s, 0x100, 0x0D).handled) << "Enter stays the frame's (line break or answer)";
    d.submitted = true;
    EXPECT_FALSE(DocumentKey(d, s, 0x100, 0x1B).answer) << "nothing while an answer is awaited";
}

}  // namespace
}  // namespace hm
