// ApiRequest's failure paths under Wine: each WinHTTP call fails in turn (wrappers around the
// real calls, against a loopback server in this process) and exactly the transport's text comes
// out, with every opened handle closed.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "net/api_request_win.h"
#include "net/winhttp_faults_win_test_util.h"

namespace hm {
namespace {

TEST(ApiRequestFailures, EachCallFailingGivesItsTextAndClosesEveryHandle) {
    LoopbackServer server("HTTP/1.1 200 OK\r\nContent-Length: 5\r\nConnection: close\r\n\r\nhello");
    ApiClient client;
    client.host = L"127.0.0.1";
    client.port = server.port();
    client.secure = false;
    client.base_path = L"/HM/MEDIA-PLUGIN/test-api";
    struct Case {
        WinHttpFail fail;
        const char* text;  // nullptr: the request succeeds
        int handles;       // handles that were open when it ended
    } cases[] = {
        {WinHttpFail::None, nullptr, 3},
        {WinHttpFail::Open, "network initialization failed", 0},
        {WinHttpFail::Timeouts, "network initialization failed", 1},
        {WinHttpFail::Connect, "network initialization failed", 1},
        {WinHttpFail::OpenRequest, "network initialization failed", 2},
        {WinHttpFail::RedirectOption, "redirect policy failed", 3},
        {WinHttpFail::AutologonOption, nullptr, 3},  // ignored
        {WinHttpFail::Send, "HTTPS request failed", 3},
        {WinHttpFail::Receive, "HTTPS request failed", 3},
        {WinHttpFail::Query, "missing status", 3},
        {WinHttpFail::Read, "network read failed", 3},
    };
    for (const Case& c : cases) {
        const WinHttpCalls calls = FailingWinHttp(c.fail);
        std::string text;
        try {
            const ApiResponse r = ApiRequestThrough(calls, client, "GET", "/state", "", "", 0);
            EXPECT_EQ(r.status, 200);
            EXPECT_EQ(r.body, "hello");
        } catch (const std::runtime_error& e) {
            text = e.what();
        }
        EXPECT_EQ(text, c.text ? c.text : "") << int(c.fail);
        EXPECT_EQ(g_winhttp.opened, c.handles) << int(c.fail);
        EXPECT_EQ(g_winhttp.closed, g_winhttp.opened) << int(c.fail);
    }
}

TEST(ApiRequestFailures, BodiesWithoutLengthAreReadToTheEnd) {
    // No Content-Length: the body runs until the server closes; pieces of 8 KiB add up.
    std::string body(20000, 'x');
    LoopbackServer server("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + body);
    ApiClient client;
    client.host = L"127.0.0.1";
    client.port = server.port();
    client.secure = false;
    const ApiResponse r = ApiRequest(client, "GET", "/state", "", "", 0);
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.body, body);
}

}  // namespace
}  // namespace hm
