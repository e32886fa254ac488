// ApiClient from the configured URL: WinHttpCrackUrl, then the URL policy.
#pragma once

#include <string>

#include "net/api_types.h"
#include "net/url_policy.h"

namespace hm {

// WinHttpCrackUrl asking for every component; throws "invalid API URL" when it fails.
CrackedUrl CrackApiUrl(const std::wstring& url);

// Throws std::runtime_error with one of the policy texts.
ApiClient MakeApiClient(const std::wstring& url, bool allowLocalHttp);

}  // namespace hm
