// The device-method and game-routine detours, for the installer. Render thread.
#pragma once

#include <windows.h>
#include <d3d9.h>

namespace hm {

HRESULT WINAPI PresentHook(IDirect3DDevice9* d, const RECT* src, const RECT* dst, HWND window, const RGNDATA* dirty);
HRESULT WINAPI BeginSceneHook(IDirect3DDevice9* d);
void __cdecl CleanFrameHook();

}  // namespace hm
