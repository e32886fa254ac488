#include "core/photo_upload.h"

#include <stdexcept>

#include "core/session.h"

namespace hm {
namespace {

void SetVisible(PhotoEffects& fx, bool on) {
    if (fx.plugin) fx.plugin->photo_visible.store(on);
}

bool IsConnected(const PhotoEffects& fx) { return fx.plugin && fx.plugin->connected.load(); }

// Replaces ShownPhoto (null: none) and tells the render thread through the version.
void SetShownPhoto(PhotoEffects& fx, PixelsRef picture) {
    if (!fx.shared) return;
    PixelsRef old;  // freed outside the lock
    std::lock_guard<std::mutex> hold(fx.shared->lock);
    old = std::move(fx.shared->shown_photo);
    fx.shared->shown_photo = std::move(picture);
    ++fx.shared->shown_photo_version;
}

void Notice(PhotoEffects& fx, const std::wstring& text) {
    if (fx.notice) fx.notice(text, false);
}

}  // namespace

const wchar_t kUploadRefusedNoticeHead[] = L"HM Plugin: fotografie zustala pouze lokalne; server odmitl upload (";

void PhotoSessionReset(PhotoRecord& record) { record = PhotoRecord(); }

void PhotoNone(PhotoRecord& record, PhotoEffects& fx) {
    SetVisible(fx, false);
    record.shown_id = 0;
    SetShownPhoto(fx, nullptr);
}

void PhotoState(PhotoRecord& record, Tick now, const StateSnapshot& state, const std::string& token,
                PhotoEffects& fx) {
    if (fx.photo_request) RequestPhoto(*fx.photo_request, state.photo_request, now, record.highest_request);

    // Id 0 was handled by PhotoNone earlier in the same answer; the range check refuses negatives.
    if (state.shown_photo_id <= 0) return;
    const bool keep_alive = state.shown_photo_id == record.shown_id && state.shown_photo_revision == record.shown_revision;
    std::string path = "/photo/" + std::to_string(state.shown_photo_id);
    if (keep_alive) {
        const bool visible = fx.plugin && fx.plugin->photo_visible.load();
        if (!visible || (record.photo_requested && now - record.last_photo_request < kPhotoKeepAliveMs)) return;
        path += "/access";
    }
    record.last_photo_request = now;
    record.photo_requested = true;
    const ApiResponse answer = fx.request(fx.client, "GET", path, token, std::string(), 0);
    if (answer.status == 200) {
        if (keep_alive) return;
        PixelsRef picture = fx.decode(answer.body);
        SetShownPhoto(fx, std::move(picture));
        SetVisible(fx, true);
        record.shown_id = state.shown_photo_id;
        record.shown_revision = state.shown_photo_revision;
        return;
    }
    if (answer.status == 401 || answer.status == 403 || answer.status == 404) {
        SetVisible(fx, false);
        SetShownPhoto(fx, nullptr);
        record.shown_id = 0;
        return;
    }
    throw std::runtime_error("photo unavailable");
}

void PhotoUpload(PhotoRecord&, Tick now, const std::string& token, PhotoEffects& fx) {
    if (!fx.shared) return;
    TakenPhotoFrame frame = TakePhotoFrame(*fx.shared);
    if (frame.request == 0 || !frame.picture || frame.picture->empty()) return;
    if (!IsConnected(fx)) return;  // dropped: no local copy either
    const std::string jpeg = fx.encode(*frame.picture);
    frame.picture.reset();  // the frame's memory goes before the network wait
    fx.write_file(now, frame.request, jpeg);
    const ApiResponse answer =
        fx.request(fx.client, "POST", "/upload", token, jpeg, std::uint32_t(frame.request));
    if (answer.status == 201) {
        Notice(fx, std::wstring());
    } else {
        Notice(fx, kUploadRefusedNoticeHead + std::to_wstring(answer.status) + L").");
    }
}

void PhotoHide(PhotoEffects& fx) { SetVisible(fx, false); }

void ClearPhotos(PhotoEffects& fx) {
    if (fx.photo_request) fx.photo_request->request.store(0);
    SetVisible(fx, false);
    if (!fx.shared) return;
    PixelsRef frame, shown;  // freed outside the lock
    std::lock_guard<std::mutex> hold(fx.shared->lock);
    frame = std::move(fx.shared->photo_frame);
    fx.shared->photo_frame.reset();
    fx.shared->photo_frame_request = 0;
    shown = std::move(fx.shared->shown_photo);
    fx.shared->shown_photo.reset();
    ++fx.shared->shown_photo_version;
}

void InstallPhotoHooks(SessionHooks& hooks, PhotoRecord& record, PhotoEffects& fx) {
    hooks.photo_session_reset = [&record] { PhotoSessionReset(record); };
    hooks.photo_none = [&record, &fx] { PhotoNone(record, fx); };
    hooks.photo_state = [&record, &fx](Tick now, const StateSnapshot& state, const std::string& token) {
        PhotoState(record, now, state, token, fx);
    };
    hooks.photo_upload = [&record, &fx](Tick now, const std::string& token) { PhotoUpload(record, now, token, fx); };
    hooks.photo_hide = [&fx] { PhotoHide(fx); };
    hooks.clear_photos = [&fx] { ClearPhotos(fx); };
}

}  // namespace hm
