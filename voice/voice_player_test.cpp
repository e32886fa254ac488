#include "voice/voice_player.h"

#include <gtest/gtest.h>

#include "voice/test_ports.h"

namespace hm {
namespace {

using test::FakeOut;
using test::OutLog;

struct PlayerFixture : ::testing::Test {
    std::shared_ptr<OutLog> log = std::make_shared<OutLog>();
    VoicePlayer player{std::make_unique<FakeOut>(log)};
    std::vector<std::uint8_t> silence = std::vector<std::uint8_t>(160, 0xFF);

    void Play(Tick now, int gain = 255, int override_volume = -1, int voice_volume = 100) {
        player.Play(silence.data(), silence.size(), gain, override_volume, voice_volume, now);
    }
};

TEST_F(PlayerFixture, ConvertsWithGainAndVolumeOrItsClampedOverride) {
    struct Case { std::uint8_t byte; int gain, override_volume, voice_volume, out; };
    const Case cases[] = {
        {0xFF, 255, -1, 100, 0},          {0x00, 255, -1, 100, -32124}, {0x80, 255, -1, 100, 32124},
        {0x00, 200, -1, 80, -20156},      // -32124*80*200/25500 = -20156.2, truncated toward zero
        {0x00, 255, 150, 10, -32124},     // override above 100 counts as 100, the voice volume is ignored
        {0x00, 255, 0, 100, 0},           {0x80, 128, 50, 0, 8062},
    };
    for (const Case& c : cases) {
        log->written.clear();
        const std::vector<std::uint8_t> block(160, c.byte);
        player.Play(block.data(), block.size(), c.gain, c.override_volume, c.voice_volume, 1);
        ASSERT_EQ(log->written.size(), 1u);
        ASSERT_EQ(log->written[0].size(), 160u);
        EXPECT_EQ(log->written[0][0], c.out) << int(c.byte) << " " << c.gain << " " << c.override_volume;
        EXPECT_EQ(log->written[0][159], c.out);
        log->all_done = true;  // the next play reaps it
    }
}

TEST_F(PlayerFixture, ReapsFinishedBlocksAndResetsWhenTheOldestStillPlaysBehindFiveOthers) {
    for (int i = 0; i < 6; ++i) Play(10 + i);
    EXPECT_EQ(player.queued(), 6u);
    EXPECT_EQ(log->resets, 0);
    Play(20);  // six queued, oldest playing: everything dropped, then this one written
    EXPECT_EQ(log->resets, 1);
    EXPECT_EQ(player.queued(), 1u);
    EXPECT_EQ(log->prepared_now, 1);
    EXPECT_EQ(log->written.size(), 7u);

    Play(21);
    Play(22);
    log->all_done = true;
    Play(23);  // the finished ones are unprepared and freed, no reset
    EXPECT_EQ(log->resets, 1);
    EXPECT_EQ(player.queued(), 1u);
    EXPECT_EQ(log->prepared_now, 1);
}

TEST_F(PlayerFixture, FiveQueuedWithTheOldestPlayingIsNoReset) {
    for (int i = 0; i < 5; ++i) Play(i + 1);
    Play(6);
    EXPECT_EQ(log->resets, 0);
    EXPECT_EQ(player.queued(), 6u);
}

TEST_F(PlayerFixture, FailuresLoseOnlyTheirBlockAndNeverMoveTheWriteTick) {
    log->fail_open = true;
    Play(100);
    EXPECT_FALSE(player.has_device());
    EXPECT_EQ(player.last_write(), 0u);
    log->fail_open = false;
    Play(200);  // opens again on demand
    EXPECT_EQ(log->opens, 2);
    EXPECT_EQ(player.last_write(), 200u);

    log->fail_prepare = true;
    Play(300);
    log->fail_prepare = false;
    log->fail_write = true;
    Play(400);
    EXPECT_EQ(player.last_write(), 200u);
    EXPECT_EQ(player.queued(), 1u);
    EXPECT_EQ(log->prepared_now, 1);  // the refused write was unprepared
    EXPECT_EQ(log->opens, 2);
}

TEST_F(PlayerFixture, ReleaseResetsUnpreparesAndClosesOnce) {
    Play(1);
    Play(2);
    player.Release();
    EXPECT_EQ(log->resets, 1);
    EXPECT_EQ(log->prepared_now, 0);
    EXPECT_EQ(log->closes, 1);
    player.Release();
    EXPECT_EQ(log->closes, 1);
}

TEST(Player, DestroyingAPlayerClosesItsDevice) {
    auto log = std::make_shared<OutLog>();
    {
        VoicePlayer p(std::make_unique<FakeOut>(log));
        const std::uint8_t b[160] = {};
        p.Play(b, 160, 255, -1, 100, 5);
    }
    EXPECT_EQ(log->closes, 1);
    EXPECT_EQ(log->prepared_now, 0);
}

}  // namespace
}  // namespace hm
