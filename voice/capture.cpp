#include "voice/capture.h"

#include <algorithm>

#include "game/input_rules.h"

namespace hm {

const wchar_t* const kVoiceOnNotice = L"Hlasový chat zapnutý. Pro mluvení podrž M.";
const wchar_t* const kVoiceOffNotice = L"Hlasový chat vypnutý. Ctrl+M: zapnout.";
const wchar_t* const kMicrophoneNotice =
    L"Mikrofon nelze otevřít. Zkontroluj výchozí mikrofon a oprávnění Windows.";

namespace {

void CloseMicrophone(CaptureRecord& record, MicrophonePort& mic) {
    if (mic.IsOpen()) mic.Close();
    record.next_buffer = 0;
}

// False when a buffer could not be handed back: the microphone is then as good as failed.
bool Collect(CaptureRecord& record, VoiceState& state, MicrophonePort& mic) {
    for (int k = 0; k < kCaptureBuffers; ++k) {
        std::size_t bytes = 0;
        const std::int16_t* samples = mic.Done(record.next_buffer, bytes);
        if (!samples) break;
        if (bytes >= 2) AppendCaptured(state, samples, std::min(bytes / 2, kCaptureBufferSamples));
        if (!mic.Requeue(record.next_buffer)) return false;
        record.next_buffer = (record.next_buffer + 1) % kCaptureBuffers;
    }
    return true;
}

}  // namespace

CaptureNotices CapturePass(CaptureRecord& record, VoiceState& state, MicrophonePort& mic, const CaptureInputs& in) {
    CaptureNotices out;
    const bool focus = in.game_in_front && !in.ui_open && !in.photo_visible && in.chat_free && HoldsToken(state);

    const bool ctrl_m = in.ctrl && in.m;
    if (focus && ctrl_m && !record.ctrl_m_held) {
        const bool now_on = !state.enabled.load();
        state.enabled.store(now_on);
        out.toggle = now_on ? kVoiceOnNotice : kVoiceOffNotice;
    }
    record.ctrl_m_held = ctrl_m;

    const int mask = state.capability_mask.load();
    int channel = ChooseTalkChannel(in.bang, in.plus, in.minus, in.m);
    if (channel < 0 && (mask & (1 << 4))) channel = 4;
    const bool allowed = channel <= 0 || ((mask >> channel) & 1);
    const bool enabled = state.enabled.load();

    const bool down[4] = {in.m, in.bang, in.plus, in.minus};
    const bool pressed = channel >= 0 && channel < 4 && down[channel] && !record.key_down[channel];
    std::copy(down, down + 4, record.key_down);

    const bool changed = channel != record.previous_channel;
    if (changed) {
        record.talking = false;
        record.open_failed = false;
    }
    if (pressed) record.open_failed = false;

    bool transmit = false;
    if (channel == 4) {
        transmit = focus && allowed && enabled && !in.ctrl;
    } else if (channel >= 0) {
        const bool conditions = focus && allowed && enabled;
        if (record.talking)
            record.talking = conditions;
        else
            record.talking = pressed && conditions && !ctrl_m;
        transmit = record.talking;
    }

    const int selected = std::max(channel, 0);
    if (changed) {
        CloseMicrophone(record, mic);
        std::lock_guard<std::mutex> hold(state.lock);
        state.queue.clear();
        state.selected_channel = selected;
        record.previous_channel = channel;
    }
    state.status_channel.store(selected);

    if (transmit) {
        if (!mic.IsOpen() && !record.open_failed) {
            record.next_buffer = 0;
            if (!mic.Open()) {
                state.microphone_failures.fetch_add(1);
                record.open_failed = true;
                out.microphone = kMicrophoneNotice;
            }
        }
        if (mic.IsOpen() && !Collect(record, state, mic)) {
            CloseMicrophone(record, mic);
            state.microphone_failures.fetch_add(1);
            if (!record.open_failed) out.microphone = kMicrophoneNotice;
            record.open_failed = true;
        }
    } else {
        CloseMicrophone(record, mic);
    }

    state.capturing.store(mic.IsOpen());
    if (!focus || !enabled) ClearCaptureQueue(state);
    return out;
}

void EndCapture(CaptureRecord& record, VoiceState& state, MicrophonePort& mic) {
    state.capturing.store(false);
    CloseMicrophone(record, mic);
}

}  // namespace hm
