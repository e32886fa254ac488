#include "core/startup.h"

#include <mutex>

#include "core/identity.h"
#include "net/api_types.h"

namespace hm {

std::wstring StartupNoticeText() {
    std::wstring text = L"HM Plugin v";
    for (const char* p = kPluginVersion; *p; ++p) text += wchar_t(*p);
    return text + L" BETA nacten. Ctrl+F9: verze a aktualizace";
}

InitialSession InitialSessionFlags(bool autoConnect, bool deviceRemembered, bool playerNameKnown) {
    InitialSession s;
    s.consent_given = deviceRemembered;
    s.auto_prompt_armed = autoConnect && !(deviceRemembered && playerNameKnown);
    return s;
}

WorkerStage RunStartup(const StartupSeams& seams, WorkerContext& ctx, SharedState& shared, PluginRecord& plugin) {
    if (!seams.is_on_community_server()) return WorkerStage::GateRefused;
    seams.pin_module();
    bool comReady = false;
    try {
        seams.init_com();
        comReady = true;
        if (!ReadEnabled(seams.ini)) {
            seams.uninit_com();
            return WorkerStage::Disabled;
        }
        ctx.config = ReadPluginConfig(seams.ini);
        const std::wstring localAppData = seams.local_app_data();
        ctx.photos_folder = PhotosFolderIn(localAppData);
        ctx.device_file = DeviceFileIn(localAppData);
        ctx.client = seams.make_api_client(ctx.config.api_url, ctx.config.allow_local_http);

        const PlayerIdentity identity = ResolvePlayerIdentity(
            seams.command_line_args(), ctx.config.game_server_port, seams.registry_player_name(), ctx.config.player_name);
        {
            std::lock_guard<std::mutex> guard(shared.lock);
            shared.identity = identity;
        }

        seams.start_voice_chat(ctx.config);
        ctx.imaging_factory = seams.create_imaging_factory();
        seams.start_npc_voices(ctx.config);
        seams.start_camera_data_thread(ctx.config);
        plugin.cockpit_camera.store(ctx.config.cockpit_camera);
        seams.install_direct3d_hooks();
        seams.show_notice(StartupNoticeText());

        ctx.remembered_device =
            ctx.config.auto_connect ? seams.load_remembered_device(ctx.device_file, ctx.config.api_url) : std::string();
        const InitialSession session =
            InitialSessionFlags(ctx.config.auto_connect, !ctx.remembered_device.empty(), !identity.name.empty());
        plugin.consent_given.store(session.consent_given);
        ctx.auto_prompt_armed = session.auto_prompt_armed;
        return WorkerStage::Looping;
    } catch (...) {
        seams.debug_output(kStartupFailureLine);
        if (ctx.imaging_factory) {
            seams.release_imaging_factory(ctx.imaging_factory);
            ctx.imaging_factory = nullptr;
        }
        if (comReady) seams.uninit_com();
        return WorkerStage::Failed;
    }
}

}  // namespace hm
