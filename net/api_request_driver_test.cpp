// ApiRequest under 32-bit Wine (api_request_probe.exe) against the fake API on 127.0.0.1:
// the header block on the wire, the redirect policy, the body limit and the failure texts, over
// plain HTTP and over HTTPS (the fake's throw-away certificate made trusted for one probe run).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <strings.h>
#include <string>
#include <vector>

#include "base/fnv1a.h"
#include "tools/fake_api/fake_api.h"

namespace hm {
namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string Quote(const std::string& text) { return "'" + text + "'"; }

struct Call {
    std::string url;
    bool consent = false;
    std::string name = "-";
    int port = 7777;
    std::string method = "GET";
    std::string path = "/state";
    std::string bearer = "-";
    unsigned shot = 0;
    std::size_t bodyBytes = 0;
    bool allowLocal = true;
    bool trustCertificate = true;  // HTTPS only: put the fake's certificate into the probe's trust store
};

// "key=value" fields of the probe's one output line; "body" runs to the end of the line.
struct Outcome {
    std::string line;
    std::string Field(const std::string& key) const {
        const std::string tag = key + "=";
        std::size_t at = line.rfind(" " + tag);
        at = line.compare(0, tag.size(), tag) == 0 ? 0 : (at == std::string::npos ? at : at + 1);
        if (at == std::string::npos) return "";
        const std::size_t from = at + tag.size();
        if (key == "body") return line.substr(from);
        if (key == "error") return line.substr(from, line.rfind(" ms=") - from);
        return line.substr(from, line.find(' ', from) - from);
    }
};

class TransportOver : public ::testing::Test {
protected:
    explicit TransportOver(fake::Scheme scheme) : api(scheme) {}

    fake::FakeApi api;
    std::string out;

    void SetUp() override {
        if (Env("HM_WIN32_BIN").empty() || Env("HM_WINE_RUN").empty())
            GTEST_SKIP() << "needs the Wine session of the host build (HM_WIN32_BUILD)";
        char tmpl[] = "/tmp/hm_transport_XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        out = std::string(tmpl) + "/probe.out";
    }
    void TearDown() override {
        if (!out.empty()) std::system(("rm -rf " + Quote(out.substr(0, out.rfind('/')))).c_str());
    }

    Outcome Run(Call c) {
        if (c.url.empty()) c.url = api.BaseUrl();
        std::string cmd = Quote(Env("HM_WINE_RUN")) + " win32 " + Quote(Env("HM_WIN32_BIN") + "/api_request_probe.exe");
        for (const std::string& a : {c.url, std::string(c.allowLocal ? "1" : "0"), std::string(c.consent ? "1" : "0"),
                                     c.name, std::to_string(c.port), c.method, c.path, c.bearer, std::to_string(c.shot),
                                     std::to_string(c.bodyBytes)})
            cmd += " " + Quote(a);
        if (api.scheme() == fake::Scheme::Https && c.trustCertificate) cmd += " " + Quote("Z:" + api.CertificateFile());
        // A file, not a pipe: Wine's background processes would hold a pipe open.
        cmd += " >" + Quote(out) + " 2>&1";
        std::system(cmd.c_str());
        std::ifstream in(out);
        std::string line, last;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();  // the console's CR LF
            if (line.rfind("status=", 0) == 0 || line.rfind("error=", 0) == 0) last = line;
        }
        EXPECT_FALSE(last.empty()) << "probe printed no result";
        return Outcome{last};
    }

    // Names of the recorded headers in wire order, only those the plugin sets itself.
    static std::vector<std::string> OwnHeaderNames(const fake::RecordedRequest& r) {
        static const std::vector<std::string> own = {"Content-Type",       "X-HMPlugin-Build",  "X-HMPlugin-Hardware",
                                                     "X-HMPlugin-Player",  "X-HMPlugin-Port",   "X-HMPlugin-Consent",
                                                     "Authorization",      "X-HMMedia-Shot"};
        std::vector<std::string> names;
        for (const auto& h : r.headers)
            for (const auto& o : own)
                if (strcasecmp(h.first.c_str(), o.c_str()) == 0) names.push_back(o);
        return names;
    }
};

class Transport : public TransportOver {
protected:
    Transport() : TransportOver(fake::Scheme::Http) {}
};

class HttpsTransport : public TransportOver {
protected:
    HttpsTransport() : TransportOver(fake::Scheme::Https) {}
};

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::MatchesRegex;

TEST_F(Transport, BeforeConsentNoIdentityHeadersWhateverTheName) {
    api.Script("GET", "/state", fake::Reply(200, "OK 0 0\n"));
    Call c;
    c.name = "Karel_Novak";
    c.bearer = "00aa11bb";
    const Outcome o = Run(c);
    EXPECT_EQ(o.Field("status"), "200") << o.line;
    EXPECT_EQ(o.Field("body"), "OK 0 0");
    const auto r = api.WaitFor("GET", "/state", std::chrono::seconds(5));
    ASSERT_TRUE(r.has_value());
    EXPECT_THAT(OwnHeaderNames(*r), ElementsAre("Content-Type", "X-HMPlugin-Build", "Authorization"));
    EXPECT_EQ(r->Header("Content-Type"), "image/jpeg");
    EXPECT_EQ(r->Header("X-HMPlugin-Build"), "17305");
    EXPECT_EQ(r->Header("Authorization"), "Bearer 00aa11bb");
    EXPECT_EQ(r->Header("User-Agent"), "HM_Plugin/1.00");
    EXPECT_EQ(r->target, "/HM/MEDIA-PLUGIN/test-api/state");
}

TEST_F(Transport, AfterConsentWithANameTheIdentityGoesInItsPlace) {
    api.Script("POST", "/upload", fake::Reply(201, "stored"));
    Call c;
    c.consent = true;
    c.name = "Karel_Novak";
    c.port = 7778;
    c.method = "POST";
    c.path = "/upload";
    c.bearer = "00aa11bb";
    c.shot = 42;
    c.bodyBytes = 10;
    const Outcome o = Run(c);
    EXPECT_EQ(o.Field("status"), "201") << o.line;
    const auto r = api.WaitFor("POST", "/upload", std::chrono::seconds(5));
    ASSERT_TRUE(r.has_value());
    EXPECT_THAT(OwnHeaderNames(*r), ElementsAre("Content-Type", "X-HMPlugin-Build", "X-HMPlugin-Player",
                                                "X-HMPlugin-Port", "X-HMPlugin-Consent", "Authorization",
                                                "X-HMMedia-Shot"));
    EXPECT_EQ(r->Header("X-HMPlugin-Player"), "Karel_Novak");
    EXPECT_EQ(r->Header("X-HMPlugin-Port"), "7778");
    EXPECT_EQ(r->Header("X-HMPlugin-Consent"), "1");
    EXPECT_EQ(r->Header("X-HMMedia-Shot"), "42");
    EXPECT_EQ(r->body, std::string(10, 'b'));
}

TEST_F(Transport, AfterConsentWithoutANameAndPresenceOverHttpNoIdentityNoHardware) {
    api.Script("POST", "/presence", fake::Reply(204));
    Call c;
    c.consent = true;
    c.method = "POST";
    c.path = "/presence";
    const Outcome o = Run(c);
    EXPECT_EQ(o.Field("status"), "204") << o.line;
    const auto r = api.WaitFor("POST", "/presence", std::chrono::seconds(5));
    ASSERT_TRUE(r.has_value());
    // Plain HTTP: the fingerprint is for HTTPS only (the HTTPS rule is pinned by the header tests).
    EXPECT_THAT(OwnHeaderNames(*r), ElementsAre("Content-Type", "X-HMPlugin-Build"));
}

TEST_F(Transport, VoiceExchangeIsOctetStreamAndDeleteIsSentAsDelete) {
    api.Script("DELETE", "/voice/exchange", fake::Reply(204));
    Call c;
    c.method = "DELETE";
    c.path = "/voice/exchange";
    EXPECT_EQ(Run(c).Field("status"), "204");
    const auto r = api.WaitFor("DELETE", "/voice/exchange", std::chrono::seconds(5));
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(r->Header("Content-Type"), "application/octet-stream");
}

TEST_F(Transport, RedirectIsReturnedNotFollowedAndStatusesAreNoErrors) {
    api.Script("GET", "/state", fake::Reply(302, "moved", {{"Location", api.BaseUrl() + "/elsewhere"}}));
    api.Script("GET", "/elsewhere", fake::Reply(200, "followed"));
    Outcome o = Run(Call());
    EXPECT_EQ(o.Field("status"), "302") << o.line;
    EXPECT_EQ(o.Field("body"), "moved");
    EXPECT_TRUE(api.RequestsTo("GET", "/elsewhere").empty());

    api.Script("GET", "/state", fake::Reply(500, "broken"));
    o = Run(Call());
    EXPECT_EQ(o.Field("status"), "500") << o.line;
    EXPECT_EQ(o.Field("body"), "broken");
}

TEST_F(Transport, BodyOfFourMebibytesIsAcceptedOneByteMoreIsRefused) {
    std::string body(4194304, '\0');
    for (std::size_t i = 0; i < body.size(); ++i) body[i] = char('a' + i % 26);
    api.Script("GET", "/state", fake::Reply(200, body));
    Outcome o = Run(Call());
    EXPECT_EQ(o.Field("status"), "200") << o.line;
    EXPECT_EQ(o.Field("size"), "4194304");
    char fnv[16];
    std::snprintf(fnv, sizeof fnv, "%08x", unsigned(Fnv1a32(body)));
    EXPECT_EQ(o.Field("fnv"), fnv);

    api.Script("GET", "/state", fake::Reply(200, body + "z"));
    o = Run(Call());
    EXPECT_EQ(o.Field("error"), "response too large") << o.line;
}

// An answer is what its head declares or nothing: a body that ends before its declared length
// (also an absurd one) and a head cut short fail as a read, never pass as a shorter answer.
TEST_F(Transport, AnswersCutShortAreReadFailures) {
    const std::string state = "OK 1 2 3\n";
    const std::string head = "HTTP/1.1 200 OK\r\n";
    const char* const kRead = "network read failed";
    struct Case {
        const char* what;
        fake::Reply reply;
        const char* outcome;  // "status=..." or the error text
    } cases[] = {
        {"declared 64, 7 bytes then closed",
         fake::Reply::Cut(head.size() + 20 + 2 + 7, fake::Reply(200, std::string(64, 'x'))), kRead},
        {"declared 64, 7 bytes then reset",
         fake::Reply::Cut(head.size() + 20 + 2 + 7, fake::Reply(200, std::string(64, 'x')), true), kRead},
        {"declared 2^64-1, short body then closed",
         fake::Reply::Cut(1000, fake::Reply(200, state, {{"Content-Length", "18446744073709551615"}})), kRead},
        {"declared far past 2^64, short body then closed",
         fake::Reply::Cut(1000, fake::Reply(200, state, {{"Content-Length", "99999999999999999999999"}})), kRead},
        {"declared length is no number",
         fake::Reply::Cut(1000, fake::Reply(200, state, {{"Content-Length", "12ab"}})), kRead},
        {"head cut inside the status line", fake::Reply::Cut(9, fake::Reply(200, state)), "HTTPS request failed"},
        {"head cut after the status line", fake::Reply::Cut(head.size(), fake::Reply(200, state)), kRead},
        {"head cut inside a header", fake::Reply::Cut(head.size() + 6, fake::Reply(200, state)), kRead},
        {"head cut before the blank line", fake::Reply::Cut(head.size() + 19, fake::Reply(200, state)), kRead},
        {"whole answer, then closed", fake::Reply::Cut(1000, fake::Reply(200, state)), "status=200"},
        {"empty body declared empty", fake::Reply(200, ""), "status=200"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        api.Script("GET", "/state", k.reply);
        const Outcome o = Run(Call());
        if (std::string(k.outcome).rfind("status=", 0) == 0) {
            EXPECT_EQ("status=" + o.Field("status"), k.outcome) << o.line;
        } else {
            EXPECT_EQ(o.Field("error"), k.outcome) << o.line;
        }
    }
}

TEST_F(Transport, SilentServerAndClosedPortAreRequestFailures) {
    api.Script("GET", "/state", fake::Reply::NeverAnswer());
    Outcome o = Run(Call());
    EXPECT_EQ(o.Field("error"), "HTTPS request failed") << o.line;
    // Given up after the 5 s receive time-out (emulation adds start-up, not waiting).
    const long ms = std::atol(o.Field("ms").c_str());
    EXPECT_GE(ms, 4500) << o.line;
    EXPECT_LT(ms, 15000) << o.line;

    api.Stop();
    o = Run(Call());
    EXPECT_EQ(o.Field("error"), "HTTPS request failed") << o.line;
    EXPECT_LT(std::atol(o.Field("ms").c_str()), 8000) << o.line;
}

TEST_F(Transport, PolicyRefusalsComeFromTheClient) {
    Call c;
    c.url = "http://localhost:" + std::to_string(api.port()) + "/HM/MEDIA-PLUGIN/test-api";
    EXPECT_EQ(Run(c).Field("error"), "HTTPS required");
    c.url = api.BaseUrl();
    c.allowLocal = false;
    EXPECT_EQ(Run(c).Field("error"), "HTTPS required");
    EXPECT_TRUE(api.Requests().empty());
}

// The fingerprint goes only with "/presence" (exactly), only after consent, only over HTTPS,
// right after the build header; it is 64 lower-case hex digits (a SHA-256), the same in every
// process on this machine. (Wine gives a system UUID even without DMI tables, so it is never
// empty here.)
TEST_F(HttpsTransport, HardwareFingerprintOnlyOnPresenceAfterConsent) {
    api.Script("POST", "/presence*", fake::Reply(204));
    api.Script("GET", "/state", fake::Reply(200, "OK 0 0\n"));
    const std::vector<std::string> identity = {"X-HMPlugin-Player", "X-HMPlugin-Port", "X-HMPlugin-Consent"};
    struct Case {
        const char* what;
        bool consent;
        std::string name, method, path;
        bool hardware;
        bool named;  // the identity headers follow
    } cases[] = {
        {"presence after consent, with a name", true, "Karel_Novak", "POST", "/presence", true, true},
        {"presence after consent, no name", true, "-", "POST", "/presence", true, false},
        {"state after consent", true, "Karel_Novak", "GET", "/state", false, true},
        {"presence before consent", false, "Karel_Novak", "POST", "/presence", false, false},
        {"a longer path than presence", true, "-", "POST", "/presence/", false, false},
    };
    std::vector<std::string> fingerprints;
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        api.ClearLog();
        Call c;
        c.consent = k.consent;
        c.name = k.name;
        c.method = k.method;
        c.path = k.path;
        const Outcome o = Run(c);
        EXPECT_EQ(o.Field("status"), k.method == "GET" ? "200" : "204") << o.line;
        const auto r = api.WaitFor(k.method, k.path, std::chrono::seconds(5));
        ASSERT_TRUE(r.has_value());
        std::vector<std::string> expected = {"Content-Type", "X-HMPlugin-Build"};
        if (k.hardware) expected.push_back("X-HMPlugin-Hardware");
        if (k.named) expected.insert(expected.end(), identity.begin(), identity.end());
        EXPECT_THAT(OwnHeaderNames(*r), ElementsAreArray(expected));
        EXPECT_EQ(r->Header("Host"), "localhost:" + std::to_string(api.port()));
        if (k.hardware) {
            EXPECT_THAT(r->Header("X-HMPlugin-Hardware"), MatchesRegex("[0-9a-f]{64}"));
            fingerprints.push_back(r->Header("X-HMPlugin-Hardware"));
        }
    }
    ASSERT_EQ(fingerprints.size(), 2u);
    EXPECT_EQ(fingerprints[0], fingerprints[1]) << "two probe processes, one machine";
}

// The plugin never relaxes certificate checks: a server its platform does not trust gets a
// handshake and nothing more.
TEST_F(HttpsTransport, UntrustedCertificateIsARequestFailure) {
    api.Script("POST", "/presence", fake::Reply(204));
    Call c;
    c.consent = true;
    c.method = "POST";
    c.path = "/presence";
    c.bodyBytes = 10;
    c.trustCertificate = false;
    const Outcome o = Run(c);
    EXPECT_EQ(o.Field("error"), "HTTPS request failed") << o.line;
    EXPECT_EQ(o.Field("status"), "");
    EXPECT_TRUE(api.Requests().empty());
}

}  // namespace
}  // namespace hm
