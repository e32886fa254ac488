#include "voice/voice_start.h"

#include <gtest/gtest.h>

namespace hm {
namespace {

TEST(VoiceStart, VolumeIsClampedAndTheSwitchTaken) {
    struct Case { bool voice; int volume, stored; };
    const Case cases[] = {{true, -20, 0}, {false, 0, 0}, {true, 55, 55}, {true, 100, 100}, {false, 101, 100}, {true, 99999, 100}};
    for (const Case& c : cases) {
        VoiceState state;
        ConfigureVoice(state, c.voice, c.volume);
        EXPECT_EQ(state.volume.load(), c.stored) << c.volume;
        EXPECT_EQ(state.enabled.load(), c.voice);
    }
}

TEST(VoiceStart, BannerReadsCapturingChannelAndWorkRadio) {
    VoiceState state;
    BannerInputs in;
    in.photo_visible = true;
    state.capturing.store(true);
    state.status_channel.store(1);
    state.work_radio.store(true);
    ReadVoiceBannerInputs(state, in);
    EXPECT_TRUE(in.voice_capturing);
    EXPECT_EQ(in.voice_channel, 1);
    EXPECT_TRUE(in.work_radio);
    EXPECT_TRUE(in.photo_visible);  // not the voice's to change
    EXPECT_EQ(BannerText(NoticeState(), 0, in), L"");
    in.photo_visible = false;
    EXPECT_EQ(BannerText(NoticeState(), 0, in), L"! • Pracovní vysílačka");
}

}  // namespace
}  // namespace hm
