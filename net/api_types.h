// The web API client's value types and the signature of the one request operation.
// ApiClient comes from MakeApiClient (URL policy); ApiRequest (net/api_request_win.h) is the
// WinHTTP transport. Portable code takes an ApiRequestFn so tests can script a server.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace hm {

#if !defined(HM_PLUGIN_BUILD) || !defined(HM_PLUGIN_VERSION)
#error "HM_PLUGIN_BUILD and HM_PLUGIN_VERSION come from the top CMakeLists.txt"
#endif
constexpr const char* kPluginVersion = HM_PLUGIN_VERSION;  // PluginVersion
constexpr int kPluginBuild = HM_PLUGIN_BUILD;              // PluginBuild
constexpr const char* kProductionBasePath = "/HM/MEDIA-PLUGIN/api";
constexpr const char* kTestBasePath = "/HM/MEDIA-PLUGIN/test-api";
constexpr std::size_t kMaxResponseBytes = 4194304;

// A validated API base; a copyable value each thread keeps its own copy of.
struct ApiClient {
    std::wstring host;
    std::wstring base_path;  // without trailing '/', may be empty
    std::uint16_t port = 443;
    bool secure = true;
};

struct ApiResponse {
    std::int32_t status = 0;
    std::string body;  // bytes, at most kMaxResponseBytes
};

// method: "GET", "POST" or "DELETE"; path relative to the base path ("/state"); an empty
// bearer sends no Authorization header; shot 0 sends no X-HMMedia-Shot header.
// Throws std::runtime_error with one of the transport texts.
using ApiRequestFn = std::function<ApiResponse(const ApiClient& client, const std::string& method,
                                               const std::string& path, const std::string& bearer,
                                               const std::string& body, std::uint32_t shot)>;

}  // namespace hm
