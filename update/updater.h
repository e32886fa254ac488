// Updater decisions: version texts, the periodic release check, the Ctrl+F9 dialog's content,
// who may start a download, the package path rule and the download thread's steps over seams
// (byte source, package store, hasher), so native tests script every failure. The Windows shell
// (update/package_download_win.h) fills the seams with WinHTTP, files and CryptoAPI.
//
// Threads: ReleaseCheck and BuildUpdateDialog run on the worker; RunPackageDownload runs on the
// download thread and shares only UpdateState, the status banner and PackageFolder.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "base/ticks.h"
#include "net/api_formats.h"
#include "net/api_types.h"

namespace hm {

constexpr Tick kReleaseRetryMs = 60000;
constexpr Tick kReleasePeriodMs = 300000;
constexpr Tick kUpdateStatusMs = 20000;
constexpr std::size_t kPackagePieceBytes = 65536;

constexpr const char* kPackageName = "HM_Plugin-client.zip";
constexpr const char* kPartSuffix = ".part";
constexpr const char* kInstructionsName = "INSTALACE.txt";

// Shared between the worker and the download thread.
struct UpdateState {
    std::atomic<bool> download_running{false};   // DownloadRunning
    std::atomic<std::int32_t> downloaded_build{0};  // DownloadedBuild: verified in this run
};

// The plugin's one instance.
UpdateState& PluginUpdateState();

// StatusBanner text for a release; build 0 gives the "loaded" text.
std::wstring VersionText(const ReleaseInfo& release);

// Worker-owned part of the release check.
struct ReleaseCheckRecord {
    Tick deadline = 0;          // 0: due at once (every new connection)
    int last_announced = 0;     // build whose version text was shown
};

struct ReleaseCheckEffects {
    ApiRequestFn request;
    std::function<bool()> auto_download;               // AutoDownloadUpdates, read afresh
    std::function<void(int build)> start_download;     // StartDownload for that build
    std::function<void(const std::wstring& text, Tick ms)> status;  // StatusBanner
};

void ResetReleaseCheck(ReleaseCheckRecord& record);
// Throws "release unavailable" (and the release body's texts): a failed state step.
void ReleaseCheck(ReleaseCheckRecord& record, const ApiClient& client, Tick now, ReleaseCheckEffects& fx);

// Sets DownloadRunning when no download runs and the target is newer than what was verified;
// true when the caller must start the thread.
bool ClaimDownload(UpdateState& state, int target_build);

// The Ctrl+F9 dialog (identifier -2) before conversion to code page 1250.
struct UpdateDialogContent {
    std::wstring title, body, first_button, second_button;
    int download_build = 0;  // build behind the first button; 0 when nothing was fetched
};

// package_folder: PackageFolder (empty until a package was verified); cockpit_status: the
// cockpit camera's status line.
UpdateDialogContent BuildUpdateDialog(const std::wstring& package_folder, const ApiClient& client,
                                      const ApiRequestFn& request, const std::wstring& cockpit_status);

// Absolute path of the package on the API host.
std::string PackagePath(const ApiClient& client);

// INSTALACE.txt with Windows line ends.
std::string InstructionsText();

// ---- download seams --------------------------------------------------------------------------

// The package body as it arrives. Read returns 0 at the end; throws "update read".
class PackageSource {
public:
    virtual ~PackageSource() = default;
    virtual std::size_t Read(char* into, std::size_t capacity) = 0;
};

// SHA-256 over pieces; Add throws "hash data".
class PackageHasher {
public:
    virtual ~PackageHasher() = default;
    virtual void Add(const char* data, std::size_t size) = 0;
    virtual std::string FinishHex() = 0;  // 64 lowercase hex
};

// The package folder and its files: package, package + ".part", INSTALACE.txt.
class PackageStore {
public:
    virtual ~PackageStore() = default;
    // Downloads + "HM_Plugin" + build, created when missing; returns the folder. Throws.
    virtual std::wstring MakeFolder(int build) = 0;
    // Size of an existing package; -1 when there is none.
    virtual std::int64_t PackageSize() = 0;
    // SHA-256 of the existing package, read in 64 KiB pieces. Throws.
    virtual std::string PackageHash() = 0;
    virtual void RemovePart() noexcept = 0;            // errors ignored
    virtual void OpenPart() = 0;                      // binary, truncating; throws "update file"
    virtual void AppendPart(const char* data, std::size_t size) = 0;  // throws "update write"
    virtual bool ClosePart() = 0;                      // false when the stream failed
    virtual void MovePartOntoPackage() = 0;           // throws "update rename: " + error
    virtual void WriteInstructions(const std::string& text) = 0;  // throws
};

struct DownloadEffects {
    ApiRequestFn request;  // GET "/client/update"
    // Steps 1-4 of the package download; throws "network initialization failed",
    // "update policy", "update connection", "update HTTP status".
    std::function<std::unique_ptr<PackageSource>(const ApiClient& client, const std::string& path)> open_source;
    std::function<std::unique_ptr<PackageHasher>()> make_hasher;
    PackageStore* store = nullptr;
    std::function<void(const std::wstring& text, Tick ms)> status;
    std::function<void(const std::wstring& folder)> publish_folder;  // PackageFolder, under SharedStateLock
    const std::atomic<bool>* stop = nullptr;                           // StopFlag
    std::uint64_t ceiling = kUpdatePackageMax;
};

// Receives the package into ".part", verifies size and hash and moves it onto the package name;
// the ".part" is gone on every failure. Throws the reason text.
void ReceivePackage(PackageSource& source, const UpdateInfo& info, DownloadEffects& fx);

// The download thread's ten steps for a target build: "" on success, else the internal reason
// (the player sees only the one failure text). Clears DownloadRunning at the end.
std::string RunPackageDownload(const ApiClient& client, int target_build, UpdateState& state, DownloadEffects& fx);

}  // namespace hm
