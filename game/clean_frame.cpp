#include "game/clean_frame.h"

#include <cstring>
#include <utility>

namespace hm {

bool CleanFrameHookAllowed(const MemoryReader& memory, GameAddress base, const RoutinePage& page) {
    if (base != 0x400000) return false;
    std::uint8_t mz[2];
    if (!GuardedRead(memory, base, mz, 2) || mz[0] != 'M' || mz[1] != 'Z') return false;
    std::uint32_t lfanew = 0, signature = 0, size_of_image = 0;
    if (!GuardedRead32(memory, base + 0x3C, lfanew) || lfanew > 0x10000) return false;
    if (!GuardedRead32(memory, base + lfanew, signature) || signature != 0x00004550) return false;
    // IMAGE_NT_HEADERS32: signature (4), file header (20), SizeOfImage at optional header + 56.
    if (!GuardedRead32(memory, base + lfanew + 24 + 56, size_of_image) || size_of_image < kMinGameImageSize)
        return false;
    if (!page.queried || page.state != 0x1000 || (page.protect & 0x101) != 0) return false;
    return GuardedEquals(memory, kTwoDPassRoutine, kTwoDPassBytes, sizeof kTwoDPassBytes);
}

bool CameraInViewfinder(const MemoryReader& memory) {
    std::uint8_t index = 0;
    if (!GuardedRead(memory, kActiveCameraIndex, &index, 1) || index >= 3) return false;
    std::uint16_t mode = 0;
    if (!GuardedRead(memory, kCameraModes + index * kCameraStride, &mode, 2)) return false;
    return mode == kViewfinderMode;
}

void CleanFrameKeeper::Run(const CleanFrameInputs& in, const MemoryReader& memory, Tick now, PhotoRequestState& photo,
                           const Capture& capture, std::mutex& lock, const std::atomic<bool>& connected,
                           PhotoSlot slot, RenderNoticeOutbox& outbox) {
    if (!in.device_seen || !in.connected || !in.game_in_front) {
        Drop();
        return;
    }
    try {
        const bool pending = photo.request.load() > 0;
        if (CameraInViewfinder(memory) && (pending || tick_ == 0 || now - tick_ >= kCleanFrameCadenceMs)) {
            frame_ = capture();
            tick_ = now;
            ++captures_;
        }
        const bool fresh = tick_ != 0 && now - tick_ <= kCleanFrameFreshMs;
        if (photo.request.load() > 0 && now < photo.deadline.load() && fresh) {
            // Take the request only once the slot can be written, so a busy lock costs a frame,
            // never the photo.
            std::unique_lock<std::mutex> guard(lock, std::try_to_lock);
            if (guard.owns_lock()) {
                PixelsRef replaced;  // an unsent photo of up to 64 MiB: freed after the lock
                const int id = photo.request.exchange(0);
                if (connected.load() && id > 0) {
                    replaced = std::exchange(slot.frame, frame_);
                    slot.request_id = id;
                }
                guard.unlock();
                replaced.reset();
                frame_.reset();  // the slot owns the picture now
                tick_ = 0;
            }
        }
        if (tick_ != 0 && now - tick_ > kCleanFrameFreshMs) Drop();
    } catch (...) {
        Drop();
        if (photo.request.exchange(0) > 0) outbox.Post(kCleanFrameFailureNotice);
    }
}

}  // namespace hm
