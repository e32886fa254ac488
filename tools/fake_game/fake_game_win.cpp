// gta_sa.exe of the fake world: a window, a Direct3D 9 device and a frame loop that draws a
// small scene with marker textures, with HM_Plugin.dll (else HM_Plugin.asi) loaded from its own
// folder the way a plugin loader does it. A test driver steers it over a line protocol on 127.0.0.1:
//   gta_sa.exe [-c] [-h <server>] [-p <port>] [-n <name>] ... --hm-control=<driver port>
// The driver's port sits in a switch of its own so that the game's switches stay exactly what
// the plugin's start-up gate reads. Without it the game renders until its window is closed.
// --hm-2d-pass places the game's 2-D pass routine at 0x53E230 and calls it once a frame;
// --hm-samp loads samp.dll from the game's folder before the plugin; --gta-routines places the
// game's camera and vehicle routines and draws a 3-D scene through the active camera
// (gta_routines_win.h, whose commands seat, ladder, chain, camfield, gtacounts, gtareset join these).
//
// Protocol: the game connects, greets with "hello gta_sa pid=<n> plugin=loaded|missing" (or
// "fatal <why>" and exit 2), then answers every command line with one line, "ok ..." or
// "error ...". Commands:
//   frames <n>                 render n frames            -> ok frames=<n> total=<all so far>
//   run <ms>                   render for ms milliseconds -> ok frames=<n> total=<t>
//   autorun <ms>|off           between commands, render a frame every ms (as a running game
//                              does) or only on command (the default) -> ok autorun=<ms> total=<t>
//   key down|up|tap <key>      SendInput; key: A..Z, 0..9, F1..F24, CTRL, SHIFT, ALT, ENTER,
//                              ESC, SPACE, TAB, BACK, arrows, DELETE or a virtual-key number
//   keystate <key>             -> ok async=down|up state=down|up (GetAsyncKeyState, GetKeyState)
//   mouse move <x> <y>         client coordinates         -> ok cursor=<x>,<y>
//   mouse down|up [left|right|middle]
//   click <x> <y> [button]     move, press, release       -> ok cursor=<x>,<y>
//   canvasclick <x> <y> [button]  click at the point of the plugin's 810 x 760 canvas, placed
//                              over the frame the way the plugin places it -> ok cursor=<x>,<y>
//   canvasdown|canvasmove|canvasup <x> <y>  the left button pressed, the cursor moved (a held
//                              button drags), the button released at that canvas point
//                              -> ok cursor=<x>,<y>
//   dblclicktime <ms>          the double-click time of the session (SetDoubleClickTime) -> ok ms=<ms>
//   canvaspixel <x> <y>        -> ok <aarrggbb> of the presented frame at that canvas point
//   events                     window messages since the last call, e.g. "ok KEYDOWN:65 CHAR:97"
//   focus                      bring the window to the front -> ok foreground=0|1 focus=0|1
//   screenshot <windows path>  the presented frame as PNG -> ok <w>x<h> frame=<n>
//   pixel <x> <y>              -> ok <aarrggbb> of the presented frame
//   markers [kind:]<id>...     replace the marker textures; kind x8, big, centre, rt or cube
//                              (MarkerKind in scene_layout.h); the 3-D scene of --gta-routines
//                              has none until this asks for them
//   plugin                     -> ok loaded=0|1 worker_starts=<n> worker_stage=<n> load_error=<n>
//                                 photo_visible=<0|1> dialogs=<n> edge_failures=<n> (exceptions
//                                 that reached an edge of the plugin unhandled)
//   sampchat <0|1> [dialog]    open or close the fake samp.dll's chat box (or its dialog) -> ok
//   unfocus                    hand the foreground to another process's window -> ok foreground=0|1
//   image                      base, size and the game region's state at 0x53E230
//   args                       the command line as the game got it
//   timed <n>                  render n frames            -> ok us=<microseconds they took>
//   graphics <i>               the plugin's frame-work counter i (HM_GraphicsCounter) -> ok <value>
//   voice <i>                  the plugin's voice chat value i (HM_VoiceCounter) -> ok <value>
//   npc <i>                    the plugin's NPC voice value i (HM_NpcCounter) -> ok <value>
//   overlay <aarrggbb> <w> <h> the plugin shows a solid w x h overlay frame (HM_ShowTestOverlay);
//                              colour 0 closes it      -> ok shown
//   camera <index> <mode>      active camera and its mode at the game's addresses -> ok camera=<i>
//   samp                       chat lines handed to the fake samp.dll -> ok lines=<n> last=<text>
//   samplines                  every chat line with its arrival tick -> ok <tick>:<text>|...
//   vehicle <i>                the plugin's vehicle value i (HM_VehicleCounter) -> ok <value>
//   setcursor <x> <y>          the game calls SetCursorPos and SetCursor -> ok
//   fault <site> <kind>        arms one fault site of the plugin (HM_ArmFault) -> ok thrown=<n>
//   locks                      the plugin's locks, each tried up to 1 s (HM_TryPluginLocks) -> ok free=<mask> thrown=<n>
//   notice                     the plugin's current notice (HM_CurrentNotice) -> ok <text>
//   photo <id> <ms>            a photo request in the plugin, due in ms (HM_ArmPhotoRequest) -> ok armed
//   twodpass                   calls of the game's 2-D pass method (needs --hm-2d-pass) -> ok calls=<n>
//   cursor <0|1> <x> <y>       the plugin cursor at canvas point x, y (HM_SetTestCursor) -> ok cursor
//   reset <w> <h>              IDirect3DDevice9::Reset to a w x h back buffer -> ok <w>x<h>
//   unload                     gives back the game's reference to HM_Plugin.dll (FreeLibrary)
//                              -> ok resident=<0|1> (1: the plugin pinned itself in memory)
//   echo <text>                -> ok <text>
//   quit                       -> ok frames=<n>, then "bye 0" and the game exits 0
// When the control connection drops, the game exits 3.
#include <winsock2.h>
#include <windows.h>
#include <d3d9.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/owners_win.h"
#include "game/present_rules.h"
#include "tools/fake_game/game_image_win.h"
#include "tools/fake_game/gta_routines_win.h"
#include "tools/fake_game/png_writer_win.h"
#include "tools/fake_game/scene_layout.h"

namespace hm::fakegame {
namespace {

struct ColourVertex {
    float x, y, z, rhw;
    DWORD colour;
};
constexpr DWORD kColourFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;

struct TexturedVertex {
    float x, y, z, rhw;
    float u, v;
};
constexpr DWORD kTexturedFvf = D3DFVF_XYZRHW | D3DFVF_TEX1;

// Marker squares: world geometry (model space, see scene_layout.h).
struct WorldVertex {
    float x, y, z;
    float u, v;
};
constexpr DWORD kWorldFvf = D3DFVF_XYZ | D3DFVF_TEX1;
// A cube marker's square: one direction for every corner, so the face colour fills it.
struct CubeVertex {
    float x, y, z;
    float s, t, r;
};
constexpr DWORD kCubeFvf = D3DFVF_XYZ | D3DFVF_TEX1 | D3DFVF_TEXCOORDSIZE3(0);

D3DMATRIX AsMatrix(const std::array<float, 16>& v) {
    D3DMATRIX m;
    std::memcpy(&m, v.data(), sizeof m);
    return m;
}

struct Game {
    UniqueWindow hwnd;
    ComPtr<IDirect3D9> d3d;
    ComPtr<IDirect3DDevice9> device;
    ComPtr<IDirect3DVertexBuffer9> groundVb;
    ComPtr<IDirect3DVertexBuffer9> buildingVb;
    ComPtr<IDirect3DIndexBuffer9> buildingIb;
    std::vector<MarkerRequest> markers;
    std::vector<ComPtr<IDirect3DBaseTexture9>> markerTextures;
    long frames = 0;
    bool quit = false;
    bool twoDPass = false;  // the game's 2-D pass routine is in place and called every frame
    bool gta = false;       // the vehicle and camera routines and the 3-D scene (--gta-routines)
    HMODULE samp = nullptr;  // samp.dll from the game's folder (--hm-samp)

    HMODULE plugin = nullptr;
    DWORD pluginError = 0;

    std::vector<std::string> events;  // window messages since the last "events" command
    POINT lastMove{-1, -1};

    SOCKET control = INVALID_SOCKET;
    WSAEVENT controlEvent = WSA_INVALID_EVENT;
    std::string inbox;
    bool controlLost = false;

    // Between commands the game renders a frame every autorunMs (0: it waits for commands).
    DWORD autorunMs = 0;
    ULONGLONG nextAutoFrame = 0;
};

Game g;

std::string Narrow(const std::wstring& w) {
    if (w.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), nullptr, 0, nullptr, nullptr);
    std::string out(std::size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring Wide(const std::string& s) {
    if (s.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), nullptr, 0);
    std::wstring out(std::size_t(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), out.data(), n);
    return out;
}

std::wstring OwnFolder() {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path, n);
    return dir.substr(0, dir.find_last_of(L'\\') + 1);
}

// ---- window ---------------------------------------------------------------------------------

void RecordEvent(const std::string& e) {
    if (g.events.size() < 4096) g.events.push_back(e);
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    const int x = short(LOWORD(lp)), y = short(HIWORD(lp));
    switch (msg) {
        case WM_KEYDOWN: RecordEvent(Format("KEYDOWN:%u", unsigned(wp))); return 0;
        case WM_KEYUP: RecordEvent(Format("KEYUP:%u", unsigned(wp))); return 0;
        case WM_SYSKEYDOWN: RecordEvent(Format("SYSKEYDOWN:%u", unsigned(wp))); break;
        case WM_SYSKEYUP: RecordEvent(Format("SYSKEYUP:%u", unsigned(wp))); break;
        case WM_CHAR: RecordEvent(Format("CHAR:%u", unsigned(wp))); return 0;
        case WM_MOUSEMOVE:
            if (g.lastMove.x != x || g.lastMove.y != y) RecordEvent(Format("MOUSEMOVE:%d,%d", x, y));
            g.lastMove = POINT{x, y};
            return 0;
        case WM_LBUTTONDOWN: RecordEvent(Format("LBUTTONDOWN:%d,%d", x, y)); return 0;
        case WM_LBUTTONUP: RecordEvent(Format("LBUTTONUP:%d,%d", x, y)); return 0;
        case WM_RBUTTONDOWN: RecordEvent(Format("RBUTTONDOWN:%d,%d", x, y)); return 0;
        case WM_RBUTTONUP: RecordEvent(Format("RBUTTONUP:%d,%d", x, y)); return 0;
        case WM_MBUTTONDOWN: RecordEvent(Format("MBUTTONDOWN:%d,%d", x, y)); return 0;
        case WM_MBUTTONUP: RecordEvent(Format("MBUTTONUP:%d,%d", x, y)); return 0;
        case WM_SETFOCUS: RecordEvent("SETFOCUS"); return 0;
        case WM_KILLFOCUS: RecordEvent("KILLFOCUS"); return 0;
        case WM_CLOSE: g.quit = true; return 0;
        case WM_DESTROY: return 0;
        default: break;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

bool CreateGameWindow(HINSTANCE instance) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.lpszClassName = L"Grand theft auto San Andreas";
    if (!RegisterClassW(&wc)) return false;
    // A borderless window at the screen origin, as the game runs it: client and screen
    // coordinates coincide, which keeps the driver's mouse positions simple.
    g.hwnd.reset(CreateWindowExW(0, wc.lpszClassName, L"GTA: San Andreas", WS_POPUP | WS_VISIBLE, 0, 0, kWidth,
                                 kHeight, nullptr, nullptr, instance, nullptr));
    if (!g.hwnd) return false;
    ShowWindow(g.hwnd.get(), SW_SHOWNORMAL);
    UpdateWindow(g.hwnd.get());
    SetForegroundWindow(g.hwnd.get());
    SetFocus(g.hwnd.get());
    return true;
}

void PumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) g.quit = true;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Injected input travels through the server's queues: give it a moment to arrive.
void SettleInput() {
    for (int i = 0; i < 3; ++i) {
        PumpMessages();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 15, QS_ALLINPUT);
    }
    PumpMessages();
}

// ---- Direct3D -----------------------------------------------------------------------------

ColourVertex CV(float x, float y, DWORD c) { return ColourVertex{x - 0.5f, y - 0.5f, 0.5f, 1.0f, c}; }

// Fills a locked 32-bit level of side `size` with `colour`.
void FillLevel(const D3DLOCKED_RECT& lr, UINT size, std::uint32_t colour) {
    for (UINT y = 0; y < size; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(lr.pBits) + y * UINT(lr.Pitch));
        for (UINT x = 0; x < size; ++x) row[x] = colour;
    }
}

HRESULT MakeMarkerTexture(const MarkerRequest& marker, ComPtr<IDirect3DBaseTexture9>& out) {
    const std::uint32_t colour = MarkerColour(marker.id);
    HRESULT hr = S_OK;
    if (marker.kind == MarkerKind::kCube) {
        ComPtr<IDirect3DCubeTexture9> cube;
        if (FAILED(hr = g.device->CreateCubeTexture(32, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, cube.put(), nullptr)))
            return hr;
        for (int face = 0; face < 6; ++face) {
            D3DLOCKED_RECT lr;
            if (FAILED(hr = cube->LockRect(D3DCUBEMAP_FACES(face), 0, &lr, nullptr, 0))) return hr;
            FillLevel(lr, 32, colour);
            cube->UnlockRect(D3DCUBEMAP_FACES(face), 0);
        }
        out.reset(cube.release());
        return S_OK;
    }
    ComPtr<IDirect3DTexture9> t;
    if (marker.kind == MarkerKind::kRenderTarget) {
        // Neither lockable nor managed: its colour is only to be had through a copy.
        if (FAILED(hr = g.device->CreateTexture(32, 32, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                                                t.put(), nullptr)))
            return hr;
        ComPtr<IDirect3DSurface9> level;
        if (FAILED(hr = t->GetSurfaceLevel(0, level.put()))) return hr;
        if (FAILED(hr = g.device->ColorFill(level.get(), nullptr, colour))) return hr;
        out.reset(t.release());
        return S_OK;
    }
    const UINT size = marker.kind == MarkerKind::kLarge ? 64 : 32;
    const D3DFORMAT format = marker.kind == MarkerKind::kX8 ? D3DFMT_X8R8G8B8 : D3DFMT_A8R8G8B8;
    if (FAILED(hr = g.device->CreateTexture(size, size, 1, 0, format, D3DPOOL_MANAGED, t.put(), nullptr))) return hr;
    D3DLOCKED_RECT lr;
    if (FAILED(hr = t->LockRect(0, &lr, nullptr, 0))) return hr;
    FillLevel(lr, size, colour);
    if (marker.kind == MarkerKind::kOffCentre)
        reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(lr.pBits) + 16 * UINT(lr.Pitch))[16] = kOffCentreColour;
    if (FAILED(hr = t->UnlockRect(0))) return hr;
    out.reset(t.release());
    return S_OK;
}

HRESULT SetMarkers(const std::vector<MarkerRequest>& requests) {
    g.markerTextures.clear();
    g.markers = requests;
    for (const MarkerRequest& marker : requests) {
        ComPtr<IDirect3DBaseTexture9> t;
        const HRESULT hr = MakeMarkerTexture(marker, t);
        if (FAILED(hr)) return hr;
        g.markerTextures.push_back(std::move(t));
    }
    return S_OK;
}

HRESULT SetMarkers(const std::vector<std::uint32_t>& ids) {
    std::vector<MarkerRequest> requests;
    for (std::uint32_t id : ids) requests.push_back({MarkerKind::kPlain, id});
    return SetMarkers(requests);
}

// Copies `size` bytes into a freshly made buffer (vertex or index).
template <class Buffer>
HRESULT FillBuffer(Buffer* buffer, const void* data, UINT size) {
    void* p = nullptr;
    const HRESULT hr = buffer->Lock(0, 0, &p, 0);
    if (FAILED(hr)) return hr;
    std::memcpy(p, data, size);
    return buffer->Unlock();
}

HRESULT MakeVertexBuffer(const void* data, UINT size, IDirect3DVertexBuffer9** out) {
    const HRESULT hr = g.device->CreateVertexBuffer(size, D3DUSAGE_WRITEONLY, kColourFvf, D3DPOOL_MANAGED, out, nullptr);
    return FAILED(hr) ? hr : FillBuffer(*out, data, size);
}

// The game's windowed device with a back buffer of w x h.
D3DPRESENT_PARAMETERS PresentParameters(UINT w, UINT h) {
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = w;
    pp.BackBufferHeight = h;
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    pp.BackBufferCount = 1;
    // Copy keeps the back buffer after Present, so the presented frame (with whatever the
    // plugin drew inside Present) can be read back for screenshots.
    pp.SwapEffect = D3DSWAPEFFECT_COPY;
    pp.hDeviceWindow = g.hwnd.get();
    pp.Windowed = TRUE;
    pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    pp.EnableAutoDepthStencil = TRUE;  // the world's markers and the plugin's meshes test depth
    pp.AutoDepthStencilFormat = D3DFMT_D16;
    return pp;
}

std::string CreateDevice() {
    g.d3d.reset(Direct3DCreate9(D3D_SDK_VERSION));
    if (!g.d3d) return "Direct3DCreate9 failed";
    D3DPRESENT_PARAMETERS pp = PresentParameters(kWidth, kHeight);
    HRESULT hr = g.d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, g.hwnd.get(), D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                                     &pp, g.device.put());
    if (FAILED(hr)) return Format("CreateDevice failed: 0x%08lx", static_cast<unsigned long>(hr));

    const ColourVertex ground[4] = {CV(float(kGround.x), float(kGround.y), kGroundColour),
                                    CV(float(kGround.x + kGround.w), float(kGround.y), kGroundColour),
                                    CV(float(kGround.x), float(kGround.y + kGround.h), kGroundColour),
                                    CV(float(kGround.x + kGround.w), float(kGround.y + kGround.h), kGroundColour)};
    const ColourVertex building[4] = {CV(float(kBuilding.x), float(kBuilding.y), kBuildingColour),
                                      CV(float(kBuilding.x + kBuilding.w), float(kBuilding.y), kBuildingColour),
                                      CV(float(kBuilding.x), float(kBuilding.y + kBuilding.h), kBuildingColour),
                                      CV(float(kBuilding.x + kBuilding.w), float(kBuilding.y + kBuilding.h),
                                         kBuildingColour)};
    const WORD indices[6] = {0, 1, 2, 2, 1, 3};
    if (FAILED(hr = MakeVertexBuffer(ground, sizeof ground, g.groundVb.put())))
        return Format("ground vertex buffer: 0x%08lx", static_cast<unsigned long>(hr));
    if (FAILED(hr = MakeVertexBuffer(building, sizeof building, g.buildingVb.put())))
        return Format("building vertex buffer: 0x%08lx", static_cast<unsigned long>(hr));
    if (FAILED(hr = g.device->CreateIndexBuffer(sizeof indices, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED,
                                                g.buildingIb.put(), nullptr)) ||
        FAILED(hr = FillBuffer(g.buildingIb.get(), indices, sizeof indices)))
        return Format("building index buffer: 0x%08lx", static_cast<unsigned long>(hr));
    // The 3-D scene of the game's routines starts without markers over it.
    if (FAILED(hr = SetMarkers(g.gta ? std::vector<std::uint32_t>{} : DefaultMarkers())))
        return Format("marker textures: 0x%08lx", static_cast<unsigned long>(hr));
    return {};
}

// The game's 2-D pass routine at 0x53E230 with its real first 15 bytes (mov eax,[0xC97B24];
// sub esp,18h; push 0; push 6; call [eax+20h]), then add esp,18h; ret. The object at 0xC97B24
// leads to a stdcall method that counts the calls, so a hook must reach the original code.
constexpr std::uintptr_t kTwoDPass = 0x53E230, kTwoDPassMethod = 0x53E300;
constexpr std::uintptr_t kTwoDPassObject = 0xC97B40, kTwoDPassCalls = 0xC97B80;

bool PlaceTwoDPass() {
    const std::uint8_t routine[] = {0xA1, 0x24, 0x7B, 0xC9, 0x00, 0x83, 0xEC, 0x18, 0x6A, 0x00, 0x6A, 0x06,
                                    0xFF, 0x50, 0x20, 0x83, 0xC4, 0x18, 0xC3};
    std::uint8_t method[] = {0xFF, 0x05, 0, 0, 0, 0, 0xC2, 0x08, 0x00};  // inc dword [calls]; ret 8
    const std::uint32_t calls = std::uint32_t(kTwoDPassCalls);
    std::memcpy(method + 2, &calls, 4);
    if (!WriteGameCode(kTwoDPassMethod, method, sizeof method) || !WriteGameCode(kTwoDPass, routine, sizeof routine))
        return false;
    GameVariable<std::uint32_t>(0xC97B24) = std::uint32_t(kTwoDPassObject);
    GameVariable<std::uint32_t>(kTwoDPassObject + 0x20) = std::uint32_t(kTwoDPassMethod);
    GameVariable<std::uint32_t>(kTwoDPassCalls) = 0;
    return true;
}

// The plugin's vehicle diagnostics, for the drawing class seen inside the game's routines.
long long PluginVehicleCounter(int which) {
    if (!g.plugin) return -1;
    auto fn = reinterpret_cast<long long (*)(int)>(reinterpret_cast<void*>(GetProcAddress(g.plugin, "HM_VehicleCounter")));
    return fn ? fn(which) : -1;
}

// Marker surfaces: solid 32 x 32 textures on world squares, point-sampled so their colour
// stays exact, depth-tested like the game's world.
void DrawMarkers(IDirect3DDevice9* d) {
    D3DVIEWPORT9 vp{};
    d->GetViewport(&vp);
    const D3DMATRIX identity = AsMatrix({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
    const D3DMATRIX projection = AsMatrix(ScreenProjection(float(vp.Width), float(vp.Height)));
    d->SetTransform(D3DTS_VIEW, &identity);
    d->SetTransform(D3DTS_PROJECTION, &projection);
    d->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    d->SetFVF(kWorldFvf);
    d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    d->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    d->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    for (std::size_t i = 0; i < g.markerTextures.size(); ++i) {
        const D3DMATRIX world = AsMatrix(MarkerWorld(int(i)));
        d->SetTransform(D3DTS_WORLD, &world);
        const float h = kMarkerHalfSide;
        d->SetTexture(0, g.markerTextures[i].get());
        if (g.markers[i].kind == MarkerKind::kCube) {
            const CubeVertex quad[4] = {{-h, h, 0, 0, 0, 1}, {h, h, 0, 0, 0, 1}, {-h, -h, 0, 0, 0, 1}, {h, -h, 0, 0, 0, 1}};
            d->SetFVF(kCubeFvf);
            d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(CubeVertex));
            d->SetFVF(kWorldFvf);
            continue;
        }
        const bool part = TransformedTvMarker(g.markers[i].id);
        const float u1 = part ? 4.0f : 1.0f, v0 = part ? 1.0f : 0.0f, v1 = part ? 4.0f : 1.0f;
        const WorldVertex quad[4] = {{-h, h, 0, 0, v0}, {h, h, 0, u1, v0}, {-h, -h, 0, 0, v1}, {h, -h, 0, u1, v1}};
        d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(WorldVertex));
    }
    d->SetTransform(D3DTS_WORLD, &identity);
    d->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    d->SetTexture(0, nullptr);
}

void RenderFrame() {
    IDirect3DDevice9* d = g.device.get();
    if (g.gta) GtaUpdateCamera();
    d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kSkyColour, 1.0f, 0);
    if (g.gta && SUCCEEDED(d->BeginScene())) {
        d->SetRenderState(D3DRS_LIGHTING, FALSE);
        d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        d->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
        d->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        d->SetRenderState(D3DRS_FOGENABLE, FALSE);
        GtaDrawScene(d);
        DrawMarkers(d);  // none until a "markers" command asks for them
        if (g.twoDPass) reinterpret_cast<void (*)()>(kTwoDPass)();
        d->EndScene();
    } else if (!g.gta && SUCCEEDED(d->BeginScene())) {
        d->SetRenderState(D3DRS_LIGHTING, FALSE);
        d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        d->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
        d->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        d->SetRenderState(D3DRS_FOGENABLE, FALSE);

        // The world: ground from a vertex buffer, a building through an index buffer.
        d->SetTexture(0, nullptr);
        d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
        d->SetFVF(kColourFvf);
        d->SetStreamSource(0, g.groundVb.get(), 0, sizeof(ColourVertex));
        d->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2);
        d->SetStreamSource(0, g.buildingVb.get(), 0, sizeof(ColourVertex));
        d->SetIndices(g.buildingIb.get());
        d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2);

        // A car driving along the road, so that consecutive frames differ.
        const float cx = float(kCarStartX + (g.frames * kCarStep) % kCarTravel), cy = float(kCar.y);
        const ColourVertex car[4] = {CV(cx, cy, kCarColour), CV(cx + kCar.w, cy, kCarColour),
                                     CV(cx, cy + kCar.h, kCarColour), CV(cx + kCar.w, cy + kCar.h, kCarColour)};
        d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, car, sizeof(ColourVertex));

        DrawMarkers(d);
        // The 3-D picture is done; the game's 2-D layer (HUD, radar, chat) would follow.
        if (g.twoDPass) reinterpret_cast<void (*)()>(kTwoDPass)();
        d->EndScene();
    }
    d->Present(nullptr, nullptr, nullptr, nullptr);
    ++g.frames;
    PumpMessages();
}

// The presented frame (the back buffer keeps it under the copy swap effect), as 0xAARRGGBB rows.
std::string ReadFrame(std::vector<std::uint32_t>& out, int& width, int& height) {
    if (g.frames == 0) return "no frame presented yet";
    ComPtr<IDirect3DSurface9> back, copy;
    HRESULT hr = g.device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.put());
    D3DSURFACE_DESC desc{};
    if (SUCCEEDED(hr)) hr = back->GetDesc(&desc);
    if (SUCCEEDED(hr))
        hr = g.device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM, copy.put(),
                                                   nullptr);
    if (SUCCEEDED(hr)) hr = g.device->GetRenderTargetData(back.get(), copy.get());
    D3DLOCKED_RECT lr{};
    if (SUCCEEDED(hr)) hr = copy->LockRect(&lr, nullptr, D3DLOCK_READONLY);
    if (SUCCEEDED(hr)) {
        width = int(desc.Width);
        height = int(desc.Height);
        out.resize(std::size_t(width) * height);
        for (int y = 0; y < height; ++y) {
            const auto* row = reinterpret_cast<const std::uint32_t*>(static_cast<const std::uint8_t*>(lr.pBits) + y * lr.Pitch);
            for (int x = 0; x < width; ++x) out[std::size_t(y) * width + x] = row[x] | 0xFF000000u;
        }
        copy->UnlockRect();
    }
    return FAILED(hr) ? Format("reading the back buffer failed: 0x%08lx", static_cast<unsigned long>(hr)) : "";
}

// The scene's resources before the device that made them.
void ReleaseDevice() {
    g.markerTextures.clear();
    g.buildingIb.reset();
    g.buildingVb.reset();
    g.groundVb.reset();
    g.device.reset();
    g.d3d.reset();
}

// ---- input injection ------------------------------------------------------------------------

int ParseKey(const std::string& name) {
    static const struct {
        const char* name;
        int vk;
    } names[] = {{"CTRL", VK_CONTROL},  {"CONTROL", VK_CONTROL}, {"SHIFT", VK_SHIFT},  {"ALT", VK_MENU},
                 {"MENU", VK_MENU},     {"LCONTROL", VK_LCONTROL}, {"RCONTROL", VK_RCONTROL},
                 {"ENTER", VK_RETURN},  {"RETURN", VK_RETURN},   {"ESC", VK_ESCAPE},   {"ESCAPE", VK_ESCAPE},
                 {"SPACE", VK_SPACE},   {"TAB", VK_TAB},         {"BACK", VK_BACK},    {"LEFT", VK_LEFT},
                 {"RIGHT", VK_RIGHT},   {"UP", VK_UP},           {"DOWN", VK_DOWN},    {"DELETE", VK_DELETE}};
    for (const auto& n : names)
        if (name == n.name) return n.vk;
    if (name.size() == 1 && ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= '0' && name[0] <= '9'))) return name[0];
    if (name.size() >= 2 && name[0] == 'F') {
        const int f = std::atoi(name.c_str() + 1);
        if (f >= 1 && f <= 24) return VK_F1 + f - 1;
    }
    char* end = nullptr;
    const long vk = std::strtol(name.c_str(), &end, 0);
    return (!name.empty() && *end == '\0' && vk > 0 && vk < 256) ? int(vk) : 0;
}

bool IsExtendedKey(int vk) {
    switch (vk) {
        case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN: case VK_DELETE: case VK_INSERT:
        case VK_HOME: case VK_END: case VK_PRIOR: case VK_NEXT: case VK_RCONTROL: case VK_RMENU:
            return true;
        default:
            return false;
    }
}

bool SendKey(int vk, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = WORD(vk);
    in.ki.wScan = WORD(MapVirtualKeyW(UINT(vk), MAPVK_VK_TO_VSC));
    in.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (IsExtendedKey(vk) ? KEYEVENTF_EXTENDEDKEY : 0);
    return SendInput(1, &in, sizeof in) == 1;
}

bool SendMouse(DWORD flags, int x = 0, int y = 0) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flags;
    if (flags & MOUSEEVENTF_ABSOLUTE) {
        const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
        in.mi.dx = LONG((LONGLONG(x) * 65536 + sw - 1) / sw);
        in.mi.dy = LONG((LONGLONG(y) * 65536 + sh - 1) / sh);
    }
    return SendInput(1, &in, sizeof in) == 1;
}

std::string MoveMouse(int x, int y) {
    POINT p{x, y};
    ClientToScreen(g.hwnd.get(), &p);
    if (!SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, p.x, p.y)) return "error SendInput failed";
    SettleInput();
    POINT now{};
    GetCursorPos(&now);
    if (now.x != p.x || now.y != p.y) {
        SetCursorPos(p.x, p.y);
        SettleInput();
        GetCursorPos(&now);
    }
    ScreenToClient(g.hwnd.get(), &now);
    return Format("ok cursor=%ld,%ld", now.x, now.y);
}

DWORD ButtonFlag(const std::string& button, bool up) {
    if (button.empty() || button == "left") return up ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_LEFTDOWN;
    if (button == "right") return up ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_RIGHTDOWN;
    if (button == "middle") return up ? MOUSEEVENTF_MIDDLEUP : MOUSEEVENTF_MIDDLEDOWN;
    return 0;
}

// ---- commands -------------------------------------------------------------------------------

std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == ' ') ++i;
        std::size_t j = i;
        while (j < line.size() && line[j] != ' ') ++j;
        if (j > i) words.push_back(line.substr(i, j - i));
        i = j;
    }
    return words;
}

// The plugin's diagnostic exports; -1 when the plugin or the export is missing.
template <class R>
long PluginDiagnostic(const char* name) {
    if (!g.plugin) return -1;
    auto fn = reinterpret_cast<R (*)()>(reinterpret_cast<void*>(GetProcAddress(g.plugin, name)));
    return fn ? long(fn()) : -1;
}

// A read-only diagnostics export of the plugin taking one int: "ok <value>".
std::string Counter(const char* name, const std::string& which) {
    if (!g.plugin) return "error no plugin";
    auto fn = reinterpret_cast<long long (*)(int)>(reinterpret_cast<void*>(GetProcAddress(g.plugin, name)));
    if (!fn) return std::string("error no ") + name;
    return Format("ok %lld", fn(std::atoi(which.c_str())));
}

std::string Execute(const std::string& line) {
    const auto w = Words(line);
    if (w.empty()) return "error empty command";
    const std::string& cmd = w[0];
    const std::string rest = line.size() > cmd.size() ? line.substr(line.find(cmd) + cmd.size() + 1) : "";

    if (cmd == "echo") return "ok " + rest;
    if (std::string gta = GtaCommand(w); !gta.empty()) return gta;
    if (cmd == "vehicle" && w.size() == 2) return Counter("HM_VehicleCounter", w[1]);  // The plugin's vehicle values
    if (cmd == "frames" && w.size() == 2) {
        const long n = std::atol(w[1].c_str());
        if (n < 0 || n > 100000) return "error frame count";
        for (long i = 0; i < n && !g.quit; ++i) RenderFrame();
        return Format("ok frames=%ld total=%ld", n, g.frames);
    }
    if (cmd == "timed" && w.size() == 2) {
        // N frames and the microseconds they took inside the game, for frame-time figures.
        const long n = std::atol(w[1].c_str());
        if (n < 1 || n > 100000) return "error frame count";
        LARGE_INTEGER f, t0, t1;
        QueryPerformanceFrequency(&f);
        QueryPerformanceCounter(&t0);
        for (long i = 0; i < n && !g.quit; ++i) RenderFrame();
        QueryPerformanceCounter(&t1);
        return Format("ok us=%lld", static_cast<long long>((t1.QuadPart - t0.QuadPart) * 1000000 / f.QuadPart));
    }
    if (cmd == "run" && w.size() == 2) {
        const ULONGLONG end = GetTickCount64() + ULONGLONG(std::atol(w[1].c_str()));
        long n = 0;
        do {
            RenderFrame();
            ++n;
        } while (GetTickCount64() < end && !g.quit);
        return Format("ok frames=%ld total=%ld", n, g.frames);
    }
    if (cmd == "key" && w.size() == 3) {
        const int vk = ParseKey(w[2]);
        if (!vk) return "error unknown key " + w[2];
        const bool down = w[1] == "down" || w[1] == "tap", up = w[1] == "up" || w[1] == "tap";
        if (!down && !up) return "error key down|up|tap";
        if (down && !SendKey(vk, false)) return "error SendInput failed";
        if (down) SettleInput();
        if (up && !SendKey(vk, true)) return "error SendInput failed";
        SettleInput();
        return Format("ok vk=%d", vk);
    }
    if (cmd == "keystate" && w.size() == 2) {
        const int vk = ParseKey(w[1]);
        if (!vk) return "error unknown key " + w[1];
        PumpMessages();
        const bool async = (GetAsyncKeyState(vk) & 0x8000) != 0;
        const bool state = (GetKeyState(vk) & 0x8000) != 0;
        return Format("ok async=%s state=%s", async ? "down" : "up", state ? "down" : "up");
    }
    if (cmd == "mouse" && w.size() >= 2) {
        if (w[1] == "move" && w.size() == 4) return MoveMouse(std::atoi(w[2].c_str()), std::atoi(w[3].c_str()));
        if ((w[1] == "down" || w[1] == "up") && w.size() <= 3) {
            const DWORD flag = ButtonFlag(w.size() == 3 ? w[2] : "", w[1] == "up");
            if (!flag) return "error mouse button";
            if (!SendMouse(flag)) return "error SendInput failed";
            SettleInput();
            return "ok";
        }
        return "error mouse move X Y | down [button] | up [button]";
    }
    if (cmd == "click" && (w.size() == 3 || w.size() == 4)) {
        const std::string button = w.size() == 4 ? w[3] : "left";
        if (!ButtonFlag(button, false)) return "error mouse button";
        std::string moved = MoveMouse(std::atoi(w[1].c_str()), std::atoi(w[2].c_str()));
        if (moved.compare(0, 2, "ok") != 0) return moved;
        if (!SendMouse(ButtonFlag(button, false))) return "error SendInput failed";
        SettleInput();
        if (!SendMouse(ButtonFlag(button, true))) return "error SendInput failed";
        SettleInput();
        return moved;
    }
    const bool canvas_drag = cmd == "canvasdown" || cmd == "canvasmove" || cmd == "canvasup";
    if ((cmd == "canvasclick" && (w.size() == 3 || w.size() == 4)) ||
        ((cmd == "canvaspixel" || canvas_drag) && w.size() == 3)) {
        std::vector<std::uint32_t> px;
        int width = 0, height = 0;
        const std::string err = ReadFrame(px, width, height);
        if (!err.empty()) return "error " + err;
        const hm::CanvasPlacement place = hm::PlaceOverlay(float(width), float(height));
        // The centre of the canvas pixel, in client pixels.
        const int x = int(place.offset_x + (float(std::atoi(w[1].c_str())) + 0.5f) * place.scale);
        const int y = int(place.offset_y + (float(std::atoi(w[2].c_str())) + 0.5f) * place.scale);
        if (x < 0 || y < 0 || x >= width || y >= height) return "error outside the frame";
        if (cmd == "canvaspixel") return Format("ok %08x", static_cast<unsigned>(px[std::size_t(y) * width + x]));
        if (canvas_drag) {
            const std::string moved = MoveMouse(x, y);
            if (moved.compare(0, 2, "ok") != 0 || cmd == "canvasmove") return moved;
            const std::string pressed = Execute(cmd == "canvasdown" ? "mouse down" : "mouse up");
            return pressed == "ok" ? moved : pressed;
        }
        return Execute("click " + std::to_string(x) + " " + std::to_string(y) + (w.size() == 4 ? " " + w[3] : ""));
    }
    if (cmd == "dblclicktime" && w.size() == 2) {
        // Clicks sent one command apart can be 500 ms apart under qemu.
        const UINT ms = UINT(std::atoi(w[1].c_str()));
        if (!SetDoubleClickTime(ms)) return "error SetDoubleClickTime failed";
        return Format("ok ms=%u", GetDoubleClickTime());
    }
    if (cmd == "events") {
        PumpMessages();
        std::string out = "ok";
        for (const auto& e : g.events) out += " " + e;
        g.events.clear();
        return out;
    }
    if (cmd == "focus") {
        SetForegroundWindow(g.hwnd.get());
        SetFocus(g.hwnd.get());
        SettleInput();
        return Format("ok foreground=%d focus=%d", GetForegroundWindow() == g.hwnd.get(), GetFocus() == g.hwnd.get());
    }
    if (cmd == "unfocus") {
        // The desktop window belongs to Wine's explorer process, not to the game.
        SetForegroundWindow(GetDesktopWindow());
        SettleInput();
        DWORD pid = 0;
        HWND front = GetForegroundWindow();
        if (front) GetWindowThreadProcessId(front, &pid);
        return Format("ok foreground=%d", front == g.hwnd.get() || pid == GetCurrentProcessId());
    }
    if (cmd == "screenshot" && !rest.empty()) {
        std::vector<std::uint32_t> px;
        int width = 0, height = 0;
        std::string err = ReadFrame(px, width, height);
        if (err.empty()) err = WritePng(Wide(rest), px.data(), width, height);
        return err.empty() ? Format("ok %dx%d frame=%ld", width, height, g.frames) : "error " + err;
    }
    if (cmd == "pixel" && w.size() == 3) {
        std::vector<std::uint32_t> px;
        int width = 0, height = 0;
        const std::string err = ReadFrame(px, width, height);
        if (!err.empty()) return "error " + err;
        const int x = std::atoi(w[1].c_str()), y = std::atoi(w[2].c_str());
        if (x < 0 || y < 0 || x >= width || y >= height) return "error outside the frame";
        return Format("ok %08x", static_cast<unsigned>(px[std::size_t(y) * width + x]));
    }
    if (cmd == "markers") {
        static const struct {
            const char* prefix;
            MarkerKind kind;
        } kinds[] = {{"x8:", MarkerKind::kX8},
                     {"big:", MarkerKind::kLarge},
                     {"centre:", MarkerKind::kOffCentre},
                     {"rt:", MarkerKind::kRenderTarget},
                     {"cube:", MarkerKind::kCube}};
        std::vector<MarkerRequest> requests;
        for (std::size_t i = 1; i < w.size(); ++i) {
            MarkerRequest marker;
            std::string id_text = w[i];
            for (const auto& k : kinds)
                if (id_text.rfind(k.prefix, 0) == 0) {
                    marker.kind = k.kind;
                    id_text = id_text.substr(std::strlen(k.prefix));
                }
            marker.id = std::uint32_t(std::strtoul(id_text.c_str(), nullptr, 0));
            if (!MarkerColour(marker.id)) return "error no colour carries marker " + w[i];
            requests.push_back(marker);
        }
        if (requests.size() > std::size_t(kMaxMarkers)) return "error too many markers";
        const HRESULT hr = SetMarkers(requests);
        return FAILED(hr) ? Format("error marker textures: 0x%08lx", static_cast<unsigned long>(hr))
                          : Format("ok markers=%u", unsigned(requests.size()));
    }
    if (cmd == "plugin") {
        return Format("ok loaded=%d worker_starts=%ld worker_stage=%ld load_error=%lu photo_visible=%ld dialogs=%ld "
                      "edge_failures=%ld",
                      g.plugin != nullptr, PluginDiagnostic<long>("HM_WorkerStarts"),
                      PluginDiagnostic<int>("HM_WorkerStage"), static_cast<unsigned long>(g.pluginError),
                      PluginDiagnostic<int>("HM_PhotoVisible"), PluginDiagnostic<int>("HM_DialogRequests"),
                      PluginDiagnostic<long>("HM_EdgeFailures"));
    }
    if (cmd == "unload") {
        if (!g.plugin) return "error no plugin";
        FreeLibrary(g.plugin);
        const bool resident = GetModuleHandleW(L"HM_Plugin.dll") != nullptr;
        if (!resident) g.plugin = nullptr;  // gone: nothing may call into it any more
        return Format("ok resident=%d", resident ? 1 : 0);
    }
    if (cmd == "image") {
        MEMORY_BASIC_INFORMATION mbi{};
        VirtualQuery(reinterpret_cast<void*>(0x53E230), &mbi, sizeof mbi);
        auto* base = reinterpret_cast<const std::uint8_t*>(GetModuleHandleW(nullptr));
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
        return Format("ok base=%08lx size=%08lx region=%d state_53e230=%lx protect_53e230=%lx",
                      static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(base)),
                      static_cast<unsigned long>(nt->OptionalHeader.SizeOfImage),
                      InGameRegion(kGameRegionBegin, kGameRegionEnd - kGameRegionBegin),
                      static_cast<unsigned long>(mbi.State), static_cast<unsigned long>(mbi.Protect));
    }
    if (cmd == "args") {
        return "ok " + Narrow(GetCommandLineW());
    }
    if (cmd == "autorun" && w.size() == 2) {
        const long ms = w[1] == "off" ? 0 : std::atol(w[1].c_str());
        if (ms < 0 || ms > 60000 || (ms == 0 && w[1] != "off" && w[1] != "0")) return "error autorun <ms>|off";
        g.autorunMs = DWORD(ms);
        g.nextAutoFrame = GetTickCount64();
        return Format("ok autorun=%lu total=%ld", static_cast<unsigned long>(g.autorunMs), g.frames);
    }
    if (cmd == "graphics" && w.size() == 2) return Counter("HM_GraphicsCounter", w[1]);  // The plugin's frame-work counters
    if (cmd == "voice" && w.size() == 2) return Counter("HM_VoiceCounter", w[1]);  // The plugin's voice chat values
    if (cmd == "npc" && w.size() == 2) return Counter("HM_NpcCounter", w[1]);  // The plugin's NPC voice values
    if (cmd == "overlay" && w.size() == 4) {
        // A solid test overlay frame published inside the plugin; colour 0 closes it.
        if (!g.plugin) return "error no plugin";
        auto fn = reinterpret_cast<int (*)(unsigned, int, int)>(reinterpret_cast<void*>(GetProcAddress(g.plugin, "HM_ShowTestOverlay")));
        if (!fn) return "error no HM_ShowTestOverlay";
        return fn(unsigned(std::strtoul(w[1].c_str(), nullptr, 16)), std::atoi(w[2].c_str()), std::atoi(w[3].c_str()))
                   ? "ok shown"
                   : "error refused";
    }
    if (cmd == "cursor" && w.size() == 4) {
        // The plugin cursor over the test overlay (HM_SetTestCursor): visible 0|1 at canvas x y.
        if (!g.plugin) return "error no plugin";
        auto fn = reinterpret_cast<void (*)(int, int, int)>(reinterpret_cast<void*>(GetProcAddress(g.plugin, "HM_SetTestCursor")));
        if (!fn) return "error no HM_SetTestCursor";
        fn(std::atoi(w[1].c_str()), std::atoi(w[2].c_str()), std::atoi(w[3].c_str()));
        return "ok cursor";
    }
    if (cmd == "tv" && w.size() == 2) {
        // The television's state (HM_TelevisionState): 0 screen, 1 helper running, 2 status, 3 counter, 4 pid.
        if (!g.plugin) return "error no plugin";
        auto fn = reinterpret_cast<long long (*)(int)>(reinterpret_cast<void*>(GetProcAddress(g.plugin, "HM_TelevisionState")));
        if (!fn) return "error no HM_TelevisionState";
        return Format("ok value=%lld", fn(std::atoi(w[1].c_str())));
    }
    if (cmd == "camera" && w.size() == 3) {
        // The active camera index and its mode (46: the photo camera's viewfinder).
        const int index = std::atoi(w[1].c_str());
        if (index < 0 || index > 255) return "error camera index";
        GameVariable<std::uint8_t>(0xB6F081) = std::uint8_t(index);
        GameVariable<std::uint16_t>(0xB6F1A8 + std::uintptr_t(index) * 568) = std::uint16_t(std::atoi(w[2].c_str()));
        return Format("ok camera=%d", index);
    }
    if (cmd == "sampchat" && (w.size() == 2 || w.size() == 3)) {
        if (!g.samp) return "error no samp.dll (start with --hm-samp beside it)";
        const char* name = w.size() == 3 ? "FakeSampSetDialogShown" : "FakeSampSetChatOpen";
        auto set = reinterpret_cast<void (*)(int)>(reinterpret_cast<void*>(GetProcAddress(g.samp, name)));
        if (!set) return "error not the fake samp.dll";
        set(std::atoi(w[1].c_str()));
        return "ok";
    }
    if (cmd == "samp") {
        // Chat lines the fake samp.dll was handed, the last one in full.
        if (!g.samp) return "error no samp.dll (start with --hm-samp beside it)";
        auto count = reinterpret_cast<int (*)()>(reinterpret_cast<void*>(GetProcAddress(g.samp, "FakeSampLineCount")));
        auto text = reinterpret_cast<const char* (*)(int)>(reinterpret_cast<void*>(GetProcAddress(g.samp, "FakeSampLine")));
        if (!count || !text) return "error not the fake samp.dll";
        const int n = count();
        const char* last = n > 0 ? text(n - 1) : nullptr;
        return Format("ok lines=%d last=%s", n, last ? last : "");
    }
    if (cmd == "samplines") {
        // Every chat line with the tick the fake samp.dll got it at: "ok <tick>:<text>|...".
        if (!g.samp) return "error no samp.dll (start with --hm-samp beside it)";
        auto count = reinterpret_cast<int (*)()>(reinterpret_cast<void*>(GetProcAddress(g.samp, "FakeSampLineCount")));
        auto text = reinterpret_cast<const char* (*)(int)>(reinterpret_cast<void*>(GetProcAddress(g.samp, "FakeSampLine")));
        auto tick = reinterpret_cast<unsigned (*)(int)>(reinterpret_cast<void*>(GetProcAddress(g.samp, "FakeSampLineTick")));
        if (!count || !text || !tick) return "error not the fake samp.dll";
        std::string out = "ok ";
        for (int i = 0; i < count(); ++i) out += Format("%u:%s|", tick(i), text(i));
        return out;
    }
    if (cmd == "setcursor" && w.size() == 3) {
        // The game moving and shaping the system cursor itself, as games do.
        SetCursorPos(std::atoi(w[1].c_str()), std::atoi(w[2].c_str()));
        SetCursor(LoadCursorW(nullptr, IDC_ARROW));
        return "ok";
    }
    if (cmd == "fault" && w.size() == 3) {
        // One fault site of the plugin armed (HM_ArmFault; site 0 disarms).
        if (!g.plugin) return "error no plugin";
        auto fn = reinterpret_cast<long (*)(int, int)>(reinterpret_cast<void*>(GetProcAddress(g.plugin, "HM_ArmFault")));
        if (!fn) return "error no HM_ArmFault";
        return Format("ok thrown=%ld", fn(std::atoi(w[1].c_str()), std::atoi(w[2].c_str())));
    }
    if (cmd == "locks") {
        // The plugin's process-wide locks each tried from this thread until free or a second passed (HM_TryPluginLocks).
        if (!g.plugin) return "error no plugin";
        auto fn = reinterpret_cast<int (*)()>(reinterpret_cast<void*>(GetProcAddress(g.plugin, "HM_TryPluginLocks")));
        auto thrown = reinterpret_cast<long (*)()>(reinterpret_cast<void*>(GetProcAddress(g.plugin, "HM_InjectedFaults")));
        if (!fn || !thrown) return "error no HM_TryPluginLocks";
        return Format("ok free=%d thrown=%ld", fn(), thrown());
    }
    if (cmd == "notice") {
        // The plugin's current notice (HM_CurrentNotice), UTF-8.
        if (!g.plugin) return "error no plugin";
        auto fn = reinterpret_cast<int (*)(wchar_t*, int)>(reinterpret_cast<void*>(GetProcAddress(g.plugin, "HM_CurrentNotice")));
        if (!fn) return "error no HM_CurrentNotice";
        wchar_t text[512];
        const int n = fn(text, 512);
        if (n < 0) return "error lock held";
        return "ok " + Narrow(std::wstring(text, std::size_t(n)));
    }
    if (cmd == "photo" && w.size() == 3) {
        // A photo request with its time-out inside the plugin (HM_ArmPhotoRequest).
        if (!g.plugin) return "error no plugin";
        auto fn = reinterpret_cast<void (*)(int, int)>(reinterpret_cast<void*>(GetProcAddress(g.plugin, "HM_ArmPhotoRequest")));
        if (!fn) return "error no HM_ArmPhotoRequest";
        fn(std::atoi(w[1].c_str()), std::atoi(w[2].c_str()));
        return "ok armed";
    }
    if (cmd == "twodpass") {
        if (!g.twoDPass) return "error no 2-D pass routine (start with --hm-2d-pass)";
        return Format("ok calls=%lu", static_cast<unsigned long>(GameVariable<std::uint32_t>(kTwoDPassCalls)));
    }
    if (cmd == "reset" && w.size() == 3) {
        // Device reset to another back-buffer size. The scene's resources are managed but for a
        // render-target marker, which goes before the reset and is made again after it.
        D3DPRESENT_PARAMETERS pp =
            PresentParameters(UINT(std::atoi(w[1].c_str())), UINT(std::atoi(w[2].c_str())));
        g.markerTextures.clear();
        HRESULT hr = g.device->Reset(&pp);
        if (SUCCEEDED(hr)) hr = SetMarkers(std::vector<MarkerRequest>(g.markers));
        return FAILED(hr) ? Format("error Reset: 0x%08lx", static_cast<unsigned long>(hr))
                          : Format("ok %ux%u", pp.BackBufferWidth, pp.BackBufferHeight);
    }
    if (cmd == "quit") {
        g.quit = true;
        return Format("ok frames=%ld", g.frames);
    }
    return "error unknown command: " + line;
}

// ---- control channel ------------------------------------------------------------------------

bool SendLine(const std::string& text) {
    if (g.control == INVALID_SOCKET) return false;
    std::string line = text;
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    line += '\n';
    std::size_t sent = 0;
    while (sent < line.size()) {
        const int n = send(g.control, line.data() + sent, int(line.size() - sent), 0);
        if (n > 0) {
            sent += std::size_t(n);
        } else if (WSAGetLastError() == WSAEWOULDBLOCK) {
            Sleep(1);
        } else {
            return false;
        }
    }
    return true;
}

bool ConnectControl(int port) {
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return false;
    g.control = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (g.control == INVALID_SOCKET) return false;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(u_short(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(g.control, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return false;
    const BOOL one = TRUE;
    setsockopt(g.control, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
    g.controlEvent = WSACreateEvent();
    return WSAEventSelect(g.control, g.controlEvent, FD_READ | FD_CLOSE) == 0;
}

void ServeControl() {
    WSANETWORKEVENTS ne{};
    WSAEnumNetworkEvents(g.control, g.controlEvent, &ne);
    char buf[4096];
    for (;;) {
        const int n = recv(g.control, buf, sizeof buf, 0);
        if (n > 0) {
            g.inbox.append(buf, std::size_t(n));
            continue;
        }
        if (n == 0 || WSAGetLastError() != WSAEWOULDBLOCK) g.controlLost = true;
        break;
    }
    std::size_t end;
    while (!g.quit && (end = g.inbox.find('\n')) != std::string::npos) {
        std::string line = g.inbox.substr(0, end);
        g.inbox.erase(0, end + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!SendLine(Execute(line))) g.controlLost = true;
    }
}

int ControlPort(int argc, wchar_t** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::wcsncmp(argv[i], L"--hm-control=", 13) == 0) return _wtoi(argv[i] + 13);
    return 0;
}

int Run(HINSTANCE instance) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    const int controlPort = argv ? ControlPort(argc, argv) : 0;
    bool twoDPass = false, samp = false, gta = false;
    for (int i = 1; argv && i < argc; ++i) {
        twoDPass = twoDPass || std::wcscmp(argv[i], L"--hm-2d-pass") == 0;
        gta = gta || std::wcscmp(argv[i], L"--gta-routines") == 0;
        samp = samp || std::wcscmp(argv[i], L"--hm-samp") == 0;
    }
    if (argv) LocalFree(argv);
    // SA-MP comes into the game before any plugin, as its loader does it.
    if (samp) g.samp = LoadLibraryW((OwnFolder() + L"samp.dll").c_str());
    // The game's code is there before any plugin looks at it.
    g.twoDPass = twoDPass && PlaceTwoDPass();
    g.gta = gta && PlaceGtaRoutines(&PluginVehicleCounter);

    // A plugin loader brings plugins in before the game sets up its window and device. Without
    // HM_Plugin.dll it loads the plugin as installed by INSTALOVAT.cmd, the way an ASI loader does.
    std::wstring pluginPath = OwnFolder() + L"HM_Plugin.dll";
    if (GetFileAttributesW(pluginPath.c_str()) == INVALID_FILE_ATTRIBUTES) pluginPath = OwnFolder() + L"HM_Plugin.asi";
    g.plugin = LoadLibraryW(pluginPath.c_str());
    if (!g.plugin) g.pluginError = GetLastError();

    if (controlPort && !ConnectControl(controlPort)) return 3;
    std::string failure;
    if (!CreateGameWindow(instance)) failure = "cannot create the game window";
    if (failure.empty()) failure = CreateDevice();
    if (!failure.empty()) {
        SendLine("fatal " + failure);
        return 2;
    }
    SendLine(Format("hello gta_sa pid=%lu plugin=%s", static_cast<unsigned long>(GetCurrentProcessId()),
                    g.plugin ? "loaded" : "missing"));

    while (!g.quit) {
        if (g.control == INVALID_SOCKET) {
            RenderFrame();  // no driver: the game just runs
            continue;
        }
        DWORD wait = INFINITE;
        if (g.autorunMs) {
            const ULONGLONG now = GetTickCount64();
            if (now >= g.nextAutoFrame) {
                RenderFrame();
                g.nextAutoFrame = std::max(g.nextAutoFrame + g.autorunMs, now);
                wait = 0;
            } else {
                wait = DWORD(g.nextAutoFrame - now);
            }
        }
        const DWORD r = MsgWaitForMultipleObjects(1, &g.controlEvent, FALSE, wait, QS_ALLINPUT);
        PumpMessages();
        if (r == WAIT_OBJECT_0) ServeControl();
        if (g.controlLost) break;
    }
    const bool lost = g.controlLost && !g.quit;
    const int rc = lost ? 3 : 0;
    ReleaseDevice();
    g.hwnd.reset();
    if (g.control != INVALID_SOCKET) {
        // The game's own last word: under emulation Wine may kill the Unix process while it
        // tears down after every Windows thread has ended, which changes the runner's code.
        SendLine(Format("bye %d", rc));
        shutdown(g.control, SD_SEND);
        closesocket(g.control);
        WSACloseEvent(g.controlEvent);
        WSACleanup();
    }
    return rc;
}

}  // namespace
}  // namespace hm::fakegame

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const int rc = hm::fakegame::Run(instance);
    CoUninitialize();
    return rc;
}
