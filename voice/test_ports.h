// Scripted waveIn/waveOut sides for the voice tests.
#pragma once

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "voice/capture.h"
#include "voice/voice_player.h"

namespace hm::test {

// What one scripted output device saw; shared with the test because the player owns the port.
struct OutLog {
    bool fail_open = false, fail_prepare = false, fail_write = false;
    bool all_done = false;                 // every written block reports WHDR_DONE
    std::set<const VoiceBlock*> done;      // blocks that report WHDR_DONE
    int opens = 0, closes = 0, resets = 0, unprepares = 0;
    int prepared_now = 0;                  // headers prepared and not yet unprepared
    std::vector<std::vector<std::int16_t>> written;
};

class FakeOut : public WaveOutPort {
public:
    explicit FakeOut(std::shared_ptr<OutLog> log) : log_(std::move(log)) {}
    bool Open() override { ++log_->opens; return !log_->fail_open; }
    bool Prepare(VoiceBlock&) override {
        if (log_->fail_prepare) return false;
        ++log_->prepared_now;
        return true;
    }
    bool Write(VoiceBlock& b) override {
        if (log_->fail_write) return false;
        log_->written.push_back(b.samples);
        return true;
    }
    bool IsDone(const VoiceBlock& b) override { return log_->all_done || log_->done.count(&b); }
    void Unprepare(VoiceBlock&) override { ++log_->unprepares; --log_->prepared_now; }
    void Reset() override { ++log_->resets; }
    void Close() override { ++log_->closes; }

private:
    std::shared_ptr<OutLog> log_;
};

class FakeMic : public MicrophonePort {
public:
    bool fail_open = false;
    bool fail_requeue = false;
    int opens = 0, closes = 0, requeues = 0;
    std::array<std::optional<std::vector<std::int16_t>>, kCaptureBuffers> done;  // recorded buffers
    std::array<std::size_t, kCaptureBuffers> bytes_override{};                  // 0: samples * 2

    bool Open() override {
        ++opens;
        open_ = !fail_open;
        return open_;
    }
    void Close() override { ++closes; open_ = false; }
    bool IsOpen() const override { return open_; }
    const std::int16_t* Done(int index, std::size_t& bytes) override {
        auto& d = done[index];
        if (!d) return nullptr;
        bytes = bytes_override[index] ? bytes_override[index] : d->size() * 2;
        return d->data();
    }
    bool Requeue(int index) override {
        ++requeues;
        done[index].reset();
        bytes_override[index] = 0;
        return !fail_requeue;
    }

private:
    bool open_ = false;
};

}  // namespace hm::test
