#include "photos/gallery.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <stdexcept>

namespace hm {
namespace {

std::string ParseError(std::string_view body) {
    try {
        ParsePictureList(body);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "";
}

std::string Entries(int count) {
    std::string body = "PICTURES\n";
    for (int i = 1; i <= count; ++i) body += std::to_string(i) + " 1\n";
    return body;
}

TEST(PictureList, BadListsRaiseTheirText) {
    struct Case {
        std::string body;
        std::string error;
    };
    const std::vector<Case> cases = {
        {"", kInvalidPicturesText},
        {"pictures", kInvalidPicturesText},
        {"PICTURES\r", kInvalidPicturesText},
        {"PICTURES\r\n1 1", kInvalidPicturesText},
        {"\xEF\xBB\xBFPICTURES\n1 1", kInvalidPicturesText},
        {" PICTURES", kInvalidPicturesText},
        {"PICTURES\n\n1 1", kInvalidPictureEntryText},
        {"PICTURES\n1 1\n\n", kInvalidPictureEntryText},
        {"PICTURES\n1", kInvalidPictureEntryText},
        {"PICTURES\n1 1 1", kInvalidPictureEntryText},
        {"PICTURES\n+1 1", kInvalidPictureEntryText},
        {"PICTURES\n1 -1", kInvalidPictureEntryText},
        {"PICTURES\n11", kInvalidPictureEntryText},
        {"PICTURES\n1,1", kInvalidPictureEntryText},
        {"PICTURES\n1 1\r", kInvalidPictureEntryText},
        {"PICTURES\n0 1", kInvalidPictureEntryText},
        {"PICTURES\n16384 1", kInvalidPictureEntryText},
        {"PICTURES\n1 0", kInvalidPictureEntryText},
        {"PICTURES\n1 2147483648", kInvalidPictureEntryText},
        {"PICTURES\n1 99999999999999999999999", kInvalidPictureEntryText},
        {"PICTURES\n5 1\n6 1\n5 2", kInvalidPictureEntryText},
        {Entries(33), kInvalidPictureEntryText},
        {"PICTURES\n1 1\n" + std::string(4194304 + 1 - 13, ' '), kInvalidPictureEntryText},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseError(c.body), c.error) << c.body.substr(0, 40);
}

TEST(PictureList, GoodListsKeepTheirOrder) {
    EXPECT_TRUE(ParsePictureList("PICTURES").empty());
    EXPECT_TRUE(ParsePictureList("PICTURES\n").empty());
    EXPECT_EQ(ParsePictureList("PICTURES\n16383 2147483647"), (std::vector<GalleryEntry>{{16383, 2147483647}}));
    EXPECT_EQ(ParsePictureList("PICTURES\n9\t3\n1  \t 7\n"), (std::vector<GalleryEntry>{{9, 3}, {1, 7}}));
    EXPECT_EQ(ParsePictureList("PICTURES\n0012 01"), (std::vector<GalleryEntry>{{12, 1}}));
}

TEST(PictureList, ThirtyTwoEntriesAreTheMost) { EXPECT_EQ(ParsePictureList(Entries(32)).size(), 32u); }

TEST(GalleryScaling, LongerSideToAtMost512) {
    struct Case {
        std::uint32_t w, h, nw, nh;
    };
    const std::vector<Case> cases = {
        {1280, 720, 512, 288}, {1, 600, 1, 512}, {600, 1, 512, 1}, {512, 512, 512, 512},
        {513, 2, 512, 1},      {1, 1, 1, 1},     {1000, 1, 512, 1}, {720, 1280, 288, 512},
    };
    for (const Case& c : cases) {
        const PixelsRef out = ScaleGalleryPicture(MakePixels(c.w, c.h));
        EXPECT_EQ(out->width(), c.nw) << c.w << "x" << c.h;
        EXPECT_EQ(out->height(), c.nh) << c.w << "x" << c.h;
    }
}

TEST(GalleryScaling, NearestNeighbourByIntegerDivision) {
    // Every source pixel carries its own coordinates, so each target pixel names its source.
    const PixelsRef src = MakePixels(1280, 720);
    for (std::uint32_t y = 0; y < 720; ++y)
        for (std::uint32_t x = 0; x < 1280; ++x) src->set(x, y, 0xFF000000u | (x << 12) | y);
    const PixelsRef out = ScaleGalleryPicture(src);
    for (std::uint32_t y : {0u, 1u, 143u, 287u})
        for (std::uint32_t x : {0u, 1u, 2u, 255u, 511u}) {
            const std::uint32_t sx = x * 1280 / 512, sy = y * 720 / 288;
            EXPECT_EQ(out->at(x, y), 0xFF000000u | (sx << 12) | sy) << x << "," << y;
        }
    const PixelsRef small = MakePixels(3, 3);
    EXPECT_EQ(ScaleGalleryPicture(small), small);  // fits: no copy
}

// A scripted server: answers by path, records every path asked.
struct World {
    std::map<std::string, ApiResponse> answers;
    std::vector<std::string> asked;
    Tick clock = 50000;
    int decodes = 0;
    Gallery gallery;
    GalleryRecord record;
    GalleryEffects fx;
    ApiClient client;

    World() {
        fx.request = [this](const ApiClient&, const std::string& method, const std::string& path,
                            const std::string& bearer, const std::string&, std::uint32_t) {
            EXPECT_EQ(method, "GET");
            EXPECT_EQ(bearer, "tok");
            asked.push_back(path);
            const auto it = answers.find(path);
            if (it == answers.end()) throw std::runtime_error("connection failed");
            return it->second;
        };
        // A picture body here is "WxH" or text the decoder refuses.
        fx.decode = [this](const std::string& bytes) {
            ++decodes;
            unsigned w = 0, h = 0;
            if (std::sscanf(bytes.c_str(), "%ux%u", &w, &h) != 2) throw std::runtime_error("Windows API failure at line 1: 0x88982f50");
            if (w < 1 || w > 1280 || h < 1 || h > 720) throw std::runtime_error("invalid gallery dimensions");
            return MakePixels(w, h);
        };
        fx.clock = [this] { return clock; };
    }
    void Step(Tick now) { GalleryStep(record, gallery, fx, client, now, "tok"); }
    std::map<int, std::int32_t> Cached() {
        std::map<int, std::int32_t> out;
        std::lock_guard<std::mutex> hold(gallery.lock);
        for (const auto& [id, p] : gallery.cache) out[id] = p.revision;
        return out;
    }
};

TEST(GalleryStep, FetchesTwoAStepInListOrderAndOnlyChangedRevisions) {
    World w;
    w.answers["/pictures/state"] = {200, "PICTURES\n1057 1\n3 4\n9 1\n"};
    w.answers["/pictures/1057/1"] = {200, "1280x720"};
    w.answers["/pictures/3/4"] = {200, "1x600"};
    w.answers["/pictures/9/1"] = {200, "10x10"};
    w.Step(1000);
    EXPECT_EQ(w.asked, (std::vector<std::string>{"/pictures/state", "/pictures/1057/1", "/pictures/3/4"}));
    EXPECT_EQ(w.gallery.deadline.load(), w.clock + 3500);
    {
        std::lock_guard<std::mutex> hold(w.gallery.lock);
        EXPECT_EQ(w.gallery.cache.at(1057).pixels->width(), 512u);
        EXPECT_EQ(w.gallery.cache.at(1057).pixels->height(), 288u);
        EXPECT_EQ(w.gallery.cache.at(3).pixels->height(), 512u);
    }
    w.asked.clear();
    w.Step(1999);  // its own 1000 ms timer
    EXPECT_TRUE(w.asked.empty());
    w.Step(2000);
    EXPECT_EQ(w.asked, (std::vector<std::string>{"/pictures/state", "/pictures/9/1"}));
    EXPECT_EQ(w.Cached(), (std::map<int, std::int32_t>{{1057, 1}, {3, 4}, {9, 1}}));

    // A new revision of one picture: it alone is dropped and fetched again, in the same step.
    w.answers["/pictures/state"] = {200, "PICTURES\n1057 2\n3 4\n9 1\n"};
    w.answers["/pictures/1057/2"] = {200, "20x20"};
    w.asked.clear();
    w.Step(3000);
    EXPECT_EQ(w.asked, (std::vector<std::string>{"/pictures/state", "/pictures/1057/2"}));
    EXPECT_EQ(w.Cached(), (std::map<int, std::int32_t>{{1057, 2}, {3, 4}, {9, 1}}));

    // Unlisted pictures go; "PICTURES" alone empties the cache but keeps the deadline fresh.
    w.answers["/pictures/state"] = {200, "PICTURES"};
    w.clock = 90000;
    w.Step(4000);
    EXPECT_TRUE(w.Cached().empty());
    EXPECT_EQ(w.gallery.deadline.load(), 93500u);
}

TEST(GalleryStep, ARefusedPictureIsSkippedButCountsAsAFetch) {
    World w;
    w.answers["/pictures/state"] = {200, "PICTURES\n1 1\n2 1\n3 1\n"};
    w.answers["/pictures/1/1"] = {404, ""};
    w.answers["/pictures/2/1"] = {200, "4x4"};
    w.answers["/pictures/3/1"] = {200, "4x4"};
    w.Step(0);
    EXPECT_EQ(w.asked, (std::vector<std::string>{"/pictures/state", "/pictures/1/1", "/pictures/2/1"}));
    EXPECT_EQ(w.Cached(), (std::map<int, std::int32_t>{{2, 1}}));
    EXPECT_NE(w.gallery.deadline.load(), 0u);
    w.asked.clear();
    w.Step(1000);
    EXPECT_EQ(w.asked, (std::vector<std::string>{"/pictures/state", "/pictures/1/1", "/pictures/3/1"}));
}

TEST(GalleryStep, EveryFailureClearsTheGallery) {
    struct Case {
        const char* what;
        ApiResponse state;
        bool transport_fails;
        std::string picture;
    };
    const std::vector<Case> cases = {
        {"state 500", {500, "PICTURES\n1 1"}, false, "4x4"},
        {"state 204", {204, ""}, false, "4x4"},
        {"bad first line", {200, "PICTURE\n1 1"}, false, "4x4"},
        {"id 16384", {200, "PICTURES\n1 1\n16384 1"}, false, "4x4"},
        {"repeated id", {200, "PICTURES\n1 1\n1 1"}, false, "4x4"},
        {"transport", {200, "PICTURES\n1 1"}, true, "4x4"},
        {"1281x720", {200, "PICTURES\n1 1\n2 1"}, false, "1281x720"},
        {"not a picture", {200, "PICTURES\n1 1\n2 1"}, false, "text"},
    };
    for (const Case& c : cases) {
        World w;
        w.answers["/pictures/state"] = {200, "PICTURES\n1 1"};
        w.answers["/pictures/1/1"] = {200, "4x4"};
        w.Step(0);
        ASSERT_EQ(w.Cached().size(), 1u);
        w.answers["/pictures/state"] = c.state;
        w.answers["/pictures/2/1"] = {200, c.picture};
        if (c.transport_fails) w.answers.erase("/pictures/state");
        EXPECT_NO_THROW(w.Step(1000)) << c.what;
        EXPECT_TRUE(w.Cached().empty()) << c.what;
        EXPECT_EQ(w.gallery.deadline.load(), 0u) << c.what;
    }
}

}  // namespace
}  // namespace hm
