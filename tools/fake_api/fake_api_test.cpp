#include "tools/fake_api/fake_api.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <ctime>
#include <fstream>
#include <iterator>
#include <regex>
#include <thread>

#include "tools/fake_api/demo_world.h"

namespace hm::fake {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::Pair;

// A TCP connection to 127.0.0.1:port; `connected` says whether it was accepted.
int ConnectLoopback(int port, bool& connected) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(std::uint16_t(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    return fd;
}

// A raw client socket: the tests control every byte on the wire.
class RawConn {
public:
    explicit RawConn(int port) { fd_ = ConnectLoopback(port, connected_); }
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

// The same over TLS (OpenSSL), trusting exactly the given certificate (DER; nothing when empty)
// and checking the server against `host`, a name or an IPv4 address.
class TlsConn {
public:
    TlsConn(int port, const std::vector<unsigned char>& trusted, const std::string& host = "localhost") {
        sigset_t pipe;  // a write to a closed peer must fail, not end the test
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
        ctx_ = SSL_CTX_new(TLS_client_method());
        SSL_CTX_clear_mode(ctx_, SSL_MODE_AUTO_RETRY);  // session tickets must not block a timed read
        SSL_CTX_set_verify(ctx_, SSL_VERIFY_PEER, nullptr);
        if (!trusted.empty()) {
            const unsigned char* p = trusted.data();
            X509* cert = d2i_X509(nullptr, &p, long(trusted.size()));
            X509_STORE_add_cert(SSL_CTX_get_cert_store(ctx_), cert);
            X509_free(cert);
        }
        RawConnect(port);
        ssl_ = SSL_new(ctx_);
        SSL_set_fd(ssl_, fd_);
        in_addr ip{};
        if (::inet_pton(AF_INET, host.c_str(), &ip) == 1) {
            X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl_), host.c_str());
        } else {
            SSL_set_tlsext_host_name(ssl_, host.c_str());
            SSL_set1_host(ssl_, host.c_str());
        }
        handshaken_ = connected_ && SSL_connect(ssl_) == 1;
        ERR_clear_error();
    }
    ~TlsConn() {
        SSL_free(ssl_);
        SSL_CTX_free(ctx_);
        ::close(fd_);
    }
    bool connected() const { return connected_; }
    bool handshaken() const { return handshaken_; }
    void Send(const std::string& bytes) {
        std::size_t n = 0;
        ASSERT_EQ(SSL_write_ex(ssl_, bytes.data(), bytes.size(), &n), 1);
        ASSERT_EQ(n, bytes.size());
    }
    std::string Read(std::chrono::milliseconds timeout, std::size_t want = SIZE_MAX) {
        std::string out;
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (out.size() < want) {
            if (SSL_pending(ssl_) == 0) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
                if (left.count() <= 0) break;
                pollfd p{fd_, POLLIN, 0};
                if (::poll(&p, 1, int(left.count())) <= 0) break;
            }
            char buf[16384];
            std::size_t n = 0;
            if (SSL_read_ex(ssl_, buf, sizeof buf, &n) == 1) {
                out.append(buf, n);
                continue;
            }
            if (SSL_get_error(ssl_, 0) == SSL_ERROR_WANT_READ) continue;  // a handshake record, no data
            ERR_clear_error();
            closed_ = true;
            break;
        }
        return out;
    }
    bool closed() const { return closed_; }

private:
    void RawConnect(int port) { fd_ = ConnectLoopback(port, connected_); }

    SSL_CTX* ctx_ = nullptr;
    SSL* ssl_ = nullptr;
    int fd_ = -1;
    bool connected_ = false;
    bool handshaken_ = false;
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

// A cut answer stops after its bytes even on a kept-alive connection; the one cut Wine cannot
// survive (a reset inside the head) goes out with an orderly close instead.
TEST(FakeApi, CutAnswersEndAfterTheirBytes) {
    const Reply state{200, "OK 1 2 3\n"};
    const std::string whole = "HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\nOK 1 2 3\n";
    struct Case {
        std::size_t cut;
        bool reset;
        bool wineCrashing;
    } cases[] = {{0, false, false}, {9, true, false}, {17, true, true}, {17, false, false},
                 {30, true, true}, {38, true, false}, {40, true, false}, {40, false, false}};
    FakeApi api;
    for (const Case& k : cases) {
        SCOPED_TRACE(k.cut);
        const Reply cut = Reply::Cut(k.cut, state, k.reset);
        EXPECT_EQ(WineCrashingCut(cut), k.wineCrashing);
        api.Script("GET", "/state", cut);
        RawConn c(api.port());
        c.Send("GET /HM/MEDIA-PLUGIN/test-api/state HTTP/1.1\r\n\r\n");
        const std::string got = c.Read(2s);
        // A reset may discard what was still in flight; never more than the cut.
        EXPECT_EQ(got, k.reset && !k.wineCrashing ? got.substr(0, k.cut) : whole.substr(0, k.cut));
        EXPECT_EQ(whole.compare(0, got.size(), got), 0);
        EXPECT_TRUE(c.closed());
    }
    EXPECT_EQ(AnswerBytes(state, true), whole);
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

// One conversation per connection; every step sends its bytes and expects exactly this answer
// (and, with `closes`, the connection closed after it).
struct Step {
    std::string send, answer;
    bool closes = false;
};
struct Conversation {
    const char* what;
    std::vector<Step> steps;
};

std::vector<Conversation> Conversations() {
    const std::string big(1 << 20, 'j');
    return {
        {"chunked then plain on one kept-alive connection",
         {{"POST /HM/MEDIA-PLUGIN/test-api/device HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n"
           "3;ext=1\r\nabc\r\n2\r\nde\r\n0\r\nTrailer: t\r\n\r\n",
           "HTTP/1.1 201 Created\r\nContent-Length: 5\r\n\r\ncred\n"},
          {"GET /HM/MEDIA-PLUGIN/test-api/state?shot=7 HTTP/1.1\r\nzeta-Last:   1 \r\n"
           "X-HMPlugin-Hardware: 00ff\r\n\r\n",
           "HTTP/1.1 200 OK\r\nX-Test: yes\r\nContent-Length: 5\r\n\r\nWAIT\n"}}},
        {"a body in two pieces, then the client closes",
         {{"POST /HM/MEDIA-PLUGIN/test-api/upload HTTP/1.1\r\nContent-Length: 5\r\nConnection: close\r\n\r\nhe", ""},
          {"llo", "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n", true}}},
        {"a megabyte answer", {{"GET /HM/MEDIA-PLUGIN/test-api/big HTTP/1.1\r\n\r\n",
                                "HTTP/1.1 200 OK\r\nContent-Length: 1048576\r\n\r\n" + big}}},
        {"dropped without an answer", {{"GET /HM/MEDIA-PLUGIN/test-api/drop HTTP/1.1\r\n\r\n", "", true}}},
        {"malformed", {{"GET /x HTTP/1.1\r\nNo colon here\r\n\r\n",
                        "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n", true}}},
    };
}

void ScriptConversations(FakeApi& api) {
    api.Script("POST", "/device", Reply{201, "cred\n"});
    api.Script("GET", "/state", Reply{200, "WAIT\n", {{"X-Test", "yes"}}});
    api.Script("GET", "/big", Reply{200, std::string(1 << 20, 'j')});
    api.Script("GET", "/drop", Reply::CloseConnection());
}

template <class Conn>
void Converse(Conn& c, const Conversation& conversation) {
    for (const Step& step : conversation.steps) {
        c.Send(step.send);
        if (step.answer.empty() && !step.closes) continue;
        EXPECT_EQ(c.Read(5s, step.answer.size()), step.answer);
        if (step.closes) {
            EXPECT_EQ(c.Read(2s), "");
        }
        EXPECT_EQ(c.closed(), step.closes);
    }
}

// Over TLS the fake records and answers byte for byte what it does over plain HTTP.
TEST(FakeApiHttps, RecordsAndAnswersLikePlainHttp) {
    FakeApi plain;
    FakeApi https(Scheme::Https);
    EXPECT_EQ(plain.scheme(), Scheme::Http);
    EXPECT_EQ(https.scheme(), Scheme::Https);
    EXPECT_TRUE(plain.CertificateDer().empty());
    EXPECT_EQ(plain.CertificateFile(), "");
    EXPECT_EQ(https.BaseUrl(), "https://localhost:" + std::to_string(https.port()) + "/HM/MEDIA-PLUGIN/test-api");
    ScriptConversations(plain);
    ScriptConversations(https);
    for (const Conversation& conversation : Conversations()) {
        SCOPED_TRACE(conversation.what);
        {
            RawConn c(plain.port());
            ASSERT_TRUE(c.connected());
            Converse(c, conversation);
        }
        TlsConn c(https.port(), https.CertificateDer());
        ASSERT_TRUE(c.handshaken());
        Converse(c, conversation);
    }
    const auto a = plain.Requests(), b = https.Requests();
    ASSERT_EQ(a.size(), 5u);
    ASSERT_EQ(b.size(), a.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        SCOPED_TRACE(a[i].target);
        EXPECT_EQ(b[i].method, a[i].method);
        EXPECT_EQ(b[i].path, a[i].path);
        EXPECT_EQ(b[i].query, a[i].query);
        EXPECT_EQ(b[i].target, a[i].target);
        EXPECT_EQ(b[i].headers, a[i].headers);
        EXPECT_EQ(b[i].body, a[i].body);
        EXPECT_EQ(b[i].under_base, a[i].under_base);
    }
    EXPECT_EQ(b[0].body, "abcde");
    EXPECT_EQ(b[1].query, "shot=7");
    EXPECT_THAT(b[1].headers, ElementsAre(Pair("zeta-Last", "1"), Pair("X-HMPlugin-Hardware", "00ff")));
    EXPECT_EQ(b[2].body, "hello");
}

// A certificate a TLS client accepts for https://localhost and https://127.0.0.1, for server use
// only, valid from yesterday for a few days, new with every instance; its file holds the DER.
TEST(FakeApiHttps, MakesAThrowAwayCertificateForLocalhost) {
    std::string file;
    std::vector<unsigned char> first;
    {
        FakeApi api(Scheme::Https);
        first = api.CertificateDer();
        file = api.CertificateFile();
        std::ifstream in(file, std::ios::binary);
        const std::vector<unsigned char> onDisk((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(onDisk, first);

        const unsigned char* p = first.data();
        X509* cert = d2i_X509(nullptr, &p, long(first.size()));
        ASSERT_NE(cert, nullptr);
        char cn[64] = "";
        X509_NAME_get_text_by_NID(X509_get_subject_name(cert), NID_commonName, cn, sizeof cn);
        EXPECT_STREQ(cn, "localhost");
        EXPECT_EQ(X509_check_host(cert, "localhost", 0, 0, nullptr), 1);
        EXPECT_EQ(X509_check_ip_asc(cert, "127.0.0.1", 0), 1);
        EXPECT_NE(X509_check_host(cert, "example.com", 0, 0, nullptr), 1);
        EXPECT_EQ(X509_check_purpose(cert, X509_PURPOSE_SSL_SERVER, 0), 1);
        EXPECT_NE(X509_check_purpose(cert, X509_PURPOSE_SSL_CLIENT, 0), 1);
        EXPECT_EQ(X509_check_issued(cert, cert), X509_V_OK);
        EXPECT_EQ(X509_verify(cert, X509_get0_pubkey(cert)), 1);
        std::time_t now = std::time(nullptr);
        std::time_t at = now - 20 * 3600;  // already valid a day ago, not much longer
        EXPECT_LT(X509_cmp_time(X509_get0_notBefore(cert), &at), 0);
        at = now - 30 * 3600;
        EXPECT_GT(X509_cmp_time(X509_get0_notBefore(cert), &at), 0);
        at = now + 2 * 24 * 3600;  // still valid in two days, not in ten
        EXPECT_GT(X509_cmp_time(X509_get0_notAfter(cert), &at), 0);
        at = now + 10 * 24 * 3600;
        EXPECT_LT(X509_cmp_time(X509_get0_notAfter(cert), &at), 0);
        X509_free(cert);

        for (const char* host : {"localhost", "127.0.0.1"}) {
            SCOPED_TRACE(host);
            TlsConn c(api.port(), api.CertificateDer(), host);
            EXPECT_TRUE(c.handshaken());
        }
        TlsConn wrongName(api.port(), api.CertificateDer(), "example.com");
        EXPECT_FALSE(wrongName.handshaken());

        FakeApi other(Scheme::Https);
        EXPECT_NE(other.CertificateDer(), first);
        EXPECT_NE(other.CertificateFile(), file);
        TlsConn trustsTheOther(api.port(), other.CertificateDer());
        EXPECT_FALSE(trustsTheOther.handshaken());
    }
    struct stat st;
    EXPECT_NE(::stat(file.c_str(), &st), 0) << "the certificate file outlives its server";
}

// Clients that do not trust the certificate, or do not speak TLS, get no answer and leave no
// record; the server keeps serving the others.
TEST(FakeApiHttps, ClientsWithoutTrustOrTlsAreNotServed) {
    FakeApi api(Scheme::Https);
    api.Script("GET", "/state", Reply{200, "WAIT\n"});
    {
        TlsConn distrustful(api.port(), {});
        EXPECT_TRUE(distrustful.connected());
        EXPECT_FALSE(distrustful.handshaken());
    }
    {
        RawConn plain(api.port());
        plain.Send("GET /HM/MEDIA-PLUGIN/test-api/state HTTP/1.1\r\n\r\n");
        EXPECT_THAT(plain.Read(2s), ::testing::Not(::testing::HasSubstr("WAIT")));
        EXPECT_TRUE(plain.closed());
    }
    EXPECT_TRUE(api.Requests().empty());
    TlsConn c(api.port(), api.CertificateDer());
    ASSERT_TRUE(c.handshaken());
    c.Send("GET /HM/MEDIA-PLUGIN/test-api/state HTTP/1.1\r\n\r\n");
    EXPECT_EQ(c.Read(2s, 38), "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nWAIT\n");
    EXPECT_EQ(api.Requests().size(), 1u);
}

// Stop releases an answer held back over TLS too; Restart serves the same certificate.
TEST(FakeApiHttps, StopAndRestartKeepTheCertificate) {
    FakeApi api(Scheme::Https);
    api.Script("POST", "/presence", Reply::NeverAnswer());
    api.Script("GET", "/state", Reply{200, "WAIT\n"});
    const std::vector<unsigned char> der = api.CertificateDer();
    const int port = api.port();
    TlsConn held(port, der);
    ASSERT_TRUE(held.handshaken());
    held.Send("POST /HM/MEDIA-PLUGIN/test-api/presence HTTP/1.1\r\nContent-Length: 0\r\n\r\n");
    ASSERT_TRUE(api.WaitFor("POST", "/presence", 2s));
    EXPECT_EQ(held.Read(300ms), "");
    EXPECT_FALSE(held.closed());
    api.Stop();
    EXPECT_EQ(held.Read(2s), "");
    EXPECT_TRUE(held.closed());
    EXPECT_FALSE(TlsConn(port, der).connected());
    api.Restart();
    EXPECT_EQ(api.CertificateDer(), der);
    TlsConn c(port, der);
    ASSERT_TRUE(c.handshaken());
    c.Send("GET /HM/MEDIA-PLUGIN/test-api/state HTTP/1.1\r\n\r\n");
    EXPECT_EQ(c.Read(2s, 38), "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nWAIT\n");
}

}  // namespace
}  // namespace hm::fake
