// The book viewer: cover, contents and pages, the status line, the buttons and keys, and the
// /editor/book bodies that only existing pages get.
#include "computer/book_viewer.h"

#include <gtest/gtest.h>

#include <climits>

#include "base/text1250.h"
#include "computer/document_screen.h"

namespace hm {
namespace {

EditorState Book(int page, int pages, int items = 0) {
    EditorState s;
    s.request_id = 80;
    s.kind = 15;
    s.title = "Zakon o silnicnim provozu";
    s.cover_title = Utf16ToCp1250(u"Zákon o silničním provozu");
    s.screen_id = "SP-7/2026";
    s.page = page;
    s.page_count = pages;
    s.record_count = pages > 2 ? pages - 2 : 0;
    for (int i = 0; i < items; ++i) {
        EditorItem e;
        e.id = 2 + i;
        e.label = "Kapitola " + std::to_string(i + 1);
        s.items.push_back(e);
    }
    return s;
}

int ContentsY(int row) { return kContentsTop + kContentsStep * row + 20; }
constexpr int kButtonY = 728;
int ButtonX(int i) { return 24 + 192 * i + 90; }

TEST(BookViewer, CoverContentsAndPagesWithTheirStatusLines) {
    EditorState book = Book(0, 6);
    DrawList l = BuildBookDrawList(book, {}, L"", false, {});
    EXPECT_NE(FindText(l, L"KNIHA"), nullptr);
    EXPECT_NE(FindText(l, L"Zákon o silničním provozu"), nullptr);
    EXPECT_NE(FindText(l, L"4 stran"), nullptr);
    EXPECT_NE(FindText(l, L"Obálka"), nullptr);
    EXPECT_EQ(FindText(l, L"č.j. SP-7/2026"), nullptr) << "only files carry their reference";
    for (const wchar_t* label : {L"‹ Předchozí", L"Obsah", L"Další ›", L"Zavřít"}) EXPECT_NE(FindText(l, label), nullptr);
    EXPECT_EQ(FindText(l, L"Možnosti"), nullptr);

    EditorState file = book;
    file.cover_type = 2;
    file.flags = 1;
    l = BuildBookDrawList(file, {}, L"", false, {});
    EXPECT_NE(FindText(l, L"SPIS"), nullptr);
    EXPECT_NE(FindText(l, L"č.j. SP-7/2026"), nullptr);
    EXPECT_NE(FindText(l, L"Možnosti"), nullptr);

    EXPECT_NE(FindText(BuildBookDrawList(Book(1, 6, 0), {}, L"", false, {}), L"Tato kniha zatím nemá žádné strany."),
              nullptr);
    l = BuildBookDrawList(Book(1, 14, 12), {}, L"", false, {});
    EXPECT_NE(FindText(l, L"Kapitola 10"), nullptr);
    EXPECT_EQ(FindText(l, L"Kapitola 11"), nullptr) << "10 entries a page";
    EXPECT_NE(FindText(l, L"Strana 1 / 2"), nullptr);

    struct Status {
        EditorState s;
        std::wstring status;
        bool submitted;
        const wchar_t* line;
    } const cases[] = {
        {Book(1, 6), L"", false, L"Obsah"},
        {Book(3, 6), L"", false, L"Strana 2 / 4"},
        {Book(3, 6), L"Fotografii se nepodařilo načíst. Můžeš přejít na další stranu.", false,
         L"Fotografii se nepodařilo načíst. Můžeš přejít na další stranu."},
        {Book(3, 6), L"x", true, L"Načítání…"},
    };
    for (const Status& c : cases) EXPECT_NE(FindText(BuildBookDrawList(c.s, {}, c.status, c.submitted, {}), c.line), nullptr) << c.s.page;
    // A page's text, RTF or plain, is drawn as text.
    struct PageText {
        const char* content;
        const wchar_t* text;
    } const pages[] = {
        {"{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\b \\'c8l\\'e1nek 1\\b0\\par Z\\u225?kon}", L"Článek 1\r\nZákon"},
        {"Prost\xfd text", L"Prostý text"},
    };
    for (const PageText& p : pages) {
        EditorState page = Book(3, 6);
        page.content = p.content;
        EXPECT_NE(FindText(BuildBookDrawList(page, {}, L"", false, {}), p.text), nullptr) << p.content;
    }
    // One record: no page count.
    EditorState single = Book(2, 3);
    single.record_count = 1;
    for (const DrawOp& op : BuildBookDrawList(single, {}, L"", false, {}))
        EXPECT_NE(op.text.rfind(L"Strana", 0), 0u) << "no page text with one record";
}

TEST(BookViewer, PicturesFitCentredAndAttachmentsOpen) {
    struct Case {
        int w, h;
        UiRect want;
    } const cases[] = {
        {694, 560, {48, 76, 742, 636}},
        {1388, 560, {48, 216, 742, 496}},   // wide: full width, centred down
        {280, 1120, {325, 76, 465, 636}},   // tall: full height, centred across
        {1, 100000, {394, 76, 395, 636}},   // never narrower than a pixel
    };
    for (const Case& c : cases) {
        const UiRect r = FitPicture(c.w, c.h, kBookPictureArea);
        EXPECT_EQ(r.left, c.want.left) << c.w << "x" << c.h;
        EXPECT_EQ(r.top, c.want.top) << c.w << "x" << c.h;
        EXPECT_EQ(r.right, c.want.right) << c.w << "x" << c.h;
        EXPECT_EQ(r.bottom, c.want.bottom) << c.w << "x" << c.h;
    }
    EditorState page = Book(3, 6);
    page.picture_mode = picture_mode::kAttachment;
    const DrawList l = BuildBookDrawList(page, {}, L"", false, {1388, 560});
    bool picture = false;
    for (const DrawOp& op : l) picture |= op.kind == DrawOpKind::kStatePicture && op.r.top == 216;
    EXPECT_TRUE(picture);
    EXPECT_NE(FindText(l, L"Zobrazit přílohu"), nullptr);
    BookView v;
    EXPECT_EQ(BookPress(v, page, 300, 330, false).answer, 2);
    EXPECT_EQ(BookPress(v, page, ButtonX(3), kButtonY, false).answer, 4);
    EXPECT_FALSE(BookPress(v, page, 700, 690, false).answer) << "no options without flag bit 1";
    page.flags = 1;
    EXPECT_EQ(BookPress(v, page, 700, 690, false).answer, 3);
}

TEST(BookViewer, PageChangesLeaveBodiesOnlyForPagesThatExistAndNothingAwaited) {
    BookView v;
    struct Case {
        int page, pages;
        int x, y;
        bool awaiting;
        const char* body;
    } const cases[] = {
        {3, 6, ButtonX(2), kButtonY, false, "80\n4"},
        {3, 6, ButtonX(0), kButtonY, false, "80\n2"},
        {3, 6, ButtonX(1), kButtonY, false, "80\n1"},
        {5, 6, ButtonX(2), kButtonY, false, ""},   // the last page
        {0, 6, ButtonX(0), kButtonY, false, ""},   // before the cover
        {3, 6, ButtonX(2), kButtonY, true, ""},    // an answer is awaited
        {0, 0, ButtonX(2), kButtonY, false, ""},   // no pages at all
        {0, -4, ButtonX(2), kButtonY, false, ""},  // a negative count
        {0, INT_MIN, ButtonX(2), kButtonY, false, ""},
        {INT_MAX, 6, ButtonX(2), kButtonY, false, ""},
        {INT_MIN, 6, ButtonX(0), kButtonY, false, ""},
    };
    for (const Case& c : cases) {
        const BookInput in = BookPress(v, Book(c.page, c.pages), c.x, c.y, c.awaiting);
        EXPECT_TRUE(in.handled);
        EXPECT_EQ(in.body, c.body) << c.page << " of " << c.pages;
    }
    // Contents: a click opens the page of the entry's id; an entry past the pages sends nothing.
    EditorState contents = Book(1, 6, 12);
    EXPECT_EQ(BookPress(v, contents, 300, ContentsY(2), false).body, "80\n4");
    EXPECT_EQ(BookPress(v, contents, 300, ContentsY(9), false).body, "");
    BookWheel(v, contents, -120);
    EXPECT_EQ(v.contents_page, 1);
    EXPECT_EQ(BookPress(v, contents, 300, ContentsY(2), false).body, "") << "row 2 of page 2 is empty";
    EXPECT_EQ(BookPress(v, contents, 300, ContentsY(0), false).body, "") << "entry 11: page 12 of 6";

    struct Key {
        std::uint32_t vk;
        const char* body;
    } const keys[] = {{0x0D, "80\n4"}, {0x22, "80\n4"}, {0x27, "80\n4"}, {0x21, "80\n2"},
                      {0x25, "80\n2"}, {0x23, "80\n5"}, {0x24, "80\n0"}};
    for (const Key& k : keys) EXPECT_EQ(BookKey(Book(3, 6), k.vk, false).body, k.body) << std::hex << k.vk;
    EXPECT_FALSE(BookKey(Book(3, 6), 0x1B, false).handled) << "Esc is the frame's";
    // The last page of a count the server sent as INT_MIN (UBSan found End overflowing there).
    for (const Key& k : keys) EXPECT_EQ(BookKey(Book(0, INT_MIN), k.vk, false).body, "") << std::hex << k.vk;
}

TEST(BookViewer, TheScreenCarriesTheBookBodyAndKeepsEnterFromAnswering) {
    EditorState s = Book(2, 6);
    DocumentScreen d;
    ResetDocumentScreen(d, s);
    const ScreenInput click =
        DocumentPointer(d, s, 0x201, 0, (std::uint32_t(kButtonY) << 16) | std::uint32_t(ButtonX(2)), 1000, 500);
    EXPECT_EQ(click.body_kind, EditorBody::kBook);
    EXPECT_EQ(click.body, "80\n3");
    const ScreenInput enter = DocumentKey(d, s, 0x100, 0x0D);
    EXPECT_TRUE(enter.handled);
    EXPECT_FALSE(enter.answer);
    EXPECT_EQ(enter.body, "80\n3");
    d.submitted = true;
    EXPECT_TRUE(DocumentKey(d, s, 0x100, 0x0D).body.empty());
    ASSERT_TRUE(WholeScreenDrawList(d, s, {}));
}

}  // namespace
}  // namespace hm
