#include "tv/cab_screen.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace hm {
namespace {

// A 2 x 1 screen 2 units ahead of an eye at the origin looking along +y, z up.
CabScreenRecord Ahead() {
    CabScreenRecord s{};
    s.corners = {Vec3{-1, 2, 0.5f}, Vec3{1, 2, 0.5f}, Vec3{-1, 2, -0.5f}, Vec3{1, 2, -0.5f}};
    s.eye = {0, 0, 0};
    s.front = {0, 1, 0};
    s.up = {0, 0, 1};
    s.fov_degrees = 90;
    return s;
}

TEST(CabScreen, ProjectsCornersThroughTheCamera) {
    std::array<CabVertex, 4> q{};
    ASSERT_TRUE(ProjectCabScreen(Ahead(), 800, 600, q));
    // 90 degrees: x / depth = 0.5 lands half way to the right edge.
    EXPECT_NEAR(q[0].x, 200 - 0.5f, 1e-3);
    EXPECT_NEAR(q[0].y, 300 - 100 - 0.5f, 1e-3);
    EXPECT_NEAR(q[3].x, 600 - 0.5f, 1e-3);
    EXPECT_NEAR(q[3].y, 300 + 100 - 0.5f, 1e-3);
    EXPECT_NEAR(q[0].rhw, 0.5f, 1e-6);
    EXPECT_EQ(q[1].u, 1.0f);
    EXPECT_EQ(q[2].v, 1.0f);
}

TEST(CabScreen, NothingWithACornerBehindTheEyeOrADegenerateCamera) {
    struct Case {
        const char* what;
        CabScreenRecord screen;
        bool drawn;
    };
    std::vector<Case> cases;
    cases.push_back({"ahead", Ahead(), true});
    CabScreenRecord behind = Ahead();
    behind.corners[2].y = -0.1f;
    cases.push_back({"one corner behind", behind, false});
    CabScreenRecord at_eye = Ahead();
    at_eye.corners[1].y = 0.0f;
    cases.push_back({"one corner in the eye plane", at_eye, false});
    CabScreenRecord back = Ahead();
    back.front = {0, -1, 0};
    cases.push_back({"looking away", back, false});
    CabScreenRecord no_front = Ahead();
    no_front.front = {0, 0, 0};
    cases.push_back({"no front", no_front, false});
    CabScreenRecord up_is_front = Ahead();
    up_is_front.up = {0, 1, 0};
    cases.push_back({"up along front", up_is_front, false});
    CabScreenRecord no_fov = Ahead();
    no_fov.fov_degrees = 0;
    cases.push_back({"no field of view", no_fov, false});
    CabScreenRecord nan = Ahead();
    nan.corners[0].x = std::nanf("");
    cases.push_back({"not a number", nan, false});
    for (const Case& c : cases) {
        std::array<CabVertex, 4> q{};
        EXPECT_EQ(ProjectCabScreen(c.screen, 800, 600, q), c.drawn) << c.what;
    }
}

}  // namespace
}  // namespace hm
