// The worker thread's start-up sequence, portable over seams so its order and failure handling
// run in native tests; startup_win.cpp passes the Windows calls.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/config.h"
#include "base/plugin.h"
#include "base/shared_state.h"
#include "core/worker_context.h"

namespace hm {

constexpr const wchar_t* kStartupFailureLine =
    L"HM Plugin: initialization failed; check HM_Plugin.ini and D3D9 compatibility.\n";

// "HM Plugin v1.00 BETA nacten. Ctrl+F9: verze a aktualizace"
std::wstring StartupNoticeText();

// ConsentGiven starts true exactly when a device is remembered; the automatic consent prompt
// is armed when AutoConnect is on and not both a device is remembered and a name is known.
struct InitialSession {
    bool consent_given = false;
    bool auto_prompt_armed = false;
};
InitialSession InitialSessionFlags(bool autoConnect, bool deviceRemembered, bool playerNameKnown);

struct StartupSeams {
    std::function<bool()> is_on_community_server;
    std::function<void()> pin_module;
    std::function<void()> init_com;    // throws WinApiFailure
    std::function<void()> uninit_com;
    IniReader ini;
    std::function<std::wstring()> local_app_data;  // throws WinApiFailure
    std::function<ApiClient(const std::wstring& url, bool allowLocalHttp)> make_api_client;  // throws
    std::function<std::vector<std::wstring>()> command_line_args;  // without the program name
    std::function<std::wstring()> registry_player_name;
    std::function<void*()> create_imaging_factory;  // throws WinApiFailure
    std::function<void(void*)> release_imaging_factory;
    std::function<void(const std::wstring&)> show_notice;
    std::function<std::string(const std::wstring& path, const std::wstring& apiUrl)> load_remembered_device;
    std::function<void(const wchar_t*)> debug_output;
    // Subsystem starts (worker_hooks.h in the plugin).
    std::function<void(const PluginConfig&)> start_voice_chat;
    std::function<void(const PluginConfig&)> start_npc_voices;
    std::function<void(const PluginConfig&)> start_camera_data_thread;
    std::function<void()> install_direct3d_hooks;
};

// Runs the start-up steps in order and fills `ctx`. Returns WorkerStage::Looping when the
// worker should enter the loop (COM stays initialised); any other stage means the worker
// ends (COM already uninitialised). Publishes the identity into `shared` and the consent and
// cockpit flags into `plugin`.
WorkerStage RunStartup(const StartupSeams& seams, WorkerContext& ctx, SharedState& shared, PluginRecord& plugin);

}  // namespace hm
