// Photo request, display and upload: the photo hooks of the session's state step, portable over
// the request function, the JPEG encoder, the picture decoder and the photos-folder writer, so
// native tests drive them with a scripted server and a fake clock. Worker thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "base/pixels.h"
#include "base/plugin.h"
#include "base/shared_state.h"
#include "base/ticks.h"
#include "game/present_rules.h"
#include "net/api_formats.h"
#include "net/api_types.h"
#include "photos/photo_rules.h"

namespace hm {

struct SessionHooks;

constexpr Tick kPhotoKeepAliveMs = 2001;

struct PhotoEffects {
    ApiRequestFn request;
    ApiClient client;
    std::function<std::string(const Pixels& picture)> encode;       // EncodeJpeg; throws
    std::function<PixelsRef(const std::string& bytes)> decode;       // DecodePicture; throws
    // Writes the JPEG into PhotosFolder (made level by level); throws "local photo write failed".
    std::function<void(Tick now, int shot, const std::string& jpeg)> write_file;
    std::function<void(const std::wstring& text, bool sticky)> notice;  // ShowNotice
    PluginRecord* plugin = nullptr;         // Connected, PhotoVisible
    SharedState* shared = nullptr;          // PhotoFrame, ShownPhoto
    PhotoRequestState* photo_request = nullptr;
};

// Worker-owned photo state of one connection.
struct PhotoRecord {
    int highest_request = 0;   // highest photo request number seen
    int shown_id = 0;          // last fetched pair; 0: none
    int shown_revision = -1;
    Tick last_photo_request = 0;
    bool photo_requested = false;  // a display request was made in this connection
};

extern const wchar_t kUploadRefusedNoticeHead[];  // "HM Plugin: fotografie zustala pouze lokalne; ..."

void PhotoSessionReset(PhotoRecord& record);
// The OK answer names no photo (id 0): hide, forget the fetched id (the revision stays) and the
// picture.
void PhotoNone(PhotoRecord& record, PhotoEffects& fx);
// Request and display of one OK answer; throws "photo unavailable", decoder and transport errors.
void PhotoState(PhotoRecord& record, Tick now, const StateSnapshot& state, const std::string& token,
                PhotoEffects& fx);
// Takes the PhotoFrame slot; while Connected encodes, stores and uploads it. Throws the
// encoder's, the writer's and the transport's errors (a failed state step).
void PhotoUpload(PhotoRecord& record, Tick now, const std::string& token, PhotoEffects& fx);
// A failed state step.
void PhotoHide(PhotoEffects& fx);
// EndSession: the request, PhotoVisible, the queued frame and the shown picture go.
void ClearPhotos(PhotoEffects& fx);

// Fills the photo hooks of `hooks` with the steps above over `record` and `fx` (both outlive the
// hooks).
void InstallPhotoHooks(SessionHooks& hooks, PhotoRecord& record, PhotoEffects& fx);

}  // namespace hm
