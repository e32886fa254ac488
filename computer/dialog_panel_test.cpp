// The dialog panels: which screens get one, what each draws and answers, where the text box
// sits, and the mask each is cut to (the card and the dialog each keep what they draw).
#include "computer/dialog_panel.h"

#include <gtest/gtest.h>

#include "base/text1250.h"
#include "computer/document_payload.h"
#include "computer/document_screen.h"
#include "computer/editor_view.h"

namespace hm {
namespace {

EditorState Dialog(const char* id, int sub, int items = 0) {
    EditorState s;
    s.request_id = 90;
    s.kind = 16;
    s.flags = sub;
    s.screen_id = id;
    s.title = "Dialog";
    for (int i = 0; i < items; ++i) {
        EditorItem e;
        e.id = 10 + i;
        e.label = "Papir " + std::to_string(i + 1);
        s.items.push_back(e);
    }
    return s;
}

std::uint32_t At(int x, int y) { return (std::uint32_t(y) << 16) | std::uint32_t(x); }

bool Opaque(const TransparencyMask& m, int x, int y) {
    for (int i = 0; i < m.shape_count; ++i)
        if (ShapeContains(m.shapes[std::size_t(i)], x, y)) return true;
    return false;
}

TEST(DialogPanel, EachScreenIsCutToWhatItDraws) {
    EditorState card = Dialog("identity-card", 0);
    card.content = "{\\rtf1\\hmcard161 STATE OF SAN ANDREAS}";
    EditorState inspection = Dialog("field-inspection", 0);
    inspection.content = card.content;
    struct Case {
        EditorState s;
        MaskDocument document;
        UiRect drawn;   // what the screen draws: corners just inside stay, the title bar too
    } const cases[] = {
        {card, MaskDocument::kIdentityCard, {118, 198, 692, 552}},
        {inspection, MaskDocument::kInspectionWithCard, {96, 78, 714, 696}},
        {Dialog("field-inspection", 0), MaskDocument::kInspectionWithoutCard, {120, 160, 690, 600}},
        {Dialog("identity-dialog", 0), MaskDocument::kIdentityDialog, {120, 160, 690, 600}},
        {Dialog("scanner", 2), MaskDocument::kNone, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(IsDialogPanel(c.s)) << c.s.screen_id;
        EXPECT_EQ(DialogMaskDocument(c.s), c.document) << c.s.screen_id;
        if (c.document == MaskDocument::kNone) continue;
        MaskInputs in;
        in.app = 16;
        in.document = c.document;
        const TransparencyMask m = MaskFor(ChooseMask(in));
        // The title bar's top corners and the last row of the panel or card stay.
        EXPECT_TRUE(Opaque(m, c.drawn.left, c.drawn.top)) << c.s.screen_id;
        EXPECT_TRUE(Opaque(m, c.drawn.right - 1, c.drawn.top)) << c.s.screen_id;
        EXPECT_TRUE(Opaque(m, (c.drawn.left + c.drawn.right) / 2, c.drawn.bottom - 1)) << c.s.screen_id;
    }
    // The dialog's button 1 and title bar are inside its mask.
    MaskInputs dialog;
    dialog.document = MaskDocument::kIdentityDialog;
    const TransparencyMask m = MaskFor(ChooseMask(dialog));
    EXPECT_TRUE(Opaque(m, 150, 581));
    EXPECT_TRUE(Opaque(m, 400, 165));
    // The card's edges are its own, not cut 10 px.
    MaskInputs id;
    id.document = MaskDocument::kIdentityCard;
    EXPECT_TRUE(Opaque(MaskFor(ChooseMask(id)), 112, 375));
    EXPECT_TRUE(Opaque(MaskFor(ChooseMask(id)), 697, 375));
}

TEST(DialogPanel, CardInspectionAndPanelDrawingAndAnswers) {
    EditorState card = Dialog("identity-card", 0);
    card.content = "{\\rtf1\\hmcard161 STATE OF SAN ANDREAS COUNTRYSIDE}";
    DrawList l = BuildDialogPanelDrawList(card, {}, UiRect{155, 200, 655, 540});
    bool picture = false;
    for (const DrawOp& op : l)
        picture |= op.kind == DrawOpKind::kEmbeddedPicture && op.glyph == 1 && op.r.left == 155 && op.r.bottom == 540;
    EXPECT_TRUE(picture) << "the countryside card where it was measured";
    for (const DrawOp& op : BuildDialogPanelDrawList(card, {}))
        EXPECT_NE(op.kind, DrawOpKind::kEmbeddedPicture) << "no card line measured: no decoration";
    card.content = "{\\rtf1\\hmcard161 STATE OF SAN ANDREAS}";
    EXPECT_EQ(CardPicture(card), 0);
    DesktopView v;
    EXPECT_EQ(DialogPress(v, card, 680, 200, 1000, false).answer, 1);
    EXPECT_FALSE(DialogPress(v, card, 400, 300, 1000, false).handled) << "the card text takes it";
    EXPECT_EQ(PlanMainControl(card).box.x, 154);

    EditorState inspection = Dialog("field-inspection", 0);
    inspection.content = card.content;
    inspection.buttons = {"Propustit", "Zadrzet", "", ""};
    l = BuildDialogPanelDrawList(inspection, {});
    EXPECT_NE(FindText(l, L"Propustit"), nullptr);
    EXPECT_NE(FindText(l, L"Zadrzet"), nullptr);
    EXPECT_EQ(DialogPress(v, inspection, 404, 660, 1000, false).answer, 1);
    EXPECT_EQ(DialogPress(v, inspection, 405, 689, 1000, false).answer, 2);
    EXPECT_EQ(DialogPress(v, inspection, 700, 100, 1000, false).answer, 2);
    inspection.buttons[1].clear();
    EXPECT_FALSE(DialogPress(v, inspection, 500, 660, 1000, false).answer);

    EditorState text = Dialog("identity-dialog", 0);
    text.buttons[0] = "Odeslat";
    l = BuildDialogPanelDrawList(text, {});
    EXPECT_NE(FindText(l, L"Dialog"), nullptr);
    EXPECT_NE(FindText(l, L"Odeslat"), nullptr);
    EXPECT_EQ(DialogPress(v, text, 400, 560, 1000, false).answer, 1);
    EXPECT_EQ(DialogPress(v, text, 660, 190, 1000, false).answer, 0);
    const ControlBox box = PlanMainControl(Dialog("field-inspection", 0)).box;
    EXPECT_EQ(box.x, 150) << "inside the panel";
    EXPECT_EQ(box.y, 242);
}

TEST(DialogPanel, ScannerPagesSixAndMenusSendTheirSelection) {
    EditorState scanner = Dialog("scanner", 2, 8);
    DrawList l = BuildDialogPanelDrawList(scanner, {});
    EXPECT_NE(FindText(l, L"Papir 6"), nullptr);
    EXPECT_EQ(FindText(l, L"Papir 7"), nullptr);
    EXPECT_NE(FindText(l, L"Strana 1 / 2"), nullptr);
    EXPECT_NE(FindText(BuildDialogPanelDrawList(Dialog("scanner", 2), {}), L"Nemáš u sebe žádnou písemnost."), nullptr);
    DocumentScreen d;
    ResetDocumentScreen(d, scanner);
    DocumentPointer(d, scanner, 0x201, 0, At(600, 520), 1000, 500);
    EXPECT_EQ(d.desktop.page, 1);
    DocumentPointer(d, scanner, 0x201, 0, At(300, 250), 1000, 500);
    EXPECT_EQ(d.desktop.selected, 6);
    EXPECT_EQ(DocumentPointer(d, scanner, 0x201, 0, At(300, 250), 1300, 500).answer, 1);
    EXPECT_EQ(BuildPayload(PayloadInputsFor(d, scanner, 1)).payload, "{\\rtf1\\hmsel16 }");
    EXPECT_TRUE(DocumentKey(d, scanner, 0x100, 0x26).handled);
    EXPECT_EQ(d.desktop.selected, 5);
    EXPECT_EQ(d.desktop.page, 0);

    // A short e-mail menu lists all its items, 54 px apart.
    EditorState mail = Dialog("mail", 4, 3);
    mail.title = "E-mail";
    ASSERT_TRUE(IsDialogMenu(mail));
    DesktopView v;
    DialogPress(v, mail, 300, 240 + 54 * 2 + 10, 1000, false);
    EXPECT_EQ(v.selected, 2);
}

TEST(DialogPanel, CardDecorationFollowsItsLines) {
    const struct {
        const char* name;
        std::u16string text;
        std::optional<long> state, popis;
    } lines[] = {
        {"both", u"Ob\u010dansk\u00fd pr\u016fkaz\rSTATE OF SAN ANDREAS\rJm\u00e9no: Jan\rPopis: vysok\u00fd", 16L, 48L},
        {"mid-line", u"x\r  STATE OF SAN ANDREAS card", 2L, std::nullopt},
        {"LF and VT end lines too", u"a\nb\vSTATE OF SAN ANDREAS\nPopis:", 4L, 25L},
        {"no state line", u"Popis: nic\rSTATE OF SAN", std::nullopt, std::nullopt},
        {"lower case is not it", u"state of san andreas", std::nullopt, std::nullopt},
        {"empty", u"", std::nullopt, std::nullopt},
    };
    for (const auto& c : lines) {
        const CardTextLines found = FindCardLines(c.text);
        EXPECT_EQ(found.state_line, c.state) << c.name;
        EXPECT_EQ(found.popis_line, c.popis) << c.name;
    }
    const struct {
        const char* name;
        std::optional<int> state_top, popis_top;
        std::optional<UiRect> area;
    } placed[] = {
        {"both lines", 220, 500, UiRect{155, 212, 655, 490}},
        {"no Popis: 352 px", 220, std::nullopt, UiRect{155, 212, 655, 572}},
        {"Popis above: 352 px", 220, 100, UiRect{155, 212, 655, 572}},
        {"no state line, no card", std::nullopt, 500, std::nullopt},
    };
    for (const auto& c : placed) {
        const std::optional<UiRect> area = CardDecoration(154, c.state_top, c.popis_top);
        ASSERT_EQ(area.has_value(), c.area.has_value()) << c.name;
        if (!area) continue;
        EXPECT_EQ(area->left, c.area->left) << c.name;
        EXPECT_EQ(area->top, c.area->top) << c.name;
        EXPECT_EQ(area->right, c.area->right) << c.name;
        EXPECT_EQ(area->bottom, c.area->bottom) << c.name;
    }
}

}  // namespace
}  // namespace hm
