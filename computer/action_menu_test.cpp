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
        {Paper(1, "Smlouva", "", ""), {0, 2, 3, 5, 6, 7}},
        {Paper(2, "Dopis", "sealed", ""), {0, 2, 3, 7}},
        {Paper(3, "FOTO: auto", "", ""), {0, 2, 3, 7}},
        {Paper(4, "Skica", "sketch", ""), {0, 2, 3, 7}},
        {Paper(5, "KNIHA: Zákon", "", ""), {0, 2, 3}},
        {Paper(6, "E-SPIS: 12", "", ""), {0, 2, 3}},
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
    EXPECT_EQ(m.top, 490);
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
    // Entry 2 is "Ukázat" (action 3).
    const ScreenInput show = t.Press(0x201, t.d.menu.left + 20, t.d.menu.top + 2 * kMenuEntryHeight + 10);
    EXPECT_EQ(t.PayloadOf(show), "{\\rtf1\\hmsel12 \\hmpaperaction3 }");
    EXPECT_EQ(t.d.paper_action, 0) << "the choice is cleared once sent";
    // Keys: down wraps from the last entry to "Zobrazit", which opens without an action.
    t.Press(0x204, 100, 180);
    for (int i = 0; i < 6; ++i) DocumentKey(t.d, t.s, 0x100, 0x28);
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
    EXPECT_EQ(t.d.menu.confirm_discard, 1);
    DrawList l;
    AddActionMenu(l, t.d.menu, t.s);
    EXPECT_NE(FindText(l, L"Zahodit písemnost?"), nullptr);
    EXPECT_NE(FindText(l, L"FOTO: auto"), nullptr);
    EXPECT_FALSE(t.Press(0x201, 500, 400).answer);  // "Zrušit"
    EXPECT_EQ(t.d.menu.confirm_discard, -1);
    t.Press(0x204, 250, 180);
    t.Press(0x201, t.d.menu.left + 20, t.d.menu.top + kMenuEntryHeight + 10);
    EXPECT_EQ(t.PayloadOf(t.Press(0x201, 200, 400)), "{\\rtf1\\hmsel13 \\hmpaperaction2 }");
}

}  // namespace
}  // namespace hm
