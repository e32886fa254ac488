#include "computer/editor_sync.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/text1250.h"
#include "net/scripted_api_test_util.h"

namespace hm {
namespace {

using testing::ElementsAre;

const std::string kToken = "1111111111111111111111111111111111111111111111111111111111111111";

using Reply = test::ScriptedReply;
using Sent = test::ScriptedSent;
using test::Status;
Reply Silent() { return test::NetworkDown(); }

// The editor endpoints: state polls answer 202 and everything else 200 unless scripted.
struct ScriptedServer : test::ScriptedApi {
    ScriptedServer()
        : ScriptedApi([](const std::string& key) {
              return key.rfind("GET /editor/state", 0) == 0 ? Status(202) : Status(200);
          }) {}
};

// The UI thread as EditorSync sees it: starts, posted states and closes. A started thread claims
// the editor; a close ends it as the window would.
struct FakeWindow {
    EditorExchange* ex = nullptr;
    std::vector<EditorState> started, posted;
    int closes = 0;
    bool closes_window = true;

    EditorWindowSeam Seam() {
        EditorWindowSeam s;
        s.start = [this](const EditorState& st) {
            if (!ClaimEditorOpen(*ex, st)) return false;
            started.push_back(st);
            return true;
        };
        s.post_new_state = [this](const EditorState& st) {
            if (!ex->editor_open()) return false;
            posted.push_back(st);
            return true;
        };
        s.post_close = [this] {
            if (!ex->editor_open()) return false;
            ++closes;
            if (closes_window) {
                EditorWindowGone(*ex);
                ReleaseEditorOpen(*ex);
            }
            return true;
        };
        return s;
    }
};

// The test's UTF-8 literals as the server's code page 1250 bytes.
std::string Cp1250(const std::string& utf8) {
    std::u16string wide;
    for (std::size_t i = 0; i < utf8.size();) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            wide += char16_t(c);
            i += 1;
        } else if ((c & 0xE0) == 0xC0) {
            wide += char16_t(((c & 0x1F) << 6) | (utf8[i + 1] & 0x3F));
            i += 2;
        } else {
            wide += char16_t(((c & 0x0F) << 12) | ((utf8[i + 1] & 0x3F) << 6) | (utf8[i + 2] & 0x3F));
            i += 3;
        }
    }
    return Utf16ToCp1250(wide);
}

// A state body: id, title, content, buttons, read-only, signature, kind, then the named tail.
struct Screen {
    int id = 7;
    int kind = 10;
    std::string content = "Napiš odpověď";
    std::string button2 = "Zrušit";
    bool paper = false;
    int page = 0;
    int picture_mode = 0;
    int picture_count = 0;
    std::uint32_t flags = 0;
    std::string title = "Formulář";
    std::string clock = "";

    std::string Body() const {
        std::vector<std::string> l = {std::to_string(id), title, content, "Odeslat", button2, "", "", "0", "",
                                      std::to_string(kind), "form:" + std::to_string(id), "Popis", "0",
                                      std::to_string(page), "3", "0", "0", paper ? "1" : "0", "0", "0", "0", "0", "0",
                                      "0", "", std::to_string(picture_mode), std::to_string(picture_count),
                                      std::to_string(std::int32_t(flags)), "0", "", clock};
        std::string body;
        for (const std::string& line : l) body += Cp1250(line) + "\n";
        return body;
    }
};

class EditorSyncTest : public testing::Test {
protected:
    EditorSyncTest() {
        window.ex = &ex;
        seam = window.Seam();
        fx.request = [this](const ApiClient&, const std::string& method, const std::string& path,
                            const std::string& bearer, const std::string& body, std::uint32_t) {
            return server.Handle(method, path, bearer, body);
        };
        fx.encode_sketch = [this](const Pixels& p) {
            if (encode_fails) throw std::runtime_error("Windows API failure at line 603: 0x80004005");
            return "PNG" + std::to_string(p.width()) + "x" + std::to_string(p.height());
        };
        fx.decode_picture = [](const std::string& bytes) -> PixelsRef {
            if (bytes == "tiny") return nullptr;
            if (bytes != "JPEG") throw std::runtime_error("invalid picture");
            return MakePixels(4, 3);
        };
        fx.window = &seam;
        OfferEditorSession(sync, ApiClient{}, kToken);
    }

    // One worker pass at the fake clock, which then moves by `step` ms.
    void Pass(Tick step = 210, EditorKeys keys = {}) {
        const Tick at = now;
        now += step;  // also when the run throws
        EditorSyncPass(ex, sync, fx, at, keys);
    }
    // Opens the screen: a 200 for the first poll, shown in a fresh window.
    void Open(const Screen& screen) {
        server.Next("GET /editor/state", Status(200, screen.Body()));
        Pass();
        ASSERT_TRUE(ex.editor_open());
        ASSERT_EQ(ex.current_request_id, screen.id);
    }
    std::string Result() {
        std::lock_guard<std::mutex> hold(overlay.lock);
        return ex.result;
    }
    std::wstring LastStatus() { return CopyLastEditorState(ex).status_text; }
    // The window gone and no screen current: the next state opens a new window.
    void Forget() {
        overlay.editor_open = false;
        ex.current_request_id = 0;
        window.started.clear();
        window.posted.clear();
        server.sent.clear();
    }

    OverlayState overlay;
    EditorExchange ex{overlay};
    EditorSyncRecord sync;
    EditorSyncEffects fx;
    ScriptedServer server;
    FakeWindow window;
    EditorWindowSeam seam;
    Tick now = 100000;
    bool encode_fails = false;
};

TEST_F(EditorSyncTest, WithoutASessionOnlyTheMinimiseKeyRuns) {
    CloseEditorSession(ex, sync, fx);
    for (int i = 0; i < 5; ++i) Pass();
    EXPECT_TRUE(server.sent.empty());
}

TEST_F(EditorSyncTest, CtrlF12TogglesOncePerPressWhenTheScreenMayBeMinimised) {
    struct Case {
        const char* what;
        bool open;
        int kind;
        bool login;
        bool in_front;
        bool toggles;
    } cases[] = {
        {"open computer screen", true, 16, false, true, true},
        {"game not in front", true, 16, false, false, false},
        {"no screen open", false, 16, false, true, false},
        {"login screen", true, 16, true, true, false},
        {"consent dialog", true, 3, false, true, false},
    };
    for (const Case& c : cases) {
        overlay.editor_open = c.open;
        overlay.computer_minimized = false;
        ex.login_screen = c.login;
        ex.last_state.kind = c.kind;
        const EditorKeys held{true, true, c.in_front};
        Pass(30, held);
        Pass(30, held);
        Pass(30, held);
        EXPECT_EQ(overlay.computer_minimized.load(), c.toggles) << c.what << ": held for three passes";
        Pass(30, {});
        Pass(30, held);
        EXPECT_FALSE(overlay.computer_minimized.load()) << c.what << ": the second press restores";
        Pass(30, {});
    }
    // F12 alone or Ctrl alone is no press.
    overlay.editor_open = true;
    ex.login_screen = false;
    ex.last_state.kind = 16;
    Pass(30, {false, true, true});
    Pass(30, {true, false, true});
    EXPECT_FALSE(overlay.computer_minimized.load());
    // A login screen never stays minimised.
    overlay.computer_minimized = true;
    ex.login_screen = true;
    Pass(30, {});
    EXPECT_FALSE(overlay.computer_minimized.load());
}

TEST_F(EditorSyncTest, ASessionDialogOnScreenStopsTheRun) {
    EditorState dialog;
    dialog.request_id = -1;
    dialog.kind = 3;
    ASSERT_TRUE(ClaimEditorOpen(ex, dialog));
    SetPendingSketch(ex, 7, MakePixels(2, 2));
    for (int i = 0; i < 5; ++i) Pass();
    EXPECT_TRUE(server.sent.empty());
}

TEST_F(EditorSyncTest, AFirstScreenOpensTheWindowAndLaterPollsNameIt) {
    Screen s;
    s.clock = "clock=615";
    Open(s);
    ASSERT_EQ(window.started.size(), 1u);
    EXPECT_EQ(window.started[0].kind, 10);
    EXPECT_EQ(window.started[0].content, Cp1250("Napiš odpověď"));
    EXPECT_EQ(CopyLastEditorState(ex).request_id, 7);
    EXPECT_EQ(GameClockText(ex), L"10:15");
    EXPECT_EQ(server.sent[0].path, "/editor/state");
    EXPECT_EQ(server.sent[0].bearer, kToken);
    Pass();
    EXPECT_EQ(server.sent.back().path, "/editor/state?current=7");
}

TEST_F(EditorSyncTest, OneRequestPer200Ms) {
    Pass(199);
    Pass(1);
    EXPECT_EQ(server.sent.size(), 1u) << "199 ms after the first request";
    Pass();
    EXPECT_EQ(server.sent.size(), 2u) << "200 ms after it";
}

TEST_F(EditorSyncTest, TheGameClockComesFrom202AnswersInRangeOnly) {
    EXPECT_EQ(GameClockText(ex), L"--:--");
    struct Case {
        const char* body;
        const wchar_t* clock;
    } cases[] = {
        {"clock=0", L"00:00"},   {"clock=1439\nrest", L"23:59"}, {"clock=1440", L"23:59"},
        {"junk", L"23:59"},      {"clock=-5", L"23:59"},          {"", L"23:59"},
        {"clock=61", L"01:01"},
    };
    for (const Case& c : cases) {
        server.Next("GET /editor/state", Status(202, c.body));
        Pass();
        EXPECT_EQ(GameClockText(ex), c.clock) << c.body;
    }
}

TEST_F(EditorSyncTest, AnUnansweredScreenClosesAfter12SecondsOf202) {
    Open(Screen{});
    ASSERT_TRUE(SubmitEditorResult(ex, {7, 1, "{\\rtf1 ahoj}"}, true, now));
    Pass();  // the answer goes out
    EXPECT_EQ(server.sent.back().Key(), "POST /editor/result");
    EXPECT_EQ(server.sent.back().body, "7\n1\n{\\rtf1 ahoj}");
    while (now < ex.answer_deadline - 210) Pass();
    EXPECT_EQ(server.sent.back().path, "/editor/state") << "awaiting: no ?current=";
    EXPECT_EQ(window.closes, 0);
    now = ex.answer_deadline;
    Pass();
    EXPECT_EQ(window.closes, 1);
    EXPECT_FALSE(ex.editor_open());
}

TEST_F(EditorSyncTest, NoScreenOnTheServerClosesAnOpenWindowOnly) {
    server.Next("GET /editor/state", Status(204));
    Pass();
    EXPECT_EQ(window.closes, 0) << "204 while no window is open posts nothing";
    Open(Screen{});
    server.Next("GET /editor/state?current=7", Status(204));
    Pass();
    EXPECT_EQ(window.closes, 1);
}

TEST_F(EditorSyncTest, OnePendingBodyPerPassInItsOrder) {
    Open(Screen{});
    struct Case {
        std::vector<EditorBody> pending;
        std::vector<std::string> sent;  // in this order, one a pass; anything else was dropped
    } cases[] = {
        {{EditorBody::kPage, EditorBody::kReorder}, {"/editor/page"}},
        {{EditorBody::kReorder, EditorBody::kSignatureDelete, EditorBody::kPage}, {"/editor/signatures/delete"}},
        {{EditorBody::kReorder, EditorBody::kDesktopPosition}, {"/editor/reorder", "/editor/desktop-position"}},
        {{EditorBody::kBook, EditorBody::kFilesAction, EditorBody::kDesktopPosition},
         {"/editor/desktop-position", "/editor/files-action", "/editor/book"}},
        {{EditorBody::kFilesAction, EditorBody::kAttachment}, {"/editor/files-action", "/editor/attachment"}},
        {{EditorBody::kBook, EditorBody::kAttachment}, {"/editor/attachment"}},
        {{EditorBody::kBook}, {"/editor/book"}},
    };
    for (const auto& c : cases) {
        for (EditorBody b : c.pending) PostEditorBody(ex, b, "7\n" + std::to_string(int(b)));
        const std::size_t before = server.sent.size();
        for (int i = 0; i < 5; ++i) Pass();
        std::vector<std::string> posted;
        for (std::size_t i = before; i < server.sent.size(); ++i)
            if (server.sent[i].method == "POST") posted.push_back(server.sent[i].path);
        EXPECT_EQ(posted, c.sent) << c.sent.front();
        EXPECT_EQ(server.sent[before].method, "POST") << "the first body goes before any poll";
    }
}

TEST_F(EditorSyncTest, ASuccessfulActionPollsAtOnceAndTheStateReachesTheWindow) {
    Open(Screen{});
    PostEditorBody(ex, EditorBody::kPage, "7\n2");
    Pass(30);
    Screen next;
    next.page = 2;
    server.Next("GET /editor/state", Status(200, next.Body()));
    Pass();  // 30 ms later: no pacing wait after a successful POST
    EXPECT_THAT(server.Keys(), ElementsAre("GET /editor/state", "POST /editor/page", "GET /editor/state"));
    ASSERT_EQ(window.posted.size(), 1u);
    EXPECT_EQ(window.posted[0].page, 2);
    EXPECT_FALSE(ex.state_refresh_wanted);
    Pass();
    EXPECT_EQ(server.sent.back().path, "/editor/state?current=7");
}

TEST_F(EditorSyncTest, ARefusedActionShowsItsNoticeOnTheScreen) {
    Open(Screen{});
    struct Case {
        EditorBody body;
        const char* path;
        int status;
        const wchar_t* notice;
    } cases[] = {
        {EditorBody::kSignatureDelete, "/editor/signatures/delete", 500, L"Změna se nepodařila (HTTP 500). Otevři dokument znovu."},
        {EditorBody::kPage, "/editor/page", 403, L"Změna se nepodařila (HTTP 403). Otevři dokument znovu."},
        {EditorBody::kReorder, "/editor/reorder", 409, L"Změna se nepodařila (HTTP 409). Otevři dokument znovu."},
        {EditorBody::kDesktopPosition, "/editor/desktop-position", 400,
         L"Rozložení ikon se nepodařilo uložit (HTTP 400). Otevři plochu znovu."},
        {EditorBody::kFilesAction, "/editor/files-action", 404, L"Přesun se nepodařil (HTTP 404)."},
        {EditorBody::kBook, "/editor/book", 201, L"Akci server odmítl (HTTP 201). Ověř oprávnění a aktuální stav spisu."},
        {EditorBody::kAttachment, "/editor/attachment", 502,
         L"Akci server odmítl (HTTP 502). Ověř oprávnění a aktuální stav spisu."},
    };
    for (const Case& c : cases) {
        window.posted.clear();
        server.Next(std::string("POST ") + c.path, Status(c.status));
        PostEditorBody(ex, c.body, "7\n1");
        Pass();
        ASSERT_EQ(window.posted.size(), 1u) << c.path;
        EXPECT_EQ(window.posted[0].status_text, c.notice);
        EXPECT_EQ(window.posted[0].request_id, 7);
        EXPECT_TRUE(LastStatus().empty()) << "the notice is shown once, not kept in the last state";
        EXPECT_FALSE(ex.state_refresh_wanted);
    }
}

TEST_F(EditorSyncTest, AnswersThatTheServerTookAreCleared) {
    Open(Screen{});
    for (int status : {200, 404}) {
        ASSERT_TRUE(SubmitEditorResult(ex, {7, 1, "x"}, true, now));
        server.Next("POST /editor/result", Status(status));
        Pass();
        EXPECT_EQ(Result(), "") << status;
    }
    // A newer answer stored while the first was on its way stays for the next pass.
    ASSERT_TRUE(SubmitEditorResult(ex, {7, 1, "first"}, true, now));
    fx.request = [this, inner = fx.request](const ApiClient& c, const std::string& m, const std::string& p,
                                            const std::string& b, const std::string& body, std::uint32_t s) {
        if (p == "/editor/result" && body == "7\n1\nfirst") SubmitEditorResult(ex, {7, 1, "second"}, true, now);
        return inner(c, m, p, b, body, s);
    };
    Pass();
    EXPECT_EQ(Result(), "7\n1\nsecond");
    Pass();
    EXPECT_EQ(server.sent.back().body, "7\n1\nsecond");
    EXPECT_EQ(Result(), "");
}

TEST_F(EditorSyncTest, AnAnswerThatFailedIsSentAgainWithItsText) {
    Open(Screen{});
    ASSERT_TRUE(SubmitEditorResult(ex, {7, 1, "{\\rtf1 dlouh\\'fd text}"}, true, now));
    server.Next("POST /editor/result", Status(500));
    server.Next("POST /editor/result", Silent());
    server.Next("POST /editor/result", Status(302));
    Pass();
    EXPECT_THROW(Pass(), std::runtime_error);
    Pass();
    Pass();
    ASSERT_EQ(server.sent.size(), 5u);
    for (std::size_t i = 1; i < 5; ++i) {
        EXPECT_EQ(server.sent[i].Key(), "POST /editor/result");
        EXPECT_EQ(server.sent[i].body, "7\n1\n{\\rtf1 dlouh\\'fd text}");
    }
    EXPECT_EQ(Result(), "") << "the fourth try was taken";
    EXPECT_TRUE(window.posted.empty());
}

TEST_F(EditorSyncTest, ARefusedDocumentComesBackWithItsTextAndReason) {
    struct Case {
        int kind;
        int status;
        const wchar_t* notice;
        bool keeps_sent_text;
    } cases[] = {
        {10, 409, L"Dokument se změnil nebo byl uzamčen (HTTP 409). Text zůstává zde.", true},
        {0, 413, L"Text překračuje kapacitu serveru (HTTP 413). Text zůstává zde.", true},
        {4, 400, L"Uložení server odmítl (HTTP 400). Text zůstává zde.", true},
        {11, 403, L"Uložení server odmítl (HTTP 403). Text zůstává zde.", true},
        {18, 409, L"Zkontroluj datum a pořadí OD–DO (HTTP 409). Text zůstává zde.", false},
    };
    for (const Case& c : cases) {
        Forget();
        Screen s;
        s.kind = c.kind;
        Open(s);
        ASSERT_TRUE(SubmitEditorResult(ex, {7, 1, "{\\rtf1 ahoj\nsvete}"}, true, now));
        server.Next("POST /editor/result", Status(c.status));
        Pass();
        ASSERT_EQ(window.posted.size(), 1u) << c.kind;
        EXPECT_EQ(window.posted[0].status_text, c.notice);
        EXPECT_EQ(window.posted[0].content, c.keeps_sent_text ? "{\\rtf1 ahoj\nsvete}" : Cp1250("Napiš odpověď"));
        EXPECT_EQ(Result(), "");
        EXPECT_EQ(CopyLastEditorState(ex).status_text, c.notice);
    }
}

TEST_F(EditorSyncTest, ARefusedFileActionStartsOverFromTheServersState) {
    struct Case {
        int kind;
        const char* button2;
    } cases[] = {{1, ""}, {2, ""}, {7, ""}, {8, ""}, {4, "Podepsat"}, {4, "Elektronicky podepsat"}};
    for (const Case& c : cases) {
        Forget();
        Screen s;
        s.kind = c.kind;
        s.button2 = c.button2;
        Open(s);
        ASSERT_TRUE(SubmitEditorResult(ex, {7, 1, "payload"}, true, now));
        server.Next("POST /editor/result", Status(409));
        Pass();
        EXPECT_TRUE(window.posted.empty()) << c.kind;
        EXPECT_EQ(Result(), "");
        EXPECT_EQ(ex.current_request_id, 0);
        // The notice goes with the next state, once.
        Screen again = s;
        again.id = 8;
        server.Next("GET /editor/state", Status(200, again.Body()));
        Pass();
        ASSERT_EQ(window.posted.size(), 1u) << c.kind;
        EXPECT_EQ(window.posted[0].status_text, L"Spis byl aktualizován. Vyber dostupný soubor nebo akci znovu.");
        EXPECT_TRUE(ex.pending_notice.empty());
    }
}

TEST_F(EditorSyncTest, AFailedSignatureOnPaperIsShownAgain) {
    Screen s;
    s.kind = 27;
    s.paper = true;
    Open(s);
    ASSERT_TRUE(SubmitEditorResult(ex, {7, 2, "{\\rtf1}"}, true, now));
    server.Next("POST /editor/result", Status(500));
    Pass();
    ASSERT_EQ(window.posted.size(), 1u);
    EXPECT_EQ(window.posted[0].status_text,
              L"Podpis se nepodařilo uložit (API HTTP 500). Zkus to znovu; pokud chyba trvá, předej tento kód správci.");
    EXPECT_EQ(Result(), "");

    // Without a window the screen opens again.
    window.ex->overlay.editor_open = false;
    ASSERT_TRUE(SubmitEditorResult(ex, {7, 2, "{\\rtf1}"}, true, now));
    server.Next("POST /editor/result", Status(403));
    Pass();
    ASSERT_EQ(window.started.size(), 2u);
    EXPECT_EQ(window.started[1].status_text,
              L"Podpis se nepodařilo uložit (API HTTP 403). Zkus to znovu; pokud chyba trvá, předej tento kód správci.");

    // Action 1 on paper is a plain refusal; 500 there is retried.
    ASSERT_TRUE(SubmitEditorResult(ex, {7, 1, "text"}, true, now));
    server.Next("POST /editor/result", Status(500));
    Pass();
    EXPECT_EQ(Result(), "7\n1\ntext");
}

TEST_F(EditorSyncTest, AnswersOfTheSessionsDialogsNeverReachTheServer) {
    EXPECT_FALSE(SubmitEditorResult(ex, {-1, 0, ""}, true, now));
    EXPECT_EQ(Result(), "");
    EXPECT_FALSE(ex.awaiting_answer.load());
    {
        std::lock_guard<std::mutex> hold(overlay.lock);
        ex.result = "-1\n0\n";
    }
    Pass();
    EXPECT_THAT(server.Keys(), ElementsAre("GET /editor/state"));
    EXPECT_EQ(Result(), "");
}

TEST_F(EditorSyncTest, WhichStatesReachAnOpenWindow) {
    Open(Screen{});
    struct Case {
        const char* what;
        int id;
        bool awaiting, refresh;
        bool delivered;
    } cases[] = {
        {"same screen, nothing asked", 7, false, false, false},
        {"another screen, nothing asked", 9, false, false, false},
        {"awaiting an answer", 9, true, false, true},
        {"after an action", 7, false, true, true},
    };
    for (const Case& c : cases) {
        window.posted.clear();
        ex.current_request_id = 7;
        ex.awaiting_answer = c.awaiting;
        ex.state_refresh_wanted = c.refresh;
        Screen s;
        s.id = c.id;
        server.Next(c.awaiting || c.refresh ? "GET /editor/state" : "GET /editor/state?current=7",
                    Status(200, s.Body()));
        Pass();
        EXPECT_EQ(window.posted.size(), c.delivered ? 1u : 0u) << c.what;
        EXPECT_EQ(ex.current_request_id, c.delivered ? c.id : 7) << c.what;
        EXPECT_EQ(window.started.size(), 1u) << c.what;
    }
}

TEST_F(EditorSyncTest, ALiveScreenRedrawsOnlyWhenItsBodyChanged) {
    Screen live;
    live.flags = kLiveScreenFlag;
    Open(live);
    server.Next("GET /editor/state?current=7", Status(200, live.Body()));
    Pass();
    EXPECT_TRUE(window.posted.empty()) << "identical body";
    live.content = "nový obsah";
    server.Next("GET /editor/state?current=7", Status(200, live.Body()));
    Pass();
    ASSERT_EQ(window.posted.size(), 1u);
    server.Next("GET /editor/state?current=7", Status(200, live.Body()));
    Pass();
    EXPECT_EQ(window.posted.size(), 1u) << "the changed body is the one remembered";
}

TEST_F(EditorSyncTest, AnAutomaticPaperIsAnsweredWithoutAWindow) {
    struct Case {
        const char* button2;
        const char* answer;
    } cases[] = {{"Podepsat", "7\n2\n{\\rtf1}"}, {"", "7\n0\n"}};
    for (const Case& c : cases) {
        ex.current_request_id = 0;
        ex.awaiting_answer = false;
        Screen s;
        s.kind = 9;
        s.paper = true;
        s.button2 = c.button2;
        server.Next("GET /editor/state", Status(200, s.Body()));
        Pass();
        EXPECT_FALSE(ex.editor_open());
        EXPECT_TRUE(window.started.empty());
        EXPECT_EQ(Result(), c.answer);
        EXPECT_TRUE(ex.awaiting_answer.load());
        EXPECT_EQ(ex.answer_deadline, now - 210 + kAnswerWaitMs);
        Pass();
        EXPECT_EQ(server.sent.back().Key(), "POST /editor/result");
        EXPECT_EQ(server.sent.back().body, c.answer);
    }
    // Kind 9 without the paper flag is an ordinary screen.
    ex.current_request_id = 0;
    Screen plain;
    plain.kind = 9;
    server.Next("GET /editor/state", Status(200, plain.Body()));
    Pass();
    EXPECT_EQ(window.started.size(), 1u);
}

TEST_F(EditorSyncTest, PicturesAreFetchedFromTheirPath) {
    struct Case {
        int kind, mode, page;
        const char* path;
    } cases[] = {
        {15, 0, 4, "GET /editor/book-photo?request=7&page=4"},
        {21, 0, 0, "GET /editor/attachment-photo?request=7"},
        {4, 4, 0, "GET /editor/web-background?request=7"},
        {15, 4, 2, "GET /editor/web-background?request=7"},
    };
    for (const Case& c : cases) {
        Forget();
        Screen s;
        s.kind = c.kind;
        s.picture_mode = c.mode;
        s.page = c.page;
        s.picture_count = 1;
        server.Next(std::string(c.path), Status(200, "JPEG"));
        server.Next("GET /editor/state", Status(200, s.Body()));
        Pass();
        EXPECT_THAT(server.Keys(), ElementsAre("GET /editor/state", c.path));
        ASSERT_EQ(window.started.size(), 1u) << c.path;
        ASSERT_TRUE(window.started[0].picture) << c.path;
        EXPECT_EQ(window.started[0].picture->width(), 4u);
        EXPECT_TRUE(window.started[0].status_text.empty());
    }
    // No picture count, or a kind without pictures: no fetch.
    for (auto [kind, mode, count] : {std::tuple{15, 0, 0}, std::tuple{10, 0, 1}, std::tuple{16, 3, 1}}) {
        Forget();
        Screen s;
        s.kind = kind;
        s.picture_mode = mode;
        s.picture_count = count;
        server.Next("GET /editor/state", Status(200, s.Body()));
        Pass();
        EXPECT_THAT(server.Keys(), ElementsAre("GET /editor/state")) << kind << " " << mode << " " << count;
    }
}

TEST_F(EditorSyncTest, AMissingPictureIsShownAsANoticeAndNotFetchedAgain) {
    struct Case {
        const char* what;
        Reply reply;
    } cases[] = {
        {"not found", Status(404)},
        {"server error", Status(500, "JPEG")},
        {"unreachable", Silent()},
        {"undecodable", Status(200, "garbage")},
        {"decoder gave nothing", Status(200, "tiny")},
    };
    for (const Case& c : cases) {
        Forget();
        Screen s;
        s.kind = 21;
        s.picture_count = 1;
        server.Next("GET /editor/attachment-photo?request=7", c.reply);
        server.Next("GET /editor/state", Status(200, s.Body()));
        Pass();
        ASSERT_EQ(window.started.size(), 1u) << c.what;
        EXPECT_FALSE(window.started[0].picture) << c.what;
        EXPECT_EQ(window.started[0].status_text, L"Fotografii se nepodařilo načíst. Můžeš přejít na další stranu.");
        for (int i = 0; i < 5; ++i) Pass();
        EXPECT_EQ(std::count_if(server.sent.begin(), server.sent.end(),
                                [](const Sent& x) { return x.path.find("photo") != std::string::npos; }),
                  1)
            << c.what;
    }
}

TEST_F(EditorSyncTest, ASketchIsUploadedBeforeAnythingElse) {
    Open(Screen{});
    PostEditorBody(ex, EditorBody::kPage, "7\n1");
    SetPendingSketch(ex, 7, MakePixels(267, 294));
    Pass(1);  // no pacing wait for the sketch
    ASSERT_EQ(server.sent.back().Key(), "POST /editor/web-sketch?request=7");
    EXPECT_EQ(server.sent.back().body, "PNG267x294");
    EXPECT_EQ(ex.current_request_id, 0);
    EXPECT_TRUE(ex.awaiting_answer.load());
    {
        std::lock_guard<std::mutex> hold(overlay.lock);
        EXPECT_FALSE(ex.pending_sketch);
    }
    Pass();
    EXPECT_EQ(server.sent.back().Key(), "POST /editor/page");
    // The next state is taken whatever its id.
    Screen next;
    next.id = 7;
    server.Next("GET /editor/state", Status(200, next.Body()));
    Pass();
    EXPECT_EQ(window.posted.size(), 1u);
}

TEST_F(EditorSyncTest, AFailedSketchUploadTellsThePlayer) {
    Open(Screen{});
    for (int failure = 0; failure < 3; ++failure) {
        window.posted.clear();
        encode_fails = failure == 0;
        if (failure == 1) server.Next("POST /editor/web-sketch?request=7", Status(500));
        if (failure == 2) server.Next("POST /editor/web-sketch?request=7", Silent());
        SetPendingSketch(ex, 7, MakePixels(2, 2));
        Pass();
        ASSERT_EQ(window.posted.size(), 1u) << failure;
        EXPECT_EQ(window.posted[0].status_text, L"Skicu se nepodařilo připravit. Vrať se a zkus ji vložit znovu.");
        EXPECT_EQ(ex.current_request_id, 7);
        EXPECT_FALSE(ex.awaiting_answer.load());
    }
}

TEST_F(EditorSyncTest, NewsScreensGetTheirVideoAddress) {
    Screen news;
    news.picture_mode = 5;
    fx.news_page_address = [] { return std::string("https://tv.example/page?x=1"); };
    Open(news);
    EXPECT_EQ(window.started.at(0).video_address, "https://tv.example/page?x=1&news=7");

    Forget();
    fx.news_page_address = nullptr;
    Open(news);
    EXPECT_EQ(window.started.at(0).video_address, "");
}

TEST_F(EditorSyncTest, AMalformedStateLeavesTheExchangeAsItWas) {
    Open(Screen{});
    ex.awaiting_answer = true;
    const std::string bad[] = {"-1\nT\n", "-2\nT\n", "x\nT\n", "9\nT\nC\n\n\n\n\n0\n\n5\nid\ncap\n1001\n"};
    for (const std::string& body : bad) {
        server.Next("GET /editor/state", Status(200, body));
        EXPECT_THROW(Pass(), std::runtime_error) << body;
        EXPECT_EQ(ex.current_request_id, 7);
        EXPECT_EQ(CopyLastEditorState(ex).request_id, 7);
        EXPECT_TRUE(window.posted.empty());
        EXPECT_EQ(window.started.size(), 1u);
        EXPECT_TRUE(ex.awaiting_answer.load()) << "polling goes on";
    }
}

TEST_F(EditorSyncTest, AnEndedSessionClosesTheWindowAndTheNextOneShowsTheScreenAgain) {
    Open(Screen{});
    CloseEditorSession(ex, sync, fx);
    EXPECT_EQ(window.closes, 1);
    EXPECT_FALSE(ex.editor_open());
    const std::size_t sent = server.sent.size();
    Pass();
    EXPECT_EQ(server.sent.size(), sent);
    OfferEditorSession(sync, ApiClient{}, kToken);
    server.Next("GET /editor/state", Status(200, Screen{}.Body()));
    Pass();
    EXPECT_EQ(window.started.size(), 2u);
}

TEST(EditorExchangeRules, ClaimingTheEditor) {
    OverlayState overlay;
    EditorExchange ex(overlay);
    overlay.computer_minimized = true;
    EditorState login;
    login.request_id = 3;
    login.kind = 16;
    login.flags = 3;
    EXPECT_TRUE(ClaimEditorOpen(ex, login));
    EXPECT_TRUE(overlay.editor_open.load());
    EXPECT_TRUE(ex.login_screen.load());
    EXPECT_FALSE(overlay.computer_minimized.load());
    EditorState other;
    other.request_id = 4;
    EXPECT_FALSE(ClaimEditorOpen(ex, other));
    EXPECT_EQ(CopyLastEditorState(ex).request_id, 3);
    EditorWindowGone(ex);
    EXPECT_FALSE(ex.login_screen.load());
    ReleaseEditorOpen(ex);
    EXPECT_TRUE(ClaimEditorOpen(ex, other));
}

TEST(EditorExchangeRules, SubmittingClearsTheActionBodiesAndWaits) {
    OverlayState overlay;
    EditorExchange ex(overlay);
    for (int b = 0; b < kEditorBodyCount; ++b) PostEditorBody(ex, EditorBody(b), "body");
    EXPECT_TRUE(SubmitEditorResult(ex, {5, 1, "p"}, true, 1000));
    EXPECT_EQ(ex.result, "5\n1\np");
    EXPECT_TRUE(ex.awaiting_answer.load());
    EXPECT_EQ(ex.answer_deadline, 1000 + kAnswerWaitMs);
    for (int b = 0; b < kEditorBodyCount; ++b)
        EXPECT_EQ(ex.bodies[b].empty(), EditorBody(b) != EditorBody::kDesktopPosition) << b;
    ex.awaiting_answer = false;
    EXPECT_TRUE(SubmitEditorResult(ex, {5, 0, ""}, false, 2000));
    EXPECT_FALSE(ex.awaiting_answer.load());
}

TEST(EditorExchangeRules, GameClockText) {
    OverlayState overlay;
    EditorExchange ex(overlay);
    const std::pair<int, const wchar_t*> cases[] = {{kNoGameClock, L"--:--"}, {0, L"00:00"}, {754, L"12:34"},
                                                    {1439, L"23:59"}, {1440, L"--:--"}};
    for (auto [minutes, text] : cases) {
        ex.game_clock = minutes;
        EXPECT_EQ(GameClockText(ex), text) << minutes;
    }
}

}  // namespace
}  // namespace hm
