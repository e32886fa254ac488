// Steps of subsystems not built yet: each does nothing until its subsystem fills it.
#include "core/worker_hooks.h"

#include <mutex>

#include "base/plugin.h"
#include "base/shared_state.h"
#include "base/text1250.h"
#include "core/session_steps.h"
#include "update/updater.h"

namespace hm {

namespace {
void (*g_tv_heartbeat)() = nullptr;
}  // namespace
void SetTvHeartbeatStep(void (*step)()) { g_tv_heartbeat = step; }
void WriteTvHeartbeat() {
    if (g_tv_heartbeat) g_tv_heartbeat();
}
namespace {
std::wstring (*g_camera_status)() = nullptr;
}  // namespace
void SetCockpitCameraStatusStep(std::wstring (*step)()) { g_camera_status = step; }
std::wstring CockpitCameraStatusText() { return g_camera_status ? g_camera_status() : std::wstring(); }

void OpenUpdateDialog(WorkerContext& ctx) {
    PluginSessionSlot& slot = PluginSession();
    if (!slot.installed || !slot.fx.request || !slot.fx.show_dialog) return;
    if (slot.editor_open && slot.editor_open()) return;
    std::wstring folder;
    if (slot.fx.shared) {
        std::lock_guard<std::mutex> hold(slot.fx.shared->lock);
        folder = slot.fx.shared->package_folder;
    }
    const UpdateDialogContent content = BuildUpdateDialog(folder, ctx.client, slot.fx.request, CockpitCameraStatusText());
    // The first button downloads only what this dialog showed; a ready package or a failed
    // request leaves nothing behind it.
    slot.record.update_dialog_build = content.download_build;
    DialogRequest d;
    d.id = kUpdateDialogId;
    d.kind = kUpdateDialogKind;
    d.title = WideToCp1250(content.title);
    d.body = WideToCp1250(content.body);
    d.first_button = WideToCp1250(content.first_button);
    d.second_button = WideToCp1250(content.second_button);
    slot.fx.show_dialog(d);
}
void TogglePhotoVisible() {
    // Only the worker writes it, so a load and a store cannot lose a toggle.
    Plugin().photo_visible.store(!Plugin().photo_visible.load());
}

}  // namespace hm
