// The download thread's Windows shell: the package over its own WinHTTP handles, the package
// folder under the user's Downloads known folder, CryptoAPI SHA-256, and the thread itself.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <memory>
#include <string>

#include "net/api_request_win.h"
#include "update/updater.h"

namespace hm {

constexpr int kPackageResolveTimeoutMs = 5000;
constexpr int kPackageConnectTimeoutMs = 5000;
constexpr int kPackageSendTimeoutMs = 15000;
constexpr int kPackageReceiveTimeoutMs = 15000;

// Steps 1-4 of the package download over the given calls (tests fail one in turn).
std::unique_ptr<PackageSource> OpenPackageSource(const WinHttpCalls& calls, const ApiClient& client,
                                                 const std::string& path);

// The package folder below `downloads` (empty: the user's Downloads known folder).
std::unique_ptr<PackageStore> MakePackageStore(const std::wstring& downloads = L"");

std::unique_ptr<PackageHasher> MakeSha256Hasher();

// Effects for RunPackageDownload: ApiRequest, the system's WinHTTP, the plugin's StopFlag,
// StatusBanner and PackageFolder.
DownloadEffects PluginDownloadEffects(PackageStore& store);

// Start download: a thread of its own when ClaimDownload allows; the worker never waits for it.
void StartPackageDownload(const ApiClient& client, int target_build);

// PackageFolder, read under SharedStateLock.
std::wstring PackageFolder();

}  // namespace hm
