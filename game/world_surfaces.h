// Marked world surfaces, portable half: what the stage-0 SetTexture detour binds, what the draw
// detours do with a draw (the game's, nothing, or one of the plugin's meshes), the eight meshes,
// the fire-station lettering's layout and the texture transform of transformed TV screens.
// The Windows half is world_surfaces_win.cpp. Render thread.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace hm {

// ---- Special surface ids ------------------------------------------------------------------------
constexpr int kLongMeshId = 65536;         // mesh parameter 12.6375
constexpr int kHiddenSurfaceId = 65537;    // the game's draw is skipped
constexpr int kLetteringNevadaId = 65538;  // lettering variant 0
constexpr int kLetteringCountrysideId = 65539;  // lettering variant 1
constexpr int kShortMeshId = 65540;        // mesh parameter 4.85
constexpr int kFirstFoglessMeshId = 65541;  // 65541..65546: tuple meshes drawn without fog
constexpr int kLastFoglessMeshId = 65546;
constexpr int kMeshCount = 8;

constexpr bool IsLetteringId(int id) { return id == kLetteringNevadaId || id == kLetteringCountrysideId; }
constexpr bool IsMeshId(int id) {
    return id == kLongMeshId || id == kShortMeshId || (id >= kFirstFoglessMeshId && id <= kLastFoglessMeshId);
}
constexpr bool IsFoglessMeshId(int id) { return id >= kFirstFoglessMeshId && id <= kLastFoglessMeshId; }

// ---- Stage-0 binding ----------------------------------------------------------------------------
// The texture stage 0 gets for a texture of ScreenTextureId `id`, in this order: the lettering of
// a lettering id (when it exists or can be made), the gallery picture, the TV picture, else null
// (the game's own texture). Each source answers null when it has nothing for the id; later
// sources are not asked once one answered.
template <class T, class Lettering, class GalleryPicture, class Television>
T* ChooseStageZeroTexture(int id, Lettering&& lettering, GalleryPicture&& gallery, Television&& television) {
    if (id == 0) return nullptr;
    if (IsLetteringId(id))
        if (T* t = lettering(id - kLetteringNevadaId)) return t;
    if (T* t = gallery(id)) return t;
    return television(id);
}

// ---- ReplaceDraw --------------------------------------------------------------------------------
enum class DrawAction { kGameDraw, kHide, kMesh };
struct DrawDecision {
    DrawAction action = DrawAction::kGameDraw;
    int mesh_id = 0;  // kMesh only
};
// `bound_id`: BoundSurfaceId; `drawing_class`: the thread's DrawingClass. A drawing class other
// than 0 overrides every bound id except 65545 and 65546, which keep their own mesh.
DrawDecision DecideDraw(int bound_id, std::uint32_t drawing_class);

// ---- Meshes -------------------------------------------------------------------------------------
// 16 bytes: position (model space of the surface's object) and a D3DCOLOR 0xAARRGGBB.
struct MeshVertex {
    float x, y, z;
    std::uint32_t colour;
};
static_assert(sizeof(MeshVertex) == 16);

struct MeshTuple {
    int ladder, handrails, platform, hoses;
};
// Made from a parameter: a beam of that length with a stripe along it.
std::vector<MeshVertex> BuildLengthMesh(float length);
// Made from a tuple: (0,..) a turntable; (1,..) a ladder section, with handrails, an end
// platform and 0..2 hose lines as the other members ask.
std::vector<MeshVertex> BuildTupleMesh(const MeshTuple& tuple);
// The triangle list of a mesh id, built on first use and kept for the process; empty for other ids.
const std::vector<MeshVertex>& MeshOfId(int id);
// How often MeshOfId built a mesh (each id at most once).
int MeshesBuilt();

// ---- Lettering ----------------------------------------------------------------------------------
struct LetteringLine {
    const wchar_t* text;
    int left, top, right, bottom;  // single line, centred both ways
};
struct LetteringLayout {
    int width = 512, height = 256;
    std::uint32_t background = 0x001D18A6;  // COLORREF RGB(166, 24, 29)
    std::uint32_t text_colour = 0x00D0EDFF;  // COLORREF RGB(255, 237, 208)
    const wchar_t* font = L"Arial";
    int weight = 700;
    int font_height = -48;
    std::array<LetteringLine, 2> lines{};
};
// Variant 0 "NEVADA" (65538), 1 "COUNTRYSIDE" (65539).
LetteringLayout LetteringLayoutOf(int variant);

// ---- Transformed TV screens ---------------------------------------------------------------------
// A world TV screen whose id has bit 0x4000 samples a part of the frame through this stage-0
// texture transform (rows of a D3DMATRIX).
constexpr std::array<float, 16> kTvScreenTransform{-0.2002f, 0, 0, 0, 0, 0.4004f, 0, 0,
                                                   0.8003f, -0.6011f, 1, 0, 0, 0, 0, 1};
constexpr bool IsTransformedTvScreen(int tv_screen_id) {
    return tv_screen_id >= 1 && tv_screen_id <= 30000 && (tv_screen_id & 0x4000) != 0;
}
// Where a screen's coordinates (u, v) sample the frame: (u, v, 1, 0) times the transform.
std::array<float, 2> TransformTvCoordinates(float u, float v);

// The guard's conditions that need no Direct3D call, cheapest first: TvScreenId transformed,
// deadline not passed, a TV texture on this device, and it is what stage 0 was last given.
struct TvGuardFacts {
    int tv_screen_id = 0;
    bool deadline_passed = true;
    const void* tv_texture = nullptr;  // on the drawing device, else null
    const void* last_bound = nullptr;  // what the SetTexture detour last passed to stage 0
};
bool TvGuardMayApply(const TvGuardFacts& facts);

}  // namespace hm
