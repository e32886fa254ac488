#include "photos/photo_rules.h"

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <thread>

namespace hm {
namespace {

TEST(JpegTargetSize, LimitsTo1280x720InExactArithmeticAndNeverEnlarges) {
    struct Case {
        std::uint32_t w, h, want_w, want_h;
    } cases[] = {
        {1920, 1080, 1280, 720},  // a float factor gives 1279 here
        {1280, 1024, 900, 720},
        {800, 600, 800, 600},
        {1280, 720, 1280, 720},
        {1281, 720, 1280, 719},
        {1280, 721, 1278, 720},
        {4096, 1, 1280, 1},
        {1, 4096, 1, 720},
        {1, 1, 1, 1},
        {3840, 2160, 1280, 720},
        {2560, 1080, 1280, 540},
        {4096, 4096, 720, 720},
    };
    for (const Case& c : cases) {
        const PictureSize got = JpegTargetSize(c.w, c.h);
        EXPECT_EQ(got.width, c.want_w) << c.w << "x" << c.h;
        EXPECT_EQ(got.height, c.want_h) << c.w << "x" << c.h;
    }
}

TEST(JpegTargetSize, EverySizeUpTo4096StaysInsideTheLimitAndKeepsTheLimitingSideFull) {
    for (std::uint32_t w = 1; w <= 4096; w += 37) {
        for (std::uint32_t h = 1; h <= 4096; h += 41) {
            const PictureSize t = JpegTargetSize(w, h);
            ASSERT_GE(t.width, 1u);
            ASSERT_GE(t.height, 1u);
            ASSERT_LE(t.width, std::min(w, kPhotoMaxWidth));
            ASSERT_LE(t.height, std::min(h, kPhotoMaxHeight));
            if (w > kPhotoMaxWidth || h > kPhotoMaxHeight) {
                ASSERT_TRUE(t.width == kPhotoMaxWidth || t.height == kPhotoMaxHeight) << w << "x" << h;
            }
        }
    }
}

TEST(PhotoFileName, TickDashShotJpg) {
    EXPECT_EQ(PhotoFileName(123456, 7), L"123456-7.jpg");
    EXPECT_EQ(PhotoFileName(18446744073709551615ull, 2147483647), L"18446744073709551615-2147483647.jpg");
    EXPECT_EQ(PhotoFileName(5, -3), L"5--3.jpg");
}

TEST(StorePhoto, ATakenNameIsNeverReplacedTheNextTickIsTried) {
    std::set<std::wstring> folder = {L"100-4.jpg", L"101-4.jpg"};
    auto create = [&](const std::wstring& name, const std::string&) { return folder.insert(name).second; };
    EXPECT_EQ(StorePhoto(create, 100, 4, "jpeg"), L"102-4.jpg");
    EXPECT_EQ(StorePhoto(create, 200, 4, "jpeg"), L"200-4.jpg");
}

TEST(StorePhoto, AnyWriteFailureBecomesLocalPhotoWriteFailed) {
    auto failing = [](const std::wstring&, const std::string&) -> bool { throw std::runtime_error("disk full"); };
    try {
        StorePhoto(failing, 1, 1, "x");
        FAIL() << "no throw";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "local photo write failed");
    }
    auto always_taken = [](const std::wstring&, const std::string&) { return false; };
    EXPECT_THROW(StorePhoto(always_taken, 1, 1, "x"), std::runtime_error);
}

TEST(RequestPhoto, OnlyARisingShotArmsTheRequestWithItsDeadline) {
    PhotoRequestState state;
    int last = 0;
    EXPECT_TRUE(RequestPhoto(state, 5, 1000, last));
    EXPECT_EQ(state.request.load(), 5);
    EXPECT_EQ(state.deadline.load(), 2500u);
    state.request.store(0);  // served
    EXPECT_FALSE(RequestPhoto(state, 5, 2000, last));
    EXPECT_FALSE(RequestPhoto(state, 4, 2000, last));
    EXPECT_EQ(state.request.load(), 0);
    EXPECT_TRUE(RequestPhoto(state, 2147483647, 3000, last));
    EXPECT_EQ(state.request.load(), 2147483647);
    EXPECT_EQ(last, 2147483647);
}

TEST(TakePhotoFrame, MovesThePictureOutWithoutCopyingAndEmptiesTheSlot) {
    SharedState shared;
    EXPECT_EQ(TakePhotoFrame(shared).request, 0);
    PixelsRef frame = MakePixels(4, 2);
    const Pixels* address = frame.get();
    shared.photo_frame = frame;
    shared.photo_frame_request = 9;
    frame.reset();
    TakenPhotoFrame taken = TakePhotoFrame(shared);
    EXPECT_EQ(taken.request, 9);
    EXPECT_EQ(taken.picture.get(), address);
    EXPECT_EQ(taken.picture.use_count(), 1);
    EXPECT_EQ(shared.photo_frame, nullptr);
    EXPECT_EQ(shared.photo_frame_request, 0);
    EXPECT_EQ(TakePhotoFrame(shared).request, 0);
}

void ExpectBox(const ScreenBox& b, float x, float y, float w, float h) {
    EXPECT_NEAR(b.x, x, 0.01f);
    EXPECT_NEAR(b.y, y, 0.01f);
    EXPECT_NEAR(b.width, w, 0.01f);
    EXPECT_NEAR(b.height, h, 0.01f);
}

TEST(LayOutShownPhoto, BackdropCloseMarkAndFittedPhotoAt640x480And1920x1080) {
    const ShownPhotoLayout small = LayOutShownPhoto(640, 480, 1280, 720);
    ExpectBox(small.backdrop, 178, 106, 267, 275);
    ExpectBox(small.close_mark, 426, 480.f * 101 / 448, 17, 480.f * 17 / 448);
    // 1280 x 720 in 267 x 275: the width limits (267 / 1280), height 150.19, centred vertically.
    ExpectBox(small.photo, 178, 106 + (275 - 150.1875f) / 2, 267, 150.1875f);

    const ShownPhotoLayout wide = LayOutShownPhoto(1920, 1080, 1280, 720);
    ExpectBox(wide.backdrop, 534, 238.5f, 801, 618.75f);
    ExpectBox(wide.close_mark, 1278, 243.482f, 51, 40.982f);
    ExpectBox(wide.photo, 534, 238.5f + (618.75f - 450.5625f) / 2, 801, 450.5625f);

    // A tall photo is limited by the height and centred horizontally.
    const ShownPhotoLayout tall = LayOutShownPhoto(640, 480, 100, 500);
    ExpectBox(tall.photo, 178 + (267 - 55.f) / 2, 106, 55, 275);
}

TEST(MakeCloseMark, GreyWithALightDiagonalCrossInTheMiddleOpaque) {
    PixelsRef mark = MakeCloseMark();
    ASSERT_EQ(mark->width(), 32u);
    ASSERT_EQ(mark->height(), 32u);
    int light = 0;
    for (std::uint32_t y = 0; y < 32; ++y)
        for (std::uint32_t x = 0; x < 32; ++x) {
            const std::uint32_t p = mark->at(x, y);
            EXPECT_TRUE(p == 0xFF2D2D2Du || p == 0xFFF5F5F5u) << x << "," << y;
            light += p == 0xFFF5F5F5u;
        }
    EXPECT_EQ(light, 32);
    EXPECT_EQ(mark->at(8, 8), 0xFFF5F5F5u);
    EXPECT_EQ(mark->at(23, 8), 0xFFF5F5F5u);
    EXPECT_EQ(mark->at(8, 23), 0xFFF5F5F5u);
    EXPECT_EQ(mark->at(23, 23), 0xFFF5F5F5u);
    EXPECT_EQ(mark->at(7, 7), 0xFF2D2D2Du);
    EXPECT_EQ(mark->at(24, 24), 0xFF2D2D2Du);
}

TEST(ShownPhotoSync, CopiesOnlyWhenTheVersionMovesAndKeepsLastFrameWhenBusy) {
    SharedState shared;
    ShownPhotoSync sync;
    PixelsRef got;
    EXPECT_EQ(sync.Refresh(shared, got), ShownPhotoSync::Poll::Changed);  // first look at a device
    EXPECT_FALSE(sync.has_photo());
    EXPECT_EQ(sync.Refresh(shared, got), ShownPhotoSync::Poll::Unchanged);

    PixelsRef photo = MakePixels(2, 2);
    shared.shown_photo = photo;
    EXPECT_EQ(sync.Refresh(shared, got), ShownPhotoSync::Poll::Unchanged);  // no version bump, no copy
    ++shared.shown_photo_version;
    {
        std::unique_lock<std::mutex> worker(shared.lock);
        std::thread render([&] { EXPECT_EQ(sync.Refresh(shared, got), ShownPhotoSync::Poll::Busy); });
        render.join();
    }
    EXPECT_FALSE(sync.has_photo());
    EXPECT_EQ(sync.Refresh(shared, got), ShownPhotoSync::Poll::Changed);
    EXPECT_EQ(got, photo);
    EXPECT_TRUE(sync.has_photo());

    sync.Forget();  // device change
    EXPECT_FALSE(sync.has_photo());
    got.reset();
    EXPECT_EQ(sync.Refresh(shared, got), ShownPhotoSync::Poll::Changed);
    EXPECT_EQ(got, photo);

    shared.shown_photo = MakePixels(0, 0);
    ++shared.shown_photo_version;
    EXPECT_EQ(sync.Refresh(shared, got), ShownPhotoSync::Poll::Changed);
    EXPECT_FALSE(sync.has_photo());  // an empty picture is no photo
}

}  // namespace
}  // namespace hm
