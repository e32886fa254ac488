// Notices and the status line: the one message channel to the player. Portable rules over a
// NoticeState; the plugin-wide ShowNotice/ShowStatus (notices_win.h) lock SharedStateLock and
// pass the real clock. The banner's text is chosen here too.
#pragma once

#include <mutex>
#include <string>

#include "core/shared_state.h"

namespace hm {

constexpr Tick kNoticeDisplayMs = 12000;
constexpr Tick kNoticeRepeatMs = 60000;
constexpr Tick kStatusDisplayMs = 20000;

// A non-sticky text equal to the last accepted one within 60 s is dropped; otherwise it becomes
// the current notice for 12 s (sticky: until replaced).
void PostNotice(NoticeState& state, Tick now, const std::wstring& text, bool sticky);

// Sets the status line for 20 s.
void PostStatus(NoticeState& state, Tick now, const std::wstring& text);

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
