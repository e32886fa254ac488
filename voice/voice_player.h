// VoicePlayer: one playback stream per remote speaker. Decisions here; the waveOut calls go
// through WaveOutPort so tests can script the device. Used by one thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "base/ticks.h"

namespace hm {

// One written block; it never moves while queued because the device holds its header.
struct VoiceBlock {
    std::vector<std::int16_t> samples;
    alignas(8) unsigned char header[64] = {};  // the device's WAVEHDR lives here
    bool prepared = false;
};

// The waveOut side of one player.
class WaveOutPort {
public:
    virtual ~WaveOutPort() = default;
    virtual bool Open() = 0;                    // waveOutOpen, 16 kHz mono 16-bit
    virtual bool Prepare(VoiceBlock& block) = 0;
    virtual bool Write(VoiceBlock& block) = 0;
    virtual bool IsDone(const VoiceBlock& block) = 0;  // WHDR_DONE
    virtual void Unprepare(VoiceBlock& block) = 0;
    virtual void Reset() = 0;                   // waveOutReset
    virtual void Close() = 0;                   // waveOutClose
};

constexpr std::size_t kPlayerBlockLimit = 5;  // more queued, oldest still playing: reset

class VoicePlayer {
public:
    explicit VoicePlayer(std::unique_ptr<WaveOutPort> port) : port_(std::move(port)) {}
    ~VoicePlayer() { Release(); }
    VoicePlayer(const VoicePlayer&) = delete;
    VoicePlayer& operator=(const VoicePlayer&) = delete;

    // volume_override < 0 takes voice_volume; otherwise clamped to 0..100.
    void Play(const std::uint8_t* bytes, std::size_t count, int gain, int volume_override, int voice_volume,
              Tick now);
    std::size_t Reap();  // frees finished blocks (resets when the oldest plays behind 5 more); blocks left
    void Reset();        // drops everything queued
    void Release();  // reset and close the device

    Tick last_write() const { return last_write_; }
    std::size_t queued() const { return blocks_.size(); }
    bool has_device() const { return open_; }

private:
    std::unique_ptr<WaveOutPort> port_;
    std::deque<std::unique_ptr<VoiceBlock>> blocks_;
    bool open_ = false;
    Tick last_write_ = 0;
};

}  // namespace hm
