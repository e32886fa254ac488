// SharedStateLock and what it guards: the player identity, notices, bind code, photo slots and
// package folder text. Hold the lock only to copy in or out; never hold another lock with it.
// The render thread only try-locks it and keeps last frame's copy when it is busy.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "base/pixels.h"
#include "base/ticks.h"

namespace hm {

constexpr Tick kNeverExpires = ~Tick(0);

// The player's nick name (code page 1250, 3..24 bytes, or empty when unknown) and game server port.
struct PlayerIdentity {
    std::string name;
    std::uint16_t port = 27017;
};

// The notice banner's state. Written by ShowNotice/ShowStatus (any thread); read by the render
// thread once a frame.
struct NoticeState {
    std::wstring current;            // current notice text
    Tick display_deadline = 0;       // kNeverExpires for a sticky notice
    std::wstring last_accepted;      // for the 60 s repeat suppression
    Tick repeat_deadline = 0;
    std::wstring status;             // StatusBanner, second banner line
    Tick status_deadline = 0;
    std::wstring shown;              // text the banner texture currently shows (render thread)
};

struct SharedState {
    std::mutex lock;  // SharedStateLock
    PlayerIdentity identity;
    NoticeState notices;
    std::string bind_code;  // pairing code waiting to be sent as a chat command
    // PhotoFrame: a served photo waiting for upload and the request id it answers. Written:
    // clean-frame hook (render thread). Taken: worker (photo upload).
    PixelsRef photo_frame;
    int photo_frame_request = 0;
    // ShownPhoto: the server's photo on display (null: none) and its version, bumped at every
    // change. Written: worker (photo display, EndSession). Read: render thread (try-lock).
    PixelsRef shown_photo;
    int shown_photo_version = 0;
    // PackageFolder: folder of the package verified in this run, empty until then. Written: the
    // download thread. Read: the worker (Ctrl+F9 dialog).
    std::wstring package_folder;
};

// The plugin's one instance.
SharedState& PluginShared();

}  // namespace hm
