// The desktop: layout choice, glyphs, placement and paging, the draw lists, input scripts on a
// fake clock and the signature sheet.
#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <string>
#include <vector>

#include "base/text1250.h"
#include "computer/desktop_draw.h"
#include "computer/desktop_input.h"
#include "computer/desktop_layout.h"
#include "computer/document_payload.h"
#include "computer/document_screen.h"
#include "computer/editor_view.h"
#include "computer/signature_sheet.h"

namespace hm {
namespace {

namespace df = desktop_flag;

std::string Cp(const char16_t* text) { return Utf16ToCp1250(text); }

EditorItem Item(int id, const char16_t* label, std::string tag = "", std::string slot = "") {
    EditorItem e;
    e.id = id;
    e.label = Cp(label);
    e.tag = std::move(tag);
    e.slot = std::move(slot);
    return e;
}

EditorState Desktop(std::uint32_t flags = 0x80 | 2) {
    EditorState s;
    s.request_id = 31;
    s.kind = 16;
    s.flags = int(flags);
    s.screen_id = "desktop:main";
    return s;
}

// ---- Layout ---------------------------------------------------------------------------------

TEST(DesktopLayout, ChoiceInOrderWithMasksReadAsAnyBit) {
    const auto with = [](std::uint32_t flags, const char* id = "", std::size_t items = 0, const char* title = "") {
        EditorState s = Desktop(flags);
        s.screen_id = id;
        s.title = title;
        for (std::size_t i = 0; i < items; ++i) s.items.push_back(Item(int(i), u"x"));
        return s;
    };
    using L = ComputerLayout;
    const struct {
        const char* name;
        EditorState s;
        L layout;
    } cases[] = {
        {"identity card", with(0, "identity-card"), L::kDialogPanel},
        {"identity card under 0x80 is no dialog", with(0x80 | 2, "identity-card"), L::kSlotDesktop},
        {"identity dialog in a menu", with(2, "identity-dialog"), L::kDialogPanel},
        {"identity dialog entry", with(1, "identity-dialog"), L::kEntryPanel},
        {"field inspection text", with(0, "field-inspection"), L::kDialogPanel},
        {"field inspection menu", with(2, "field-inspection"), L::kListWindow},
        {"scanner mode 2", with(2, "scanner"), L::kDialogPanel},
        {"mail menu of 5", with(2, "", 5, "E-mail"), L::kDialogPanel},
        {"mail menu of 6", with(2, "", 6, "E-Mail"), L::kListWindow},
        {"mail menu by flag 0x800000", with(4 | 0x800000, "", 1), L::kDialogPanel},
        {"mail menu of 0", with(2, "", 0, "E-mail"), L::kListWindow},
        {"hospital record", with(0, "hospic-record", 0, "E-mail"), L::kTextWindow},
        {"login", with(1), L::kEntryPanel},
        {"password", with(3), L::kEntryPanel},
        {"multi-line entry", with(1 | 0x10), L::kTextWindow},
        {"compact", with(2 | 0x8), L::kCompact},
        {"web desktop", with(2 | 0x40), L::kWebDesktop},
        {"web under 0x2000000", with(2 | 0x40 | 0x2000000), L::kSlotDesktop},
        {"desktop 0x80", with(2 | 0x80), L::kSlotDesktop},
        {"institution 0x2000000", with(5 | 0x2000000), L::kSlotDesktop},
        {"carried outside a menu", with(0x200000), L::kSlotDesktop},
        {"legacy grid 0x20", with(4 | 0x20), L::kLegacyGrid},
        {"list", with(4), L::kListWindow},
        {"text page", with(0), L::kTextWindow},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ChooseComputerLayout(c.s), c.layout);
    }
}

// ---- Glyphs ---------------------------------------------------------------------------------

TEST(DesktopGlyphs, RulesInOrder) {
    const struct {
        const char16_t* label;
        int glyph;
    } cases[] = {
        {u"Hledání min", 33}, {u"HLEDANI MIN", 33}, {u"Vyhledávání", 6}, {u"mapa", 20}, {u"Mapa", 13},
        {u"E-mail", 4},       {u"Textový editor", 5}, {u"Dokumenty", 22}, {u"složka", 22}, {u"Odhlásit", 23},
        {u"piškvorky", 32},   {u"Dáma", 25}, {u"Internet", 21}, {u"CSPD", 7}, {u"Nemocnice", 26}, {u"SAFD", 30},
        {u"služby", 3},       {u"Countryside", 31}, {u"A-radnice", 31}, {u"Kontakty", 8}, {u"Nastavení", 10},
        {u"PATROS", 8},       {u"Lustrace", 6}, {u"E-SPIS:", 29}, {u"CCTV", 12}, {u"Zatykač", 27}, {u"Sklad", 19},
        {u"cokoli", 20},      {u"", 20},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Cp(c.label));
        EXPECT_EQ(DesktopGlyph(Cp(c.label)), c.glyph);
    }
    // The police rule alone is case-sensitive and ignores the desktop table.
    EXPECT_EQ(PoliceGlyph("E-mail"), 20);
    EXPECT_EQ(PoliceGlyph("Zbrojní skener"), 16);
}

TEST(DesktopGlyphs, HospitalIdsAndHomeAndLogout) {
    EditorState s = Desktop();
    s.screen_id = "desktop:hospic:1";
    const int expected[] = {22, 8, 26, 5, 6, 6, 5, 20};
    for (int id = 1; id <= 8; ++id) EXPECT_EQ(ItemGlyph(s, Item(id, u"Mail"), true), expected[id - 1]);
    for (const int id : {0, 9, -1}) EXPECT_EQ(ItemGlyph(s, Item(id, u"Mail"), true), 4) << id;
    s.screen_id = "desktop:main";
    EXPECT_EQ(ItemGlyph(s, Item(1, u"Mail"), true), 4);
    EXPECT_TRUE(IsHomeItem(Item(1, u"Domů")));
    EXPECT_TRUE(IsHomeItem(Item(1, u"Plocha")));
    EXPECT_TRUE(IsHomeItem(Item(1, u"pracovní plocha")));
    EXPECT_FALSE(IsHomeItem(Item(1, u"Domy")));
    EXPECT_TRUE(IsLogoutItem(Item(1, u"Odhlásit se")));
    EXPECT_FALSE(IsLogoutItem(Item(1, u"Mail odhlášení")));  // "MAIL" wins
}

TEST(DesktopGlyphs, UpperCaseOfEveryCp1250Letter) {
    const std::u16string lower = u"abcxyzáäčďéěíĺľňóôöőŕřšśťúůüűýźžżąęłńşţăć";
    const std::u16string upper = u"ABCXYZÁÄČĎÉĚÍĹĽŇÓÔÖŐŔŘŠŚŤÚŮÜŰÝŹŽŻĄĘŁŃŞŢĂĆ";
    EXPECT_EQ(UpperCase(lower), upper);
    EXPECT_EQ(UpperCase(upper), upper);
    EXPECT_EQ(UpperCase(u"ß÷×§1 µ"), u"ß÷×§1 µ");
}

TEST(DesktopGlyphs, LabelPrefixesRemoved) {
    EXPECT_EQ(DisplayLabel("E-SPIS: 12/2026"), u" 12/2026");
    EXPECT_EQ(DisplayLabel("R-SPIS:x"), u"x");
    EXPECT_EQ(DisplayLabel("E-SPIS:"), u"");
    EXPECT_EQ(DisplayLabel("E-SPI"), u"E-SPI");
}

// ---- Placement and paging ---------------------------------------------------------------------

TEST(DesktopPlacement, TwentyOneItemsMakeTwoPagesTheSecondWithOneTile) {
    EditorState s = Desktop();
    for (int i = 0; i < 21; ++i) s.items.push_back(Item(100 + i, u"Soubor"));
    DesktopView v = MakeDesktopView(s);
    EXPECT_FALSE(v.placement.slot_placement);
    EXPECT_EQ(v.placement.pages, 2);
    v.page = 1;
    const DrawList l = BuildDesktopDrawList(s, v, {});
    EXPECT_NE(FindText(l, L"Strana 2 / 2"), nullptr);
    int glyphs = 0;
    for (const DrawOp& op : l) glyphs += op.kind == DrawOpKind::kGlyph;
    EXPECT_EQ(glyphs, 1);
}

TEST(DesktopPlacement, HomeAndLogoutLeaveTheGrid) {
    EditorState s = Desktop();
    s.items = {Item(1, u"Plocha"), Item(2, u"Mail"), Item(3, u"Odhlásit se"), Item(4, u"Word")};
    const DesktopPlacement p = PlaceDesktop(s);
    EXPECT_EQ(p.home, 0);
    EXPECT_EQ(p.logout, 2);
    EXPECT_EQ(p.positions, 2);
    EXPECT_EQ(p.at.at(0), 1);
    EXPECT_EQ(p.at.at(1), 3);
    const DrawList l = BuildDesktopDrawList(s, MakeDesktopView(s), {});
    const DrawOp* home = FindText(l, L"Domů");
    const DrawOp* logout = FindText(l, L"Odhlásit se");
    ASSERT_TRUE(home && logout);
    EXPECT_EQ(home->r.left, 42);
    EXPECT_EQ(logout->r.left, 210);
    EXPECT_EQ(FindText(l, L"Plocha"), nullptr);
}

TEST(DesktopPlacement, BadSlotsNeitherOverflowNorShareAPosition) {
    EditorState s = Desktop();
    s.items = {Item(1, u"a", "app:a", ""),          Item(2, u"b", "app:b", "x"),
               Item(3, u"c", "app:c", "-1"),        Item(4, u"d", "app:d", "2147483647"),
               Item(5, u"e", "app:e", "7"),         Item(6, u"f", "app:f", "7"),
               Item(7, u"g", "app:g", "99999999999999999999"), Item(8, u"h", "", "3")};
    const DesktopPlacement p = PlaceDesktop(s);
    EXPECT_TRUE(p.slot_placement);
    EXPECT_EQ(p.at.size(), s.items.size());
    EXPECT_EQ(p.at.at(7), 4);  // the first "7" owns it
    EXPECT_EQ(p.positions, 8);
    EXPECT_EQ(p.pages, 1);
    for (std::size_t i = 0; i < s.items.size(); ++i) EXPECT_GE(p.position[i], 0) << i;
    // Highest slot + 1 positions.
    EditorState far = Desktop();
    far.items = {Item(1, u"a", "app:a", "41")};
    EXPECT_EQ(PlaceDesktop(far).positions, 42);
    EXPECT_EQ(PlaceDesktop(far).pages, 3);
}

TEST(DesktopPlacement, PagesHold6Or8Or20) {
    EditorState carried = Desktop(0x200000 | 2);
    EditorState institution = Desktop(0x2000000 | 5);
    EditorState initial = Desktop(0x80 | 2);
    initial.initial_text = "Vyber";
    EXPECT_EQ(TilesPerPage(carried), 6);
    EXPECT_EQ(TilesPerPage(institution), 8);
    EXPECT_EQ(TilesPerPage(initial), 8);
    EXPECT_EQ(TilesPerPage(Desktop()), 20);
}

TEST(DesktopPlacement, ManyItemsAndLongLabels) {
    EditorState s = Desktop();
    for (int i = 0; i < 1000; ++i) s.items.push_back(Item(i, u"Soubor", "app:s" + std::to_string(i), std::to_string(999 - i)));
    s.items[3].label = std::string(3000, 'W');
    DesktopView v = MakeDesktopView(s);
    EXPECT_EQ(v.placement.pages, 50);
    v.page = 49;
    EXPECT_NE(FindText(BuildDesktopDrawList(s, v, {}), L"Strana 50 / 50"), nullptr);
    EditorState empty = Desktop();
    const DrawList l = BuildDesktopDrawList(empty, MakeDesktopView(empty), {});
    EXPECT_EQ(FindText(l, L"Strana 1 / 1"), nullptr);
}

// ---- Draw list --------------------------------------------------------------------------------

TEST(DesktopDraw, SlotDesktopTextsColoursAndRectangles) {
    EditorState s = Desktop();
    s.items = {Item(1, u"Mail", "app:mail", "0"), Item(2, u"Word", "app:word", "6")};
    s.buttons[0] = "OK";
    DesktopView v = MakeDesktopView(s);
    v.selected = 1;
    DesktopDrawContext c;
    c.clock = L"20:34";
    c.status = L"Rozložení ikon se nepodařilo uložit (HTTP 500). Otevři plochu znovu.";
    const DrawList l = BuildDesktopDrawList(s, v, c);
    ASSERT_GE(l.size(), 3u);
    EXPECT_EQ(l[0].colour, kDesktopBackdrop);
    EXPECT_EQ(l[1].kind, DrawOpKind::kRoundFill);
    EXPECT_EQ(l[1].colour, kDesktopPanel);
    EXPECT_EQ(l[1].radius, 24);
    EXPECT_EQ(l[2].kind, DrawOpKind::kGradient);
    ASSERT_NE(FindText(l, L"Počítač"), nullptr);
    ASSERT_NE(FindText(l, L"Pracovní plocha"), nullptr);
    const DrawOp* clock = FindText(l, L"20:34");
    ASSERT_NE(clock, nullptr);
    EXPECT_EQ(clock->r.left, 616);
    EXPECT_EQ(clock->colour, kDesktopClockText);
    const DrawOp* status = FindText(l, c.status);
    ASSERT_NE(status, nullptr);
    EXPECT_GE(status->r.top, 632);
    // Slot 6: column 1, row 1; selected; its icon at (x + 52, y + 6).
    bool highlighted = false, icon = false;
    for (const DrawOp& op : l) {
        highlighted |= op.kind == DrawOpKind::kRoundFill && op.colour == kTileSelected && op.r.left == 186 && op.r.top == 254;
        icon |= op.kind == DrawOpKind::kGlyph && op.glyph == 5 && op.r.left == 238 && op.r.top == 260 && op.r.right == 278;
    }
    EXPECT_TRUE(highlighted);
    EXPECT_TRUE(icon);
    const DrawOp* ok = FindText(l, L"OK");
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->r.top, 706);
    // While an answer is awaited the status line says so.
    c.submitted = true;
    EXPECT_NE(FindText(BuildDesktopDrawList(s, v, c), L"Načítání…"), nullptr);
}

TEST(DesktopDraw, HeadersOfOtherDesktops) {
    EditorState web = Desktop(0x40 | 2);
    web.title = "Internet";
    web.caption = "coogle.sa/hledat";
    const DrawList w = BuildDesktopDrawList(web, MakeDesktopView(web), {});
    EXPECT_NE(FindText(w, L"Internet"), nullptr);
    EXPECT_NE(FindText(w, L"◉   coogle.sa/hledat"), nullptr);
    EXPECT_NE(FindText(w, L"‹"), nullptr);
    EditorState folders = Desktop(0x80 | 0x800000 | 2);
    folders.title = "Spisy";
    const DrawList f = BuildDesktopDrawList(folders, MakeDesktopView(folders), {});
    EXPECT_NE(FindText(f, L"Spisy"), nullptr);
    EXPECT_NE(FindText(f, L"Složky a dokumenty"), nullptr);
    EditorState picture = Desktop(0x8000000 | 0x80 | 2);
    EXPECT_EQ(BuildDesktopDrawList(picture, MakeDesktopView(picture), {})[2].kind, DrawOpKind::kDesktopPicture);
    DesktopDrawContext with_picture;
    with_picture.has_picture = true;
    EXPECT_EQ(BuildDesktopDrawList(Desktop(), MakeDesktopView(Desktop()), with_picture)[2].kind,
              DrawOpKind::kStatePicture);
}

TEST(DesktopDraw, CarriedView) {
    EditorState s = Desktop(0x200000 | 2);
    s.title = "Moje písemnosti";
    const DrawList empty = BuildDesktopDrawList(s, MakeDesktopView(s), {});
    EXPECT_EQ(empty[0].colour, kCarriedBackdrop);
    EXPECT_NE(FindText(empty, L"Nemáš u sebe žádné písemnosti."), nullptr);
    EXPECT_NE(FindText(empty, L"Dokumenty, fotografie a spisy, které máš fyzicky u sebe"), nullptr);
    s.items = {Item(1, u"KNIHA: Zákoník", "book"), Item(2, u"E-SPIS: 12", ""), Item(3, u"Dopis"),
               Item(4, u"FOTO: auto", "")};
    const DrawList l = BuildDesktopDrawList(s, MakeDesktopView(s), {});
    int covers[4] = {};
    for (const DrawOp& op : l)
        if (op.kind == DrawOpKind::kCover) ++covers[op.glyph];
    EXPECT_EQ(covers[int(CoverKind::kBook)], 1);
    EXPECT_EQ(covers[int(CoverKind::kFile)], 1);
    EXPECT_EQ(covers[int(CoverKind::kPaper)], 1);
    EXPECT_EQ(covers[int(CoverKind::kPhoto)], 1);
    EXPECT_NE(FindText(l, L" 12"), nullptr);
}

// ---- Input ------------------------------------------------------------------------------------

struct Script {
    EditorState s;
    DesktopView v;
    Tick now = 1000;
    Tick dbl = 500;
    std::string body;
    std::optional<int> answer;
    void Do(PointerEvent e, int x, int y, Tick after = 0) {
        now += after;
        const DesktopOutcome o = DesktopPointer(v, s, e, x, y, now, dbl);
        if (!o.position_body.empty()) body = o.position_body;
        if (o.answer) answer = o.answer;
    }
    void Click(int x, int y, Tick after = 0) {
        Do(PointerEvent::kDown, x, y, after);
        Do(PointerEvent::kUp, x, y, 30);
    }
    void Key(std::uint32_t vk) {
        const DesktopOutcome o = DesktopKey(v, s, vk);
        if (o.answer) answer = o.answer;
    }
};

// Centre of slot p on the first page of the 5 x 4 grid.
int SlotX(int p) { return 40 + 146 * (p % 5) + 60; }
int SlotY(int p) { return 146 + 108 * (p / 5) + 40; }

Script SlotDesktop() {
    Script t;
    t.s = Desktop();
    t.s.items = {Item(5, u"Word", "app:word", "0"), Item(6, u"Mail", "app:mail", "1"), Item(12, u"Smlouva", "app:doc12", "3")};
    t.v = MakeDesktopView(t.s);
    return t;
}

TEST(DesktopInput, DragThresholdSwapAndEmptyDrop) {
    const struct {
        const char* name;
        int dx;
        int target;
        std::string body;
        std::string word_slot, mail_slot;
    } cases[] = {
        {"5 px is a click", 5, -1, "", "0", "1"},
        {"6 px is a drag to an empty slot", 6, 7, "31\nword\n7", "7", "1"},
        {"drop on the mail icon swaps", 6, 1, "31\nword\n1", "1", "0"},
        {"drop on its own slot", 6, 0, "", "0", "1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Script t = SlotDesktop();
        t.Do(PointerEvent::kDown, SlotX(0), SlotY(0));
        t.Do(PointerEvent::kMove, SlotX(0) + c.dx, SlotY(0), 20);
        const int tx = c.target < 0 ? SlotX(0) + c.dx : SlotX(c.target), ty = c.target < 0 ? SlotY(0) : SlotY(c.target);
        if (c.target >= 0) t.Do(PointerEvent::kMove, tx, ty, 20);
        t.Do(PointerEvent::kUp, tx, ty, 20);
        EXPECT_EQ(t.body, c.body);
        EXPECT_EQ(t.s.items[0].slot, c.word_slot);
        EXPECT_EQ(t.s.items[1].slot, c.mail_slot);
        EXPECT_FALSE(t.answer);
        EXPECT_EQ(t.v.selected, 0);
    }
}

TEST(DesktopInput, DragOfAShortTagOrOffTheGridMovesNothing) {
    Script t = SlotDesktop();
    t.s.items[0].tag = "app";
    t.s.items[1].tag = "app:";
    t.v = MakeDesktopView(t.s);
    t.Do(PointerEvent::kDown, SlotX(0), SlotY(0));
    t.Do(PointerEvent::kMove, SlotX(9), SlotY(9), 20);
    t.Do(PointerEvent::kUp, SlotX(9), SlotY(9), 20);
    EXPECT_EQ(t.body, "");
    EXPECT_EQ(t.s.items[0].slot, "0");
    // "app:" gives an empty key, still a body the server can read as such.
    Script u = SlotDesktop();
    u.Do(PointerEvent::kDown, SlotX(1), SlotY(1));
    u.Do(PointerEvent::kMove, 400, 700, 20);
    u.Do(PointerEvent::kUp, 400, 700, 20);
    EXPECT_EQ(u.body, "");
    EXPECT_EQ(u.s.items[1].slot, "1");
    EXPECT_FALSE(u.answer);
}

TEST(DesktopInput, DoubleClickWithinTheSystemTime) {
    const struct {
        Tick gap;
        bool opens;
    } cases[] = {{200, true}, {500, true}, {501, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.gap);
        Script t = SlotDesktop();
        t.Click(SlotX(3), SlotY(3));
        EXPECT_FALSE(t.answer);
        t.Click(SlotX(3), SlotY(3), c.gap - 30);
        EXPECT_EQ(t.answer.has_value(), c.opens);
        if (c.opens) {
            EXPECT_EQ(*t.answer, 1);
            EXPECT_EQ(SelectedItemId(t.v, t.s), 12);
        }
    }
    // Two clicks on different icons are two clicks.
    Script t = SlotDesktop();
    t.Click(SlotX(0), SlotY(0));
    t.Click(SlotX(1), SlotY(1), 50);
    EXPECT_FALSE(t.answer);
    // The hospital desktop opens on one click.
    Script h = SlotDesktop();
    h.s.screen_id = "desktop:hospic:7";
    h.Click(SlotX(1), SlotY(1));
    EXPECT_EQ(h.answer, 1);
}

TEST(DesktopInput, CloseAndAnswerButtonRules) {
    const struct {
        const char* name;
        const char* screen_id;
        std::uint32_t extra_flags;
        const char* button2;
        int close;
    } cases[] = {
        {"plain", "desktop:main", 0, "", 0},
        {"button 2 labelled", "desktop:main", 0, "Zpět", 2},
        {"four buttons", "desktop:main", 0x20000000, "Zpět", 4},
        {"police instruction", "police-instruction", 0x20000000, "Zpět", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Script t = SlotDesktop();
        t.s.screen_id = c.screen_id;
        t.s.flags |= int(c.extra_flags);
        t.s.buttons[1] = c.button2;
        t.Click(780, 40);
        EXPECT_EQ(t.answer, c.close);
        t.answer.reset();
        t.Key(0x1B);
        EXPECT_EQ(t.answer, c.close);
    }
    Script t = SlotDesktop();
    t.s.buttons = {"Otevřít", "", "", ""};
    t.Click(100, 720);
    EXPECT_EQ(t.answer, 1);
    t.answer.reset();
    t.Click(600, 720);  // button 2 has no label
    EXPECT_FALSE(t.answer);
    t.s.flags |= 0x20000000;
    t.s.buttons[3] = "Konec";
    t.Click(700, 720);
    EXPECT_EQ(t.answer, 4);
    t.answer.reset();
    t.Click(5, 720);  // left of the first button: clamped to 1
    EXPECT_EQ(t.answer, 1);
}

TEST(DesktopInput, OffCanvasHitsNothing) {
    EXPECT_EQ(DecodeCanvasPoint(0x0010FFFBu).x, -5);
    EXPECT_EQ(DecodeCanvasPoint(0x0010FFFBu).y, 16);
    EXPECT_EQ(DecodeCanvasPoint(0xFFFF0300u).y, -1);
    Script t = SlotDesktop();
    for (const auto& [x, y] : {std::pair{-5, 40}, {65531, 40}, {810, 40}, {780, -1}, {780, 760}}) {
        EXPECT_EQ(HitDesktop(t.v, t.s, x, y).kind, DesktopHitKind::kNothing) << x << "," << y;
        t.Click(x, y);
    }
    EXPECT_FALSE(t.answer);
}

TEST(DesktopInput, PagingButtonsAndKeys) {
    Script t = SlotDesktop();
    t.s.items.push_back(Item(40, u"Daleko", "app:far", "25"));
    t.v = MakeDesktopView(t.s);
    ASSERT_EQ(t.v.placement.pages, 2);
    t.Click(700, 598);
    EXPECT_EQ(t.v.page, 1);
    EXPECT_NE(FindText(BuildDesktopDrawList(t.s, t.v, {}), L"Strana 2 / 2"), nullptr);
    t.Click(700, 598);
    EXPECT_EQ(t.v.page, 1);
    t.Click(100, 598);
    EXPECT_EQ(t.v.page, 0);
    t.Key(0x22);
    EXPECT_EQ(t.v.page, 1);
    t.Key(0x21);
    EXPECT_EQ(t.v.page, 0);
}

TEST(DesktopInput, KeyWalksSkipEmptyPositionsAndThePageFollows) {
    Script t = SlotDesktop();  // slots 0, 1, 3
    t.s.items.push_back(Item(40, u"Dole", "app:down", "8"));
    t.s.items.push_back(Item(41, u"Daleko", "app:far", "27"));
    t.v = MakeDesktopView(t.s);
    const auto selected_slot = [&] { return t.s.items[std::size_t(t.v.selected)].slot; };
    t.Key(0x27);  // nothing selected: the first icon
    EXPECT_EQ(selected_slot(), "0");
    t.Key(0x28);  // down by 5 from 0: 5 empty, next occupied is 8
    EXPECT_EQ(selected_slot(), "8");
    t.Key(0x26);  // up by 5 from 8: 3
    EXPECT_EQ(selected_slot(), "3");
    t.Key(0x27);  // right from 3: 4..7 empty, 8
    EXPECT_EQ(selected_slot(), "8");
    t.Key(0x28);  // 13.. -> 27, on page 2
    EXPECT_EQ(selected_slot(), "27");
    EXPECT_EQ(t.v.page, 1);
    t.Key(0x28);  // nothing further: stays
    EXPECT_EQ(selected_slot(), "27");
    t.Key(0x25);
    EXPECT_EQ(selected_slot(), "8");
    EXPECT_EQ(t.v.page, 0);
    t.Key(0x0D);
    EXPECT_EQ(t.answer, 1);
    // A position far beyond the items does not make the walk long or the pages many.
    EXPECT_EQ(t.v.placement.pages, 2);
}

TEST(DesktopInput, CarriedCardsAreHitWhereDrawnAndUpMovesByTwo) {
    Script t;
    t.s = Desktop(0x200000 | 2);
    for (int i = 0; i < 6; ++i) t.s.items.push_back(Item(i + 1, u"Dopis"));
    t.v = MakeDesktopView(t.s);
    // Card 3: column 1, row 1, at (408,310)-(752,450). The 5 x 4 formula would say tile 6.
    t.Do(PointerEvent::kDown, 600, 380);
    EXPECT_EQ(t.v.selected, 3);
    t.Do(PointerEvent::kUp, 600, 380);
    t.Key(0x26);
    EXPECT_EQ(t.v.selected, 1);
    // Between cards: nothing.
    t.Do(PointerEvent::kDown, 395, 380);
    EXPECT_EQ(t.v.selected, 1);
}

TEST(DesktopInput, HomeAndLogoutAnswerWithTheirItem) {
    Script t = SlotDesktop();
    t.s.items.push_back(Item(90, u"Plocha"));
    t.s.items.push_back(Item(91, u"Odhlásit se"));
    t.v = MakeDesktopView(t.s);
    t.Click(100, 650);
    EXPECT_EQ(t.answer, 1);
    EXPECT_EQ(SelectedItemId(t.v, t.s), 90);
    t.answer.reset();
    t.Click(300, 650);
    EXPECT_EQ(t.answer, 1);
    EXPECT_EQ(SelectedItemId(t.v, t.s), 91);
}

TEST(DesktopInput, MinimiseAreaOfComputerWindowsOnly) {
    EditorState login = Desktop(1);
    login.title = Cp(u"Přihlášení");
    EditorState dialog = Desktop(0);
    dialog.screen_id = "identity-dialog";
    EditorState paper = Desktop();
    paper.paper = true;
    struct Case {
        EditorState s;
        bool minimises;
    } const cases[] = {
        {Desktop(), true},                        // slot desktop
        {Desktop(2), true},                       // list window
        {Desktop(0), true},                       // text window
        {Desktop(df::kCarried | 2), false},
        {Desktop(df::kInstitution | 2), false},
        {paper, false},
        {login, false},
        {dialog, false},
    };
    for (const Case& c : cases) {
        EditorState s = c.s;
        DocumentScreen d;
        ResetDocumentScreen(d, s);
        const ScreenInput in = DocumentPointer(d, s, 0x201, 0, (40u << 16) | 720u, 1000, 500);
        EXPECT_EQ(in.minimise, c.minimises) << std::hex << s.flags;
        EXPECT_FALSE(in.answer);
        EXPECT_FALSE(DocumentPointer(d, s, 0x201, 0, (78u << 16) | 720u, 1000, 500).minimise) << "below y 78";
        EXPECT_FALSE(DocumentPointer(d, s, 0x201, 0, (40u << 16) | 742u, 1000, 500).minimise) << "right of x 741";
    }
    EXPECT_NE(FindText(BuildDesktopDrawList(Desktop(), MakeDesktopView(Desktop()), {}), L"–"), nullptr);
}

TEST(DesktopInput, InPlaceUpdateKeepsTheSelectionById) {
    Script t = SlotDesktop();
    t.Click(SlotX(3), SlotY(3));
    EditorState next = t.s;
    std::swap(next.items[0], next.items[2]);
    UpdateDesktopView(t.v, next, SelectedItemId(t.v, t.s));
    EXPECT_EQ(SelectedItemId(t.v, next), 12);
    UpdateDesktopView(t.v, next, 999);
    EXPECT_EQ(t.v.selected, -1);
}

// ---- Signature sheet --------------------------------------------------------------------------

// ---- Workbench ---------------------------------------------------------------------------------

Script Workbench() {
    Script t;
    t.s = Desktop();
    t.s.screen_id = "mechanic-workbench";
    t.s.title = Cp(u"Dílna");
    t.s.items = {Item(1, u"Klíč", "app:wrench", "0"), Item(10, u"Baterie", "app:battery", "1"),
                 Item(0, u"Bez čísla", "app:zero", "5"), Item(99, u"Neznámé", "app:other", "6")};
    t.v = MakeDesktopView(t.s);
    return t;
}

TEST(Workbench, WhichScreensAreWorkbenches) {
    const struct {
        const char* name;
        std::uint32_t flags;
        const char* id;
        bool bench;
    } cases[] = {
        {"icon desktop", 0x82, "mechanic-workbench", true},
        {"institution desktop", 0x2000005, "mechanic-workbench", true},
        {"legacy grid", 0x22, "mechanic-workbench", false},
        {"compact frame", 0x8A, "mechanic-workbench", false},
        {"carried view", 0x200082, "mechanic-workbench", false},
        {"another desktop", 0x82, "desktop:main", false},
    };
    for (const auto& c : cases) {
        EditorState s = Desktop(c.flags);
        s.screen_id = c.id;
        EXPECT_EQ(IsWorkbench(s), c.bench) << c.name;
    }
}

TEST(Workbench, BoardShelfTraysAndToolTiles) {
    Script t = Workbench();
    t.v.selected = 1;
    const DrawList l = BuildDesktopDrawList(t.s, t.v, {});
    EXPECT_NE(FindText(l, L"Dílna"), nullptr) << "the title heads the workbench";
    EXPECT_NE(FindText(l, L"Vyber nářadí pro další krok opravy."), nullptr);
    int board = 0, trays = 0;
    std::vector<int> lines;
    std::map<int, UiRect> tool_at;  // tool number -> its rectangle
    std::vector<UiRect> tiles;
    for (const DrawOp& op : l) {
        if (op.kind == DrawOpKind::kRoundFill && op.colour == kWorkbenchBoardColour && op.r.left == 33 && op.r.top == 138 &&
            op.r.right == 776 && op.r.bottom == 382)
            ++board;
        if (op.kind == DrawOpKind::kFill && op.colour == kWorkbenchLineColour) lines.push_back(op.r.top);
        if (op.kind == DrawOpKind::kRoundFill && op.colour == kWorkbenchTray) ++trays;
        if (op.kind == DrawOpKind::kTool) tool_at[op.glyph] = op.r;
        if (op.kind == DrawOpKind::kRoundFill && (op.colour == kWorkbenchTile || op.colour == kWorkbenchTileSelected)) {
            EXPECT_EQ(op.r.right - op.r.left, 132);
            EXPECT_EQ(op.r.bottom - op.r.top, 100);
            tiles.push_back(op.r);
        }
        EXPECT_NE(op.kind, DrawOpKind::kGlyph) << "tools take the glyphs' place";
    }
    EXPECT_EQ(board, 1);
    EXPECT_EQ(lines, (std::vector<int>{167, 196, 225, 254, 283, 312, 341, 370}));
    EXPECT_EQ(trays, 3);
    ASSERT_EQ(tiles.size(), 4u);
    // Tools by item id - 1; ids below 1 give no tool number the painter knows (its tool box).
    ASSERT_EQ(tool_at.size(), 4u);
    EXPECT_EQ(tool_at.count(0), 1u);
    EXPECT_EQ(tool_at.count(9), 1u);
    EXPECT_EQ(tool_at.count(-1), 1u);
    EXPECT_EQ(tool_at.count(98), 1u);
    // Slot 1 (column 1): the tile from the grid origin, the tool centred over the white label.
    EXPECT_EQ(tool_at[9].left, 186 + 66 - 28);
    EXPECT_EQ(tool_at[9].top, 150);
    const DrawOp* label = FindText(l, L"Baterie");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->colour, RgbRef(255, 255, 255));
    EXPECT_GE(label->r.top, tool_at[9].bottom);
    EXPECT_LE(label->r.bottom, 146 + 100);
    int selected = 0;
    for (const DrawOp& op : l) selected += op.kind == DrawOpKind::kRoundFill && op.colour == kWorkbenchTileSelected && op.r.left == 186;
    EXPECT_EQ(selected, 1);
    EXPECT_EQ(WorkbenchTool(Item(std::numeric_limits<int>::min(), u"x")), -1) << "no overflow below id 1";
}

TEST(Workbench, ToolsAreChosenAndMovedLikeIcons) {
    Script t = Workbench();
    t.Click(SlotX(1), SlotY(1));
    t.Click(SlotX(1), SlotY(1), 200);
    ASSERT_EQ(t.answer, 1);
    PayloadInputs in;
    in.kind = 16;
    in.action = 1;
    in.flags = t.s.Flags();
    in.has_selection = true;
    in.selected_id = *SelectedItemId(t.v, t.s);
    EXPECT_EQ(BuildPayload(in).payload, "{\\rtf1\\hmsel10 }");
    // A dragged tool follows the cursor as its picture and lands in an empty slot.
    Script d = Workbench();
    d.Do(PointerEvent::kDown, SlotX(0), SlotY(0));
    d.Do(PointerEvent::kMove, 420, 500, 20);
    bool at_cursor = false;
    for (const DrawOp& op : BuildDesktopDrawList(d.s, d.v, {}))
        at_cursor |= op.kind == DrawOpKind::kTool && op.glyph == 0 && op.r.left == 420 - 28 && op.r.top == 500 - 28;
    EXPECT_TRUE(at_cursor);
    d.Do(PointerEvent::kUp, SlotX(12), SlotY(12), 20);
    EXPECT_EQ(d.body, "31\nwrench\n12");
    EXPECT_EQ(d.s.items[0].slot, "12");
    // Keys walk the tools as icons.
    Script k = Workbench();
    k.Key(0x27);
    k.Key(0x27);
    EXPECT_EQ(SelectedItemId(k.v, k.s), 10);
    k.Key(0x28);
    EXPECT_EQ(SelectedItemId(k.v, k.s), 99) << "down by 5 from slot 1 is slot 6";
}

TEST(SignatureSheet, TwoClicksSignAndTheStripTurnsOrange) {
    EditorState s;
    s.request_id = 40;
    s.kind = 1;
    s.signable = true;
    s.buttons[0] = "Zpět";
    SheetView v;
    DrawList l = BuildSheetDrawList(s, v);
    EXPECT_NE(FindText(l, kSignButtonLabel), nullptr);
    EXPECT_NE(FindText(l, L"BEZ PODPISU"), nullptr);
    bool grey = false;
    for (const DrawOp& op : l) grey |= op.kind == DrawOpKind::kFill && op.colour == kStripInsideUnsigned;
    EXPECT_TRUE(grey);

    SheetClick first = SheetPointer(v, s, 500, 200);
    EXPECT_FALSE(first.answer);
    EXPECT_EQ(first.status, kSheetSignFirstClickText);
    EXPECT_NE(FindText(BuildSheetDrawList(s, v), kConfirmSignLabel), nullptr);
    EXPECT_EQ(SheetPointer(v, s, 500, 200).answer, 2);
    EXPECT_EQ(SheetPointer(v, s, 100, 200).answer, 1);

    s.electronic_signatures = {"Jan Novák, 10. 12. 2026", "{\\rtf1\\par}"};
    s.signatures = {"J. Novák"};
    SheetView signed_view;
    l = BuildSheetDrawList(s, signed_view);
    bool orange = false;
    for (const DrawOp& op : l) orange |= op.kind == DrawOpKind::kFill && op.colour == kStripInsideSigned;
    EXPECT_TRUE(orange);
    EXPECT_NE(FindText(l, L"ELEKTRONICKÝ PODPIS · 1 / 3"), nullptr);
    SheetPointer(signed_view, s, 100, 600);  // back, wrapping to the handwritten one
    EXPECT_NE(FindText(BuildSheetDrawList(s, signed_view), L"PODPIS · 3 / 3"), nullptr);
    SheetPointer(signed_view, s, 100, 600);
    // A signature line holding RTF stays literal text.
    EXPECT_NE(FindText(BuildSheetDrawList(s, signed_view), L"{\\rtf1\\par}"), nullptr);
}

TEST(SignatureSheet, APromptDoesNotOutliveItsConfirmation) {
    EXPECT_EQ(KeptStatus(kSheetSignFirstClickText), L"");
    EXPECT_EQ(KeptStatus(kSignFirstClickText), L"");
    EXPECT_EQ(KeptStatus(L"Rozložení ikon se nepodařilo uložit (HTTP 500). Otevři plochu znovu."),
              L"Rozložení ikon se nepodařilo uložit (HTTP 500). Otevři plochu znovu.");
}

TEST(SignatureSheet, SignaturesAppendElectronicFirstAsLiteralText) {
    EditorState s;
    s.kind = 1;
    s.signatures = {Cp(u"J. Novák")};
    s.electronic_signatures = {"{\\rtf1\\par}", Cp(u"Eva Malá")};
    s.signature_line = "ignored while the list is set";
    const std::vector<AppendedSignature> a = SignaturesToAppend(s);
    ASSERT_EQ(a.size(), 3u);
    EXPECT_EQ(a[0].text, u"{\\rtf1\\par}");
    EXPECT_TRUE(a[0].electronic);
    EXPECT_EQ(a[1].text, u"Eva Malá");
    EXPECT_TRUE(a[1].electronic);
    EXPECT_EQ(a[2].text, u"J. Novák");
    EXPECT_FALSE(a[2].electronic);
    s.electronic_signatures.clear();
    ASSERT_EQ(SignaturesToAppend(s).size(), 2u);
    EXPECT_EQ(SignaturesToAppend(s)[0].text, u"ignored while the list is set");
    s.signature_line.clear();
    s.signatures.clear();
    EXPECT_TRUE(SignaturesToAppend(s).empty());
}

TEST(SignatureSheet, NewSignaturesRebuildTheTextInsteadOfAnInPlaceUpdate) {
    EditorState shown;
    shown.request_id = 40;
    shown.kind = 1;
    shown.content = "Kupní smlouva";
    EditorState signed_copy = shown;
    signed_copy.electronic_signatures = {"Jan Novák"};
    const NewStateView view{40, 1, false, &shown.content, &shown};
    EXPECT_EQ(DecideNewState(view, shown, false), NewStateAction::kUpdateInPlace);
    EXPECT_EQ(DecideNewState(view, signed_copy, false), NewStateAction::kRebuild);
    EditorState line = shown;
    line.signature_line = "Jan Novák";
    EXPECT_EQ(DecideNewState(view, line, false), NewStateAction::kRebuild);
    // A signature line beside a list is not shown: a change of it changes nothing.
    EditorState with_list = signed_copy;
    with_list.signature_line = "other";
    const NewStateView signed_view{40, 1, false, &shown.content, &signed_copy};
    EXPECT_EQ(DecideNewState(signed_view, with_list, false), NewStateAction::kUpdateInPlace);
}

EditorState RemovableSheet(int electronic) {
    EditorState s;
    s.request_id = 40;
    s.kind = 1;
    s.removable = true;
    for (int i = 0; i < electronic; ++i) s.electronic_signatures.push_back("Podpis " + std::to_string(i + 1));
    s.signatures = {"rukou"};
    return s;
}

int ChooserRowY(int row) { return kChooserRowTop + kChooserRowStep * row + 20; }

TEST(SignatureSheet, RemovalChooserPagesSelectsAndSendsThePositionOnTheSecondClick) {
    EditorState s = RemovableSheet(7);
    SheetView v;
    EXPECT_NE(FindText(BuildSheetDrawList(s, v), kRemoveSignatureLabel), nullptr);
    EXPECT_TRUE(SheetPointer(v, s, 600, 150).handled);
    ASSERT_TRUE(v.chooser_open);
    DrawList l = BuildSheetDrawList(s, v);
    EXPECT_NE(FindText(l, kChooserTitle), nullptr);
    EXPECT_NE(FindText(l, L"Podpis 5"), nullptr);
    EXPECT_EQ(FindText(l, L"Podpis 6"), nullptr);
    EXPECT_NE(FindText(l, L"Strana 1 / 2"), nullptr);
    EXPECT_EQ(FindText(l, L"rukou"), nullptr) << "handwritten signatures are not removable";

    // Nothing selected: the remove button does nothing.
    EXPECT_TRUE(SheetPointer(v, s, 450, 530).delete_body.empty());
    EXPECT_FALSE(v.remove_confirmed);
    // Next page, second row = the 7th signature, index 6.
    SheetPointer(v, s, 720, 480);
    EXPECT_EQ(v.chooser_page, 1);
    SheetPointer(v, s, 720, 480);  // no third page
    EXPECT_EQ(v.chooser_page, 1);
    EXPECT_NE(FindText(BuildSheetDrawList(s, v), L"Podpis 7"), nullptr);
    SheetPointer(v, s, 500, ChooserRowY(1));
    EXPECT_EQ(v.chooser_selected, 6);
    SheetPointer(v, s, 500, ChooserRowY(2));  // past the last signature: nothing there
    EXPECT_EQ(v.chooser_selected, 6);
    SheetClick first = SheetPointer(v, s, 450, 530);
    EXPECT_TRUE(first.delete_body.empty());
    EXPECT_NE(FindText(BuildSheetDrawList(s, v), kConfirmRemoveLabel), nullptr);
    // Another choice asks again.
    SheetPointer(v, s, 500, ChooserRowY(0));
    EXPECT_FALSE(v.remove_confirmed);
    SheetPointer(v, s, 450, 530);
    const SheetClick second = SheetPointer(v, s, 450, 530);
    EXPECT_EQ(second.delete_body, "40\n5");
    EXPECT_FALSE(second.answer);
    EXPECT_FALSE(v.chooser_open);
}

TEST(SignatureSheet, RemovalChooserClosesByCancelAndEscAndNeedsARemovableSignature) {
    EditorState s = RemovableSheet(1);
    SheetView v;
    SheetPointer(v, s, 600, 150);
    // While open it takes every press: the sign button under it does not ask.
    s.signable = true;
    EXPECT_TRUE(SheetPointer(v, s, 700, 200).handled);
    EXPECT_FALSE(v.sign_confirmed);
    SheetPointer(v, s, 700, 530);  // "Zrušit"
    EXPECT_FALSE(v.chooser_open);
    SheetPointer(v, s, 600, 150);
    EXPECT_TRUE(SheetKey(v, 0x28));
    EXPECT_TRUE(v.chooser_open);
    EXPECT_TRUE(SheetKey(v, 0x1B));
    EXPECT_FALSE(v.chooser_open);
    EXPECT_FALSE(SheetKey(v, 0x1B)) << "closed: Esc is the screen's again";

    // The single signature line is electronic and is index 0.
    EditorState line;
    line.request_id = 41;
    line.kind = 1;
    line.removable = true;
    line.signature_line = "Jan";
    SheetView w;
    SheetPointer(w, line, 600, 150);
    SheetPointer(w, line, 500, ChooserRowY(0));
    SheetPointer(w, line, 450, 530);
    EXPECT_EQ(SheetPointer(w, line, 450, 530).delete_body, "41\n0");

    EditorState unremovable = RemovableSheet(2);
    unremovable.removable = false;
    SheetView u;
    EXPECT_EQ(FindText(BuildSheetDrawList(unremovable, u), kRemoveSignatureLabel), nullptr);
    SheetPointer(u, unremovable, 600, 150);
    EXPECT_FALSE(u.chooser_open);
    EditorState only_handwritten = RemovableSheet(0);
    SheetPointer(u, only_handwritten, 600, 150);
    EXPECT_FALSE(u.chooser_open);
}

TEST(SignatureSheet, TheDocumentScreenCarriesTheRemovalBodyAndANewCopyClosesTheChooser) {
    EditorState s = RemovableSheet(2);
    DocumentScreen d;
    ResetDocumentScreen(d, s);
    auto press = [&](int x, int y) {
        return DocumentPointer(d, s, 0x201, 0, (std::uint32_t(y) << 16) | std::uint32_t(x), 1000, 500);
    };
    press(600, 150);
    press(500, ChooserRowY(1));
    press(450, 530);
    const ScreenInput in = press(450, 530);
    EXPECT_TRUE(in.handled);
    EXPECT_EQ(in.body_kind, EditorBody::kSignatureDelete);
    EXPECT_EQ(in.body, "40\n1");
    press(600, 150);
    EXPECT_TRUE(DocumentKey(d, s, 0x100, 0x1B).handled);
    EXPECT_FALSE(d.sheet.chooser_open);
    EXPECT_FALSE(DocumentKey(d, s, 0x100, 0x1B).handled) << "Esc answers the screen again";
    press(600, 150);
    UpdateDocumentScreen(d, s, s);
    EXPECT_FALSE(d.sheet.chooser_open);
}

TEST(SignatureSheet, SingleSignatureLineCountsAsElectronic) {
    EditorState s;
    s.kind = 1;
    s.signature_line = "Podepsáno";
    EXPECT_EQ(CountSignatures(s).electronic, 1);
    EXPECT_EQ(StripHeading(s, 0), L"ELEKTRONICKÝ PODPIS · 1 / 1");
    s.signature_line.clear();
    EXPECT_EQ(StripHeading(s, 0), L"BEZ PODPISU");
    EXPECT_FALSE(HasSignButton(s));
}

}  // namespace
}  // namespace hm
