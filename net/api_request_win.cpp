#include "net/api_request_win.h"

#include <windows.h>
#include <winhttp.h>

#include <mutex>
#include <stdexcept>

#include "base/plugin.h"
#include "base/shared_state.h"
#include "net/answer_framing.h"
#include "net/hardware_id_win.h"
#include "net/header_block.h"

namespace hm {

namespace {

std::wstring Widen(const std::string& text) {
    std::wstring wide(text.size(), L'\0');
    for (std::size_t i = 0; i < text.size(); ++i) wide[i] = wchar_t(static_cast<unsigned char>(text[i]));
    return wide;
}

HeaderInputs CurrentHeaderInputs(const ApiClient& client, const std::string& path, const std::string& bearer,
                                 std::uint32_t shot) {
    HeaderInputs in;
    in.secure = client.secure;
    in.consent_given = Plugin().consent_given.load();
    in.path = path;
    in.bearer = bearer;
    in.shot = shot;
    // The fingerprint is only ever sent with the presence check over HTTPS; computing it for
    // other requests would cost a firmware-table read for nothing.
    if (in.secure && in.consent_given && path == "/presence") in.hardware_id = HardwareId();
    if (in.consent_given) {
        SharedState& shared = PluginShared();
        std::lock_guard<std::mutex> guard(shared.lock);
        in.identity = shared.identity;
    }
    return in;
}

// One header of the answer as ASCII; false when the answer has none. A value too long for the
// buffer comes back as "?", which no length check accepts.
bool AnswerHeader(const WinHttpCalls& calls, HINTERNET request, DWORD which, std::string& value) {
    wchar_t text[64];
    DWORD size = sizeof text;
    value.clear();
    if (calls.query_headers(request, which, WINHTTP_HEADER_NAME_BY_INDEX, text, &size, WINHTTP_NO_HEADER_INDEX)) {
        for (DWORD i = 0; i < size / sizeof(wchar_t); ++i) value += text[i] < 128 ? char(text[i]) : '?';
        return true;
    }
    if (GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        value = "?";
        return true;
    }
    return false;
}

}  // namespace

ApiResponse ApiRequest(const ApiClient& client, const std::string& method, const std::string& path,
                       const std::string& bearer, const std::string& body, std::uint32_t shot) {
    // Never destroyed, like every process-wide record.
    static const WinHttpCalls& system = *new WinHttpCalls;
    return ApiRequestThrough(system, client, method, path, bearer, body, shot);
}

ApiResponse ApiRequestThrough(const WinHttpCalls& calls, const ApiClient& client, const std::string& method,
                              const std::string& path, const std::string& bearer, const std::string& body,
                              std::uint32_t shot) {
    const std::wstring agent = L"HM_Plugin/" + Widen(kPluginVersion);
    InternetHandle session(calls, calls.open(agent.c_str(), WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME,
                                       WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session) throw std::runtime_error("network initialization failed");
    if (!calls.set_timeouts(session.get(), kResolveTimeoutMs, kConnectTimeoutMs, kSendTimeoutMs, kReceiveTimeoutMs))
        throw std::runtime_error("network initialization failed");

    InternetHandle connection(calls, calls.connect(session.get(), client.host.c_str(), client.port, 0));
    if (!connection) throw std::runtime_error("network initialization failed");
    const std::wstring target = client.base_path + Widen(path);
    InternetHandle request(calls, calls.open_request(connection.get(), Widen(method).c_str(), target.c_str(), nullptr,
                                              WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                              client.secure ? WINHTTP_FLAG_SECURE : 0));
    if (!request) throw std::runtime_error("network initialization failed");

    DWORD redirect = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
    if (!calls.set_option(request.get(), WINHTTP_OPTION_REDIRECT_POLICY, &redirect, sizeof redirect))
        throw std::runtime_error("redirect policy failed");
    // The receive time-out must also bound the wait for the answer's headers; some WinHTTP
    // builds apply it only to body reads and would otherwise wait for a silent server for 90 s.
    DWORD headersTimeout = kReceiveTimeoutMs;
    calls.set_option(request.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &headersTimeout, sizeof headersTimeout);
    DWORD autologon = WINHTTP_AUTOLOGON_SECURITY_LEVEL_HIGH;
    calls.set_option(request.get(), WINHTTP_OPTION_AUTOLOGON_POLICY, &autologon, sizeof autologon);

    const std::wstring headers = WidenHeaderBlock(BuildHeaderBlock(CurrentHeaderInputs(client, path, bearer, shot)));
    LPVOID data = body.empty() ? WINHTTP_NO_REQUEST_DATA : const_cast<char*>(body.data());
    const DWORD length = DWORD(body.size());
    if (!calls.send_request(request.get(), headers.c_str(), DWORD(-1L), data, length, length, 0) ||
        !calls.receive_response(request.get(), nullptr))
        throw std::runtime_error("HTTPS request failed");

    ApiResponse response;
    DWORD status = 0, statusSize = sizeof status;
    if (!calls.query_headers(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize, WINHTTP_NO_HEADER_INDEX))
        throw std::runtime_error("missing status");
    response.status = std::int32_t(status);

    char piece[kReadPieceBytes];
    for (;;) {
        DWORD got = 0;
        if (!calls.read_data(request.get(), piece, sizeof piece, &got)) throw std::runtime_error("network read failed");
        if (got == 0) break;
        if (response.body.size() + got > kMaxResponseBytes) throw std::runtime_error("response too large");
        response.body.append(piece, got);
    }
    // A connection closed early must not turn a cut answer into a shorter, valid-looking one.
    std::string declared, coding;
    AnswerHead head;
    head.status = response.status;
    head.has_length = AnswerHeader(calls, request.get(), WINHTTP_QUERY_CONTENT_LENGTH, declared);
    head.length = declared;
    head.has_transfer_coding = AnswerHeader(calls, request.get(), WINHTTP_QUERY_TRANSFER_ENCODING, coding);
    if (!AnswerComplete(head, response.body.size())) throw std::runtime_error("network read failed");
    return response;
}

}  // namespace hm
