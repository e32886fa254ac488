// The UI thread's decisions: control placement and limits, new-state rules, the key filter,
// what an answer carries and where a click lands.
#include "computer/editor_view.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace hm {
namespace {

EditorState State(int kind, std::uint32_t flags = 0) {
    EditorState s;
    s.request_id = 7;
    s.kind = kind;
    s.flags = int(flags);
    return s;
}

struct PlacementCase {
    const char* name;
    EditorState state;
    ControlBox box;
    int limit;
};

EditorState With(EditorState s, void (*change)(EditorState&)) {
    change(s);
    return s;
}

TEST(EditorView, MainControlPlacementAndLimit) {
    const PlacementCase cases[] = {
        {"update dialog", With(State(4), [](EditorState& s) { s.request_id = -2; }), {}, 6000},
        {"consent", State(3), {46, 400, 718, 44}, 24},
        {"short answer", State(10), {46, 180, 698, 120}, 240},
        {"text page", State(4), {46, 112, 718, 510}, 6000},
        {"delivery", State(17), {64, 274, 680, 60}, 300},
        {"cctv", State(18), {64, 274, 680, 60}, 19},
        {"sign or decline", State(27), {146, 74, 518, 526}, 6000},
        {"minigame", State(31), {}, 6000},
        {"call blocking", State(33), {146, 464, 508, 52}, 80},
        {"law book", State(34), {104, 148, 600, 470}, 60000},
        {"law book with items", With(State(34), [](EditorState& s) { s.items.resize(1); }), {}, 60000},
        {"fine ticket", State(37), {560, 180, 210, 360}, 2000},
        {"paper", With(State(8), [](EditorState& s) { s.paper = true; }), {48, 36, 694, 608}, 60000},
        {"handwritten paper", With(State(11), [](EditorState& s) { s.paper = true; }), {48, 76, 694, 568}, 60000},
        {"signature sheet", State(1), {40, 244, 710, 304}, 6000},
        {"list", State(5), {}, 6000},
        {"book", State(15), {}, 6000},
        {"free document", State(0), {28, 182, 734, 378}, 6000},
        {"desktop text page", State(16, 0x100 * 500), {48, 180, 694, 464}, 500},
        {"desktop limit clamped", State(16, 0xFFF00), {48, 180, 694, 464}, 3000},
        {"desktop limit at least 1", State(16, 0), {48, 180, 694, 464}, 1},
        {"desktop read-only", With(State(16), [](EditorState& s) { s.read_only = true; }), {48, 180, 694, 464}, 60000},
        {"phone entry", State(16, 0x8 | 1), {246, 180, 302, 64}, 1},
        {"entry in a frame", State(16, 0x10 | 3), {48, 180, 694, 464}, 1},
        {"wide desktop entry: the entry panel's box", State(16, 0x2000000 | 1), {150, 390, 510, 48}, 1},
        {"login entry: the entry panel's box", State(16, 1), {150, 390, 510, 48}, 1},
        {"password entry", State(16, 3), {150, 390, 510, 48}, 1},
        {"menu", State(16, 2), {}, 1},
        {"menu with text", With(State(16, 4), [](EditorState& s) { s.initial_text = "x"; }), {244, 212, 510, 390}, 1},
        {"hospic draft", With(State(16), [](EditorState& s) { s.screen_id = "hospic-draft"; }), {48, 180, 694, 438}, 1},
        {"identity card", With(State(16), [](EditorState& s) { s.screen_id = "identity-card"; }), {154, 208, 524, 338}, 1},
        {"inspection with card",
         With(State(16), [](EditorState& s) { s.screen_id = "field-inspection"; s.content = "{\\rtf1 \\hmcard161 x}"; }),
         {116, 146, 578, 480}, 1},
        {"identity dialog", With(State(16), [](EditorState& s) { s.screen_id = "identity-dialog"; }), {150, 242, 492, 260}, 1},
    };
    for (const PlacementCase& c : cases) {
        const MainControlPlan p = PlanMainControl(c.state);
        EXPECT_EQ(p.box.x, c.box.x) << c.name;
        EXPECT_EQ(p.box.y, c.box.y) << c.name;
        EXPECT_EQ(p.box.width, c.box.width) << c.name;
        EXPECT_EQ(p.box.height, c.box.height) << c.name;
        EXPECT_EQ(p.box.empty(), c.box.width == 0) << c.name;
        EXPECT_EQ(p.limit, c.limit) << c.name;
    }
    EXPECT_TRUE(PlanMainControl(State(1)).no_selection);
}

TEST(EditorView, SecondControls) {
    const auto delivery = PlanSecondControl(State(17));
    ASSERT_TRUE(delivery);
    EXPECT_EQ(delivery->limit, 700);
    EXPECT_FALSE(delivery->fill_from_caption);
    const auto cctv = PlanSecondControl(State(18));
    ASSERT_TRUE(cctv);
    EXPECT_EQ(cctv->limit, 19);
    EXPECT_TRUE(cctv->fill_from_caption);
    const auto law = PlanSecondControl(State(34));
    ASSERT_TRUE(law);
    EXPECT_TRUE(law->hidden && law->read_only);
    EXPECT_FALSE(PlanSecondControl(With(State(34), [](EditorState& s) { s.items.resize(2); })));
    const auto ticket = PlanSecondControl(State(37));
    ASSERT_TRUE(ticket);
    EXPECT_EQ(ticket->box.x, 48);
    EXPECT_TRUE(ticket->read_only);
    EXPECT_FALSE(PlanSecondControl(State(10)));
}

TEST(EditorView, NewStateRules) {
    const std::string content = "text";
    const NewStateView view{7, 10, false, &content};
    struct Case {
        const char* name;
        EditorState incoming;
        bool awaiting;
        NewStateAction expected;
    } cases[] = {
        {"same screen", With(State(10), [](EditorState& s) { s.content = "text"; }), false, NewStateAction::kUpdateInPlace},
        {"same screen, new label",
         With(State(10), [](EditorState& s) { s.content = "text"; s.buttons[0] = "Jinak"; }), false,
         NewStateAction::kUpdateInPlace},
        {"other content", With(State(10), [](EditorState& s) { s.content = "jiny"; }), false, NewStateAction::kRebuild},
        {"other kind", With(State(4), [](EditorState& s) { s.content = "text"; }), false, NewStateAction::kRebuild},
        {"paper now", With(State(10), [](EditorState& s) { s.content = "text"; s.paper = true; }), false,
         NewStateAction::kRebuild},
        {"other id, not awaited", With(State(10), [](EditorState& s) { s.request_id = 8; }), false, NewStateAction::kIgnore},
        {"other id, awaited", With(State(10), [](EditorState& s) { s.request_id = 8; }), true, NewStateAction::kRebuild},
        {"other id, login screen",
         With(State(16, 3), [](EditorState& s) { s.request_id = 8; }), false, NewStateAction::kRebuild},
    };
    for (const auto& c : cases) EXPECT_EQ(DecideNewState(view, c.incoming, c.awaiting), c.expected) << c.name;

    EditorState a = State(21), b = State(21);
    a.picture_slot = b.picture_slot = 1;
    EXPECT_TRUE(KeepPictureOnRebuild(a, b));
    b.picture_count = 2;
    EXPECT_FALSE(KeepPictureOnRebuild(a, b));
}

TEST(EditorView, KeyFilter) {
    constexpr std::uint32_t kDown = 0x100, kUp = 0x101, kChar = 0x102;
    struct Case {
        const char* name;
        std::uint32_t message, key;
        KeyContext k;
        KeyAction expected;
    } cases[] = {
        {"letter", kChar, 'a', {10, false, false, false}, KeyAction::kToControl},
        {"letter read-only", kChar, 'a', {4, true, false, false}, KeyAction::kSwallow},
        {"Ctrl+B echo", kChar, 2, {0, false, true, false}, KeyAction::kSwallow},
        {"Ctrl+I echo", kChar, 9, {0, false, true, false}, KeyAction::kSwallow},
        {"Ctrl+U echo", kChar, 21, {0, false, true, false}, KeyAction::kSwallow},
        {"Tab", kChar, 9, {0, false, false, false}, KeyAction::kToControl},
        {"Ctrl+Alt letter", kDown, 'E', {0, false, true, true}, KeyAction::kSwallow},
        {"Ctrl+B kind 0", kDown, 'B', {0, false, true, false}, KeyAction::kBold},
        {"Ctrl+B kind 10", kDown, 'B', {10, false, true, false}, KeyAction::kSwallow},
        {"Ctrl+I kind 0", kDown, 'I', {0, false, true, false}, KeyAction::kItalic},
        {"Ctrl+U kind 0", kDown, 'U', {0, false, true, false}, KeyAction::kUnderline},
        {"Ctrl+E kind 11", kDown, 'E', {11, false, true, false}, KeyAction::kAlignCenter},
        {"Ctrl+E kind 0", kDown, 'E', {0, false, true, false}, KeyAction::kSwallow},
        {"Ctrl+L kind 11", kDown, 'L', {11, false, true, false}, KeyAction::kAlignLeft},
        {"Ctrl+R kind 11", kDown, 'R', {11, false, true, false}, KeyAction::kAlignRight},
        {"Ctrl+A read-only", kDown, 'A', {4, true, true, false}, KeyAction::kSelectAll},
        {"Ctrl+C read-only", kDown, 'C', {4, true, true, false}, KeyAction::kCopy},
        {"Ctrl+V read-only", kDown, 'V', {4, true, true, false}, KeyAction::kSwallow},
        {"Ctrl+V", kDown, 'V', {10, false, true, false}, KeyAction::kPastePlain},
        {"Ctrl+X", kDown, 'X', {10, false, true, false}, KeyAction::kCut},
        {"Ctrl+Z", kDown, 'Z', {10, false, true, false}, KeyAction::kUndo},
        {"Ctrl+Y", kDown, 'Y', {10, false, true, false}, KeyAction::kRedo},
        {"Ctrl+other letter", kDown, 'K', {10, false, true, false}, KeyAction::kSwallow},
        {"navigation read-only", kDown, 0x28, {4, true, false, false}, KeyAction::kToControl},
        {"Delete read-only", kDown, 0x2E, {4, true, false, false}, KeyAction::kSwallow},
        {"Delete", kDown, 0x2E, {10, false, false, false}, KeyAction::kToControl},
        {"Enter answers", kDown, 0x0D, {10, false, false, false}, KeyAction::kAnswerOk},
        {"Enter breaks kind 0", kDown, 0x0D, {0, false, false, false}, KeyAction::kToControl},
        {"Enter breaks kind 1", kDown, 0x0D, {1, false, false, false}, KeyAction::kToControl},
        {"Enter breaks kind 11", kDown, 0x0D, {11, false, false, false}, KeyAction::kToControl},
        {"Enter key-up", kUp, 0x0D, {10, false, false, false}, KeyAction::kSwallow},
        {"Enter char on a form", kChar, '\r', {10, false, false, false}, KeyAction::kSwallow},
        {"Enter answers read-only", kDown, 0x0D, {3, true, false, false}, KeyAction::kAnswerOk},
        {"Esc", kDown, 0x1B, {10, false, false, false}, KeyAction::kAnswerCancel},
        {"Esc char", kChar, 0x1B, {10, false, false, false}, KeyAction::kSwallow},
        // Two typing boxes (delivery, CCTV): Tab and Enter move the typing, Ctrl+Enter answers.
        {"Tab moves the typing", kDown, 0x09, {17, false, false, false}, KeyAction::kSwitchBox},
        {"Enter moves the typing", kDown, 0x0D, {18, false, false, false}, KeyAction::kSwitchBox},
        {"Ctrl+Enter answers", kDown, 0x0D, {17, false, true, false}, KeyAction::kAnswerOk},
        {"Ctrl+Tab", kDown, 0x09, {18, false, true, false}, KeyAction::kSwallow},
        {"Tab key-up", kUp, 0x09, {17, false, false, false}, KeyAction::kSwallow},
        {"Tab char is not typed", kChar, 9, {17, false, false, false}, KeyAction::kSwallow},
        {"Enter char is not typed", kChar, '\r', {18, false, false, false}, KeyAction::kSwallow},
        {"Tab on one box", kDown, 0x09, {10, false, false, false}, KeyAction::kToControl},
        {"letter in two boxes", kChar, 'x', {17, false, false, false}, KeyAction::kToControl},
    };
    for (const auto& c : cases) EXPECT_EQ(DecideKey(c.message, c.key, c.k), c.expected) << c.name;
}

TEST(EditorView, EscapeAnswersByKind) {
    const std::pair<int, int> cases[] = {{10, 0}, {0, 0}, {27, 2}, {17, 2}, {18, 2}, {30, 0}, {37, 0}};
    for (const auto& [kind, action] : cases) EXPECT_EQ(EscapeAnswer(kind), action) << kind;
}

TEST(EditorView, DoubleClickSelectsAWord) {
    const std::wstring text = L"Příliš žluťoučký  kůň, úpěl.\rDruhý řádek\r";
    struct Case {
        const char* name;
        int at;
        TextRange expected;
    } cases[] = {
        {"word start", 0, {0, 7}},
        {"word middle, Czech letters", 10, {7, 18}},
        {"two blanks after a word", 15, {7, 18}},
        {"on the blanks", 16, {16, 18}},
        {"word before a comma", 19, {18, 21}},
        {"the comma alone", 21, {21, 22}},
        {"last word of a line", 24, {23, 27}},
        {"full stop", 27, {27, 28}},
        {"past the line's end", 28, {27, 28}},
        {"second line", 30, {29, 35}},
        {"past the last line's end", 40, {35, 40}},
        {"past the text", 1000, {41, 41}},
        {"before the text", -5, {0, 7}},
    };
    for (const auto& c : cases) {
        const TextRange r = WordAt(text, c.at);
        EXPECT_EQ(r.start, c.expected.start) << c.name;
        EXPECT_EQ(r.end, c.expected.end) << c.name;
    }
    EXPECT_EQ(WordAt(L"", 0), (TextRange{0, 0}));
    EXPECT_EQ(WordAt(L"a\r\rb", 2), (TextRange{2, 2})) << "an empty line selects nothing";
    EXPECT_EQ(WordAt(L"x\xFFFCy", 1), (TextRange{1, 2})) << "an embedded object is no letter";
}

TEST(EditorView, DoubleClickNeedsTheSameBoxPlaceAndTime) {
    const ClickMemory last{true, 1000, 100, 200, 0};
    struct Case {
        const char* name;
        ClickMemory last;
        Tick now;
        int x, y, box;
        bool expected;
    } cases[] = {
        {"at once, same place", last, 1000, 100, 200, 0, true},
        {"at the time limit", last, 1500, 100, 200, 0, true},
        {"after the limit", last, 1501, 100, 200, 0, false},
        {"within the rectangle", last, 1200, 102, 198, 0, true},
        {"outside it", last, 1200, 103, 200, 0, false},
        {"other box", last, 1200, 100, 200, 1, false},
        {"no earlier press", ClickMemory{}, 1000, 100, 200, 0, false},
        {"clock before the press", last, 900, 100, 200, 0, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsDoubleClick(c.last, c.now, c.x, c.y, c.box, 500, 4, 4), c.expected) << c.name;
}

TEST(EditorView, CanvasPointsBecomeControlPoints) {
    const ControlBox box{64, 394, 680, 100};
    struct Case {
        const char* name;
        int x, y;
        bool inside;
        int cx, cy, scroll;
    } cases[] = {
        {"top-left", 64, 394, true, 0, 0, 0},
        {"inside", 100, 420, true, 36, 26, 0},
        {"bottom-right", 743, 493, true, 679, 99, 0},
        {"right of it", 744, 420, false, 679, 26, 0},
        {"above: scrolls up", 100, 380, false, 36, 0, -kScrollLinePixels},
        {"below: scrolls down", 100, 494, false, 36, 99, kScrollLinePixels},
        {"left of the canvas", -5, 420, false, 0, 26, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BoxContains(box, c.x, c.y), c.inside) << c.name;
        const BoxPoint p = PointInBox(box, c.x, c.y);
        EXPECT_EQ(p.x, c.cx) << c.name;
        EXPECT_EQ(p.y, c.cy) << c.name;
        EXPECT_EQ(p.scroll, c.scroll) << c.name;
    }
    EXPECT_FALSE(BoxContains(ControlBox{}, 0, 0));
}

TEST(EditorView, RenderTickDrawsOnlyWhenSomethingMayShowDifferently) {
    RedrawInputs drawn;
    drawn.caret_phase = drawn.drawn_caret_phase = 1;
    drawn.now = 5200;
    drawn.drawn_at = 5000;
    struct Case {
        const char* name;
        void (*change)(RedrawInputs&);
        bool expected;
    } cases[] = {
        {"nothing new", [](RedrawInputs&) {}, false},
        {"a handled message", [](RedrawInputs& r) { r.dirty = true; }, true},
        {"the caret blinked", [](RedrawInputs& r) { r.caret_phase = 0; }, true},
        {"minimised", [](RedrawInputs& r) { r.minimized = true; }, true},
        {"a second later", [](RedrawInputs& r) { r.now = 6000; }, true},
        {"just under a second", [](RedrawInputs& r) { r.now = 5999; }, false},
        {"never drawn", [](RedrawInputs& r) { r.drawn_caret_phase = -1; }, true},
    };
    for (const auto& c : cases) {
        RedrawInputs in = drawn;
        c.change(in);
        EXPECT_EQ(NeedsRedraw(in), c.expected) << c.name;
    }
    EXPECT_EQ(CaretPhase(1499), 1);
    EXPECT_EQ(CaretPhase(1500), 0);
}

TEST(EditorView, DeleteMessagesItemLeavesTheDesktopList) {
    const std::string erase = "Smaz\xe1n\xed zpr\xe1v", erase2 = "Smazat zpr\xe1vy";
    auto desktop = [](int kind, std::uint32_t flags, std::vector<std::string> labels) {
        EditorState s = State(kind, flags);
        int id = 10;
        for (const std::string& l : labels) s.items.push_back(EditorItem{id++, l, "app:x", "", 0});
        return s;
    };
    struct Case {
        const char* name;
        EditorState s;
        std::optional<int> id;
        std::size_t left;
    } cases[] = {
        {"phone messages", desktop(16, 0x28, {"Zpr\xe1vy", erase}), 11, 1},
        {"other label", desktop(16, 0x28 | 0x100, {erase2, "Kontakty"}), 10, 1},
        {"both labels", desktop(16, 0x2A, {erase, "Kontakty", erase2}), 10, 1},
        {"0x40 set", desktop(16, 0x68, {erase}), std::nullopt, 1},
        {"only 0x20", desktop(16, 0x20, {erase}), std::nullopt, 1},
        {"only 0x08", desktop(16, 0x08, {erase}), std::nullopt, 1},
        {"not a desktop", desktop(5, 0x28, {erase}), std::nullopt, 1},
        {"no such item", desktop(16, 0x28, {"Smazat"}), std::nullopt, 1},
    };
    for (auto& c : cases) {
        EXPECT_EQ(TakeDeleteMessagesItem(c.s), c.id) << c.name;
        EXPECT_EQ(c.s.items.size(), c.left) << c.name;
        for (const EditorItem& item : c.s.items) EXPECT_NE(std::optional<int>(item.id), c.id) << c.name;
    }
    EXPECT_EQ(SelectionPayload(11), "{\\rtf1\\hmsel11 }");
    EXPECT_EQ(SelectionPayload(0), "{\\rtf1\\hmsel0 }");
}

TEST(EditorView, TextOverPicturesIsPrintedTransparently) {
    EXPECT_TRUE(PrintsTransparently(With(State(4), [](EditorState& s) { s.picture_mode = 4; })));
    EXPECT_TRUE(PrintsTransparently(With(State(16), [](EditorState& s) { s.content = "{\\rtf1 \\hmcard161 x}"; })));
    EXPECT_FALSE(PrintsTransparently(With(State(4), [](EditorState& s) { s.picture_mode = 2; })));
    EXPECT_TRUE(MainBoxReadOnly(State(34)));
    EXPECT_FALSE(MainBoxReadOnly(State(17)));
}

TEST(EditorView, WhichAnswersCarryTheDocument) {
    struct Case {
        const char* name;
        EditorState s;
        int action;
        bool expected;
    } cases[] = {
        {"short answer, first button", State(10), 1, true},
        {"short answer, second button", State(10), 2, true},
        {"close", State(10), 0, false},
        {"fourth button", State(10), 4, false},
        {"web image without the flag", State(0), 3, false},
        {"web image", State(0, 0x40000000), 3, true},
        {"read-only", With(State(10), [](EditorState& s) { s.read_only = true; }), 1, false},
        {"scanned", With(State(0), [](EditorState& s) { s.scanned = true; }), 1, false},
        {"desktop first button", State(16), 1, true},
        {"desktop second button", State(16), 2, false},
        {"consent", State(3), 1, false},
        {"list", State(5), 1, false},
        {"text page", State(4), 1, false},
        {"handwritten", State(11), 1, true},
        {"ticket", State(37), 2, true},
    };
    for (const auto& c : cases) EXPECT_EQ(SendsDocumentRtf(c.s, c.action), c.expected) << c.name;
}

TEST(EditorView, RtfAnswersCarryNoObjectsAndStopAtSixteenThousandBytes) {
    struct Case {
        const char* name;
        std::string in, out;
    } cases[] = {
        {"plain", "{\\rtf1 ahoj}", "{\\rtf1 ahoj}"},
        {"object", "{\\rtf1 a{\\object\\objemb{\\*\\objdata 01{}02}{\\result x}}b}", "{\\rtf1 ab}"},
        {"picture", "{\\rtf1 a{\\pict\\pngblip 89504e}b}", "{\\rtf1 ab}"},
        {"objdata alone", "{\\rtf1 a{\\*\\objdata 0102}b}", "{\\rtf1 ab}"},
        {"escaped braces", "{\\rtf1 \\{x\\} \\\\}", "{\\rtf1 \\{x\\} \\\\}"},
        {"bin data with braces", "{\\rtf1 a{\\pict\\bin3 }}{b}c}", "{\\rtf1 ac}"},
        {"bin outside a picture", "{\\rtf1 a\\bin2 {}b}", "{\\rtf1 ab}"},
        {"unbalanced", "{\\rtf1 {\\b a", "{\\rtf1 {\\b a}}"},
        {"stray close", "{\\rtf1 a}}b}", "{\\rtf1 a}b"},
        {"stray close after a word", "{\\rtf1 a}\\bin}4", "{\\rtf1 a}\\bin 4"},
        {"object never closed", "{\\rtf1 a{\\object xyz", "{\\rtf1 a}"},
        {"huge bin", "{\\rtf1 a{\\pict\\bin999999999 xy}}", "{\\rtf1 a}"},
        {"lone backslash at the end", "{\\rtf1 a\\", "{\\rtf1 a}"},
        {"no group becomes a picture", "{\\rtf1 {{\\object x}\\pict 01}}", "{\\rtf1 { \\pict 01}}"},
        {"NUL bytes", std::string("{\\rtf1 a}\r\n\0", 12), "{\\rtf1 a}\r\n"},
        {"a NUL makes no picture", std::string("{\\rtf1 {\0\\pict 01}}", 19), "{\\rtf1 { \\pict 01}}"},
        {"no word takes a number", "{\\rtf1 \\fs{\\object x}24}", "{\\rtf1 \\fs 24}"},
    };
    for (const auto& c : cases) EXPECT_EQ(StripRtfObjects(c.in), c.out) << c.name;

    const std::string head = "{\\rtf1 ", tail = "}";
    const std::string exact = head + std::string(kRtfLimitBytes - head.size() - tail.size(), 'x') + tail;
    ASSERT_EQ(exact.size(), 16000u);
    EXPECT_EQ(CutDocumentRtf(exact), exact);
    EXPECT_FALSE(CutDocumentRtf(head + "x" + exact.substr(head.size())));
    // Objects do not count against the limit: they are not sent.
    const std::string with_object = exact.substr(0, exact.size() - 1) + "{\\object " + std::string(500, 'f') + "}}";
    EXPECT_EQ(CutDocumentRtf(with_object), exact);
}

TEST(EditorView, IncomingRtfIsBoundedInDepth) {
    struct Case {
        const char* name;
        std::string in, out;
    } cases[] = {
        {"flat", "{\\rtf1 a}", "{\\rtf1 a}"},
        {"unclosed", "{\\rtf1 {\\b a", "{\\rtf1 {\\b a}}"},
        {"too deep", "{\\rtf1 a{{{b}}}c}", "{\\rtf1 a{{}}}"},
        {"ends at the document's end", "{\\rtf1 a}trailing{", "{\\rtf1 a}"},
        {"bin braces are data", "{\\rtf1 \\bin2 {{x}", "{\\rtf1 \\bin2 {{x}"},
        {"bin cut off by the end", "{\\rtf1 a{\\bin9 xy", "{\\rtf1 a{}}"},
        {"lone backslash at the end", "{\\rtf1 a\\", "{\\rtf1 a}"},
    };
    for (const auto& c : cases) EXPECT_EQ(BoundRtfNesting(c.in, 3), c.out) << c.name;
    EXPECT_EQ(BoundRtfNesting("{\\rtf1 " + std::string(100000, '{')).size(), 7u + kMaxRtfDepth - 1 + kMaxRtfDepth);
}

TEST(EditorView, Nicknames) {
    for (const char* ok : {"Abc", "Test_Player", "a.b$c[d](e)=f", "abcdefghijklmnopqrstuvwx"})
        EXPECT_TRUE(IsValidNickname(ok)) << ok;
    for (const char* bad : {"", "ab", "abcdefghijklmnopqrstuvwxy", "Jan Novak", "Jiří", "a-b", "x\ny"})
        EXPECT_FALSE(IsValidNickname(bad)) << bad;
}

TEST(EditorView, ClicksOnButtons) {
    EditorState form = State(10);
    form.buttons[0] = "Odeslat";
    form.buttons[2] = "Jinak";
    struct Case {
        const char* name;
        int x, y;
        std::optional<int> expected;
    } cases[] = {
        {"first button", 116, 728, 1},
        {"first button left edge", 24, 712, 1},
        {"first button right edge", 207, 744, 1},
        {"gap", 210, 728, std::nullopt},
        {"below", 116, 745, std::nullopt},
        {"unlabelled second", 300, 728, std::nullopt},
        {"third", 420, 728, 3},
        {"close glyph", 780, 20, 0},
        {"text", 300, 300, std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ClickAction(form, c.x, c.y), c.expected) << c.name;

    EditorState update = State(4);
    update.request_id = -2;
    update.buttons[0] = "Zavrit";
    update.buttons[1] = "Zpet";
    EXPECT_EQ(ClickAction(update, 274, 510), 1);
    EXPECT_EQ(ClickAction(update, 500, 510), 2);
    EXPECT_EQ(ClickAction(update, 116, 728), std::nullopt) << "the bottom row is outside its panel";
    EXPECT_EQ(ClickAction(update, 780, 20), std::nullopt);
}

TEST(EditorView, ToolbarAndColourMenu) {
    struct Case {
        const char* name;
        int x, y;
        bool read_only;
        ToolbarControl expected;
    } cases[] = {
        {"B", 24, 104, false, ToolbarControl::kBold},
        {"I", 75, 120, false, ToolbarControl::kItalic},
        {"U right edge", 125, 135, false, ToolbarControl::kUnderline},
        {"between U and 9", 130, 120, false, ToolbarControl::kNone},
        {"size 14", 220, 120, false, ToolbarControl::kSize14},
        {"justify", 600, 110, false, ToolbarControl::kAlignJustify},
        {"undo", 650, 120, false, ToolbarControl::kUndo},
        {"redo", 785, 120, false, ToolbarControl::kRedo},
        {"text colour", 100, 150, false, ToolbarControl::kTextColour},
        {"background colour", 300, 150, false, ToolbarControl::kBackColour},
        {"colour read-only", 100, 150, true, ToolbarControl::kNone},
        {"bold read-only", 30, 110, true, ToolbarControl::kBold},
        {"above", 30, 103, false, ToolbarControl::kNone},
    };
    for (const auto& c : cases) EXPECT_EQ(HitToolbar(c.x, c.y, c.read_only), c.expected) << c.name;
    EXPECT_EQ(ToolbarFontSize(ToolbarControl::kSize11), 11);
    EXPECT_EQ(ToolbarFontSize(ToolbarControl::kBold), 0);
    EXPECT_EQ(HitColourCell(34, 208), 0);
    EXPECT_EQ(HitColourCell(34 + 28 * 7 + 27, 208), 7);
    EXPECT_EQ(HitColourCell(34, 208 + 28), 8);
    EXPECT_EQ(HitColourCell(34 + 28 * 7 + 27, 208 + 28 * 2 + 27), 23);
    EXPECT_EQ(HitColourCell(34 + 28 * 8, 208), -1);
    EXPECT_EQ(HitColourCell(33, 208), -1);
    EXPECT_EQ(kMenuColoursRgb[13], 0x1E5ABEu);
    EXPECT_TRUE(HasToolbar(State(0)));
    EXPECT_FALSE(HasToolbar(With(State(0), [](EditorState& s) { s.paper = true; })));
    EXPECT_FALSE(HasToolbar(State(10)));
}

TEST(EditorView, ScrollBar) {
    const ControlBox box{46, 180, 698, 120};
    const ScrollGeometry top = PlaceScrollBar(box, 0, 480, 120);
    EXPECT_EQ(top.left, 46 + 698 + 4);
    EXPECT_EQ(top.right - top.left, 16);
    EXPECT_EQ(top.thumb_top, 180 + 18);
    EXPECT_EQ(top.thumb_bottom - top.thumb_top, (120 - 36) * 120 / 480);
    const ScrollGeometry bottom = PlaceScrollBar(box, 360, 480, 120);
    EXPECT_EQ(bottom.thumb_bottom, 300 - 18);
    EXPECT_EQ(HitScrollBar(top, 755, 185), ScrollHit::kLineUp);
    EXPECT_EQ(HitScrollBar(top, 755, 295), ScrollHit::kLineDown);
    EXPECT_EQ(HitScrollBar(top, 755, top.thumb_top + 1), ScrollHit::kThumb);
    EXPECT_EQ(HitScrollBar(top, 755, top.thumb_bottom + 5), ScrollHit::kPageDown);
    EXPECT_EQ(HitScrollBar(bottom, 755, bottom.thumb_top - 5), ScrollHit::kPageUp);
    EXPECT_EQ(HitScrollBar(top, 700, 200), ScrollHit::kNone);
    // Dragging the thumb over its whole room moves over the whole range, and no further.
    const int room = 120 - 36 - (top.thumb_bottom - top.thumb_top);
    EXPECT_EQ(DragScrollPosition(top, 480, 120, 0, room), 360);
    EXPECT_EQ(DragScrollPosition(top, 480, 120, 0, 10 * room), 360);
    EXPECT_EQ(DragScrollPosition(top, 480, 120, 100, -1000), 0);
    EXPECT_EQ(DragScrollPosition(top, 100, 120, 0, 50), 0) << "text shorter than the box";
    EXPECT_FALSE(HasScrollBar(State(3), PlanMainControl(State(3))));
    EXPECT_TRUE(HasScrollBar(State(10), PlanMainControl(State(10))));
}

}  // namespace
}  // namespace hm
