// ApiRequest: the one synchronous request to the community web API over WinHTTP. Any thread;
// each call opens and closes its own session, connection and request (no reuse, no retry).
#pragma once

#include <cstdint>
#include <string>

#include "net/api_types.h"

namespace hm {

constexpr int kResolveTimeoutMs = 3000;
constexpr int kConnectTimeoutMs = 3000;
constexpr int kSendTimeoutMs = 5000;
constexpr int kReceiveTimeoutMs = 5000;
constexpr unsigned kReadPieceBytes = 8192;

// Reads ConsentGiven, PlayerIdentity (under SharedStateLock) and HardwareId for the header
// block. Returns any status; throws std::runtime_error with one of the transport texts.
ApiResponse ApiRequest(const ApiClient& client, const std::string& method, const std::string& path,
                       const std::string& bearer, const std::string& body, std::uint32_t shot);

}  // namespace hm
