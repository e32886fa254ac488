// The capture pass (every 15 ms): push-to-talk decisions over sampled inputs and the microphone
// behind MicrophonePort, so tests drive key and focus sequences without a device.
#pragma once

#include <cstddef>
#include <cstdint>

#include "voice/voice_state.h"

namespace hm {

constexpr int kCaptureBuffers = 8;
constexpr std::size_t kCaptureBufferSamples = 640;  // 1280 bytes, 40 ms

// The waveIn side: 8 buffers handed to the device, collected in order.
class MicrophonePort {
public:
    virtual ~MicrophonePort() = default;
    // waveInOpen, prepare and add all buffers, waveInStart; on any failure everything is undone.
    virtual bool Open() = 0;
    virtual void Close() = 0;  // stop, reset, unprepare, close; next index back to 0
    virtual bool IsOpen() const = 0;
    // Buffer `index` when WHDR_DONE is set: its samples and recorded byte count; else null.
    virtual const std::int16_t* Done(int index, std::size_t& bytes_recorded) = 0;
    virtual bool Requeue(int index) = 0;  // recorded count 0, waveInAddBuffer
};

// What the pass samples at its start.
struct CaptureInputs {
    bool game_in_front = false;  // foreground window belongs to the game
    bool ui_open = false;        // a plugin screen (UiWindow) is open
    bool photo_visible = false;
    bool chat_free = false;      // SA-MP chat input and dialog closed (false without samp.dll)
    bool ctrl = false;
    bool m = false;
    bool bang = false;           // "!"
    bool plus = false;           // "+" or keypad Add
    bool minus = false;          // "-" or keypad Subtract
};

// Private to the capture thread.
struct CaptureRecord {
    int previous_channel = -1;
    bool ctrl_m_held = false;   // Ctrl+M acts once per press
    bool key_down[4] = {};      // channel keys 0..3 at the previous pass
    bool talking = false;       // push-to-talk transmission under way
    bool open_failed = false;   // no further open until the key is released (or the call ends)
    int next_buffer = 0;
};

// Notices the pass asks for; shown by the caller after the lock is released.
struct CaptureNotices {
    const wchar_t* toggle = nullptr;
    const wchar_t* microphone = nullptr;
};

extern const wchar_t* const kVoiceOnNotice;
extern const wchar_t* const kVoiceOffNotice;
extern const wchar_t* const kMicrophoneNotice;

// One pass without its sleep.
CaptureNotices CapturePass(CaptureRecord& record, VoiceState& state, MicrophonePort& mic, const CaptureInputs& in);

// Thread end: capturing false, microphone closed.
void EndCapture(CaptureRecord& record, VoiceState& state, MicrophonePort& mic);

}  // namespace hm
