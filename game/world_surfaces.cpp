#include "game/world_surfaces.h"

#include <atomic>
#include <mutex>

namespace hm {

DrawDecision DecideDraw(int bound_id, std::uint32_t drawing_class) {
    int id = bound_id;
    if (drawing_class != 0 && id != 65545 && id != 65546) id = int(drawing_class);
    if (id == kHiddenSurfaceId) return {DrawAction::kHide, 0};
    if (!IsMeshId(id)) return {};
    return {DrawAction::kMesh, id};
}

// ---- Meshes -------------------------------------------------------------------------------------
namespace {

constexpr std::uint32_t kBeamRed = 0xFFB4141E;
constexpr std::uint32_t kStripeWhite = 0xFFF0F0F0;
constexpr std::uint32_t kTurntableGrey = 0xFF707880;
constexpr std::uint32_t kRailRed = 0xFFC81E1E;
constexpr std::uint32_t kRungSilver = 0xFFC8C8C8;
constexpr std::uint32_t kHandrailWhite = 0xFFE6E6E6;
constexpr std::uint32_t kPlatformDark = 0xFF404040;
constexpr std::uint32_t kHoseYellow = 0xFFE0C020;

// An axis-aligned box as 12 triangles.
void AddBox(std::vector<MeshVertex>& out, float x0, float y0, float z0, float x1, float y1, float z1,
            std::uint32_t colour) {
    const float c[8][3] = {{x0, y0, z0}, {x1, y0, z0}, {x1, y1, z0}, {x0, y1, z0},
                           {x0, y0, z1}, {x1, y0, z1}, {x1, y1, z1}, {x0, y1, z1}};
    static constexpr int kFaces[6][4] = {{0, 1, 2, 3}, {5, 4, 7, 6}, {4, 0, 3, 7}, {1, 5, 6, 2}, {3, 2, 6, 7}, {4, 5, 1, 0}};
    for (const auto& f : kFaces)
        for (int k : {f[0], f[1], f[2], f[0], f[2], f[3]}) out.push_back({c[k][0], c[k][1], c[k][2], colour});
}

}  // namespace

std::vector<MeshVertex> BuildLengthMesh(float length) {
    std::vector<MeshVertex> out;
    const float half = length / 2;
    AddBox(out, -1.5f, -half, 0.0f, 1.5f, half, 0.2f, kBeamRed);
    AddBox(out, -0.3f, -half + 0.2f, -0.05f, 0.3f, half - 0.2f, 0.0f, kStripeWhite);
    return out;
}

std::vector<MeshVertex> BuildTupleMesh(const MeshTuple& t) {
    std::vector<MeshVertex> out;
    if (!t.ladder) {
        AddBox(out, -2, -2, 0, 2, 2, 0.3f, kTurntableGrey);
        return out;
    }
    AddBox(out, -0.55f, -2, 0, -0.35f, 2, 0.2f, kRailRed);
    AddBox(out, 0.35f, -2, 0, 0.55f, 2, 0.2f, kRailRed);
    for (int i = 0; i < 8; ++i) {
        const float y = -1.75f + 0.5f * float(i);
        AddBox(out, -0.35f, y - 0.04f, 0.05f, 0.35f, y + 0.04f, 0.15f, kRungSilver);
    }
    if (t.handrails) {
        AddBox(out, -0.55f, -2, -0.6f, -0.45f, 2, -0.5f, kHandrailWhite);
        AddBox(out, 0.45f, -2, -0.6f, 0.55f, 2, -0.5f, kHandrailWhite);
    }
    if (t.platform) AddBox(out, -0.9f, 2, -0.1f, 0.9f, 3.2f, 0.2f, kPlatformDark);
    for (int i = 0; i < t.hoses; ++i) {
        const float x = -0.2f + 0.25f * float(i);
        AddBox(out, x - 0.06f, -2, -0.15f, x + 0.06f, 2, -0.05f, kHoseYellow);
    }
    return out;
}

namespace {

std::atomic<int> meshes_built{0};

std::vector<MeshVertex> BuildMeshOfId(int id) {
    static constexpr MeshTuple kTuples[6] = {{0, 0, 0, 0}, {1, 0, 0, 0}, {1, 1, 0, 0},
                                             {1, 0, 1, 0}, {1, 0, 0, 1}, {1, 0, 0, 2}};
    meshes_built.fetch_add(1);
    if (id == kLongMeshId) return BuildLengthMesh(12.6375f);
    if (id == kShortMeshId) return BuildLengthMesh(4.85f);
    return BuildTupleMesh(kTuples[id - kFirstFoglessMeshId]);
}

int MeshSlot(int id) {
    if (id == kLongMeshId) return 0;
    if (id == kShortMeshId) return 1;
    return 2 + (id - kFirstFoglessMeshId);
}

}  // namespace

const std::vector<MeshVertex>& MeshOfId(int id) {
    static const std::vector<MeshVertex> kNone;
    if (!IsMeshId(id)) return kNone;
    static std::array<std::once_flag, kMeshCount> once;
    static std::array<std::vector<MeshVertex>, kMeshCount>& meshes = *new std::array<std::vector<MeshVertex>, kMeshCount>;
    const int slot = MeshSlot(id);
    std::call_once(once[std::size_t(slot)], [&] { meshes[std::size_t(slot)] = BuildMeshOfId(id); });
    return meshes[std::size_t(slot)];
}

int MeshesBuilt() { return meshes_built.load(); }

// ---- Lettering ----------------------------------------------------------------------------------
LetteringLayout LetteringLayoutOf(int variant) {
    LetteringLayout l;
    l.font_height = variant == 0 ? -48 : -32;
    l.lines = {LetteringLine{variant == 0 ? L"NEVADA" : L"COUNTRYSIDE", 256, 0, 512, 128},
               LetteringLine{L"FIRE DEPT", 0, 128, 256, 256}};
    return l;
}

// ---- Transformed TV screens ---------------------------------------------------------------------
std::array<float, 2> TransformTvCoordinates(float u, float v) {
    const auto& m = kTvScreenTransform;
    const float in[4] = {u, v, 1, 0};
    std::array<float, 2> out{};
    for (int col = 0; col < 2; ++col)
        for (int row = 0; row < 4; ++row) out[std::size_t(col)] += in[row] * m[std::size_t(row * 4 + col)];
    return out;
}

bool TvGuardMayApply(const TvGuardFacts& f) {
    return IsTransformedTvScreen(f.tv_screen_id) && !f.deadline_passed && f.tv_texture != nullptr &&
           f.last_bound == f.tv_texture;
}

}  // namespace hm
