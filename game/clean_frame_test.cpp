#include "game/clean_frame.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

#include "base/shared_state.h"

namespace hm {
namespace {

// A game image as the one supported build lays it out.
FakeAddressSpace GoodImage() {
    FakeAddressSpace m;
    m.Put(0x400000, {'M', 'Z'});
    m.Put32(0x40003C, 0x100);
    m.Put32(0x400100, 0x00004550);
    m.Put32(0x400100 + 24 + 56, 0x13E250);
    m.Put(kTwoDPassRoutine, std::vector<std::uint8_t>(kTwoDPassBytes, kTwoDPassBytes + 15));
    return m;
}
const RoutinePage kGoodPage{true, 0x1000, 0x40};

TEST(CleanFrameHookChecks, EveryCheckOfTheImageMustHold) {
    EXPECT_TRUE(CleanFrameHookAllowed(GoodImage(), 0x400000, kGoodPage));
    struct Case {
        const char* what;
        void (*spoil)(FakeAddressSpace&, GameAddress&, RoutinePage&);
    } cases[] = {
        {"other base", [](FakeAddressSpace&, GameAddress& b, RoutinePage&) { b = 0x10000000; }},
        {"no MZ", [](FakeAddressSpace& m, GameAddress&, RoutinePage&) { m.Put(0x400000, {'Z', 'M'}); }},
        {"no PE", [](FakeAddressSpace& m, GameAddress&, RoutinePage&) { m.Put32(0x400100, 0x00004551); }},
        {"image too small", [](FakeAddressSpace& m, GameAddress&, RoutinePage&) { m.Put32(0x400100 + 80, 0x13E24F); }},
        {"query failed", [](FakeAddressSpace&, GameAddress&, RoutinePage& p) { p.queried = false; }},
        {"reserved page", [](FakeAddressSpace&, GameAddress&, RoutinePage& p) { p.state = 0x2000; }},
        {"no access", [](FakeAddressSpace&, GameAddress&, RoutinePage& p) { p.protect = 0x01; }},
        {"guard page", [](FakeAddressSpace&, GameAddress&, RoutinePage& p) { p.protect = 0x140; }},
        {"last byte differs", [](FakeAddressSpace& m, GameAddress&, RoutinePage&) { m.Put(kTwoDPassRoutine + 14, {0x21}); }},
        {"routine unreadable", [](FakeAddressSpace& m, GameAddress&, RoutinePage&) { m.Remove(kTwoDPassRoutine + 7, 1); }},
        {"header unreadable", [](FakeAddressSpace& m, GameAddress&, RoutinePage&) { m.Remove(0x40003C, 4); }},
    };
    for (const Case& c : cases) {
        FakeAddressSpace m = GoodImage();
        GameAddress base = 0x400000;
        RoutinePage page = kGoodPage;
        c.spoil(m, base, page);
        EXPECT_FALSE(CleanFrameHookAllowed(m, base, page)) << c.what;
    }
}

void SetCamera(FakeAddressSpace& m, std::uint8_t index, std::uint16_t mode) {
    m.Put(kActiveCameraIndex, {index});
    m.Put(kCameraModes + index * kCameraStride, {std::uint8_t(mode & 0xFF), std::uint8_t(mode >> 8)});
}

TEST(CleanFrameCamera, OnlyTheActiveCamerasViewfinderCounts) {
    FakeAddressSpace m;
    EXPECT_FALSE(CameraInViewfinder(m));  // nothing readable
    SetCamera(m, 0, 46);
    EXPECT_TRUE(CameraInViewfinder(m));
    SetCamera(m, 2, 46);
    EXPECT_TRUE(CameraInViewfinder(m));
    SetCamera(m, 0, 45);
    EXPECT_FALSE(CameraInViewfinder(m));
    SetCamera(m, 0, 46 + 256);  // the high byte counts
    EXPECT_FALSE(CameraInViewfinder(m));
    SetCamera(m, 3, 46);  // index out of range even with mode 46 there
    EXPECT_FALSE(CameraInViewfinder(m));
}

// The hook body with a fake camera, clock and back buffer.
struct CleanFrameFixture : ::testing::Test {
    FakeAddressSpace memory;
    PhotoRequestState photo;
    std::mutex lock;
    std::atomic<bool> connected{true};
    PixelsRef slot_frame;
    int slot_request = 0;
    RenderNoticeOutbox outbox;
    NoticeState notices;
    CleanFrameKeeper keeper;
    int captures = 0;
    bool fail = false;
    CleanFrameInputs in{true, true, true};

    CleanFrameFixture() { SetCamera(memory, 1, 46); }

    void Frame(Tick now) {
        keeper.Run(in, memory, now, photo,
                   [this] {
                       if (fail) throw std::runtime_error("unsupported backbuffer; use 32-bit display <=4096x4096");
                       ++captures;
                       PixelsRef p = MakePixels(2, 2);
                       p->set(0, 0, 0xFF000000u | std::uint32_t(captures));
                       return p;
                   },
                   lock, connected, PhotoSlot{slot_frame, slot_request}, outbox);
    }
    // The Present side of the same frame: time-out, then the notices handed over.
    void Present(Tick now) {
        if (TakeTimedOutPhotoRequest(photo, now)) outbox.Post(kPhotoTimeoutNotice);
        outbox.Flush(lock, notices, now);
    }
};

TEST_F(CleanFrameFixture, ViewfinderFramesAreCapturedAtMostEvery100Ms) {
    Frame(1000);
    Frame(1050);
    Frame(1099);
    EXPECT_EQ(captures, 1);
    Frame(1100);
    EXPECT_EQ(captures, 2);
    EXPECT_EQ(keeper.tick(), 1100u);
    SetCamera(memory, 1, 4);  // behind the character
    Frame(1300);
    EXPECT_EQ(captures, 2);
    EXPECT_NE(keeper.frame(), nullptr);  // still fresh
    Frame(1100 + 1201);
    EXPECT_EQ(keeper.frame(), nullptr);  // too old: dropped
    EXPECT_EQ(keeper.tick(), 0u);
}

TEST_F(CleanFrameFixture, AnyFailedConditionDropsTheFrame) {
    Frame(1000);
    ASSERT_NE(keeper.frame(), nullptr);
    for (int which = 0; which < 3; ++which) {
        Frame(2000);
        ASSERT_NE(keeper.frame(), nullptr);
        CleanFrameInputs saved = in;
        (which == 0 ? in.device_seen : which == 1 ? in.connected : in.game_in_front) = false;
        Frame(2001);
        EXPECT_EQ(keeper.frame(), nullptr) << which;
        EXPECT_EQ(keeper.tick(), 0u) << which;
        in = saved;
    }
}

TEST_F(CleanFrameFixture, APendingRequestIsServedAtOnceByAFreshFrame) {
    Frame(1000);
    ArmPhotoRequest(photo, 5, 1000 + 8000);
    Frame(1010);  // pending: no 100 ms wait
    EXPECT_EQ(captures, 2);
    EXPECT_EQ(photo.request.load(), 0);
    ASSERT_NE(slot_frame, nullptr);
    EXPECT_EQ(slot_request, 5);
    EXPECT_EQ(slot_frame->at(0, 0), 0xFF000002u);
    EXPECT_EQ(keeper.tick(), 0u);
    Present(9000);
    EXPECT_TRUE(notices.current.empty());  // served requests never time out
}

TEST_F(CleanFrameFixture, AReplacedPhotoIsFreedAfterTheLockIsGiven) {
    // An unsent photo still in the slot: its release asks another thread whether the lock is free.
    int freed = 0, lock_was_free = -1;
    slot_frame = PixelsRef(new Pixels(2, 2), [&](Pixels* p) {
        std::thread probe([&] {
            std::unique_lock<std::mutex> g(lock, std::try_to_lock);
            lock_was_free = g.owns_lock();
        });
        probe.join();
        ++freed;
        delete p;
    });
    slot_request = 4;
    Frame(1000);
    ArmPhotoRequest(photo, 5, 9000);
    Frame(1010);
    EXPECT_EQ(slot_request, 5);
    EXPECT_EQ(freed, 1);
    EXPECT_EQ(lock_was_free, 1) << "the old photo was freed while SharedStateLock was held";
}

TEST_F(CleanFrameFixture, OutsideTheViewfinderTheRequestTimesOutWithOneNotice) {
    SetCamera(memory, 0, 16);
    ArmPhotoRequest(photo, 9, 5000);
    for (Tick t = 1000; t < 8000; t += 500) {
        Frame(t);
        Present(t);
    }
    EXPECT_EQ(captures, 0);
    EXPECT_EQ(slot_frame, nullptr);
    EXPECT_EQ(notices.last_accepted, kPhotoTimeoutNotice);
    EXPECT_EQ(photo.request.load(), 0);
    // Taken once: later frames have nothing left to time out.
    notices = NoticeState{};
    Present(9000);
    EXPECT_TRUE(notices.current.empty());
}

TEST_F(CleanFrameFixture, AFrameAfterTheDeadlineDoesNotServeTheRequest) {
    ArmPhotoRequest(photo, 3, 2000);
    SetCamera(memory, 0, 16);
    Frame(1500);
    SetCamera(memory, 0, 46);
    Frame(2000);  // captured, but the deadline has come
    EXPECT_EQ(captures, 1);
    EXPECT_EQ(slot_frame, nullptr);
    EXPECT_EQ(photo.request.load(), 3);  // left for the time-out
    Present(2000);
    EXPECT_EQ(notices.current, kPhotoTimeoutNotice);
}

TEST_F(CleanFrameFixture, ABusyLockDelaysThePhotoButDoesNotLoseIt) {
    ArmPhotoRequest(photo, 4, 10000);
    {
        std::lock_guard<std::mutex> held(lock);
        std::thread game([&] { Frame(1000); });
        game.join();
    }
    EXPECT_EQ(photo.request.load(), 4);
    EXPECT_EQ(slot_frame, nullptr);
    Frame(1010);
    EXPECT_EQ(slot_request, 4);
    EXPECT_NE(slot_frame, nullptr);
}

TEST_F(CleanFrameFixture, DisconnectedUnderTheLockConsumesTheRequestWithoutAPhoto) {
    ArmPhotoRequest(photo, 6, 10000);
    in.connected = true;
    connected = false;  // the session ended between the two reads
    Frame(1000);
    EXPECT_EQ(photo.request.load(), 0);
    EXPECT_EQ(slot_frame, nullptr);
    EXPECT_EQ(slot_request, 0);
}

TEST_F(CleanFrameFixture, ACaptureFailureEndsAPendingRequestWithOneNotice) {
    fail = true;
    Frame(1000);  // no request: silent
    Present(1000);
    EXPECT_TRUE(notices.current.empty());
    ArmPhotoRequest(photo, 8, 10000);
    Frame(1100);
    Frame(1200);
    Present(1200);
    EXPECT_EQ(notices.current, kCleanFrameFailureNotice);
    EXPECT_EQ(photo.request.load(), 0);
    EXPECT_EQ(keeper.frame(), nullptr);
    notices = NoticeState{};
    Present(20000);  // nothing left to time out
    EXPECT_TRUE(notices.current.empty());
}

}  // namespace
}  // namespace hm
