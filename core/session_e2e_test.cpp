// End to end: the plugin's session shell (real WinHTTP, DPAPI device.bin, notices, worker pass)
// under 32-bit Wine in session_probe.exe, against the scripted fake API on 127.0.0.1.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tools/fake_api/fake_api.h"

namespace hm {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::string kCredential = "c0ffee00c0ffee00c0ffee00c0ffee00c0ffee00c0ffee00c0ffee00c0ffee00";
const std::string kToken = "5e5510115e5510115e5510115e5510115e5510115e5510115e5510115e551011";
const std::string kGrant = kToken + "\n0123456789ab\n";

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string Quote(const std::string& text) { return "'" + text + "'"; }

// The Linux path as Wine's Z: drive sees it.
std::string WinePath(const std::string& path) {
    std::string out = "Z:" + path;
    std::replace(out.begin(), out.end(), '/', '\\');
    return out;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool Exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

struct Timed {
    std::string key;  // "METHOD /path"
    Clock::time_point at;
    int status;
};

class SessionE2E : public testing::Test {
protected:
    void SetUp() override {
        if (Env("HM_WIN32_BIN").empty() || Env("HM_WINE_RUN").empty())
            GTEST_SKIP() << "needs the Wine session of the host build (HM_WIN32_BUILD)";
        char tmpl[] = "/tmp/hm_session_e2e_XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        device_ = dir_ + "/HMMedia/device.bin";
        log_ = dir_ + "/probe.log";
        api_.OnRequest([this](const fake::RecordedRequest& r, const fake::Reply& reply) {
            std::lock_guard<std::mutex> hold(lock_);
            timed_.push_back({r.method + " " + r.path, Clock::now(), reply.status});
        });
        api_.Script("POST", "/resume", fake::Reply(201, kGrant));
        api_.Script("GET", "/state", fake::Reply(200, "OK 0 0\n"));
        api_.Script("POST", "/presence", fake::Reply(204));
        api_.Script("DELETE", "/session", fake::Reply(204));
        api_.Script("DELETE", "/device", fake::Reply(204));
    }
    void TearDown() override {
        if (!dir_.empty()) std::system(("rm -rf " + Quote(dir_)).c_str());
    }

    int Probe(const std::vector<std::string>& args) {
        std::string cmd = Quote(Env("HM_WINE_RUN")) + " win32 " + Quote(Env("HM_WIN32_BIN") + "/session_probe.exe");
        for (const auto& a : args) cmd += " " + Quote(a);
        cmd += " >>" + Quote(dir_ + "/probe.out") + " 2>&1";
        int rc = std::system(cmd.c_str());
        return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    }
    void SaveDevice() {
        ASSERT_EQ(Probe({"save", WinePath(device_), api_.BaseUrl(), kCredential}), 0) << ReadFile(dir_ + "/probe.out");
        ASSERT_TRUE(Exists(device_));
    }
    int RunProbe(int ms) { return Probe({"run", WinePath(device_), api_.BaseUrl(), WinePath(log_), std::to_string(ms)}); }

    std::vector<Timed> Timeline(const std::string& key = "") {
        std::lock_guard<std::mutex> hold(lock_);
        std::vector<Timed> out;
        for (const auto& t : timed_)
            if (key.empty() || t.key == key) out.push_back(t);
        return out;
    }
    static long Ms(Clock::duration d) { return long(std::chrono::duration_cast<std::chrono::milliseconds>(d).count()); }
    static long MedianGap(const std::vector<Timed>& events) {
        std::vector<long> gaps;
        for (std::size_t i = 1; i < events.size(); ++i) gaps.push_back(Ms(events[i].at - events[i - 1].at));
        if (gaps.empty()) return -1;
        std::sort(gaps.begin(), gaps.end());
        return gaps[gaps.size() / 2];
    }
    int CountNotice(const std::string& text) {
        std::string log = ReadFile(log_);
        int n = 0;
        for (std::size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) ++n;
        return n;
    }

    fake::FakeApi api_;
    std::string dir_, device_, log_;
    std::mutex lock_;
    std::vector<Timed> timed_;
};

TEST_F(SessionE2E, RememberedDeviceResumesWithoutDialogAndKeepsPolling) {
    SaveDevice();
    ASSERT_EQ(RunProbe(6000), 0) << ReadFile(dir_ + "/probe.out");
    auto requests = api_.Requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests[0].method + " " + requests[0].path, "POST /resume");
    EXPECT_EQ(requests[0].Header("Authorization"), "Bearer " + kCredential);
    EXPECT_TRUE(api_.RequestsTo("POST", "/pair").empty());
    EXPECT_TRUE(api_.RequestsTo("POST", "/device").empty());  // remembered already: nothing twice
    EXPECT_EQ(api_.RequestsTo("POST", "/resume").size(), 1u);

    auto states = Timeline("GET /state");
    auto presences = Timeline("POST /presence");
    long state_gap = MedianGap(states), presence_gap = MedianGap(presences);
    std::printf("[ figures  ] %zu state polls, median gap %ld ms; %zu presence checks, median gap %ld ms\n",
                states.size(), state_gap, presences.size(), presence_gap);
    EXPECT_GE(states.size(), 6u);
    EXPECT_GE(state_gap, 330);
    EXPECT_LE(state_gap, 700);
    EXPECT_GE(presences.size(), 3u);
    EXPECT_GE(presence_gap, 950);
    EXPECT_LE(presence_gap, 1600);
    for (const auto& r : api_.RequestsTo("POST", "/presence")) {
        EXPECT_EQ(r.Header("Authorization"), "Bearer " + kToken);
        EXPECT_EQ(r.Header("X-HMPlugin-Player"), "Probe_Player");
        EXPECT_EQ(r.Header("X-HMPlugin-Port"), "7777");
        EXPECT_EQ(r.Header("X-HMPlugin-Consent"), "1");
        EXPECT_FALSE(r.HasHeader("X-HMPlugin-Hardware"));  // plain HTTP never carries it
    }
    for (const auto& r : api_.RequestsTo("GET", "/state")) EXPECT_EQ(r.Header("Authorization"), "Bearer " + kToken);
    EXPECT_NE(ReadFile(log_).find("end connected=1 consent=1"), std::string::npos) << ReadFile(log_);
    EXPECT_TRUE(Exists(device_));

    // The computer's exchange runs on the same passes with the session's token, one request per
    // 200 ms at most, and only once the session is there.
    auto editor = Timeline("GET /editor/state");
    const long editor_gap = MedianGap(editor);
    std::printf("[ figures  ] %zu editor polls, median gap %ld ms\n", editor.size(), editor_gap);
    EXPECT_GE(editor.size(), 6u);
    EXPECT_GE(editor_gap, 200);
    EXPECT_LE(editor_gap, 700);
    ASSERT_FALSE(editor.empty());
    EXPECT_GT(editor.front().at, Timeline("POST /resume").front().at);
    for (const auto& r : api_.RequestsTo("GET", "/editor/state")) {
        EXPECT_EQ(r.Header("Authorization"), "Bearer " + kToken);
        EXPECT_EQ(r.query, "") << "no screen shown: no ?current=";
    }
}

TEST_F(SessionE2E, ExpiredStateResumesAgainAfterTwoSeconds) {
    api_.ScriptSequence("GET", "/state",
                        {fake::Reply(200, "OK 0 0"), fake::Reply(200, "OK 0 0"), fake::Reply(401), fake::Reply(200, "OK 0 0")});
    SaveDevice();
    ASSERT_EQ(RunProbe(6000), 0) << ReadFile(dir_ + "/probe.out");
    auto resumes = Timeline("POST /resume");
    Timed expired{};
    for (const auto& t : Timeline("GET /state"))
        if (t.status == 401) expired = t;
    ASSERT_EQ(resumes.size(), 2u);
    ASSERT_EQ(expired.status, 401);
    long wait = Ms(resumes[1].at - expired.at);
    std::printf("[ figures  ] resume %ld ms after the 401\n", wait);
    EXPECT_GE(wait, 1950);
    EXPECT_LE(wait, 3000);
    EXPECT_EQ(CountNotice("HM Plugin: obnovuji zapamatovane pripojeni."), 1) << ReadFile(log_);
    EXPECT_NE(ReadFile(log_).find("end connected=1"), std::string::npos);
}

TEST_F(SessionE2E, RefusedResumeDeletesDeviceFileAndIsNotRetried) {
    api_.Script("POST", "/resume", fake::Reply(403));
    SaveDevice();
    ASSERT_EQ(RunProbe(7000), 0) << ReadFile(dir_ + "/probe.out");
    EXPECT_EQ(api_.RequestsTo("POST", "/resume").size(), 1u);
    EXPECT_TRUE(api_.RequestsTo("GET", "/state").empty());
    EXPECT_FALSE(Exists(device_));
    EXPECT_EQ(CountNotice("HM Plugin: zapamatovane pripojeni zruseno. Ctrl+F10 pro nove sparovani."), 1)
        << ReadFile(log_);
    EXPECT_NE(ReadFile(log_).find("end connected=0"), std::string::npos);
}

TEST_F(SessionE2E, PollingComesBackByItselfAfterTheApiWasDownForTwelveSeconds) {
    SaveDevice();
    int rc = -1;
    std::thread probe([&] { rc = RunProbe(24000); });
    auto seen = api_.WaitFor("GET", "/state", 15s, 2);
    if (seen) {
        api_.Stop();
        std::this_thread::sleep_for(12s);
        api_.Restart();
    }
    auto restarted = Clock::now();
    probe.join();
    ASSERT_TRUE(seen) << ReadFile(dir_ + "/probe.out");
    ASSERT_EQ(rc, 0) << ReadFile(dir_ + "/probe.out");
    auto states = Timeline("GET /state");
    std::size_t after = std::count_if(states.begin(), states.end(), [&](const Timed& t) { return t.at > restarted; });
    std::printf("[ figures  ] %zu state polls after the restart\n", after);
    EXPECT_GE(after, 2u);
    EXPECT_EQ(api_.RequestsTo("POST", "/resume").size(), 1u);  // the session itself stayed
    EXPECT_TRUE(api_.RequestsTo("POST", "/pair").empty());
    EXPECT_LE(CountNotice("HM Plugin: spojeni je docasne nedostupne, obnovuji automaticky."), 1);
    EXPECT_NE(ReadFile(log_).find("end connected=1"), std::string::npos) << ReadFile(log_);
}

TEST_F(SessionE2E, ConsentPairsRemembersTheDeviceAndTheNextStartResumesWithIt) {
    const std::string remembered = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";
    api_.Script("POST", "/pair", fake::Reply(201, kGrant));
    api_.ScriptSequence("GET", "/state",
                        {fake::Reply(403), fake::Reply(200, "WAIT\n"), fake::Reply(200, "OK 0 0\n")});
    api_.Script("POST", "/device", fake::Reply(201, remembered + "\n"));
    // Ten seconds: the dialog, pairing, three polls and the device request took over five on a
    // loaded machine.
    ASSERT_EQ(Probe({"run", WinePath(device_), api_.BaseUrl(), WinePath(log_), "10000", "agree"}), 0)
        << ReadFile(dir_ + "/probe.out");
    const std::string log = ReadFile(log_);
    // The automatic prompt opened once; agreeing paired and published the bind code until the
    // first OK answer.
    EXPECT_THAT(log, testing::ContainsRegex("dialog [0-9]+ -1 HM Plugin 1.00 BETA\n")) << log;
    EXPECT_EQ(log.find("dialog", log.find("dialog") + 1), std::string::npos) << log;
    EXPECT_THAT(log, testing::ContainsRegex("bind [0-9]+ 0123456789ab\nbind [0-9]+ \n")) << log;
    auto pair = api_.RequestsTo("POST", "/pair");
    ASSERT_EQ(pair.size(), 1u);
    EXPECT_FALSE(pair[0].HasHeader("Authorization"));
    EXPECT_EQ(pair[0].Header("X-HMPlugin-Consent"), "1");  // consent comes before the request
    EXPECT_EQ(pair[0].Header("X-HMPlugin-Player"), "Probe_Player");
    auto device = api_.RequestsTo("POST", "/device");
    ASSERT_EQ(device.size(), 1u);
    EXPECT_EQ(device[0].Header("Authorization"), "Bearer " + kToken);
    EXPECT_TRUE(Exists(device_));
    EXPECT_EQ(CountNotice("HM Plugin: sparovani zapamatovano. Priste se pripoji automaticky."), 1) << log;
    EXPECT_NE(log.find("end connected=1 consent=1"), std::string::npos) << log;

    // The next start resumes with the credential DPAPI kept, without any dialog.
    api_.ClearLog();
    ASSERT_EQ(RunProbe(2500), 0) << ReadFile(dir_ + "/probe.out");
    auto resume = api_.RequestsTo("POST", "/resume");
    ASSERT_EQ(resume.size(), 1u);
    EXPECT_EQ(resume[0].Header("Authorization"), "Bearer " + remembered);
    EXPECT_EQ(ReadFile(log_).find("dialog"), std::string::npos);
    EXPECT_TRUE(api_.RequestsTo("POST", "/pair").empty());
}

}  // namespace
}  // namespace hm
