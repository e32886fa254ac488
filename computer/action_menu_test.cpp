// The paper desktop's action menu: offers per document type, placement on the canvas, keys and
// clicks, the discard confirmation, and the answers they lead to through the payload builder.
#include "computer/action_menu.h"

#include <gtest/gtest.h>

#include <string>

#include "computer/document_screen.h"

namespace hm {
namespace {

EditorItem Paper(int id, const char* label, const char* tag, const char* slot) {
    EditorItem e;
    e.id = id;
    e.label = label;
    e.tag = tag;
    e.slot = slot;
    return e;
}

TEST(ActionMenu, OffersPerDocumentType) {
    const struct {
        EditorItem item;
        std::vector<int> actions;
    } cases[] = {
        {Paper(1, "Smlouva", "", ""), {0, 2, 1, 3, 5, 6, 7}},
        {Paper(2, "Dopis", "sealed", ""), {0, 2, 1, 3, 7}},
        {Paper(3, "FOTO: auto", "", ""), {0, 2, 1, 3, 7}},
        {Paper(4, "Skica", "sketch", ""), {0, 2, 1, 3, 7}},
        {Paper(5, "KNIHA: Zákon", "", ""), {0, 2, 1, 3}},
        {Paper(6, "E-SPIS: 12", "", ""), {0, 2, 1, 3}},
    };
    for (const auto& c : cases) EXPECT_EQ(PaperActionsFor(c.item), c.actions) << c.item.label;
    EXPECT_STREQ(PaperActionLabel(3), L"Ukázat");
    EXPECT_STREQ(PaperActionLabel(4), L"Předat");
    EXPECT_STREQ(PaperActionLabel(9), L"");
}

TEST(ActionMenu, StaysOnTheCanvas) {
    EditorState s;
    s.items = {Paper(1, "Smlouva", "", "")};
    ActionMenu m;
    OpenActionMenu(m, s, 0, 790, 740);
    EXPECT_EQ(m.left, 548);
    EXPECT_EQ(m.top, 480) << "seven entries from y 490 would reach 770";
    EXPECT_LE(m.top + kMenuEntryHeight * int(m.actions.size()), 760);
    OpenActionMenu(m, s, 0, 100, 200);
    EXPECT_EQ(m.left, 100);
    EXPECT_EQ(m.top, 200);
    OpenActionMenu(m, s, 3, 100, 200);  // no such item
    EXPECT_FALSE(m.open);
}

struct PaperDesk {
    EditorState s;
    DocumentScreen d;
    PaperDesk() {
        s.request_id = 60;
        s.kind = 16;
        s.flags = 0x400082;
        s.items = {Paper(12, "Smlouva", "app:smlouva", "0"), Paper(13, "FOTO: auto", "app:foto", "1")};
        ResetDocumentScreen(d, s);
    }
    ScreenInput Press(std::uint32_t message, int x, int y) {
        return DocumentPointer(d, s, message, 0, (std::uint32_t(y) << 16) | std::uint32_t(x), 0, 500);
    }
    std::string PayloadOf(const ScreenInput& in) {
        EXPECT_EQ(in.answer, 1);
        PayloadOutcome out = BuildPayload(PayloadInputsFor(d, s, *in.answer));
        AfterPayload(d, s, out);
        return out.payload;
    }
};

TEST(ActionMenu, ChoicesAnswerWithThePaperAction) {
    PaperDesk t;
    t.Press(0x204, 100, 180);  // right button on the contract
    ASSERT_TRUE(t.d.menu.open);
    EXPECT_EQ(t.d.desktop.selected, 0);
    // Entry 3 is "Ukázat" (action 3), after "Přejmenovat".
    const ScreenInput show = t.Press(0x201, t.d.menu.left + 20, t.d.menu.top + 3 * kMenuEntryHeight + 10);
    EXPECT_EQ(t.PayloadOf(show), "{\\rtf1\\hmsel12 \\hmpaperaction3 }");
    EXPECT_EQ(t.d.paper_action, 0) << "the choice is cleared once sent";
    // Keys: down wraps from the last entry to "Zobrazit", which opens without an action.
    t.Press(0x204, 100, 180);
    for (int i = 0; i < 7; ++i) DocumentKey(t.d, t.s, 0x100, 0x28);
    EXPECT_EQ(t.d.menu.highlight, 0);
    EXPECT_EQ(t.PayloadOf(DocumentKey(t.d, t.s, 0x100, 0x0D)), "{\\rtf1\\hmsel12 }");
    // Esc and a click elsewhere close it without an answer.
    t.Press(0x204, 100, 180);
    EXPECT_FALSE(DocumentKey(t.d, t.s, 0x100, 0x1B).answer);
    EXPECT_FALSE(t.d.menu.open);
    t.Press(0x204, 100, 180);
    EXPECT_FALSE(t.Press(0x201, 700, 700).answer);
    EXPECT_FALSE(t.d.menu.open);
    // Without the paper flag the right button does nothing.
    t.s.flags = 0x82;
    t.Press(0x204, 100, 180);
    EXPECT_FALSE(t.d.menu.open);
}

TEST(ActionMenu, DiscardAsksFirst) {
    PaperDesk t;
    t.Press(0x204, 250, 180);  // the photograph
    const ScreenInput discard = t.Press(0x201, t.d.menu.left + 20, t.d.menu.top + kMenuEntryHeight + 10);
    EXPECT_FALSE(discard.answer);
    EXPECT_EQ(t.d.menu.dialog, 2);
    EXPECT_EQ(t.d.menu.item, 1);
    DrawList l;
    AddActionMenu(l, t.d.menu, t.s);
    EXPECT_NE(FindText(l, L"Zahodit písemnost?"), nullptr);
    EXPECT_NE(FindText(l, L"FOTO: auto"), nullptr);
    EXPECT_FALSE(t.Press(0x201, 500, 400).answer);  // "Zrušit"
    EXPECT_EQ(t.d.menu.dialog, 0);
    t.Press(0x204, 250, 180);
    t.Press(0x201, t.d.menu.left + 20, t.d.menu.top + kMenuEntryHeight + 10);
    EXPECT_EQ(t.PayloadOf(t.Press(0x201, 200, 400)), "{\\rtf1\\hmsel13 \\hmpaperaction2 }");
}

TEST(ActionMenu, RenameHexIsTheCp1250Bytes) {
    const struct {
        std::u16string name;
        const char* hex;
    } cases[] = {
        {u"Smlouva", "536d6c6f757661"},
        {u"Příloha č.1", "50f8ed6c6f686120e82e31"},
        {u"\u0416", "3f"},                 // Cyrillic: no code page 1250 form
        {u"a\U0001F600b", "613f62"},       // a pair is one character
        {std::u16string(u"x") + char16_t(0xD800), "783f"},  // a lone half
        {u"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(RenameHex(c.name), c.hex) << c.hex;
}

TEST(ActionMenu, AttachmentOffersFollowTheFlagBits) {
    const struct {
        std::uint32_t flags;
        std::vector<int> actions;
    } cases[] = {
        {0, {0}}, {1, {0, 1}}, {2, {0, 2}}, {4, {0, 3}}, {7, {0, 1, 2, 3}}, {0xFFFFFFF8u, {0}},
    };
    for (const auto& c : cases) EXPECT_EQ(AttachmentActionsFor(c.flags), c.actions) << c.flags;
    EXPECT_STREQ(AttachmentActionLabel(3), L"Změnit pozici");
}

// Types a text as WM_CHAR units.
void Type(DocumentScreen& d, const EditorState& s, std::u16string_view text) {
    for (const char16_t u : text) DocumentKey(d, s, 0x102, u);
}

TEST(ActionMenu, RenameOnThePaperDesktopLeavesTheHexBody) {
    PaperDesk t;
    t.Press(0x204, 100, 180);
    const ScreenInput open = t.Press(0x201, t.d.menu.left + 20, t.d.menu.top + 2 * kMenuEntryHeight + 10);
    EXPECT_FALSE(open.answer);
    ASSERT_EQ(t.d.menu.dialog, 1);
    EXPECT_EQ(t.d.menu.text, u"Smlouva");
    EXPECT_TRUE(t.d.menu.all_selected);
    DrawList l;
    AddActionMenu(l, t.d.menu, t.s);
    EXPECT_NE(FindText(l, L"Změnit název"), nullptr);
    EXPECT_NE(FindText(l, L"Smlouva"), nullptr);
    EXPECT_NE(FindText(l, L"Uložit"), nullptr);
    // Typing replaces the selected name; Tab and Enter characters are not typed.
    Type(t.d, t.s, u"Nov\u00e1\t\r\u0416");
    DocumentKey(t.d, t.s, 0x102, 0xD83D);  // a pair typed as two units
    DocumentKey(t.d, t.s, 0x102, 0xDE00);
    EXPECT_EQ(t.d.menu.text, u"Nov\u00e1\u0416\U0001F600");
    const ScreenInput saved = DocumentKey(t.d, t.s, 0x100, 0x0D);
    EXPECT_FALSE(saved.answer) << "a rename answers nothing: the body goes on its own";
    EXPECT_EQ(saved.body_kind, EditorBody::kAttachment);
    EXPECT_EQ(saved.body, "60\n12\nrename\n4e6f76e13f3f");
    EXPECT_FALSE(MenuActive(t.d.menu));
}

TEST(ActionMenu, DialogTextRules) {
    PaperDesk t;
    t.Press(0x204, 100, 180);
    t.Press(0x201, t.d.menu.left + 20, t.d.menu.top + 2 * kMenuEntryHeight + 10);
    // Backspace on the selection clears it; an empty name cannot be saved.
    DocumentKey(t.d, t.s, 0x100, 0x08);
    EXPECT_EQ(t.d.menu.text, u"");
    const ScreenInput empty = t.Press(0x201, 200, 400);  // "Uložit"
    EXPECT_TRUE(empty.body.empty());
    EXPECT_EQ(t.d.menu.dialog, 1);
    // 64 characters on the paper desktop; a pair is not split at the limit.
    Type(t.d, t.s, std::u16string(63, u'a'));
    DocumentKey(t.d, t.s, 0x102, 0xD83D);
    DocumentKey(t.d, t.s, 0x102, 0xDE00);
    EXPECT_EQ(t.d.menu.text.size(), 63u);
    Type(t.d, t.s, u"bc");
    EXPECT_EQ(t.d.menu.text, std::u16string(63, u'a') + u"b");
    // Ctrl+A selects all, Ctrl+V asks the window for the clipboard; pasted breaks are dropped.
    DocumentKey(t.d, t.s, 0x100, 'A', true);
    EXPECT_TRUE(t.d.menu.all_selected);
    EXPECT_TRUE(DocumentKey(t.d, t.s, 0x100, 'V', true).paste);
    DocumentPaste(t.d, u"Zápis\r\n\t2");
    EXPECT_EQ(t.d.menu.text, u"Zápis2");
    DocumentKey(t.d, t.s, 0x100, 0x08);
    EXPECT_EQ(t.d.menu.text, u"Zápis");
    // Esc cancels without a body.
    const ScreenInput esc = DocumentKey(t.d, t.s, 0x100, 0x1B);
    EXPECT_TRUE(esc.body.empty());
    EXPECT_FALSE(MenuActive(t.d.menu));
}

struct Attachments {
    EditorState s;
    DocumentScreen d;
    Attachments() {
        s.request_id = 71;
        s.kind = 2;
        s.flags = 7;
        s.items = {Paper(40, "V\xfdslech", "", ""), Paper(41, "Foto z místa", "", ""), Paper(42, "Posudek", "", "")};
        ResetDocumentScreen(d, s);
    }
    ScreenInput Press(std::uint32_t message, int x, int y) {
        return DocumentPointer(d, s, message, 0, (std::uint32_t(y) << 16) | std::uint32_t(x), 0, 500);
    }
    // Right button on row `row`, then the menu entry `entry`.
    ScreenInput Choose(int row, int entry) {
        Press(0x204, 300, 130 + 48 * row);
        EXPECT_TRUE(d.menu.open);
        return Press(0x201, d.menu.left + 20, d.menu.top + entry * kMenuEntryHeight + 10);
    }
};

TEST(ActionMenu, AttachmentDialogsLeaveTheirBodies) {
    Attachments t;
    // "Otevřít" opens the item with the selection answer.
    const ScreenInput open = t.Choose(1, 0);
    ASSERT_EQ(open.answer, 1);
    EXPECT_EQ(BuildPayload(PayloadInputsFor(t.d, t.s, 1)).payload, "{\\rtf1\\hmsel41 }");
    // Rename: limit 50.
    t.Choose(2, 1);
    ASSERT_EQ(t.d.menu.dialog, 1);
    Type(t.d, t.s, std::u16string(60, u'z'));
    EXPECT_EQ(t.d.menu.text.size(), 50u);
    std::string hex;
    for (int i = 0; i < 50; ++i) hex += "7a";
    EXPECT_EQ(DocumentKey(t.d, t.s, 0x100, 0x0D).body, "71\n42\nrename\n" + hex);
    // Delete: the name and "Potvrdit smazání"; the body has an empty payload line.
    t.Choose(0, 2);
    ASSERT_EQ(t.d.menu.dialog, 2);
    DrawList l;
    AddActionMenu(l, t.d.menu, t.s);
    EXPECT_NE(FindText(l, L"Smazat pomocný soubor?"), nullptr);
    EXPECT_NE(FindText(l, L"Výslech"), nullptr);
    EXPECT_NE(FindText(l, L"Potvrdit smazání"), nullptr);
    Type(t.d, t.s, u"x");  // nothing to type into
    const ScreenInput del = t.Press(0x201, 200, 400);
    EXPECT_EQ(del.body_kind, EditorBody::kAttachment);
    EXPECT_EQ(del.body, "71\n40\ndelete\n");
    EXPECT_FALSE(del.answer);
    // Position: pre-filled with the 1-based position, limit 6.
    t.Choose(1, 3);
    ASSERT_EQ(t.d.menu.dialog, 3);
    EXPECT_EQ(t.d.menu.text, u"2");
    Type(t.d, t.s, u"12345678");
    EXPECT_EQ(t.d.menu.text, u"123456");
    EXPECT_EQ(t.Press(0x201, 200, 400).body, "71\n41\nposition\n123456");
    // "Zrušit" leaves nothing.
    t.Choose(1, 3);
    EXPECT_TRUE(t.Press(0x201, 500, 400).body.empty());
    EXPECT_FALSE(MenuActive(t.d.menu));
}

TEST(ActionMenu, AttachmentMenuFollowsTheFlagsAndTheRows) {
    Attachments t;
    t.s.flags = 2;
    t.Press(0x204, 300, 130 + 48 * 5);  // below the last row: no menu
    EXPECT_FALSE(t.d.menu.open);
    t.Press(0x204, 300, 130 + 48 * 2);
    EXPECT_EQ(t.d.menu.actions, (std::vector<int>{0, 2}));
    EXPECT_EQ(t.d.desktop.selected, 2);
    DrawList l;
    AddActionMenu(l, t.d.menu, t.s);
    EXPECT_NE(FindText(l, L"Otevřít"), nullptr);
    EXPECT_NE(FindText(l, L"Smazat"), nullptr);
    EXPECT_EQ(FindText(l, L"Změnit název"), nullptr);
}

TEST(ActionMenu, RefreshKeepsTheDialogOfAnItemInPlace) {
    Attachments t;
    t.Choose(1, 1);
    Type(t.d, t.s, u"Nové");
    EditorState same = t.s;
    same.caption = "obnoveno";
    UpdateDocumentScreen(t.d, t.s, same);
    EXPECT_EQ(t.d.menu.text, u"Nové");
    EditorState moved = same;
    std::swap(moved.items[0], moved.items[1]);
    UpdateDocumentScreen(t.d, same, moved);
    EXPECT_FALSE(MenuActive(t.d.menu)) << "another item now stands at the dialog's index";
}

}  // namespace
}  // namespace hm
