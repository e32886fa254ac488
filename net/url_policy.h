// The URL policy that turns the configured ApiUrl into an ApiClient. WinHttpCrackUrl splits
// the URL (MakeApiClient, url_policy_win.h); the decisions over its parts are portable.
#pragma once

#include <cstdint>
#include <string>

#include "net/api_types.h"

namespace hm {

enum class UrlScheme { Http, Https, Other };

// The components WinHttpCrackUrl gives back.
struct CrackedUrl {
    UrlScheme scheme = UrlScheme::Other;
    std::wstring host;
    std::uint16_t port = 0;
    std::wstring user;
    std::wstring password;
    std::wstring path;
    std::wstring extra;  // query and fragment
};

// Throws std::runtime_error "URL credentials/query forbidden" or "HTTPS required".
ApiClient ApplyUrlPolicy(const CrackedUrl& url, bool allowLocalHttp);

// Path without every trailing '/'.
std::wstring StripTrailingSlashes(std::wstring path);

}  // namespace hm
