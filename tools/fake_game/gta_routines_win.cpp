#include "tools/fake_game/gta_routines_win.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "tools/fake_game/game_image_win.h"
#include "tools/fake_game/scene_layout.h"
#include "vehicle/game_facts.h"

namespace hm::fakegame {
namespace {

namespace gta = hm::gta;

// Where the fake keeps its records (inside the game region, away from the game's variables).
constexpr std::uintptr_t kPed = 0xC00000, kOtherPed = 0xC00800;
constexpr std::uintptr_t kVehicle = 0xC10000, kVehicleMatrix = 0xC10800;
constexpr std::uintptr_t kFrames = 0xC11000;  // three frames, 0x100 apart
constexpr std::uintptr_t kModelInfo = 0xC30000, kSeats = 0xC30100;
constexpr std::uintptr_t kObjects = 0xC40000;  // 0x400 each, matrix at +0x200
constexpr int kMaxObjects = 8;

struct V {
    float x, y, z;
};
V operator+(V a, V b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
V operator-(V a, V b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V operator*(V a, float s) { return {a.x * s, a.y * s, a.z * s}; }
float Dot(V a, V b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V Cross(V a, V b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
V Unit(V a) {
    const float l = std::sqrt(Dot(a, a));
    return l > 0 ? a * (1.0f / l) : a;
}

template <class T>
T& At(std::uintptr_t address) {
    return GameVariable<T>(address);
}
V ReadV(std::uintptr_t a) { return {At<float>(a), At<float>(a + 4), At<float>(a + 8)}; }
void WriteV(std::uintptr_t a, V v) {
    At<float>(a) = v.x;
    At<float>(a + 4) = v.y;
    At<float>(a + 8) = v.z;
}
// Four rows of four floats: right, forward, up, position.
void WriteMatrix(std::uintptr_t a, V right, V forward, V up, V position) {
    WriteV(a, right), WriteV(a + 16, forward), WriteV(a + 32, up), WriteV(a + 48, position);
    At<float>(a + 60) = 1.0f;
}

struct Counts {
    long body = 0, builtin = 0, refresh = 0;
    long reached_argument[kMaxObjects] = {}, reached_this[kMaxObjects] = {};
    long long drawing_class[kMaxObjects] = {};
};

struct Quad {
    V p[4];
    DWORD colour;
};

struct Gta {
    long long (*vehicle_counter)(int) = nullptr;
    bool placed = false;
    int objects = 0;
    Counts counts;
    std::vector<Quad> quads;  // this frame's world, drawn back to front
    IDirect3DDevice9* device = nullptr;  // while the scene is drawn
};
Gta gta_state;

struct Vertex {
    float x, y, z;
    DWORD colour;
};
void DrawQuad(IDirect3DDevice9* d, const Quad& quad) {
    const Vertex v[4] = {{quad.p[0].x, quad.p[0].y, quad.p[0].z, quad.colour},
                         {quad.p[1].x, quad.p[1].y, quad.p[1].z, quad.colour},
                         {quad.p[2].x, quad.p[2].y, quad.p[2].z, quad.colour},
                         {quad.p[3].x, quad.p[3].y, quad.p[3].z, quad.colour}};
    d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(Vertex));
}

// An axis-aligned box in a frame (origin o, axes r, f, u), half sizes, one shade per face.
void AddBox(V o, V r, V f, V u, V lo, V hi, DWORD colour, std::vector<Quad>& q = gta_state.quads) {
    auto P = [&](float x, float y, float z) { return o + r * x + f * y + u * z; };
    auto shade = [colour](int percent) {
        const DWORD rr = ((colour >> 16) & 255) * DWORD(percent) / 100, gg = ((colour >> 8) & 255) * DWORD(percent) / 100,
                    bb = (colour & 255) * DWORD(percent) / 100;
        return 0xFF000000u | (rr << 16) | (gg << 8) | bb;
    };
    const float x0 = lo.x, y0 = lo.y, z0 = lo.z, x1 = hi.x, y1 = hi.y, z1 = hi.z;
    q.push_back({{P(x0, y0, z1), P(x1, y0, z1), P(x0, y1, z1), P(x1, y1, z1)}, shade(100)});  // top
    q.push_back({{P(x0, y0, z0), P(x1, y0, z0), P(x0, y0, z1), P(x1, y0, z1)}, shade(70)});   // back
    q.push_back({{P(x0, y1, z0), P(x1, y1, z0), P(x0, y1, z1), P(x1, y1, z1)}, shade(80)});   // front
    q.push_back({{P(x0, y0, z0), P(x0, y1, z0), P(x0, y0, z1), P(x0, y1, z1)}, shade(60)});   // left
    q.push_back({{P(x1, y0, z0), P(x1, y1, z0), P(x1, y0, z1), P(x1, y1, z1)}, shade(90)});   // right
}

V VehiclePosition() { return ReadV(kVehicleMatrix + 48); }

int ObjectIndex(std::uintptr_t entity) {
    if (entity < kObjects || entity >= kObjects + kMaxObjects * 0x400 || (entity - kObjects) % 0x400) return -1;
    return int((entity - kObjects) / 0x400);
}

// ---- The routines' C++ halves --------------------------------------------------------------

// A chase camera: behind and above the vehicle, looking down at it (the game's own view).
void __thiscall FakeCameraUpdate(void* camera) {
    const std::uintptr_t c = reinterpret_cast<std::uintptr_t>(camera);
    const V right = ReadV(kVehicleMatrix), forward = ReadV(kVehicleMatrix + 16), up = ReadV(kVehicleMatrix + 32);
    const V eye = VehiclePosition() - forward * 7.0f + up * 3.0f;
    const V front = Unit(forward * 7.0f - up * 2.2f);
    WriteV(c + gta::kCameraSource, eye);
    WriteV(c + gta::kCameraFront, front);
    WriteV(c + gta::kCameraUp, Unit(Cross(right, front)));
    At<float>(c + gta::kCameraFov) = 60.0f;
}

// The entity drawn through [0x86C3A0]: the vehicle's low body.
void __thiscall FakeEntityDraw(void* entity) {
    const std::uintptr_t e = reinterpret_cast<std::uintptr_t>(entity);
    if (e != kVehicle) return;
    ++gta_state.counts.body;
    AddBox(VehiclePosition(), ReadV(kVehicleMatrix), ReadV(kVehicleMatrix + 16), ReadV(kVehicleMatrix + 32),
           {-1.0f, -2.3f, 0.0f}, {1.0f, 2.3f, 0.75f}, 0xFFE0C020);
}

// The vehicle render: a ladder truck's built-in ladder follows its frame, drawn only while the
// frame's first row is not degenerate.
void __thiscall FakeVehicleRender(void* vehicle) {
    const std::uintptr_t v = reinterpret_cast<std::uintptr_t>(vehicle);
    if (v != kVehicle || At<std::uint16_t>(v + gta::kEntityModel) != gta::kLadderTruckModel) return;
    const std::uintptr_t frame = At<std::uint32_t>(v + gta::kVehicleLadderFrames);
    if (frame < kFrames || frame >= kFrames + 0x300) return;
    const V row = ReadV(frame + gta::kFrameMatrix);
    if (Dot(row, row) < 1e-6f) return;
    ++gta_state.counts.builtin;
    AddBox(VehiclePosition(), ReadV(kVehicleMatrix), ReadV(kVehicleMatrix + 16), ReadV(kVehicleMatrix + 32),
           {-0.35f, -2.0f, 0.75f}, {0.35f, 2.2f, 1.15f}, 0xFFD02020);
}

void* __cdecl FakeFrameRefresh(void* frame) {
    ++gta_state.counts.refresh;
    return frame;
}

void __thiscall FakeLeanMatrix(void* vehicle) {
    const std::uintptr_t v = reinterpret_cast<std::uintptr_t>(vehicle);
    std::memcpy(reinterpret_cast<void*>(v + gta::kVehicleLeanMatrix), reinterpret_cast<void*>(kVehicleMatrix), 64);
}

// The head bone: above the driver's seat.
void __thiscall FakeBonePosition(void* ped, float* out, unsigned bone, bool) {
    (void)ped;
    const V head = bone == gta::kHeadBone ? VehiclePosition() + ReadV(kVehicleMatrix) * -0.4f +
                                                ReadV(kVehicleMatrix + 16) * 0.05f + ReadV(kVehicleMatrix + 32) * 1.05f
                                          : VehiclePosition();
    out[0] = head.x, out[1] = head.y, out[2] = head.z;
}

void __thiscall FakeObjectProcess(void* entity) {
    const int i = ObjectIndex(reinterpret_cast<std::uintptr_t>(entity));
    if (i < 0) return;
    // The class this thread draws with while the game processes the object.
    if (gta_state.vehicle_counter) gta_state.counts.drawing_class[i] = gta_state.vehicle_counter(8);
    // A post of its own model, drawn now in the object's frame (its matrix is the world
    // transform), so whatever the drawing hooks do with this call shows.
    IDirect3DDevice9* d = gta_state.device;
    if (!d) return;
    std::vector<Quad> post;
    AddBox({0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {-0.2f, -0.2f, 0.0f}, {0.2f, 0.2f, 3.0f}, kLadderPostColour, post);
    const std::uintptr_t m = kObjects + std::uintptr_t(i) * 0x400 + 0x200;
    D3DMATRIX world;
    std::memcpy(&world, reinterpret_cast<const void*>(m), sizeof world);
    d->SetTransform(D3DTS_WORLD, &world);
    // One draw for the whole post, as a game draws one model: a triangle list of its faces.
    std::vector<Vertex> faces;
    for (const Quad& quad : post)
        for (int corner : {0, 1, 2, 2, 1, 3})
            faces.push_back({quad.p[corner].x, quad.p[corner].y, quad.p[corner].z, quad.colour});
    d->DrawPrimitiveUP(D3DPT_TRIANGLELIST, UINT(faces.size() / 3), faces.data(), sizeof(Vertex));
    const D3DMATRIX identity = {{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}}};
    d->SetTransform(D3DTS_WORLD, &identity);
}

// 0x546D00: `this` the other entity, the first argument the truck.
int __thiscall FakeCollisionTruckIsArgument(void* self, void*, void*) {
    const int i = ObjectIndex(reinterpret_cast<std::uintptr_t>(self));
    if (i >= 0) ++gta_state.counts.reached_argument[i];
    return 1;
}
// 0x6ACE70: `this` the truck.
int __thiscall FakeCollisionTruckIsThis(void*, void* other, void*) {
    const int i = ObjectIndex(reinterpret_cast<std::uintptr_t>(other));
    if (i >= 0) ++gta_state.counts.reached_this[i];
    return 1;
}

// ---- Placing the code ---------------------------------------------------------------------

std::vector<std::uint8_t> Rel32(std::uint8_t opcode, std::uintptr_t at, const void* target) {
    const std::int32_t rel = std::int32_t(reinterpret_cast<std::uintptr_t>(target) - (at + 5));
    std::vector<std::uint8_t> b{opcode};
    for (int i = 0; i < 4; ++i) b.push_back(std::uint8_t(std::uint32_t(rel) >> (8 * i)));
    return b;
}

// `prologue` (whose effects `undo` takes back), then a jump to the C++ half.
bool PlaceJumping(std::uintptr_t at, std::vector<std::uint8_t> prologue, const std::vector<std::uint8_t>& undo,
                  const void* target) {
    prologue.insert(prologue.end(), undo.begin(), undo.end());
    const auto jump = Rel32(0xE9, at + prologue.size(), target);
    prologue.insert(prologue.end(), jump.begin(), jump.end());
    return WriteGameCode(at, prologue.data(), prologue.size());
}

// push ebp; mov ebp, esp; pop ebp; jmp: a frame-less stub the hooking engine can relocate.
bool PlaceStub(std::uintptr_t at, const void* target) { return PlaceJumping(at, {0x55, 0x8B, 0xEC}, {0x5D}, target); }

bool PlaceCode() {
    // The camera update: its real first 12 bytes, then the chase camera, then its epilogue.
    std::vector<std::uint8_t> camera = {0xDB, 0x05, 0x34, 0xFE, 0xB6, 0x00, 0x83, 0xEC, 0x7C, 0x56, 0x8B, 0xF1,
                                        0xDD, 0xD8,   // fstp st(0)
                                        0x8B, 0xCE};  // mov ecx, esi
    const auto call = Rel32(0xE8, 0x526FC0 + camera.size(), reinterpret_cast<const void*>(&FakeCameraUpdate));
    camera.insert(camera.end(), call.begin(), call.end());
    camera.insert(camera.end(), {0x5E, 0x83, 0xC4, 0x7C, 0xC3});  // pop esi; add esp, 7Ch; ret
    if (!WriteGameCode(0x526FC0, camera.data(), camera.size())) return false;

    return PlaceJumping(0x59F180, {0x56, 0x8B, 0xF1, 0x8B, 0x8E, 0x40, 0x01, 0x00, 0x00}, {0x8B, 0xCE, 0x5E},
                        reinterpret_cast<const void*>(&FakeObjectProcess)) &&
           PlaceJumping(0x6ACE70, {0x81, 0xEC, 0x88, 0x00, 0x00, 0x00, 0x53, 0x55, 0x56},
                        {0x5E, 0x5D, 0x5B, 0x81, 0xC4, 0x88, 0x00, 0x00, 0x00},
                        reinterpret_cast<const void*>(&FakeCollisionTruckIsThis)) &&
           PlaceJumping(0x546D00, {0x53, 0x55, 0x56, 0x8B, 0x74, 0x24, 0x10, 0x8B, 0x46, 0x14}, {0x5E, 0x5D, 0x5B},
                        reinterpret_cast<const void*>(&FakeCollisionTruckIsArgument)) &&
           PlaceStub(0x6A2B10, reinterpret_cast<const void*>(&FakeVehicleRender)) &&
           PlaceStub(0x5E7680, reinterpret_cast<const void*>(&FakeEntityDraw)) &&
           PlaceStub(gta::kFrameRefreshRoutine, reinterpret_cast<const void*>(&FakeFrameRefresh)) &&
           PlaceStub(gta::kLeanMatrixRoutine, reinterpret_cast<const void*>(&FakeLeanMatrix)) &&
           PlaceStub(gta::kBonePositionRoutine, reinterpret_cast<const void*>(&FakeBonePosition));
}

void LinkChain(bool sound) {
    const std::uintptr_t f0 = kFrames, f1 = kFrames + 0x100, f2 = kFrames + 0x200;
    At<std::uint32_t>(kVehicle + gta::kVehicleLadderFrames) = std::uint32_t(f0);
    At<std::uint32_t>(kVehicle + gta::kVehicleLadderFrames + 4) = std::uint32_t(f1);
    At<std::uint32_t>(kVehicle + gta::kVehicleLadderFrames + 8) = std::uint32_t(f2);
    At<std::uint32_t>(f0 + gta::kFrameParent) = std::uint32_t(f1);
    At<std::uint32_t>(f1 + gta::kFrameParent) = std::uint32_t(sound ? f2 : f0 + 0x300);
    WriteMatrix(f0 + gta::kFrameMatrix, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 1});
}

void Seat(int model, int cls, const std::string& seat) {
    At<std::uint16_t>(kVehicle + gta::kEntityModel) = std::uint16_t(model);
    At<std::uint32_t>(kVehicle + gta::kVehicleClass) = std::uint32_t(cls);
    At<std::uint32_t>(kModelInfo + gta::kModelSeatData) = std::uint32_t(kSeats);
    if (model >= 0 && model < 20000) At<std::uint32_t>(gta::kModelInfoTable + std::uintptr_t(model) * 4) = std::uint32_t(kModelInfo);
    const bool in = seat == "driver" || seat == "passenger";
    At<std::uint32_t>(kPed + gta::kPedState) = in ? gta::kPedStateDriving : 1;
    At<std::uint32_t>(kPed + gta::kPedVehicle) = in ? std::uint32_t(kVehicle) : 0;
    At<std::uint32_t>(kVehicle + gta::kVehicleDriver) = std::uint32_t(seat == "driver" ? kPed : kOtherPed);
    At<std::uint32_t>(kVehicle + gta::kVehiclePassenger) = std::uint32_t(seat == "passenger" ? kPed : 0);
    // The player's camera follows the vehicle.
    const std::uintptr_t camera = gta::kCameras + std::uintptr_t(At<std::uint8_t>(gta::kActiveCameraIndex)) * gta::kCameraStride;
    At<std::uint16_t>(camera + gta::kCameraMode) = in ? 18 : 4;
    At<std::uint32_t>(camera + gta::kCameraTarget) = std::uint32_t(in ? kVehicle : kPed);
}

void AddObjects(int attached, int distant) {
    gta_state.objects = std::min(attached + distant, kMaxObjects);
    for (int i = 0; i < gta_state.objects; ++i) {
        const std::uintptr_t e = kObjects + std::uintptr_t(i) * 0x400, m = e + 0x200;
        const bool on = i < attached;
        At<std::uint32_t>(e + gta::kEntityMatrix) = std::uint32_t(m);
        At<std::uint16_t>(e + gta::kEntityModel) = gta::kLadderPieceModel;
        At<std::uint32_t>(e + gta::kEntityAttachedTo) = on ? std::uint32_t(kVehicle) : 0;
        const V p = on ? VehiclePosition() + V{0.0f, -1.5f + 1.5f * float(i), 1.3f} : VehiclePosition() + V{30.0f, 30.0f, 0.0f};
        WriteMatrix(m, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, p);
    }
}

}  // namespace

bool PlaceGtaRoutines(long long (*vehicleCounter)(int)) {
    gta_state.vehicle_counter = vehicleCounter;
    if (!InGameRegion(kPed, 0x100000) || !PlaceCode()) return false;
    At<std::uint32_t>(0x86C3A0) = 0x5E7680;
    At<std::uint8_t>(gta::kActiveCameraIndex) = 0;
    At<std::uint8_t>(gta::kCameraControlByte) = 1;
    At<std::uint8_t>(gta::kCameraFlagByte) = 0;
    At<float>(gta::kNearClip) = 0.3f;
    At<std::uint32_t>(gta::kPlayerPed) = std::uint32_t(kPed);
    At<std::uint32_t>(kVehicle + gta::kEntityMatrix) = std::uint32_t(kVehicleMatrix);
    WriteMatrix(kVehicleMatrix, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0});
    WriteV(kSeats + gta::kDriverSeat, {-0.4f, 0.1f, 0.3f});
    WriteV(kSeats + gta::kBoatDriverSeat, {-0.4f, 0.1f, 0.3f});
    LinkChain(true);
    Seat(400, 0, "none");
    gta_state.placed = true;
    return true;
}

void GtaUpdateCamera() {
    if (!gta_state.placed) return;
    const std::uint8_t index = At<std::uint8_t>(gta::kActiveCameraIndex);
    if (index > 2) return;
    reinterpret_cast<void(__thiscall*)(void*)>(0x526FC0)(
        reinterpret_cast<void*>(gta::kCameras + std::uintptr_t(index) * gta::kCameraStride));
}

void GtaDrawScene(IDirect3DDevice9* d) {
    if (!gta_state.placed) return;
    const std::uint8_t index = std::min<std::uint8_t>(At<std::uint8_t>(gta::kActiveCameraIndex), 2);
    const std::uintptr_t camera = gta::kCameras + std::uintptr_t(index) * gta::kCameraStride;
    const V eye = ReadV(camera + gta::kCameraSource);
    const V front = Unit(ReadV(camera + gta::kCameraFront));
    const V up = Unit(ReadV(camera + gta::kCameraUp));
    const V right = Unit(Cross(front, up));
    const float fov = At<float>(camera + gta::kCameraFov);
    const float zn = std::max(At<float>(gta::kNearClip), 0.01f), zf = 400.0f;

    // The game's world: pillars along the road, then what the routines add.
    gta_state.quads.clear();
    for (int i = 0; i < 6; ++i)
        for (float side : {-9.0f, 9.0f})
            AddBox({side, 12.0f + 14.0f * float(i), 0.0f}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {-1, -1, 0}, {1, 1, 7},
                   0xFF8C8278);
    using MemberFn = void(__thiscall*)(void*);
    reinterpret_cast<MemberFn>(std::uintptr_t(At<std::uint32_t>(0x86C3A0)))(reinterpret_cast<void*>(kVehicle));
    reinterpret_cast<MemberFn>(0x6A2B10)(reinterpret_cast<void*>(kVehicle));

    // View and projection from the camera's own fields (horizontal field of view).
    const float xs = 1.0f / std::tan(fov * 3.14159265f / 360.0f), ys = xs * 640.0f / 480.0f, q = zf / (zf - zn);
    const D3DMATRIX view = {{{right.x, up.x, front.x, 0, right.y, up.y, front.y, 0, right.z, up.z, front.z, 0,
                              -Dot(right, eye), -Dot(up, eye), -Dot(front, eye), 1}}};
    const D3DMATRIX projection = {{{xs, 0, 0, 0, 0, ys, 0, 0, 0, 0, q, 1, 0, 0, -q * zn, 0}}};
    const D3DMATRIX identity = {{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}}};
    d->SetTransform(D3DTS_WORLD, &identity);
    d->SetTransform(D3DTS_VIEW, &view);
    d->SetTransform(D3DTS_PROJECTION, &projection);
    d->SetTexture(0, nullptr);
    d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    d->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    auto draw = [d](const Quad& quad) { DrawQuad(d, quad); };
    // The ground, then everything else from far to near.
    draw(Quad{{{-zf, -zf, 0}, {zf, -zf, 0}, {-zf, zf, 0}, {zf, zf, 0}}, 0xFF3C7832});
    auto depth = [&](const Quad& quad) { return Dot((quad.p[0] + quad.p[3]) * 0.5f - eye, front); };
    std::sort(gta_state.quads.begin(), gta_state.quads.end(),
              [&](const Quad& a, const Quad& b) { return depth(a) > depth(b); });
    for (const Quad& quad : gta_state.quads) draw(quad);

    // The objects last, each drawn while the game processes it, then its collision pairs.
    gta_state.device = d;
    using PairFn = int(__thiscall*)(void*, void*, void*);
    for (int i = 0; i < gta_state.objects; ++i) {
        void* object = reinterpret_cast<void*>(kObjects + std::uintptr_t(i) * 0x400);
        reinterpret_cast<MemberFn>(0x59F180)(object);
        reinterpret_cast<PairFn>(0x546D00)(object, reinterpret_cast<void*>(kVehicle), nullptr);
        reinterpret_cast<PairFn>(0x6ACE70)(reinterpret_cast<void*>(kVehicle), object, nullptr);
    }
    gta_state.device = nullptr;
}

std::string GtaCommand(const std::vector<std::string>& w) {
    const std::string& cmd = w[0];
    const bool mine = cmd == "seat" || cmd == "ladder" || cmd == "chain" || cmd == "camfield" || cmd == "gtacounts" ||
                      cmd == "gtareset";
    if (!mine) return {};
    if (!gta_state.placed) return "error no game routines (start with --gta-routines)";
    if (cmd == "seat" && w.size() == 4) {
        Seat(std::atoi(w[1].c_str()), std::atoi(w[2].c_str()), w[3]);
        return "ok seated";
    }
    if (cmd == "ladder" && w.size() == 3) {
        AddObjects(std::atoi(w[1].c_str()), std::atoi(w[2].c_str()));
        return Format("ok objects=%d", gta_state.objects);
    }
    if (cmd == "chain" && w.size() == 2) {
        LinkChain(w[1] == "1");
        return "ok chain";
    }
    if (cmd == "camfield") {
        const std::uintptr_t c =
            gta::kCameras + std::uintptr_t(std::min<std::uint8_t>(At<std::uint8_t>(gta::kActiveCameraIndex), 2)) * gta::kCameraStride;
        const V s = ReadV(c + gta::kCameraSource), f = ReadV(c + gta::kCameraFront);
        return Format("ok fov=%.2f near=%.3f flag=%d src=%.3f,%.3f,%.3f front=%.3f,%.3f,%.3f", At<float>(c + gta::kCameraFov),
                      At<float>(gta::kNearClip), int(At<std::uint8_t>(gta::kCameraFlagByte)), s.x, s.y, s.z, f.x, f.y, f.z);
    }
    if (cmd == "gtacounts") {
        std::string objects;
        for (int i = 0; i < gta_state.objects; ++i)
            objects += Format(" o%d=%ld,%ld,%lld", i, gta_state.counts.reached_argument[i], gta_state.counts.reached_this[i],
                              gta_state.counts.drawing_class[i]);
        return Format("ok body=%ld builtin=%ld refresh=%ld", gta_state.counts.body, gta_state.counts.builtin,
                      gta_state.counts.refresh) +
               objects;
    }
    if (cmd == "gtareset") {
        gta_state.counts = Counts{};
        return "ok reset";
    }
    return "error usage: " + cmd;
}

}  // namespace hm::fakegame
