// The real waveIn/waveOut devices behind the capture and playback seams: default device
// (WAVE_MAPPER), 16 kHz mono 16-bit PCM, no callback; completion is polled through WHDR_DONE.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include "base/owners_win.h"
#include "voice/capture.h"
#include "voice/voice_player.h"

namespace hm {

void CloseWaveOut(HWAVEOUT h);  // reset, then close
void CloseWaveIn(HWAVEIN h);    // stop, reset, then close
using UniqueWaveOut = UniqueHandle<HWAVEOUT, &CloseWaveOut>;
using UniqueWaveIn = UniqueHandle<HWAVEIN, &CloseWaveIn>;

WAVEFORMATEX VoiceFormat();

class WaveOutDevice : public WaveOutPort {
public:
    bool Open() override;
    bool Prepare(VoiceBlock& block) override;
    bool Write(VoiceBlock& block) override;
    bool IsDone(const VoiceBlock& block) override;
    void Unprepare(VoiceBlock& block) override;
    void Reset() override;
    void Close() override;

private:
    UniqueWaveOut out_;
};

// The waveIn calls of the capture device; tests pass wrappers that fail a chosen call.
struct WaveInCalls {
    decltype(&waveInOpen) open = &waveInOpen;
    decltype(&waveInPrepareHeader) prepare = &waveInPrepareHeader;
    decltype(&waveInAddBuffer) add = &waveInAddBuffer;
    decltype(&waveInStart) start = &waveInStart;
    decltype(&waveInUnprepareHeader) unprepare = &waveInUnprepareHeader;
};

class WaveInDevice : public MicrophonePort {
public:
    WaveInDevice() = default;
    explicit WaveInDevice(const WaveInCalls& calls) : calls_(calls) {}
    ~WaveInDevice() override { Close(); }
    bool Open() override;
    void Close() override;
    bool IsOpen() const override { return bool(in_); }
    const std::int16_t* Done(int index, std::size_t& bytes_recorded) override;
    bool Requeue(int index) override;
    int PreparedHeaders() const;  // headers still prepared (0 once closed)

private:
    WaveInCalls calls_;
    UniqueWaveIn in_;
    WAVEHDR headers_[kCaptureBuffers] = {};
    std::int16_t data_[kCaptureBuffers][kCaptureBufferSamples] = {};
};

}  // namespace hm
