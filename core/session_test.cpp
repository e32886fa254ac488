#include "core/session.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

#include "base/text1250.h"
#include "net/scripted_api_test_util.h"

namespace hm {
namespace {

using testing::ElementsAre;

const std::string kToken = "1111111111111111111111111111111111111111111111111111111111111111";
const std::string kToken2 = "2222222222222222222222222222222222222222222222222222222222222222";
const std::string kCredential = "cccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccc";
const std::string kCredential2 = "dddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddd";
const std::string kBind = "0123456789ab";
const std::wstring kUrl = L"https://api.example.cz/HM/MEDIA-PLUGIN/test-api";

std::string Grant(const std::string& token) { return token + "\n" + kBind + "\n"; }

using Reply = test::ScriptedReply;
using test::NetworkDown;
using test::Status;
using FakeServer = test::ScriptedApi;

struct NoticeSeen {
    std::wstring text;
    bool sticky;
};

class SessionTest : public testing::Test {
protected:
    SessionTest() {
        server.Always("POST /pair", Status(201, Grant(kToken)));
        server.Always("POST /resume", Status(201, Grant(kToken2)));
        server.Always("GET /state", Status(200, "OK 0 0"));
        server.Always("POST /presence", Status(204));
        server.Always("DELETE /session", Status(204));
        server.Always("DELETE /device", Status(204));
        server.Always("POST /device", Status(201, kCredential + "\n"));
        shared.identity.name = "Player_One";
        settings.client.host = L"api.example.cz";
        settings.client.base_path = L"/HM/MEDIA-PLUGIN/test-api";
        settings.api_url = kUrl;
        settings.auto_connect = true;

        fx.request = [this](const ApiClient&, const std::string& method, const std::string& path,
                            const std::string& bearer, const std::string& body, std::uint32_t shot) {
            EXPECT_TRUE(body.empty());
            EXPECT_EQ(shot, 0u);
            return server.Handle(method, path, bearer, "", now);
        };
        fx.notice = [this](const std::wstring& text, bool sticky) { notices.push_back({text, sticky}); };
        fx.status = [this](const std::wstring& text, Tick ms) { statuses.push_back({text, ms}); };
        fx.replace_sticky_notice = [this](const std::wstring& text, Tick ms) {
            if (!notices.empty() && notices.back().sticky) notices.push_back({text, false});
            replace_calls.push_back(ms);
            log.push_back("sticky");
        };
        fx.show_dialog = [this](const DialogRequest& d) { dialogs.push_back(d); };
        fx.take_dialog_result = [this] {
            auto r = mailbox;
            mailbox.reset();
            return r;
        };
        fx.load_device = [this] {
            ++loads;
            return device_file;
        };
        fx.save_device = [this](const std::string& credential) {
            if (save_failure) throw std::runtime_error(save_failure);
            if (!IsLowerHex(credential, 64)) throw std::runtime_error("invalid device credential");
            device_file = credential;
        };
        fx.forget_device = [this] {
            ++forgets;
            device_file.clear();
        };
        fx.plugin = &plugin;
        fx.shared = &shared;
        fx.media = &media;
        auto& h = fx.hooks;
        h.reset_release_check = [this] { log.push_back("reset_release"); };
        h.release_check = [this](Tick) { log.push_back("release"); };
        h.start_update_download = [this](int build) { downloads.push_back(build); };
        h.offer_editor_session = [this](const ApiClient&, const std::string& token) {
            log.push_back("editor:" + token.substr(0, 1));
        };
        h.gallery_refresh = [this](Tick, const std::string&) { log.push_back("gallery"); };
        h.tv_state = [this](Tick, const std::string&) { log.push_back("tv"); };
        h.photo_session_reset = [this] { log.push_back("photo_reset"); };
        h.photo_none = [this] { log.push_back("photo_none"); };
        h.photo_state = [this](Tick, const StateSnapshot& st, const std::string&) {
            log.push_back("photo_state:" + std::to_string(st.photo_request));
        };
        h.photo_upload = [this](Tick, const std::string&) { log.push_back("upload"); };
        h.photo_hide = [this] { log.push_back("photo_hide"); };
        h.close_editor = [this] { log.push_back("close_editor"); };
        h.stop_tv = [this] { log.push_back("stop_tv"); };
        h.clear_photos = [this] { log.push_back("clear_photos"); };
    }

    void Start() { StartSession(session, settings, fx); }

    // One worker pass at the current time, then 30 ms pass.
    void Pass(bool ctrl_f10 = false) {
        SessionInputs in;
        in.now = now;
        in.last_frame_tick = frames ? now : last_frame;
        in.game_in_front = in_front;
        in.ctrl_f10_pressed = ctrl_f10;
        in.editor_open = editor_open;
        SessionStep(session, in, fx);
        now += 30;
    }
    void RunFor(Tick ms) {
        Tick end = now + ms;
        while (now < end) Pass();
    }
    void Answer(int id, int button) {
        DialogResult r;
        r.dialog_id = id;
        r.button = button;
        mailbox = r;
    }
    // One pass exactly when the state poll (or presence check) is due.
    void PollNow() {
        now = session.state_deadline;
        log.clear();
        Pass();
    }
    void PresenceNow() {
        now = session.presence_deadline;
        Pass();
    }

    // Brings the session to Connected through consent and pairing, then one OK answer.
    void PairAndConnect() {
        Start();
        Pass();  // an armed prompt opens here
        Answer(kConsentDialogId, 1);
        Pass();
        ASSERT_TRUE(session.connected);
        RunFor(400);
        ASSERT_FALSE(session.pairing_pending);
        dialogs.clear();
    }

    std::wstring LastNotice() const { return notices.empty() ? L"" : notices.back().text; }
    int NoticeCount(const std::wstring& text) const {
        int n = 0;
        for (const auto& seen : notices) n += seen.text == text;
        return n;
    }
    std::string BindCode() {
        std::lock_guard<std::mutex> hold(shared.lock);
        return shared.bind_code;
    }

    FakeServer server;
    PluginRecord plugin;
    SharedState shared;
    MediaSession media;
    SessionSettings settings;
    SessionEffects fx;
    SessionRecord session;

    Tick now = 100000;
    Tick last_frame = 0;
    bool frames = true;  // the game draws a frame every pass
    bool in_front = true;
    bool editor_open = false;
    std::optional<DialogResult> mailbox;
    std::vector<NoticeSeen> notices;
    std::vector<std::pair<std::wstring, Tick>> statuses;
    std::vector<Tick> replace_calls;
    std::vector<DialogRequest> dialogs;
    std::vector<int> downloads;
    std::vector<std::string> log;
    std::string device_file;
    const char* save_failure = nullptr;
    int loads = 0;
    int forgets = 0;
};

// ---- start-up ----

TEST_F(SessionTest, StartDecidesConsentAndAutoPromptFromDeviceAndName) {
    struct Case {
        bool auto_connect;
        std::string device;
        std::string name;
        bool loaded, consent, armed;
    };
    const Case cases[] = {
        {false, kCredential, "Player_One", false, false, false},  // device.bin not even read
        {true, "", "Player_One", true, false, true},
        {true, kCredential, "Player_One", true, true, false},
        {true, kCredential, "", true, true, true},
    };
    for (const auto& c : cases) {
        settings.auto_connect = c.auto_connect;
        device_file = c.device;
        shared.identity.name = c.name;
        loads = 0;
        Start();
        EXPECT_EQ(loads > 0, c.loaded);
        EXPECT_EQ(session.credential, c.loaded ? c.device : "");
        EXPECT_EQ(session.consent_given, c.consent);
        EXPECT_EQ(plugin.consent_given.load(), c.consent);
        EXPECT_EQ(session.auto_prompt_armed, c.armed);
        EXPECT_FALSE(plugin.connected.load());
    }
}

// ---- resume ----

TEST_F(SessionTest, RemberedDeviceResumesWithoutDialogAtTheFirstFrame) {
    device_file = kCredential;
    Start();
    frames = false;
    RunFor(3000);  // the game has not drawn yet
    EXPECT_EQ(server.Count("POST /resume"), 0);
    frames = true;
    Pass();
    ASSERT_EQ(server.Count("POST /resume"), 1);
    EXPECT_EQ(server.sent[0].bearer, kCredential);
    EXPECT_TRUE(session.connected);
    EXPECT_TRUE(plugin.connected.load());
    EXPECT_EQ(session.token, kToken2);
    EXPECT_EQ(BindCode(), "");  // a resumed grant's bind code is not published
    // The state poll is due at once, in the same pass.
    EXPECT_THAT(server.Keys(), ElementsAre("POST /resume", "POST /presence", "GET /state"));
    EXPECT_TRUE(dialogs.empty());
    EXPECT_EQ(ReadMediaSession(media).token, kToken2);
}

TEST_F(SessionTest, StatePollsEvery350msAndPresenceEverySecond) {
    device_file = kCredential;
    Start();
    Pass();
    RunFor(3000);
    int polls = server.Count("GET /state");
    EXPECT_GE(polls, 8);
    EXPECT_LE(polls, 10);
    EXPECT_EQ(server.Count("POST /presence"), 3);  // at 0, 1.02 and 2.04 s
    for (const auto& s : server.sent)
        if (s.path == "/state" || s.path == "/presence") {
            EXPECT_EQ(s.bearer, kToken2);
        }
    // With a device held nothing is remembered again.
    EXPECT_EQ(server.Count("POST /device"), 0);
}

TEST_F(SessionTest, ResumeRefusalForgetsTheDeviceAndIsNotRetried) {
    for (int status : {401, 403}) {
        SCOPED_TRACE(status);
        server = FakeServer();
        server.Always("POST /resume", Status(status));
        device_file = kCredential;
        notices.clear();
        forgets = 0;
        Start();
        RunFor(12000);
        EXPECT_EQ(server.Count("POST /resume"), 1);
        EXPECT_EQ(forgets, 1);
        EXPECT_EQ(device_file, "");
        EXPECT_EQ(session.credential, "");
        EXPECT_FALSE(session.connected);
        EXPECT_EQ(NoticeCount(L"HM Plugin: zapamatovane pripojeni zruseno. Ctrl+F10 pro nove sparovani."), 1);
        EXPECT_TRUE(session.consent_given);  // consent survives
    }
}

TEST_F(SessionTest, OtherResumeAnswersRetryEveryFiveSecondsQuietly) {
    server.Always("POST /resume", Status(500));
    device_file = kCredential;
    Start();
    Pass();
    RunFor(4990 - 30);
    EXPECT_EQ(server.Count("POST /resume"), 1);
    RunFor(60);
    EXPECT_EQ(server.Count("POST /resume"), 2);
    EXPECT_TRUE(notices.empty());
    EXPECT_EQ(session.credential, kCredential);
}

TEST_F(SessionTest, ResumeFailuresReportApiUnavailableAndArmThePrompt) {
    const Reply failures[] = {NetworkDown(), Status(201, "garbage"), Status(201, kToken)};
    for (const auto& failure : failures) {
        server.Always("POST /resume", failure);
        device_file = kCredential;
        notices.clear();
        dialogs.clear();
        in_front = false;  // keep the re-armed prompt from opening at once
        Start();
        EXPECT_FALSE(session.auto_prompt_armed);
        Pass();
        EXPECT_FALSE(session.connected);
        EXPECT_EQ(session.token, "");
        EXPECT_TRUE(session.auto_prompt_armed);
        EXPECT_EQ(LastNotice(), L"HM Plugin: API není dostupné. Připojení zkus znovu.");
        EXPECT_EQ(session.credential, kCredential);  // only a refusal forgets the device
        in_front = true;
        Pass();
        EXPECT_EQ(dialogs.size(), 1u);
    }
}

// ---- consent prompt ----

TEST_F(SessionTest, AutoPromptOpensOnlyInFrontWithFreshFramesAndOnce) {
    Start();
    ASSERT_TRUE(session.auto_prompt_armed);
    struct Case {
        const char* what;
        bool frames, in_front, editor_open;
        Tick frame_age;
    };
    const Case quiet[] = {
        {"no frame yet", false, true, false, 0},
        {"game in background", true, false, false, 0},
        {"editor open", true, true, true, 0},
        {"frames 5000 ms old", false, true, false, 5000},
    };
    for (const auto& c : quiet) {
        SCOPED_TRACE(c.what);
        frames = c.frames;
        in_front = c.in_front;
        editor_open = c.editor_open;
        last_frame = c.frame_age ? now - c.frame_age : 0;
        Pass();
        EXPECT_TRUE(dialogs.empty());
        EXPECT_TRUE(session.auto_prompt_armed);
    }
    frames = false;
    in_front = true;
    editor_open = false;
    last_frame = now - 4999;
    Pass();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_FALSE(session.auto_prompt_armed);
    frames = true;
    RunFor(10000);
    EXPECT_EQ(dialogs.size(), 1u);
    EXPECT_TRUE(server.sent.empty());
}

TEST_F(SessionTest, ConsentDialogCarriesTitleBodyButtonsAndPlayerName) {
    settings.auto_connect = false;
    Start();
    Pass(true);
    ASSERT_EQ(dialogs.size(), 1u);
    const DialogRequest& d = dialogs[0];
    EXPECT_EQ(d.id, -1);
    EXPECT_EQ(d.kind, 3);
    EXPECT_EQ(d.title, "HM Plugin 1.00 BETA");
    EXPECT_EQ(d.first_button, "Souhlas\xEDm");
    EXPECT_EQ(d.second_button, "Odpojit");
    EXPECT_EQ(d.player_name, "Player_One");
    std::wstring body = Cp1250ToWide(d.body);
    EXPECT_EQ(body.rfind(L"Server: " + kUrl + L"\n\nPlugin propojí dokumenty, fotografie a televize s tímto serverem.\n\nPodržením M", 0), 0u);
    EXPECT_NE(body.find(L"Ctrl+M hlasový chat vypne nebo zapne.\n\nPři fotografování"), std::wstring::npos);
    const std::wstring tail = L"lze připojení zapamatovat pro příští přihlášení.";
    ASSERT_GT(body.size(), tail.size());
    EXPECT_EQ(body.substr(body.size() - tail.size()), tail);
}

TEST_F(SessionTest, CtrlF10WithEditorOpenDoesNothing) {
    PairAndConnect();
    editor_open = true;
    Pass(true);
    EXPECT_TRUE(session.connected);
    settings.auto_connect = false;
    Start();
    Pass(true);
    EXPECT_TRUE(dialogs.empty());
}

TEST_F(SessionTest, FailingConsentPromptWhileConnectedEndsTheSessionCleanly) {
    device_file = kCredential;
    shared.identity.name.clear();  // keeps the automatic prompt armed while resuming
    Start();
    fx.show_dialog = [](const DialogRequest&) -> void { throw std::runtime_error("dialog thread"); };
    log.clear();
    Pass();
    EXPECT_FALSE(session.connected);
    EXPECT_FALSE(plugin.connected.load());
    EXPECT_EQ(session.token, "");
    EXPECT_EQ(ReadMediaSession(media).token, "");
    EXPECT_THAT(log, testing::IsSupersetOf({"close_editor", "stop_tv", "clear_photos"}));
    EXPECT_EQ(LastNotice(), L"HM Plugin: API není dostupné. Připojení zkus znovu.");
    EXPECT_TRUE(session.consent_given);
}

// ---- consent given: pairing ----

TEST_F(SessionTest, AgreeingPairsPublishesBindCodeAndPollsThroughPairing) {
    settings.auto_connect = false;
    Start();
    server.Next("GET /state", Status(403));
    server.Next("GET /state", Status(200, "WAIT\n"));
    server.Next("GET /state", Status(403));
    Answer(kConsentDialogId, 1);
    Pass();
    ASSERT_GE(server.sent.size(), 1u);
    EXPECT_EQ(server.sent[0].Key(), "POST /pair");
    EXPECT_EQ(server.sent[0].bearer, "");
    EXPECT_TRUE(session.connected);
    EXPECT_TRUE(session.pairing_pending);
    EXPECT_TRUE(plugin.consent_given.load());
    EXPECT_EQ(BindCode(), kBind);
    EXPECT_EQ(session.token, kToken);
    // Presence is due at once after pairing.
    EXPECT_THAT(server.Keys(), ElementsAre("POST /pair", "POST /presence", "GET /state"));
    // 403, WAIT, 403 while pairing: still connected and polling.
    RunFor(700);
    EXPECT_EQ(server.Count("GET /state"), 3);
    EXPECT_TRUE(session.connected);
    EXPECT_EQ(BindCode(), kBind);
    RunFor(350);
    EXPECT_FALSE(session.pairing_pending);
    EXPECT_EQ(BindCode(), "");
    // After the first OK the same 403 ends the session.
    server.Next("GET /state", Status(403));
    RunFor(350);
    EXPECT_FALSE(session.connected);
    EXPECT_EQ(LastNotice(), L"HM Plugin: spojeni vyprselo. Ctrl+F10 pro nove sparovani.");
    EXPECT_TRUE(session.consent_given);
}

TEST_F(SessionTest, FailedPairingKeepsConsentAndReportsApiUnavailable) {
    const Reply failures[] = {Status(500), Status(201, "nonsense"), NetworkDown(),
                              Status(200, Grant(kToken)), Status(201, kToken + "\n0123456789abc\n")};
    in_front = false;  // keep the re-armed prompt closed to see it armed
    for (const auto& failure : failures) {
        settings.auto_connect = false;
        Start();
        server.Next("POST /pair", failure);
        Answer(kConsentDialogId, 1);
        Pass();
        EXPECT_FALSE(session.connected);
        EXPECT_FALSE(plugin.connected.load());
        EXPECT_TRUE(session.consent_given);
        EXPECT_TRUE(session.auto_prompt_armed);  // also without AutoConnect
        EXPECT_EQ(BindCode(), "");
        EXPECT_EQ(LastNotice(), L"HM Plugin: API není dostupné. Připojení zkus znovu.");
    }
}

TEST_F(SessionTest, AgreeingWhileConnectedOnlyGivesConsent) {
    device_file = kCredential;
    shared.identity.name.clear();
    Start();
    Pass();
    ASSERT_TRUE(session.connected);
    Answer(kConsentDialogId, 1);
    Pass();
    EXPECT_EQ(server.Count("POST /pair"), 0);
    EXPECT_EQ(session.token, kToken2);
}

// ---- first OK and the order inside an OK answer ----

TEST_F(SessionTest, OkAnswerRunsItsStepsInOrder) {
    settings.auto_connect = true;
    Start();
    server.Always("GET /state", Status(200, "OK 4 0 0"));
    Answer(kConsentDialogId, 1);
    notices.push_back({L"Souhlas nebyl udělen. Zvol Odpojit v dialogu serveru.", true});
    log.clear();
    Pass();
    EXPECT_THAT(log, ElementsAre("reset_release", "photo_reset", "editor:1", "editor:1", "reset_release", "release",
                                 "photo_none", "gallery", "tv", "sticky", "photo_state:4", "upload"));
    EXPECT_THAT(server.Keys(), ElementsAre("POST /pair", "POST /presence", "GET /state", "POST /device"));
    ASSERT_EQ(statuses.size(), 1u);
    EXPECT_EQ(statuses[0].first, L"HM Plugin v1.00 BETA nacten.");
    EXPECT_EQ(statuses[0].second, 12000u);
    EXPECT_EQ(replace_calls, std::vector<Tick>{12000});
    EXPECT_EQ(LastNotice(), L"HM Plugin: sparovani zapamatovano. Priste se pripoji automaticky.");
    // The next OK is not the first: no status, no release reset.
    PollNow();
    EXPECT_THAT(log, ElementsAre("editor:1", "editor:1", "release", "photo_none", "gallery", "tv",
                                 "sticky", "photo_state:4", "upload"));
    EXPECT_EQ(statuses.size(), 1u);
}

TEST_F(SessionTest, WaitClearsTheFirstStateMarkAndStillUploads) {
    PairAndConnect();
    server.Next("GET /state", Status(200, "WAIT"));
    PollNow();
    EXPECT_THAT(log, ElementsAre("editor:1", "upload"));
    EXPECT_FALSE(session.first_state_seen);
    PollNow();
    EXPECT_EQ(statuses.size(), 2u);  // the next OK is a first one again
}

TEST_F(SessionTest, NegativeNumbersFailTheStepAfterTvButBeforePhotos) {
    PairAndConnect();
    server.Always("GET /state", Status(200, "OK -1 3 1"));
    PollNow();
    // A waiting shot still goes up in the failed pass; the step fails afterwards.
    EXPECT_THAT(log, ElementsAre("editor:1", "editor:1", "release", "gallery", "tv", "upload", "photo_hide"));
    EXPECT_TRUE(session.connected);
    EXPECT_TRUE(session.failing);
}

// ---- device remembering ----

TEST_F(SessionTest, RemembersTheDeviceOnceAndSavesLineOne) {
    PairAndConnect();
    EXPECT_EQ(server.Count("POST /device"), 1);
    EXPECT_EQ(device_file, kCredential);
    EXPECT_EQ(session.credential, kCredential);
    RunFor(61000);
    EXPECT_EQ(server.Count("POST /device"), 1);
}

TEST_F(SessionTest, RememberingFailuresKeepTheSessionAndRetryAfter30s) {
    struct Case {
        Reply reply;
        const char* save_failure;
        bool notice;
    };
    const Case cases[] = {
        {NetworkDown(), nullptr, true},
        {Status(201, "CCCC\n"), nullptr, true},  // not a credential: the save refuses it
        {Status(201, kCredential), "device storage failed", true},
        {Status(500), nullptr, false},
    };
    for (const auto& c : cases) {
        server.Always("POST /device", c.reply);
        save_failure = c.save_failure;
        notices.clear();
        device_file.clear();
        PairAndConnect();
        EXPECT_TRUE(session.connected);
        EXPECT_EQ(session.credential, "");
        EXPECT_EQ(NoticeCount(L"HM Plugin: spojeno, ale sparovani se nepodarilo ulozit."), c.notice ? 1 : 0);
        int before = server.Count("POST /device");
        RunFor(29000);
        EXPECT_EQ(server.Count("POST /device"), before);
        RunFor(1500);
        EXPECT_EQ(server.Count("POST /device"), before + 1);
        EXPECT_TRUE(session.connected);
    }
}

TEST_F(SessionTest, NothingIsRememberedWithoutAutoConnect) {
    settings.auto_connect = false;
    PairAndConnect();
    RunFor(31000);
    EXPECT_EQ(server.Count("POST /device"), 0);
}

// ---- expiry ----

TEST_F(SessionTest, ExpiryWithDeviceResumesAfterTwoSeconds) {
    for (int status : {401, 403}) {
        SCOPED_TRACE(status);
        server = FakeServer();
        server.Always("POST /resume", Status(201, Grant(kToken2)));
        server.Always("GET /state", Status(200, "OK 0 0"));
        device_file = kCredential;
        Start();
        Pass();
        ASSERT_TRUE(session.connected);
        server.Next("GET /state", Status(status));
        PollNow();
        EXPECT_FALSE(session.connected);
        EXPECT_EQ(session.token, "");
        EXPECT_THAT(log, testing::IsSupersetOf({"close_editor", "stop_tv", "clear_photos"}));
        EXPECT_EQ(LastNotice(), L"HM Plugin: obnovuji zapamatovane pripojeni.");
        EXPECT_EQ(ReadMediaSession(media).token, "");
        int resumes = server.Count("POST /resume");
        RunFor(1950);
        EXPECT_EQ(server.Count("POST /resume"), resumes);
        RunFor(90);
        EXPECT_EQ(server.Count("POST /resume"), resumes + 1);
        EXPECT_TRUE(session.connected);
    }
}

TEST_F(SessionTest, ExpiryAfterResumeIsNotMistakenForPairing) {
    // A pairing that expired before its first OK must not leave a later resumed session
    // ignoring 403 answers.
    server.Always("GET /state", Status(401));
    Start();
    Answer(kConsentDialogId, 1);
    Pass();
    ASSERT_FALSE(session.connected);
    session.credential = kCredential;
    server.Always("GET /state", Status(403));
    RunFor(2100);
    EXPECT_EQ(server.Count("POST /resume"), 1);
    EXPECT_FALSE(session.connected);
}

// ---- failing state polls ----

TEST_F(SessionTest, FailingPollsGiveOneDelayedNoticePerTwoMinutes) {
    const Reply failures[] = {Status(500), Status(404), NetworkDown()};
    for (const auto& failure : failures) {
        server.Always("GET /state", Status(200, "OK 0 0"));
        notices.clear();
        PairAndConnect();
        const std::wstring text = L"HM Plugin: spojeni je docasne nedostupne, obnovuji automaticky.";
        server.Always("GET /state", failure);
        int before = server.Count("GET /state");
        RunFor(10000);
        EXPECT_EQ(NoticeCount(text), 0);
        // Polls every 3 s while failing.
        EXPECT_EQ(server.Count("GET /state") - before, 4);
        RunFor(3000);
        EXPECT_EQ(NoticeCount(text), 1);
        RunFor(100000);
        EXPECT_EQ(NoticeCount(text), 1);
        EXPECT_TRUE(session.connected);
        RunFor(20000);
        EXPECT_EQ(NoticeCount(text), 2);
        // An OK ends the run; a new run waits its 10 s again, and still respects the 120 s.
        server.Always("GET /state", Status(200, "OK 0 0"));
        RunFor(3000);
        EXPECT_FALSE(session.failing);
        server.Always("GET /state", failure);
        RunFor(125000);
        EXPECT_EQ(NoticeCount(text), 3);
    }
}

// A 200 whose body does not read as a state is a failure like any other: retried every 3 s,
// and after 10 s of them the notice; an answer that parses ends the run.
TEST_F(SessionTest, UnparseableStateAnswersCountAsFailuresForTheNotice) {
    const std::wstring text = L"HM Plugin: spojeni je docasne nedostupne, obnovuji automaticky.";
    const Reply junk[] = {Status(200, "ok 1 2"), Status(200, ""), Status(200, "OK -1 3"), Status(200, "OK 1 -3"),
                          Status(200, std::string("\xff\x00\x9e", 3))};
    for (const Reply& bad : junk) {
        SCOPED_TRACE(bad.body);
        server.Always("GET /state", Status(200, "OK 0 0"));
        notices.clear();
        PairAndConnect();
        server.Always("GET /state", bad);
        int before = server.Count("GET /state");
        log.clear();
        RunFor(10000);
        EXPECT_EQ(server.Count("GET /state") - before, 4);
        EXPECT_EQ(NoticeCount(text), 0);
        RunFor(3000);
        EXPECT_EQ(NoticeCount(text), 1);
        EXPECT_THAT(log, testing::Contains("photo_hide"));
        EXPECT_TRUE(session.connected);
        // Junk and good answers alternating: each good one ends the run, so no second notice
        // before a new 10 s run has passed (and the two minutes, here).
        server.Always("GET /state", Status(200, "OK 0 0"));
        RunFor(3000);
        EXPECT_FALSE(session.failing);
        server.Always("GET /state", Status(200, "WAIT"));
        RunFor(1000);
        EXPECT_FALSE(session.failing);
        RunFor(120000);  // the next case's notice is not held back by this one's
    }
}

TEST_F(SessionTest, NoticeFromAnEarlierRunStillBlocksForTwoMinutes) {
    PairAndConnect();
    const std::wstring text = L"HM Plugin: spojeni je docasne nedostupne, obnovuji automaticky.";
    server.Always("GET /state", Status(503));
    RunFor(13000);
    ASSERT_EQ(NoticeCount(text), 1);
    server.Always("GET /state", Status(200, "OK 0 0"));
    RunFor(3100);
    ASSERT_FALSE(session.failing);
    server.Always("GET /state", Status(503));
    RunFor(30000);
    EXPECT_EQ(NoticeCount(text), 1);
}

// ---- disconnect ----

TEST_F(SessionTest, CtrlF10WhileConnectedDisconnectsAndDeletesDeviceFile) {
    settings.auto_connect = false;  // nothing remembered, nothing loaded
    PairAndConnect();
    forgets = 0;
    log.clear();
    server.sent.clear();
    Pass(true);
    EXPECT_FALSE(session.connected);
    EXPECT_FALSE(plugin.consent_given.load());
    EXPECT_EQ(forgets, 1);  // device.bin deleted even though none existed
    EXPECT_THAT(server.Keys(), ElementsAre("DELETE /session"));
    EXPECT_EQ(server.sent[0].bearer, kToken);
    EXPECT_EQ(session.token, "");
    EXPECT_EQ(LastNotice(), L"HM Plugin: připojení vypnuto.");
    EXPECT_THAT(log, testing::IsSupersetOf({"close_editor", "stop_tv", "clear_photos"}));
    EXPECT_TRUE(dialogs.empty());
    // Pressing it again opens the consent dialog.
    Pass(true);
    EXPECT_EQ(dialogs.size(), 1u);
}

TEST_F(SessionTest, CtrlF10DisconnectForgetsTheRememberedDeviceEvenWhenTheServerIsDown) {
    device_file = kCredential;
    Start();
    Pass();
    ASSERT_TRUE(session.connected);
    server.Always("DELETE /device", NetworkDown());
    server.Always("DELETE /session", NetworkDown());
    server.sent.clear();
    Pass(true);
    EXPECT_THAT(server.Keys(), ElementsAre("DELETE /device", "DELETE /session"));
    EXPECT_EQ(server.sent[0].bearer, kCredential);
    EXPECT_EQ(server.sent[1].bearer, kToken2);
    EXPECT_EQ(device_file, "");
    EXPECT_EQ(session.credential, "");
    EXPECT_FALSE(session.connected);
    EXPECT_EQ(LastNotice(), L"HM Plugin: připojení vypnuto.");
    RunFor(20000);
    EXPECT_EQ(server.Count("POST /resume"), 0);
}

TEST_F(SessionTest, DisagreeingEndsEverythingAndPostsStickyNotice) {
    for (int button : {2, 0}) {
        SCOPED_TRACE(button);
        device_file = kCredential;
        Start();
        Pass();
        ASSERT_TRUE(session.connected);
        session.auto_prompt_armed = true;
        server.sent.clear();
        forgets = 0;
        Answer(kConsentDialogId, button);
        Pass();
        EXPECT_THAT(server.Keys(), ElementsAre("DELETE /session", "DELETE /device"));
        EXPECT_EQ(server.sent[0].bearer, kToken2);
        EXPECT_EQ(server.sent[1].bearer, kCredential);
        EXPECT_FALSE(session.connected);
        EXPECT_FALSE(session.consent_given);
        EXPECT_FALSE(plugin.consent_given.load());
        EXPECT_FALSE(session.auto_prompt_armed);
        EXPECT_EQ(forgets, 1);
        EXPECT_EQ(session.token, "");
        ASSERT_FALSE(notices.empty());
        EXPECT_EQ(notices.back().text, L"Souhlas nebyl udělen. Zvol Odpojit v dialogu serveru.");
        EXPECT_TRUE(notices.back().sticky);
        EXPECT_EQ(ReadMediaSession(media).token, "");
        EXPECT_TRUE(dialogs.empty());
        RunFor(12000);
        EXPECT_EQ(server.Count("POST /resume"), 0);
        EXPECT_TRUE(dialogs.empty());
    }
}

TEST_F(SessionTest, CtrlF10InTheSamePassAsDisagreeingStillOpensTheDialog) {
    Start();
    in_front = false;
    Answer(kConsentDialogId, 2);
    Pass(true);
    EXPECT_EQ(dialogs.size(), 1u);
}

// ---- presence ----

TEST_F(SessionTest, PresenceRunsOnlyOnTheTwoBasePathsWithConsent) {
    struct Case {
        std::wstring base;
        bool sent;
    };
    const Case cases[] = {
        {L"/HM/MEDIA-PLUGIN/api", true},
        {L"/HM/MEDIA-PLUGIN/test-api", true},
        {L"/hm/media-plugin/api", false},
        {L"/HM/MEDIA-PLUGIN/api/v2", false},
        {L"", false},
    };
    for (const auto& c : cases) {
        settings.client.base_path = c.base;
        server.sent.clear();
        device_file = kCredential;
        Start();
        Pass();
        EXPECT_EQ(server.Count("POST /presence"), c.sent ? 1 : 0);
    }
    // Connected without consent cannot come about through the steps; force it to check the gate.
    settings.client.base_path = L"/HM/MEDIA-PLUGIN/api";
    device_file.clear();
    Start();
    session.connected = true;
    session.token = kToken;
    server.sent.clear();
    Pass();
    EXPECT_EQ(server.Count("POST /presence"), 0);
}

TEST_F(SessionTest, PresenceMismatchPostsTheIdentityNotice) {
    server.Always("POST /presence", Status(400));
    PairAndConnect();
    EXPECT_GE(NoticeCount(L"HM Plugin: přezdívka nebo port nesouhlasí. Zkontroluj připojení pluginu."), 1);
    EXPECT_TRUE(session.connected);
}

TEST_F(SessionTest, UpdateRequiredIsOfferedOncePerBuildAboveOurs) {
    PairAndConnect();
    auto presence_426 = [&](const std::string& body) {
        server.Next("POST /presence", Status(426, body));
        PresenceNow();
    };
    presence_426("HMPLUGIN\n17305\n1.00\n");
    EXPECT_TRUE(dialogs.empty());
    presence_426("HMPLUGIN\n17306\n1.01\n");
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].id, -2);
    EXPECT_EQ(dialogs[0].kind, 4);
    EXPECT_EQ(dialogs[0].title, "Aktualizace HM Pluginu");
    EXPECT_EQ(Cp1250ToWide(dialogs[0].body),
              L"Server vyžaduje HM Plugin 1.01 BETA.\n\nBalíček můžeš stáhnout na pozadí. Instaluj "
              L"jej při vypnuté hře a potom se připoj znovu.");
    EXPECT_EQ(dialogs[0].first_button, "Stahnout aktualizaci");
    EXPECT_EQ(dialogs[0].second_button, "Zpet");
    presence_426("HMPLUGIN\n17306\n1.01\n");
    EXPECT_EQ(dialogs.size(), 1u);
    // Malformed and failing presence answers are swallowed.
    presence_426("HMPLUGIN\nnot a number\n");
    presence_426("HMPLUGIN\n99999999999\n");
    server.Next("POST /presence", NetworkDown());
    PresenceNow();
    EXPECT_EQ(dialogs.size(), 1u);
    EXPECT_TRUE(session.connected);
    // While the editor is open the answer is not even read, so the build stays unoffered.
    editor_open = true;
    presence_426("HMPLUGIN\n17307\n1.02\n");
    EXPECT_EQ(dialogs.size(), 1u);
    editor_open = false;
    presence_426("HMPLUGIN\n17307\n1.02\n");
    EXPECT_EQ(dialogs.size(), 2u);
    // "Stahnout aktualizaci" starts the download of the offered build; "Zpet" does nothing.
    Answer(kUpdateDialogId, 2);
    Pass();
    EXPECT_TRUE(downloads.empty());
    Answer(kUpdateDialogId, 1);
    Pass();
    EXPECT_EQ(downloads, std::vector<int>{17307});
    EXPECT_EQ(notices.back().text, L"Aktualizace se stahuje. Ctrl+F9 zobrazí její stav.");
    EXPECT_TRUE(notices.back().sticky);
}

TEST_F(SessionTest, UpdateButtonWithoutAnOfferedBuildDoesNothing) {
    PairAndConnect();
    Answer(kUpdateDialogId, 1);
    Pass();
    EXPECT_TRUE(downloads.empty());
}

// ---- media token ----

TEST_F(SessionTest, MediaTokenFollowsConnectedAndConsent) {
    device_file = kCredential;
    Start();
    std::uint32_t g0 = ReadMediaSession(media).generation;
    Pass();
    MediaSessionCopy live = ReadMediaSession(media);
    EXPECT_EQ(live.token, kToken2);
    EXPECT_NE(live.generation, g0);
    RunFor(2000);
    EXPECT_EQ(ReadMediaSession(media).generation, live.generation);  // unchanged token
    Pass(true);
    MediaSessionCopy gone = ReadMediaSession(media);
    EXPECT_EQ(gone.token, "");
    EXPECT_NE(gone.generation, live.generation);
}

}  // namespace
}  // namespace hm
