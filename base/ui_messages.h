// The messages of the UiWindow, in one place: every thread that posts to the UI thread and the
// window procedure that receives them agree on these numbers and records. Every payload is a heap
// record owned by the message: the receiver frees it, the sender frees it when posting fails, and
// the window frees what is still queued when it ends.
#pragma once

#include <cstdint>

#include "base/pixels.h"

namespace hm {

namespace uimsg {
constexpr std::uint32_t kInputEvent = 0x8014;    // lParam: ForwardedInput (keyboard, characters)
constexpr std::uint32_t kMouseEvent = 0x8015;    // lParam: ForwardedInput, canvas point in lParam
constexpr std::uint32_t kCloseEditor = 0x8016;   // no payload
constexpr std::uint32_t kCloseEditor2 = 0x8017;  // no payload, same meaning
constexpr std::uint32_t kNewState = 0x8018;      // lParam: a heap EditorState
constexpr std::uint32_t kPicture = 0x8019;       // lParam: PictureRecord
constexpr std::uint32_t kFirst = kInputEvent;
constexpr std::uint32_t kLast = kPicture;
}  // namespace uimsg

// A keyboard or mouse message of the game window, with the key state taken when it was made.
struct ForwardedInput {
    std::uint32_t message;
    std::uint32_t wParam;
    std::uint32_t lParam;  // mouse: canvas point, y in the high 16 bits and x in the low 16
    std::uint8_t key_state[256];
};
static_assert(sizeof(ForwardedInput) == 268, "record layout is shared with the UI thread");

// A picture of the game scene for the screen that asked for it.
struct PictureRecord {
    int request_id;
    PixelsRef image;
};

}  // namespace hm
