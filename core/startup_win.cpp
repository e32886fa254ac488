#include "core/startup_win.h"

#include <windows.h>
#include <objbase.h>
#include <wincodec.h>

#include "core/config_win.h"
#include "core/frame_wiring_win.h"
#include "core/identity_win.h"
#include "core/session_win.h"
#include "base/owners_win.h"
#include "core/worker_hooks.h"
#include "core/worker_loop.h"
#include "net/device_store_win.h"
#include "net/url_policy_win.h"
#include "base/notices_win.h"

namespace hm {

namespace {

// {317D06E8-5F24-433D-BDF7-79CE68D8ABC2}: the imaging factory the photo and gallery code expects.
constexpr CLSID kWicImagingFactoryClsid = {0x317d06e8, 0x5f24, 0x433d, {0xbd, 0xf7, 0x79, 0xce, 0x68, 0xd8, 0xab, 0xc2}};
// IID_IWICImagingFactory {EC5EC8A9-C395-4314-9C77-54D7A935FF70}
constexpr IID kWicImagingFactoryIid = {0xec5ec8a9, 0xc395, 0x4314, {0x9c, 0x77, 0x54, 0xd7, 0xa9, 0x35, 0xff, 0x70}};

void PinOwnModule() {
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&PinOwnModule), &self);
}

void* CreateImagingFactory() {
    ComPtr<IUnknown> factory;
    const HRESULT hr = CoCreateInstance(kWicImagingFactoryClsid, nullptr, CLSCTX_INPROC_SERVER, kWicImagingFactoryIid,
                                        factory.put_void());
    ThrowIfFailedOrNull(1103, hr, factory.get());
    return factory.release();
}

void ReleaseImagingFactory(void* factory) {
    if (factory) static_cast<IUnknown*>(factory)->Release();
}

HotkeyKeys SampleHotkeys() {
    HotkeyKeys keys;
    auto down = [](int vk) { return (GetAsyncKeyState(vk) & 0x8000) != 0; };
    keys.ctrl = down(VK_CONTROL);
    keys.f9 = down(VK_F9);
    keys.f10 = down(VK_F10);
    keys.f11 = down(VK_F11);
    keys.f12 = down(VK_F12);
    DWORD owner = 0;
    if (HWND foreground = GetForegroundWindow()) GetWindowThreadProcessId(foreground, &owner);
    keys.game_in_foreground = owner != 0 && owner == GetCurrentProcessId();
    return keys;
}

}  // namespace

StartupSeams PluginStartupSeams() {
    StartupSeams s;
    s.is_on_community_server = [] { return IsOnCommunityServer(); };
    s.pin_module = [] { PinOwnModule(); };
    s.init_com = [] { ThrowIfFailed(1102, CoInitializeEx(nullptr, COINIT_MULTITHREADED)); };
    s.uninit_com = [] { CoUninitialize(); };
    s.ini = ProfileIniReader(IniPathBeside(OwnModuleFileName()));
    s.local_app_data = [] { return LocalAppDataFolder(); };
    s.make_api_client = [](const std::wstring& url, bool allowLocalHttp) { return MakeApiClient(url, allowLocalHttp); };
    s.command_line_args = [] { return GameCommandLineArgs(); };
    s.registry_player_name = [] { return RegistryPlayerName(); };
    s.create_imaging_factory = [] { return CreateImagingFactory(); };
    s.release_imaging_factory = [](void* factory) { ReleaseImagingFactory(factory); };
    s.show_notice = [](const std::wstring& text) { ShowNotice(text); };
    s.load_remembered_device = [](const std::wstring& path, const std::wstring& url) {
        return LoadRememberedDevice(path, url);
    };
    s.debug_output = [](const wchar_t* line) { OutputDebugStringW(line); };
    s.start_voice_chat = [](const PluginConfig& c) { StartVoiceChat(c); };
    s.start_npc_voices = [](const PluginConfig& c) { StartNpcVoices(c); };
    s.start_camera_data_thread = [](const PluginConfig& c) { StartCameraDataThread(c); };
    s.install_direct3d_hooks = [] {
        FillFrameSteps();
        InstallDirect3DHooks();
    };
    return s;
}

unsigned long RunWorkerThread() {
    PluginRecord& plugin = Plugin();
    WorkerContext ctx;
    const WorkerStage stage = RunStartup(PluginStartupSeams(), ctx, PluginShared(), plugin);
    plugin.worker_stage.store(int(stage));
    if (stage != WorkerStage::Looping) return 0;

    WorkerLoopSeams loop;
    loop.stop_requested = [&plugin] { return plugin.stop_flag.load(); };
    loop.now = [] { return Tick(GetTickCount64()); };
    loop.sample_keys = [] { return SampleHotkeys(); };
    loop.sleep = [](unsigned ms) { Sleep(ms); };
    loop.release_imaging_factory = [](WorkerContext& c) {
        ReleaseImagingFactory(c.imaging_factory);
        c.imaging_factory = nullptr;
    };
    InstallPluginSession(ctx);
    RunWorkerLoop(ctx, loop);
    CoUninitialize();
    plugin.worker_stage.store(int(WorkerStage::Stopped));
    return 0;
}

}  // namespace hm
