#include "voice/capture.h"

#include <gtest/gtest.h>

#include "voice/mulaw.h"
#include "voice/test_ports.h"

namespace hm {
namespace {

struct CaptureFixture : ::testing::Test {
    VoiceState state;
    CaptureRecord record;
    test::FakeMic mic;
    CaptureNotices last;

    CaptureFixture() { HandOverVoiceToken(state, "token"); }

    static CaptureInputs Focused() {
        CaptureInputs in;
        in.game_in_front = true;
        in.chat_free = true;
        return in;
    }
    static CaptureInputs Holding(bool CaptureInputs::*key) {
        CaptureInputs in = Focused();
        in.*key = true;
        return in;
    }
    void Pass(const CaptureInputs& in) { last = CapturePass(record, state, mic, in); }
    void Record(int index, std::int16_t value, std::size_t samples = kCaptureBufferSamples) {
        mic.done[index] = std::vector<std::int16_t>(samples, value);
    }
    std::size_t Queued() {
        std::lock_guard<std::mutex> hold(state.lock);
        return state.queue.size();
    }
    void Fill(std::size_t n) {
        std::lock_guard<std::mutex> hold(state.lock);
        state.queue.assign(n, 0x55);
    }
};

TEST_F(CaptureFixture, HoldingMOpensTheMicrophoneAndQueuesEncodedSamples) {
    Pass(Holding(&CaptureInputs::m));
    EXPECT_TRUE(mic.IsOpen());
    EXPECT_TRUE(state.capturing.load());
    EXPECT_EQ(state.status_channel.load(), 0);

    Record(0, 1000);
    Record(1, -1000);
    Record(3, 5);  // after a gap: not collected until 2 is done
    Pass(Holding(&CaptureInputs::m));
    {
        std::lock_guard<std::mutex> hold(state.lock);
        ASSERT_EQ(state.queue.size(), 1280u);
        EXPECT_EQ(state.queue.front(), EncodeMuLaw(1000));
        EXPECT_EQ(state.queue.back(), EncodeMuLaw(-1000));
    }
    EXPECT_EQ(record.next_buffer, 2);
    EXPECT_TRUE(mic.done[3].has_value());

    Pass(Focused());  // released
    EXPECT_FALSE(mic.IsOpen());
    EXPECT_FALSE(state.capturing.load());
}

TEST_F(CaptureFixture, CollectsAtMost640SamplesPerBufferAndSkipsAlmostEmptyOnes) {
    Pass(Holding(&CaptureInputs::m));
    Record(0, 7, 700);  // more than a buffer can hold: capped
    Record(1, 7, 1);
    mic.bytes_override[1] = 1;  // one byte recorded: nothing to encode, still handed back
    Pass(Holding(&CaptureInputs::m));
    EXPECT_EQ(Queued(), 640u);
    EXPECT_EQ(mic.requeues, 2);
    EXPECT_EQ(record.next_buffer, 2);
}

TEST_F(CaptureFixture, AllEightBuffersInOnePassWrapTheIndexAndKeepTheNewest6400Bytes) {
    Pass(Holding(&CaptureInputs::m));
    record.next_buffer = 5;
    Fill(6000);
    for (int i = 0; i < kCaptureBuffers; ++i) Record(i, std::int16_t(i * 100));
    Pass(Holding(&CaptureInputs::m));
    EXPECT_EQ(record.next_buffer, 5);
    std::lock_guard<std::mutex> hold(state.lock);
    ASSERT_EQ(state.queue.size(), kCaptureQueueLimit);
    EXPECT_EQ(state.queue.back(), EncodeMuLaw(400));  // buffer 4 came last
    EXPECT_EQ(state.queue[1279], 0x55);  // 6000 + 5120 bytes: the oldest 4720 went
    EXPECT_EQ(state.queue[1280], EncodeMuLaw(500));  // buffer 5 came first
}

TEST_F(CaptureFixture, KeyHeldBeforeTheConditionsHoldNeverTransmitsUntilPressedAgain) {
    struct Case { const char* name; void (*spoil)(CaptureInputs&, VoiceState&); };
    const Case cases[] = {
        {"chat open", [](CaptureInputs& in, VoiceState&) { in.chat_free = false; }},
        {"plugin screen", [](CaptureInputs& in, VoiceState&) { in.ui_open = true; }},
        {"photo shown", [](CaptureInputs& in, VoiceState&) { in.photo_visible = true; }},
        {"game behind", [](CaptureInputs& in, VoiceState&) { in.game_in_front = false; }},
        {"switched off", [](CaptureInputs&, VoiceState& s) { s.enabled.store(false); }},
        {"no token", [](CaptureInputs&, VoiceState& s) { HandOverVoiceToken(s, ""); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VoiceState state;
        HandOverVoiceToken(state, "token");
        CaptureRecord record;
        test::FakeMic mic;
        CaptureInputs spoiled = Holding(&CaptureInputs::m);
        c.spoil(spoiled, state);
        CapturePass(record, state, mic, spoiled);
        EXPECT_FALSE(mic.IsOpen());
        state.enabled.store(true);
        HandOverVoiceToken(state, "token");
        CapturePass(record, state, mic, Holding(&CaptureInputs::m));  // conditions back, M still held
        EXPECT_FALSE(mic.IsOpen());
        CapturePass(record, state, mic, Focused());
        CapturePass(record, state, mic, Holding(&CaptureInputs::m));
        EXPECT_TRUE(mic.IsOpen());

        // Lost while talking: stops, clears the queue, does not resume while held.
        {
            std::lock_guard<std::mutex> hold(state.lock);
            state.queue.assign(300, 1);
        }
        spoiled = Holding(&CaptureInputs::m);
        c.spoil(spoiled, state);
        CapturePass(record, state, mic, spoiled);
        EXPECT_FALSE(mic.IsOpen());
        EXPECT_FALSE(state.capturing.load());
        state.enabled.store(true);
        HandOverVoiceToken(state, "token");
        CapturePass(record, state, mic, Holding(&CaptureInputs::m));
        EXPECT_FALSE(mic.IsOpen());
        std::lock_guard<std::mutex> hold(state.lock);
        EXPECT_TRUE(state.queue.empty());
    }
}

TEST_F(CaptureFixture, KeyOrderAndTheCapabilityMaskDecideTheChannel) {
    struct Case { int mask; bool bang, plus, minus, m; int channel; bool open; };
    const Case cases[] = {
        {1, true, false, false, true, 1, false},   // "!" wins over M even when not allowed
        {3, true, false, false, true, 1, true},    {1, false, true, false, false, 2, false},
        {5, false, true, true, true, 2, true},     {9, false, false, true, true, 3, true},
        {1, false, false, false, true, 0, true},   {17, false, false, false, false, 4, true},
        {1, false, false, false, false, 0, false},
    };
    for (const Case& c : cases) {
        VoiceState state;
        HandOverVoiceToken(state, "token");
        state.capability_mask.store(c.mask);
        CaptureRecord record;
        test::FakeMic mic;
        CaptureInputs in = Focused();
        in.bang = c.bang, in.plus = c.plus, in.minus = c.minus, in.m = c.m;
        CapturePass(record, state, mic, in);
        EXPECT_EQ(state.status_channel.load(), c.channel) << c.mask;
        EXPECT_EQ(state.selected_channel, c.channel) << c.mask;
        EXPECT_EQ(mic.IsOpen(), c.open) << c.mask << " channel " << c.channel;
    }
}

TEST_F(CaptureFixture, CtrlMTogglesOncePerPressWithItsNoticesAndNeverTransmits) {
    CaptureInputs ctrl_m = Holding(&CaptureInputs::m);
    ctrl_m.ctrl = true;
    Pass(ctrl_m);
    EXPECT_FALSE(state.enabled.load());
    EXPECT_STREQ(last.toggle, L"Hlasový chat vypnutý. Ctrl+M: zapnout.");
    Pass(ctrl_m);
    EXPECT_EQ(last.toggle, nullptr);
    EXPECT_FALSE(state.enabled.load());
    Pass(Focused());
    Pass(ctrl_m);
    EXPECT_STREQ(last.toggle, L"Hlasový chat zapnutý. Pro mluvení podrž M.");
    EXPECT_TRUE(state.enabled.load());
    EXPECT_FALSE(mic.IsOpen());
    Pass(Holding(&CaptureInputs::m));  // Ctrl let go, M still held: not a new press
    EXPECT_FALSE(mic.IsOpen());
    EXPECT_EQ(mic.opens, 0);

    CaptureInputs unfocused = ctrl_m;
    unfocused.chat_free = false;
    Pass(Focused());
    Pass(unfocused);
    EXPECT_EQ(last.toggle, nullptr);
    EXPECT_TRUE(state.enabled.load());
}

TEST_F(CaptureFixture, PhoneCallNeedsNoKeyAndCtrlPausesIt) {
    state.capability_mask.store(1 | 16);
    Pass(Focused());
    EXPECT_TRUE(mic.IsOpen());
    EXPECT_EQ(state.status_channel.load(), 4);
    CaptureInputs ctrl = Focused();
    ctrl.ctrl = true;
    Pass(ctrl);
    EXPECT_FALSE(mic.IsOpen());
    Pass(Focused());
    EXPECT_TRUE(mic.IsOpen());
    CaptureInputs chat = Focused();
    chat.chat_free = false;
    Pass(chat);
    EXPECT_FALSE(mic.IsOpen());
    Pass(Focused());
    EXPECT_TRUE(mic.IsOpen());  // keyless: resumes as soon as the conditions hold
}

TEST_F(CaptureFixture, SwitchingFromMToPlusClosesClearsAndReopensOnChannelTwo) {
    state.capability_mask.store(1 | 4);
    Pass(Holding(&CaptureInputs::m));
    Record(0, 300);
    Pass(Holding(&CaptureInputs::m));
    EXPECT_EQ(Queued(), 640u);
    CaptureInputs both = Holding(&CaptureInputs::m);
    both.plus = true;
    Pass(both);
    EXPECT_EQ(mic.closes, 1);
    EXPECT_EQ(mic.opens, 2);
    EXPECT_TRUE(mic.IsOpen());
    EXPECT_EQ(Queued(), 0u);
    EXPECT_EQ(state.selected_channel, 2);
    EXPECT_EQ(record.next_buffer, 0);
    Pass(Holding(&CaptureInputs::m));  // back to M, which was never released: silent
    EXPECT_FALSE(mic.IsOpen());
    EXPECT_EQ(state.selected_channel, 0);
}

TEST_F(CaptureFixture, AMicrophoneThatWillNotOpenGivesOneNoticePerPress) {
    mic.fail_open = true;
    Pass(Holding(&CaptureInputs::m));
    EXPECT_STREQ(last.microphone, L"Mikrofon nelze otevřít. Zkontroluj výchozí mikrofon a oprávnění Windows.");
    for (int i = 0; i < 5; ++i) {
        Pass(Holding(&CaptureInputs::m));
        EXPECT_EQ(last.microphone, nullptr);
    }
    EXPECT_EQ(mic.opens, 1);
    EXPECT_FALSE(state.capturing.load());
    Pass(Focused());
    Pass(Holding(&CaptureInputs::m));
    EXPECT_NE(last.microphone, nullptr);
    EXPECT_EQ(mic.opens, 2);
    EXPECT_EQ(state.microphone_failures.load(), 2);
}

TEST_F(CaptureFixture, ARefusedBufferIsAFailedMicrophoneNeverShownAsTransmitting) {
    Pass(Holding(&CaptureInputs::m));
    mic.fail_requeue = true;
    Record(0, 10);
    Pass(Holding(&CaptureInputs::m));
    EXPECT_FALSE(mic.IsOpen());
    EXPECT_FALSE(state.capturing.load());
    EXPECT_NE(last.microphone, nullptr);
    Pass(Holding(&CaptureInputs::m));
    EXPECT_EQ(last.microphone, nullptr);
    EXPECT_EQ(mic.opens, 1);  // no reopening in this press
}

TEST_F(CaptureFixture, EndClosesTheMicrophone) {
    Pass(Holding(&CaptureInputs::m));
    EndCapture(record, state, mic);
    EXPECT_FALSE(mic.IsOpen());
    EXPECT_FALSE(state.capturing.load());
}

TEST(VoiceStateHandOver, ANewTokenEmptiesTheQueueDropsCapturingAndWithdrawsChannels) {
    VoiceState state;
    HandOverVoiceToken(state, "a");
    const std::uint32_t g = state.generation.load();
    state.queue.assign(500, 1);
    state.capturing.store(true);
    state.capability_mask.store(35);
    HandOverVoiceToken(state, "a");  // same token: nothing happens
    EXPECT_EQ(state.queue.size(), 500u);
    EXPECT_EQ(state.generation.load(), g);
    HandOverVoiceToken(state, "b");
    EXPECT_TRUE(state.queue.empty());
    EXPECT_FALSE(state.capturing.load());
    EXPECT_EQ(state.capability_mask.load(), 1);
    EXPECT_EQ(state.generation.load(), g + 1);
}

}  // namespace
}  // namespace hm
