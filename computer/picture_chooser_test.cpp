// The insert-picture chooser: when it opens, its rows and pages, and what a chosen picture or
// sketch does to the document and the answer.
#include "computer/picture_chooser.h"

#include <gtest/gtest.h>

#include "computer/document_payload.h"
#include "computer/document_screen.h"

namespace hm {
namespace {

EditorState Document(std::uint32_t flags, int pictures) {
    EditorState s;
    s.request_id = 70;
    s.kind = 0;
    s.flags = int(flags);
    s.buttons = {"Uložit", "Zpět", "Vložit obrázek", ""};
    for (int i = 0; i < pictures; ++i) {
        EditorItem e;
        e.id = 300 + i;
        e.label = "Obrazek " + std::to_string(i + 1);
        e.tag = i % 2 == 0 ? "photo" : "sketch";
        s.items.push_back(e);
    }
    return s;
}

int RowY(int row) { return kChooserPictureTop + kChooserPictureStep * row + 20; }

ScreenInput Press(DocumentScreen& d, EditorState& s, int x, int y) {
    return DocumentPointer(d, s, 0x201, 0, (std::uint32_t(y) << 16) | std::uint32_t(x), 1000, 500);
}

TEST(PictureChooser, OpensByTheThirdButtonOrAtOnceOnlyWithTheWebImageFlag) {
    struct Case {
        std::uint32_t flags;
        bool at_once;
        bool by_button;
    } const cases[] = {
        {0x40000000, false, true},
        {0x40100000, true, true},
        {0x00100000, false, false},
        {0, false, false},
    };
    for (const Case& c : cases) {
        EditorState s = Document(c.flags, 3);
        DocumentScreen d;
        ResetDocumentScreen(d, s);
        EXPECT_EQ(d.pictures.open, c.at_once) << std::hex << c.flags;
        d.pictures.open = false;
        const ScreenInput in = Press(d, s, 500, 728);  // the third bottom button
        EXPECT_EQ(d.pictures.open, c.by_button) << std::hex << c.flags;
        EXPECT_EQ(in.handled, c.by_button);
        EXPECT_FALSE(in.answer) << "the third button does not answer 3 by itself";
    }
}

TEST(PictureChooser, RowsPagesAndClosing) {
    EditorState s = Document(0x40000000, 10);
    PictureChooser c{true, 0};
    DrawList l = BuildPictureChooserDrawList(s, c);
    EXPECT_NE(FindText(l, L"Obrázky a skicy v počítači"), nullptr);
    EXPECT_NE(FindText(l, L"Obrazek 8"), nullptr);
    EXPECT_EQ(FindText(l, L"Obrazek 9"), nullptr);
    EXPECT_NE(FindText(l, L"Strana 1 / 2"), nullptr);
    EXPECT_NE(FindText(l, L"Kliknutím vložíš · Kolečkem listuješ · Esc zpět"), nullptr);
    ChooserWheel(c, s, -120);
    EXPECT_EQ(c.page, 1);
    ChooserWheel(c, s, -120);
    EXPECT_EQ(c.page, 1);
    EXPECT_NE(FindText(BuildPictureChooserDrawList(s, c), L"Obrazek 10"), nullptr);
    EXPECT_TRUE(ChooserPress(c, s, 400, RowY(3)).handled);  // an empty row on the last page
    EXPECT_TRUE(c.open);
    EXPECT_TRUE(ChooserPress(c, s, 400, RowY(0) + 38).handled);  // between two rows
    EXPECT_TRUE(c.open);
    ChooserPress(c, s, 700, 90);  // the close corner
    EXPECT_FALSE(c.open);
    c.open = true;
    ChooserKey(c, 0x1B);
    EXPECT_FALSE(c.open);
    EXPECT_TRUE(BuildPictureChooserDrawList(s, c).empty());
    c.open = true;
    EXPECT_NE(FindText(BuildPictureChooserDrawList(Document(0x40000000, 0), c),
                       L"Nejdřív naskenuj fotografii nebo skicu do dokumentů tohoto účtu."),
              nullptr);
}

TEST(PictureChooser, APictureGoesIntoTheTextASketchIsAnsweredAsAWebImage) {
    EditorState s = Document(0x40100000, 4);
    DocumentScreen d;
    ResetDocumentScreen(d, s);
    const ScreenInput photo = Press(d, s, 400, RowY(0));
    EXPECT_EQ(photo.insert_text, L"\r\n[HMIMG:300]\r\n");
    EXPECT_FALSE(photo.answer);
    EXPECT_FALSE(d.pictures.open);
    Press(d, s, 500, 728);
    const ScreenInput sketch = Press(d, s, 400, RowY(1));
    EXPECT_TRUE(sketch.insert_text.empty());
    ASSERT_EQ(sketch.answer, 3);
    PayloadInputs in = PayloadInputsFor(d, s, 3);
    in.document_rtf = [] { return std::string("{\\rtf1 Zprava}"); };
    EXPECT_EQ(BuildPayload(in).payload, "{\\rtf1 Zprava\\hmwebimage301 }");
    // While open it takes keys too: Enter does not answer the document.
    Press(d, s, 500, 728);
    EXPECT_TRUE(DocumentKey(d, s, 0x100, 0x0D).handled);
    EXPECT_TRUE(d.pictures.open);
}

}  // namespace
}  // namespace hm
