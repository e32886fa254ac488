#include "vehicle/camera_data.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace hm {
namespace {

struct Rig {
    CameraCache cache;
    CameraDataState state;
    CameraSessionCopy session{"tok", 7};
    std::uint32_t generation_after = 7;  // what the generation reads after the request
    ApiResponse answer{200, "HMCAM2 400 0 -0.1 0.8 0 70 0 -1"};
    bool throws = false;
    std::vector<std::string> paths, bearers;
    Tick now = 1000;

    CameraDataSeams Seams() {
        CameraDataSeams s;
        s.request = [this](const ApiClient&, const std::string& method, const std::string& path,
                           const std::string& bearer, const std::string& body, std::uint32_t shot) {
            EXPECT_EQ(method, "GET");
            EXPECT_TRUE(body.empty());
            EXPECT_EQ(shot, 0u);
            paths.push_back(path);
            bearers.push_back(bearer);
            if (throws) throw std::runtime_error("request timed out");
            return answer;
        };
        s.session = [this] { return session; };
        s.generation = [this] { return generation_after; };
        s.now = [this] { return now; };
        return s;
    }
    unsigned Step(int model) { return CameraDataStep(state, cache, model, Seams()); }
    bool Has(int model) {
        CameraRecord r;
        return TryFindCameraRecord(cache, model, r) == CacheLookup::Found;
    }
};

TEST(CameraDataStepTest, FetchesTheRequestedModelWithTheToken) {
    Rig rig;
    EXPECT_EQ(rig.Step(400), kCameraSlowRefreshMs);
    ASSERT_EQ(rig.paths.size(), 1u);
    EXPECT_EQ(rig.paths[0], "/vehicle-camera?v=2&model=400");
    EXPECT_EQ(rig.bearers[0], "tok");
    CameraRecord r;
    ASSERT_EQ(TryFindCameraRecord(rig.cache, 400, r), CacheLookup::Found);
    EXPECT_FLOAT_EQ(r.fov, 70.0f);
    EXPECT_EQ(r.fetched, 1000u);

    rig.answer.body = "HMCAM2 400 0 -0.1 0.8 0 75 1 -1";
    EXPECT_EQ(rig.Step(400), kCameraFastRefreshMs);
    // A failed fetch keeps the pace of the last stored record.
    rig.answer = {500, ""};
    EXPECT_EQ(rig.Step(400), kCameraFastRefreshMs);
}

TEST(CameraDataStepTest, NothingIsAskedOrStoredWhenItShouldNotBe) {
    struct Case {
        const char* name;
        int model;
        const char* token;
        ApiResponse answer;
        bool throws;
        std::uint32_t generation_after;
        std::size_t requests;
    } cases[] = {
        {"no model", 0, "tok", {200, "HMCAM2 0 0 0 1 0 70 0 -1"}, false, 7, 0},
        {"no token", 400, "", {200, "HMCAM2 400 0 0 1 0 70 0 -1"}, false, 7, 0},
        {"foreign model", 400, "tok", {200, "HMCAM2 401 0 0 1 0 70 0 -1"}, false, 7, 1},
        {"404", 400, "tok", {404, "HMCAM2 400 0 0 1 0 70 0 -1"}, false, 7, 1},
        {"invalid", 400, "tok", {200, "HMCAM2 400 0 0 1 0 39 0 -1"}, false, 7, 1},
        {"transport", 400, "tok", {200, "HMCAM2 400 0 0 1 0 70 0 -1"}, true, 7, 1},
        {"session moved meanwhile", 400, "tok", {200, "HMCAM2 400 0 0 1 0 70 0 -1"}, false, 8, 1},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.session.token = c.token;
        rig.answer = c.answer;
        rig.throws = c.throws;
        rig.generation_after = c.generation_after;
        EXPECT_EQ(rig.Step(c.model), kCameraSlowRefreshMs) << c.name;
        EXPECT_EQ(rig.paths.size(), c.requests) << c.name;
        EXPECT_TRUE(rig.cache.records.empty()) << c.name;
    }
}

TEST(CameraDataStepTest, ANewSessionGenerationEmptiesTheCache) {
    Rig rig;
    rig.Step(400);
    rig.answer.body = "HMCAM2 401 0 0 1 0 70 0 -1";
    rig.Step(401);
    EXPECT_TRUE(rig.Has(400));
    EXPECT_TRUE(rig.Has(401));
    rig.session = {"", 8};  // the session ended
    rig.Step(401);
    EXPECT_FALSE(rig.Has(400));
    EXPECT_FALSE(rig.Has(401));
    // A vehicle change alone keeps the cache.
    rig.session = {"tok2", 9};
    rig.generation_after = 9;
    rig.Step(401);
    rig.Step(0);
    EXPECT_TRUE(rig.Has(401));
}

}  // namespace
}  // namespace hm
