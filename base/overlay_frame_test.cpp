// Publishing the overlay frame: comparison, versions, the empty frame, the render thread's
// non-waiting read.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <thread>

#include "base/overlay_frame.h"

namespace hm {
namespace {

std::shared_ptr<Pixels> Frame(std::uint32_t w, std::uint32_t h, std::uint8_t fill) {
    auto p = std::make_shared<Pixels>(w, h);
    std::fill(p->data(), p->data() + p->size_bytes(), fill);
    return p;
}

TEST(OverlayPublish, OnlyChangedFramesMoveTheVersion) {
    OverlayState s;
    EXPECT_TRUE(IsEmptyFrame(s.frame));
    EXPECT_TRUE(PublishOverlayFrame(s, Frame(810, 760, 7)));
    EXPECT_EQ(s.version.load(), 1);

    EXPECT_FALSE(PublishOverlayFrame(s, Frame(810, 760, 7))) << "equal bytes in another picture";
    EXPECT_EQ(s.version.load(), 1);

    auto last_byte = Frame(810, 760, 7);
    last_byte->data()[last_byte->size_bytes() - 1] = 8;
    EXPECT_TRUE(PublishOverlayFrame(s, last_byte));
    EXPECT_EQ(s.version.load(), 2);
    EXPECT_EQ(s.frame.get(), last_byte.get());

    // Same byte count, other shape.
    EXPECT_TRUE(PublishOverlayFrame(s, Frame(20, 10, 0)));
    EXPECT_TRUE(PublishOverlayFrame(s, Frame(10, 20, 0)));
    EXPECT_EQ(s.version.load(), 4);

    EXPECT_TRUE(PublishOverlayFrame(s, Frame(10, 20, 0), PublishRule::kAlways));
    EXPECT_EQ(s.version.load(), 5);
}

TEST(OverlayPublish, EmptyFrameOnCloseDropsTheCursorAndAlwaysMovesTheVersion) {
    OverlayState s;
    s.plugin_cursor_visible = true;
    PublishOverlayFrame(s, Frame(4, 4, 1));
    PublishEmptyOverlayFrame(s);
    EXPECT_TRUE(IsEmptyFrame(s.frame));
    ASSERT_TRUE(s.frame);
    EXPECT_EQ(s.frame->width(), 0u);
    EXPECT_FALSE(s.plugin_cursor_visible.load());
    EXPECT_EQ(s.version.load(), 2);
    PublishEmptyOverlayFrame(s);
    EXPECT_EQ(s.version.load(), 3);
    // An empty frame equals the null frame of a fresh state, and a second empty one.
    EXPECT_FALSE(PublishOverlayFrame(s, nullptr));
    EXPECT_FALSE(PublishOverlayFrame(s, Frame(0, 0, 0)));
    EXPECT_TRUE(PublishOverlayFrame(s, Frame(1, 1, 0)));
}

TEST(OverlayTake, RenderThreadGetsEachVersionOnceAndKeepsItsFrameAcrossPublications) {
    OverlayState s;
    FrameRef mine;
    int seen = 0;
    EXPECT_FALSE(TakeOverlayFrame(s, seen, mine, seen)) << "nothing published yet";

    auto first = Frame(8, 8, 1);
    PublishOverlayFrame(s, first);
    ASSERT_TRUE(TakeOverlayFrame(s, seen, mine, seen));
    EXPECT_EQ(seen, 1);
    EXPECT_EQ(mine.get(), first.get());
    EXPECT_FALSE(TakeOverlayFrame(s, seen, mine, seen));

    first.reset();
    PublishOverlayFrame(s, Frame(8, 8, 2));
    EXPECT_EQ(mine->data()[0], 1) << "the texture's source is not touched by a later publication";
    ASSERT_TRUE(TakeOverlayFrame(s, seen, mine, seen));
    EXPECT_EQ(mine->data()[0], 2);
    EXPECT_EQ(seen, 2);
}

TEST(OverlayTake, BusyLockReturnsAtOnceAndTheVersionIsTakenLater) {
    OverlayState s;
    PublishOverlayFrame(s, Frame(8, 8, 3));
    std::mutex m;
    std::condition_variable cv;
    bool held = false, release = false;
    std::thread holder([&] {
        std::lock_guard<std::mutex> frame_lock(s.lock);
        std::unique_lock<std::mutex> g(m);
        held = true;
        cv.notify_all();
        cv.wait(g, [&] { return release; });
    });
    {
        std::unique_lock<std::mutex> g(m);
        cv.wait(g, [&] { return held; });
    }
    FrameRef mine;
    int seen = 0;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(TakeOverlayFrame(s, seen, mine, seen));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(seen, 0);
    EXPECT_FALSE(mine);
    {
        std::lock_guard<std::mutex> g(m);
        release = true;
    }
    cv.notify_all();
    holder.join();
    EXPECT_TRUE(TakeOverlayFrame(s, seen, mine, seen));
    EXPECT_EQ(seen, 1);
}

TEST(OverlayPublish, ConcurrentReaderAlwaysSeesAWholeFrameOfItsVersion) {
    OverlayState s;
    std::atomic<bool> done{false};
    std::atomic<int> bad{0};
    std::thread reader([&] {
        FrameRef f;
        int seen = 0;
        while (!done) {
            if (TakeOverlayFrame(s, seen, f, seen) && !IsEmptyFrame(f)) {
                const std::uint8_t v = f->data()[0];
                for (std::size_t i = 0; i < f->size_bytes(); ++i)
                    if (f->data()[i] != v) ++bad;
            }
        }
    });
    for (int i = 0; i < 300; ++i) PublishOverlayFrame(s, Frame(64, 64, std::uint8_t(i)));
    done = true;
    reader.join();
    EXPECT_EQ(bad.load(), 0);
    EXPECT_EQ(s.version.load(), 300);
}

}  // namespace
}  // namespace hm
