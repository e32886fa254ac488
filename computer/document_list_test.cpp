// The document lists (kinds 2, 5, 6, 7, 12, 14): rows and texts, reorder and page bodies, local
// paging, double clicks on a fake clock, keys and the selection's payload.
#include "computer/document_list.h"

#include <gtest/gtest.h>

#include "base/text1250.h"
#include "computer/document_payload.h"
#include "computer/document_screen.h"

namespace hm {
namespace {

EditorState List(int kind, int items) {
    EditorState s;
    s.request_id = 50;
    s.kind = kind;
    for (int i = 0; i < items; ++i) {
        EditorItem e;
        e.id = 100 + i;
        e.label = "Soubor " + std::to_string(i + 1);
        e.tag = "pdf";
        s.items.push_back(e);
    }
    return s;
}

int RowY(int row) { return kDocumentListTop + kDocumentListStep * row + 20; }

TEST(DocumentList, RowsTextsAndButtonsByKind) {
    EditorState s = List(2, 12);
    s.buttons[1] = "Upravit";
    DesktopView v;
    DrawList l = BuildDocumentListDrawList(s, v);
    EXPECT_NE(FindText(l, L"1. Soubor 1"), nullptr) << "attachment rows are numbered from 1";
    EXPECT_NE(FindText(l, L"10. Soubor 10"), nullptr);
    EXPECT_EQ(FindText(l, L"11. Soubor 11"), nullptr) << "10 rows a page";
    EXPECT_NE(FindText(l, L"↑ Posunout výš"), nullptr);
    EXPECT_NE(FindText(l, L"↓ Posunout níž"), nullptr);
    EXPECT_NE(FindText(l, L"Strana 1 / 2"), nullptr);
    v.page = 1;
    EXPECT_NE(FindText(BuildDocumentListDrawList(s, v), L"11. Soubor 11"), nullptr);

    const DrawList plain = BuildDocumentListDrawList(List(5, 3), {});
    EXPECT_NE(FindText(plain, L"Soubor 1"), nullptr) << "only attachment rows carry a number";
    EXPECT_EQ(FindText(plain, L"↑ Posunout výš"), nullptr);
    EXPECT_EQ(FindText(plain, L"Strana 1 / 1"), nullptr);
    s.buttons[1].clear();
    EXPECT_EQ(FindText(BuildDocumentListDrawList(s, {}), L"↑ Posunout výš"), nullptr);

    struct Empty {
        int kind;
        const wchar_t* text;
    } const empties[] = {
        {7, L"Zadanému hledání neodpovídají žádné spisy."},
        {2, L"Ve spisu zatím nejsou žádné pomocné soubory. Nový můžeš založit tlačítkem dole."},
        {14, L"Ve spisu zatím nejsou žádné pomocné soubory. Nový můžeš založit tlačítkem dole."},
    };
    for (const Empty& e : empties) EXPECT_NE(FindText(BuildDocumentListDrawList(List(e.kind, 0), {}), e.text), nullptr);

    // Search results show the server's page of the server's count.
    EditorState found = List(7, 10);
    found.page = 2;
    found.page_count = 4;
    EXPECT_NE(FindText(BuildDocumentListDrawList(found, {}), L"Strana 3 / 4"), nullptr);
    EXPECT_NE(FindText(BuildDocumentListDrawList(found, {}), L"Soubor 1"), nullptr);
}

TEST(DocumentList, ReorderLeavesTheBodyOfTheSelectedItem) {
    EditorState s = List(2, 4);
    s.buttons[1] = "Upravit";
    DesktopView v;
    DocumentListInput none = DocumentListPress(v, s, 300, 640, 1000, false);
    EXPECT_TRUE(none.handled);
    EXPECT_TRUE(none.body.empty()) << "nothing selected, nothing moves";
    DocumentListPress(v, s, 300, RowY(2), 1000, false);
    ASSERT_EQ(v.selected, 2);
    struct Case {
        int x;
        const char* body;
    } const cases[] = {{210, "50\n102\n-1"}, {379, "50\n102\n-1"}, {380, "50\n102\n1"}, {567, "50\n102\n1"}};
    for (const Case& c : cases) {
        const DocumentListInput in = DocumentListPress(v, s, c.x, 640, 2000, false);
        EXPECT_EQ(in.body_kind, EditorBody::kReorder);
        EXPECT_EQ(in.body, c.body) << c.x;
    }
    EXPECT_TRUE(DocumentListPress(v, s, 570, 640, 3000, false).body.empty());
    s.kind = 5;  // no reorder on other lists
    EXPECT_FALSE(DocumentListPress(v, s, 300, 640, 3000, false).handled);
}

TEST(DocumentList, PagingHereOrOnTheServer) {
    EditorState s = List(12, 21);
    DesktopView v;
    EXPECT_TRUE(DocumentListPress(v, s, 700, 640, 1000, false).body.empty());
    EXPECT_EQ(v.page, 1);
    DocumentListWheel(v, s, -120);
    EXPECT_EQ(v.page, 2);
    DocumentListWheel(v, s, -120);
    EXPECT_EQ(v.page, 2) << "no page past the last";
    DocumentListPress(v, s, 300, RowY(0), 1000, false);
    EXPECT_EQ(v.selected, 20);
    DocumentListKey(v, s, 0x21);
    EXPECT_EQ(v.page, 1);

    EditorState found = List(7, 10);
    found.page = 2;
    found.page_count = 3;
    DesktopView w;
    DocumentListInput next = DocumentListPress(w, found, 700, 640, 1000, false);
    EXPECT_TRUE(next.body.empty()) << "already on the server's last page";
    DocumentListInput back = DocumentListPress(w, found, 50, 640, 1000, false);
    EXPECT_EQ(back.body_kind, EditorBody::kPage);
    EXPECT_EQ(back.body, "50\n1");
    EXPECT_EQ(DocumentListKey(w, found, 0x21).body, "50\n1");
    EXPECT_EQ(DocumentListWheel(w, found, 120).body, "50\n1");
    EXPECT_EQ(w.page, 0) << "the server pages, not the view";
    found.page = -5;  // a negative page from the server reads as the first
    EXPECT_EQ(DocumentListPress(w, found, 700, 640, 1000, false).body, "50\n1");
}

TEST(DocumentList, DoubleClickWithin420MsOrAsAMessageOpens) {
    EditorState s = List(6, 3);
    struct Case {
        Tick gap;
        bool message;
        bool opens;
    } const cases[] = {{420, false, true}, {421, false, false}, {2000, true, true}};
    for (const Case& c : cases) {
        DesktopView v;
        EXPECT_FALSE(DocumentListPress(v, s, 300, RowY(1), 1000, false).answer);
        const DocumentListInput second = DocumentListPress(v, s, 300, RowY(1), 1000 + c.gap, c.message);
        EXPECT_EQ(second.answer.has_value(), c.opens) << c.gap;
    }
    DesktopView v;
    DocumentListPress(v, s, 300, RowY(0), 1000, false);
    EXPECT_FALSE(DocumentListPress(v, s, 300, RowY(1), 1100, false).answer) << "another row";
    EXPECT_TRUE(DocumentListPress(v, s, 300, RowY(5), 1100, false).handled);
    EXPECT_EQ(v.selected, 1) << "an empty row selects nothing";
    EXPECT_FALSE(DocumentListPress(v, s, 300, 720, 1100, false).handled) << "the frame's buttons";
}

TEST(DocumentList, TheScreenSendsTheSelectionAndKeysWalk) {
    EditorState s = List(14, 12);
    DocumentScreen d;
    ResetDocumentScreen(d, s);
    auto press = [&](int x, int y, Tick now) {
        return DocumentPointer(d, s, 0x201, 0, (std::uint32_t(y) << 16) | std::uint32_t(x), now, 500);
    };
    press(300, RowY(9), 1000);
    EXPECT_EQ(press(300, RowY(9), 1200).answer, 1);
    EXPECT_EQ(BuildPayload(PayloadInputsFor(d, s, 1)).payload, "{\\rtf1\\hmsel109 }");
    EXPECT_TRUE(DocumentKey(d, s, 0x100, 0x28).handled);
    EXPECT_EQ(d.desktop.selected, 10);
    EXPECT_EQ(d.desktop.page, 1) << "the page follows the selection";
    EXPECT_FALSE(DocumentKey(d, s, 0x100, 0x0D).handled) << "Enter is the frame's answer";
    // The server's copy with the items in a new order: the selection stays on the item.
    EditorState moved = s;
    std::swap(moved.items[10], moved.items[1]);
    UpdateDocumentScreen(d, s, moved);
    EXPECT_EQ(d.desktop.selected, 1);
    EXPECT_EQ(d.desktop.page, 0);
}

TEST(DocumentList, Kind5And6RowsComeFromTheContent) {
    const struct {
        const char* name;
        int kind;
        std::string content;
        std::vector<EditorItem> rows;  // id, label, tag, slot, number
    } cases[] = {
        {"two fields, CR LF", 5, "12/26\tKr\xe1" "de\xbe\r\n13/26\tVra\xbe" "da\r\n",
         {{1, "\xe8.j. 12/26  |  Kr\xe1" "de\xbe", "", "", 0xFFFFFF}, {2, "\xe8.j. 13/26  |  Vra\xbe" "da", "", "", 0xFFFFFF}}},
        {"three fields: no colour", 5, "1\tA\tB", {{1, "\xe8.j. 1  |  A", "B", "", 0xFFFFFF}}},
        {"four: the last is the colour", 5, "1\tA\tB\tff0000", {{1, "\xe8.j. 1  |  A", "B", "", 0xFF0000}}},
        {"five fields", 5, "1\tA\tB\tC\t00Aa00x", {{1, "\xe8.j. 1  |  A", "B  |  C", "", 0x00AA00}}},
        {"colour without digits", 5, "1\tA\tB\tzz", {{1, "\xe8.j. 1  |  A", "B", "", 0xFFFFFF}}},
        {"colour past 32 bits", 5, "1\tA\tB\t123456789", {{1, "\xe8.j. 1  |  A", "B", "", 0xFFFFFF}}},
        {"kind 6 skips its heading", 6, "Spis\tN\xe1zev\n7\tX\n", {{1, "\xe8.j. 7  |  X", "", "", 0xFFFFFF}}},
        {"kind 6 heading alone", 6, "Spis\tN\xe1zev", {}},
        {"empty lines give no row", 5, "\r\n\n1\n\n2", {{1, "\xe8.j. 1", "", "", 0xFFFFFF}, {2, "\xe8.j. 2", "", "", 0xFFFFFF}}},
        {"empty fields stay", 5, "\t\t", {{1, "\xe8.j.   |  ", "", "", 0xFFFFFF}}},
        {"nothing", 5, "", {}},
        {"rows of one wire line: lone CRs", 5, "1\tA\r2\tB\r", {{1, "\xe8.j. 1  |  A", "", "", 0xFFFFFF}, {2, "\xe8.j. 2  |  B", "", "", 0xFFFFFF}}},
        {"RTF: paragraphs are lines, tabs fields, tables dropped", 5,
         "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 1\\tab \\'c8R\\par 2\\tab B\\tab x\\tab 00ff00\\par}",
         {{1, "\xe8.j. 1  |  \xc8R", "", "", 0xFFFFFF}, {2, "\xe8.j. 2  |  B", "x", "", 0x00FF00}}},
        {"RTF table: cells are fields, rows lines", 6,
         "{\\rtf1 Spis\\cell N\\cell\\row 7\\cell \\u268?ek\\cell\\row}",
         {{1, "\xe8.j. 7  |  \xc8" "ek", "", "", 0xFFFFFF}}},
    };
    for (const auto& c : cases) {
        EditorState s = List(c.kind, 3);  // the item lines are not the rows
        s.content = c.content;
        RebuildContentRows(s);
        EXPECT_EQ(s.items, c.rows) << c.name;
    }
    EditorState other = List(7, 3);
    other.content = "1\tA";
    RebuildContentRows(other);
    EXPECT_EQ(other.items.size(), 3u) << "other kinds keep their item lines";
}

TEST(DocumentList, ContentRowsAreBoundedNumberedDrawnAndChosen) {
    EditorState s = List(5, 0);
    for (int i = 0; i < 1005; ++i) s.content += std::to_string(i) + "\tRow\t\tx\t112233\n";
    RebuildContentRows(s);
    ASSERT_EQ(s.items.size(), std::size_t(kMaxItems));
    EXPECT_EQ(s.items.back().id, kMaxItems);
    DocumentScreen d;
    ResetDocumentScreen(d, s);
    const DrawList l = BuildDocumentListDrawList(s, d.desktop);
    const DrawOp* row = FindText(l, Cp1250ToWide("\xe8.j. 0  |  Row"));
    ASSERT_NE(row, nullptr);
    // The row's tint: each channel c becomes 180 + c * 5 / 17.
    bool tinted = false;
    for (const DrawOp& op : l) tinted = tinted || (op.kind == DrawOpKind::kFill && op.colour == RgbRef(185, 190, 195));
    EXPECT_TRUE(tinted);
    DocumentPointer(d, s, 0x201, 0, (std::uint32_t(RowY(1)) << 16) | 300, 0, 500);
    EXPECT_EQ(BuildPayload(PayloadInputsFor(d, s, 1)).payload, "{\\rtf1\\hmsel2 }");
}

}  // namespace
}  // namespace hm
