#include "net/url_policy.h"

#include <stdexcept>
#include <utility>

namespace hm {

std::wstring StripTrailingSlashes(std::wstring path) {
    while (!path.empty() && path.back() == L'/') path.pop_back();
    return path;
}

ApiClient ApplyUrlPolicy(const CrackedUrl& url, bool allowLocalHttp) {
    // Some WinHTTP builds leave a fragment without a query inside the path; it is extra
    // information all the same.
    const bool fragmentInPath = url.path.find_first_of(L"#?") != std::wstring::npos;
    if (!url.user.empty() || !url.password.empty() || !url.extra.empty() || fragmentInPath)
        throw std::runtime_error("URL credentials/query forbidden");
    const bool https = url.scheme == UrlScheme::Https;
    const bool localHttp = url.scheme == UrlScheme::Http && allowLocalHttp && url.host == L"127.0.0.1";
    if (!https && !localHttp) throw std::runtime_error("HTTPS required");
    ApiClient client;
    client.host = url.host;
    client.port = url.port;
    client.secure = https;
    client.base_path = StripTrailingSlashes(url.path);
    return client;
}

}  // namespace hm
