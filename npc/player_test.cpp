#include "npc/player.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace hm {
namespace {

// What the scripted outputs saw; shared because the record owns each output.
struct OutputLog {
    bool fail_play = false;
    bool finished = false;
    int made = 0, plays = 0, releases = 0;
    std::vector<int> gains, volumes;
    std::vector<std::size_t> counts;
};

class FakeOutput : public NpcOutput {
public:
    explicit FakeOutput(std::shared_ptr<OutputLog> log) : log_(std::move(log)) { ++log_->made; }
    bool Play(const std::uint8_t*, std::size_t count, int gain, int volume) override {
        ++log_->plays;
        log_->gains.push_back(gain);
        log_->volumes.push_back(volume);
        log_->counts.push_back(count);
        return !log_->fail_play;
    }
    bool Finished() override { return log_->finished; }
    void Release() override { ++log_->releases; }

private:
    std::shared_ptr<OutputLog> log_;
};

struct Rig {
    NpcState state;
    NpcPlayerRecord record;
    NpcPlayerSeams seams;
    std::shared_ptr<OutputLog> out = std::make_shared<OutputLog>();
    NpcToggleInputs in;
    std::uint32_t generation = 1;
    Tick now = 1000;
    std::vector<std::wstring> notices;

    Rig() {
        state.volume.store(75);
        seams.generation = [this] { return generation; };
        seams.now = [this] { return now; };
        seams.new_output = [this] { return std::unique_ptr<NpcOutput>(new FakeOutput(out)); };
        seams.inputs = [this] { return in; };
        seams.notice = [this](const wchar_t* t) { notices.push_back(t); };
        in.game_in_front = in.chat_free = true;
    }
    int Pass() { return NpcPlayerPass(record, state, seams); }
    void Queue(std::uint64_t id, int gain, Tick start, std::size_t bytes = 160) {
        NpcPlayItem item;
        item.event.id = id;
        item.event.gain = gain;
        item.start = start;
        item.clip = std::make_shared<const std::vector<std::uint8_t>>(bytes, 0x10);
        ASSERT_TRUE(AppendNpcItem(state, item));
    }
};

TEST(NpcPlayer, StartsEachItemAtItsStartAndPlaysItWhole) {
    Rig rig;
    rig.Queue(41, 255, 1300, 16000);
    rig.Queue(42, 128, 1000);
    EXPECT_EQ(rig.Pass(), 40);
    rig.now = 1299;
    EXPECT_EQ(rig.Pass(), 40) << "41 is not due; 42 waits behind it";
    EXPECT_EQ(rig.out->plays, 0);
    rig.now = 1300;
    EXPECT_EQ(rig.Pass(), 10);
    EXPECT_EQ(rig.state.playing_id.load(), 41u);
    ASSERT_EQ(rig.out->plays, 1);
    EXPECT_EQ(rig.out->counts[0], 16000u);
    EXPECT_EQ(rig.out->gains[0], 255);
    EXPECT_EQ(rig.out->volumes[0], 75);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(rig.Pass(), 10) << "waits for the end";
    EXPECT_EQ(rig.out->plays, 1) << "one block, written once";
    rig.out->finished = true;
    rig.Pass();
    EXPECT_EQ(rig.out->releases, 1);
    EXPECT_EQ(rig.state.playing_id.load(), 0u);
    rig.out->finished = false;
    rig.Pass();
    EXPECT_EQ(rig.state.playing_id.load(), 42u);
    EXPECT_EQ(rig.out->gains.back(), 128);
    EXPECT_EQ(rig.out->made, 2) << "a fresh output for each clip";
    EXPECT_EQ(rig.record.played, 1);
}

// The events thread's near answer of 0 lands between two passes: the next pass, 10 ms later,
// releases the output (reset: the sound stops) and clears the playing id.
TEST(NpcPlayer, GainZeroStopsWithinOneTenMillisecondPass) {
    Rig rig;
    rig.Queue(43, 255, 1000, 640000);
    const Tick written_at = rig.now;
    const int wait = rig.Pass();
    ASSERT_EQ(rig.out->plays, 1);
    ASSERT_EQ(wait, 10) << "a current item is polled every 10 ms";
    rig.now = written_at + 3;
    ASSERT_TRUE(StoreGainIfPlaying(rig.state, 43, 0));
    const Tick answered = rig.now;
    rig.now = written_at + Tick(wait);
    rig.Pass();
    EXPECT_EQ(rig.out->releases, 1) << "reset and closed by the first pass after the answer";
    EXPECT_EQ(rig.state.playing_id.load(), 0u);
    EXPECT_LE(rig.now - answered, 10u);
    EXPECT_EQ(rig.record.cut, 1);
    EXPECT_EQ(rig.Pass(), 40);
}

TEST(NpcPlayer, DroppedBlockEndsTheItemAtOnce) {
    Rig rig;
    rig.out->fail_play = true;
    rig.Queue(41, 255, 1000);
    rig.Queue(42, 255, 1000);
    rig.Pass();
    EXPECT_EQ(rig.state.playing_id.load(), 0u) << "no block: nothing will ever end it";
    EXPECT_EQ(rig.out->releases, 1);
    EXPECT_EQ(rig.record.dropped, 1);
    rig.out->fail_play = false;
    rig.Pass();
    EXPECT_EQ(rig.state.playing_id.load(), 42u);
}

TEST(NpcPlayer, SessionChangeOrSwitchOffDropsEverything) {
    for (int variant = 0; variant < 2; ++variant) {
        Rig rig;
        rig.Queue(41, 255, 1000);
        rig.Queue(42, 255, 1000);
        rig.Pass();
        ASSERT_EQ(rig.state.playing_id.load(), 41u);
        if (variant == 0) rig.generation = 2;
        else rig.state.enabled.store(false);
        EXPECT_EQ(rig.Pass(), 40);
        EXPECT_EQ(rig.out->releases, 1) << variant;
        EXPECT_EQ(rig.state.playing_id.load(), 0u);
        EXPECT_EQ(rig.state.queued.load(), 0);
        rig.Queue(43, 255, 1000);
        rig.Pass();
        EXPECT_EQ(rig.state.playing_id.load(), variant == 0 ? 43u : 0u) << variant;
    }
}

TEST(NpcPlayer, CtrlNOncePerPressOnlyWithItsConditions) {
    struct Case {
        const char* name;
        bool in_front, chat_free, ui_open;
        bool flips;
    } cases[] = {
        {"all conditions", true, true, false, true},
        {"game behind", false, true, false, false},
        {"chat or dialog open", true, false, false, false},
        {"plugin screen open", true, true, true, false},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.in = {};
        rig.in.game_in_front = c.in_front;
        rig.in.chat_free = c.chat_free;
        rig.in.ui_open = c.ui_open;
        rig.in.ctrl = rig.in.n = true;
        for (int i = 0; i < 3; ++i) rig.Pass();  // held: once per press
        EXPECT_EQ(rig.state.enabled.load(), !c.flips) << c.name;
        EXPECT_EQ(rig.notices.size(), c.flips ? 1u : 0u) << c.name;
        if (c.flips) {
            EXPECT_EQ(rig.notices[0], L"Hlasy NPC vypnuté. Ctrl+N: zapnout.");
        }
    }
    Rig rig;
    auto press = [&rig](bool ctrl, bool n) {
        rig.in.ctrl = ctrl;
        rig.in.n = n;
        rig.Pass();
        rig.in.ctrl = rig.in.n = false;
        rig.Pass();
    };
    press(true, true);
    press(false, true);
    press(true, false);
    press(true, true);
    EXPECT_EQ(rig.notices, (std::vector<std::wstring>{L"Hlasy NPC vypnuté. Ctrl+N: zapnout.",
                                                      L"Hlasy NPC zapnuté. Ctrl+N: vypnout."}));
    EXPECT_TRUE(rig.state.enabled.load());
    // Held while the chat was open, then the chat closes: no toggle until pressed again.
    rig.in.chat_free = false;
    rig.in.ctrl = rig.in.n = true;
    rig.Pass();
    rig.in.chat_free = true;
    rig.Pass();
    EXPECT_TRUE(rig.state.enabled.load());
}

TEST(NpcPlayer, SwitchedOffTheQueuedEventStaysSilent) {
    Rig rig;
    rig.in.ctrl = rig.in.n = true;
    rig.Pass();
    ASSERT_FALSE(rig.state.enabled.load());
    rig.Queue(44, 255, 0);
    rig.Pass();
    EXPECT_EQ(rig.out->plays, 0);
    EXPECT_EQ(rig.state.queued.load(), 0);
}

TEST(NpcPlayer, LeavingReleasesThePlayer) {
    Rig rig;
    rig.Queue(41, 255, 1000);
    rig.Pass();
    EndNpcPlayer(rig.record, rig.state);
    EXPECT_EQ(rig.out->releases, 1);
    EXPECT_EQ(rig.state.playing_id.load(), 0u);
}

}  // namespace
}  // namespace hm
