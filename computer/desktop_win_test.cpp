// The desktop and the signature sheet under Wine: draw lists replayed into a real overlay canvas
// (checked at fills: Wine has no Segoe UI, so texts are not compared), the icon painter, the
// upper-casing against CharUpperW, and the UI window taking drags, double clicks and the two
// signing clicks through forwarded input.
#include <windows.h>
#include <richedit.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <set>
#include <string>
#include <thread>

#include "base/text1250.h"
#include "base/ui_messages.h"
#include "computer/book_viewer.h"
#include "computer/desktop_draw.h"
#include "computer/dialog_panel.h"
#include "computer/desktop_layout.h"
#include "computer/draw_list_win.h"
#include "computer/editor_exchange.h"
#include "computer/icon_painter_win.h"
#include "computer/legacy_grid.h"
#include "computer/rich_edit_win.h"
#include "computer/signature_sheet.h"
#include "computer/ui_window_win.h"
#include "game/input_state.h"
#include "ui/canvas_win.h"
#include "ui/colour.h"
#include "ui/masks.h"
#include "ui/png_file.h"

#ifndef HM_TEST_OUTPUT_DIR
#define HM_TEST_OUTPUT_DIR "."
#endif

namespace hm {
namespace {

using namespace std::chrono_literals;

ColorRef ColourAt(const Pixels& p, int x, int y) { return ColorOfArgb(p.at(std::uint32_t(x), std::uint32_t(y))); }

EditorItem Item(int id, const wchar_t* label, std::string tag, std::string slot) {
    EditorItem e;
    e.id = id;
    e.label = WideToCp1250(label);
    e.tag = std::move(tag);
    e.slot = std::move(slot);
    return e;
}

EditorState DesktopState() {
    EditorState s;
    s.request_id = 31;
    s.kind = 16;
    s.flags = 0x82;
    s.screen_id = "desktop:main";
    s.items = {Item(5, L"Word", "app:word", "0"), Item(6, L"Mail", "app:mail", "1"),
               Item(12, L"Smlouva o prodeji", "app:doc12", "3"), Item(90, L"Plocha", "", "")};
    for (int i = 0; i < 18; ++i) s.items.push_back(Item(100 + i, L"Soubor", "app:f" + std::to_string(i), std::to_string(4 + i)));
    return s;
}

// Renders go to HM_TEST_OUTPUT_DIR for a person to look at.
PixelsRef Replay(const DrawList& l, const char* name) {
    OverlayCanvas canvas;
    const UiFonts fonts = CreateUiFonts();
    ReplayDrawList(canvas.dc(), fonts, l, PixelsRef());
    PixelsRef p = canvas.ToPixels();
    WritePngFile(std::string(HM_TEST_OUTPUT_DIR) + "/" + name, *p);
    return p;
}

TEST(DesktopReplay, SlotDesktopFillsWhereTheListPutsThem) {
    const EditorState s = DesktopState();
    DesktopView v = MakeDesktopView(s);
    v.selected = 2;  // slot 3: column 3, row 0
    DesktopDrawContext c;
    c.clock = L"20:34";
    const PixelsRef p = Replay(BuildDesktopDrawList(s, v, c), "desktop.png");
    EXPECT_EQ(ColourAt(*p, 4, 4), kDesktopBackdrop);
    EXPECT_EQ(ColourAt(*p, 19, 400), kDesktopPanel);
    // Selected tile at (478,146): a corner inside its highlight, clear of icon and label.
    EXPECT_EQ(ColourAt(*p, 484, 160), kTileSelected);
    // Icon of slot 0 (Word, glyph 5) at (92,152), 40 px: its colour left of the sheet motif.
    EXPECT_EQ(ColourAt(*p, 94, 172), GlyphColour(5));
    // Icon of slot 1 (Mail, glyph 4) at (238,152).
    EXPECT_EQ(ColourAt(*p, 240, 172), GlyphColour(4));
    // 22 items in slots 0..21: two pages, so the paging row is there ("‹" button in its palette).
    const ButtonColours button = ButtonColoursFor(false, s.Flags());
    EXPECT_EQ(ColourAt(*p, 60, 598), button.fill);
    // "Domů" button of the home item.
    EXPECT_EQ(ColourAt(*p, 50, 650), button.fill);
}

TEST(DesktopReplay, LegacyGridInBothThemes) {
    for (const bool light : {false, true}) {
        EditorState s = DesktopState();
        s.flags = light ? 0xC2 : 0x82;
        DesktopView v;
        v.selected = 1;
        const PixelsRef p = Replay(BuildLegacyGridDrawList(s, v, {}), light ? "legacy-light.png" : "legacy-dark.png");
        // The band left of the tiles, row by row in the theme's colour.
        for (const int y : {95, 300, 660}) EXPECT_EQ(ColourAt(*p, 30, y), LegacyBandColour(y, light)) << y;
        // Tile 0 clear of its glyph and label; tile 1 selected.
        EXPECT_EQ(ColourAt(*p, 50, 180), light ? RgbRef(250, 252, 255) : RgbRef(220, 234, 247));
        EXPECT_EQ(ColourAt(*p, 234, 180), RgbRef(211, 231, 252));
        if (light) {
            EXPECT_EQ(ColourAt(*p, 760, 108), RgbRef(255, 255, 255)) << "the address bar";
        }
    }
}

// The compact frame: the body round its window, the themed band inside it, and the window mask
// cutting exactly the body's corners (a pixel the mask keeps beside the window is the body's).
TEST(DesktopReplay, CompactFrameAroundTheThemedGrid) {
    for (const bool light : {false, true}) {
        EditorState s = DesktopState();
        s.flags = light ? 0xCA : 0x8A;
        ASSERT_TRUE(IsLegacyGrid(s));
        DesktopView v;
        v.selected = 1;
        const PixelsRef p = Replay(BuildLegacyGridDrawList(s, v, {}), light ? "compact-light.png" : "compact-dark.png");
        EXPECT_EQ(ColourAt(*p, 100, 400), RgbRef(238, 243, 249)) << "beside the body";
        EXPECT_EQ(ColourAt(*p, 222, 400), kCompactBodyColour);
        EXPECT_EQ(ColourAt(*p, 586, 730), kCompactBodyColour);
        for (const int y : {95, 300, 660}) EXPECT_EQ(ColourAt(*p, 233, y), LegacyBandColour(y, light)) << y;
        EXPECT_EQ(ColourAt(*p, 240, 180), light ? RgbRef(250, 252, 255) : RgbRef(220, 234, 247)) << "tile 0";
        EXPECT_EQ(ColourAt(*p, 404, 180), RgbRef(211, 231, 252)) << "tile 1, selected";
        EXPECT_EQ(ColourAt(*p, 250, 660), ButtonColoursFor(false, s.Flags()).fill) << "the compact page button";
        if (light) {
            EXPECT_EQ(ColourAt(*p, 560, 108), RgbRef(255, 255, 255)) << "the address strip";
        }
        Pixels masked = *p;
        SetAlphaOpaque(masked);
        ApplyMask(masked, MaskFor(MaskScreen::kApp16Window), -100, -100);
        EXPECT_EQ(masked.at(224, 8) >> 24, 0u) << "outside the rounded body";
        EXPECT_EQ(ColourAt(*p, 224, 8), RgbRef(238, 243, 249));
        EXPECT_EQ(masked.at(232, 16) >> 24, 255u);
        EXPECT_EQ(ColourAt(*p, 232, 16), kCompactBodyColour);
        EXPECT_EQ(masked.at(215, 400) >> 24, 0u);
        EXPECT_EQ(masked.at(400, 400) >> 24, 255u);
    }
}

TEST(DesktopReplay, WorkbenchBoardTraysAndTools) {
    EditorState s = DesktopState();
    s.screen_id = "mechanic-workbench";
    s.items = {Item(1, L"Klíč", "app:wrench", "0"), Item(5, L"Zvedák", "app:jack", "1"),
               Item(10, L"Baterie", "app:battery", "5")};
    ASSERT_TRUE(IsWorkbench(s));
    DesktopView v = MakeDesktopView(s);
    v.selected = 1;
    const PixelsRef p = Replay(BuildDesktopDrawList(s, v, {}), "workbench.png");
    EXPECT_EQ(ColourAt(*p, 36, 160), kWorkbenchBoardColour);
    EXPECT_EQ(ColourAt(*p, 38, 167), kWorkbenchLineColour);
    EXPECT_EQ(ColourAt(*p, 38, 168), kWorkbenchLineColour);
    EXPECT_EQ(ColourAt(*p, 36, 170), kWorkbenchBoardColour);
    EXPECT_EQ(ColourAt(*p, 30, 386), kWorkbenchShelf);
    EXPECT_EQ(ColourAt(*p, 45, 420), kWorkbenchTrayInside);
    EXPECT_EQ(ColourAt(*p, 44, 152), kWorkbenchTile);
    EXPECT_EQ(ColourAt(*p, 190, 152), kWorkbenchTileSelected);
    // The tools painted in their tiles: tile 0's wrench and tile 1's jack differ from the tile.
    int painted = 0;
    for (int y = 150; y < 206; ++y)
        for (int x = 78; x < 134; ++x) painted += ColourAt(*p, x, y) != kWorkbenchTile;
    EXPECT_GT(painted, 200);
}

TEST(IconPainter, EveryToolLooksDifferentAndUnknownOnesAreTheToolBox) {
    const auto paint = [](int tool) {
        DibCanvas canvas(56, 56);
        FillSolidRect(canvas.dc(), 0, 0, 56, 56, 0x00FF00);
        PaintTool(canvas.dc(), {0, 0, 56, 56}, tool);
        const PixelsRef p = canvas.ToPixels();
        std::string image;
        int painted = 0;
        for (std::uint32_t y = 0; y < 56; ++y)
            for (std::uint32_t x = 0; x < 56; ++x) {
                image += std::to_string(p->at(x, y) & 0xFFFFFF) + ",";
                painted += ColorOfArgb(p->at(x, y)) != ColorRef(0x00FF00);
            }
        EXPECT_GT(painted, 150) << "tool " << tool;
        return image;
    };
    std::set<std::string> seen;
    for (int tool = -1; tool < kWorkbenchToolCount; ++tool) EXPECT_TRUE(seen.insert(paint(tool)).second) << "tool " << tool;
    EXPECT_EQ(paint(kWorkbenchToolCount), paint(-1));
    EXPECT_EQ(paint(1 << 30), paint(-1));
}

TEST(DesktopReplay, CarriedViewAndSignatureStrip) {
    EditorState carried = DesktopState();
    carried.flags = 0x200002;
    const PixelsRef c = Replay(BuildDesktopDrawList(carried, MakeDesktopView(carried), {}), "carried.png");
    EXPECT_EQ(ColourAt(*c, 4, 4), kCarriedBackdrop);
    EXPECT_EQ(ColourAt(*c, 400, 32), kCarriedStrip);
    EXPECT_EQ(ColourAt(*c, 42, 170), kCardColour);  // card 0 left of its cover

    EditorState sheet;
    sheet.kind = 1;
    sheet.signable = true;
    const PixelsRef unsigned_strip = Replay(BuildSheetDrawList(sheet, {}), "sheet-unsigned.png");
    EXPECT_EQ(ColourAt(*unsigned_strip, 25, 620), kStripBorderUnsigned);
    EXPECT_EQ(ColourAt(*unsigned_strip, 30, 660), kStripInsideUnsigned);
    sheet.electronic_signatures = {"Jan Novak"};
    const PixelsRef signed_strip = Replay(BuildSheetDrawList(sheet, {}), "sheet-signed.png");
    EXPECT_EQ(ColourAt(*signed_strip, 25, 620), kStripBorderSigned);
    EXPECT_EQ(ColourAt(*signed_strip, 30, 660), kStripInsideSigned);
}

TEST(DesktopReplay, BookCoverAndAFittedPagePicture) {
    EditorState book;
    book.kind = 15;
    book.title = "Zakon";
    book.cover_title = "Zakon o silnicnim provozu";
    book.page_count = 6;
    book.record_count = 4;
    const PixelsRef cover = Replay(BuildBookDrawList(book, {}, L"", false, {}), "book-cover.png");
    EXPECT_EQ(ColourAt(*cover, 400, 560), kBookCover);
    book.cover_type = 2;
    EXPECT_EQ(ColourAt(*Replay(BuildBookDrawList(book, {}, L"", false, {}), "file-cover.png"), 400, 560), kFileCover);

    // A wide page picture: drawn across the area, white above and below it.
    book.page = 3;
    const PixelsRef picture = MakePixels(1388, 560);
    for (std::uint32_t y = 0; y < 560; ++y)
        for (std::uint32_t x = 0; x < 1388; ++x) picture->set(x, y, ArgbOf(RgbRef(20, 120, 60)));
    OverlayCanvas canvas;
    const UiFonts fonts = CreateUiFonts();
    ReplayDrawList(canvas.dc(), fonts, BuildBookDrawList(book, {}, L"", false, {1388, 560}), picture);
    const PixelsRef page = canvas.ToPixels();
    WritePngFile(std::string(HM_TEST_OUTPUT_DIR) + "/book-page.png", *page);
    EXPECT_EQ(ColourAt(*page, 400, 356), RgbRef(20, 120, 60));
    EXPECT_EQ(ColourAt(*page, 400, 150), RgbRef(255, 255, 255));
    EXPECT_EQ(ColourAt(*page, 400, 560), RgbRef(255, 255, 255));
}

TEST(DesktopReplay, IdentityCardOnItsEmbeddedPicture) {
    EditorState card;
    card.kind = 16;
    card.screen_id = "identity-card";
    card.content = "{\\rtf1\\hmcard161 STATE OF SAN ANDREAS}";
    const PixelsRef p = Replay(BuildDialogPanelDrawList(card, {}, UiRect{155, 200, 655, 560}), "identity-card.png");
    EXPECT_EQ(ColourAt(*p, 50, 50), RgbRef(238, 243, 249));
    EXPECT_NE(ColourAt(*p, 400, 375), RgbRef(238, 243, 249)) << "the card picture";
}

// A Rich Edit control at `box` on a hidden canvas-sized parent (destroyed with the parent).
HWND TestRichEdit(const ControlBox& box, int limit, HWND& parent) {
    parent = nullptr;
    if (!LoadLibraryW(kRichEditLibrary)) return nullptr;
    parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 810, 760, nullptr, nullptr, nullptr, nullptr);
    return parent ? CreateRichEdit(parent, box, limit) : nullptr;
}

TEST(DesktopReplay, IdentityCardPlacedFromItsControlText) {
    const ControlBox box{154, 208, 524, 338};
    HWND parent = nullptr;
    HWND c = TestRichEdit(box, 6000, parent);
    ASSERT_TRUE(c);
    LoadContent(c, WideToCp1250(L"Občanský průkaz\r\nSTATE OF SAN ANDREAS\r\nJméno: Jan Novák\r\nNarozen: 1990\r\nPopis: vysoký"));
    const std::optional<UiRect> card = MeasureCardDecoration(c, box);
    ASSERT_TRUE(card);
    EXPECT_EQ(card->left, 155);
    EXPECT_EQ(card->right, 655);
    // The second line: below the first line's top, within a few lines of the box's top.
    EXPECT_GT(card->top, box.y - 8);
    EXPECT_LT(card->top, box.y + 60);
    // "Popis:" three lines further down ends it 10 px above.
    EXPECT_GT(card->bottom, card->top + 30);
    EXPECT_LT(card->bottom, card->top + 200);
    EditorState s;
    s.kind = 16;
    s.screen_id = "identity-card";
    s.content = "{\\rtf1\\hmcard161 STATE OF SAN ANDREAS}";
    const PixelsRef p = Replay(BuildDialogPanelDrawList(s, {}, card), "identity-card-placed.png");
    EXPECT_NE(ColourAt(*p, 400, card->top + 10), RgbRef(238, 243, 249)) << "the card picture inside";
    EXPECT_EQ(ColourAt(*p, 400, card->bottom + 4), RgbRef(238, 243, 249)) << "nothing below it";
    // Without the state line: no decoration.
    LoadContent(c, WideToCp1250(L"Jméno: Jan\r\nPopis: vysoký"));
    EXPECT_FALSE(MeasureCardDecoration(c, box));
    DestroyWindow(parent);
}

TEST(DesktopReplay, CostPerTick) {
    const EditorState s = DesktopState();
    const DesktopView v = MakeDesktopView(s);
    DesktopDrawContext c;
    c.clock = L"20:34";
    c.has_picture = true;
    const PixelsRef picture = MakePixels(1280, 720);
    OverlayCanvas canvas;
    const UiFonts fonts = CreateUiFonts();
    EditorState sheet;
    sheet.kind = 1;
    sheet.signable = true;
    sheet.electronic_signatures = {"Jan Novak"};
    constexpr int kTicks = 10;
    const auto first = std::chrono::steady_clock::now();
    ReplayDrawList(canvas.dc(), fonts, BuildDesktopDrawList(s, v, c), picture);  // scales the picture
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kTicks; ++i) ReplayDrawList(canvas.dc(), fonts, BuildDesktopDrawList(s, v, c), picture);
    const auto middle = std::chrono::steady_clock::now();
    for (int i = 0; i < kTicks; ++i) ReplayDrawList(canvas.dc(), fonts, BuildSheetDrawList(sheet, {}), PixelsRef());
    const auto end = std::chrono::steady_clock::now();
    std::printf("[ figures  ] draw list built and replayed: slot desktop with a 1280 x 720 picture %.1f ms the first "
                "tick (scaling), %.1f ms later ticks; signature sheet's strip and buttons %.1f ms a tick\n",
                std::chrono::duration<double, std::milli>(start - first).count(),
                std::chrono::duration<double, std::milli>(middle - start).count() / kTicks,
                std::chrono::duration<double, std::milli>(end - middle).count() / kTicks);
    EXPECT_EQ(ColourAt(*canvas.ToPixels(), 30, 660), kStripInsideSigned);
}

TEST(IconPainter, EveryGlyphLooksDifferent) {
    std::set<std::string> seen;
    for (int glyph = 0; glyph < kGlyphCount; ++glyph) {
        DibCanvas canvas(46, 46);
        PaintGlyph(canvas.dc(), {0, 0, 46, 46}, glyph);
        const PixelsRef p = canvas.ToPixels();
        std::string image;
        for (std::uint32_t y = 0; y < 46; ++y)
            for (std::uint32_t x = 0; x < 46; ++x) image += std::to_string(p->at(x, y)) + ",";
        EXPECT_TRUE(seen.insert(image).second) << "glyph " << glyph;
    }
    for (int cover = 0; cover < 4; ++cover) {
        DibCanvas canvas(66, 100);
        FillSolidRect(canvas.dc(), 0, 0, 66, 100, 0x00FF00);
        PaintCover(canvas.dc(), {0, 0, 66, 100}, cover);
        EXPECT_NE(ColourAt(*canvas.ToPixels(), 33, 50), ColorRef(0x00FF00)) << cover;
    }
}

TEST(DesktopGlyphsOnWindows, UpperCaseEqualsCharUpperWOnEveryCp1250Byte) {
    for (int b = 0; b < 256; ++b) {
        const char16_t u = UnitFromCp1250(static_cast<unsigned char>(b));
        wchar_t w[2] = {wchar_t(u), 0};
        CharUpperW(w);
        EXPECT_EQ(int(UpperUnit(u)), int(w[0])) << "byte " << b;
    }
}

// ---- The UI window ------------------------------------------------------------------------------

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = 20s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (done()) return true;
        std::this_thread::sleep_for(10ms);
    }
    return done();
}

// ---- Signatures appended to the document text ---------------------------------------------------

CHARFORMAT2W FormatOf(HWND c, const TextRange& r) {
    Select(c, r.start, r.end);
    CHARFORMAT2W cf{};
    cf.cbSize = sizeof(cf);
    SendMessageW(c, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
    return cf;
}

TEST(SignatureText, AppendedAsLiteralTextInTheirColoursFramedWithTheCaretAtTheStart) {
    const ControlBox box{40, 244, 710, 304};
    // A limit the document nearly fills: the signatures still go in, and the limit stays.
    HWND parent = nullptr;
    HWND c = TestRichEdit(box, 20, parent);
    ASSERT_TRUE(c);
    LoadContent(c, WideToCp1250(L"Kupní smlouva"));
    const std::vector<TextRange> ranges =
        AppendSignatures(c, {{u"Jan Novák, 10. 12. 2026", true}, {u"{\\rtf1\\par}", true}, {u"J. Novák", false}});
    const std::wstring text = ControlText(c);
    ASSERT_EQ(ranges.size(), 2u);
    auto at = [&](const TextRange& r) { return text.substr(std::size_t(r.start), std::size_t(r.end - r.start)); };
    EXPECT_EQ(at(ranges[0]), L"Jan Novák, 10. 12. 2026");
    EXPECT_EQ(at(ranges[1]), L"{\\rtf1\\par}") << "a signature holding RTF stays literal";
    EXPECT_EQ(text.rfind(L"Kupní smlouva", 0), 0u);
    const std::size_t hand = text.find(L"J. Novák");
    ASSERT_NE(hand, std::wstring::npos);
    EXPECT_EQ(hand + 8, text.size()) << "the handwritten one comes last";
    EXPECT_EQ(SendMessageW(c, EM_GETLIMITTEXT, 0, 0), 20);
    EXPECT_FALSE(SendMessageW(c, EM_CANUNDO, 0, 0)) << "the player cannot undo the signatures away";
    CHARRANGE caret{-1, -1};
    SendMessageW(c, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&caret));
    EXPECT_EQ(caret.cpMin, 0);
    EXPECT_EQ(caret.cpMax, 0);
    EXPECT_EQ(ReadScroll(c).position, 0);

    // Printed and framed: the frame stands left of the first electronic signature.
    POINTL first{};
    SendMessageW(c, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&first), LPARAM(ranges[0].start));
    OverlayCanvas canvas;
    PrintControl(c, canvas.dc(), box);
    FrameRanges(c, canvas.dc(), box, ranges);
    const PixelsRef p = canvas.ToPixels();
    WritePngFile(std::string(HM_TEST_OUTPUT_DIR) + "/signatures-appended.png", *p);
    const int frame_x = std::max(box.x, box.x + int(first.x) - 3), line_y = box.y + int(first.y) + 6;
    EXPECT_EQ(ColourAt(*p, frame_x, line_y), RgbRef(184, 105, 24));
    EXPECT_NE(ColourAt(*p, frame_x - 2, line_y), RgbRef(184, 105, 24));
    bool back = false;
    for (int x = frame_x + 1; x < frame_x + 120; ++x) back |= ColourAt(*p, x, line_y) == kElectronicSignatureBack;
    EXPECT_TRUE(back) << "the signature's own background";

    const CHARFORMAT2W electronic = FormatOf(c, ranges[0]);
    EXPECT_EQ(electronic.crBackColor, kElectronicSignatureBack);
    EXPECT_EQ(electronic.dwEffects & CFE_AUTOBACKCOLOR, 0u);
    EXPECT_EQ(electronic.crTextColor, RGB(24, 24, 24));
    EXPECT_EQ(electronic.yHeight, 200);
    EXPECT_STREQ(electronic.szFaceName, L"Arial");
    const CHARFORMAT2W handwritten = FormatOf(c, {int(hand), int(hand + 8)});
    EXPECT_EQ(handwritten.crTextColor, kHandwrittenSignatureColour);
    EXPECT_EQ(handwritten.yHeight, 230);
    EXPECT_EQ(handwritten.dwEffects & (CFE_BOLD | CFE_ITALIC), DWORD(CFE_BOLD | CFE_ITALIC));
    EXPECT_STREQ(handwritten.szFaceName, L"Segoe Script");
    DestroyWindow(parent);
}

HWND UiWindow() { return reinterpret_cast<HWND>(PluginInput().ui_window.load()); }

std::string Locked(const std::function<std::string()>& read) {
    std::lock_guard<std::mutex> hold(PluginOverlay().lock);
    return read();
}
std::string Result() { return Locked([] { return PluginEditorExchange().result; }); }
std::string PositionBody() {
    return Locked([] { return PluginEditorExchange().bodies[int(EditorBody::kDesktopPosition)]; });
}
FrameRef Frame() {
    std::lock_guard<std::mutex> hold(PluginOverlay().lock);
    return PluginOverlay().frame;
}

void Mouse(std::uint32_t message, int x, int y) {
    auto* r = new ForwardedInput{message, 0, (std::uint32_t(std::uint16_t(y)) << 16) | std::uint16_t(x), {}};
    ASSERT_TRUE(PostMessageW(UiWindow(), uimsg::kMouseEvent, 0, reinterpret_cast<LPARAM>(r)));
}

class DesktopWindow : public testing::Test {
protected:
    void SetUp() override {
        std::lock_guard<std::mutex> hold(PluginOverlay().lock);
        PluginEditorExchange().result.clear();
        for (std::string& b : PluginEditorExchange().bodies) b.clear();
    }
    void TearDown() override {
        if (UiWindow()) PostCloseEditor();
        EXPECT_TRUE(WaitFor([] { return !PluginOverlay().editor_open.load(); }));
    }
    void Open(const EditorState& s) {
        const int before = PluginOverlay().version.load();
        ASSERT_TRUE(StartEditorUi(PluginEditorExchange(), s));
        ASSERT_TRUE(WaitFor([&] { return PluginOverlay().version.load() != before && !IsEmptyFrame(Frame()); }, 60s));
    }
    // Waits for a frame published after now whose pixel at (x, y) has `colour`.
    bool FrameShows(int x, int y, ColorRef colour) {
        return WaitFor([&] {
            const FrameRef f = Frame();
            return !IsEmptyFrame(f) && ColourAt(*f, x, y) == colour;
        });
    }
};

TEST_F(DesktopWindow, DragToAnEmptySlotDoubleClickADocumentThenSignTwice) {
    Open(DesktopState());
    EXPECT_TRUE(FrameShows(4, 4, kDesktopBackdrop));

    // Word from slot 0 to the empty slot... all 22 are taken on page 1 but for 2; drag to the
    // free position 2 (column 2, row 0).
    Mouse(WM_LBUTTONDOWN, 100, 180);
    Mouse(WM_MOUSEMOVE, 106, 180);
    Mouse(WM_MOUSEMOVE, 400, 180);
    Mouse(WM_LBUTTONUP, 400, 180);
    ASSERT_TRUE(WaitFor([] { return !PositionBody().empty(); }));
    EXPECT_EQ(PositionBody(), "31\nword\n2");
    EXPECT_TRUE(Result().empty());
    ASSERT_TRUE(FrameShows(40 + 2 * 146 + 54, 172, GlyphColour(5))) << "Word in its new place";
    const FrameRef desktop = Frame();

    // A double click (the second press forwarded as WM_LBUTTONDBLCLK) opens the contract.
    Mouse(WM_LBUTTONDOWN, 530, 180);
    Mouse(WM_LBUTTONUP, 530, 180);
    Mouse(WM_LBUTTONDBLCLK, 530, 180);
    Mouse(WM_LBUTTONUP, 530, 180);
    ASSERT_TRUE(WaitFor([] { return !Result().empty(); }));
    EXPECT_EQ(Result(), "31\n1\n{\\rtf1\\hmsel12 }");

    // The server answers with the contract's signature sheet.
    EditorState sheet;
    sheet.request_id = 40;
    sheet.kind = 1;
    sheet.title = "Smlouva";
    sheet.content = "Kupni smlouva";
    sheet.signable = true;
    sheet.buttons[0] = "Zpet";
    {
        std::lock_guard<std::mutex> hold(PluginOverlay().lock);
        PluginEditorExchange().result.clear();
    }
    ASSERT_TRUE(PostNewState(sheet));
    ASSERT_TRUE(FrameShows(30, 660, kStripInsideUnsigned));
    Mouse(WM_LBUTTONDOWN, 600, 200);
    Mouse(WM_LBUTTONUP, 600, 200);
    std::this_thread::sleep_for(500ms);
    EXPECT_TRUE(Result().empty()) << "the first click only asks";
    Mouse(WM_LBUTTONDOWN, 600, 200);
    Mouse(WM_LBUTTONUP, 600, 200);
    ASSERT_TRUE(WaitFor([] { return !Result().empty(); }));
    EXPECT_EQ(Result(), "40\n2\n{\\rtf1\\hmsign1 }");

    // Signed: the strip turns orange.
    sheet.electronic_signatures = {"Jan Novak, 10. 12. 2026"};
    sheet.content = "Kupni smlouva.";
    ASSERT_TRUE(PostNewState(sheet));
    EXPECT_TRUE(FrameShows(30, 660, kStripInsideSigned));

    // Removable: the chooser opens, the signature is chosen and the second click removes it.
    sheet.removable = true;
    ASSERT_TRUE(PostNewState(sheet));
    ASSERT_TRUE(FrameShows(570, 146, ButtonColoursFor(false, sheet.Flags()).fill));
    Mouse(WM_LBUTTONDOWN, 600, 150);
    ASSERT_TRUE(FrameShows(380, 300, RgbRef(248, 251, 255)));  // the chooser's panel
    Mouse(WM_LBUTTONDOWN, 500, 236);
    Mouse(WM_LBUTTONDOWN, 450, 530);
    Mouse(WM_LBUTTONDOWN, 450, 530);
    ASSERT_TRUE(WaitFor([] {
        return !Locked([] { return PluginEditorExchange().bodies[int(EditorBody::kSignatureDelete)]; }).empty();
    }));
    EXPECT_EQ(Locked([] { return PluginEditorExchange().bodies[int(EditorBody::kSignatureDelete)]; }), "40\n0");

    // The contract's attachments: a row is chosen and moved up.
    EditorState list;
    list.request_id = 40;
    list.kind = 2;
    list.title = "Prilohy";
    list.buttons[0] = "Otevrit";
    list.buttons[1] = "Upravit";
    list.items = {Item(7, L"Fotka", "photo", ""), Item(8, L"Protokol", "doc", "")};
    ASSERT_TRUE(PostNewState(list));
    ASSERT_TRUE(FrameShows(25, 190, RgbRef(201, 213, 227)));  // the second row's bar
    Mouse(WM_LBUTTONDOWN, 300, 188);
    ASSERT_TRUE(FrameShows(25, 190, RgbRef(39, 105, 177)));   // now selected
    Mouse(WM_LBUTTONDOWN, 300, 640);
    ASSERT_TRUE(WaitFor([] { return !Locked([] { return PluginEditorExchange().bodies[int(EditorBody::kReorder)]; }).empty(); }));
    EXPECT_EQ(Locked([] { return PluginEditorExchange().bodies[int(EditorBody::kReorder)]; }), "40\n8\n-1");

    // A document that opens the picture chooser at once: the photo goes into the text, Ctrl+Z
    // takes it out again.
    EditorState doc;
    doc.request_id = 40;
    doc.kind = 0;
    doc.title = "Zprava";
    doc.content = "Text";
    doc.flags = 0x40100000;
    doc.items = {Item(300, L"Foto z nehody", "photo", "")};
    ASSERT_TRUE(PostNewState(doc));
    ASSERT_TRUE(FrameShows(100, 70, RgbRef(25, 43, 65)));  // the chooser's title bar
    Mouse(WM_LBUTTONDOWN, 300, 160);
    ASSERT_TRUE(FrameShows(100, 70, RgbRef(220, 233, 248)));  // closed: the frame's sub-header
    HWND text = FindWindowExW(UiWindow(), nullptr, L"RICHEDIT50W", nullptr);
    ASSERT_TRUE(text);
    EXPECT_NE(ControlText(text).find(L"[HMIMG:300]"), std::wstring::npos) << "the picture's line";
    auto* undo = new ForwardedInput{WM_KEYDOWN, 'Z', 1, {}};
    undo->key_state[VK_CONTROL] = 0x80;
    ASSERT_TRUE(PostMessageW(UiWindow(), uimsg::kInputEvent, 0, reinterpret_cast<LPARAM>(undo)));
    EXPECT_TRUE(WaitFor([&] { return ControlText(text).find(L"HMIMG") == std::wstring::npos; }));
    EXPECT_EQ(ControlText(text).find(L"Text"), 0u);

    // The identity dialog: its panel, title bar and button stay, the game shows around it.
    EditorState identity;
    identity.request_id = 40;
    identity.kind = 16;
    identity.screen_id = "identity-dialog";
    identity.title = "Prukaz";
    identity.buttons[0] = "Odeslat";
    ASSERT_TRUE(PostNewState(identity));
    ASSERT_TRUE(FrameShows(400, 170, RgbRef(25, 43, 65)));
    const FrameRef f = Frame();
    auto alpha = [&](int x, int y) { return f->at(std::uint32_t(x), std::uint32_t(y)) >> 24; };
    EXPECT_EQ(alpha(400, 165), 255u) << "title bar";
    EXPECT_EQ(alpha(160, 575), 255u) << "button 1";
    EXPECT_EQ(ColourAt(*f, 160, 575), RgbRef(36, 100, 167));
    EXPECT_EQ(alpha(50, 50), 0u);
    EXPECT_EQ(alpha(400, 620), 0u);

    // A one-line entry after all that: drawn over the desktop as it stood when the contract was
    // opened from it, and the whole canvas stays, so that the desktop around the panel is seen.
    EditorState entry;
    entry.request_id = 40;
    entry.kind = 16;
    entry.flags = 1 | (24 << 8);
    entry.title = "Heslo k archivu";
    entry.content = "archiv";  // another text: a new screen, not the dialog updated in place
    entry.buttons[0] = "Potvrdit";
    ASSERT_TRUE(PostNewState(entry));
    ASSERT_TRUE(FrameShows(148, 400, RgbRef(179, 195, 215))) << "the entry box's frame";
    const FrameRef over = Frame();
    WritePngFile(std::string(HM_TEST_OUTPUT_DIR) + "/entry-over-desktop.png", *over);
    EXPECT_EQ(ColourAt(*over, 130, 580), RgbRef(247, 250, 254)) << "the panel";
    // Left of the panel, the desktop's column of icons, paging and "Domů" as they were.
    int differ = 0;
    for (std::uint32_t y = 0; y < 760; ++y)
        for (std::uint32_t x = 0; x < 110; ++x) differ += ColourAt(*over, int(x), int(y)) != ColourAt(*desktop, int(x), int(y));
    EXPECT_EQ(differ, 0);
    EXPECT_EQ(ColourAt(*over, 19, 400), kDesktopPanel);
    for (const auto& [x, y] : {std::pair{4, 4}, std::pair{60, 598}, std::pair{400, 700}, std::pair{130, 580}})
        EXPECT_EQ(over->at(std::uint32_t(x), std::uint32_t(y)) >> 24, 255u) << x << "," << y;
}

TEST_F(DesktopWindow, LoginEntryPanelHoldsItsBoxAndSendsWhatWasTyped) {
    EditorState s;
    s.request_id = 60;
    s.kind = 16;
    s.flags = 1 | (24 << 8);
    s.title = "Prihlaseni";
    s.caption = "Zadej jmeno";
    s.buttons[0] = "Prihlasit";
    Open(s);
    EXPECT_TRUE(FrameShows(300, 190, RgbRef(25, 43, 65)));   // title bar
    const FrameRef f = Frame();
    EXPECT_EQ(ColourAt(*f, 148, 400), RgbRef(179, 195, 215));  // the box's frame
    EXPECT_EQ(ColourAt(*f, 130, 580), RgbRef(247, 250, 254));  // panel below the buttons
    // A login has no screen behind it: cut to the panel, the game shows around it.
    EXPECT_EQ(f->at(50, 50) >> 24, 0u);
    EXPECT_EQ(f->at(130, 580) >> 24, 255u);
    auto* r = new ForwardedInput{WM_CHAR, 'a', 1, {}};
    ASSERT_TRUE(PostMessageW(UiWindow(), uimsg::kInputEvent, 0, reinterpret_cast<LPARAM>(r)));
    Mouse(WM_LBUTTONDOWN, 200, 520);  // "Prihlasit"
    ASSERT_TRUE(WaitFor([] { return !Result().empty(); }));
    EXPECT_EQ(Result().rfind("60\n1\n{\\rtf1", 0), 0u) << Result();
    EXPECT_NE(Result().find(" a\\par"), std::string::npos) << Result();  // the typed text, as Wine's writer puts it
}

double ThreadCpuSeconds(HANDLE thread) {
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(thread, &created, &exited, &kernel, &user)) return -1;
    auto seconds = [](const FILETIME& f) { return double((std::uint64_t(f.dwHighDateTime) << 32) | f.dwLowDateTime) / 1e7; };
    return seconds(kernel) + seconds(user);
}

TEST_F(DesktopWindow, AStaticDesktopCostsLittleCpu) {
    Open(DesktopState());
    HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, UiThreadId());
    ASSERT_TRUE(thread);
    const int versions0 = PluginOverlay().version.load();
    const double cpu0 = ThreadCpuSeconds(thread);
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(4s);
    const double cpu = ThreadCpuSeconds(thread) - cpu0;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const int published = PluginOverlay().version.load() - versions0;
    CloseHandle(thread);
    std::printf("[ figures  ] UI thread on a static desktop: %.2f s CPU in %.1f s = %.1f %% of a core; %d frames published\n",
                cpu, wall, 100.0 * cpu / wall, published);
    // Only what changes is published: the desktop redraws once a second at most, the same picture.
    EXPECT_LE(published, 1);
    EXPECT_LT(cpu / wall, 0.9);  // under emulation: catches a runaway loop only
}

TEST_F(DesktopWindow, AClickLeftOfTheCanvasHitsNothing) {
    EditorState s = DesktopState();
    s.buttons[1] = "Zpet";  // the close area would answer 2
    Open(s);
    Mouse(WM_LBUTTONDOWN, -5, 40);   // 0xFFFB: not x 65531, which the close area would take
    Mouse(WM_LBUTTONUP, -5, 40);
    Mouse(WM_LBUTTONDOWN, 780, -30);
    Mouse(WM_LBUTTONUP, 780, -30);
    std::this_thread::sleep_for(500ms);
    EXPECT_TRUE(Result().empty());
    EXPECT_TRUE(UiWindow());
    Mouse(WM_LBUTTONDOWN, 780, 40);
    ASSERT_TRUE(WaitFor([] { return !Result().empty(); }));
    EXPECT_EQ(Result(), "31\n2\n{\\rtf1}");
}

}  // namespace
}  // namespace hm
