#include "update/updater.h"

#include <stdexcept>
#include <vector>

namespace hm {

namespace {

// Versions are ASCII by the release body's rules; folders come wide already.
std::wstring Widen(const std::string& text) {
    std::wstring wide(text.size(), L'\0');
    for (std::size_t i = 0; i < text.size(); ++i) wide[i] = wchar_t(static_cast<unsigned char>(text[i]));
    return wide;
}

const wchar_t kFailureText[] =
    L"HM Plugin: aktualizaci se nepodarilo stahnout nebo overit.\nCtrl+F9: rucni stazeni. Hra a plugin zustavaji beze zmen.";

void Status(DownloadEffects& fx, const std::wstring& text) {
    if (fx.status) fx.status(text, kUpdateStatusMs);
}

}  // namespace

UpdateState& PluginUpdateState() {
    // Never destroyed: the download thread may still run when static destructors would.
    static UpdateState& state = *new UpdateState;
    return state;
}

std::wstring VersionText(const ReleaseInfo& release) {
    const std::wstring mine = Widen(kPluginVersion);
    if (release.build <= kPluginBuild) return L"HM Plugin v" + mine + L" BETA nacten.";
    return L"Mate HM Plugin " + mine + L" BETA. Aktualni verze je " + Widen(release.version) +
           L" BETA.\nCtrl+F9: stazeni aktualizace (instalovat pri vypnute hre).";
}

void ResetReleaseCheck(ReleaseCheckRecord& record) {
    record.deadline = 0;
    record.last_announced = 0;
}

void ReleaseCheck(ReleaseCheckRecord& record, const ApiClient& client, Tick now, ReleaseCheckEffects& fx) {
    if (now < record.deadline) return;
    record.deadline = now + kReleaseRetryMs;
    const ApiResponse answer = fx.request(client, "GET", "/client/release", "", "", 0);
    if (answer.status != 200) throw std::runtime_error("release unavailable");
    const ReleaseInfo release = ParseReleaseBody(answer.body);
    record.deadline = now + kReleasePeriodMs;
    if (release.build <= kPluginBuild) return;
    if (!fx.auto_download || fx.auto_download()) {
        if (fx.start_download) fx.start_download(release.build);
    }
    if (release.build != record.last_announced) {
        record.last_announced = release.build;
        if (fx.status) fx.status(VersionText(release), kUpdateStatusMs);
    }
}

bool ClaimDownload(UpdateState& state, int target_build) {
    if (state.downloaded_build.load() >= target_build) return false;
    bool idle = false;
    return state.download_running.compare_exchange_strong(idle, true);
}

UpdateDialogContent BuildUpdateDialog(const std::wstring& package_folder, const ApiClient& client,
                                      const ApiRequestFn& request, const std::wstring& cockpit_status) {
    UpdateDialogContent d;
    d.title = L"HM Plugin – aktualizace";
    d.second_button = L"Zpět";
    d.body = L"Nainstalováno: HM Plugin " + Widen(kPluginVersion) + L" BETA\n\n";
    if (!package_folder.empty()) {
        d.body += L"Aktualizace je stažena a ověřena.\nPřed instalací vypni hru.\n\nSložka s balíčkem:\n" + package_folder;
        d.first_button = L"Rozumím";
    } else {
        try {
            const ApiResponse answer = request(client, "GET", "/client/release", "", "", 0);
            if (answer.status != 200) throw std::runtime_error("release");
            const ReleaseInfo release = ParseReleaseBody(answer.body);
            d.body += L"Aktuální verze: " + Widen(release.version) + L" BETA\n\n";
            d.download_build = release.build;
            if (release.build <= kPluginBuild) {
                d.first_button = L"Zavrit";
                d.body += L"Máš aktuální verzi pluginu.";
            } else {
                d.first_button = L"Stahnout aktualizaci";
                d.body += L"Balíček lze stáhnout na pozadí. Instaluj jej až po vypnutí hry.";
            }
        } catch (const std::exception&) {
            d.body = L"Informace o aktualizaci nejsou dostupné.";
            d.first_button = L"Zavrit";
            d.download_build = 0;
        }
    }
    d.body += L"\n\n" + cockpit_status;
    return d;
}

std::string PackagePath(const ApiClient& client) {
    if (client.base_path == Widen(kTestBasePath)) return "/downloads/HM_Plugin-test-client.zip";
    return "/downloads/HM_Plugin-client.zip";
}

std::string InstructionsText() {
    return "1. Vypni GTA.\r\n2. Rozbal cely HM_Plugin-client.zip do nove slozky.\r\n"
           "3. Spust INSTALOVAT.cmd a vyber slozku s gta_sa.exe.\r\n"
           "Kompletni balik umoznuje preskocit meziverze.\r\n";
}

void ReceivePackage(PackageSource& source, const UpdateInfo& info, DownloadEffects& fx) {
    PackageStore& store = *fx.store;
    try {
        store.OpenPart();
        std::unique_ptr<PackageHasher> hasher = fx.make_hasher();
        std::vector<char> piece(kPackagePieceBytes);
        std::uint64_t total = 0;
        for (;;) {
            if (fx.stop && fx.stop->load()) throw std::runtime_error("update stopped");
            const std::size_t got = source.Read(piece.data(), piece.size());
            if (got == 0) break;
            total += got;
            if (total > info.size || total > fx.ceiling) throw std::runtime_error("update size");
            hasher->Add(piece.data(), got);
            store.AppendPart(piece.data(), got);
        }
        const bool stream_ok = store.ClosePart();
        if (!stream_ok || total != info.size || hasher->FinishHex() != info.sha256)
            throw std::runtime_error("update verification");
        store.MovePartOntoPackage();
    } catch (...) {
        store.ClosePart();
        store.RemovePart();
        throw;
    }
}

std::string RunPackageDownload(const ApiClient& client, int target_build, UpdateState& state, DownloadEffects& fx) {
    std::string reason;
    try {
        const ApiResponse answer = fx.request(client, "GET", "/client/update", "", "", 0);
        if (answer.status != 200) throw std::runtime_error("update unavailable");
        const UpdateInfo info = ParseUpdateBody(answer.body);
        if (info.release.build <= kPluginBuild || info.release.build != target_build)
            throw std::runtime_error("release changed");
        const std::wstring folder = fx.store->MakeFolder(info.release.build);
        // A download cut short by leaving the game cannot clean up (Windows ends this thread
        // before the library's detach runs), so its ".part" is removed here.
        fx.store->RemovePart();
        const std::int64_t existing = fx.store->PackageSize();
        const bool complete = existing >= 0 && std::uint64_t(existing) == info.size &&
                              fx.store->PackageHash() == info.sha256;
        const std::wstring version = Widen(info.release.version);
        if (!complete) {
            Status(fx, L"HM Plugin: stahuji aktualizaci " + version + L" BETA na pozadi. Hru muzes dal pouzivat.");
            std::unique_ptr<PackageSource> source = fx.open_source(client, PackagePath(client));
            ReceivePackage(*source, info, fx);
        }
        fx.store->WriteInstructions(InstructionsText());
        if (fx.publish_folder) fx.publish_folder(folder);
        state.downloaded_build.store(info.release.build);
        Status(fx, L"HM Plugin " + version +
                       L" BETA stazen a overen. Ctrl+F9: otevrit slozku.\nNejdrive vypni hru, pak rozbal ZIP a spust "
                       L"INSTALOVAT.cmd.");
    } catch (const std::exception& e) {
        reason = e.what();
        if (reason.empty()) reason = "update failed";
    } catch (...) {
        reason = "update failed";
    }
    if (!reason.empty()) {
        try {
            Status(fx, kFailureText);
        } catch (...) {
        }
    }
    state.download_running.store(false);
    return reason;
}

}  // namespace hm
