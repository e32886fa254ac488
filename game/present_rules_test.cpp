#include "game/present_rules.h"

#include <gtest/gtest.h>

#include <thread>

#include "base/shared_state.h"

namespace hm {
namespace {

TEST(OverlayPlacement, ScaleComesFromTheTighterAxisAndTheCanvasIsCentred) {
    struct Case {
        float vw, vh, scale;
    } cases[] = {
        {800, 600, 0.9f * 600 / 760},     // height decides
        {1920, 1080, 0.9f * 1080 / 760},  // height decides
        {1000, 1000, 0.9f},               // width decides, measured against 1000, not 810
        {640, 1080, 0.9f * 640 / 1000},
    };
    for (const Case& c : cases) {
        const CanvasPlacement p = PlaceOverlay(c.vw, c.vh);
        EXPECT_FLOAT_EQ(p.scale, c.scale) << c.vw << "x" << c.vh;
        EXPECT_FLOAT_EQ(p.offset_x, (c.vw - 810 * c.scale) / 2) << c.vw << "x" << c.vh;
        EXPECT_FLOAT_EQ(p.offset_y, (c.vh - 760 * c.scale) / 2) << c.vw << "x" << c.vh;
    }
}

TEST(OverlayPlacement, QuadCoversTheScaledCanvasHalfAPixelUpLeft) {
    const CanvasPlacement p{0.5f, 100.0f, 20.0f};
    const auto q = OverlayQuad(p);
    EXPECT_FLOAT_EQ(q[0].x, 99.5f);
    EXPECT_FLOAT_EQ(q[0].y, 19.5f);
    EXPECT_FLOAT_EQ(q[3].x, 100.0f + 405.0f - 0.5f);
    EXPECT_FLOAT_EQ(q[3].y, 20.0f + 380.0f - 0.5f);
    EXPECT_FLOAT_EQ(q[1].x, q[3].x);
    EXPECT_FLOAT_EQ(q[1].y, q[0].y);
    EXPECT_FLOAT_EQ(q[2].x, q[0].x);
    EXPECT_FLOAT_EQ(q[2].y, q[3].y);
    const float uv[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(q[std::size_t(i)].u, uv[i][0]);
        EXPECT_EQ(q[std::size_t(i)].v, uv[i][1]);
    }
}

TEST(PluginCursor, HotSpotMapsCanvasPointsAndTheArrowHasAMinimumSize) {
    const CanvasPlacement p{0.5f, 10.0f, 30.0f};
    float x = 0, y = 0;
    CursorHotSpot(p, 200, 100, x, y);
    EXPECT_FLOAT_EQ(x, 110.0f);
    EXPECT_FLOAT_EQ(y, 80.0f);

    for (float scale : {0.5f, 0.65f, 1.5f}) {
        const float unit = scale < 0.65f ? 0.65f : scale;
        const auto t = CursorTriangles(x, y, scale);
        EXPECT_FLOAT_EQ(t[0].x, x);  // the hot spot itself
        EXPECT_FLOAT_EQ(t[0].y, y);
        EXPECT_FLOAT_EQ(t[2].x, x + 17 * unit);
        EXPECT_FLOAT_EQ(t[2].y, y + 15 * unit);
        EXPECT_FLOAT_EQ(t[4].y, y + 28 * unit);  // the tail's lowest point
        EXPECT_FLOAT_EQ(t[17].x, x + 13 * unit);
        EXPECT_FLOAT_EQ(t[15].y, y + 4 * unit);
        for (int i = 0; i < 18; ++i) EXPECT_EQ(t[std::size_t(i)].colour, i < 9 ? kCursorDark : kCursorLight) << i;
    }
}

TEST(ScreenRegion, CutFollowsTheBackBufferSize) {
    struct Case {
        std::uint32_t w, h;
        RegionCut cut;
        bool fits;
    } cases[] = {
        {640, 448, {178, 106, 267, 275}, true},
        {800, 600, {222, 141, 333, 368}, true},
        {4096, 4096, {1139, 969, 1708, 2514}, true},
        {2, 448, {0, 106, 0, 275}, false},  // empty width
        {640, 1, {178, 0, 267, 0}, false},
    };
    for (const Case& c : cases) {
        const RegionCut r = CutScreenRegion(c.w, c.h);
        EXPECT_EQ(r.x, c.cut.x);
        EXPECT_EQ(r.y, c.cut.y);
        EXPECT_EQ(r.width, c.cut.width);
        EXPECT_EQ(r.height, c.cut.height);
        EXPECT_EQ(RegionFits(r, c.w, c.h), c.fits) << c.w << "x" << c.h;
    }
    EXPECT_FALSE(RegionFits({600, 0, 100, 10}, 640, 448));  // runs past the right edge
    EXPECT_FALSE(RegionFits({0, 440, 10, 10}, 640, 448));
}

TEST(ScreenRegion, AChangedRequestWaits150MsAndIsServedOnce) {
    ScreenRegionTracker t;
    // One frame: the render thread reads when due and marks the id after a read that worked.
    auto frame = [&t](int id, Tick now) {
        if (!t.Due(id, now)) return false;
        t.Served(id);
        return true;
    };
    EXPECT_FALSE(frame(0, 1000));
    EXPECT_FALSE(frame(1, 1000));  // seen now
    EXPECT_FALSE(frame(1, 1149));
    EXPECT_TRUE(frame(1, 1150));
    EXPECT_FALSE(frame(1, 1151));  // served
    EXPECT_FALSE(frame(1, 5000));
    EXPECT_FALSE(frame(2, 5000));  // a new id waits again
    EXPECT_TRUE(frame(2, 5150));
    // A negative id neither serves nor forgets the served id; only 0 does.
    EXPECT_FALSE(frame(-1, 6000));
    EXPECT_FALSE(frame(2, 6000));
    EXPECT_FALSE(frame(2, 6200));
    EXPECT_FALSE(frame(0, 7000));
    EXPECT_FALSE(frame(2, 7000));
    EXPECT_TRUE(frame(2, 7150));  // the same id asked anew after 0
}

TEST(ScreenRegion, AReadThatFailedIsTriedAgainNextFrame) {
    ScreenRegionTracker t;
    EXPECT_FALSE(t.Due(3, 0));
    EXPECT_TRUE(t.Due(3, 150));  // the read throws: not marked
    EXPECT_TRUE(t.Due(3, 160));
    t.Served(3);
    EXPECT_FALSE(t.Due(3, 170));
}

TEST(PhotoTimeout, OnlyAPendingDueRequestIsTakenAndOnlyOnce) {
    PhotoRequestState s;
    EXPECT_FALSE(TakeTimedOutPhotoRequest(s, 10000));  // nothing pending
    ArmPhotoRequest(s, 7, 5000);
    EXPECT_FALSE(TakeTimedOutPhotoRequest(s, 4999));
    EXPECT_TRUE(TakeTimedOutPhotoRequest(s, 5000));
    EXPECT_EQ(s.request.load(), 0);
    EXPECT_FALSE(TakeTimedOutPhotoRequest(s, 5001));
}

TEST(PhotoTimeout, TwoRacingTakersConsumeOneRequestOnce) {
    PhotoRequestState s;
    for (int round = 0; round < 200; ++round) {
        ArmPhotoRequest(s, round + 1, 0);
        int taken[2] = {0, 0};
        std::thread a([&] { taken[0] = TakeTimedOutPhotoRequest(s, 1); });
        std::thread b([&] { taken[1] = TakeTimedOutPhotoRequest(s, 1); });
        a.join();
        b.join();
        ASSERT_EQ(taken[0] + taken[1], 1) << "round " << round;
    }
}

TEST(PhotoTimeout, ARequestArmedBetweenTheCheckAndTheTakeIsKept) {
    PhotoRequestState s;
    ArmPhotoRequest(s, 7, 5000);
    const int due = DueTimedOutPhotoRequest(s, 6000);
    ASSERT_EQ(due, 7);
    ArmPhotoRequest(s, 8, 60000);  // the worker arms the next shot just now
    EXPECT_FALSE(TakePhotoRequest(s, due)) << "the new request was taken for a time-out";
    EXPECT_EQ(s.request.load(), 8);
    EXPECT_FALSE(TakeTimedOutPhotoRequest(s, 6000));  // its own deadline is far off
    EXPECT_TRUE(TakeTimedOutPhotoRequest(s, 60000));
}

TEST(PairingCommand, SentOnlyWhenEveryConditionHoldsAndAtMostEvery3s) {
    PairingInputs all;
    all.connected = all.consent_given = all.game_in_front = all.chat_free = true;
    struct Case {
        const char* what;
        void (*change)(PairingInputs&);
    } cases[] = {
        {"not connected", [](PairingInputs& i) { i.connected = false; }},
        {"no consent", [](PairingInputs& i) { i.consent_given = false; }},
        {"computer UI running", [](PairingInputs& i) { i.computer_ui_running = true; }},
        {"game not in front", [](PairingInputs& i) { i.game_in_front = false; }},
        {"chat or dialog open", [](PairingInputs& i) { i.chat_free = false; }},
    };
    for (const Case& c : cases) {
        PairingInputs in = all;
        c.change(in);
        Tick next = 0;
        EXPECT_EQ(PairingCommandLine(in, 1000, next, "ab12"), "") << c.what;
        EXPECT_EQ(next, 0u) << c.what;
    }
    Tick next = 0;
    EXPECT_EQ(PairingCommandLine(all, 1000, next, ""), "");  // no code waits
    EXPECT_EQ(next, 0u);
    EXPECT_EQ(PairingCommandLine(all, 1000, next, "ab12"), "/hmpluginbind ab12");
    EXPECT_EQ(next, 4000u);
    EXPECT_EQ(PairingCommandLine(all, 3999, next, "ab12"), "");
    EXPECT_EQ(PairingCommandLine(all, 4000, next, "ab12"), "/hmpluginbind ab12");
    EXPECT_EQ(next, 7000u);
}

// Counts the dear probes a frame runs.
struct ProbeCounter {
    static inline int front = 0, chat = 0;
    static bool Front() { return ++front, true; }
    static bool Chat() { return ++chat, true; }
};

TEST(PairingCommand, NoProbeRunsUntilTheTimerAndABindCodeSayTheCommandMayGo) {
    PairingInputs flags;
    flags.connected = flags.consent_given = true;
    const PairingProbes probes{&ProbeCounter::Front, &ProbeCounter::Chat};
    std::mutex lock;
    struct Case {
        const char* what;
        std::string code;
        Tick now;
        bool lock_busy;
        int probes_expected;
        const char* line;
    } cases[] = {
        {"no code waits", "", 5000, false, 0, ""},
        {"timer not due", "ab12", 3999, false, 0, ""},
        {"lock busy", "ab12", 5000, true, 0, ""},
        {"everything holds", "ab12", 5000, false, 2, "/hmpluginbind ab12"},
    };
    for (const Case& c : cases) {
        ProbeCounter::front = ProbeCounter::chat = 0;
        Tick next = 4000;
        std::string line;
        if (c.lock_busy) {
            std::lock_guard<std::mutex> held(lock);
            std::thread render([&] { line = PairingCommandStep(flags, c.now, next, lock, c.code, probes); });
            render.join();
        } else {
            line = PairingCommandStep(flags, c.now, next, lock, c.code, probes);
        }
        EXPECT_EQ(line, c.line) << c.what;
        EXPECT_EQ(ProbeCounter::front + ProbeCounter::chat, c.probes_expected) << c.what;
    }
    // A game in the background never asks SA-MP.
    ProbeCounter::chat = 0;
    Tick next = 0;
    const PairingProbes behind{[] { return false; }, &ProbeCounter::Chat};
    EXPECT_EQ(PairingCommandStep(flags, 5000, next, lock, "ab12", behind), "");
    EXPECT_EQ(ProbeCounter::chat, 0);
    EXPECT_EQ(next, 0u);
}

TEST(RenderNotices, ABusyLockKeepsTheNoticeForALaterFrame) {
    std::mutex lock;
    NoticeState notices;
    RenderNoticeOutbox outbox;
    outbox.Post(kFrameFailureNotice);
    outbox.Post(kFrameFailureNotice);  // the same failure every frame is one notice
    {
        std::lock_guard<std::mutex> held(lock);
        std::thread other([&] { EXPECT_FALSE(outbox.Flush(lock, notices, 100)); });
        other.join();
    }
    EXPECT_FALSE(outbox.empty());
    EXPECT_TRUE(notices.current.empty());
    EXPECT_TRUE(outbox.Flush(lock, notices, 200));
    EXPECT_TRUE(outbox.empty());
    EXPECT_EQ(notices.current, kFrameFailureNotice);

    // More notices than slots: the newest survive, in order.
    outbox.Post(kPhotoTimeoutNotice);
    outbox.Post(kCleanFrameFailureNotice);
    outbox.Post(L"a");
    outbox.Post(L"b");
    outbox.Post(kFrameFailureNotice);
    EXPECT_TRUE(outbox.Flush(lock, notices, 300));
    EXPECT_EQ(notices.current, kFrameFailureNotice);
}

}  // namespace
}  // namespace hm
