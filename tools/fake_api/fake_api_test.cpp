#include "tools/fake_api/fake_api.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <regex>
#include <thread>

#include "tools/fake_api/demo_world.h"

namespace hm::fake {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::Pair;

// A raw client socket: the tests control every byte on the wire.
class RawConn {
public:
    explicit RawConn(int port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(std::uint16_t(port));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    }
    ~RawConn() { ::close(fd_); }
    bool connected() const { return connected_; }
    void Send(const std::string& bytes) { ASSERT_EQ(::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL), ssize_t(bytes.size())); }
    // Reads until `want` bytes arrived, the peer closed, or the time ran out.
    std::string Read(std::chrono::milliseconds timeout, std::size_t want = SIZE_MAX) {
        std::string out;
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (out.size() < want) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, int(left.count())) <= 0) break;
            char buf[4096];
            const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
            if (n <= 0) {
                closed_ = true;
                break;
            }
            out.append(buf, std::size_t(n));
        }
        return out;
    }
    bool closed() const { return closed_; }

private:
    int fd_ = -1;
    bool connected_ = false;
    bool closed_ = false;
};


TEST(FakeApi, AnswersWhatIsScriptedAnd404Otherwise) {
    FakeApi api;
    api.Script("GET", "/state", Reply{200, "OK\n1\n0\n", {{"X-Test", "yes"}}});
    api.Script("POST", "/pair", Reply{201, "grant"});
    api.Script("DELETE", "/session", Reply{204, ""});
    httplib::Client client("127.0.0.1", api.port());

    struct Case {
        std::string method, path;
        int status;
        std::string body;
    } cases[] = {
        {"GET", "/state", 200, "OK\n1\n0\n"},
        {"POST", "/pair", 201, "grant"},
        {"DELETE", "/session", 204, ""},
        {"POST", "/state", 404, ""},     // method is part of the key
        {"GET", "/unknown", 404, ""},
        {"GET", "/state/", 404, ""},     // paths match exactly
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.method + " " + c.path);
        const std::string url = api.BasePath() + c.path;
        httplib::Result res = c.method == "GET"    ? client.Get(url.c_str())
                              : c.method == "POST" ? client.Post(url.c_str(), "", "text/plain")
                                                   : client.Delete(url.c_str());
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, c.status);
        EXPECT_EQ(res->body, c.body);
    }
    auto state = client.Get((api.BasePath() + "/state").c_str());
    ASSERT_TRUE(state);
    EXPECT_EQ(state->get_header_value("X-Test"), "yes");
    EXPECT_EQ(api.Requests().size(), std::size(cases) + 1);
}

TEST(FakeApi, RecordsRequestsAsTheyArriveOnTheWire) {
    FakeApi api;
    RawConn c(api.port());
    ASSERT_TRUE(c.connected());
    c.Send("POST /HM/MEDIA-PLUGIN/test-api/upload?shot=7&x=%20y HTTP/1.1\r\n"
           "Zeta-Last: 1\r\n"
           "authorization:   Bearer abc  \r\n"
           "Host: 127.0.0.1\r\n"
           "X-HMMedia-Shot: 7\r\n"
           "Content-Length: 5\r\n"
           "\r\n"
           "he");
    c.Send("llo");
    EXPECT_THAT(c.Read(2s, 12), ::testing::StartsWith("HTTP/1.1 404"));
    auto r = api.WaitFor("POST", "/upload", 2s);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->method, "POST");
    EXPECT_EQ(r->path, "/upload");
    EXPECT_EQ(r->query, "shot=7&x=%20y");
    EXPECT_EQ(r->target, "/HM/MEDIA-PLUGIN/test-api/upload?shot=7&x=%20y");
    EXPECT_TRUE(r->under_base);
    EXPECT_EQ(r->body, "hello");
    EXPECT_THAT(r->headers, ElementsAre(Pair("Zeta-Last", "1"), Pair("authorization", "Bearer abc"),
                                        Pair("Host", "127.0.0.1"), Pair("X-HMMedia-Shot", "7"),
                                        Pair("Content-Length", "5")));
    EXPECT_EQ(r->Header("AUTHORIZATION"), "Bearer abc");
    EXPECT_EQ(r->Header("x-hmmedia-shot"), "7");
    EXPECT_EQ(r->Header("Missing"), "");
    EXPECT_TRUE(r->HasHeader("zeta-last"));
    EXPECT_FALSE(r->HasHeader("Zeta"));
}

TEST(FakeApi, ReadsChunkedBodiesAndKeepsConnectionsAlive) {
    FakeApi api;
    api.Script("POST", "/device", Reply{201, "cred\n"});
    api.Script("GET", "/state", Reply{200, "WAIT\n"});
    RawConn c(api.port());
    c.Send("POST /HM/MEDIA-PLUGIN/test-api/device HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n"
           "3;ext=1\r\nabc\r\n2\r\nde\r\n0\r\nTrailer: t\r\n\r\n");
    const std::string first = "HTTP/1.1 201 Created\r\nContent-Length: 5\r\n\r\ncred\n";
    EXPECT_EQ(c.Read(2s, first.size()), first);
    c.Send("GET /HM/MEDIA-PLUGIN/test-api/state HTTP/1.1\r\nHost: x\r\n\r\n");
    const std::string second = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nWAIT\n";
    EXPECT_EQ(c.Read(2s, second.size()), second);
    EXPECT_FALSE(c.closed());
    const auto all = api.Requests();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].body, "abcde");
    EXPECT_EQ(all[1].path, "/state");
}

TEST(FakeApi, ClosesAfterAnsweringWhenTheClientAsks) {
    FakeApi api;
    for (const char* request : {"GET /HM/MEDIA-PLUGIN/test-api/a HTTP/1.1\r\nConnection: close\r\n\r\n",
                                "GET /HM/MEDIA-PLUGIN/test-api/a HTTP/1.0\r\n\r\n"}) {
        SCOPED_TRACE(request);
        RawConn c(api.port());
        c.Send(request);
        const std::string got = c.Read(2s);
        EXPECT_THAT(got, ::testing::HasSubstr("Connection: close\r\n"));
        EXPECT_TRUE(c.closed());
    }
}

TEST(FakeApi, SequencesAnswerInOrderAndRepeatTheLast) {
    FakeApi api;
    ScriptDemoWorld(api, 2);
    httplib::Client client("127.0.0.1", api.port());
    std::vector<std::string> bodies;
    for (int i = 0; i < 4; ++i) {
        auto res = client.Get((api.BasePath() + "/state").c_str());
        ASSERT_TRUE(res);
        bodies.push_back(res->body);
    }
    EXPECT_THAT(bodies, ElementsAre("WAIT\n", "WAIT\n", "OK\n0\n0\n", "OK\n0\n0\n"));

    // Replacing a script starts its sequence anew.
    api.ScriptSequence("GET", "/state", {Reply{500, "a"}, Reply{403, "b"}});
    auto res = client.Get((api.BasePath() + "/state").c_str());
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 500);
    res = client.Get((api.BasePath() + "/state").c_str());
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 403);
    api.Unscript("GET", "/state");
    res = client.Get((api.BasePath() + "/state").c_str());
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 404);
}

TEST(FakeApi, PrefixScriptsYieldToExactAndLongerOnes) {
    FakeApi api;
    api.Script("GET", "/photo/*", Reply{200, "any photo"});
    api.Script("GET", "/photo/7/*", Reply{200, "photo 7 sub"});
    api.Script("GET", "/photo/7", Reply{200, "photo 7"});
    httplib::Client client("127.0.0.1", api.port());
    for (auto [path, body] : {std::pair{"/photo/7", "photo 7"}, {"/photo/8", "any photo"},
                              {"/photo/7/access", "photo 7 sub"}, {"/photo/", "any photo"}}) {
        SCOPED_TRACE(path);
        auto res = client.Get((api.BasePath() + path).c_str());
        ASSERT_TRUE(res);
        EXPECT_EQ(res->body, body);
    }
    EXPECT_EQ(api.RequestsTo("GET", "/photo/*").size(), 4u);
    EXPECT_EQ(api.RequestsTo("GET", "/photo/7").size(), 1u);
}

TEST(FakeApi, PathsOutsideTheBaseAreKeptAbsolute) {
    FakeApi api("/HM/MEDIA-PLUGIN/api/");
    EXPECT_EQ(api.BaseUrl(), "http://127.0.0.1:" + std::to_string(api.port()) + "/HM/MEDIA-PLUGIN/api");
    api.Script("GET", "/downloads/pkg.zip", Reply{200, "zip"});
    httplib::Client client("127.0.0.1", api.port());
    auto outside = client.Get("/downloads/pkg.zip");
    ASSERT_TRUE(outside);
    EXPECT_EQ(outside->body, "zip");
    auto prefixOnly = client.Get("/HM/MEDIA-PLUGIN/apiX/state");  // shares the text, not the folder
    ASSERT_TRUE(prefixOnly);
    const auto all = api.Requests();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_FALSE(all[0].under_base);
    EXPECT_EQ(all[0].path, "/downloads/pkg.zip");
    EXPECT_FALSE(all[1].under_base);
    EXPECT_EQ(all[1].path, "/HM/MEDIA-PLUGIN/apiX/state");
}

TEST(FakeApi, WaitForReturnsTheCountthMatchOrNothingInTime) {
    FakeApi api;
    httplib::Client client("127.0.0.1", api.port());
    EXPECT_FALSE(api.WaitFor("GET", "/state", 50ms));
    std::thread late([&] {
        std::this_thread::sleep_for(100ms);
        for (int i = 1; i <= 3; ++i) client.Get((api.BasePath() + "/state?n=" + std::to_string(i)).c_str());
    });
    const auto start = std::chrono::steady_clock::now();
    auto third = api.WaitFor("GET", "/state", 5s, 3);
    late.join();
    ASSERT_TRUE(third);
    EXPECT_EQ(third->query, "n=3");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 4s);
    EXPECT_FALSE(api.WaitFor("GET", "/state", 20ms, 4));
    EXPECT_EQ(api.WaitFor("GET", "/state", 0ms, 2)->query, "n=2");
    api.ClearLog();
    EXPECT_TRUE(api.Requests().empty());
    EXPECT_FALSE(api.WaitFor("GET", "/state", 0ms));
}

TEST(FakeApi, DelaysAnswers) {
    FakeApi api;
    api.Script("GET", "/slow", Reply::Delayed(300, Reply{200, "late"}));
    httplib::Client client("127.0.0.1", api.port());
    const auto start = std::chrono::steady_clock::now();
    auto res = client.Get((api.BasePath() + "/slow").c_str());
    const auto took = std::chrono::steady_clock::now() - start;
    ASSERT_TRUE(res);
    EXPECT_EQ(res->body, "late");
    EXPECT_GE(took, 300ms);
    EXPECT_LT(took, 3s);
}

TEST(FakeApi, NeverAnsweringHoldsTheConnectionUntilStop) {
    FakeApi api;
    api.Script("POST", "/presence", Reply::NeverAnswer());
    RawConn c(api.port());
    c.Send("POST /HM/MEDIA-PLUGIN/test-api/presence HTTP/1.1\r\nContent-Length: 0\r\n\r\n");
    ASSERT_TRUE(api.WaitFor("POST", "/presence", 2s));  // recorded although unanswered
    EXPECT_EQ(c.Read(300ms), "");
    EXPECT_FALSE(c.closed());
    api.Stop();
    EXPECT_EQ(c.Read(2s), "");
    EXPECT_TRUE(c.closed());
}

TEST(FakeApi, ClosingTheConnectionSendsNothing) {
    FakeApi api;
    api.Script("GET", "/state", Reply::CloseConnection());
    RawConn c(api.port());
    c.Send("GET /HM/MEDIA-PLUGIN/test-api/state HTTP/1.1\r\n\r\n");
    EXPECT_EQ(c.Read(2s), "");
    EXPECT_TRUE(c.closed());
    EXPECT_EQ(api.RequestsTo("GET", "/state").size(), 1u);
}

TEST(FakeApi, ScriptedContentLengthGivesATruncatedAnswer) {
    FakeApi api;
    Reply truncated{200, "OK\n1", {{"Content-Length", "100"}}};
    api.Script("GET", "/state", truncated);
    RawConn c(api.port());
    c.Send("GET /HM/MEDIA-PLUGIN/test-api/state HTTP/1.1\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(c.Read(2s), "HTTP/1.1 200 OK\r\nContent-Length: 100\r\nConnection: close\r\n\r\nOK\n1");
    EXPECT_TRUE(c.closed());
}

TEST(FakeApi, RejectsMalformedRequests) {
    FakeApi api;
    for (const char* bad : {"NONSENSE\r\n\r\n", "GET /x HTTP/1.1\r\nNo colon here\r\n\r\n",
                            "POST /x HTTP/1.1\r\nContent-Length: -4\r\n\r\n",
                            "POST /x HTTP/1.1\r\nContent-Length: 12abc\r\n\r\n"}) {
        SCOPED_TRACE(bad);
        RawConn c(api.port());
        c.Send(bad);
        EXPECT_THAT(c.Read(2s), ::testing::StartsWith("HTTP/1.1 400 Bad Request\r\n"));
        EXPECT_TRUE(c.closed());
    }
    EXPECT_TRUE(api.Requests().empty());
}

TEST(FakeApi, StopRefusesConnectionsAndRestartServesTheSameScript) {
    FakeApi api;
    api.Script("GET", "/state", Reply{200, "WAIT\n"});
    httplib::Client client("127.0.0.1", api.port());
    client.set_connection_timeout(1);
    ASSERT_TRUE(client.Get((api.BasePath() + "/state").c_str()));
    const int port = api.port();
    api.Stop();
    EXPECT_FALSE(RawConn(port).connected());
    EXPECT_FALSE(client.Get((api.BasePath() + "/state").c_str()));
    api.Stop();  // stopping twice is harmless
    api.Restart();
    EXPECT_EQ(api.port(), port);
    auto res = client.Get((api.BasePath() + "/state").c_str());
    ASSERT_TRUE(res);
    EXPECT_EQ(res->body, "WAIT\n");
    EXPECT_EQ(api.RequestsTo("GET", "/state").size(), 2u);
}

TEST(FakeApi, ObserverSeesEveryRequestWithItsAnswer) {
    FakeApi api;
    ScriptDemoWorld(api);
    api.Script("POST", "/presence", Reply::CloseConnection());
    std::mutex m;
    std::vector<std::string> seen;
    api.OnRequest([&](const RecordedRequest& r, const Reply& reply) {
        std::lock_guard<std::mutex> lock(m);
        seen.push_back(DescribeRequest(r, reply.status));
    });
    httplib::Client client("127.0.0.1", api.port());
    client.Post((api.BasePath() + "/pair").c_str(), "", "text/plain");
    client.Post((api.BasePath() + "/presence").c_str(), "", "text/plain");
    std::lock_guard<std::mutex> lock(m);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_THAT(seen[0], ::testing::StartsWith("POST /HM/MEDIA-PLUGIN/test-api/pair -> 201\n"));
    EXPECT_THAT(seen[1], ::testing::StartsWith("POST /HM/MEDIA-PLUGIN/test-api/presence -> no answer\n"));
}

TEST(FakeApi, DemoWorldHandsOutWellFormedSessionValues) {
    const std::regex hex64("[0-9a-f]{64}"), hex12("[0-9a-f]{12}");
    EXPECT_TRUE(std::regex_match(kDemoSessionToken, hex64));
    EXPECT_TRUE(std::regex_match(kDemoDeviceCredential, hex64));
    EXPECT_TRUE(std::regex_match(kDemoBindCode, hex12));
    FakeApi api;
    ScriptDemoWorld(api);
    httplib::Client client("127.0.0.1", api.port());
    for (const char* path : {"/pair", "/resume"}) {
        auto res = client.Post((api.BasePath() + path).c_str(), "", "text/plain");
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 201);
        EXPECT_EQ(res->body, kDemoSessionToken + "\n" + kDemoBindCode + "\n");
    }
}

TEST(FakeApi, ServesManyClientsAtOnce) {
    FakeApi api;
    api.Script("GET", "/hang", Reply::NeverAnswer());
    api.Script("GET", "/ok", Reply{200, "fine"});
    // Connections held open by unanswered requests must not starve the others.
    std::vector<std::unique_ptr<RawConn>> hung;
    for (int i = 0; i < 20; ++i) {
        hung.push_back(std::make_unique<RawConn>(api.port()));
        hung.back()->Send("GET /HM/MEDIA-PLUGIN/test-api/hang HTTP/1.1\r\n\r\n");
    }
    ASSERT_TRUE(api.WaitFor("GET", "/hang", 5s, 20));
    std::vector<std::thread> clients;
    std::atomic<int> fine{0};
    for (int i = 0; i < 8; ++i)
        clients.emplace_back([&] {
            httplib::Client client("127.0.0.1", api.port());
            auto res = client.Get((api.BasePath() + "/ok").c_str());
            if (res && res->body == "fine") ++fine;
        });
    for (auto& t : clients) t.join();
    EXPECT_EQ(fine.load(), 8);
}

}  // namespace
}  // namespace hm::fake
