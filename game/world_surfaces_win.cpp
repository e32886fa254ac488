// The SetTexture and draw detours and what they do with marked world surfaces.
#include "game/world_surfaces_win.h"

#include <windows.h>

#include <atomic>
#include <cstring>

#include "base/edge.h"
#include "base/fault_seam.h"
#include "base/owners_win.h"
#include "game/d3d9_detours_win.h"
#include "game/drawing_class.h"
#include "game/frame_steps_win.h"
#include "game/world_surfaces.h"

namespace hm {

namespace {

// Render thread only.
struct SurfaceState {
    int bound_id = 0;                              // BoundSurfaceId
    IDirect3DBaseTexture9* last_bound = nullptr;   // what stage 0 was last given (not held)
};
SurfaceState& Surfaces() {
    static SurfaceState& s = *new SurfaceState;
    return s;
}
std::atomic<std::uint64_t> guard_checks{0};

}  // namespace

// ---- Stage 0 ------------------------------------------------------------------------------------
IDirect3DBaseTexture9* StageZeroTexture(IDirect3DDevice9* device, IDirect3DBaseTexture9* texture) {
    SurfaceState& s = Surfaces();
    const FrameSteps& steps = PluginFrameSteps();
    s.bound_id = 0;
    s.last_bound = texture;
    const int id = steps.screen_texture_id ? steps.screen_texture_id(device, texture) : 0;
    s.bound_id = id;
    IDirect3DBaseTexture9* chosen = ChooseStageZeroTexture<IDirect3DBaseTexture9>(
        id,
        [&](int variant) { return steps.lettering_texture ? steps.lettering_texture(device, variant) : nullptr; },
        [&](int screen) { return steps.gallery_texture ? steps.gallery_texture(device, screen) : nullptr; },
        [&](int screen) { return steps.television_texture ? steps.television_texture(device, screen) : nullptr; });
    if (chosen) s.last_bound = chosen;
    return s.last_bound;
}

int BoundSurfaceId() { return Surfaces().bound_id; }
IDirect3DBaseTexture9* LastStageZeroTexture() { return Surfaces().last_bound; }
void SetBoundSurface(int id, IDirect3DBaseTexture9* texture) {
    Surfaces().bound_id = id;
    Surfaces().last_bound = texture;
}

// ---- ReplaceDraw --------------------------------------------------------------------------------
bool ReplaceDraw(IDirect3DDevice9* device, DrawPrimitiveUPFn draw) {
    SurfaceState& s = Surfaces();
    const DrawDecision decision = DecideDraw(s.bound_id, DrawingClass);
    if (decision.action == DrawAction::kHide) return true;
    if (decision.action == DrawAction::kGameDraw) return false;
    const std::vector<MeshVertex>& mesh = MeshOfId(decision.mesh_id);
    const SurfaceState before = s;
    ComPtr<IDirect3DStateBlock9> block;
    if (FAILED(device->CreateStateBlock(D3DSBT_ALL, block.put())) || !block) return false;
    if (FAILED(block->Capture())) return false;
    device->SetVertexShader(nullptr);
    device->SetPixelShader(nullptr);
    device->SetTexture(0, nullptr);  // through the detour: BoundSurfaceId becomes 0 until put back below
    device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    if (IsFoglessMeshId(decision.mesh_id)) device->SetRenderState(D3DRS_FOGENABLE, FALSE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    const HRESULT drawn = draw(device, D3DPT_TRIANGLELIST, UINT(mesh.size() / 3), mesh.data(), sizeof(MeshVertex));
    block->Apply();
    s = before;
    return SUCCEEDED(drawn);
}

// ---- TV render-state guard ----------------------------------------------------------------------
TvRenderStateGuard::TvRenderStateGuard(IDirect3DDevice9* device) noexcept : device_(device) {
    AtTheEdge([this] { Enter(); });
}

void TvRenderStateGuard::Enter() {
    const auto facts_of = PluginFrameSteps().television_guard_facts;
    if (!facts_of) return;
    TvGuardFacts facts;
    facts.last_bound = Surfaces().last_bound;
    facts_of(device_, facts);
    if (!TvGuardMayApply(facts)) return;
    guard_checks.fetch_add(1, std::memory_order_relaxed);
    {
        ComPtr<IDirect3DBaseTexture9> bound;
        if (FAILED(device_->GetTexture(0, bound.put())) || bound.get() != facts.tv_texture) return;
        ComPtr<IDirect3DVertexShader9> shader;
        if (FAILED(device_->GetVertexShader(shader.put())) || shader) return;
    }
    // A value that cannot be read cannot be put back: the guard stays out of the way then.
    if (FAILED(device_->GetTransform(D3DTS_TEXTURE0, &transform_)) ||
        FAILED(device_->GetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, &flags_)) ||
        FAILED(device_->GetTextureStageState(0, D3DTSS_TEXCOORDINDEX, &index_)) ||
        FAILED(device_->GetSamplerState(0, D3DSAMP_ADDRESSU, &address_u_)) ||
        FAILED(device_->GetSamplerState(0, D3DSAMP_ADDRESSV, &address_v_)) ||
        FAILED(device_->GetRenderState(D3DRS_WRAP0, &wrap0_)))
        return;
    active_ = true;
    D3DMATRIX m;
    std::memcpy(&m, kTvScreenTransform.data(), sizeof m);
    device_->SetTransform(D3DTS_TEXTURE0, &m);
    device_->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
    device_->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    device_->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    device_->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    device_->SetRenderState(D3DRS_WRAP0, 0);
}

TvRenderStateGuard::~TvRenderStateGuard() {
    if (!active_) return;
    device_->SetTransform(D3DTS_TEXTURE0, &transform_);
    device_->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, flags_);
    device_->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, index_);
    device_->SetSamplerState(0, D3DSAMP_ADDRESSU, address_u_);
    device_->SetSamplerState(0, D3DSAMP_ADDRESSV, address_v_);
    device_->SetRenderState(D3DRS_WRAP0, wrap0_);
}

std::uint64_t TvGuardChecks() { return guard_checks.load(); }

// ---- Detours ------------------------------------------------------------------------------------
namespace {

// True when the game's draw is to be skipped; any failure lets the game draw.
bool Replaced(IDirect3DDevice9* d) {
    return AtTheEdge(false, [d] {
        FaultSiteReached(FaultSite::kDrawHooks);
        return ReplaceDraw(d, Graphics().through.draw_primitive_up);
    });
}

}  // namespace

HRESULT WINAPI SetTextureHook(IDirect3DDevice9* d, DWORD stage, IDirect3DBaseTexture9* texture) {
    IDirect3DBaseTexture9* bind = texture;
    AtTheEdge([&] {
        FaultSiteReached(FaultSite::kDrawHooks);
        if (stage == 0) bind = StageZeroTexture(d, texture);
    });
    return Graphics().through.set_texture(d, stage, bind);
}

HRESULT WINAPI DrawPrimitiveHook(IDirect3DDevice9* d, D3DPRIMITIVETYPE type, UINT start, UINT count) {
    if (Graphics().drawing_own_layers) return Graphics().through.draw_primitive(d, type, start, count);
    if (Replaced(d)) return D3D_OK;
    TvRenderStateGuard guard(d);
    return Graphics().through.draw_primitive(d, type, start, count);
}

HRESULT WINAPI DrawIndexedPrimitiveHook(IDirect3DDevice9* d, D3DPRIMITIVETYPE type, INT base, UINT minIndex,
                                        UINT vertices, UINT start, UINT count) {
    if (Graphics().drawing_own_layers)
        return Graphics().through.draw_indexed_primitive(d, type, base, minIndex, vertices, start, count);
    if (Replaced(d)) return D3D_OK;
    TvRenderStateGuard guard(d);
    return Graphics().through.draw_indexed_primitive(d, type, base, minIndex, vertices, start, count);
}

HRESULT WINAPI DrawPrimitiveUPHook(IDirect3DDevice9* d, D3DPRIMITIVETYPE type, UINT count, const void* data,
                                   UINT stride) {
    if (Graphics().drawing_own_layers) return Graphics().through.draw_primitive_up(d, type, count, data, stride);
    if (Replaced(d)) return D3D_OK;
    TvRenderStateGuard guard(d);
    return Graphics().through.draw_primitive_up(d, type, count, data, stride);
}

HRESULT WINAPI DrawIndexedPrimitiveUPHook(IDirect3DDevice9* d, D3DPRIMITIVETYPE type, UINT minIndex, UINT vertices,
                                          UINT count, const void* indices, D3DFORMAT format, const void* data,
                                          UINT stride) {
    if (Graphics().drawing_own_layers)
        return Graphics().through.draw_indexed_primitive_up(d, type, minIndex, vertices, count, indices, format, data,
                                                            stride);
    if (Replaced(d)) return D3D_OK;
    TvRenderStateGuard guard(d);
    return Graphics().through.draw_indexed_primitive_up(d, type, minIndex, vertices, count, indices, format, data,
                                                        stride);
}

}  // namespace hm
