// The UI thread under Wine with the real window and Rich Edit: it stays hidden and inactive,
// shows the session dialogs and server screens, takes forwarded input, answers, and leaves
// nothing behind when it closes. Renders go to HM_TEST_OUTPUT_DIR for a person to look at.
#include <windows.h>
#include <richedit.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "base/dialog_mailbox.h"
#include "base/text1250.h"
#include "base/ui_messages.h"
#include "computer/desktop_layout.h"
#include "computer/editor_exchange.h"
#include "computer/ui_window_win.h"
#include "game/input_state.h"
#include "ui/colour.h"
#include "ui/drawing.h"
#include "ui/png_file.h"

#ifndef HM_TEST_OUTPUT_DIR
#define HM_TEST_OUTPUT_DIR "."
#endif

namespace hm {
namespace {

using namespace std::chrono_literals;

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (done()) return true;
        std::this_thread::sleep_for(10ms);
    }
    return done();
}

HWND UiWindow() { return reinterpret_cast<HWND>(PluginInput().ui_window.load()); }
HWND MainControl() { return UiWindow() ? FindWindowExW(UiWindow(), nullptr, L"RICHEDIT50W", nullptr) : nullptr; }

FrameRef Frame() {
    std::lock_guard<std::mutex> hold(PluginOverlay().lock);
    return PluginOverlay().frame;
}

std::string Result() {
    std::lock_guard<std::mutex> hold(PluginOverlay().lock);
    return PluginEditorExchange().result;
}

// The text control whose top-left sits at canvas point (x, y).
HWND ControlAt(int x, int y) {
    for (HWND c = FindWindowExW(UiWindow(), nullptr, L"RICHEDIT50W", nullptr); c;
         c = FindWindowExW(UiWindow(), c, L"RICHEDIT50W", nullptr)) {
        POINT p{0, 0};
        MapWindowPoints(c, UiWindow(), &p, 1);
        if (p.x == x && p.y == y) return c;
    }
    return nullptr;
}

std::wstring TextOf(HWND c) {
    if (!c) return L"?";
    wchar_t buffer[4096] = {};
    SendMessageW(c, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer));
    return buffer;
}

CHARRANGE SelectionOf(HWND c) {
    CHARRANGE r{-1, -1};
    SendMessageW(c, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&r));
    return r;
}

// Canvas point of character `at` of a control placed at (box_x, box_y): a pixel inside its cell.
POINT CanvasPointOf(HWND c, int box_x, int box_y, LONG at) {
    POINTL p{};
    SendMessageW(c, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&p), LPARAM(at));
    return POINT{box_x + p.x + 2, box_y + p.y + 5};
}

std::wstring ControlText() {
    HWND c = MainControl();
    if (!c) return L"?";
    wchar_t buffer[4096] = {};
    SendMessageW(c, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer));
    return buffer;
}

void Post(UINT message, std::uint32_t m, std::uint32_t wp, std::uint32_t lp, bool ctrl = false) {
    auto* r = new ForwardedInput{m, wp, lp, {}};
    if (ctrl) r->key_state[VK_CONTROL] = 0x80;
    ASSERT_TRUE(PostMessageW(UiWindow(), message, 0, reinterpret_cast<LPARAM>(r)));
}
void Key(std::uint32_t vk, bool ctrl = false) {
    Post(uimsg::kInputEvent, WM_KEYDOWN, vk, 1, ctrl);
    Post(uimsg::kInputEvent, WM_KEYUP, vk, 0xC0000001u, ctrl);
}
void Type(const std::wstring& text) {
    for (wchar_t ch : text) Post(uimsg::kInputEvent, WM_CHAR, std::uint32_t(ch), 1);
}
std::uint32_t At(int x, int y) { return (std::uint32_t(y) << 16) | (std::uint32_t(x) & 0xFFFFu); }
void Click(int x, int y) {
    Post(uimsg::kMouseEvent, WM_LBUTTONDOWN, MK_LBUTTON, At(x, y));
    Post(uimsg::kMouseEvent, WM_LBUTTONUP, 0, At(x, y));
}
void Drag(POINT from, POINT to) {
    Post(uimsg::kMouseEvent, WM_LBUTTONDOWN, MK_LBUTTON, At(from.x, from.y));
    Post(uimsg::kMouseEvent, WM_MOUSEMOVE, MK_LBUTTON, At((from.x + to.x) / 2, (from.y + to.y) / 2));
    Post(uimsg::kMouseEvent, WM_MOUSEMOVE, MK_LBUTTON, At(to.x, to.y));
    Post(uimsg::kMouseEvent, WM_LBUTTONUP, 0, At(to.x, to.y));
}

// Posts go to the UI thread's queue; a synchronous message behind them means they were handled.
// Sent messages overtake posted ones, so only time tells that nothing more will happen.
void Settle() { std::this_thread::sleep_for(400ms); }

constexpr ColorRef kDocumentBackgroundForTests = RgbRef(238, 243, 249);
ColorRef ColourAt(const Pixels& p, int x, int y) { return ColorOfArgb(p.at(std::uint32_t(x), std::uint32_t(y))); }
unsigned AlphaAt(const Pixels& p, int x, int y) { return p.at(std::uint32_t(x), std::uint32_t(y)) >> 24; }

void Save(const FrameRef& f, const std::string& name) {
    if (!IsEmptyFrame(f)) WritePngFile(std::string(HM_TEST_OUTPUT_DIR) + "/" + name, *f);
}

EditorState Consent(const std::string& name) {
    EditorState s;
    s.request_id = kConsentDialogId;
    s.kind = 3;
    s.title = WideToCp1250(L"HM Plugin 1.00 BETA");
    s.caption = WideToCp1250(L"Server: http://127.0.0.1/HM/MEDIA-PLUGIN/test-api\n\nPlugin propojí dokumenty.");
    s.content = name;
    s.buttons[0] = WideToCp1250(L"Souhlasím");
    s.buttons[1] = "Odpojit";
    s.read_only = true;
    return s;
}

EditorState Form(int id, int kind, const std::string& content) {
    EditorState s;
    s.request_id = id;
    s.kind = kind;
    s.title = WideToCp1250(L"Žádost o výpis");
    s.content = content;
    s.buttons[0] = "Odeslat";
    s.buttons[1] = WideToCp1250(L"Zrušit");
    return s;
}

class UiWindowTest : public testing::Test {
protected:
    void SetUp() override {
        PluginDialogMailbox().Take();
        std::lock_guard<std::mutex> hold(PluginOverlay().lock);
        PluginEditorExchange().result.clear();
    }
    void TearDown() override {
        if (UiWindow()) PostCloseEditor();
        EXPECT_TRUE(WaitFor([] { return !PluginOverlay().editor_open.load(); }));
        SetRichEditLibraryForTests(nullptr);
    }
    // Starts the UI thread and waits for its first published frame.
    FrameRef Open(const EditorState& s) {
        const int before = PluginOverlay().version.load();
        EXPECT_TRUE(StartEditorUi(PluginEditorExchange(), s));
        EXPECT_TRUE(WaitFor([&] { return PluginOverlay().version.load() != before && !IsEmptyFrame(Frame()); }, 60s));
        return Frame();
    }
};

TEST_F(UiWindowTest, ConsentIsDrawnHiddenAndAnsweredByAClickOnItsFirstButton) {
    // A window of this process in front, as the game's is.
    HWND game = CreateWindowExW(0, L"STATIC", L"game", WS_POPUP | WS_VISIBLE, 0, 0, 200, 200, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(game);
    SetForegroundWindow(game);
    ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == game; }));
    const FrameRef f = Open(Consent("Test_Player"));
    Save(f, "consent.png");
    ASSERT_TRUE(f);
    HWND w = UiWindow();
    ASSERT_TRUE(w);
    EXPECT_FALSE(IsWindowVisible(w));
    EXPECT_EQ(GetForegroundWindow(), game);
    EXPECT_EQ(GetActiveWindow(), game);
    EXPECT_EQ(ColourAt(*f, 300, 20), RgbRef(25, 43, 65));   // header
    EXPECT_EQ(ColourAt(*f, 30, 300), RgbRef(255, 255, 255));  // panel
    EXPECT_EQ(ColourAt(*f, 30, 720), RgbRef(34, 96, 170));    // primary button (0xAA6022)
    EXPECT_EQ(AlphaAt(*f, 5, 5), 255u);
    EXPECT_EQ(ControlText(), L"Test_Player");
    EXPECT_FALSE(IsWindowEnabled(MainControl()));

    PluginInput().quiet_until.store(0);
    const std::uint64_t clicked = GetTickCount64();
    Click(116, 728);
    ASSERT_TRUE(WaitFor([] { return !PluginOverlay().editor_open.load(); }));
    const std::optional<DialogResult> answer = PluginDialogMailbox().Take();
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->dialog_id, kConsentDialogId);
    EXPECT_EQ(answer->button, 1);
    EXPECT_EQ(answer->text, "Test_Player");
    // The closing click stays out of the game: quiet for 200 ms from the answer (compared with the
    // click, as a loaded machine may take longer than that to get here).
    EXPECT_GE(PluginInput().quiet_until.load(), clicked + 200);
    EXPECT_TRUE(Result().empty()) << "a local dialog never goes to the server";
    // Flags and an empty frame after close.
    EXPECT_EQ(PluginInput().ui_window.load(), 0u);
    EXPECT_FALSE(PluginOverlay().plugin_cursor_visible.load());
    EXPECT_FALSE(PluginInput().non_minimisable.load());
    EXPECT_FALSE(PluginEditorExchange().login_screen.load());
    EXPECT_TRUE(IsEmptyFrame(Frame()));
    EXPECT_EQ(GetForegroundWindow(), game);
    DestroyWindow(game);
}

TEST_F(UiWindowTest, ConsentWithoutAValidNameIsRefusedUntilEscCloses) {
    for (const char* name : {"", "ab", "Bad Name", "A_very_long_player_name_x"}) {
        Open(Consent(name));
        Key(VK_RETURN);
        Click(116, 728);
        Settle();
        EXPECT_TRUE(UiWindow()) << name;
        EXPECT_FALSE(PluginDialogMailbox().Take()) << name;
        Key(VK_ESCAPE);
        ASSERT_TRUE(WaitFor([] { return !PluginOverlay().editor_open.load(); })) << name;
        const std::optional<DialogResult> answer = PluginDialogMailbox().Take();
        ASSERT_TRUE(answer) << name;
        EXPECT_EQ(answer->button, 0) << name;
    }
}

TEST_F(UiWindowTest, UpdateDialogSitsInsideItsMaskWithTheRequestsLabels) {
    EditorState s;
    s.request_id = kUpdateDialogId;
    s.kind = 4;
    s.title = WideToCp1250(L"HM Plugin – aktualizace");
    s.caption = WideToCp1250(L"Nainstalováno: HM Plugin 1.00 BETA\n\nMáš aktuální verzi pluginu.");
    s.buttons[0] = "Zavrit";
    s.buttons[1] = WideToCp1250(L"Zpět");
    const FrameRef f = Open(s);
    Save(f, "update_dialog.png");
    ASSERT_TRUE(f);
    EXPECT_EQ(AlphaAt(*f, 119, 300), 0u);
    EXPECT_EQ(AlphaAt(*f, 690, 300), 0u);
    EXPECT_EQ(AlphaAt(*f, 400, 209), 0u);
    EXPECT_EQ(AlphaAt(*f, 400, 550), 0u);
    EXPECT_EQ(AlphaAt(*f, 5, 5), 0u);
    EXPECT_EQ(AlphaAt(*f, 400, 400), 255u);
    EXPECT_EQ(ColourAt(*f, 400, 220), RgbRef(25, 43, 65));
    EXPECT_EQ(ColourAt(*f, 150, 494), RgbRef(34, 96, 170));  // first button, primary
    Click(500, 510);  // second button
    ASSERT_TRUE(WaitFor([] { return !PluginOverlay().editor_open.load(); }));
    const std::optional<DialogResult> answer = PluginDialogMailbox().Take();
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->dialog_id, kUpdateDialogId);
    EXPECT_EQ(answer->button, 2);
}

TEST_F(UiWindowTest, IdentityCardIsDecoratedFromItsTextAndDrawnOnlyOnANewSignature) {
    const struct {
        const char* name;
        const char* first_line;
        bool decorated;
    } cases[] = {{"state card", "STATE OF SAN ANDREAS", true}, {"no state line", "MESTO LAS VENTURAS", false}};
    for (const auto& c : cases) {
        EditorState s = Form(31, 16, std::string("{\\rtf1\\hmcard161 Obcansky prukaz\\par ") + c.first_line +
                                         "\\par Jmeno: Jan\\par Narozen: 1990\\par Popis: vysoky}");
        s.screen_id = "identity-card";
        const FrameRef f = Open(s);
        ASSERT_TRUE(f) << c.name;
        Save(f, c.decorated ? "identity_card.png" : "identity_card_plain.png");
        // Right of the short lines, inside the card between its second and fifth line.
        const bool background = ColourAt(*f, 640, 236) == RgbRef(238, 243, 249);
        EXPECT_EQ(background, !c.decorated) << c.name;
        // Nothing changes: no new frame is drawn.
        const int version = PluginOverlay().version.load();
        std::this_thread::sleep_for(600ms);
        EXPECT_EQ(PluginOverlay().version.load(), version) << c.name;
        PostCloseEditor();
        ASSERT_TRUE(WaitFor([] { return !PluginOverlay().editor_open.load(); }));
    }
}

TEST_F(UiWindowTest, MissingRichEditLibraryClosesServerScreensAndSendsNothingForLocalDialogs) {
    SetRichEditLibraryForTests(L"hm_no_such_library.dll");
    ASSERT_TRUE(StartEditorUi(PluginEditorExchange(), Form(7, 10, "")));
    ASSERT_TRUE(WaitFor([] { return !PluginOverlay().editor_open.load(); }));
    EXPECT_EQ(Result(), "7\n0\n");
    EXPECT_EQ(PluginInput().ui_window.load(), 0u);

    {
        std::lock_guard<std::mutex> hold(PluginOverlay().lock);
        PluginEditorExchange().result.clear();
    }
    ASSERT_TRUE(StartEditorUi(PluginEditorExchange(), Consent("Test_Player")));
    ASSERT_TRUE(WaitFor([] { return !PluginOverlay().editor_open.load(); }));
    EXPECT_EQ(Result(), "");
    EXPECT_FALSE(PluginDialogMailbox().Take());
}

TEST_F(UiWindowTest, CzechContentArrivesAsRtfAndAsCodePage1250Text) {
    struct Case {
        const char* name;
        std::string content;
    } cases[] = {
        {"rtf", "{\\rtf1\\ansi\\ansicpg1250\\deff0{\\fonttbl{\\f0\\fnil\\fcharset238 Arial;}}\\f0 P\\'f8\\'edli\\'9a \\'9elu\\'9dou\\'e8k\\'fd k\\'f9\\'f2}"},
        {"cp1250", WideToCp1250(L"Příliš žluťoučký kůň")},
    };
    for (const Case& c : cases) {
        const FrameRef f = Open(Form(7, 10, c.content));
        Save(f, std::string("czech_") + c.name + ".png");
        EXPECT_EQ(ControlText(), L"Příliš žluťoučký kůň") << c.name;
        PostCloseEditor();
        ASSERT_TRUE(WaitFor([] { return !PluginOverlay().editor_open.load(); }));
    }
}

TEST_F(UiWindowTest, TypedTextIsSentAsTheDocumentAndTheViewWaitsForTheServer) {
    Open(Form(7, 10, ""));
    Type(L"ahoj čau");
    EXPECT_TRUE(WaitFor([] { return ControlText() == L"ahoj čau"; })) << ControlText().size();
    Key(VK_RETURN);  // a short answer: Enter sends it
    ASSERT_TRUE(WaitFor([] { return !Result().empty(); }));
    const std::string sent = Result();
    EXPECT_EQ(sent.rfind("7\n1\n{\\rtf1", 0), 0u) << sent;
    EXPECT_NE(sent.find("ahoj"), std::string::npos) << sent;
    EXPECT_EQ(sent.find("\\object"), std::string::npos);
    EXPECT_EQ(sent.find('\0'), std::string::npos) << "Wine's writer ends the stream with a NUL byte";
    EXPECT_TRUE(PluginEditorExchange().awaiting_answer.load());
    EXPECT_TRUE(UiWindow()) << "the window waits for the next state";
    // A second answer before the next state is not taken.
    {
        std::lock_guard<std::mutex> hold(PluginOverlay().lock);
        PluginEditorExchange().result.clear();
    }
    Click(116, 728);
    Settle();
    EXPECT_EQ(Result(), "");
}

TEST_F(UiWindowTest, FormattingKeysFollowTheKind) {
    struct Case {
        int kind;
        std::uint32_t key;
        const char* word;
        bool expected;
    } cases[] = {
        {0, 'B', "\\b", true},    {11, 'B', "\\b", false},
        {11, 'E', "\\qc", true},  {0, 'E', "\\qc", false},
    };
    for (const Case& c : cases) {
        {
            std::lock_guard<std::mutex> hold(PluginOverlay().lock);
            PluginEditorExchange().result.clear();
        }
        Open(Form(9, c.kind, ""));
        Type(L"slovo");
        Key('A', true);
        Key(c.key, true);
        Click(116, 728);
        ASSERT_TRUE(WaitFor([] { return !Result().empty(); })) << c.kind;
        const std::string sent = Result();
        // The word followed by a delimiter, so \b is not mistaken for \bin or \blue.
        bool found = false;
        for (std::size_t at = sent.find(c.word); at != std::string::npos; at = sent.find(c.word, at + 1)) {
            const char next = at + std::strlen(c.word) < sent.size() ? sent[at + std::strlen(c.word)] : ' ';
            if (next == ' ' || next == '\\' || next == '{' || next == '}' || next == '\r' || next == '\n') found = true;
        }
        EXPECT_EQ(found, c.expected) << "kind " << c.kind << " key " << char(c.key) << ": " << sent;
        PostCloseEditor();
        ASSERT_TRUE(WaitFor([] { return !PluginOverlay().editor_open.load(); }));
    }
}

TEST_F(UiWindowTest, ToolbarAndColourMenuFormatTheSelection) {
    const FrameRef f = Open(Form(9, 0, ""));
    Type(L"slovo");
    Key('A', true);
    Click(30, 120);   // "B"
    Click(100, 150);  // "Barva textu ▾"
    Click(34 + 28 * 5 + 14, 208 + 14);  // RGB(220,30,30)
    Click(200, 120);  // size 11
    Click(400, 120);  // centre
    ASSERT_TRUE(WaitFor([] {
        const FrameRef now = Frame();
        return !IsEmptyFrame(now) && ColourAt(*now, 30, 120) == RgbRef(34, 96, 170);  // "B" lit
    })) << "the toolbar shows the selection's bold";
    Save(Frame(), "free_document.png");
    Click(116, 728);
    ASSERT_TRUE(WaitFor([] { return !Result().empty(); }));
    const std::string sent = Result();
    for (const char* word : {"\\b", "\\red220\\green30\\blue30", "\\fs22", "\\qc"})
        EXPECT_NE(sent.find(word), std::string::npos) << word << " in " << sent;
}

TEST_F(UiWindowTest, DocumentsOverSixteenThousandBytesOfRtfStayInTheEditor) {
    // A Czech letter is four bytes of RTF ("\\'f8"): 5000 of them cannot be sent, 1000 can.
    struct Case {
        int letters;
        bool sent;
    } cases[] = {{1000, true}, {3300, true}, {5000, false}};
    for (const Case& c : cases) {
        {
            std::lock_guard<std::mutex> hold(PluginOverlay().lock);
            PluginEditorExchange().result.clear();
        }
        std::string words = "{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset238 Arial;}}\\f0 ";
        for (int i = 0; i < c.letters; i += 5) words += "\\'f8\\'f8\\'f8\\'f8\\'f8 ";
        EditorState s = Form(11, 0, words + "}");
        s.paper = true;  // 60000 characters fit in the control
        Open(s);
        const auto start = std::chrono::steady_clock::now();
        Click(116, 728);
        if (c.sent) {
            ASSERT_TRUE(WaitFor([] { return !Result().empty(); }));
            const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
            std::printf("[ figures  ] click to stored answer, %zu bytes of RTF: %.1f ms\n", Result().size(), ms);
        } else {
            Settle();
        }
        const std::string sent = Result();
        EXPECT_EQ(!sent.empty(), c.sent) << c.letters;
        if (c.sent) {
            EXPECT_LE(sent.size(), std::size_t(16000) + 6);
        } else {
            EXPECT_TRUE(UiWindow()) << "the editor stays open";
        }
        PostCloseEditor();
        ASSERT_TRUE(WaitFor([] { return !PluginOverlay().editor_open.load(); }, 30s));
    }
}

TEST_F(UiWindowTest, HostileRtfIsShownAsFarAsItGoes) {
    struct Case {
        const char* name;
        std::string content;
    } cases[] = {
        {"unbalanced", "{\\rtf1 zacatek {\\b tucne"},
        {"deep", "{\\rtf1 " + std::string(5000, '{') + "hluboko" + std::string(10, '}')},
        {"deep 30", "{\\rtf1 " + std::string(30, '{') + "hluboko" + std::string(30, '}')},
        {"huge bin", "{\\rtf1 pred {\\bin999999999 xyz} po}"},
        {"junk object", "{\\rtf1 text {\\object\\objemb{\\*\\objdata 0102zz}{\\result obraz}} konec}"},
    };
    for (const Case& c : cases) {
        {
            std::lock_guard<std::mutex> hold(PluginOverlay().lock);
            PluginEditorExchange().result.clear();
        }
        const auto start = std::chrono::steady_clock::now();
        Open(Form(12, 0, c.content));
        std::printf("hostile RTF %s: shown after %.0f ms\n", c.name,
                    std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        Click(116, 728);
        ASSERT_TRUE(WaitFor([] { return !Result().empty(); })) << c.name;
        const std::string sent = Result();
        EXPECT_EQ(sent.find("\\object"), std::string::npos) << c.name;
        EXPECT_EQ(sent.find("\\objdata"), std::string::npos) << c.name;
        PostCloseEditor();
        ASSERT_TRUE(WaitFor([] { return !PluginOverlay().editor_open.load(); })) << c.name;
    }
}

// Waits for a published frame that satisfies `shows` (the caret blinks: a frame in its on phase).
bool FrameShows(const std::function<bool(const Pixels&)>& shows, std::chrono::milliseconds limit = 10s) {
    return WaitFor([&] {
        const FrameRef f = Frame();
        return !IsEmptyFrame(f) && shows(*f);
    }, limit);
}

constexpr ColorRef kCaretColour = RgbRef(20, 20, 20);

// Where the caret of a control at (box_x, box_y) is painted: its selection's position.
POINT CaretPixel(HWND c, int box_x, int box_y) {
    const CHARRANGE sel = SelectionOf(c);
    POINTL p{};
    SendMessageW(c, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&p), LPARAM(sel.cpMin));
    return POINT{box_x + p.x, box_y + p.y + 5};
}

bool HasDarkPixel(const Pixels& f, int left, int top, int right, int bottom) {
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) {
            const ColorRef c = ColourAt(f, x, y);
            if ((c & 0xFF) < 100 && ((c >> 8) & 0xFF) < 100 && ((c >> 16) & 0xFF) < 100) return true;
        }
    return false;
}

void DoubleClickMessage(POINT p) {
    Post(uimsg::kMouseEvent, WM_LBUTTONDOWN, MK_LBUTTON, At(p.x, p.y));
    Post(uimsg::kMouseEvent, WM_LBUTTONUP, 0, At(p.x, p.y));
    Post(uimsg::kMouseEvent, WM_LBUTTONDBLCLK, MK_LBUTTON, At(p.x, p.y));
    Post(uimsg::kMouseEvent, WM_LBUTTONUP, 0, At(p.x, p.y));
}

bool SelectionBecomes(HWND c, LONG start, LONG end) {
    return WaitFor([&] {
        const CHARRANGE r = SelectionOf(c);
        return r.cpMin == start && r.cpMax == end;
    });
}

TEST_F(UiWindowTest, BothBoxesOfATwoFieldScreenAreDrawnAndTypingFollowsTabEnterAndClicks) {
    EditorState s = Form(21, 18, "");
    s.caption = "2026-12-10";
    s.buttons[0] = "Vyhledat";
    s.buttons[1] = "Zpet";
    Open(s);
    HWND from = ControlAt(64, 274), to = ControlAt(64, 394);
    ASSERT_TRUE(from && to);
    EXPECT_EQ(TextOf(to), L"2026-12-10");
    Type(L"2026-12-09 20:00");  // 19 characters fill a box: room for one more below
    ASSERT_TRUE(WaitFor([&] { return TextOf(from) == L"2026-12-09 20:00"; })) << TextOf(from).size();
    // The second box is printed like the first, and the caret blinks in the box with the typing.
    const POINT from_caret = CaretPixel(from, 64, 274);
    EXPECT_TRUE(FrameShows([&](const Pixels& f) {
        return HasDarkPixel(f, 66, 396, 300, 412) && ColourAt(f, from_caret.x, from_caret.y) == kCaretColour;
    })) << "second box text and first box caret";
    Save(Frame(), "two_boxes.png");

    Key(VK_TAB);
    Type(L"X");
    ASSERT_TRUE(WaitFor([&] { return TextOf(to).find(L'X') != std::wstring::npos; })) << "Tab: typing in the second box";
    EXPECT_EQ(TextOf(from), L"2026-12-09 20:00");
    EXPECT_EQ(TextOf(to).find(L'\t'), std::wstring::npos) << "Tab is not typed";
    const POINT to_caret = CaretPixel(to, 64, 394);
    EXPECT_TRUE(FrameShows([&](const Pixels& f) { return ColourAt(f, to_caret.x, to_caret.y) == kCaretColour; }));
    // For two blinks the first box shows no caret.
    const auto until = std::chrono::steady_clock::now() + 1200ms;
    while (std::chrono::steady_clock::now() < until) {
        const FrameRef f = Frame();
        ASSERT_NE(ColourAt(*f, from_caret.x, from_caret.y), kCaretColour) << "caret left behind in the first box";
        std::this_thread::sleep_for(50ms);
    }

    Key(VK_RETURN);  // Enter without Ctrl: back to the first box
    Type(L"Y");
    ASSERT_TRUE(WaitFor([&] { return TextOf(from).find(L'Y') != std::wstring::npos; }));
    Click(600, 450);  // into the second box
    Type(L"Z");
    ASSERT_TRUE(WaitFor([&] { return TextOf(to).find(L'Z') != std::wstring::npos; }));
    EXPECT_EQ(TextOf(from).find(L'Z'), std::wstring::npos);
    // A double-click in the second box selects its word there: the box's own coordinates.
    DoubleClickMessage(CanvasPointOf(to, 64, 394, 1));
    ASSERT_TRUE(SelectionBecomes(to, 0, 4)) << SelectionOf(to).cpMin << ".." << SelectionOf(to).cpMax;

    // Typing replaces the selected word; both boxes are then filled to the 19 characters a search
    // needs, and Ctrl+Enter answers with both texts.
    Type(std::wstring(19 - (TextOf(to).size() - 4), L'1'));
    ASSERT_TRUE(WaitFor([&] { return TextOf(to).size() == 19; })) << TextOf(to).size();
    Key(VK_RETURN);
    Type(std::wstring(19 - TextOf(from).size(), L'0'));
    ASSERT_TRUE(WaitFor([&] { return TextOf(from).size() == 19; })) << TextOf(from).size();
    Key(VK_RETURN, true);
    ASSERT_TRUE(WaitFor([] { return !Result().empty(); }));
    const std::wstring a = TextOf(from), b = TextOf(to);
    EXPECT_EQ(Result(), "21\n1\n{\\rtf1 " + std::string(a.begin(), a.end()) + "|" + std::string(b.begin(), b.end()) + "}");
}

TEST_F(UiWindowTest, MouseDragsAndDoubleClicksSelectInTheTextBox) {
    Open(Form(9, 0, "jedna dva tri"));
    HWND c = ControlAt(28, 182);
    ASSERT_TRUE(c);
    ASSERT_TRUE(WaitFor([&] { return TextOf(c) == L"jedna dva tri"; }));
    auto at = [&](LONG i) { return CanvasPointOf(c, 28, 182, i); };
    struct Case {
        const char* name;
        LONG from, to, start, end;
    } drags[] = {
        {"forward", 1, 8, 1, 8},
        {"backward", 8, 2, 2, 8},
    };
    for (const Case& d : drags) {
        Drag(at(d.from), at(d.to));
        EXPECT_TRUE(SelectionBecomes(c, d.start, d.end)) << d.name << ": " << SelectionOf(c).cpMin << ".."
                                                         << SelectionOf(c).cpMax;
        Settle();
        Save(Frame(), std::string("drag_") + d.name + ".png");
    }
    // A move without the button held (its release went elsewhere) ends the drag.
    Post(uimsg::kMouseEvent, WM_LBUTTONDOWN, MK_LBUTTON, At(at(4).x, at(4).y));
    Post(uimsg::kMouseEvent, WM_MOUSEMOVE, 0, At(at(12).x, at(12).y));
    Post(uimsg::kMouseEvent, WM_MOUSEMOVE, MK_LBUTTON, At(at(10).x, at(10).y));
    Settle();
    EXPECT_TRUE(SelectionBecomes(c, 4, 4)) << SelectionOf(c).cpMin << ".." << SelectionOf(c).cpMax;
    Post(uimsg::kMouseEvent, WM_LBUTTONUP, 0, At(at(10).x, at(10).y));

    // Two presses in time select the word and the blank after it; typing replaces them.
    SetDoubleClickTimeForTests(5000);
    Click(at(7).x, at(7).y);
    Click(at(7).x, at(7).y);
    EXPECT_TRUE(SelectionBecomes(c, 6, 10)) << SelectionOf(c).cpMin << ".." << SelectionOf(c).cpMax;
    Type(L"pět ");
    EXPECT_TRUE(WaitFor([&] { return TextOf(c) == L"jedna pět tri"; })) << TextOf(c).size();
    // Presses further apart than the double-click time only place the caret.
    SetDoubleClickTimeForTests(150);
    Click(at(2).x, at(2).y);
    Settle();
    Click(at(2).x, at(2).y);
    Settle();
    EXPECT_TRUE(SelectionBecomes(c, 2, 2)) << SelectionOf(c).cpMin << ".." << SelectionOf(c).cpMax;
    SetDoubleClickTimeForTests(0);
}

std::string MetafileHex() {
    HDC mf = CreateMetaFileW(nullptr);
    Rectangle(mf, 0, 0, 100, 100);
    HMETAFILE h = CloseMetaFile(mf);
    const UINT n = GetMetaFileBitsEx(h, 0, nullptr);
    std::string bytes(n, '\0');
    GetMetaFileBitsEx(h, n, &bytes[0]);
    DeleteMetaFile(h);
    std::string hex;
    for (unsigned char b : bytes) {
        static const char digits[] = "0123456789abcdef";
        hex += digits[b >> 4];
        hex += digits[b & 15];
    }
    return hex;
}

WORD AlignmentAt(HWND c, LONG at) {
    CHARRANGE r{at, at};
    SendMessageW(c, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&r));
    PARAFORMAT2 pf{};
    pf.cbSize = sizeof(pf);
    SendMessageW(c, EM_GETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&pf));
    return pf.wAlignment;
}

TEST_F(UiWindowTest, TicketPreviewIsDrawnAndTheTicketsPicturesAreCentred) {
    Open(Form(37, 37, "{\\rtf1\\hmticket1 Pokuta\\par {\\pict\\wmetafile8\\picw2000\\pich2000\\picwgoal600\\pichgoal600 " +
                          MetafileHex() + "}\\par Konec}"));
    HWND reason = ControlAt(560, 180), preview = ControlAt(48, 118);
    ASSERT_TRUE(reason && preview);
    EXPECT_EQ(SelectionOf(reason).cpMin, 0) << "caret at the start";
    EXPECT_EQ(SelectionOf(reason).cpMax, 0);
    // The preview box is printed on its own white, below the text area too.
    EXPECT_TRUE(FrameShows([](const Pixels& f) { return ColourAt(f, 50, 600) == RgbRef(255, 255, 255); }));
    EXPECT_EQ(ColourAt(*Frame(), 540, 600), kDocumentBackgroundForTests);
    Save(Frame(), "ticket.png");
    // "Pokuta", its paragraph end, then the picture's paragraph.
    const std::wstring text = TextOf(reason);
    const std::size_t first_end = text.find(L'\r');
    ASSERT_NE(first_end, std::wstring::npos);
    EXPECT_EQ(AlignmentAt(reason, 0), PFA_LEFT);
    EXPECT_EQ(AlignmentAt(reason, LONG(first_end + 1)), PFA_CENTER) << "the picture's paragraph";
    EXPECT_EQ(AlignmentAt(reason, LONG(text.size() - 2)), PFA_LEFT) << "the last paragraph";
    // Typing goes to the reason box, never to the read-only preview.
    CHARRANGE start{0, 0};
    SendMessageW(reason, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&start));
    Type(L"Q");
    EXPECT_TRUE(WaitFor([&] { return TextOf(reason).find(L'Q') != std::wstring::npos; }));
    EXPECT_EQ(TextOf(preview).find(L'Q'), std::wstring::npos);
}

TEST_F(UiWindowTest, PictureModeFourShowsThePictureBehindTheText) {
    auto red = MakePixels(300, 200);
    for (std::uint32_t y = 0; y < 200; ++y)
        for (std::uint32_t x = 0; x < 300; ++x) red->set(x, y, 0xFFC82828u);
    struct Point {
        int x, y;
        const char* where;
    };
    struct Case {
        int kind;
        std::uint32_t flags;
        int mode;
        ColorRef expected;
        std::vector<Point> inside;  // points of the text box below the text
        UiRect text;                // where the first line's letters are
    } const cases[] = {
        {4, 0, 4, RgbRef(200, 40, 40), {{700, 600, "below the text"}, {46, 400, "left column"}, {763, 400, "right column"}},
         {48, 114, 200, 132}},
        {4, 0, 0, RgbRef(255, 255, 255), {{700, 600, "below the text"}, {46, 400, "left column"}}, {48, 114, 200, 132}},
        // A kind-16 text window in web style: the picture fills its framed box.
        {16, 0x40 | (100u << 8), 4, RgbRef(200, 40, 40), {{700, 600, "below the text"}, {49, 400, "left column"},
         {740, 400, "right column"}}, {50, 182, 200, 200}},
        {16, 0x40 | (100u << 8), 0, RgbRef(255, 255, 255), {{700, 600, "below the text"}}, {50, 182, 200, 200}},
    };
    for (const Case& c : cases) {
        EditorState s = Form(41, c.kind, WideToCp1250(L"Text na obrázku"));
        s.flags = int(c.flags);
        s.picture_mode = c.mode;
        s.picture_count = 1;
        s.picture = red;
        const FrameRef f = Open(s);
        ASSERT_TRUE(f);
        const std::string name = "kind" + std::to_string(c.kind) + "_mode" + std::to_string(c.mode);
        Save(f, "background_" + name + ".png");
        for (const Point& p : c.inside) EXPECT_EQ(ColourAt(*f, p.x, p.y), c.expected) << p.where << "; " << name;
        EXPECT_TRUE(HasDarkPixel(*f, c.text.left, c.text.top, c.text.right, c.text.bottom)) << "the text; " << name;
        PostCloseEditor();
        ASSERT_TRUE(WaitFor([] { return !PluginOverlay().editor_open.load(); }));
    }
}

TEST_F(UiWindowTest, DesktopDeleteMessagesItemGoesWithTheNextConfirm) {
    EditorState s = Form(31, 16, "");
    s.flags = 0x28 | (100 << 8);
    s.buttons[0] = WideToCp1250(L"Otevřít");
    s.items.push_back(EditorItem{5, WideToCp1250(L"Zprávy"), "app:sms", "", 0});
    s.items.push_back(EditorItem{9, WideToCp1250(L"Smazat zprávy"), "app:del", "", 0});
    // A compact text page: the window in the phone-sized frame, cut to its body.
    const FrameRef f = Open(s);
    ASSERT_TRUE(f);
    EXPECT_EQ(ColourAt(*f, 222, 400), kCompactBodyColour);
    EXPECT_EQ(ColourAt(*f, 400, 50), RgbRef(25, 43, 65)) << "the window's title bar";
    EXPECT_EQ(AlphaAt(*f, 100, 400), 0u);
    EXPECT_EQ(AlphaAt(*f, 222, 400), 255u);
    Click(300, 728);  // the compact window's first button (230..400)
    ASSERT_TRUE(WaitFor([] { return !Result().empty(); }));
    EXPECT_EQ(Result(), "31\n1\n{\\rtf1\\hmsel9 }");
}

TEST_F(UiWindowTest, AttachmentRenamedThroughTheMenuWithAPastedName) {
    EditorState s = Form(40, 2, "");
    s.flags = 7;
    s.items.push_back(EditorItem{100, WideToCp1250(L"Výslech"), "", "", 0});
    s.items.push_back(EditorItem{101, "Posudek", "", "", 0});
    Open(s);
    Post(uimsg::kMouseEvent, WM_RBUTTONDOWN, MK_RBUTTON, At(300, 140));  // row 1: the menu at the point
    Click(320, 200);                                                    // its second entry, "Změnit název"
    ASSERT_TRUE(WaitFor([] { return ColourAt(*Frame(), 400, 250) == RgbRef(25, 43, 65); })) << "the dialog's title bar";
    Save(Frame(), "attachment_rename.png");
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    const wchar_t pasted[] = L"Zápis\r\n2";
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, sizeof(pasted));
    ASSERT_TRUE(h);
    std::memcpy(GlobalLock(h), pasted, sizeof(pasted));
    GlobalUnlock(h);
    ASSERT_TRUE(SetClipboardData(CF_UNICODETEXT, h));
    CloseClipboard();
    Key('V', true);  // replaces the selected name; the line break is dropped
    Type(L"\u0416");
    Key(VK_RETURN);
    const auto body = [] {
        std::lock_guard<std::mutex> hold(PluginOverlay().lock);
        return PluginEditorExchange().bodies[int(EditorBody::kAttachment)];
    };
    ASSERT_TRUE(WaitFor([&] { return !body().empty(); }));
    EXPECT_EQ(body(), "40\n100\nrename\n5ae1706973323f") << "\"Zápis2Ж\": the Cyrillic letter is 3f";
    EXPECT_TRUE(Result().empty()) << "a rename answers nothing";
}

TEST_F(UiWindowTest, CopiedTextOutlivesTheEditor) {
    Open(Form(7, 10, ""));
    Type(L"kopie čau");
    ASSERT_TRUE(WaitFor([] { return ControlText() == L"kopie čau"; }));
    Key('A', true);
    Key('C', true);
    Settle();
    // The thread ends: its library goes, the copied text stays (and nothing calls into the library).
    PostCloseEditor();
    ASSERT_TRUE(WaitFor([] { return !PluginOverlay().editor_open.load() && UiThreadId() == 0; }));
    std::wstring pasted;
    ASSERT_TRUE(WaitFor([&] {
        if (!OpenClipboard(nullptr)) return false;
        if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
            if (const auto* text = static_cast<const wchar_t*>(GlobalLock(h))) {
                pasted = text;
                GlobalUnlock(h);
            }
        }
        CloseClipboard();
        return !pasted.empty();
    }));
    EXPECT_EQ(pasted, L"kopie čau");
}

TEST_F(UiWindowTest, RecordsStillQueuedWhenTheWindowEndsAreFreed) {
    Open(Form(7, 10, ""));
    HWND w = UiWindow();
    // Close first, then more records behind it: the window frees them as it goes.
    ASSERT_TRUE(PostMessageW(w, uimsg::kCloseEditor, 0, 0));
    for (int i = 0; i < 20; ++i) {
        auto* r = new ForwardedInput{WM_CHAR, 'x', 1, {}};
        if (!PostMessageW(w, uimsg::kInputEvent, 0, reinterpret_cast<LPARAM>(r))) delete r;
        auto* st = new EditorState(Form(7, 10, ""));
        if (!PostMessageW(w, uimsg::kNewState, 0, reinterpret_cast<LPARAM>(st))) delete st;
    }
    ASSERT_TRUE(WaitFor([] { return !PluginOverlay().editor_open.load(); }));
    EXPECT_FALSE(IsWindow(w));
}

double ThreadCpuSeconds(HANDLE thread) {
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(thread, &created, &exited, &kernel, &user)) return -1;
    auto seconds = [](const FILETIME& f) { return double((std::uint64_t(f.dwHighDateTime) << 32) | f.dwLowDateTime) / 1e7; };
    return seconds(kernel) + seconds(user);
}

// A fixed integer workload: its time here against the same on the host is the emulation factor.
double WorkloadMs() {
    const auto start = std::chrono::steady_clock::now();
    volatile std::uint32_t h = 0x811C9DC5u;
    for (std::uint32_t i = 0; i < 20000000u; ++i) h = (h ^ (i & 0xFF)) * 16777619u;
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

TEST_F(UiWindowTest, AStaticScreenCostsLittleCpu) {
    Open(Consent("Test_Player"));
    HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, UiThreadId());
    ASSERT_TRUE(thread);
    const double cpu0 = ThreadCpuSeconds(thread);
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(10s);
    const double cpu = ThreadCpuSeconds(thread) - cpu0;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    CloseHandle(thread);
    const double ticks = wall * 1000.0 / kRenderPeriodMs;
    std::printf("[ figures  ] UI thread on a static screen: %.2f s CPU in %.1f s = %.1f %% of a core, %.2f ms a tick; "
                "20M-step workload %.0f ms here\n",
                cpu, wall, 100.0 * cpu / wall, 1000.0 * cpu / ticks, WorkloadMs());
    // Under emulation the share is many times the native one; this only catches a runaway loop.
    EXPECT_LT(cpu / wall, 0.9);
}

TEST_F(UiWindowTest, FiftyOpensLeaveNoGdiOrUserObjects) {
    Open(Form(7, 10, ""));  // the first open loads the library and registers the class
    PostCloseEditor();
    ASSERT_TRUE(WaitFor([] { return !PluginOverlay().editor_open.load(); }));
    const DWORD gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    const DWORD user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    if (gdi == 0 && user == 0) GTEST_SKIP() << "this Windows does not count GDI and USER objects";
    for (int i = 0; i < 50; ++i) {
        Open(Form(7, i % 2 ? 10 : 0, "{\\rtf1 text " + std::to_string(i) + "}"));
        PostCloseEditor();
        ASSERT_TRUE(WaitFor([] { return !PluginOverlay().editor_open.load(); }));
    }
    EXPECT_LE(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), gdi + 2);
    EXPECT_LE(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS), user + 2);
}

}  // namespace
}  // namespace hm
