// The package source's failure paths under Wine: each WinHTTP call fails in turn (wrappers around
// the real calls, against a loopback server in this process) and exactly the download's reason
// comes out, with every opened handle closed.
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "net/winhttp_faults_win_test_util.h"
#include "update/package_download_win.h"

namespace hm {
namespace {

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
        WinHttpFail fail;
        const char* reason;  // nullptr: the package arrives
        int handles;         // handles open when it ended
    } cases[] = {
        {WinHttpFail::None, nullptr, 3},
        {WinHttpFail::Open, "network initialization failed", 0},
        {WinHttpFail::Connect, "network initialization failed", 1},
        {WinHttpFail::OpenRequest, "network initialization failed", 2},
        {WinHttpFail::Timeouts, "network initialization failed", 3},
        {WinHttpFail::RedirectOption, "update policy", 3},
        {WinHttpFail::AutologonOption, "update policy", 3},
        {WinHttpFail::Send, "update connection", 3},
        {WinHttpFail::Receive, "update connection", 3},
        {WinHttpFail::Query, "update HTTP status", 3},
        {WinHttpFail::Read, "update read", 3},
    };
    for (const Case& c : cases) {
        const WinHttpCalls calls = FailingWinHttp(c.fail);
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
            EXPECT_EQ(g_winhttp.redirect, DWORD(WINHTTP_OPTION_REDIRECT_POLICY_NEVER));
            EXPECT_EQ(g_winhttp.autologon, DWORD(WINHTTP_AUTOLOGON_SECURITY_LEVEL_HIGH));
        }
        if (c.handles == 3) {
            // Time-outs are set once the request exists: 5 s to resolve and connect, 15 s to send and receive.
            const int expected[4] = {5000, 5000, 15000, 15000};
            for (int i = 0; i < 4; ++i) EXPECT_EQ(g_winhttp.timeouts[i], expected[i]) << int(c.fail) << " timeout " << i;
        }
        EXPECT_EQ(g_winhttp.opened, c.handles) << int(c.fail);
        EXPECT_EQ(g_winhttp.closed, g_winhttp.opened) << int(c.fail);
    }
}

TEST(PackageSourceFailures, StatusOtherThan200IsRefusedBeforeAnyRead) {
    for (const char* status : {"302 Found\r\nLocation: http://127.0.0.1:1/elsewhere", "204 No Content", "500 Oops"}) {
        LoopbackServer server(std::string("HTTP/1.1 ") + status + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
        try {
            OpenPackageSource(FailingWinHttp(WinHttpFail::None), Loopback(server.port()), "/downloads/x.zip");
            ADD_FAILURE() << status << " accepted";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "update HTTP status") << status;
        }
    }
}

}  // namespace
}  // namespace hm
