// The in-game computer's UI thread in the fake game with the shipped plugin: the session's consent
// dialog on screen, answered with real clicks and keys.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cctype>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "base/text1250.h"
#include "tools/e2e/e2e_harness.h"
#include "tools/fake_api/demo_world.h"
#include "tools/fake_api/editor_world.h"

namespace hm::e2e {
namespace {

using namespace std::chrono_literals;

constexpr CanvasPoint kConsentPanel{30, 300};
constexpr CanvasPoint kConsentPrimary{30, 720};  // inside "Souhlasím", left of its label
constexpr unsigned kPanelRgb = 0xFFFFFF;
constexpr unsigned kPrimaryRgb = 0x2260AA;  // the primary button colour 0xAA6022 as RGB

long long Counter(Scenario& s, int which) { return std::stoll(s.Ok("graphics " + std::to_string(which))); }
constexpr int kPresents = 0, kOverlayUploads = 1;

// Overlay texture uploads and frames over `ms` of the game running.
std::pair<long long, long long> UploadsDuring(Scenario& s, int ms) {
    const long long uploads = Counter(s, kOverlayUploads), frames = Counter(s, kPresents);
    s.Ok("run " + std::to_string(ms));
    return {Counter(s, kOverlayUploads) - uploads, Counter(s, kPresents) - frames};
}

std::string ClickAt(CanvasPoint p) { return "canvasclick " + std::to_string(p.x) + " " + std::to_string(p.y); }
// canvasdown, canvasmove or canvasup at a canvas point.
std::string MouseAt(const char* what, CanvasPoint p) {
    return std::string(what) + " " + std::to_string(p.x) + " " + std::to_string(p.y);
}

std::size_t Occurrences(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
    return n;
}

class ConsentInGame : public testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("HM_WIN32_BIN") || !std::getenv("HM_WINE_RUN")) GTEST_SKIP() << "needs HM_WIN32_BUILD";
    }
    void Start(Scenario& s, const std::string& name) {
        fake::ScriptDemoWorld(s.api(), 100000);
        s.WriteIni(s.DefaultIni());
        GameOptions options;
        options.name = name;
        s.StartGame(options);
        ASSERT_TRUE(s.RenderUntil([&] { return Field(s.Ok("plugin"), "worker_stage") >= 4; }, 60s));
        ASSERT_EQ(s.Ok("focus").find("foreground=1"), 0u);
    }
    void AskForConsent(Scenario& s) {
        s.Ok("key down CTRL");
        s.Ok("key tap F10");
        s.Ok("key up CTRL");
        ASSERT_TRUE(RenderUntilCanvasColour(s, kConsentHeader.x, kConsentHeader.y, kDialogHeaderRgb, 30s))
            << s.GameLog();
    }
};

TEST_F(ConsentInGame, EscRefusesAndAClickOnSouhlasimPairs) {
    Scenario s("consent_click");
    Start(s, "Test_Player");

    // Esc: no consent, a sticky notice, nothing sent.
    AskForConsent(s);
    s.Ok("key tap ESC");
    EXPECT_TRUE(s.RenderUntil([&] { return CanvasColour(s, kConsentHeader.x, kConsentHeader.y) != long(kDialogHeaderRgb); }, 20s));
    EXPECT_TRUE(s.RenderUntil([&] { return s.Ok("pixel 13 30") == "ff64e2c5"; }, 20s)) << s.Ok("pixel 13 30");
    EXPECT_TRUE(s.api().RequestsTo("POST", "/pair").empty());

    // Again, and this time the player agrees with a click on the first button.
    AskForConsent(s);
    s.Screenshot("consent.png");
    EXPECT_EQ(CanvasColour(s, kConsentPanel.x, kConsentPanel.y), long(kPanelRgb));
    EXPECT_EQ(CanvasColour(s, kConsentPrimary.x, kConsentPrimary.y), long(kPrimaryRgb));
    // A dialog that does not change is uploaded once, then no more.
    const auto [uploads, frames] = UploadsDuring(s, 3000);
    std::printf("[ figures  ] static consent dialog: %lld overlay uploads in %lld frames (3 s)\n", uploads, frames);
    EXPECT_EQ(uploads, 0);
    s.Ok("events");  // forget what came before
    s.Ok(ClickAt(kConsentAgree));
    ASSERT_TRUE(s.api().WaitFor("POST", "/pair", 20s).has_value());
    EXPECT_TRUE(s.RenderUntil([&] { return CanvasColour(s, kConsentHeader.x, kConsentHeader.y) != long(kDialogHeaderRgb); }, 20s));
    const std::string events = s.Ok("events");
    EXPECT_EQ(events.find("LBUTTON"), std::string::npos) << "the game saw the click: " << events;
    EXPECT_EQ(s.api().RequestsTo("POST", "/pair").size(), 1u);
    EXPECT_EQ(s.Quit(), 0);
}

TEST_F(ConsentInGame, WithoutAPlayerNameNothingIsSent) {
    Scenario s("consent_no_name");
    Start(s, "");
    AskForConsent(s);
    s.Ok(ClickAt(kConsentAgree));
    s.Ok("key tap ENTER");
    s.Ok("run 1500");
    // The dialog stays, nothing went out.
    EXPECT_EQ(CanvasColour(s, kConsentHeader.x, kConsentHeader.y), long(kDialogHeaderRgb));
    EXPECT_TRUE(s.api().RequestsTo("POST", "/pair").empty());
    s.Screenshot("consent_no_name.png");
    EXPECT_EQ(s.Quit(), 0);
}

// The text of an RTF answer as a reader sees it: groups that are destinations ({\\* ...},
// font and colour tables) left out, \\'hh as a code page 1250 byte, \\uN as its character,
// \\par and \\line as line breaks; returned in UTF-8.
std::string RtfText(const std::string& rtf) {
    std::u16string out;
    std::vector<bool> skip{false};
    int uc_skip = 0;
    for (std::size_t i = 0; i < rtf.size();) {
        const char c = rtf[i];
        if (c == '{') {
            const bool destination = rtf.compare(i + 1, 2, "\\*") == 0 || rtf.compare(i + 1, 8, "\\fonttbl") == 0 ||
                                     rtf.compare(i + 1, 9, "\\colortbl") == 0 || rtf.compare(i + 1, 11, "\\stylesheet") == 0;
            skip.push_back(skip.back() || destination);
            ++i;
            continue;
        }
        if (c == '}') {
            if (skip.size() > 1) skip.pop_back();
            ++i;
            continue;
        }
        if (c == '\\' && i + 1 < rtf.size()) {
            const char n = rtf[i + 1];
            if (n == '\'' && i + 3 < rtf.size()) {
                if (!skip.back()) {
                    if (uc_skip > 0) --uc_skip;
                    else out += Cp1250ToUtf16(std::string(1, char(std::stoi(rtf.substr(i + 2, 2), nullptr, 16))));
                }
                i += 4;
                continue;
            }
            if (!std::isalpha(static_cast<unsigned char>(n))) {
                if (!skip.back()) out += char16_t(static_cast<unsigned char>(n));
                i += 2;
                continue;
            }
            std::size_t j = i + 1;
            while (j < rtf.size() && std::isalpha(static_cast<unsigned char>(rtf[j]))) ++j;
            const std::string word = rtf.substr(i + 1, j - i - 1);
            std::size_t k = j;
            if (k < rtf.size() && (rtf[k] == '-' || std::isdigit(static_cast<unsigned char>(rtf[k])))) ++k;
            while (k < rtf.size() && std::isdigit(static_cast<unsigned char>(rtf[k]))) ++k;
            const std::string number = rtf.substr(j, k - j);
            if (k < rtf.size() && rtf[k] == ' ') ++k;
            if (!skip.back()) {
                if (word == "par" || word == "line") out += u'\n';
                if (word == "u" && !number.empty()) {
                    out += char16_t(std::stoi(number) & 0xFFFF);
                    uc_skip = 1;
                }
            }
            i = k;
            continue;
        }
        if (c != '\r' && c != '\n' && !skip.back()) {
            if (uc_skip > 0) --uc_skip;
            else out += Cp1250ToUtf16(std::string(1, c));
        }
        ++i;
    }
    // UTF-8 for the messages and comparisons of the test.
    std::string utf8;
    for (char16_t u : out) {
        if (u < 0x80) utf8 += char(u);
        else if (u < 0x800) utf8 += {char(0xC0 | (u >> 6)), char(0x80 | (u & 0x3F))};
        else utf8 += {char(0xE0 | (u >> 12)), char(0x80 | ((u >> 6) & 0x3F)), char(0x80 | (u & 0x3F))};
    }
    return utf8;
}

TEST(RtfReader, ReadsTheTextOfAnAnswer) {
    EXPECT_EQ(RtfText("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{\\*\\generator x;}\\f0 ahoj \\'e8au\\par \\u382?lut\\'fd}"),
              "ahoj čau\nžlutý");
}

constexpr CanvasPoint kFormHeader{300, 20};
constexpr CanvasPoint kRestoreBarPoint{50, 732};  // left of the bar's label
constexpr unsigned kRestoreBarRgb = 0x193556;
// The form's text box (46,180, 698 x 120): its first line's first letter, and past the line's end.
constexpr CanvasPoint kLineStart{48, 188};
constexpr CanvasPoint kPastTheLine{700, 188};

// The computer's desktop (the editor world's screen 31) at the canvas points its layout gives.
constexpr unsigned kDesktopBackdropRgb = 0xDFE5EC;  // RGB(223,229,236)
constexpr unsigned kWordGlyphRgb = 0x1E88E5;        // glyph 5, document
constexpr unsigned kArchiveGlyphRgb = 0x455A64;     // glyph 20, the police rule's default
constexpr unsigned kStripUnsignedRgb = 0xE8EDF3;
constexpr unsigned kStripSignedRgb = 0xFFE7C2;
// A point of the icon in grid slot p (5 columns of 146 px from x 40, rows of 108 px from y 146;
// the 40 px icon at +52, +6), inside its coloured square and clear of its picture.
CanvasPoint IconPoint(int p) { return {40 + 146 * (p % 5) + 54, 146 + 108 * (p / 5) + 26}; }
CanvasPoint TilePoint(int p) { return {40 + 146 * (p % 5) + 70, 146 + 108 * (p / 5) + 40}; }
std::string At(const char* command, CanvasPoint p) {
    return std::string(command) + " " + std::to_string(p.x) + " " + std::to_string(p.y);
}
constexpr CanvasPoint kNextPage{720, 598}, kPreviousPage{80, 598}, kSignButton{600, 200}, kStrip{30, 660};

// Icons paged, dragged and opened with the game's mouse; the contract signed with two clicks.
void UseTheComputerDesktop(Scenario& s, fake::EditorWorld& world) {
    fake::FakeApi& api = s.api();
    const auto started = std::chrono::steady_clock::now();
    s.Ok("dblclicktime 5000");  // two clicks one command apart can be 500 ms apart under qemu
    world.OpenComputer();
    ASSERT_TRUE(RenderUntilCanvasColour(s, 4, 4, kDesktopBackdropRgb, 30s)) << s.GameLog();
    ASSERT_TRUE(RenderUntilCanvasColour(s, IconPoint(0).x, IconPoint(0).y, kWordGlyphRgb, 10s));
    s.Screenshot("computer-desktop.png");

    // Page 2 holds Archiv in its third tile; back on page 1 Word is where it was.
    s.Ok(ClickAt(kNextPage));
    EXPECT_TRUE(RenderUntilCanvasColour(s, IconPoint(2).x, IconPoint(2).y, kArchiveGlyphRgb, 10s));
    s.Ok(ClickAt(kPreviousPage));
    EXPECT_TRUE(RenderUntilCanvasColour(s, IconPoint(0).x, IconPoint(0).y, kWordGlyphRgb, 10s));
    EXPECT_NE(CanvasColour(s, IconPoint(2).x, IconPoint(2).y), long(kArchiveGlyphRgb));

    // Word dragged to the empty slot 7: one body, and the icon stays there after the refresh.
    s.Ok(At("canvasdown", TilePoint(0)));
    s.Ok(At("canvasmove", {TilePoint(0).x + 12, TilePoint(0).y}));
    s.Ok(At("canvasmove", TilePoint(7)));
    s.Ok(At("canvasup", TilePoint(7)));
    ASSERT_TRUE(s.RenderUntil([&] { return !world.PositionBodies().empty(); }, 20s));
    EXPECT_EQ(world.PositionBodies().front(), "31\nword\n7");
    ASSERT_TRUE(s.RenderUntil([&] {
        bool moved = false;
        for (const auto& r : api.Requests()) {
            if (r.path == "/editor/desktop-position") moved = true;
            else if (moved && r.path == "/editor/state" && r.query.empty()) return true;  // the refresh
        }
        return false;
    }, 20s));
    EXPECT_TRUE(RenderUntilCanvasColour(s, IconPoint(7).x, IconPoint(7).y, kWordGlyphRgb, 10s));
    EXPECT_NE(CanvasColour(s, IconPoint(0).x, IconPoint(0).y), long(kWordGlyphRgb));
    EXPECT_EQ(world.PositionBodies().size(), 1u);

    // A double click on the contract opens it: its signature sheet, unsigned.
    const std::size_t answers = world.Results().size();
    s.Ok(ClickAt(TilePoint(3)));
    s.Ok(ClickAt(TilePoint(3)));
    ASSERT_TRUE(s.RenderUntil([&] { return world.Results().size() > answers; }, 20s));
    EXPECT_EQ(world.Results().back(), "31\n1\n{\\rtf1\\hmsel12 }");
    ASSERT_TRUE(RenderUntilCanvasColour(s, kStrip.x, kStrip.y, kStripUnsignedRgb, 30s));

    // "Elektronicky podepsat" twice: the first click only asks (desktop_win_test waits to see
    // that nothing goes out), the second signs.
    s.Ok(ClickAt(kSignButton));
    s.Ok(ClickAt(kSignButton));
    ASSERT_TRUE(s.RenderUntil([&] { return world.Results().size() > answers + 1; }, 20s));
    EXPECT_EQ(world.Results().back(), "40\n2\n{\\rtf1\\hmsign1 }");
    EXPECT_EQ(world.Results().size(), answers + 2);
    EXPECT_TRUE(RenderUntilCanvasColour(s, kStrip.x, kStrip.y, kStripSignedRgb, 30s));
    s.Screenshot("document-signed.png");
    std::printf("[ figures  ] desktop scenario: %lld s\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started).count()));
    std::printf("[ bodies   ] %s | %s | %s\n", fake::DescribeEditorBody(world.PositionBodies().front()).c_str(),
                fake::DescribeEditorBody(world.Results()[answers]).c_str(),
                fake::DescribeEditorBody(world.Results().back()).c_str());
}

class ServerFormInGame : public testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("HM_WIN32_BIN") || !std::getenv("HM_WINE_RUN")) GTEST_SKIP() << "needs HM_WIN32_BUILD";
    }
};

// One game for the whole conversation (CI time): the server opens form 7, a short Czech answer
// that also takes a picture of the scene as a sketch.
TEST_F(ServerFormInGame, FormIsShownMinimisedRestoredTypedAndAnsweredAndItsSketchUploaded) {
    Scenario s("server_form");
    ForgetDeviceAtEnd forget{s.dir()};
    fake::FakeApi& api = s.api();
    fake::ScriptDemoWorld(api, 0);
    fake::EditorWorldOptions options;
    options.open_after_polls = 3;
    options.picture_slot = 1;
    options.picture_mode = 3;
    fake::EditorWorld world(options);
    world.Attach(api);
    ASSERT_EQ(RunSessionProbe(s.dir(), {"save-plugin", api.BaseUrl(), fake::kDemoDeviceCredential}), 0);
    IniKeys ini = s.DefaultIni();
    ini.push_back({"AutoConnect", "1"});
    s.WriteIni(ini);
    s.StartGame();
    ASSERT_EQ(s.Ok("focus").find("foreground=1"), 0u);

    // Connected by the remembered device, the server opens the form: it is shown.
    ASSERT_TRUE(RenderUntilCanvasColour(s, kFormHeader.x, kFormHeader.y, kDialogHeaderRgb, 90s)) << s.GameLog();
    s.Screenshot("computer-screen.png");

    // The screen asked for a picture of the scene: a 267 x 294 PNG goes up as its sketch.
    ASSERT_TRUE(s.RenderUntil([&] { return !world.Sketches().empty(); }, 30s));
    const fake::SketchUpload sketch = world.Sketches().front();
    EXPECT_EQ(sketch.query, "request=7");
    EXPECT_EQ(sketch.width, 267u);
    EXPECT_EQ(sketch.height, 294u);

    // While it is open, polls name it.
    ASSERT_TRUE(s.RenderUntil([&] {
        for (const auto& r : api.RequestsTo("GET", "/editor/state"))
            if (r.query == "current=7") return true;
        return false;
    }, 20s));

    // Ctrl+F12 leaves only the restore bar; a click on it brings the form back.
    s.Ok("key down CTRL");
    s.Ok("key down F12");
    s.Ok("run 300");  // the worker samples the keys every 30 ms
    s.Ok("key up F12");
    s.Ok("key up CTRL");
    const bool minimised = RenderUntilCanvasColour(s, kRestoreBarPoint.x, kRestoreBarPoint.y, kRestoreBarRgb, 20s);
    s.Screenshot("minimised.png");
    ASSERT_TRUE(minimised) << CanvasColour(s, kRestoreBarPoint.x, kRestoreBarPoint.y);
    EXPECT_NE(CanvasColour(s, kFormHeader.x, kFormHeader.y), long(kDialogHeaderRgb));
    s.Ok(ClickAt(kRestoreBarPoint));
    ASSERT_TRUE(RenderUntilCanvasColour(s, kFormHeader.x, kFormHeader.y, kDialogHeaderRgb, 20s));

    // The form's text box blinks its caret twice a second: that many uploads, no more.
    const auto [uploads, frames] = UploadsDuring(s, 4000);
    std::printf("[ figures  ] form with a caret: %lld overlay uploads in %lld frames (4 s)\n", uploads, frames);
    EXPECT_GE(uploads, 1);
    EXPECT_LE(uploads, 10);

    // The game's own mouse drags over the form's line, from past its end to its first letter:
    // Ctrl+X cuts what that selected and two Ctrl+V put it back twice.
    s.Ok(MouseAt("canvasdown", kPastTheLine));
    s.Ok(MouseAt("canvasmove", {400, 186}));
    s.Ok(MouseAt("canvasmove", kLineStart));
    s.Ok(MouseAt("canvasup", kLineStart));
    s.Ok("key down CTRL");
    for (const char* key : {"X", "V", "V"}) s.Ok(std::string("key tap ") + key);
    s.Ok("key up CTRL");
    s.Ok("key tap 35");  // End
    // "ahoj" typed on the game's keyboard, the first button sends it.
    for (const char* key : {"A", "H", "O", "J"}) s.Ok(std::string("key tap ") + key);
    s.Ok("run 1000");
    s.Ok(ClickAt(kConsentAgree));  // the first bottom button, where consent has "Souhlasím"
    ASSERT_TRUE(s.RenderUntil([&] { return !world.Results().empty(); }, 30s));
    const std::string answer = world.Results().front();
    EXPECT_EQ(answer.rfind("7\n1\n{\\rtf1", 0), 0u) << answer;
    EXPECT_EQ(answer.find('\0'), std::string::npos) << "a NUL byte went to the server";
    // The document holds the form's own text and what was typed.
    const std::string text = RtfText(answer.substr(answer.find('{')));
    EXPECT_NE(text.find("Napiš krátkou odpověď úřednici městského úřadu."), std::string::npos) << text;
    EXPECT_NE(text.find("ahoj"), std::string::npos) << text;
    EXPECT_EQ(Occurrences(text, "Napiš krátkou odpověď úřednici městského úřadu."), 2u) << "the dragged selection: " << text;
    std::printf("[ answer   ] %s\n[ as sent  ] %s\n", text.c_str(), answer.c_str());

    // The server closes it: 204, and the overlay is gone.
    EXPECT_TRUE(s.RenderUntil([&] { return CanvasColour(s, kFormHeader.x, kFormHeader.y) != long(kDialogHeaderRgb); }, 20s));
    EXPECT_FALSE(world.FormOpen());

    UseTheComputerDesktop(s, world);
    EXPECT_EQ(s.Quit(), 0);
}

}  // namespace
}  // namespace hm::e2e
