#include "tv/tv_state.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace hm {
namespace {

struct Server {
    int status = 200;
    std::string body = "TV 15";
    std::string throws;  // nonempty: the transport fails with this text
    bool throw_empty = false;
    int requests = 0;
    std::string last_path, last_bearer;
};

struct Fixture {
    Server server;
    std::string start_throws;
    std::vector<std::wstring> starts;
    int stops = 0;
    std::vector<std::wstring> notices;
    TvStateRecord record;
    TvScreenState screen;
    ApiClient client{L"127.0.0.1", L"/HM/MEDIA-PLUGIN/test-api", 8443, true};
    TvStateEffects fx;

    Fixture() {
        fx.request = [this](const ApiClient&, const std::string& method, const std::string& path, const std::string& bearer,
                            const std::string&, std::uint32_t) {
            ++server.requests;
            EXPECT_EQ(method, "GET");
            server.last_path = path;
            server.last_bearer = bearer;
            if (server.throw_empty) throw std::runtime_error("");
            if (!server.throws.empty()) throw std::runtime_error(server.throws);
            return ApiResponse{server.status, server.body};
        };
        fx.start = [this](const std::wstring& url) {
            if (!start_throws.empty()) throw std::runtime_error(start_throws);
            starts.push_back(url);
        };
        fx.stop = [this] {
            ++stops;
            screen.screen_id = 0;
            screen.frame_deadline = 0;
        };
        fx.notice = [this](const std::wstring& text, bool) { notices.push_back(text); };
    }
    void Step(Tick now, bool television = true) { TvStateStep(record, screen, fx, client, television, now, "tok"); }
};

TEST(TvStateStep, StartsRenewsAndStopsOnItsOwnTimer) {
    Fixture f;
    f.Step(1000);
    EXPECT_EQ(f.server.last_path, "/tv/state");
    EXPECT_EQ(f.server.last_bearer, "tok");
    ASSERT_EQ(f.starts.size(), 1u);
    EXPECT_EQ(f.starts[0], L"https://127.0.0.1:8443/HM/MEDIA-PLUGIN/test-api/tv/player#tok");
    EXPECT_EQ(f.screen.screen_id.load(), 15);
    EXPECT_EQ(f.screen.frame_deadline.load(), 4500u);
    EXPECT_TRUE(TvPictureLive(f.screen, 4499));
    EXPECT_FALSE(TvPictureLive(f.screen, 4500));

    f.Step(1699);  // the state poll runs every 350 ms; this step every 700 ms
    EXPECT_EQ(f.server.requests, 1);
    f.server.body = "TV\n30001";
    f.Step(1700);
    EXPECT_EQ(f.server.requests, 2);
    EXPECT_EQ(f.screen.screen_id.load(), 30001);
    EXPECT_EQ(f.screen.frame_deadline.load(), 5200u);

    f.server.body = "OFF";
    f.Step(2400);
    EXPECT_EQ(f.stops, 1);
    EXPECT_EQ(f.screen.screen_id.load(), 0);
    EXPECT_TRUE(f.notices.empty());
}

TEST(TvStateStep, SwitchedOffAsksNothing) {
    Fixture f;
    f.Step(1000, false);
    EXPECT_EQ(f.server.requests, 0);
    EXPECT_EQ(f.stops, 0);
}

TEST(TvStateStep, FailuresStopShowTheTextAndQuietFor15Seconds) {
    struct Case {
        std::string transport;
        bool empty_message;
        std::string start;
        std::wstring notice;
    };
    const std::vector<Case> cases = {
        {"response too large", false, "", L"HM Plugin: response too large"},
        {"", true, "", L"HM Plugin: chyba prehravace. Spust ZKONTROLOVAT.cmd."},
        {"", false, "TV URL too long", L"HM Plugin: TV URL too long"},
        {"", false, "Prehravac skoncil (kod 0xc0000005). Spust ZKONTROLOVAT.cmd.",
         L"HM Plugin: Prehravac skoncil (kod 0xc0000005). Spust ZKONTROLOVAT.cmd."},
    };
    for (const Case& c : cases) {
        Fixture f;
        f.screen.screen_id = 15;
        f.screen.frame_deadline = 99999;
        f.server.throws = c.transport;
        f.server.throw_empty = c.empty_message;
        f.start_throws = c.start;
        f.Step(1000);
        EXPECT_EQ(f.stops, 1);
        EXPECT_EQ(f.screen.screen_id.load(), 0);
        ASSERT_EQ(f.notices.size(), 1u);
        EXPECT_EQ(f.notices[0], c.notice);
        f.Step(15999);
        EXPECT_EQ(f.server.requests, 1) << "quiet for 15 s after a failure";
        f.Step(16000);
        EXPECT_EQ(f.server.requests, 2);
    }
}

}  // namespace
}  // namespace hm
