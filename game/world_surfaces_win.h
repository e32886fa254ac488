// Marked world surfaces on the game's device: the stage-0 texture substitution, ReplaceDraw
// (hidden surfaces and the plugin's meshes) and the render-state guard of transformed TV
// screens. The detours (d3d9_detours_win.h) are thin shells over these. Render thread.
#pragma once

#include <d3d9.h>

#include "game/graphics_state_win.h"

namespace hm {

// Stage 0 of SetTexture: sets BoundSurfaceId to the texture's ScreenTextureId and answers what
// to bind: the lettering, the gallery picture, the TV picture or `texture` itself.
IDirect3DBaseTexture9* StageZeroTexture(IDirect3DDevice9* device, IDirect3DBaseTexture9* texture);
// BoundSurfaceId, and the texture the detour last passed on for stage 0.
int BoundSurfaceId();
IDirect3DBaseTexture9* LastStageZeroTexture();
// Tests: as if the detour had bound `texture` with id `id`.
void SetBoundSurface(int id, IDirect3DBaseTexture9* texture);

// True when the game's draw must not run: a hidden surface, or a mesh drawn in its place through
// `draw` (the DrawPrimitiveUP trampoline) under a state block that puts every state back. False
// when the game should draw, also when the state block or the mesh draw failed.
bool ReplaceDraw(IDirect3DDevice9* device, DrawPrimitiveUPFn draw);

// Around a draw that is not replaced: on a transformed TV screen (TvScreenId with bit 0x4000,
// the TV texture bound on stage 0, no vertex shader) it sets the screen's texture transform and
// clamped addressing and puts the saved values back at scope end; otherwise it does nothing.
class TvRenderStateGuard {
public:
    explicit TvRenderStateGuard(IDirect3DDevice9* device) noexcept;
    ~TvRenderStateGuard();
    bool active() const { return active_; }
    TvRenderStateGuard(const TvRenderStateGuard&) = delete;
    TvRenderStateGuard& operator=(const TvRenderStateGuard&) = delete;

private:
    void Enter();
    IDirect3DDevice9* device_;
    bool active_ = false;
    D3DMATRIX transform_{};
    DWORD flags_ = 0, index_ = 0, address_u_ = 0, address_v_ = 0, wrap0_ = 0;
};

// Draw calls the guard looked at past its free checks (tests and figures).
std::uint64_t TvGuardChecks();

}  // namespace hm
