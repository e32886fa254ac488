// Runs the download thread's steps once, as the plugin would, and prints one result line:
//   reason=<text or empty> ms=<elapsed> bytes=<package size, -1 when none> running=<0|1> folder=<...>
// Arguments: <api url> <downloads folder, "-" for the known folder> <target build>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/plugin.h"
#include "net/url_policy_win.h"
#include "update/package_download_win.h"

namespace {

std::wstring Wide(const char* text) { return std::wstring(text, text + std::strlen(text)); }

long long FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::printf("reason=usage\n");
        return 2;
    }
    try {
        const hm::ApiClient client = hm::MakeApiClient(Wide(argv[1]), true);
        const std::wstring downloads = std::string(argv[2]) == "-" ? L"" : Wide(argv[2]);
        std::unique_ptr<hm::PackageStore> store = hm::MakePackageStore(downloads);
        hm::DownloadEffects fx = hm::PluginDownloadEffects(*store);
        hm::UpdateState state;
        state.download_running = true;
        const ULONGLONG start = GetTickCount64();
        const std::string reason = hm::RunPackageDownload(client, std::atoi(argv[3]), state, fx);
        const ULONGLONG ms = GetTickCount64() - start;
        const std::wstring folder = hm::PackageFolder();
        const std::wstring zip = folder + L"\\HM_Plugin-client.zip";
        std::printf("reason=%s ms=%llu bytes=%lld running=%d folder=%ls\n", reason.c_str(), ms,
                    folder.empty() ? -1LL : FileSize(zip), int(state.download_running.load()), folder.c_str());
    } catch (const std::exception& e) {
        std::printf("reason=probe: %s\n", e.what());
        return 1;
    }
    return 0;
}
