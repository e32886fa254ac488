// Test helpers for WinHTTP callers under Wine: a loopback server that answers every connection with
// one fixed response, and WinHttpCalls that fail one chosen call and count the handles opened and
// closed (so a test proves that every failure path closes what it opened).
#pragma once

#include <winsock2.h>
#include <windows.h>
#include <winhttp.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "net/api_request_win.h"

namespace hm {

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
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;
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

enum class WinHttpFail { None, Open, Timeouts, Connect, OpenRequest, RedirectOption, AutologonOption, Send, Receive, Query, Read };

// What the wrapped calls saw; one per test program (tests run one at a time).
struct WinHttpFaults {
    WinHttpFail fail = WinHttpFail::None;
    int opened = 0;
    int closed = 0;
    int timeouts[4] = {};  // the last WinHttpSetTimeouts arguments
    DWORD redirect = 0;    // the last redirect and autologon policies set
    DWORD autologon = 0;
};
inline WinHttpFaults g_winhttp;

namespace winhttp_faults {
inline HINTERNET Counted(HINTERNET h) {
    if (h) ++g_winhttp.opened;
    return h;
}
inline bool Failing(WinHttpFail f) { return g_winhttp.fail == f; }
inline HINTERNET WINAPI Open(LPCWSTR a, DWORD b, LPCWSTR c, LPCWSTR d, DWORD e) {
    return Failing(WinHttpFail::Open) ? nullptr : Counted(WinHttpOpen(a, b, c, d, e));
}
inline WINBOOL WINAPI Timeouts(HINTERNET h, int a, int b, int c, int d) {
    g_winhttp.timeouts[0] = a;
    g_winhttp.timeouts[1] = b;
    g_winhttp.timeouts[2] = c;
    g_winhttp.timeouts[3] = d;
    return Failing(WinHttpFail::Timeouts) ? FALSE : WinHttpSetTimeouts(h, a, b, c, d);
}
inline HINTERNET WINAPI Connect(HINTERNET h, LPCWSTR a, INTERNET_PORT b, DWORD c) {
    return Failing(WinHttpFail::Connect) ? nullptr : Counted(WinHttpConnect(h, a, b, c));
}
inline HINTERNET WINAPI OpenRequest(HINTERNET h, LPCWSTR a, LPCWSTR b, LPCWSTR c, LPCWSTR d, LPCWSTR* e, DWORD f) {
    return Failing(WinHttpFail::OpenRequest) ? nullptr : Counted(WinHttpOpenRequest(h, a, b, c, d, e, f));
}
inline WINBOOL WINAPI SetOption(HINTERNET h, DWORD option, LPVOID b, DWORD c) {
    if (option == WINHTTP_OPTION_REDIRECT_POLICY) {
        g_winhttp.redirect = *static_cast<DWORD*>(b);
        if (Failing(WinHttpFail::RedirectOption)) return FALSE;
    }
    if (option == WINHTTP_OPTION_AUTOLOGON_POLICY) {
        g_winhttp.autologon = *static_cast<DWORD*>(b);
        if (Failing(WinHttpFail::AutologonOption)) return FALSE;
    }
    return WinHttpSetOption(h, option, b, c);
}
inline WINBOOL WINAPI Send(HINTERNET h, LPCWSTR a, DWORD b, LPVOID c, DWORD d, DWORD e, DWORD_PTR f) {
    return Failing(WinHttpFail::Send) ? FALSE : WinHttpSendRequest(h, a, b, c, d, e, f);
}
inline WINBOOL WINAPI Receive(HINTERNET h, LPVOID a) {
    return Failing(WinHttpFail::Receive) ? FALSE : WinHttpReceiveResponse(h, a);
}
inline WINBOOL WINAPI Query(HINTERNET h, DWORD a, LPCWSTR b, LPVOID c, LPDWORD d, LPDWORD e) {
    return Failing(WinHttpFail::Query) ? FALSE : WinHttpQueryHeaders(h, a, b, c, d, e);
}
inline WINBOOL WINAPI Read(HINTERNET h, LPVOID a, DWORD b, LPDWORD c) {
    return Failing(WinHttpFail::Read) ? FALSE : WinHttpReadData(h, a, b, c);
}
inline WINBOOL WINAPI Close(HINTERNET h) {
    ++g_winhttp.closed;
    return WinHttpCloseHandle(h);
}
}  // namespace winhttp_faults

// The real WinHTTP calls, with g_winhttp.fail failing one of them; the counts start again.
inline WinHttpCalls FailingWinHttp(WinHttpFail fail) {
    g_winhttp = WinHttpFaults{};
    g_winhttp.fail = fail;
    namespace w = winhttp_faults;
    WinHttpCalls c;
    c.open = &w::Open;
    c.set_timeouts = &w::Timeouts;
    c.connect = &w::Connect;
    c.open_request = &w::OpenRequest;
    c.set_option = &w::SetOption;
    c.send_request = &w::Send;
    c.receive_response = &w::Receive;
    c.query_headers = &w::Query;
    c.read_data = &w::Read;
    c.close_handle = &w::Close;
    return c;
}

}  // namespace hm
