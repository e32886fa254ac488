// The device-method and game-routine detours, for the installer. Render thread.
#pragma once

#include <windows.h>
#include <d3d9.h>

namespace hm {

HRESULT WINAPI PresentHook(IDirect3DDevice9* d, const RECT* src, const RECT* dst, HWND window, const RGNDATA* dirty);
HRESULT WINAPI BeginSceneHook(IDirect3DDevice9* d);
void __cdecl CleanFrameHook();
// world_surfaces_win.cpp
HRESULT WINAPI SetTextureHook(IDirect3DDevice9* d, DWORD stage, IDirect3DBaseTexture9* texture);
HRESULT WINAPI DrawPrimitiveHook(IDirect3DDevice9* d, D3DPRIMITIVETYPE type, UINT start, UINT count);
HRESULT WINAPI DrawIndexedPrimitiveHook(IDirect3DDevice9* d, D3DPRIMITIVETYPE type, INT base, UINT minIndex,
                                        UINT vertices, UINT start, UINT count);
HRESULT WINAPI DrawPrimitiveUPHook(IDirect3DDevice9* d, D3DPRIMITIVETYPE type, UINT count, const void* data,
                                   UINT stride);
HRESULT WINAPI DrawIndexedPrimitiveUPHook(IDirect3DDevice9* d, D3DPRIMITIVETYPE type, UINT minIndex, UINT vertices,
                                          UINT count, const void* indices, D3DFORMAT format, const void* data,
                                          UINT stride);

}  // namespace hm
