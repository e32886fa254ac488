#include "tools/fake_api/fake_api.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <list>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace hm::fake {
namespace {

constexpr std::size_t kMaxHead = 64 * 1024;
constexpr std::size_t kMaxBody = 64 * 1024 * 1024;

bool IEquals(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string Trim(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return s.substr(b, e - b);
}

// Exact path, or a prefix pattern ending in '*'.
bool PathMatches(const std::string& pattern, const std::string& path) {
    if (!pattern.empty() && pattern.back() == '*')
        return path.compare(0, pattern.size() - 1, pattern, 0, pattern.size() - 1) == 0;
    return pattern == path;
}

bool Matches(const std::string& method, const std::string& pattern, const RecordedRequest& r) {
    return r.method == method && PathMatches(pattern, r.path);
}

struct ScriptEntry {
    std::vector<Reply> replies;
    std::size_t next = 0;
    FakeApi::Responder responder;  // when set, it answers instead of the replies
};

struct Conn {
    int fd = -1;
    std::thread thread;
    std::atomic<bool> done{false};
};

struct SslFree {
    void operator()(SSL* s) const { SSL_free(s); }
    void operator()(SSL_CTX* c) const { SSL_CTX_free(c); }
    void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
    void operator()(X509* x) const { X509_free(x); }
    void operator()(X509_EXTENSION* e) const { X509_EXTENSION_free(e); }
    void operator()(BIGNUM* b) const { BN_free(b); }
};
template <class T>
using SslPtr = std::unique_ptr<T, SslFree>;

[[noreturn]] void TlsFailure(const char* step) {
    char text[256] = "";
    ERR_error_string_n(ERR_get_error(), text, sizeof text);
    ERR_clear_error();
    throw std::runtime_error(std::string("fake API: TLS setup failed at ") + step + ": " + text);
}

// A server context with a fresh RSA key and a self-signed certificate for localhost and
// 127.0.0.1, valid from yesterday for a few days. RSA rather than EC: every TLS stack the
// tests drive (Wine's schannel and crypt32 included) checks RSA chains.
SslPtr<SSL_CTX> MakeServerContext(std::vector<unsigned char>& der) {
    SslPtr<EVP_PKEY> key(EVP_RSA_gen(2048));
    if (!key) TlsFailure("key");
    SslPtr<X509> cert(X509_new());
    if (!cert || !X509_set_version(cert.get(), 2)) TlsFailure("certificate");
    // A random serial: certificates of earlier runs may still sit in a client's trust store.
    unsigned char serial[16];
    if (RAND_bytes(serial, sizeof serial) != 1) TlsFailure("serial");
    serial[0] &= 0x7f;
    SslPtr<BIGNUM> serialNumber(BN_bin2bn(serial, sizeof serial, nullptr));
    if (!serialNumber || !BN_to_ASN1_INTEGER(serialNumber.get(), X509_get_serialNumber(cert.get())))
        TlsFailure("serial");
    if (!X509_gmtime_adj(X509_getm_notBefore(cert.get()), -24L * 3600) ||
        !X509_gmtime_adj(X509_getm_notAfter(cert.get()), 3L * 24 * 3600))
        TlsFailure("validity");
    X509_NAME* name = X509_get_subject_name(cert.get());
    if (!X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("localhost"),
                                    -1, -1, 0) ||
        !X509_set_issuer_name(cert.get(), name) || !X509_set_pubkey(cert.get(), key.get()))
        TlsFailure("names");
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, cert.get(), cert.get(), nullptr, nullptr, 0);
    const std::pair<int, const char*> extensions[] = {
        {NID_basic_constraints, "critical,CA:FALSE"},
        {NID_subject_alt_name, "DNS:localhost,IP:127.0.0.1"},
        {NID_ext_key_usage, "serverAuth"},
        {NID_subject_key_identifier, "hash"},
    };
    for (const auto& [nid, value] : extensions) {
        SslPtr<X509_EXTENSION> ext(X509V3_EXT_conf_nid(nullptr, &ctx, nid, value));
        if (!ext || !X509_add_ext(cert.get(), ext.get(), -1)) TlsFailure("extensions");
    }
    if (!X509_sign(cert.get(), key.get(), EVP_sha256())) TlsFailure("signature");

    const int size = i2d_X509(cert.get(), nullptr);
    if (size <= 0) TlsFailure("encoding");
    der.resize(std::size_t(size));
    unsigned char* out = der.data();
    i2d_X509(cert.get(), &out);

    SslPtr<SSL_CTX> context(SSL_CTX_new(TLS_server_method()));
    if (!context || !SSL_CTX_set_min_proto_version(context.get(), TLS1_2_VERSION) ||
        SSL_CTX_use_certificate(context.get(), cert.get()) != 1 ||
        SSL_CTX_use_PrivateKey(context.get(), key.get()) != 1 || SSL_CTX_check_private_key(context.get()) != 1)
        TlsFailure("context");
    return context;
}

// One connection's bytes: the socket itself, or TLS over it.
struct Stream {
    int fd = -1;
    SSL* ssl = nullptr;

    ssize_t Recv(char* data, std::size_t size) {
        if (ssl) {
            std::size_t n = 0;
            return SSL_read_ex(ssl, data, size, &n) == 1 ? ssize_t(n) : -1;
        }
        for (;;) {
            const ssize_t n = ::recv(fd, data, size, 0);
            if (n < 0 && errno == EINTR) continue;
            return n;
        }
    }
    bool SendAll(const std::string& data) {
        if (ssl) {
            std::size_t n = 0;
            return data.empty() || (SSL_write_ex(ssl, data.data(), data.size(), &n) == 1 && n == data.size());
        }
        std::size_t sent = 0;
        while (sent < data.size()) {
            const ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            sent += std::size_t(n);
        }
        return true;
    }
};

// Ends a TCP connection with a reset while its descriptor stays valid (closed later by the
// reaper as usual): on Linux, connecting a connected TCP socket to AF_UNSPEC aborts it.
void ResetConnection(int fd) {
    sockaddr unspecified{};
    unspecified.sa_family = AF_UNSPEC;
    ::connect(fd, &unspecified, sizeof unspecified);
}

// A cut after the status line and before the end of the head of `answer`.
bool CutInsideHead(const std::string& answer, std::size_t cut) {
    const std::size_t statusEnd = answer.find("\r\n") + 2;
    const std::size_t headEnd = answer.find("\r\n\r\n") + 4;
    return cut >= statusEnd && cut < headEnd;
}

// Buffered reading from one connection; false once the peer is gone.
class Reader {
public:
    explicit Reader(Stream& stream) : stream_(stream) {}
    bool Fill() {
        char chunk[16384];
        const ssize_t n = stream_.Recv(chunk, sizeof chunk);
        if (n <= 0) return false;
        buf_.append(chunk, std::size_t(n));
        return true;
    }
    // The header block up to and including the blank line, or nothing.
    std::optional<std::string> Head() {
        for (;;) {
            const std::size_t end = buf_.find("\r\n\r\n");
            if (end != std::string::npos) {
                std::string head = buf_.substr(0, end + 4);
                buf_.erase(0, end + 4);
                return head;
            }
            if (buf_.size() > kMaxHead || !Fill()) return std::nullopt;
        }
    }
    std::optional<std::string> Bytes(std::size_t n) {
        while (buf_.size() < n)
            if (!Fill()) return std::nullopt;
        std::string out = buf_.substr(0, n);
        buf_.erase(0, n);
        return out;
    }
    std::optional<std::string> Line() {
        for (;;) {
            const std::size_t end = buf_.find("\r\n");
            if (end != std::string::npos) {
                std::string line = buf_.substr(0, end);
                buf_.erase(0, end + 2);
                return line;
            }
            if (buf_.size() > kMaxHead || !Fill()) return std::nullopt;
        }
    }

private:
    Stream& stream_;
    std::string buf_;
};

std::optional<std::string> ReadChunked(Reader& in) {
    std::string body;
    for (;;) {
        auto line = in.Line();
        if (!line) return std::nullopt;
        const std::string size = line->substr(0, line->find(';'));
        char* end = nullptr;
        const unsigned long n = std::strtoul(size.c_str(), &end, 16);
        if (size.empty() || end == size.c_str() || body.size() + n > kMaxBody) return std::nullopt;
        if (n == 0) {
            for (;;) {  // trailer lines up to the blank one
                auto trailer = in.Line();
                if (!trailer) return std::nullopt;
                if (trailer->empty()) return body;
            }
        }
        auto data = in.Bytes(n);
        auto crlf = in.Bytes(2);
        if (!data || !crlf || *crlf != "\r\n") return std::nullopt;
        body += *data;
    }
}

}  // namespace

const char* ReasonPhrase(int status) {
    switch (status) {
        case 100: return "Continue";
        case 200: return "OK";
        case 201: return "Created";
        case 202: return "Accepted";
        case 204: return "No Content";
        case 206: return "Partial Content";
        case 301: return "Moved Permanently";
        case 302: return "Found";
        case 304: return "Not Modified";
        case 400: return "Bad Request";
        case 401: return "Unauthorized";
        case 403: return "Forbidden";
        case 404: return "Not Found";
        case 405: return "Method Not Allowed";
        case 408: return "Request Timeout";
        case 409: return "Conflict";
        case 410: return "Gone";
        case 413: return "Payload Too Large";
        case 426: return "Upgrade Required";
        case 429: return "Too Many Requests";
        case 431: return "Request Header Fields Too Large";
        case 500: return "Internal Server Error";
        case 502: return "Bad Gateway";
        case 503: return "Service Unavailable";
        case 504: return "Gateway Timeout";
        default: return "Status";
    }
}

std::string RecordedRequest::Header(const std::string& name) const {
    for (const auto& h : headers)
        if (IEquals(h.first, name)) return h.second;
    return {};
}

bool RecordedRequest::HasHeader(const std::string& name) const {
    return std::any_of(headers.begin(), headers.end(), [&](const auto& h) { return IEquals(h.first, name); });
}

std::vector<std::string> RecordedRequest::HeaderNames() const {
    std::vector<std::string> names;
    for (const auto& h : headers) names.push_back(h.first);
    return names;
}

struct FakeApi::Impl {
    std::string basePath;
    int port = 0;
    Scheme scheme = Scheme::Http;
    SslPtr<SSL_CTX> tls;  // only over HTTPS
    std::vector<unsigned char> certificateDer;
    std::string certificateFile;

    mutable std::mutex mu;
    mutable std::condition_variable cv;  // log grew, or a stop released waiting answers
    std::map<std::pair<std::string, std::string>, ScriptEntry> scripts;
    std::vector<RecordedRequest> log;
    Observer observer;
    Twist twist;

    int listenFd = -1;
    bool listening = false;
    std::thread acceptThread;
    std::list<std::unique_ptr<Conn>> conns;
    std::uint64_t stopGeneration = 0;  // each Stop releases the answers held back before it

    void Listen(int wantPort);
    void StopListening();
    void AcceptLoop(int fd);
    void Serve(Conn* conn, std::uint64_t generation);
    void ServeTls(Conn* conn, std::uint64_t generation);
    void ServeRequests(Stream& stream, std::uint64_t generation);
    void ReapFinished();
    std::optional<RecordedRequest> Parse(const std::string& head) const;
    Reply Choose(const RecordedRequest& r);
};

void FakeApi::Impl::Listen(int wantPort) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) throw std::runtime_error("fake API: socket failed");
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(std::uint16_t(wantPort));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 128) != 0) {
        const int err = errno;
        ::close(fd);
        throw std::runtime_error("fake API: cannot listen on 127.0.0.1:" + std::to_string(wantPort) + ": " +
                                 std::strerror(err));
    }
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    std::lock_guard<std::mutex> lock(mu);
    port = ntohs(addr.sin_port);
    listenFd = fd;
    listening = true;
    acceptThread = std::thread([this, fd] { AcceptLoop(fd); });
}

void FakeApi::Impl::AcceptLoop(int fd) {
    for (;;) {
        const int c = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (c < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            return;  // the listening socket was shut down
        }
        const int one = 1;
        ::setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        ReapFinished();
        std::lock_guard<std::mutex> lock(mu);
        if (!listening) {
            ::close(c);
            return;
        }
        auto conn = std::make_unique<Conn>();
        conn->fd = c;
        Conn* raw = conn.get();
        const std::uint64_t generation = stopGeneration;
        conn->thread = std::thread([this, raw, generation] {
            if (tls)
                ServeTls(raw, generation);
            else
                Serve(raw, generation);
            ::shutdown(raw->fd, SHUT_RDWR);  // the descriptor is closed when the thread is reaped
            raw->done = true;
        });
        conns.push_back(std::move(conn));
    }
}

void FakeApi::Impl::ReapFinished() {
    std::list<std::unique_ptr<Conn>> finished;
    {
        std::lock_guard<std::mutex> lock(mu);
        for (auto it = conns.begin(); it != conns.end();) {
            if ((*it)->done) {
                finished.push_back(std::move(*it));
                it = conns.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& c : finished) {
        c->thread.join();
        ::close(c->fd);
    }
}

void FakeApi::Impl::StopListening() {
    int fd = -1;
    std::thread acceptor;
    {
        std::lock_guard<std::mutex> lock(mu);
        if (!listening) return;
        listening = false;
        ++stopGeneration;
        fd = listenFd;
        listenFd = -1;
        acceptor = std::move(acceptThread);
        for (auto& c : conns) ::shutdown(c->fd, SHUT_RDWR);
    }
    cv.notify_all();
    ::shutdown(fd, SHUT_RDWR);
    acceptor.join();
    ::close(fd);
    std::list<std::unique_ptr<Conn>> all;
    {
        std::lock_guard<std::mutex> lock(mu);
        all = std::move(conns);
        conns.clear();
    }
    for (auto& c : all) {
        ::shutdown(c->fd, SHUT_RDWR);
        c->thread.join();
        ::close(c->fd);
    }
}

std::optional<RecordedRequest> FakeApi::Impl::Parse(const std::string& head) const {
    RecordedRequest r;
    std::size_t lineEnd = head.find("\r\n");
    const std::string requestLine = head.substr(0, lineEnd);
    const std::size_t sp1 = requestLine.find(' ');
    const std::size_t sp2 = requestLine.rfind(' ');
    if (sp1 == std::string::npos || sp2 == sp1 || requestLine.compare(sp2 + 1, 5, "HTTP/") != 0) return std::nullopt;
    r.method = requestLine.substr(0, sp1);
    r.target = requestLine.substr(sp1 + 1, sp2 - sp1 - 1);
    const std::size_t q = r.target.find('?');
    const std::string fullPath = r.target.substr(0, q);
    if (q != std::string::npos) r.query = r.target.substr(q + 1);
    if (fullPath == basePath) {
        r.path = "/";
    } else if (fullPath.size() > basePath.size() && fullPath.compare(0, basePath.size(), basePath) == 0 &&
               fullPath[basePath.size()] == '/') {
        r.path = fullPath.substr(basePath.size());
    } else {
        r.path = fullPath;
        r.under_base = false;
    }
    std::size_t pos = lineEnd + 2;
    while (pos < head.size()) {
        const std::size_t end = head.find("\r\n", pos);
        if (end == pos || end == std::string::npos) break;
        const std::string line = head.substr(pos, end - pos);
        pos = end + 2;
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos || colon == 0) return std::nullopt;
        r.headers.emplace_back(line.substr(0, colon), Trim(line.substr(colon + 1)));
    }
    return r;
}

Reply FakeApi::Impl::Choose(const RecordedRequest& r) {
    // Caller holds mu. Exact scripts first, then the longest matching prefix.
    ScriptEntry* best = nullptr;
    std::size_t bestLen = 0;
    for (auto& [key, entry] : scripts) {
        if (key.first != r.method || (entry.replies.empty() && !entry.responder)) continue;
        const std::string& pattern = key.second;
        if (pattern == r.path) {
            best = &entry;
            break;
        }
        if (PathMatches(pattern, r.path) && pattern.size() > bestLen) {
            best = &entry;
            bestLen = pattern.size();
        }
    }
    if (!best) return Reply{404};
    if (best->responder) return best->responder(r);
    const Reply reply = best->replies[std::min(best->next, best->replies.size() - 1)];
    if (best->next < best->replies.size()) ++best->next;
    return reply;
}

void FakeApi::Impl::Serve(Conn* conn, std::uint64_t generation) {
    Stream stream{conn->fd, nullptr};
    ServeRequests(stream, generation);
}

// The handshake runs on the connection's thread so that a slow or failing client holds up no
// other. OpenSSL writes without MSG_NOSIGNAL: a peer that hangs up would raise SIGPIPE, which
// stays pending on this (blocked) thread and dies with it.
void FakeApi::Impl::ServeTls(Conn* conn, std::uint64_t generation) {
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    SslPtr<SSL> ssl(SSL_new(tls.get()));
    if (!ssl || SSL_set_fd(ssl.get(), conn->fd) != 1) return;
    if (SSL_accept(ssl.get()) == 1) {
        Stream stream{conn->fd, ssl.get()};
        ServeRequests(stream, generation);
        SSL_shutdown(ssl.get());
    }
    ERR_clear_error();  // the error queue is per thread; leave nothing behind
}

void FakeApi::Impl::ServeRequests(Stream& stream, std::uint64_t generation) {
    Reader in(stream);
    for (;;) {
        auto head = in.Head();
        if (!head) return;
        auto request = Parse(*head);
        if (!request) {
            stream.SendAll("HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
            return;
        }
        if (IEquals(request->Header("Transfer-Encoding"), "chunked")) {
            auto body = ReadChunked(in);
            if (!body) return;
            request->body = std::move(*body);
        } else if (request->HasHeader("Content-Length")) {
            const std::string text = request->Header("Content-Length");
            char* end = nullptr;
            const unsigned long long n = std::strtoull(text.c_str(), &end, 10);
            if (text.empty() || *end != '\0' || !std::isdigit(static_cast<unsigned char>(text[0])) || n > kMaxBody) {
                stream.SendAll("HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
                return;
            }
            auto body = in.Bytes(std::size_t(n));
            if (!body) return;
            request->body = std::move(*body);
        }
        const std::string requestLine = head->substr(0, head->find("\r\n"));
        const bool http10 = requestLine.size() >= 8 && requestLine.compare(requestLine.size() - 8, 8, "HTTP/1.0") == 0;
        const bool keepAlive = !http10 && !IEquals(request->Header("Connection"), "close");

        Reply reply;
        Observer observer;
        {
            std::lock_guard<std::mutex> lock(mu);
            log.push_back(*request);
            reply = Choose(*request);
            if (twist) reply = twist(*request, std::move(reply));
            observer = this->observer;
        }
        cv.notify_all();
        if (observer) {
            Reply seen = reply;
            if (seen.never_answer || seen.close_connection) seen.status = 0;
            observer(*request, seen);
        }

        if (reply.close_connection) return;
        {
            std::unique_lock<std::mutex> lock(mu);
            const auto released = [&] { return stopGeneration != generation; };
            if (reply.never_answer) {
                cv.wait(lock, released);
                return;
            }
            if (reply.delay_ms > 0 && cv.wait_for(lock, std::chrono::milliseconds(reply.delay_ms), released)) return;
        }

        std::string out = AnswerBytes(reply, keepAlive, request->method != "HEAD");
        if (reply.cut_at < out.size()) {
            stream.SendAll(out.substr(0, reply.cut_at));
            if (reply.reset && !CutInsideHead(out, reply.cut_at)) ResetConnection(stream.fd);
            return;
        }
        if (!stream.SendAll(out) || !keepAlive) return;
    }
}

std::string AnswerBytes(const Reply& reply, bool keepAlive, bool withBody) {
    std::string out = "HTTP/1.1 " + std::to_string(reply.status) + " " + ReasonPhrase(reply.status) + "\r\n";
    bool lengthGiven = false;
    for (const auto& [name, value] : reply.headers) {
        if (IEquals(name, "Content-Length")) lengthGiven = true;
        out += name + ": " + value + "\r\n";
    }
    if (!lengthGiven) out += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
    if (!keepAlive) out += "Connection: close\r\n";
    out += "\r\n";
    if (withBody) out += reply.body;
    return out;
}

bool WineCrashingCut(const Reply& reply) {
    if (!reply.reset || reply.close_connection || reply.never_answer) return false;
    return CutInsideHead(AnswerBytes(reply, true, false), reply.cut_at);
}

FakeApi::FakeApi(std::string basePath) : FakeApi(std::move(basePath), 0) {}

FakeApi::FakeApi(std::string basePath, int port) : FakeApi(Scheme::Http, std::move(basePath), port) {}

FakeApi::FakeApi(Scheme scheme, std::string basePath, int port) : impl_(std::make_unique<Impl>()) {
    while (basePath.size() > 1 && basePath.back() == '/') basePath.pop_back();
    impl_->basePath = std::move(basePath);
    impl_->scheme = scheme;
    if (scheme == Scheme::Https) {
        impl_->tls = MakeServerContext(impl_->certificateDer);
        char path[] = "/tmp/hm_fake_api_cert_XXXXXX.der";
        const int fd = ::mkstemps(path, 4);
        if (fd < 0) throw std::runtime_error("fake API: cannot create the certificate file");
        const auto* data = impl_->certificateDer.data();
        std::size_t left = impl_->certificateDer.size();
        while (left > 0) {
            const ssize_t n = ::write(fd, data, left);
            if (n <= 0) {
                ::close(fd);
                ::unlink(path);
                throw std::runtime_error("fake API: cannot write the certificate file");
            }
            data += n;
            left -= std::size_t(n);
        }
        ::close(fd);
        impl_->certificateFile = path;
    }
    try {
        impl_->Listen(port);
    } catch (...) {
        if (!impl_->certificateFile.empty()) ::unlink(impl_->certificateFile.c_str());
        throw;
    }
}

FakeApi::~FakeApi() {
    impl_->StopListening();
    if (!impl_->certificateFile.empty()) ::unlink(impl_->certificateFile.c_str());
}

int FakeApi::port() const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    return impl_->port;
}

const std::string& FakeApi::BasePath() const { return impl_->basePath; }

std::string FakeApi::BaseUrl() const {
    if (impl_->scheme == Scheme::Https) return "https://localhost:" + std::to_string(port()) + impl_->basePath;
    return "http://127.0.0.1:" + std::to_string(port()) + impl_->basePath;
}

Scheme FakeApi::scheme() const { return impl_->scheme; }

const std::vector<unsigned char>& FakeApi::CertificateDer() const { return impl_->certificateDer; }

const std::string& FakeApi::CertificateFile() const { return impl_->certificateFile; }

void FakeApi::Script(const std::string& method, const std::string& path, Reply reply) {
    ScriptSequence(method, path, {std::move(reply)});
}

void FakeApi::ScriptSequence(const std::string& method, const std::string& path, std::vector<Reply> replies) {
    std::lock_guard<std::mutex> lock(impl_->mu);
    impl_->scripts[{method, path}] = ScriptEntry{std::move(replies), 0, nullptr};
}

void FakeApi::Respond(const std::string& method, const std::string& path, Responder responder) {
    std::lock_guard<std::mutex> lock(impl_->mu);
    impl_->scripts[{method, path}] = ScriptEntry{{}, 0, std::move(responder)};
}

void FakeApi::Unscript(const std::string& method, const std::string& path) {
    std::lock_guard<std::mutex> lock(impl_->mu);
    impl_->scripts.erase({method, path});
}

std::vector<RecordedRequest> FakeApi::Requests() const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    return impl_->log;
}

std::vector<RecordedRequest> FakeApi::RequestsTo(const std::string& method, const std::string& path) const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    std::vector<RecordedRequest> out;
    for (const auto& r : impl_->log)
        if (Matches(method, path, r)) out.push_back(r);
    return out;
}

std::optional<RecordedRequest> FakeApi::WaitFor(const std::string& method, const std::string& path,
                                                std::chrono::milliseconds timeout, std::size_t count) const {
    if (count == 0) count = 1;
    std::unique_lock<std::mutex> lock(impl_->mu);
    std::optional<RecordedRequest> found;
    const auto seen = [&] {
        std::size_t n = 0;
        for (const auto& r : impl_->log) {
            if (Matches(method, path, r) && ++n == count) {
                found = r;
                return true;
            }
        }
        return false;
    };
    impl_->cv.wait_for(lock, timeout, seen);
    return found;
}

void FakeApi::ClearLog() {
    std::lock_guard<std::mutex> lock(impl_->mu);
    impl_->log.clear();
}

void FakeApi::TwistAnswers(Twist twist) {
    std::lock_guard<std::mutex> lock(impl_->mu);
    impl_->twist = std::move(twist);
}

void FakeApi::OnRequest(Observer observer) {
    std::lock_guard<std::mutex> lock(impl_->mu);
    impl_->observer = std::move(observer);
}

void FakeApi::Stop() { impl_->StopListening(); }

void FakeApi::Restart() {
    {
        std::lock_guard<std::mutex> lock(impl_->mu);
        if (impl_->listening) return;
    }
    impl_->Listen(impl_->port);
}

}  // namespace hm::fake
