#include "game/world_surfaces.h"

#include <gtest/gtest.h>

#include <string>

#include "game/drawing_class.h"

namespace hm {
namespace {

TEST(StageZeroBinding, LetteringThenGalleryThenTelevision) {
    int lettering[2] = {0, 1}, picture = 2, tv = 3;
    std::string asked;
    bool lettering_ok = true, gallery_has = true, tv_matches = true;
    const auto choose = [&](int id) {
        asked.clear();
        return ChooseStageZeroTexture<int>(
            id, [&](int v) { asked += "L" + std::to_string(v); return lettering_ok ? &lettering[v] : nullptr; },
            [&](int) { asked += "G"; return gallery_has ? &picture : nullptr; },
            [&](int) { asked += "T"; return tv_matches ? &tv : nullptr; });
    };
    EXPECT_EQ(choose(65538), &lettering[0]);
    EXPECT_EQ(asked, "L0");
    EXPECT_EQ(choose(65539), &lettering[1]);
    EXPECT_EQ(asked, "L1");
    lettering_ok = false;  // a failed lettering falls through to the others (which know no such id)
    gallery_has = tv_matches = false;
    EXPECT_EQ(choose(65539), nullptr);
    EXPECT_EQ(asked, "L1GT");
    gallery_has = tv_matches = true;
    EXPECT_EQ(choose(1057), &picture);  // a picture wins over a TV screen of the same id
    EXPECT_EQ(asked, "G");
    gallery_has = false;
    EXPECT_EQ(choose(1057), &tv);
    EXPECT_EQ(asked, "GT");
    tv_matches = false;
    EXPECT_EQ(choose(1057), nullptr);
    EXPECT_EQ(choose(0), nullptr);  // no marker: nothing is asked
    EXPECT_EQ(asked, "");
}

TEST(ReplaceDraw, DecisionPerBoundIdAndDrawingClass) {
    struct Case {
        int bound;
        std::uint32_t drawing_class;
        DrawAction action;
        int mesh;
    };
    const std::vector<Case> cases = {
        {0, 0, DrawAction::kGameDraw, 0},
        {1057, 0, DrawAction::kGameDraw, 0},
        {65537, 0, DrawAction::kHide, 0},
        {65538, 0, DrawAction::kGameDraw, 0},
        {65539, 0, DrawAction::kGameDraw, 0},
        {65536, 0, DrawAction::kMesh, 65536},
        {65540, 0, DrawAction::kMesh, 65540},
        {65541, 0, DrawAction::kMesh, 65541},
        {65546, 0, DrawAction::kMesh, 65546},
        {65547, 0, DrawAction::kGameDraw, 0},
        // A ladder piece: an ordinary texture becomes mesh 65542, so does a hidden one...
        {0, kLadderPieceDrawingClass, DrawAction::kMesh, 65542},
        {1057, kLadderPieceDrawingClass, DrawAction::kMesh, 65542},
        {65537, kLadderPieceDrawingClass, DrawAction::kMesh, 65542},
        {65536, kLadderPieceDrawingClass, DrawAction::kMesh, 65542},
        {65544, kLadderPieceDrawingClass, DrawAction::kMesh, 65542},
        // ...while 65545 and 65546 keep their own mesh.
        {65545, kLadderPieceDrawingClass, DrawAction::kMesh, 65545},
        {65546, kLadderPieceDrawingClass, DrawAction::kMesh, 65546},
    };
    for (const Case& c : cases) {
        const DrawDecision d = DecideDraw(c.bound, c.drawing_class);
        EXPECT_EQ(d.action, c.action) << c.bound << " class " << c.drawing_class;
        if (c.action == DrawAction::kMesh) {
            EXPECT_EQ(d.mesh_id, c.mesh) << c.bound;
        }
    }
    // The decision follows the thread's drawing class as the ladder hooks set it.
    {
        ScopedDrawingClass piece(kLadderPieceDrawingClass);
        EXPECT_EQ(DecideDraw(1057, DrawingClass).mesh_id, 65542);
    }
    EXPECT_EQ(DecideDraw(1057, DrawingClass).action, DrawAction::kGameDraw);
}

TEST(Meshes, EightTriangleListsBuiltOnceEach) {
    const std::vector<int> ids = {65536, 65540, 65541, 65542, 65543, 65544, 65545, 65546};
    const int before = MeshesBuilt();
    for (int id : ids) {
        const auto& mesh = MeshOfId(id);
        ASSERT_FALSE(mesh.empty()) << id;
        EXPECT_EQ(mesh.size() % 3, 0u) << id;
        for (const MeshVertex& v : mesh) {
            EXPECT_EQ(v.colour >> 24, 0xFFu) << id;  // opaque: drawn without blending
            EXPECT_LE(std::abs(v.x), 8.0f) << id;
            EXPECT_LE(std::abs(v.y), 8.0f) << id;
        }
    }
    for (int id : ids) EXPECT_EQ(MeshOfId(id).data(), MeshOfId(id).data());
    EXPECT_LE(MeshesBuilt() - before, 8);
    EXPECT_TRUE(MeshOfId(65537).empty());
    EXPECT_TRUE(MeshOfId(0).empty());
    // The parameter sets the length; the tuple members add parts.
    const auto extent = [](const std::vector<MeshVertex>& m) {
        float lo = 0, hi = 0;
        for (const MeshVertex& v : m) lo = std::min(lo, v.y), hi = std::max(hi, v.y);
        return hi - lo;
    };
    EXPECT_FLOAT_EQ(extent(MeshOfId(65536)), 12.6375f);
    EXPECT_FLOAT_EQ(extent(MeshOfId(65540)), 4.85f);
    EXPECT_EQ(BuildTupleMesh({1, 0, 0, 2}).size(), BuildTupleMesh({1, 0, 0, 1}).size() + 36);
    EXPECT_EQ(BuildTupleMesh({1, 1, 0, 0}).size(), BuildTupleMesh({1, 0, 0, 0}).size() + 72);
    EXPECT_NE(BuildTupleMesh({1, 0, 1, 0}).size(), BuildTupleMesh({1, 0, 0, 0}).size());
    // No two ids share a shape.
    const auto same = [](const std::vector<MeshVertex>& a, const std::vector<MeshVertex>& b) {
        if (a.size() != b.size()) return false;
        for (std::size_t i = 0; i < a.size(); ++i)
            if (a[i].x != b[i].x || a[i].y != b[i].y || a[i].z != b[i].z || a[i].colour != b[i].colour) return false;
        return true;
    };
    for (std::size_t i = 0; i < ids.size(); ++i)
        for (std::size_t j = i + 1; j < ids.size(); ++j)
            EXPECT_FALSE(same(MeshOfId(ids[i]), MeshOfId(ids[j]))) << ids[i] << " " << ids[j];
}

TEST(Lettering, TwoVariantsTwoRectangles) {
    const LetteringLayout nevada = LetteringLayoutOf(0), country = LetteringLayoutOf(1);
    EXPECT_EQ(std::wstring(nevada.lines[0].text), L"NEVADA");
    EXPECT_EQ(std::wstring(country.lines[0].text), L"COUNTRYSIDE");
    EXPECT_EQ(nevada.font_height, -48);
    EXPECT_EQ(country.font_height, -32);
    for (const LetteringLayout& l : {nevada, country}) {
        EXPECT_EQ(std::wstring(l.lines[1].text), L"FIRE DEPT");
        EXPECT_EQ(l.width, 512);
        EXPECT_EQ(l.height, 256);
        EXPECT_EQ(l.background, 0x001D18A6u);
        EXPECT_EQ(l.text_colour, 0x00D0EDFFu);
        const LetteringLine& a = l.lines[0];
        const LetteringLine& b = l.lines[1];
        const std::array<int, 4> ra{a.left, a.top, a.right, a.bottom}, rb{b.left, b.top, b.right, b.bottom};
        EXPECT_EQ(ra, (std::array<int, 4>{256, 0, 512, 128}));
        EXPECT_EQ(rb, (std::array<int, 4>{0, 128, 256, 256}));
    }
}

TEST(TransformedTvScreen, MatrixMapsCoordinates) {
    for (float u : {0.0f, 0.5f, 1.0f, 4.0f})
        for (float v : {0.0f, 1.5f, 2.0f, 4.0f}) {
            const auto t = TransformTvCoordinates(u, v);
            EXPECT_NEAR(t[0], 0.8003f - 0.2002f * u, 1e-6f) << u << "," << v;
            EXPECT_NEAR(t[1], 0.4004f * v - 0.6011f, 1e-6f) << u << "," << v;
        }
}

TEST(TransformedTvScreen, GuardConditions) {
    int tv = 0, other = 0;
    const TvGuardFacts on{16385, false, &tv, &tv};
    EXPECT_TRUE(TvGuardMayApply(on));
    struct Case {
        const char* what;
        TvGuardFacts facts;
    };
    const std::vector<Case> off = {
        {"no bit 0x4000", {1, false, &tv, &tv}},
        {"in-vehicle id", {30001 | 0x4000, false, &tv, &tv}},
        {"id 0", {0, false, &tv, &tv}},
        {"deadline passed", {16385, true, &tv, &tv}},
        {"no TV texture", {16385, false, nullptr, nullptr}},
        {"another texture bound", {16385, false, &tv, &other}},
    };
    for (const Case& c : off) EXPECT_FALSE(TvGuardMayApply(c.facts)) << c.what;
    EXPECT_TRUE(IsTransformedTvScreen(0x4000));
    EXPECT_TRUE(IsTransformedTvScreen(30000));  // 30000 = 0x7530 has the bit
    EXPECT_FALSE(IsTransformedTvScreen(0x3FFF));
}

}  // namespace
}  // namespace hm
