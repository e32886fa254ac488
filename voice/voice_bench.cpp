// Voice costs: encoding a capture buffer, decoding and scaling an exchange's worth, parsing a
// maximal answer, the longest voice-lock hold (appending a buffer to a full queue) and a 48 s
// NPC clip converted into one playback block.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "voice/capture.h"
#include "voice/exchange.h"
#include "voice/mulaw.h"
#include "voice/voice_player.h"

namespace hm {
namespace {

void EncodeBuffer(benchmark::State& s) {
    std::vector<std::int16_t> in(640);
    for (std::size_t i = 0; i < in.size(); ++i) in[i] = std::int16_t(i * 97 - 30000);
    std::vector<std::uint8_t> out(640);
    for (auto _ : s) {
        for (std::size_t i = 0; i < in.size(); ++i) out[i] = EncodeMuLaw(in[i]);
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(EncodeBuffer);

void DecodeAndScale3200(benchmark::State& s) {
    std::vector<std::uint8_t> in(3200);
    for (std::size_t i = 0; i < in.size(); ++i) in[i] = std::uint8_t(i);
    std::vector<std::int16_t> out(3200);
    for (auto _ : s) {
        for (std::size_t i = 0; i < in.size(); ++i) out[i] = ScaleSample(DecodeMuLaw(in[i]), 80, 200);
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(DecodeAndScale3200);

void ParseMaximalAnswer(benchmark::State& s) {
    std::string body = "HMV1" + std::string(8, '\1') + std::string("\x0c\x00", 2);
    for (int i = 0; i < 12; ++i) body += std::string("\x01\x00\xff\x00\x80\x0c", 6) + std::string(3200, '\x55');
    for (auto _ : s) benchmark::DoNotOptimize(ParseVoiceAnswer(body));
}
BENCHMARK(ParseMaximalAnswer);

void LockHoldAppendToFullQueue(benchmark::State& s) {
    VoiceState state;
    state.queue.assign(kCaptureQueueLimit, 0x55);
    std::vector<std::int16_t> buffer(640, 1234);
    for (auto _ : s) AppendCaptured(state, buffer.data(), buffer.size());
}
BENCHMARK(LockHoldAppendToFullQueue);

void LockHoldTakeForExchange(benchmark::State& s) {
    VoiceState state;
    std::string body;
    for (auto _ : s) {
        s.PauseTiming();
        state.queue.assign(kCaptureQueueLimit, 0x55);
        body.assign(8, '\0');
        s.ResumeTiming();
        benchmark::DoNotOptimize(TakeForExchange(state, true, body));
    }
}
BENCHMARK(LockHoldTakeForExchange);

// Idle passes without their sleeps: the share of a 15 ms (capture) or 100/120 ms (exchange)
// period they take is the threads' idle CPU, before the Windows calls that sample the keys.
class IdleMicrophone : public MicrophonePort {
public:
    bool Open() override { return false; }
    void Close() override {}
    bool IsOpen() const override { return false; }
    const std::int16_t* Done(int, std::size_t&) override { return nullptr; }
    bool Requeue(int) override { return false; }
};

void CaptureIdlePass(benchmark::State& s) {
    VoiceState state;
    if (s.range(0)) HandOverVoiceToken(state, std::string(64, 'a'));
    CaptureRecord record;
    IdleMicrophone mic;
    CaptureInputs in;
    in.game_in_front = in.chat_free = true;
    for (auto _ : s) benchmark::DoNotOptimize(CapturePass(record, state, mic, in));
}
BENCHMARK(CaptureIdlePass)->Arg(0)->Arg(1);

void ExchangeIdlePassWithoutToken(benchmark::State& s) {
    VoiceState state;
    ExchangeRecord record;
    ExchangeSeams seams;
    seams.now = [] { return Tick(1000); };
    seams.sleep = [](int) {};
    for (auto _ : s) ExchangePass(record, state, seams);
}
BENCHMARK(ExchangeIdlePassWithoutToken);

// A device that accepts everything and finishes at once; an NPC clip is written as one block.
class NullOut : public WaveOutPort {
public:
    bool Open() override { return true; }
    bool Prepare(VoiceBlock&) override { return true; }
    bool Write(VoiceBlock& b) override {
        block_bytes = b.samples.size() * sizeof(b.samples[0]);
        return true;
    }
    bool IsDone(const VoiceBlock&) override { return true; }
    void Unprepare(VoiceBlock&) override {}
    void Reset() override {}
    void Close() override {}
    std::size_t block_bytes = 0;
};

void ConvertLongestNpcClip(benchmark::State& s) {
    std::string clip(768000, '\0');  // 48 s, the longest NPC clip
    for (std::size_t i = 0; i < clip.size(); ++i) clip[i] = char(i * 7);
    auto port = std::make_unique<NullOut>();
    NullOut* out = port.get();
    VoicePlayer player(std::move(port));
    for (auto _ : s) {
        player.Play(reinterpret_cast<const std::uint8_t*>(clip.data()), clip.size(), 255, 75, 80, 0);
        player.Reap();
    }
    s.counters["block_bytes"] = double(out->block_bytes);
    s.SetBytesProcessed(std::int64_t(s.iterations()) * std::int64_t(clip.size()));
}
BENCHMARK(ConvertLongestNpcClip)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace hm
