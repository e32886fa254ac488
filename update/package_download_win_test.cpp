// The package source's failure paths under Wine: each WinHTTP call fails in turn (wrappers around
// the real calls, against a loopback server in this process) and exactly the download's reason
// comes out, with every opened handle closed.
#include <winsock2.h>
#include <windows.h>
#include <winhttp.h>

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>

#include "update/package_download_win.h"

namespace hm {
namespace {

// Answers every connection with one fixed response.
class LoopbackServer {
public:
    explicit LoopbackServer(std::string response) : response_(std::move(response)) {
        WSADATA wsa;
        WSAStartup(MAKEWORD(2, 2), &wsa);
        listen_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listen_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        int len = sizeof addr;
        getsockname(listen_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
        ::listen(listen_, 8);
        thread_ = std::thread([this] { Serve(); });
    }
    ~LoopbackServer() {
        stop_ = true;
        closesocket(listen_);
        thread_.join();
        WSACleanup();
    }
    std::uint16_t port() const { return port_; }

private:
    void Serve() {
        while (!stop_) {
            SOCKET c = accept(listen_, nullptr, nullptr);
            if (c == INVALID_SOCKET) return;
            std::string request;
            char buf[4096];
            while (request.find("\r\n\r\n") == std::string::npos) {
                const int n = recv(c, buf, sizeof buf, 0);
                if (n <= 0) break;
                request.append(buf, n);
            }
            send(c, response_.data(), int(response_.size()), 0);
            shutdown(c, SD_SEND);
            while (recv(c, buf, sizeof buf, 0) > 0) {
            }
            closesocket(c);
        }
    }
    std::string response_;
    SOCKET listen_ = INVALID_SOCKET;
    std::uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

enum class Fail { None, Open, Connect, OpenRequest, Timeouts, RedirectOption, AutologonOption, Send, Receive, Query, Read };

Fail g_fail = Fail::None;
int g_opened = 0;
int g_closed = 0;
DWORD g_redirect = 0, g_autologon = 0;

HINTERNET Counted(HINTERNET h) {
    if (h) ++g_opened;
    return h;
}
HINTERNET WINAPI Open(LPCWSTR a, DWORD b, LPCWSTR c, LPCWSTR d, DWORD e) {
    return g_fail == Fail::Open ? nullptr : Counted(WinHttpOpen(a, b, c, d, e));
}
WINBOOL WINAPI Timeouts(HINTERNET h, int a, int b, int c, int d) {
    EXPECT_EQ(a, 5000);
    EXPECT_EQ(b, 5000);
    EXPECT_EQ(c, 15000);
    EXPECT_EQ(d, 15000);
    return g_fail == Fail::Timeouts ? FALSE : WinHttpSetTimeouts(h, a, b, c, d);
}
HINTERNET WINAPI Connect(HINTERNET h, LPCWSTR a, INTERNET_PORT b, DWORD c) {
    return g_fail == Fail::Connect ? nullptr : Counted(WinHttpConnect(h, a, b, c));
}
HINTERNET WINAPI OpenRequest(HINTERNET h, LPCWSTR a, LPCWSTR b, LPCWSTR c, LPCWSTR d, LPCWSTR* e, DWORD f) {
    return g_fail == Fail::OpenRequest ? nullptr : Counted(WinHttpOpenRequest(h, a, b, c, d, e, f));
}
WINBOOL WINAPI SetOption(HINTERNET h, DWORD option, LPVOID b, DWORD c) {
    if (option == WINHTTP_OPTION_REDIRECT_POLICY) {
        g_redirect = *static_cast<DWORD*>(b);
        if (g_fail == Fail::RedirectOption) return FALSE;
    }
    if (option == WINHTTP_OPTION_AUTOLOGON_POLICY) {
        g_autologon = *static_cast<DWORD*>(b);
        if (g_fail == Fail::AutologonOption) return FALSE;
    }
    return WinHttpSetOption(h, option, b, c);
}
WINBOOL WINAPI Send(HINTERNET h, LPCWSTR a, DWORD b, LPVOID c, DWORD d, DWORD e, DWORD_PTR f) {
    return g_fail == Fail::Send ? FALSE : WinHttpSendRequest(h, a, b, c, d, e, f);
}
WINBOOL WINAPI Receive(HINTERNET h, LPVOID a) { return g_fail == Fail::Receive ? FALSE : WinHttpReceiveResponse(h, a); }
WINBOOL WINAPI Query(HINTERNET h, DWORD a, LPCWSTR b, LPVOID c, LPDWORD d, LPDWORD e) {
    return g_fail == Fail::Query ? FALSE : WinHttpQueryHeaders(h, a, b, c, d, e);
}
WINBOOL WINAPI Read(HINTERNET h, LPVOID a, DWORD b, LPDWORD c) {
    return g_fail == Fail::Read ? FALSE : WinHttpReadData(h, a, b, c);
}
WINBOOL WINAPI Close(HINTERNET h) {
    ++g_closed;
    return WinHttpCloseHandle(h);
}

WinHttpCalls Wrapped() {
    WinHttpCalls c;
    c.open = &Open;
    c.set_timeouts = &Timeouts;
    c.connect = &Connect;
    c.open_request = &OpenRequest;
    c.set_option = &SetOption;
    c.send_request = &Send;
    c.receive_response = &Receive;
    c.query_headers = &Query;
    c.read_data = &Read;
    c.close_handle = &Close;
    return c;
}

std::string ReadAll(PackageSource& source) {
    std::string body, piece(kPackagePieceBytes, '\0');
    for (;;) {
        const std::size_t got = source.Read(&piece[0], piece.size());
        if (got == 0) return body;
        body.append(piece, 0, got);
    }
}

ApiClient Loopback(std::uint16_t port) {
    ApiClient client;
    client.host = L"127.0.0.1";
    client.port = port;
    client.secure = false;
    client.base_path = L"/HM/MEDIA-PLUGIN/test-api";
    return client;
}

TEST(PackageSourceFailures, EachCallFailingGivesItsReasonAndClosesEveryHandle) {
    LoopbackServer server("HTTP/1.1 200 OK\r\nContent-Length: 7\r\nConnection: close\r\n\r\npackage");
    struct Case {
        Fail fail;
        const char* reason;  // nullptr: the package arrives
        int handles;         // handles open when it ended
    } cases[] = {
        {Fail::None, nullptr, 3},
        {Fail::Open, "network initialization failed", 0},
        {Fail::Connect, "network initialization failed", 1},
        {Fail::OpenRequest, "network initialization failed", 2},
        {Fail::Timeouts, "network initialization failed", 3},
        {Fail::RedirectOption, "update policy", 3},
        {Fail::AutologonOption, "update policy", 3},
        {Fail::Send, "update connection", 3},
        {Fail::Receive, "update connection", 3},
        {Fail::Query, "update HTTP status", 3},
        {Fail::Read, "update read", 3},
    };
    const WinHttpCalls calls = Wrapped();
    for (const Case& c : cases) {
        g_fail = c.fail;
        g_opened = g_closed = 0;
        std::string reason, body;
        try {
            std::unique_ptr<PackageSource> source = OpenPackageSource(calls, Loopback(server.port()), "/downloads/x.zip");
            body = ReadAll(*source);
        } catch (const std::runtime_error& e) {
            reason = e.what();
        }
        EXPECT_EQ(reason, c.reason ? c.reason : "") << int(c.fail);
        if (!c.reason) {
            EXPECT_EQ(body, "package");
            EXPECT_EQ(g_redirect, DWORD(WINHTTP_OPTION_REDIRECT_POLICY_NEVER));
            EXPECT_EQ(g_autologon, DWORD(WINHTTP_AUTOLOGON_SECURITY_LEVEL_HIGH));
        }
        EXPECT_EQ(g_opened, c.handles) << int(c.fail);
        EXPECT_EQ(g_closed, g_opened) << int(c.fail);
    }
    g_fail = Fail::None;
}

TEST(PackageSourceFailures, StatusOtherThan200IsRefusedBeforeAnyRead) {
    for (const char* status : {"302 Found\r\nLocation: http://127.0.0.1:1/elsewhere", "204 No Content", "500 Oops"}) {
        LoopbackServer server(std::string("HTTP/1.1 ") + status + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
        try {
            OpenPackageSource(Wrapped(), Loopback(server.port()), "/downloads/x.zip");
            ADD_FAILURE() << status << " accepted";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "update HTTP status") << status;
        }
    }
}

}  // namespace
}  // namespace hm
