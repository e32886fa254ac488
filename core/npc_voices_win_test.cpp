// The NPC output on Wine's real waveOut, over ALSA file devices (see CMakeLists.txt): a clip is
// one block that plays to its end, a reset cuts it, and without a device the block is reported
// dropped so that the player can end the item at once.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/npc_voices_win.h"
#include "voice/mulaw.h"

namespace hm {
namespace {

const std::string kDir = HM_NPC_ALSA_DIR;

std::string TakeFile(const std::string& path) {
    std::ifstream f("Z:" + path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(f)), {});
    f.close();
    std::remove(("Z:" + path).c_str());
    return bytes;
}

// The WAV's samples that are not 0 (Wine fills underruns with silence).
std::vector<std::int16_t> NonZero(const std::string& wav) {
    std::vector<std::int16_t> out;
    const std::size_t data = wav.find("data");
    if (data == std::string::npos) return out;
    for (std::size_t i = data + 8; i + 1 < wav.size(); i += 2) {
        const std::int16_t s = std::int16_t(std::uint8_t(wav[i]) | (std::uint8_t(wav[i + 1]) << 8));
        if (s != 0) out.push_back(s);
    }
    return out;
}

std::vector<std::uint8_t> Clip(std::size_t bytes) {
    std::vector<std::uint8_t> clip(bytes);
    for (std::size_t i = 0; i < bytes; ++i) clip[i] = std::uint8_t(i % 251 == 0x7F ? 0x7E : i % 251);
    return clip;
}

bool WaitFinished(NpcOutput& out) {
    for (int i = 0; i < 3000; ++i) {
        if (out.Finished()) return true;
        Sleep(10);
    }
    return false;
}

TEST(NpcOutput, ClipPlaysToItsEndAsScaled) {
    const auto clip = Clip(16000);
    auto out = NewNpcVoiceOutput();
    ASSERT_TRUE(out->Play(clip.data(), clip.size(), 200, 75));
    ASSERT_TRUE(WaitFinished(*out)) << "the block never reported done";
    out->Release();
    std::vector<std::int16_t> want;
    for (std::uint8_t b : clip)
        if (const std::int16_t v = ScaleSample(DecodeMuLaw(b), 75, 200)) want.push_back(v);
    const auto played = NonZero(TakeFile(kDir + "/npc.wav"));
    EXPECT_EQ(played.size(), want.size());
    EXPECT_TRUE(played == want) << "the WAV is not the clip x 75 x 200 / 25500";
}

TEST(NpcOutput, ReleaseCutsALongClip) {
    const auto clip = Clip(640000);  // 40 s
    auto out = NewNpcVoiceOutput();
    ASSERT_TRUE(out->Play(clip.data(), clip.size(), 255, 100));
    Sleep(300);
    out->Release();
    std::vector<std::int16_t> want;
    for (std::uint8_t b : clip)
        if (const std::int16_t v = DecodeMuLaw(b)) want.push_back(v);
    const auto played = NonZero(TakeFile(kDir + "/npc.wav"));
    EXPECT_LT(played.size(), want.size()) << "the reset did not stop the clip";
    EXPECT_TRUE(std::equal(played.begin(), played.end(), want.begin())) << "not a prefix of the clip";
}

TEST(NoOutputDevice, BlockReportedDroppedAndNothingHangs) {
    const auto clip = Clip(1600);
    auto out = NewNpcVoiceOutput();
    EXPECT_FALSE(out->Play(clip.data(), clip.size(), 255, 75));
    EXPECT_TRUE(out->Finished()) << "nothing was written, nothing can still play";
    out->Release();
    EXPECT_FALSE(out->Play(clip.data(), clip.size(), 255, 75)) << "the next clip tries the device again";
}

}  // namespace
}  // namespace hm
