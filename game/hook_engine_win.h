// In-process inline hooking of 32-bit x86 functions. A hook replaces the first bytes of a
// target with a jump to a detour and hands out a trampoline through which the detour reaches
// the target's own code. (Un)patching happens with every other thread of the process suspended.
// Every operation returns a HookStatus (game/trampoline.h) and never throws; any thread, all
// operations serialised by one spin lock. Hooks stay until the process ends unless removed.
#pragma once

#include <cstddef>

#include "game/trampoline.h"

namespace hm::hook_engine {

int Initialize();  // once, before the first hook; kHookAlreadyInitialized after that
// Hooks `target` (created disabled). Both addresses must be committed executable memory.
// `trampoline` (may be null) receives the address to call for the target's own behaviour.
int CreateHook(void* target, void* detour, void** trampoline);
int EnableHook(void* target);   // null: every disabled hook at once
int DisableHook(void* target);  // null: every enabled hook at once
int RemoveHook(void* target);   // disables it if needed and frees its trampoline

// Diagnostics: counts of the engine's own bookkeeping.
struct HookEngineStats {
    size_t hooks;       // entries in the hook table
    size_t table_room;  // entries the table has room for
    size_t pages;       // executable pages holding trampolines
};
HookEngineStats Stats();

}  // namespace hm::hook_engine
