// The real waveIn/waveOut devices under Wine, over ALSA file devices (see CMakeLists.txt): the
// playback WAV must hold exactly the scaled samples, capture must collect the clip, and a system
// without a capture device gives its notice once per press.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "voice/capture.h"
#include "voice/mulaw.h"
#include "voice/wave_devices_win.h"

namespace hm {
namespace {

const std::string kDir = HM_VOICE_ALSA_DIR;

std::string ReadFile(const std::string& path) {
    std::ifstream f("Z:" + path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

// Every WAV the playback device wrote (one per opened device), removed for the next run.
std::vector<std::int16_t> TakeWavSamples() {
    std::vector<std::int16_t> all;
    for (int n = 0; n < 100; ++n) {
        char suffix[16] = "";
        if (n > 0) std::snprintf(suffix, sizeof suffix, ".%04d", n);
        const std::string path = kDir + "/playback.wav" + suffix;
        const std::string wav = ReadFile(path);
        if (wav.empty()) {
            if (n > 0) break;
            continue;
        }
        std::remove(("Z:" + path).c_str());
        const std::size_t data = wav.find("data");
        if (data == std::string::npos) continue;
        for (std::size_t i = data + 8; i + 1 < wav.size(); i += 2)
            all.push_back(std::int16_t(std::uint8_t(wav[i]) | (std::uint8_t(wav[i + 1]) << 8)));
    }
    return all;
}

std::vector<std::int16_t> NonZero(const std::vector<std::int16_t>& v) {
    std::vector<std::int16_t> out;
    for (std::int16_t s : v)
        if (s != 0) out.push_back(s);
    return out;
}

TEST(Playback, BlocksComeOutOfTheWavExactlyScaled) {
    TakeWavSamples();
    std::vector<std::uint8_t> bytes(1600);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = std::uint8_t(i * 7 + 3);
    std::vector<std::int16_t> expected;
    {
        VoicePlayer player(std::make_unique<WaveOutDevice>());
        for (int block = 0; block < 3; ++block) {
            player.Play(bytes.data() + block * 400, 400, 200, -1, 80, GetTickCount64());
            ASSERT_TRUE(player.has_device());
            ASSERT_EQ(player.last_write() != 0, true);
            for (int i = 0; i < 400; ++i) expected.push_back(ScaleSample(DecodeMuLaw(bytes[block * 400 + i]), 80, 200));
        }
        for (int i = 0; i < 200 && player.Reap() > 0; ++i) Sleep(25);
        EXPECT_EQ(player.queued(), 0u);
    }  // the device closes: the WAV header is completed
    const std::vector<std::int16_t> got = NonZero(TakeWavSamples());
    EXPECT_EQ(got, NonZero(expected));
}

// A clip without zeros, so any run of it can be found again.
std::vector<std::int16_t> MakeClip() {
    std::vector<std::int16_t> clip(16000);
    for (std::size_t i = 0; i < clip.size(); ++i) clip[i] = std::int16_t(int(i * 37 % 20000) - 10000 + 1);
    for (std::int16_t& s : clip)
        if (s == 0) s = 5;
    return clip;
}

// The capture device's infile, written big-endian before main: Wine's audio driver looks at the
// devices the first time any test touches sound, and a capture device whose infile is missing then
// stays unusable for the whole process (the first run in a fresh build folder failed so).
const bool kClipWritten = [] {
    std::string raw;
    for (std::int16_t s : MakeClip()) {
        raw.push_back(char((s >> 8) & 0xFF));
        raw.push_back(char(s & 0xFF));
    }
    std::ofstream out("Z:" + kDir + "/clip.raw", std::ios::binary);
    out << raw;
    return bool(out);
}();

struct CaptureOnWine : ::testing::Test {
    std::vector<std::int16_t> clip = MakeClip();
    void SetUp() override { ASSERT_TRUE(kClipWritten) << "cannot write " << kDir << "/clip.raw"; }
    // True when `got` holds a run of at least `run` samples that is a contiguous piece of the clip.
    bool HoldsPieceOfClip(const std::vector<std::int16_t>& got, std::size_t run) const {
        for (std::size_t at = 0; at + run <= got.size(); at += 7) {
            for (std::size_t c = 0; c < clip.size(); ++c) {
                if (clip[c] != got[at]) continue;
                std::size_t k = 0;
                while (k < run && clip[(c + k) % clip.size()] == got[at + k]) ++k;
                if (k == run) return true;
            }
        }
        return false;
    }
};

TEST_F(CaptureOnWine, CollectsTheClipAndClosesWithNoHeaderPrepared) {
    WaveInDevice mic;
    ASSERT_TRUE(mic.Open());
    EXPECT_EQ(mic.PreparedHeaders(), kCaptureBuffers);
    std::vector<std::int16_t> got;
    int next = 0;
    // Bounded by time, not passes: a first open in a fresh Wine session under a loaded machine can
    // take seconds before the first buffer comes back.
    const ULONGLONG give_up = GetTickCount64() + 30000;
    while (got.size() < 8000 && GetTickCount64() < give_up) {
        std::size_t bytes = 0;
        while (const std::int16_t* s = mic.Done(next, bytes)) {
            got.insert(got.end(), s, s + bytes / 2);
            ASSERT_TRUE(mic.Requeue(next));
            next = (next + 1) % kCaptureBuffers;
        }
        Sleep(15);
    }
    mic.Close();
    EXPECT_FALSE(mic.IsOpen());
    EXPECT_EQ(mic.PreparedHeaders(), 0);
    ASSERT_GE(got.size(), 640u);
    EXPECT_TRUE(HoldsPieceOfClip(NonZero(got), 320));
}

TEST_F(CaptureOnWine, HoldingMQueuesTheClipEncoded) {
    VoiceState state;
    HandOverVoiceToken(state, "token");
    CaptureRecord record;
    WaveInDevice mic;
    CaptureInputs in;
    in.game_in_front = in.chat_free = in.m = true;
    const ULONGLONG give_up = GetTickCount64() + 30000;
    while (GetTickCount64() < give_up) {
        CapturePass(record, state, mic, in);
        EXPECT_TRUE(state.capturing.load());
        std::lock_guard<std::mutex> hold(state.lock);
        if (state.queue.size() >= 3200) break;
        Sleep(15);
    }
    std::string queued;
    {
        std::lock_guard<std::mutex> hold(state.lock);
        queued.assign(state.queue.begin(), state.queue.end());
    }
    EndCapture(record, state, mic);
    EXPECT_EQ(mic.PreparedHeaders(), 0);
    std::string encoded_clip;
    for (std::int16_t s : clip) encoded_clip.push_back(char(EncodeMuLaw(s)));
    encoded_clip += encoded_clip;
    ASSERT_GE(queued.size(), 640u);
    const std::size_t first = queued.find_first_not_of(char(0xFF));
    ASSERT_NE(first, std::string::npos);
    EXPECT_NE(encoded_clip.find(queued.substr(first, 160)), std::string::npos);
}

// Each waveIn call of the open sequence fails in turn: the open fails, nothing stays prepared and
// the device is given back (a normal open works right after).
namespace faults {
int calls = 0, fail_at = -1, prepared = 0, unprepared = 0;
bool Fail() { return calls++ == fail_at; }
MMRESULT WINAPI Open(LPHWAVEIN h, UINT id, LPCWAVEFORMATEX f, DWORD_PTR cb, DWORD_PTR inst, DWORD flags) {
    return Fail() ? MMSYSERR_ALLOCATED : waveInOpen(h, id, f, cb, inst, flags);
}
MMRESULT WINAPI Prepare(HWAVEIN h, LPWAVEHDR hdr, UINT size) {
    if (Fail()) return MMSYSERR_NOMEM;
    const MMRESULT r = waveInPrepareHeader(h, hdr, size);
    prepared += r == MMSYSERR_NOERROR;
    return r;
}
MMRESULT WINAPI Add(HWAVEIN h, LPWAVEHDR hdr, UINT size) { return Fail() ? MMSYSERR_ERROR : waveInAddBuffer(h, hdr, size); }
MMRESULT WINAPI Start(HWAVEIN h) { return Fail() ? MMSYSERR_ERROR : waveInStart(h); }
MMRESULT WINAPI Unprepare(HWAVEIN h, LPWAVEHDR hdr, UINT size) {
    const MMRESULT r = waveInUnprepareHeader(h, hdr, size);
    unprepared += r == MMSYSERR_NOERROR;
    return r;
}
}  // namespace faults

TEST_F(CaptureOnWine, EveryFailingStepOfTheOpenUndoesTheOthers) {
    WaveInCalls calls;
    calls.open = &faults::Open;
    calls.prepare = &faults::Prepare;
    calls.add = &faults::Add;
    calls.start = &faults::Start;
    calls.unprepare = &faults::Unprepare;
    const int steps = 1 + 2 * kCaptureBuffers + 1;
    for (int k = 0; k < steps; ++k) {
        SCOPED_TRACE(k);
        faults::calls = 0;
        faults::fail_at = k;
        faults::prepared = faults::unprepared = 0;
        {
            WaveInDevice mic(calls);
            EXPECT_FALSE(mic.Open());
            EXPECT_FALSE(mic.IsOpen());
            EXPECT_EQ(mic.PreparedHeaders(), 0);
            EXPECT_EQ(faults::unprepared, faults::prepared);
            EXPECT_EQ(faults::calls, k + 1);  // nothing tried after the failure
        }
        WaveInDevice again;
        EXPECT_TRUE(again.Open());
    }
    faults::fail_at = -1;
    faults::calls = 0;
    WaveInDevice all_good(calls);
    EXPECT_TRUE(all_good.Open());
    EXPECT_EQ(faults::calls, steps);
}

TEST(NoMicrophone, OpenFailsWithOneNoticePerPressAndPlaybackStillWorks) {
    VoiceState state;
    HandOverVoiceToken(state, "token");
    CaptureRecord record;
    WaveInDevice mic;
    CaptureInputs held;
    held.game_in_front = held.chat_free = held.m = true;
    CaptureInputs released = held;
    released.m = false;
    int notices = 0;
    for (int press = 0; press < 2; ++press) {
        for (int pass = 0; pass < 5; ++pass) {
            if (CapturePass(record, state, mic, held).microphone) ++notices;
            EXPECT_FALSE(state.capturing.load());
        }
        CapturePass(record, state, mic, released);
    }
    EXPECT_EQ(notices, 2);
    EXPECT_EQ(state.microphone_failures.load(), 2);

    WaveOutDevice out;
    EXPECT_TRUE(out.Open());
    TakeWavSamples();
}

}  // namespace
}  // namespace hm
