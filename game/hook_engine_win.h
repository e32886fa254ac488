// In-process inline hooking of 32-bit x86 functions. A hook replaces the first bytes of a
// target with a jump to a detour and hands out a trampoline through which the detour reaches
// the target's own code. (Un)patching happens with every other thread of the process suspended.
// Every operation returns a HookStatus (game/trampoline.h) and never throws; any thread, all
// operations serialised by one spin lock. Hooks stay until the process ends unless removed.
#pragma once

#include <windows.h>
#include <tlhelp32.h>

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

// Seam for fault-injection tests: the Windows calls whose failures the engine turns into
// statuses. Null restores the real ones. Set it only while no other thread uses the engine.
struct HookEngineSystem {
    decltype(&::VirtualAlloc) virtual_alloc;
    decltype(&::VirtualProtect) virtual_protect;
    decltype(&::HeapAlloc) heap_alloc;
    decltype(&::HeapReAlloc) heap_realloc;
    decltype(&::CreateToolhelp32Snapshot) thread_snapshot;
    decltype(&::Thread32Next) next_thread;
    decltype(&::SuspendThread) suspend_thread;
};
void SetHookEngineSystemForTests(const HookEngineSystem* system);
HookEngineSystem RealHookEngineSystem();

}  // namespace hm::hook_engine
