// ApiRequest: the one synchronous request to the community web API over WinHTTP. Any thread;
// each call opens and closes its own session, connection and request (no reuse, no retry).
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <cstdint>
#include <string>

#include "net/api_types.h"

namespace hm {

constexpr int kResolveTimeoutMs = 3000;
constexpr int kConnectTimeoutMs = 3000;
constexpr int kSendTimeoutMs = 5000;
constexpr int kReceiveTimeoutMs = 5000;
constexpr unsigned kReadPieceBytes = 8192;

// The WinHTTP calls of one request; tests pass wrappers that fail a chosen call and count handles.
struct WinHttpCalls {
    decltype(&WinHttpOpen) open = &WinHttpOpen;
    decltype(&WinHttpSetTimeouts) set_timeouts = &WinHttpSetTimeouts;
    decltype(&WinHttpConnect) connect = &WinHttpConnect;
    decltype(&WinHttpOpenRequest) open_request = &WinHttpOpenRequest;
    decltype(&WinHttpSetOption) set_option = &WinHttpSetOption;
    decltype(&WinHttpSendRequest) send_request = &WinHttpSendRequest;
    decltype(&WinHttpReceiveResponse) receive_response = &WinHttpReceiveResponse;
    decltype(&WinHttpQueryHeaders) query_headers = &WinHttpQueryHeaders;
    decltype(&WinHttpReadData) read_data = &WinHttpReadData;
    decltype(&WinHttpCloseHandle) close_handle = &WinHttpCloseHandle;
};

// One WinHTTP handle, closed on every path through the calls it came from (tests count the
// closes, so it cannot be a plain UniqueHandle).
class InternetHandle {
public:
    InternetHandle(const WinHttpCalls& calls, HINTERNET h) : calls_(calls), h_(h) {}
    ~InternetHandle() {
        if (h_) calls_.close_handle(h_);
    }
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
    HINTERNET get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }

private:
    const WinHttpCalls& calls_;
    HINTERNET h_;
};

// ApiRequest over the given calls.
ApiResponse ApiRequestThrough(const WinHttpCalls& calls, const ApiClient& client, const std::string& method,
                              const std::string& path, const std::string& bearer, const std::string& body,
                              std::uint32_t shot);

// Reads ConsentGiven, PlayerIdentity (under SharedStateLock) and HardwareId for the header
// block. Returns any status; throws std::runtime_error with one of the transport texts.
ApiResponse ApiRequest(const ApiClient& client, const std::string& method, const std::string& path,
                       const std::string& bearer, const std::string& body, std::uint32_t shot);

}  // namespace hm
