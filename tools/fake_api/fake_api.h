// A scripted stand-in for the community web API, on 127.0.0.1, for native tests and the demo.
// Every request is recorded as it arrived on the wire (header order and spelling kept), then
// answered from the script of its method and path; unscripted paths answer 404 with no body.
// Plain HTTP by default; with Scheme::Https it speaks TLS with a throw-away self-signed
// certificate made at start (CN localhost, names localhost and 127.0.0.1, server use only).
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace hm::fake {

struct Reply {
    Reply() = default;
    Reply(int status_, std::string body_ = {}, std::vector<std::pair<std::string, std::string>> headers_ = {})
        : status(status_), body(std::move(body_)), headers(std::move(headers_)) {}
    static Reply Delayed(int ms, Reply reply) { reply.delay_ms = ms; return reply; }
    static Reply NeverAnswer() { Reply r; r.status = 0; r.never_answer = true; return r; }
    static Reply CloseConnection() { Reply r; r.status = 0; r.close_connection = true; return r; }
    // Only the first `bytes` of the answer as it would go out (status line, head, body), then an
    // orderly close (FIN) or, with `reset`, a reset (RST).
    static Reply Cut(std::size_t bytes, Reply reply, bool reset = false) {
        reply.cut_at = bytes;
        reply.reset = reset;
        return reply;
    }

    int status = 200;
    std::string body;
    // Sent as given after the status line. A scripted Content-Length replaces the true one
    // (for truncated answers); otherwise the server adds it.
    std::vector<std::pair<std::string, std::string>> headers;
    int delay_ms = 0;               // wait before answering
    bool never_answer = false;      // accept, read the request, never answer (until Stop)
    bool close_connection = false;  // drop the connection without an answer
    std::size_t cut_at = std::size_t(-1);  // send only this many bytes of the answer, then close
    bool reset = false;                     // close a cut answer with a reset instead of FIN
};

struct RecordedRequest {
    std::string method, path, query;  // path relative to the base path, e.g. "/state"; query without '?'
    std::vector<std::pair<std::string, std::string>> headers;  // in arrival order, as sent
    std::string body;
    std::string target;        // the request target exactly as sent, e.g. "/HM/.../state?x=1"
    bool under_base = true;    // false: the target lies outside the base path; path is then absolute
    std::string Header(const std::string& name) const;  // case-insensitive; "" when missing
    bool HasHeader(const std::string& name) const;
    std::vector<std::string> HeaderNames() const;  // in arrival order
};

enum class Scheme { Http, Https };

class FakeApi {
public:
    explicit FakeApi(std::string basePath = "/HM/MEDIA-PLUGIN/test-api");  // binds a free port on 127.0.0.1, serves on its own threads
    // Binds the given port instead (0: a free one). Throws std::runtime_error when it cannot.
    FakeApi(std::string basePath, int port);
    // HTTPS (or HTTP) on the given port; a new key and certificate for every instance.
    explicit FakeApi(Scheme scheme, std::string basePath = "/HM/MEDIA-PLUGIN/test-api", int port = 0);
    ~FakeApi();
    FakeApi(const FakeApi&) = delete;
    FakeApi& operator=(const FakeApi&) = delete;

    int port() const;
    const std::string& BasePath() const;
    // "http://127.0.0.1:<port>" + basePath; over TLS "https://localhost:<port>" + basePath, the
    // name a client checks against the certificate (it resolves to 127.0.0.1).
    std::string BaseUrl() const;
    Scheme scheme() const;

    // The server's certificate (empty over plain HTTP): DER bytes, and a DER file that lives as
    // long as this object (for clients that must be told to trust it).
    const std::vector<unsigned char>& CertificateDer() const;
    const std::string& CertificateFile() const;

    // A path ending in '*' matches every path that begins with the text before it; an exact
    // script wins over a prefix one, a longer prefix over a shorter one.
    void Script(const std::string& method, const std::string& path, Reply reply);  // answer every matching request until replaced
    void ScriptSequence(const std::string& method, const std::string& path, std::vector<Reply> replies);  // in order, the last one repeats
    // Answers every matching request with what `responder` makes of it (called on the
    // connection's thread under the server's lock: it must not call back into this object).
    using Responder = std::function<Reply(const RecordedRequest&)>;
    void Respond(const std::string& method, const std::string& path, Responder responder);
    void Unscript(const std::string& method, const std::string& path);

    std::vector<RecordedRequest> Requests() const;
    std::vector<RecordedRequest> RequestsTo(const std::string& method, const std::string& path) const;
    // Waits until at least `count` requests matching method+path were recorded; returns the count-th.
    std::optional<RecordedRequest> WaitFor(const std::string& method, const std::string& path,
                                           std::chrono::milliseconds timeout, std::size_t count = 1) const;
    void ClearLog();

    // Every chosen answer (scripted or the 404 of an unscripted path) passes through `twist`
    // before it goes out; called under the server's lock like a responder. Empty: none.
    using Twist = std::function<Reply(const RecordedRequest&, Reply)>;
    void TwistAnswers(Twist twist);

    // Called on the connection's thread once the answer is chosen (before any delay).
    // The status is 0 when the request is dropped or never answered.
    using Observer = std::function<void(const RecordedRequest&, const Reply&)>;
    void OnRequest(Observer observer);

    void Stop();     // stop listening (connections refused), keep script and log
    void Restart();  // listen again on the same port

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

// The answer as it goes out on the wire: status line, scripted headers, Content-Length unless
// scripted, "Connection: close" when the connection ends, blank line, body.
std::string AnswerBytes(const Reply& reply, bool keepAlive, bool withBody = true);

// The one cut Wine 8's WinHTTP cannot survive (docs/wine-winhttp-reset.md): a reset after the
// status line and before the end of the head. The server sends that cut with FIN instead.
bool WineCrashingCut(const Reply& reply);

// Reason phrase of an HTTP status ("OK", "Created", ...; "Status" for unknown ones).
const char* ReasonPhrase(int status);

}  // namespace hm::fake
