#include "photos/photo_rules.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace hm {

bool RequestPhoto(PhotoRequestState& state, int shot, Tick now, int& last_seen) {
    if (shot <= last_seen) return false;
    ArmPhotoRequest(state, shot, now + kPhotoRequestWindowMs);
    last_seen = shot;
    return true;
}

TakenPhotoFrame TakePhotoFrame(SharedState& shared) {
    TakenPhotoFrame taken;
    std::lock_guard<std::mutex> hold(shared.lock);
    if (shared.photo_frame_request == 0) return taken;
    taken.request = std::exchange(shared.photo_frame_request, 0);
    taken.picture = std::move(shared.photo_frame);
    shared.photo_frame.reset();
    return taken;
}

PictureSize JpegTargetSize(std::uint32_t width, std::uint32_t height) {
    if (width <= kPhotoMaxWidth && height <= kPhotoMaxHeight) return {width, height};
    const std::uint64_t w = width, h = height;
    PictureSize out;
    // 1280 / w <= 720 / h, compared without division so equal ratios stay exact.
    if (kPhotoMaxWidth * h <= kPhotoMaxHeight * w) {
        out.width = kPhotoMaxWidth;
        out.height = std::uint32_t(h * kPhotoMaxWidth / w);
    } else {
        out.width = std::uint32_t(w * kPhotoMaxHeight / h);
        out.height = kPhotoMaxHeight;
    }
    out.width = std::max<std::uint32_t>(out.width, 1);
    out.height = std::max<std::uint32_t>(out.height, 1);
    return out;
}

std::wstring PhotoFileName(Tick tick, int shot) {
    return std::to_wstring(tick) + L"-" + std::to_wstring(shot) + L".jpg";
}

std::wstring StorePhoto(const CreatePhotoFileFn& create, Tick tick, int shot, const std::string& bytes) {
    // A bound, so a folder that somehow reports every name as taken cannot spin the worker.
    constexpr int kNameTries = 1000;
    try {
        for (int i = 0; i < kNameTries; ++i) {
            const std::wstring name = PhotoFileName(tick + Tick(i), shot);
            if (create(name, bytes)) return name;
        }
    } catch (const std::exception&) {
    }
    throw std::runtime_error("local photo write failed");
}

ShownPhotoLayout LayOutShownPhoto(float vw, float vh, std::uint32_t pw, std::uint32_t ph) {
    ShownPhotoLayout l;
    l.backdrop = {vw * 178 / 640, vh * 106 / 480, vw * 267 / 640, vh * 275 / 480};
    // The close mark's vertical fraction is of 448, unlike the backdrop's 480: both as drawn in
    // the game, so the mark sits on the backdrop's top edge at 4:3.
    l.close_mark = {vw * 426 / 640, vh * 101 / 448, vw * 17 / 640, vh * 17 / 448};
    if (pw > 0 && ph > 0) {
        const float scale = std::min(l.backdrop.width / float(pw), l.backdrop.height / float(ph));
        const float w = float(pw) * scale, h = float(ph) * scale;
        l.photo = {l.backdrop.x + (l.backdrop.width - w) / 2, l.backdrop.y + (l.backdrop.height - h) / 2, w, h};
    }
    return l;
}

PixelsRef MakeCloseMark() {
    PixelsRef mark = MakePixels(32, 32);
    for (std::uint32_t y = 0; y < 32; ++y) {
        for (std::uint32_t x = 0; x < 32; ++x) {
            const bool inner = x >= 8 && x < 24 && y >= 8 && y < 24;
            const bool cross = inner && (x - 8 == y - 8 || x - 8 == 15 - (y - 8));
            const std::uint32_t grey = cross ? 245 : 45;
            mark->set(x, y, 0xFF000000u | grey << 16 | grey << 8 | grey);
        }
    }
    return mark;
}

ShownPhotoSync::Poll ShownPhotoSync::Refresh(SharedState& shared, PixelsRef& picture) {
    std::unique_lock<std::mutex> hold(shared.lock, std::try_to_lock);
    if (!hold.owns_lock()) return Poll::Busy;
    if (seen_ && shared.shown_photo_version == version_) return Poll::Unchanged;
    picture = shared.shown_photo;  // shares the picture; the worker replaces, never edits it
    version_ = shared.shown_photo_version;
    hold.unlock();
    seen_ = true;
    has_photo_ = picture && !picture->empty();
    return Poll::Changed;
}

}  // namespace hm
