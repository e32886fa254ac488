#include "update/package_download_win.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>
#include <winhttp.h>

#include <mutex>
#include <stdexcept>

#include "base/edge.h"
#include "base/notices.h"
#include "base/owners_win.h"
#include "base/plugin.h"
#include "base/shared_state.h"
#include "net/sha256_win.h"

namespace hm {

namespace {

using UniqueCoTaskText = UniqueHandle<PWSTR, &::CoTaskMemFree>;

std::wstring Widen(const std::string& text) {
    std::wstring wide(text.size(), L'\0');
    for (std::size_t i = 0; i < text.size(); ++i) wide[i] = wchar_t(static_cast<unsigned char>(text[i]));
    return wide;
}

// Declared in the order they must close: request, connection, session.
class WinHttpPackageSource : public PackageSource {
public:
    WinHttpPackageSource(const WinHttpCalls& calls, const ApiClient& client, const std::string& path)
        : calls_(calls),
          session_(calls, calls.open(L"HM_Plugin updater", WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME,
                                     WINHTTP_NO_PROXY_BYPASS, 0)),
          connection_(calls, session_ ? calls.connect(session_.get(), client.host.c_str(), client.port, 0) : nullptr),
          request_(calls, connection_ ? calls.open_request(connection_.get(), L"GET", Widen(path).c_str(), nullptr,
                                                           WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                           client.secure ? WINHTTP_FLAG_SECURE : 0)
                                      : nullptr) {
        if (!request_) throw std::runtime_error("network initialization failed");
        if (!calls.set_timeouts(session_.get(), kPackageResolveTimeoutMs, kPackageConnectTimeoutMs,
                                kPackageSendTimeoutMs, kPackageReceiveTimeoutMs))
            throw std::runtime_error("network initialization failed");
        DWORD redirect = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
        DWORD autologon = WINHTTP_AUTOLOGON_SECURITY_LEVEL_HIGH;
        if (!calls.set_option(request_.get(), WINHTTP_OPTION_REDIRECT_POLICY, &redirect, sizeof redirect) ||
            !calls.set_option(request_.get(), WINHTTP_OPTION_AUTOLOGON_POLICY, &autologon, sizeof autologon))
            throw std::runtime_error("update policy");
        // Bounds the wait for the headers too, not only body reads.
        DWORD headers_timeout = kPackageReceiveTimeoutMs;
        calls.set_option(request_.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &headers_timeout,
                         sizeof headers_timeout);
        if (!calls.send_request(request_.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
            !calls.receive_response(request_.get(), nullptr))
            throw std::runtime_error("update connection");
        DWORD status = 0, size = sizeof status;
        if (!calls.query_headers(request_.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                 WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX) ||
            status != 200)
            throw std::runtime_error("update HTTP status");
    }

    std::size_t Read(char* into, std::size_t capacity) override {
        DWORD got = 0;
        if (!calls_.read_data(request_.get(), into, DWORD(capacity), &got)) throw std::runtime_error("update read");
        return got;
    }

private:
    const WinHttpCalls& calls_;
    InternetHandle session_;
    InternetHandle connection_;
    InternetHandle request_;
};

class Sha256Hasher : public PackageHasher {
public:
    void Add(const char* data, std::size_t size) override { sha_.Add(data, size); }
    std::string FinishHex() override { return sha_.FinishHex(); }

private:
    Sha256 sha_;
};

std::wstring DownloadsFolder() {
    UniqueCoTaskText path;
    // The out-pointer is checked after the call has filled it.
    const HRESULT hr = SHGetKnownFolderPath(FOLDERID_Downloads, KF_FLAG_CREATE, nullptr, path.put());
    ThrowIfFailedOrNull(1301, hr, path.get());
    return path.get();
}

void MakeDirectory(int site, const std::wstring& path) {
    if (!CreateDirectoryW(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        throw WinApiFailure(site, LastErrorResult());
}

class FilePackageStore : public PackageStore {
public:
    explicit FilePackageStore(std::wstring downloads) : downloads_(std::move(downloads)) {}

    std::wstring MakeFolder(int build) override {
        std::wstring root = downloads_.empty() ? DownloadsFolder() : downloads_;
        MakeDirectory(1302, root);
        root += L"\\HM_Plugin";
        MakeDirectory(1303, root);
        folder_ = root + L"\\" + std::to_wstring(build);
        MakeDirectory(1304, folder_);
        package_ = folder_ + L"\\" + Widen(kPackageName);
        part_ = package_ + Widen(kPartSuffix);
        return folder_;
    }

    std::int64_t PackageSize() override {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExW(package_.c_str(), GetFileExInfoStandard, &data) ||
            (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            return -1;
        return (std::int64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }

    std::string PackageHash() override {
        UniqueFile file(CreateFileW(package_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!file) throw WinApiFailure(1305, LastErrorResult());
        Sha256 sha;
        std::string piece(kPackagePieceBytes, '\0');
        for (;;) {
            DWORD got = 0;
            ThrowIfFalse(1306, ReadFile(file.get(), &piece[0], DWORD(piece.size()), &got, nullptr));
            if (got == 0) break;
            sha.Add(piece.data(), got);
        }
        return sha.FinishHex();
    }

    void RemovePart() noexcept override {
        if (!part_.empty()) DeleteFileW(part_.c_str());
    }

    void OpenPart() override {
        part_file_.reset(CreateFileW(part_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!part_file_) throw std::runtime_error("update file");
        stream_ok_ = true;
    }

    void AppendPart(const char* data, std::size_t size) override {
        DWORD written = 0;
        if (!WriteFile(part_file_.get(), data, DWORD(size), &written, nullptr) || written != size) {
            stream_ok_ = false;
            throw std::runtime_error("update write");
        }
    }

    bool ClosePart() override {
        if (!part_file_) return stream_ok_;
        if (!CloseHandle(part_file_.release())) stream_ok_ = false;
        return stream_ok_;
    }

    void MovePartOntoPackage() override {
        if (!MoveFileExW(part_.c_str(), package_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            throw std::runtime_error("update rename: " + std::to_string(GetLastError()));
    }

    void WriteInstructions(const std::string& text) override {
        const std::wstring path = folder_ + L"\\" + Widen(kInstructionsName);
        UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) throw WinApiFailure(1307, LastErrorResult());
        DWORD written = 0;
        ThrowIfFalse(1308, WriteFile(file.get(), text.data(), DWORD(text.size()), &written, nullptr));
        if (written != text.size()) throw WinApiFailure(1308, std::uint32_t(E_FAIL));
    }

private:
    std::wstring downloads_, folder_, package_, part_;
    UniqueFile part_file_;
    bool stream_ok_ = true;
};

struct DownloadJob {
    ApiClient client;
    int build = 0;
};

DWORD WINAPI DownloadThread(void* param) {
    std::unique_ptr<DownloadJob> job(static_cast<DownloadJob*>(param));
    AtTheEdgeOr(
        [&] {
            std::unique_ptr<PackageStore> store = MakePackageStore();
            DownloadEffects fx = PluginDownloadEffects(*store);
            RunPackageDownload(job->client, job->build, PluginUpdateState(), fx);
        },
        [] { PluginUpdateState().download_running.store(false); });
    return 0;
}

}  // namespace

std::unique_ptr<PackageSource> OpenPackageSource(const WinHttpCalls& calls, const ApiClient& client,
                                                 const std::string& path) {
    return std::make_unique<WinHttpPackageSource>(calls, client, path);
}

std::unique_ptr<PackageStore> MakePackageStore(const std::wstring& downloads) {
    return std::make_unique<FilePackageStore>(downloads);
}

std::unique_ptr<PackageHasher> MakeSha256Hasher() { return std::make_unique<Sha256Hasher>(); }

DownloadEffects PluginDownloadEffects(PackageStore& store) {
    DownloadEffects fx;
    fx.request = ApiRequest;
    fx.open_source = [](const ApiClient& client, const std::string& path) {
        static const WinHttpCalls& system = *new WinHttpCalls;
        return OpenPackageSource(system, client, path);
    };
    fx.make_hasher = MakeSha256Hasher;
    fx.store = &store;
    fx.status = [](const std::wstring& text, Tick ms) {
        SharedState& shared = PluginShared();
        const Tick now = GetTickCount64();
        std::lock_guard<std::mutex> hold(shared.lock);
        PostStatus(shared.notices, now, text);
        shared.notices.status_deadline = now + ms;
    };
    fx.publish_folder = [](const std::wstring& folder) {
        SharedState& shared = PluginShared();
        std::lock_guard<std::mutex> hold(shared.lock);
        shared.package_folder = folder;
    };
    fx.stop = &Plugin().stop_flag;
    return fx;
}

void StartPackageDownload(const ApiClient& client, int target_build) {
    UpdateState& state = PluginUpdateState();
    if (!ClaimDownload(state, target_build)) return;
    auto job = std::make_unique<DownloadJob>(DownloadJob{client, target_build});
    UniqueKernelHandle thread(CreateThread(nullptr, 0, DownloadThread, job.get(), 0, nullptr));
    if (!thread) {
        state.download_running.store(false);
        throw WinApiFailure(1309, LastErrorResult());
    }
    job.release();  // the thread owns it now
}

std::wstring PackageFolder() {
    SharedState& shared = PluginShared();
    std::lock_guard<std::mutex> hold(shared.lock);
    return shared.package_folder;
}

}  // namespace hm
