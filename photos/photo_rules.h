// Photos, the portable half: the shot request and the PhotoFrame hand-off, the JPEG target size,
// the local file name, and where the shown photo, its backdrop and the close mark go on screen.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "base/pixels.h"
#include "base/shared_state.h"
#include "base/ticks.h"
#include "game/present_rules.h"

namespace hm {

// ---- Shot request and PhotoFrame --------------------------------------------------------------
constexpr Tick kPhotoRequestWindowMs = 1500;

// Worker: a shot number above `last_seen` arms PhotoRequest with now + 1500 ms and becomes the
// last seen. Returns true when it armed one.
bool RequestPhoto(PhotoRequestState& state, int shot, Tick now, int& last_seen);

struct TakenPhotoFrame {
    PixelsRef picture;
    int request = 0;  // 0: the slot was empty
};
// Worker: moves the PhotoFrame slot out under SharedStateLock (the picture is not copied).
TakenPhotoFrame TakePhotoFrame(SharedState& shared);

// ---- JPEG size --------------------------------------------------------------------------------
constexpr std::uint32_t kPhotoMaxWidth = 1280;
constexpr std::uint32_t kPhotoMaxHeight = 720;
constexpr std::uint64_t kMaxJpegBytes = 4194304;

struct PictureSize {
    std::uint32_t width = 0, height = 0;
};
// min(1, 1280 / width, 720 / height) applied in exact integer arithmetic (1920 x 1080 gives
// 1280 x 720), each side at least 1; never enlarged. Width and height must be at least 1.
PictureSize JpegTargetSize(std::uint32_t width, std::uint32_t height);

// ---- Local file -------------------------------------------------------------------------------
// "<tick>-<shot>.jpg"; a negative shot keeps its "-".
std::wstring PhotoFileName(Tick tick, int shot);

// Creates `name` in the photos folder with `bytes` unless that name is taken. Returns false for
// a taken name; throws std::runtime_error for any other failure and leaves no file behind.
using CreatePhotoFileFn = std::function<bool(const std::wstring& name, const std::string& bytes)>;
// Ticks restart at boot, so a name may belong to an older photo: never replace it, try the next
// tick instead. Returns the name written; throws "local photo write failed".
std::wstring StorePhoto(const CreatePhotoFileFn& create, Tick tick, int shot, const std::string& bytes);

// ---- Shown photo layout -----------------------------------------------------------------------
struct ScreenBox {
    float x = 0, y = 0, width = 0, height = 0;
};
struct ShownPhotoLayout {
    ScreenBox backdrop;    // VW*178/640, VH*106/480, VW*267/640 x VH*275/480
    ScreenBox photo;       // fitted into the backdrop, centred
    ScreenBox close_mark;  // VW*426/640, VH*101/448, VW*17/640 x VH*17/448
};
ShownPhotoLayout LayOutShownPhoto(float viewport_width, float viewport_height, std::uint32_t photo_width,
                                  std::uint32_t photo_height);

constexpr std::uint32_t kPhotoBackdropColour = 0xFF141414;
// The close mark: 32 x 32, grey 45, a light (245) diagonal cross in its middle 16 x 16, opaque.
PixelsRef MakeCloseMark();

// ---- Shown photo, render-thread side ----------------------------------------------------------
// Copies ShownPhoto only when ShownPhotoVersion moved, and only tries the lock: a busy lock keeps
// what was drawn last frame.
class ShownPhotoSync {
public:
    enum class Poll { Unchanged, Busy, Changed };
    // On Changed, `picture` holds the new ShownPhoto (null when there is none).
    Poll Refresh(SharedState& shared, PixelsRef& picture);
    // A new device: the next Refresh hands out the picture again.
    void Forget() { seen_ = false; has_photo_ = false; }
    bool has_photo() const { return has_photo_; }

private:
    bool seen_ = false;
    int version_ = 0;
    bool has_photo_ = false;
};

}  // namespace hm
