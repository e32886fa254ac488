#include "core/session_win.h"

#include <windows.h>

#include <mutex>

#include "base/dialog_mailbox.h"
#include "base/media_session.h"
#include "computer/sketch_png_win.h"
#include "computer/ui_window_win.h"
#include "core/editor_steps.h"
#include "core/photo_upload.h"
#include "core/session_steps.h"
#include "game/input_win.h"
#include "net/api_request_win.h"
#include "net/device_store_win.h"
#include "base/notices.h"
#include "base/notices_win.h"
#include "photos/gallery.h"
#include "photos/jpeg_encoder_win.h"
#include "photos/photo_file_win.h"
#include "base/picture_decode_win.h"
#include "tv/tv_controller_win.h"
#include "core/worker_hooks.h"
#include "core/config.h"
#include "core/config_win.h"
#include "update/package_download_win.h"
#include "update/updater.h"

namespace hm {
namespace {

// The session's dialog requests, the last few kept for support. Never destroyed, like the other
// process-wide records.
struct DialogLog {
    std::mutex lock;
    std::vector<DialogRequest> requests;
    std::size_t total = 0;
};
constexpr std::size_t kKeptDialogRequests = 16;

DialogLog& Dialogs() {
    static DialogLog& log = *new DialogLog;
    return log;
}

// The photo hooks' state; the session's hooks point into it for the rest of the process.
struct PluginPhotos {
    PhotoRecord record;
    PhotoEffects fx;
};
PluginPhotos& Photos() {
    static PluginPhotos& photos = *new PluginPhotos;
    return photos;
}

void InstallPluginPhotos(WorkerContext& ctx, SessionHooks& hooks) {
    PluginPhotos& photos = Photos();
    photos.record = PhotoRecord();
    PhotoEffects& fx = photos.fx;
    fx.request = ApiRequest;
    fx.client = ctx.client;
    fx.encode = [&ctx](const Pixels& picture) {
        return EncodeJpeg(static_cast<IWICImagingFactory*>(ctx.imaging_factory), picture);
    };
    fx.decode = [&ctx](const std::string& bytes) {
        return DecodePicture(static_cast<IWICImagingFactory*>(ctx.imaging_factory),
                             reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    };
    fx.write_file = [&ctx](Tick now, int shot, const std::string& jpeg) {
        WritePhotoFile(ctx.photos_folder, now, shot, jpeg);
    };
    fx.notice = [](const std::wstring& text, bool sticky) { ShowNotice(text, sticky); };
    fx.plugin = &Plugin();
    fx.shared = &PluginShared();
    fx.photo_request = &PluginPhotoRequest();
    InstallPhotoHooks(hooks, photos.record, fx);
}

// The gallery step's timer and seams; the session's hook points into them for the rest of the process.
struct PluginGalleryStep {
    GalleryRecord record;
    GalleryEffects fx;
};
PluginGalleryStep& GallerySteps() {
    static PluginGalleryStep& step = *new PluginGalleryStep;
    return step;
}

void InstallPluginGallery(WorkerContext& ctx, SessionHooks& hooks) {
    PluginGalleryStep& step = GallerySteps();
    step.record = GalleryRecord();
    step.fx.request = ApiRequest;
    step.fx.decode = [&ctx](const std::string& bytes) {
        return DecodePicture(static_cast<IWICImagingFactory*>(ctx.imaging_factory),
                             reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    };
    step.fx.clock = [] { return Tick(GetTickCount64()); };
    // Keeps its own 1000 ms timer and swallows its own failures (they clear the gallery).
    hooks.gallery_refresh = [&ctx](Tick now, const std::string& token) {
        PluginGalleryStep& s = GallerySteps();
        GalleryStep(s.record, PluginGallery(), s.fx, ctx.client, now, token);
    };
}

void InstallPluginEditor(WorkerContext& ctx, SessionHooks& hooks) {
    EditorSyncEffects fx;
    fx.request = ApiRequest;
    fx.encode_sketch = [&ctx](const Pixels& sketch) {
        return EncodeSketchPng(static_cast<IWICImagingFactory*>(ctx.imaging_factory), sketch);
    };
    fx.decode_picture = [&ctx](const std::string& bytes) {
        return DecodePicture(static_cast<IWICImagingFactory*>(ctx.imaging_factory),
                             reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    };
    InstallEditorSync(std::move(fx));
    InstallEditorSessionHooks(hooks);
}

}  // namespace

std::size_t DialogRequestCount() {
    std::lock_guard<std::mutex> hold(Dialogs().lock);
    return Dialogs().total;
}

std::vector<DialogRequest> RecordedDialogRequests() {
    std::lock_guard<std::mutex> hold(Dialogs().lock);
    return Dialogs().requests;
}

void InstallPluginSession(WorkerContext& ctx) {
    SessionEffects fx;
    fx.request = ApiRequest;
    fx.notice = [](const std::wstring& text, bool sticky) { ShowNotice(text, sticky); };
    fx.status = [](const std::wstring& text, Tick ms) {
        SharedState& shared = PluginShared();
        const Tick now = GetTickCount64();
        std::lock_guard<std::mutex> hold(shared.lock);
        PostStatus(shared.notices, now, text);
        shared.notices.status_deadline = now + ms;
    };
    fx.replace_sticky_notice = [](const std::wstring& text, Tick ms) {
        SharedState& shared = PluginShared();
        const Tick now = GetTickCount64();
        std::lock_guard<std::mutex> hold(shared.lock);
        NoticeState& n = shared.notices;
        if (n.display_deadline != kNeverExpires) return;
        n.current = text;
        n.display_deadline = now + ms;
    };
    fx.show_dialog = [](const DialogRequest& request) {
        {
            // Kept for support: the last few requests and their count.
            DialogLog& log = Dialogs();
            std::lock_guard<std::mutex> hold(log.lock);
            if (log.requests.size() == kKeptDialogRequests) log.requests.erase(log.requests.begin());
            log.requests.push_back(request);
            ++log.total;
        }
        StartEditorUi(PluginEditorExchange(), DialogScreen(request));
    };
    fx.take_dialog_result = [] { return PluginDialogMailbox().Take(); };
    // Start-up already read device.bin (only with AutoConnect); the session adopts that.
    fx.load_device = [&ctx] { return ctx.remembered_device; };
    fx.save_device = [&ctx](const std::string& credential) {
        SaveRememberedDevice(ctx.device_file, ctx.config.api_url, credential);
    };
    fx.forget_device = [&ctx] { ForgetRememberedDevice(ctx.device_file); };
    fx.hooks.reset_release_check = [&ctx] { ResetReleaseCheck(ctx.release_check); };
    fx.hooks.release_check = [&ctx, status = fx.status](Tick now) {
        ReleaseCheckEffects rc;
        rc.request = ApiRequest;
        // Read afresh: the player may switch it off while the game runs.
        rc.auto_download = [] { return ReadAutoDownloadUpdates(ProfileIniReader(IniPathBeside(OwnModuleFileName()))); };
        rc.start_download = [&ctx](int build) { StartPackageDownload(ctx.client, build); };
        rc.status = status;
        ReleaseCheck(ctx.release_check, ctx.client, now, rc);
    };
    fx.hooks.start_update_download = [&ctx](int build) { StartPackageDownload(ctx.client, build); };
    fx.plugin = &Plugin();
    fx.shared = &PluginShared();
    fx.media = &PluginMediaSession();
    InstallPluginPhotos(ctx, fx.hooks);
    InstallPluginGallery(ctx, fx.hooks);
    InstallPluginEditorWindow();
    InstallPluginEditor(ctx, fx.hooks);
    // The TV state step keeps its own 700 ms / 15 s timer and handles its own failures.
    fx.hooks.tv_state = [&ctx](Tick now, const std::string& token) {
        RunTelevisionStateStep(ctx.client, ctx.config.television, now, token);
    };
    fx.hooks.stop_tv = [] { StopTelevision(); };
    SetTvHeartbeatStep(&WriteTelevisionHeartbeat);
    InstallSessionEffects(std::move(fx), IsGameInFront, [] { return PluginOverlay().editor_open.load(); });
}

}  // namespace hm
