// The banner's text: what outranks the notices, and the render thread's lock-free reading of it.
#pragma once

#include <mutex>
#include <string>

#include "base/notices.h"

namespace hm {

// ---- Banner text ----------------------------------------------------------------------------
// What outranks the notices, read from atomics of other subsystems without any lock.
struct BannerInputs {
    bool photo_visible = false;    // PhotoVisible: a shown photo hides the banner
    bool voice_capturing = false;  // the microphone is open and transmitting
    int voice_channel = 0;         // status channel of the voice state
    bool work_radio = false;       // selects the text of channel 1
};

// The voice status line of a channel.
const wchar_t* VoiceStatusLine(int channel, bool work_radio);

// The notice-side choice at `now` (call under SharedStateLock): the status line while it lasts,
// unless the current notice is sticky; else the current notice while it lasts; else null.
// Empty texts never hide a lower line.
const std::wstring* NoticeBannerText(const NoticeState& state, Tick now);

// The whole choice: nothing while a photo is shown, the voice line while transmitting, else the
// notice-side text (empty: no banner).
std::wstring BannerText(const NoticeState& state, Tick now, const BannerInputs& in);

// Render-thread side of the banner text. The notice state is read with a try-lock: when another
// thread holds SharedStateLock the frame keeps the notice text it read last time.
struct BannerTextReader {
    std::wstring notice_text;  // last notice-side text read under the lock
    std::wstring text;         // the text this frame should show
    std::wstring shown;        // the text the banner texture shows; cleared when the device changes
};

// Render thread, once a frame. Returns true when `reader.text` differs from `reader.shown`
// (render the banner anew and then set shown = text). Allocates only when a text grows.
bool UpdateBannerText(BannerTextReader& reader, std::mutex& lock, const NoticeState& state, Tick now,
                      const BannerInputs& in);

}  // namespace hm
