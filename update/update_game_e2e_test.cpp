// End to end in the fake game: a connected plugin (remembered device) learns of a newer release
// in its state flow, downloads and verifies the package on its own thread while the state polls
// go on, and with AutoDownloadUpdates=0 only announces it until the update dialog's first button.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "tools/e2e/e2e_harness.h"

namespace hm::e2e {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::string kCredential = "0dd0ba110dd0ba110dd0ba110dd0ba110dd0ba110dd0ba110dd0ba110dd0ba11";
const std::string kToken = "7ea7ea007ea7ea007ea7ea007ea7ea007ea7ea007ea7ea007ea7ea007ea7ea00";
constexpr const char* kPackagePath = "/downloads/HM_Plugin-test-client.zip";

std::string Quote(const std::string& text) { return "'" + text + "'"; }

std::string Sha256Hex(const std::string& bytes, const std::string& scratch) {
    {
        std::ofstream out(scratch, std::ios::binary);
        out << bytes;
    }
    FILE* p = ::popen(("sha256sum " + Quote(scratch)).c_str(), "r");
    char hex[65] = {};
    if (p) {
        if (std::fread(hex, 1, 64, p) != 64) hex[0] = 0;
        ::pclose(p);
    }
    std::remove(scratch.c_str());
    return hex;
}

// Fresh bytes every run: a package left in Wine's Downloads by an earlier run has the right size
// but not the right hash, so it is always fetched again.
std::string FreshPackage(std::size_t size) {
    std::mt19937 random(std::random_device{}());
    std::string p(size, '\0');
    for (char& c : p) c = char(random());
    return p;
}

class UpdateInGame : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("HM_WIN32_BIN") || !std::getenv("HM_WINE_RUN")) GTEST_SKIP() << "needs HM_WIN32_BUILD";
    }

    // Connected through the remembered device, a newer build on the server.
    void Connect(Scenario& s, const std::string& autoDownload, int packageDelayMs) {
        fake::FakeApi& api = s.api();
        api.OnRequest([this](const fake::RecordedRequest& r, const fake::Reply&) {
            std::lock_guard<std::mutex> hold(lock);
            seen.push_back({r.method + " " + r.path, Clock::now()});
        });
        api.Script("POST", "/resume", fake::Reply(201, kToken + "\n0123456789ab\n"));
        api.Script("GET", "/state", fake::Reply(200, "OK 0 0\n"));
        api.Script("POST", "/presence", fake::Reply(204));
        api.Script("GET", "/client/release", fake::Reply(200, "HMPLUGIN\n17306\n1.01\n"));
        package = FreshPackage(1536 * 1024);
        api.Script("GET", "/client/update",
                   fake::Reply(200, "HMUPDATE\n17306\n1.01\n" + std::to_string(package.size()) + "\n" +
                                        Sha256Hex(package, s.dir() + "/.scratch") + "\n"));
        api.Script("GET", kPackagePath, fake::Reply::Delayed(packageDelayMs, fake::Reply(200, package)));

        ASSERT_EQ(RunSessionProbe(s.dir(), {"save-plugin", api.BaseUrl(), kCredential}), 0);
        IniKeys ini = s.DefaultIni();
        ini.push_back({"AutoConnect", "1"});
        ini.push_back({"AutoDownloadUpdates", autoDownload});
        s.WriteIni(ini);
        s.StartGame();
    }

    std::vector<Clock::time_point> Times(const std::string& key) {
        std::lock_guard<std::mutex> hold(lock);
        std::vector<Clock::time_point> t;
        for (const auto& [k, at] : seen)
            if (k == key) t.push_back(at);
        return t;
    }

    std::mutex lock;
    std::vector<std::pair<std::string, Clock::time_point>> seen;
    std::string package;
};

TEST_F(UpdateInGame, NewerReleaseIsDownloadedWhileTheStatePollsGoOn) {
    Scenario s("update_download");
    ForgetDeviceAtEnd forget{s.dir()};
    Connect(s, "1", 3000);
    fake::FakeApi& api = s.api();
    ASSERT_TRUE(s.RenderUntil([&] { return !api.RequestsTo("GET", kPackagePath).empty(); }, 60s))
        << s.Ok("plugin") << "\n" << s.GameLog();
    // Give the download thread time to verify and post its text before the banner is shot.
    s.Ok("run 4000");
    s.Screenshot("update_banner.png");

    EXPECT_EQ(api.RequestsTo("GET", "/client/release").size(), 1u) << "one check, then every 300 s";
    EXPECT_EQ(api.RequestsTo("GET", "/client/update").size(), 1u);
    const auto downloads = api.RequestsTo("GET", kPackagePath);
    ASSERT_EQ(downloads.size(), 1u);
    EXPECT_EQ(downloads[0].Header("User-Agent"), "HM_Plugin updater");
    EXPECT_EQ(downloads[0].Header("Authorization"), "");
    EXPECT_EQ(downloads[0].Header("X-HMPlugin-Build"), "");

    // The server holds the package back for 3 s: the worker must keep polling meanwhile.
    const auto asked = Times("GET " + std::string(kPackagePath));
    ASSERT_FALSE(asked.empty());
    std::vector<long> during;
    Clock::time_point last{};
    for (const auto& at : Times("GET /state")) {
        if (at > asked[0] && at < asked[0] + 3000ms) {
            if (last != Clock::time_point{})
                during.push_back(long(std::chrono::duration_cast<std::chrono::milliseconds>(at - last).count()));
            last = at;
        }
    }
    std::sort(during.begin(), during.end());
    std::printf("[ figures  ] %zu state polls while the package was held back; median gap %ld ms\n", during.size() + 1,
                during.empty() ? -1L : during[during.size() / 2]);
    EXPECT_GE(during.size(), 2u) << "the worker stalled during the download";
    EXPECT_EQ(s.Quit(), 0);
}

TEST_F(UpdateInGame, AutoDownloadOffAnnouncesAndWaitsForTheDialogButton) {
    Scenario s("update_announce_only");
    ForgetDeviceAtEnd forget{s.dir()};
    Connect(s, "0", 0);
    fake::FakeApi& api = s.api();
    ASSERT_TRUE(s.RenderUntil([&] { return !api.RequestsTo("GET", "/client/release").empty(); }, 60s))
        << s.Ok("plugin") << "\n" << s.GameLog();
    s.Ok("run 3000");
    s.Screenshot("update_announced.png");
    EXPECT_TRUE(api.RequestsTo("GET", "/client/update").empty()) << "downloaded although AutoDownloadUpdates=0";

    // Ctrl+F9 asks the server again and offers the download; the first button starts it.
    s.Ok("focus");
    s.Ok("key down CTRL");
    s.Ok("key tap F9");
    s.Ok("key up CTRL");
    ASSERT_TRUE(s.RenderUntil([&] { return api.RequestsTo("GET", "/client/release").size() >= 2; }, 30s))
        << s.Ok("plugin");
    ASSERT_TRUE(RenderUntilCanvasColour(s, kUpdateHeader.x, kUpdateHeader.y, kDialogHeaderRgb, 30s));
    s.Ok("canvasclick " + std::to_string(kUpdateFirstButton.x) + " " + std::to_string(kUpdateFirstButton.y));
    EXPECT_TRUE(s.RenderUntil([&] { return !api.RequestsTo("GET", kPackagePath).empty(); }, 60s));
    EXPECT_EQ(api.RequestsTo("GET", "/client/update").size(), 1u);
    EXPECT_EQ(s.Quit(), 0);
}

}  // namespace
}  // namespace hm::e2e
