#include "vehicle/camera_record.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

namespace hm {
namespace {

std::string Answer(const std::string& x, const std::string& y, const std::string& z, const std::string& w,
                   const std::string& fov, const std::string& a = "0", const std::string& b = "-1",
                   const std::string& model = "400") {
    return "HMCAM2 " + model + " " + x + " " + y + " " + z + " " + w + " " + fov + " " + a + " " + b + "\n";
}

TEST(CameraRecordParser, EachBoundHoldsAndOnePastFails) {
    struct Case {
        std::string text;
        bool valid;
    } cases[] = {
        {Answer("1.5", "0", "1", "0", "70"), true},    {Answer("1.51", "0", "1", "0", "70"), false},
        {Answer("-1.5", "0", "1", "0", "70"), true},   {Answer("-1.51", "0", "1", "0", "70"), false},
        {Answer("0", "3", "1", "0", "70"), true},      {Answer("0", "3.01", "1", "0", "70"), false},
        {Answer("0", "-3", "1", "0", "70"), true},     {Answer("0", "-3.01", "1", "0", "70"), false},
        {Answer("0", "0", "0.2", "0", "70"), true},    {Answer("0", "0", "0.1", "0", "70"), false},
        {Answer("0", "0", "0.19", "0", "70"), false},  {Answer("0", "0", "2.5", "0", "70"), true},
        {Answer("0", "0", "2.51", "0", "70"), false},  {Answer("0", "0", "1", "45", "70"), true},
        {Answer("0", "0", "1", "-45", "70"), true},    {Answer("0", "0", "1", "45.1", "70"), false},
        {Answer("0", "0", "1", "0", "40"), true},      {Answer("0", "0", "1", "0", "39"), false},
        {Answer("0", "0", "1", "0", "110"), true},     {Answer("0", "0", "1", "0", "111"), false},
        {Answer("0", "0", "1", "0", "70", "1"), true}, {Answer("0", "0", "1", "0", "70", "2"), false},
        {Answer("0", "0", "1", "0", "70", "0", "1"), true},
        {Answer("0", "0", "1", "0", "70", "0", "2"), false},
        {Answer("0", "0", "1", "0", "70", "0", "-2"), false},
        {Answer("0", "0", "1", "0", "70", "-1"), false},
        // Numbers only in plain decimal text.
        {Answer("nan", "0", "1", "0", "70"), false},   {Answer("0", "inf", "1", "0", "70"), false},
        {Answer("0", "0", "1e999", "0", "70"), false}, {Answer("0x1p0", "0", "1", "0", "70"), false},
        {Answer("1,5", "0", "1", "0", "70"), false},   {Answer("0", "0", "1", "0", "7e1"), true},
        {Answer("+0.5", "-.5", "1.", "0", "70"), true}, {Answer("0", "0", "1", "0", "70", "0.0"), false},
        {Answer(".", "0", "1", "0", "70"), false},     {Answer("0", "0", "1e", "0", "70"), false},
        // The model must be the requested one, as an integer.
        {Answer("0", "0", "1", "0", "70", "0", "-1", "544.0"), false},
        {Answer("0", "0", "1", "0", "70", "0", "-1", "401"), false},
        // Tokens: none missing, none extra, the magic exact.
        {"HMCAM2 400 0 0 1 0 70 0", false},
        {"HMCAM2 400 0 0 1 0 70 0 -1 7", false},
        {"hmcam2 400 0 0 1 0 70 0 -1", false},
        {"HMCAM2\t400\r\n0 0 1 0 70 0 -1", true},
        {"", false},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseCameraRecord(c.text, 400).has_value(), c.valid) << c.text;
}

TEST(CameraRecordParser, FieldsAreTakenAsWritten) {
    const auto r = ParseCameraRecord("HMCAM2 544 -0.25 0.5 1.25 -7 70 1 0", 544);
    ASSERT_TRUE(r);
    EXPECT_FLOAT_EQ(r->x, -0.25f);
    EXPECT_FLOAT_EQ(r->y, 0.5f);
    EXPECT_FLOAT_EQ(r->z, 1.25f);
    EXPECT_FLOAT_EQ(r->w, -7.0f);
    EXPECT_FLOAT_EQ(r->fov, 70.0f);
    EXPECT_TRUE(r->fast);
    EXPECT_EQ(r->body, 0);
}

TEST(CameraRecordParser, FourMebibytesOfTextIsRefused) {
    std::string big = "HMCAM2 400 0 0 1 0 70 0 -1 ";
    big.append(4 * 1024 * 1024 + 1 - big.size(), ' ');
    big.back() = 'x';
    EXPECT_FALSE(ParseCameraRecord(big, 400));
}

TEST(CameraDefaults, ModelRowsWinOverClassRows) {
    struct Case {
        int model, cls;
        float y, z, w, fov;
    } cases[] = {
        {400, 0, -0.12f, 0.78f, 0.0f, 83.0f},  {400, 2, 0.02f, 0.85f, -7.0f, 82.0f},
        {400, 9, 0.02f, 0.85f, -7.0f, 82.0f},  {400, 10, 0.02f, 0.85f, -7.0f, 82.0f},
        {400, 4, -0.35f, 0.68f, 0.0f, 85.0f},  {400, 8, -0.35f, 0.68f, 0.0f, 85.0f},
        {407, 0, -0.35f, 0.76f, -2.0f, 85.0f}, {544, 9, -0.35f, 0.76f, -2.0f, 85.0f},
        {520, 4, -0.45f, 0.66f, 0.0f, 85.0f}, {520, 9, -0.45f, 0.66f, -7.0f, 85.0f},
    };
    for (const Case& c : cases) {
        const CameraRecord r = DefaultCameraRecord(c.model, c.cls);
        EXPECT_FLOAT_EQ(r.x, 0.0f);
        EXPECT_FLOAT_EQ(r.y, c.y) << c.model << "/" << c.cls;
        EXPECT_FLOAT_EQ(r.z, c.z) << c.model << "/" << c.cls;
        EXPECT_FLOAT_EQ(r.w, c.w) << c.model << "/" << c.cls;
        EXPECT_FLOAT_EQ(r.fov, c.fov) << c.model << "/" << c.cls;
        EXPECT_EQ(r.body, -1);
        EXPECT_FALSE(r.fast);
    }
}

TEST(CameraCacheTest, HeldLockIsBusyAndFullCacheDropsTheOldest) {
    CameraCache cache;
    CameraRecord r;
    r.fov = 70.0f;
    r.fetched = 5;
    StoreCameraRecord(cache, 400, r);
    CameraRecord out;
    EXPECT_EQ(TryFindCameraRecord(cache, 400, out), CacheLookup::Found);
    EXPECT_FLOAT_EQ(out.fov, 70.0f);
    EXPECT_EQ(TryFindCameraRecord(cache, 401, out), CacheLookup::Missing);
    {
        std::atomic<int> phase{0};
        std::thread holder([&] {
            std::lock_guard<std::mutex> hold(cache.lock);
            phase = 1;
            while (phase != 2) std::this_thread::yield();
        });
        while (phase != 1) std::this_thread::yield();
        EXPECT_EQ(TryFindCameraRecord(cache, 400, out), CacheLookup::Busy);
        phase = 2;
        holder.join();
    }
    for (int m = 1000; m < 1000 + int(kCameraCacheLimit) - 1; ++m) {
        r.fetched = Tick(m);
        StoreCameraRecord(cache, m, r);
    }
    EXPECT_EQ(cache.records.size(), kCameraCacheLimit);
    StoreCameraRecord(cache, 5000, r);
    EXPECT_EQ(cache.records.size(), kCameraCacheLimit);
    EXPECT_EQ(TryFindCameraRecord(cache, 400, out), CacheLookup::Missing);  // fetched first, dropped first
    EXPECT_EQ(TryFindCameraRecord(cache, 5000, out), CacheLookup::Found);
}

}  // namespace
}  // namespace hm
