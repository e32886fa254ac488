// A windowed Direct3D 9 device of a given back-buffer size for tests under Wine, released at scope
// end. `hr` is CreateDevice's answer; `device` is null when it failed.
#pragma once

#include <windows.h>
#include <d3d9.h>

namespace hm {

struct TestDevice {
    HWND window = nullptr;
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    HRESULT hr = E_FAIL;

    TestDevice(UINT width, UINT height, D3DMULTISAMPLE_TYPE ms = D3DMULTISAMPLE_NONE, bool visible = false) {
        window = CreateWindowExW(0, L"STATIC", L"d3d9 test", visible ? WS_POPUP | WS_VISIBLE : WS_POPUP, 0, 0,
                                 int(width), int(height), nullptr, nullptr, nullptr, nullptr);
        d3d = Direct3DCreate9(D3D_SDK_VERSION);
        if (!window || !d3d) return;
        D3DPRESENT_PARAMETERS pp{};
        pp.BackBufferWidth = width;
        pp.BackBufferHeight = height;
        pp.BackBufferFormat = D3DFMT_X8R8G8B8;
        pp.BackBufferCount = 1;
        pp.MultiSampleType = ms;
        pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
        pp.hDeviceWindow = window;
        pp.Windowed = TRUE;
        pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
        hr = d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device);
    }
    ~TestDevice() {
        if (device) device->Release();
        if (d3d) d3d->Release();
        if (window) DestroyWindow(window);
    }
    TestDevice(const TestDevice&) = delete;
    TestDevice& operator=(const TestDevice&) = delete;
};

}  // namespace hm
