// The photo hooks inside the real session step, against a scripted server and a fake clock: the
// shot request, the shown photo's fetch and keep-alive, the upload and their failures.
#include "core/photo_upload.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <set>
#include <stdexcept>

#include "core/session.h"
#include "net/header_block.h"

namespace hm {
namespace {

const std::string kToken = "2222222222222222222222222222222222222222222222222222222222222222";
const std::string kCredential = "cccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccc";

struct Reply {
    int status = 0;
    std::string body;
    const char* failure = nullptr;
};
Reply Status(int status, std::string body = "") { return {status, std::move(body), nullptr}; }
Reply Failure(const char* text) { return {0, "", text}; }

struct Sent {
    std::string method, path, body;
    std::uint32_t shot;
    Tick at;
};

class ScriptedServer {
public:
    void Always(const std::string& key, Reply r) { standing_[key] = std::move(r); }
    void Next(const std::string& key, Reply r) { queued_[key].push_back(std::move(r)); }
    ApiResponse Handle(const std::string& method, const std::string& path, const std::string& body,
                       std::uint32_t shot, Tick now) {
        sent.push_back({method, path, body, shot, now});
        const std::string key = method + " " + path;
        Reply r = Status(404);
        if (!queued_[key].empty()) {
            r = queued_[key].front();
            queued_[key].pop_front();
        } else if (standing_.count(key)) {
            r = standing_[key];
        }
        if (r.failure) throw std::runtime_error(r.failure);
        return {r.status, r.body};
    }
    std::vector<Sent> Of(const std::string& method, const std::string& path) const {
        std::vector<Sent> out;
        for (const Sent& s : sent)
            if (s.method == method && s.path == path) out.push_back(s);
        return out;
    }
    std::vector<Sent> sent;

private:
    std::map<std::string, Reply> standing_;
    std::map<std::string, std::deque<Reply>> queued_;
};

// "PIC <w>x<h>" decodes to a picture; anything else fails as the real decoder does.
PixelsRef FakeDecode(const std::string& bytes) {
    unsigned w = 0, h = 0;
    if (bytes.empty() || std::sscanf(bytes.c_str(), "PIC %ux%u", &w, &h) != 2) throw std::runtime_error("invalid picture");
    if (w < 1 || w > 1280 || h < 1 || h > 720) throw std::runtime_error("invalid gallery dimensions");
    return MakePixels(w, h);
}

class PhotoStepTest : public testing::Test {
protected:
    PhotoStepTest() {
        server.Always("POST /resume", Status(201, kCredential.substr(0, 0) + kToken + "\n0123456789ab\n"));
        server.Always("GET /state", Status(200, "OK 0 0 0"));
        server.Always("POST /presence", Status(204));
        server.Always("POST /device", Status(500));
        server.Always("POST /upload", Status(201));
        fx.request = [this](const ApiClient&, const std::string& method, const std::string& path,
                            const std::string& bearer, const std::string& body, std::uint32_t shot) {
            EXPECT_EQ(bearer, method == "POST" && path == "/resume" ? kCredential : kToken);
            return server.Handle(method, path, body, shot, now);
        };
        fx.notice = [this](const std::wstring& text, bool) { notices.push_back(text); };
        fx.plugin = &plugin;
        fx.shared = &shared;
        fx.load_device = [] { return kCredential; };

        photo.request = fx.request;
        photo.encode = [this](const Pixels& p) {
            if (encode_failure) throw std::runtime_error(encode_failure);
            return "JPEG " + std::to_string(p.width()) + "x" + std::to_string(p.height());
        };
        photo.decode = FakeDecode;
        photo.write_file = [this](Tick tick, int shot, const std::string& jpeg) {
            StorePhoto(
                [&](const std::wstring& name, const std::string& bytes) {
                    if (folder_broken) throw std::runtime_error("read-only");
                    return folder.emplace(name, bytes).second;
                },
                tick, shot, jpeg);
        };
        photo.notice = fx.notice;
        photo.plugin = &plugin;
        photo.shared = &shared;
        photo.photo_request = &request;
        InstallPhotoHooks(fx.hooks, record, photo);

        SessionSettings settings;
        settings.client.base_path = L"/HM/MEDIA-PLUGIN/test-api";
        settings.auto_connect = true;
        StartSession(session, settings, fx);
    }

    void Pass() {
        SessionInputs in;
        in.now = now;
        in.last_frame_tick = now;
        SessionStep(session, in, fx);
    }
    // Connects (resume) and runs the first state poll.
    void Connect() {
        Pass();
        ASSERT_TRUE(plugin.connected.load());
    }
    void NextPoll() {
        now += kStatePeriodMs;
        Pass();
    }
    void AfterFailure() {
        now += kStateRetryMs;
        Pass();
    }
    void Capture(int shot, std::uint32_t w = 1920, std::uint32_t h = 1080) {
        std::lock_guard<std::mutex> hold(shared.lock);
        shared.photo_frame = MakePixels(w, h);
        shared.photo_frame_request = shot;
    }
    std::wstring Refused(int status) { return kUploadRefusedNoticeHead + std::to_wstring(status) + L")."; }

    ScriptedServer server;
    Tick now = 10000;
    PluginRecord plugin;
    SharedState shared;
    PhotoRequestState request;
    SessionRecord session;
    SessionEffects fx;
    PhotoRecord record;
    PhotoEffects photo;
    std::vector<std::wstring> notices;
    std::map<std::wstring, std::string> folder;
    const char* encode_failure = nullptr;
    bool folder_broken = false;
};

TEST_F(PhotoStepTest, ARisingShotNumberArmsOneRequestPerNumberAndANewSessionStartsFromZero) {
    server.Always("GET /state", Status(200, "OK 7 0 0"));
    Connect();
    EXPECT_EQ(request.request.load(), 7);
    EXPECT_EQ(request.deadline.load(), now + 1500);
    request.request.store(0);  // served by the render thread
    NextPoll();
    EXPECT_EQ(request.request.load(), 0) << "the same number asks for nothing";
    server.Always("GET /state", Status(200, "OK 6 0 0"));
    NextPoll();
    EXPECT_EQ(request.request.load(), 0);

    server.Next("GET /state", Status(401));
    NextPoll();
    ASSERT_FALSE(plugin.connected.load());
    now += 5000;
    server.Always("GET /state", Status(200, "OK 3 0 0"));
    Pass();
    EXPECT_EQ(request.request.load(), 3) << "the counter restarts with the session";
}

TEST_F(PhotoStepTest, ACapturedShotIsEncodedStoredAndUploadedWithItsNumberAfterOkAndAfterWait) {
    Connect();
    Capture(2147483647);
    server.Always("GET /state", Status(200, "WAIT"));
    NextPoll();
    const auto uploads = server.Of("POST", "/upload");
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_EQ(uploads[0].shot, 2147483647u);
    EXPECT_EQ(uploads[0].body, "JPEG 1920x1080");  // the fake encoder names what it got
    HeaderInputs header;
    header.bearer = kToken;
    header.path = "/upload";
    header.shot = uploads[0].shot;
    EXPECT_NE(BuildHeaderBlock(header).find("\r\nX-HMMedia-Shot: 2147483647\r\n"), std::string::npos);
    const std::wstring name = std::to_wstring(now) + L"-2147483647.jpg";
    ASSERT_EQ(folder.count(name), 1u);
    EXPECT_EQ(folder[name], "JPEG 1920x1080");
    EXPECT_EQ(notices.back(), L"");
    EXPECT_EQ(shared.photo_frame, nullptr);
    EXPECT_EQ(shared.photo_frame_request, 0);

    server.Always("GET /state", Status(200, "OK 0 0 0"));
    Capture(8, 640, 480);
    NextPoll();
    ASSERT_EQ(server.Of("POST", "/upload").size(), 2u);
    EXPECT_EQ(server.Of("POST", "/upload")[1].shot, 8u);
}

TEST_F(PhotoStepTest, ARefusedOrFailedUploadKeepsTheLocalCopy) {
    struct Case {
        Reply reply;
        bool failed_step;
    } cases[] = {
        {Status(200), false}, {Status(413), false}, {Status(500), false},
        {Failure("connection reset"), true}, {Failure("HTTPS request timed out"), true},
    };
    Connect();
    int shot = 1;
    for (const Case& c : cases) {
        server.Next("POST /upload", c.reply);
        Capture(shot);
        notices.clear();
        const Tick before = session.state_deadline;
        now = std::max(now + kStatePeriodMs, before);
        Pass();
        EXPECT_EQ(folder.count(std::to_wstring(now) + L"-" + std::to_wstring(shot) + L".jpg"), 1u) << shot;
        if (c.failed_step) {
            EXPECT_EQ(session.state_deadline, now + kStateRetryMs) << "a failed state step";
            EXPECT_TRUE(notices.empty());
        } else {
            ASSERT_EQ(notices.size(), 1u);
            EXPECT_EQ(notices[0], Refused(c.reply.status));
        }
        ++shot;
    }
    EXPECT_EQ(notices.empty() ? L"" : notices[0], L"");
}

TEST_F(PhotoStepTest, AFailedLocalWriteUploadsNothingAndFailsTheStep) {
    Connect();
    folder_broken = true;
    plugin.photo_visible.store(true);
    Capture(4);
    NextPoll();
    EXPECT_TRUE(server.Of("POST", "/upload").empty());
    EXPECT_TRUE(folder.empty());
    EXPECT_FALSE(plugin.photo_visible.load());
    EXPECT_EQ(session.state_deadline, now + kStateRetryMs);
}

TEST_F(PhotoStepTest, ATakenFileNameIsNeverReplaced) {
    Connect();
    Capture(5);
    // A photo of an earlier boot got the same tick.
    folder[std::to_wstring(now + kStatePeriodMs) + L"-5.jpg"] = "older photo";
    NextPoll();
    EXPECT_EQ(folder[std::to_wstring(now) + L"-5.jpg"], "older photo");
    EXPECT_EQ(folder[std::to_wstring(now + 1) + L"-5.jpg"], "JPEG 1920x1080");
    EXPECT_EQ(server.Of("POST", "/upload").size(), 1u);
}

TEST_F(PhotoStepTest, AFrameTakenWhileNotConnectedIsDroppedWithoutALocalCopy) {
    Connect();
    server.Next("GET /state", Status(401));
    NextPoll();
    ASSERT_FALSE(plugin.connected.load());
    Capture(6);
    // Nothing polls while disconnected; call the upload as the state step would.
    PhotoUpload(record, now, kToken, photo);
    EXPECT_TRUE(folder.empty());
    EXPECT_EQ(shared.photo_frame_request, 0) << "the slot is emptied";
}

TEST_F(PhotoStepTest, FetchThenKeepAliveEvery2001msOnlyWhileVisible) {
    server.Always("GET /state", Status(200, "OK 0 12 3"));
    server.Always("GET /photo/12", Status(200, "PIC 640x360"));
    server.Always("GET /photo/12/access", Status(200));
    Connect();
    ASSERT_EQ(server.Of("GET", "/photo/12").size(), 1u);
    EXPECT_TRUE(plugin.photo_visible.load());
    {
        std::lock_guard<std::mutex> hold(shared.lock);
        ASSERT_TRUE(shared.shown_photo);
        EXPECT_EQ(shared.shown_photo->width(), 640u);
        EXPECT_EQ(shared.shown_photo_version, 1);
    }
    const Tick fetched = now;
    while (now < fetched + 2001) NextPoll();  // polls at +350 ... +2100
    auto access = server.Of("GET", "/photo/12/access");
    ASSERT_EQ(access.size(), 1u);
    EXPECT_GE(access[0].at, fetched + 2001);
    EXPECT_LT(access[0].at, fetched + 2001 + kStatePeriodMs);
    EXPECT_EQ(server.Of("GET", "/photo/12").size(), 1u) << "keep-alives do not fetch again";

    plugin.photo_visible.store(false);  // Ctrl+F11
    for (int i = 0; i < 20; ++i) NextPoll();
    EXPECT_EQ(server.Of("GET", "/photo/12/access").size(), 1u);
    plugin.photo_visible.store(true);
    NextPoll();
    EXPECT_EQ(server.Of("GET", "/photo/12/access").size(), 2u) << "resumes at once, no refetch";
    EXPECT_EQ(server.Of("GET", "/photo/12").size(), 1u);

    server.Always("GET /state", Status(200, "OK 0 12 4"));
    NextPoll();
    EXPECT_EQ(server.Of("GET", "/photo/12").size(), 2u) << "a new revision fetches at once";
    std::lock_guard<std::mutex> hold(shared.lock);
    EXPECT_EQ(shared.shown_photo_version, 2);
}

TEST_F(PhotoStepTest, RefusedPhotoClearsItAndEveryLaterAnswerFetchesAgain) {
    for (int status : {401, 403, 404}) {
        SCOPED_TRACE(status);
        server.Always("GET /state", Status(200, "OK 0 12 3"));
        server.Always("GET /photo/12", Status(200, "PIC 8x8"));
        if (!plugin.connected.load()) Connect(); else NextPoll();
        ASSERT_TRUE(plugin.photo_visible.load());
        int version = 0;
        {
            std::lock_guard<std::mutex> hold(shared.lock);
            version = shared.shown_photo_version;
        }
        server.Always("GET /state", Status(200, "OK 0 12 4"));
        server.Always("GET /photo/12", Status(status));
        const std::size_t before = server.Of("GET", "/photo/12").size();
        NextPoll();
        NextPoll();
        EXPECT_EQ(server.Of("GET", "/photo/12").size(), before + 2);
        EXPECT_FALSE(plugin.photo_visible.load());
        std::lock_guard<std::mutex> hold(shared.lock);
        EXPECT_EQ(shared.shown_photo, nullptr);
        EXPECT_EQ(shared.shown_photo_version, version + 2);
    }
}

TEST_F(PhotoStepTest, IdZeroHidesAndForgetsTheShownPhoto) {
    server.Always("GET /state", Status(200, "OK 0 12 3"));
    server.Always("GET /photo/12", Status(200, "PIC 8x8"));
    Connect();
    ASSERT_TRUE(plugin.photo_visible.load());
    server.Always("GET /state", Status(200, "OK 0 0 3"));
    NextPoll();
    EXPECT_FALSE(plugin.photo_visible.load());
    {
        std::lock_guard<std::mutex> hold(shared.lock);
        EXPECT_EQ(shared.shown_photo, nullptr);
        EXPECT_EQ(shared.shown_photo_version, 2);
    }
    server.Always("GET /state", Status(200, "OK 0 12 3"));
    NextPoll();
    EXPECT_EQ(server.Of("GET", "/photo/12").size(), 2u) << "the same pair is fetched again";
}

// A failure of the OK handling before the upload used to skip the upload of that pass.
TEST_F(PhotoStepTest, BadShownPhotoFailsTheStepButAWaitingShotIsStillStoredAndUploaded) {
    struct Case {
        const char* name;
        Reply photo;
    } cases[] = {
        {"empty", Status(200, "")},
        {"text", Status(200, "<html>no</html>")},
        {"too wide", Status(200, "PIC 1281x720")},
        {"too high", Status(200, "PIC 1280x721")},
        {"huge header", Status(200, "PIC 65535x65535")},
        {"moved", Status(302)},
        {"server error", Status(500)},
        {"body over 4 MiB", Failure("response too large")},
    };
    server.Always("GET /state", Status(200, "OK 0 12 3"));
    Connect();  // 404 for the photo: nothing shown yet
    int shot = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server.Next("GET /photo/12", c.photo);
        plugin.photo_visible.store(true);
        Capture(shot);
        now = std::max(now + kStatePeriodMs, session.state_deadline);
        Pass();
        EXPECT_FALSE(plugin.photo_visible.load());
        EXPECT_EQ(session.state_deadline, now + kStateRetryMs) << "a failed state step";
        const auto uploads = server.Of("POST", "/upload");
        ASSERT_FALSE(uploads.empty());
        EXPECT_EQ(uploads.back().shot, std::uint32_t(shot));
        EXPECT_EQ(folder.count(std::to_wstring(now) + L"-" + std::to_wstring(shot) + L".jpg"), 1u);
        ++shot;
    }
    server.Next("GET /photo/12", Status(200, "PIC 1280x720"));
    now = session.state_deadline;
    Pass();
    EXPECT_TRUE(plugin.photo_visible.load()) << "1280 x 720 is fine";
}

TEST_F(PhotoStepTest, AFailedReleaseCheckStillUploadsTheWaitingShot) {
    Connect();
    fx.hooks.release_check = [](Tick) { throw std::runtime_error("release unavailable"); };
    Capture(3);
    NextPoll();
    EXPECT_EQ(server.Of("POST", "/upload").size(), 1u);
    EXPECT_EQ(session.state_deadline, now + kStateRetryMs);
}

TEST_F(PhotoStepTest, EndSessionClearsRequestFrameVisibilityAndShownPhoto) {
    server.Always("GET /state", Status(200, "OK 4 12 3"));
    server.Always("GET /photo/12", Status(200, "PIC 8x8"));
    Connect();
    Capture(4);
    {
        std::lock_guard<std::mutex> hold(shared.lock);
        shared.photo_frame_request = 4;
    }
    server.Next("GET /state", Status(401));
    NextPoll();
    EXPECT_EQ(request.request.load(), 0);
    EXPECT_FALSE(plugin.photo_visible.load());
    std::lock_guard<std::mutex> hold(shared.lock);
    EXPECT_EQ(shared.photo_frame, nullptr);
    EXPECT_EQ(shared.photo_frame_request, 0);
    EXPECT_EQ(shared.shown_photo, nullptr);
    EXPECT_EQ(shared.shown_photo_version, 2);
}

}  // namespace
}  // namespace hm
