#include "game/cursor_hooks_win.h"

#include "base/edge.h"
#include "base/overlay_frame.h"
#include "game/graphics_state_win.h"
#include "game/hook_engine_win.h"
#include "game/input_state.h"
#include "game/input_win.h"

namespace hm {
namespace {

BOOL WINAPI SetCursorPosHook(int x, int y) {
    const bool keep = AtTheEdge(false, [] {
        return PluginInput().ui_window.load() != 0 && IsComputerUiRunning() && IsGameInFront();
    });
    return keep ? TRUE : Graphics().through.set_cursor_pos(x, y);
}

HCURSOR WINAPI SetCursorHook(HCURSOR cursor) {
    AtTheEdge([&] {
        if (PluginInput().ui_window.load() != 0 && IsComputerUiRunning() &&
            !PluginOverlay().computer_minimized.load() && IsGameInFront()) {
            if (cursor) Graphics().saved_cursor.store(cursor);
            cursor = nullptr;
        }
    });
    return Graphics().through.set_cursor(cursor);
}

template <typename Fn>
bool CreateUser32Hook(HMODULE user32, const char* name, void* detour, Fn& through) {
    void* target = reinterpret_cast<void*>(GetProcAddress(user32, name));
    void* trampoline = nullptr;
    if (!target || hook_engine::CreateHook(target, detour, &trampoline) != kHookOk) return false;
    through = reinterpret_cast<Fn>(trampoline);
    return true;
}

}  // namespace

bool IsComputerUiRunning() { return PluginOverlay().editor_open.load(); }

bool CreateCursorHooks() {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    if (!user32) return false;
    Trampolines& t = Graphics().through;
    const bool pos = CreateUser32Hook(user32, "SetCursorPos", reinterpret_cast<void*>(&SetCursorPosHook),
                                      t.set_cursor_pos);
    const bool set = CreateUser32Hook(user32, "SetCursor", reinterpret_cast<void*>(&SetCursorHook), t.set_cursor);
    return pos && set;
}

HCURSOR CallSetCursor(HCURSOR cursor) {
    SetCursorFn through = Graphics().through.set_cursor;
    return through ? through(cursor) : ::SetCursor(cursor);
}

}  // namespace hm
