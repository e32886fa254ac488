#include "npc/npc_state.h"
#include "npc/test_hashes.h"

#include <gtest/gtest.h>

#include <string>

namespace hm {
namespace {

NpcClip Clip(std::size_t bytes, std::uint8_t fill = 0x55) {
    return std::make_shared<const std::vector<std::uint8_t>>(bytes, fill);
}

TEST(NpcAudioCache, ThirtyThirdClipEvictsTheSmallestHash) {
    NpcAudioCache cache;
    for (int i = 32; i >= 1; --i) cache.Insert(test::NpcHash(i), Clip(160));
    EXPECT_EQ(cache.clips(), 32u);
    cache.Insert(test::NpcHash(40), Clip(160));
    EXPECT_EQ(cache.clips(), 32u);
    EXPECT_EQ(cache.bytes(), 32u * 160);
    EXPECT_FALSE(cache.Find(test::NpcHash(1))) << "the smallest hash goes first, whatever the insertion order";
    EXPECT_TRUE(cache.Find(test::NpcHash(2)));
    EXPECT_TRUE(cache.Find(test::NpcHash(40)));
    // Text order, not number order: "f..." is larger than "1...".
    NpcAudioCache text;
    text.Insert(std::string(64, 'f'), Clip(160));
    for (int i = 0; i < 31; ++i) text.Insert(test::NpcHash(0x100 + i), Clip(160));
    text.Insert(std::string(64, '0'), Clip(160));
    EXPECT_TRUE(text.Find(std::string(64, 'f')));
    EXPECT_FALSE(text.Find(test::NpcHash(0x100)));
}

TEST(NpcAudioCache, SixteenMebibyteEdgeWithFullLengthClips) {
    NpcAudioCache cache;
    // 21 clips of 768000 bytes are 16 128 000 bytes; a 22nd would pass 16 777 216.
    for (int i = 1; i <= 21; ++i) cache.Insert(test::NpcHash(i), Clip(768000));
    EXPECT_EQ(cache.clips(), 21u);
    EXPECT_EQ(cache.bytes(), 21u * 768000);
    cache.Insert(test::NpcHash(22), Clip(768000));
    EXPECT_EQ(cache.clips(), 21u);
    EXPECT_EQ(cache.bytes(), 21u * 768000);
    EXPECT_FALSE(cache.Find(test::NpcHash(1)));
    // A small clip still fits beside them: 16 128 000 + 649 216 = 16 777 216 exactly.
    cache.Insert(test::NpcHash(23), Clip(649216));
    EXPECT_EQ(cache.clips(), 22u);
    EXPECT_EQ(cache.bytes(), 16777216u);
    cache.Insert(test::NpcHash(24), Clip(160));
    EXPECT_LE(cache.bytes(), 16777216u);
    EXPECT_FALSE(cache.Find(test::NpcHash(2)));
}

TEST(NpcAudioCache, EvictedClipStillPlaysFromItsItem) {
    NpcAudioCache cache;
    cache.Insert(test::NpcHash(1), Clip(160, 0x12));
    NpcPlayItem item;
    item.clip = cache.Find(test::NpcHash(1));
    for (int i = 2; i <= 33; ++i) cache.Insert(test::NpcHash(i), Clip(160));
    EXPECT_FALSE(cache.Find(test::NpcHash(1)));
    ASSERT_TRUE(item.clip);
    EXPECT_EQ(item.clip->size(), 160u);
    EXPECT_EQ((*item.clip)[159], 0x12);
}

TEST(NpcAudioCache, SameHashAgainReplacesWithoutCountingTwice) {
    NpcAudioCache cache;
    cache.Insert(test::NpcHash(1), Clip(200));
    cache.Insert(test::NpcHash(1), Clip(300));
    EXPECT_EQ(cache.clips(), 1u);
    EXPECT_EQ(cache.bytes(), 300u);
}

TEST(NpcSeenSet, KeepsTheNewest256) {
    NpcSeenSet seen;
    for (std::uint64_t id = 300; id >= 1; --id) seen.Add(id);
    EXPECT_EQ(seen.size(), 256u);
    EXPECT_FALSE(seen.Contains(44));
    EXPECT_TRUE(seen.Contains(45));
    EXPECT_TRUE(seen.Contains(300));
}

TEST(NpcPlayQueue, EightItemsOldestFirstEachAtItsStart) {
    NpcState state;
    for (std::uint64_t id = 1; id <= 8; ++id) {
        NpcPlayItem item;
        item.event.id = id;
        item.event.gain = int(id);
        item.start = id == 1 ? 500 : 100;
        EXPECT_TRUE(AppendNpcItem(state, item));
    }
    EXPECT_FALSE(AppendNpcItem(state, NpcPlayItem{}));
    EXPECT_EQ(state.queued.load(), 8);
    // The oldest waits for its start; the later ones wait behind it.
    EXPECT_FALSE(TakeDueNpcItem(state, 499));
    auto first = TakeDueNpcItem(state, 500);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->event.id, 1u);
    EXPECT_EQ(state.playing_id.load(), 1u);
    EXPECT_EQ(state.gain.load(), 1);
    EXPECT_EQ(TakeDueNpcItem(state, 500)->event.id, 2u);
    ClearNpcQueue(state);
    EXPECT_EQ(state.queued.load(), 0);
    EXPECT_FALSE(TakeDueNpcItem(state, 10000));
}

TEST(NpcPlayQueue, GainStoreOnlyForThePlayingId) {
    NpcState state;
    NpcPlayItem next;
    next.event.id = 8;
    next.event.gain = 90;
    AppendNpcItem(state, next);
    state.playing_id.store(7);
    EXPECT_TRUE(StoreGainIfPlaying(state, 7, 33));
    EXPECT_EQ(state.gain.load(), 33);
    // The player moves on to 8; a late answer for 7 must not reach it.
    TakeDueNpcItem(state, 0);
    EXPECT_FALSE(StoreGainIfPlaying(state, 7, 0));
    EXPECT_EQ(state.gain.load(), 90);
    state.playing_id.store(0);
    EXPECT_FALSE(StoreGainIfPlaying(state, 0, 0));
}

TEST(NpcConfigure, VolumeClampedEnabledAsGiven) {
    struct Case {
        bool on;
        int volume, stored;
    } cases[] = {{true, 75, 75}, {false, -3, 0}, {true, 101, 100}, {true, 0, 0}};
    for (const auto& c : cases) {
        NpcState state;
        ConfigureNpc(state, c.on, c.volume);
        EXPECT_EQ(state.enabled.load(), c.on);
        EXPECT_EQ(state.volume.load(), c.stored) << c.volume;
    }
}

}  // namespace
}  // namespace hm
