#include "net/url_policy_win.h"

#include <windows.h>
#include <winhttp.h>

#include <stdexcept>

namespace hm {

namespace {
std::wstring Part(const wchar_t* text, DWORD length) { return text ? std::wstring(text, length) : std::wstring(); }
}  // namespace

CrackedUrl CrackApiUrl(const std::wstring& url) {
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwSchemeLength = DWORD(-1);
    parts.dwHostNameLength = DWORD(-1);
    parts.dwUserNameLength = DWORD(-1);
    parts.dwPasswordLength = DWORD(-1);
    parts.dwUrlPathLength = DWORD(-1);
    parts.dwExtraInfoLength = DWORD(-1);
    if (url.empty() || !WinHttpCrackUrl(url.c_str(), DWORD(url.size()), 0, &parts))
        throw std::runtime_error("invalid API URL");
    CrackedUrl cracked;
    cracked.scheme = parts.nScheme == INTERNET_SCHEME_HTTPS  ? UrlScheme::Https
                     : parts.nScheme == INTERNET_SCHEME_HTTP ? UrlScheme::Http
                                                             : UrlScheme::Other;
    cracked.host = Part(parts.lpszHostName, parts.dwHostNameLength);
    cracked.port = parts.nPort;
    cracked.user = Part(parts.lpszUserName, parts.dwUserNameLength);
    cracked.password = Part(parts.lpszPassword, parts.dwPasswordLength);
    cracked.path = Part(parts.lpszUrlPath, parts.dwUrlPathLength);
    cracked.extra = Part(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    return cracked;
}

ApiClient MakeApiClient(const std::wstring& url, bool allowLocalHttp) {
    return ApplyUrlPolicy(CrackApiUrl(url), allowLocalHttp);
}

}  // namespace hm
