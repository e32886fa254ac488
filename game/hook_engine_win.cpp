// The Windows side of the hooking engine: private heap, spin lock, hook table, trampoline slots
// in executable pages, patching and thread freezing. Trampoline bytes come from the portable
// builder (game/trampoline.h).
//
// Index: engine state | spin lock | executable pages | hook table | thread freezing |
//        patching | public operations
#include "game/hook_engine_win.h"

#include <cstdint>
#include <cstring>

#include "base/owners_win.h"

namespace hm::hook_engine {
namespace {

// ---- engine state ----------------------------------------------------------------------------

struct HookEntry {
    void* target;
    void* detour;
    void* trampoline;
    uint8_t backup[8];  // the patched area's original bytes (5, or 7 in the patch-above form)
    uint32_t patch_above : 1;
    uint32_t enabled : 1;
    uint32_t queued : 1;  // taking part in the (un)patching pass under way
    InstructionMap map;
};
static_assert(sizeof(void*) != 4 || sizeof(HookEntry) == 44, "hook entries are 44 bytes on x86");

constexpr size_t kPageSize = 4096;
constexpr size_t kInitialTableRoom = 32;
constexpr size_t kInitialFrozenRoom = 128;

union Slot {
    Slot* next_free;
    uint8_t bytes[kTrampolineSlotSize];
};
struct PageHeader {  // lives in the page's first slot
    PageHeader* next;
    Slot* first_free;
    uint32_t used;
};
static_assert(sizeof(PageHeader) <= sizeof(Slot), "the page header fits one slot");
constexpr size_t kSlotsPerPage = kPageSize / sizeof(Slot) - 1;

struct Engine {
    HANDLE heap = nullptr;  // present means initialised
    volatile LONG lock = 0;
    HookEntry* hooks = nullptr;
    size_t count = 0;
    size_t room = 0;
    PageHeader* pages = nullptr;
};
Engine g_engine;

const HookEngineSystem kRealSystem = {&::VirtualAlloc,   &::VirtualProtect,
                                      &::HeapAlloc,      &::HeapReAlloc,
                                      &::CreateToolhelp32Snapshot, &::Thread32Next,
                                      &::SuspendThread};
const HookEngineSystem* g_system = &kRealSystem;

// ---- spin lock -------------------------------------------------------------------------------

class [[nodiscard]] EngineLock {
public:
    EngineLock() {
        for (unsigned attempt = 0; InterlockedCompareExchange(&g_engine.lock, 1, 0) != 0; ++attempt)
            Sleep(attempt < 32 ? 0 : 1);
    }
    ~EngineLock() { InterlockedExchange(&g_engine.lock, 0); }
    EngineLock(const EngineLock&) = delete;
    EngineLock& operator=(const EngineLock&) = delete;
};

// ---- executable pages --------------------------------------------------------------------------

Slot* AllocateSlot() {
    PageHeader* page = g_engine.pages;
    while (page && !page->first_free) page = page->next;
    if (!page) {
        void* memory = g_system->virtual_alloc(nullptr, kPageSize, MEM_RESERVE | MEM_COMMIT, PAGE_EXECUTE_READWRITE);
        if (!memory) return nullptr;
        page = static_cast<PageHeader*>(memory);
        Slot* slots = static_cast<Slot*>(memory);
        for (size_t i = 1; i <= kSlotsPerPage; ++i) slots[i].next_free = i < kSlotsPerPage ? &slots[i + 1] : nullptr;
        page->first_free = &slots[1];
        page->used = 0;
        page->next = g_engine.pages;
        g_engine.pages = page;
    }
    Slot* slot = page->first_free;
    page->first_free = slot->next_free;
    ++page->used;
    return slot;
}

void FreeSlot(void* address) {
    const uintptr_t base = reinterpret_cast<uintptr_t>(address) & ~(kPageSize - 1);
    PageHeader** link = &g_engine.pages;
    while (*link && reinterpret_cast<uintptr_t>(*link) != base) link = &(*link)->next;
    PageHeader* page = *link;
    if (!page) return;
    Slot* slot = static_cast<Slot*>(address);
    slot->next_free = page->first_free;
    page->first_free = slot;
    if (--page->used == 0) {
        *link = page->next;
        VirtualFree(page, 0, MEM_RELEASE);
    }
}

// Protection with an execute bit; the modifier bits (guard, no-cache, write-combine) do not count.
bool IsExecutableProtection(DWORD protect) { return (protect & 0xFF) > 0x0F; }
bool IsReadableProtection(DWORD protect) {
    return (protect & (PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY)) != 0 &&
           !(protect & PAGE_GUARD);
}

// Readable bytes from `address` on, up to `wanted`, across neighbouring regions: a function may
// run over a page boundary into a page with another protection.
size_t ReadableBytes(const void* address, size_t wanted) {
    size_t total = 0;
    MEMORY_BASIC_INFORMATION info;
    while (total < wanted && VirtualQuery(static_cast<const uint8_t*>(address) + total, &info, sizeof info) != 0 &&
           info.State == MEM_COMMIT && IsReadableProtection(info.Protect)) {
        const uintptr_t end = reinterpret_cast<uintptr_t>(info.BaseAddress) + info.RegionSize;
        total = end - reinterpret_cast<uintptr_t>(address);
    }
    return total < wanted ? total : wanted;
}

bool IsExecutableAddress(const void* address) {
    MEMORY_BASIC_INFORMATION info;
    if (VirtualQuery(address, &info, sizeof info) == 0) return false;
    return info.State == MEM_COMMIT && IsExecutableProtection(info.Protect);
}

// ---- hook table --------------------------------------------------------------------------------

HookEntry* FindHook(void* target) {
    for (size_t i = 0; i < g_engine.count; ++i)
        if (g_engine.hooks[i].target == target) return &g_engine.hooks[i];
    return nullptr;
}

HookEntry* AddHookEntry() {
    if (g_engine.count == g_engine.room) {
        const size_t room = g_engine.room ? g_engine.room * 2 : kInitialTableRoom;
        void* table = g_engine.hooks
                            ? g_system->heap_realloc(g_engine.heap, 0, g_engine.hooks, room * sizeof(HookEntry))
                            : g_system->heap_alloc(g_engine.heap, 0, room * sizeof(HookEntry));
        if (!table) return nullptr;
        g_engine.hooks = static_cast<HookEntry*>(table);
        g_engine.room = room;
    }
    HookEntry* entry = &g_engine.hooks[g_engine.count++];
    std::memset(entry, 0, sizeof *entry);
    return entry;
}

void RemoveHookEntry(HookEntry* entry) {
    const size_t index = static_cast<size_t>(entry - g_engine.hooks);
    std::memmove(entry, entry + 1, (g_engine.count - index - 1) * sizeof(HookEntry));
    --g_engine.count;
    if (g_engine.room >= 64 && g_engine.count <= g_engine.room / 2) {
        void* table = HeapReAlloc(g_engine.heap, 0, g_engine.hooks, (g_engine.room / 2) * sizeof(HookEntry));
        if (table) {  // keeping the larger table is harmless
            g_engine.hooks = static_cast<HookEntry*>(table);
            g_engine.room /= 2;
        }
    }
}

uint32_t Address(const void* p) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p)); }

// ---- thread freezing ---------------------------------------------------------------------------

struct FrozenThread {
    DWORD id;
    HANDLE handle;  // null when it could not be opened or suspended
};
struct FrozenThreads {
    FrozenThread* items = nullptr;
    size_t count = 0;
    size_t room = 0;
};

void FreeFrozen(FrozenThreads* frozen) {
    if (frozen->items) HeapFree(g_engine.heap, 0, frozen->items);
    *frozen = FrozenThreads{};
}

bool AddFrozen(FrozenThreads* frozen, DWORD id) {
    if (frozen->count == frozen->room) {
        const size_t room = frozen->room ? frozen->room * 2 : kInitialFrozenRoom;
        void* items = frozen->items
                            ? g_system->heap_realloc(g_engine.heap, 0, frozen->items, room * sizeof(FrozenThread))
                            : g_system->heap_alloc(g_engine.heap, 0, room * sizeof(FrozenThread));
        if (!items) return false;
        frozen->items = static_cast<FrozenThread*>(items);
        frozen->room = room;
    }
    frozen->items[frozen->count++] = {id, nullptr};
    return true;
}

// CreateToolhelp32Snapshot's "none" is INVALID_HANDLE_VALUE.
using UniqueSnapshot = UniqueHandle<HANDLE, &::CloseHandle, -1>;

int EnumerateOtherThreads(FrozenThreads* frozen) {
    UniqueSnapshot snapshot(g_system->thread_snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshot) return kHookMemoryAllocFailed;
    const DWORD process = GetCurrentProcessId(), self = GetCurrentThreadId();
    THREADENTRY32 entry;
    entry.dwSize = sizeof entry;
    bool listed = true;
    if (Thread32First(snapshot.get(), &entry)) {
        do {
            if (entry.dwSize >= offsetof(THREADENTRY32, th32OwnerProcessID) + sizeof(DWORD) &&
                entry.th32OwnerProcessID == process && entry.th32ThreadID != self &&
                !AddFrozen(frozen, entry.th32ThreadID)) {
                listed = false;
                break;
            }
            entry.dwSize = sizeof entry;
        } while (g_system->next_thread(snapshot.get(), &entry));
    }
    const DWORD error = GetLastError();
    if (!listed || error != ERROR_NO_MORE_FILES) {
        FreeFrozen(frozen);
        return kHookMemoryAllocFailed;
    }
    return kHookOk;
}

// Moves a stopped thread out of code that the queued hooks are about to change.
void FixInstructionPointer(HANDLE thread, bool enabling) {
    CONTEXT context;
    context.ContextFlags = CONTEXT_CONTROL;
    if (!GetThreadContext(thread, &context)) return;
    uint32_t ip = static_cast<uint32_t>(context.Eip);
    bool moved = false;
    for (size_t i = 0; i < g_engine.count && !moved; ++i) {
        const HookEntry& h = g_engine.hooks[i];
        if (!h.queued) continue;
        moved = enabling ? MoveIpToTrampoline(h.map, Address(h.target), Address(h.trampoline), h.patch_above, &ip)
                         : MoveIpToTarget(h.map, Address(h.target), Address(h.trampoline), &ip);
    }
    if (moved) {
        context.Eip = ip;
        SetThreadContext(thread, &context);
    }
}

int Freeze(FrozenThreads* frozen, bool enabling) {
    const int status = EnumerateOtherThreads(frozen);
    if (status != kHookOk) return status;
    for (size_t i = 0; i < frozen->count; ++i) {
        FrozenThread& t = frozen->items[i];
        UniqueKernelHandle thread(OpenThread(THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT | THREAD_SET_CONTEXT |
                                                 THREAD_QUERY_INFORMATION, FALSE, t.id));
        // Skipped when it cannot be opened or suspended, e.g. it just ended.
        if (!thread || g_system->suspend_thread(thread.get()) == static_cast<DWORD>(-1)) continue;
        FixInstructionPointer(thread.get(), enabling);
        t.handle = thread.release();  // resumed and closed by Unfreeze
    }
    return kHookOk;
}

void Unfreeze(FrozenThreads* frozen) {
    for (size_t i = 0; i < frozen->count; ++i)
        if (UniqueKernelHandle thread{frozen->items[i].handle}) ResumeThread(thread.get());
    FreeFrozen(frozen);
}

// ---- patching ----------------------------------------------------------------------------------

// The patched area cut at page boundaries: VirtualProtect reports only the first page's old
// protection, so a patch straddling two pages is unlocked and relocked one page at a time.
struct AreaPiece {
    uint8_t* start;
    size_t size;
    DWORD old_protect;
};
struct UnlockedArea {
    AreaPiece pieces[2];  // a patch of at most 7 bytes touches at most two pages
    size_t count = 0;
};

void Relock(UnlockedArea* area) {
    for (size_t i = 0; i < area->count; ++i) {
        AreaPiece& p = area->pieces[i];
        DWORD ignored;
        VirtualProtect(p.start, p.size, p.old_protect, &ignored);
    }
    area->count = 0;
}

bool Unlock(uint8_t* start, size_t size, UnlockedArea* area) {
    area->count = 0;
    for (uint8_t *p = start, *end = start + size; p < end;) {
        const uintptr_t page_end = (reinterpret_cast<uintptr_t>(p) & ~(kPageSize - 1)) + kPageSize;
        const size_t piece = static_cast<size_t>(
            (reinterpret_cast<uintptr_t>(end) < page_end ? reinterpret_cast<uintptr_t>(end) : page_end) -
            reinterpret_cast<uintptr_t>(p));
        AreaPiece& slot = area->pieces[area->count];
        if (!g_system->virtual_protect(p, piece, PAGE_EXECUTE_READWRITE, &slot.old_protect)) {
            Relock(area);
            return false;
        }
        slot.start = p;
        slot.size = piece;
        ++area->count;
        p += piece;
    }
    return true;
}

int Patch(HookEntry* h, bool enable) {
    const uint32_t target = Address(h->target);
    auto* area = reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(PatchAreaStart(target, h->patch_above)));
    const size_t size = PatchAreaSize(h->patch_above);
    UnlockedArea unlocked;
    if (!Unlock(area, size, &unlocked)) return kHookMemoryProtectFailed;
    if (enable) {
        uint8_t bytes[kPatchAboveSize];
        EnabledPatchBytes(target, Address(h->detour), h->patch_above, bytes);
        std::memcpy(area, bytes, size);
    } else {
        std::memcpy(area, h->backup, size);
    }
    Relock(&unlocked);
    FlushInstructionCache(GetCurrentProcess(), area, size);
    h->enabled = enable;
    return kHookOk;
}

// Patches every queued entry with the other threads stopped, then clears the queue.
int PatchQueued(bool enable) {
    FrozenThreads frozen;
    int status = Freeze(&frozen, enable);
    if (status == kHookOk) {
        for (size_t i = 0; i < g_engine.count; ++i) {
            HookEntry& h = g_engine.hooks[i];
            if (!h.queued) continue;
            const int patched = Patch(&h, enable);
            if (patched != kHookOk) status = patched;
        }
        Unfreeze(&frozen);
    }
    for (size_t i = 0; i < g_engine.count; ++i) g_engine.hooks[i].queued = 0;
    return status;
}

int SetEnabled(void* target, bool enable) {
    EngineLock lock;
    if (!g_engine.heap) return kHookNotInitialized;
    if (target == nullptr) {
        size_t queued = 0;
        for (size_t i = 0; i < g_engine.count; ++i)
            if (g_engine.hooks[i].enabled != enable) {
                g_engine.hooks[i].queued = 1;
                ++queued;
            }
        return queued ? PatchQueued(enable) : kHookOk;
    }
    HookEntry* h = FindHook(target);
    if (!h) return kHookNotCreated;
    if (h->enabled == enable) return enable ? kHookAlreadyEnabled : kHookAlreadyDisabled;
    h->queued = 1;
    return PatchQueued(enable);
}

}  // namespace

// ---- public operations -------------------------------------------------------------------------

int Initialize() {
    EngineLock lock;
    if (g_engine.heap) return kHookAlreadyInitialized;
    g_engine.heap = HeapCreate(0, 0, 0);
    return g_engine.heap ? kHookOk : kHookMemoryAllocFailed;
}

int CreateHook(void* target, void* detour, void** trampoline) {
    EngineLock lock;
    if (!g_engine.heap) return kHookNotInitialized;
    if (!IsExecutableAddress(target) || !IsExecutableAddress(detour)) return kHookNotExecutable;
    if (FindHook(target)) return kHookAlreadyCreated;

    // Copies of the bytes the builder may look at, limited to what is mapped readable.
    uint8_t code[64];
    const size_t code_size = ReadableBytes(target, sizeof code);
    std::memcpy(code, target, code_size);
    uint8_t before[kJumpSize];
    const uint8_t* before_ptr = nullptr;
    const uint8_t* above = static_cast<const uint8_t*>(target) - kJumpSize;
    if (IsExecutableAddress(above) && ReadableBytes(above, kJumpSize) == kJumpSize) {
        std::memcpy(before, above, kJumpSize);
        before_ptr = before;
    }

    Slot* slot = AllocateSlot();
    if (!slot) return kHookMemoryAllocFailed;
    Trampoline built;
    const int status = BuildTrampoline({code, code_size, Address(target), before_ptr}, Address(slot), &built);
    if (status != kHookOk) {
        FreeSlot(slot);
        return status;
    }
    HookEntry* h = AddHookEntry();
    if (!h) {
        FreeSlot(slot);
        return kHookMemoryAllocFailed;
    }
    std::memcpy(slot->bytes, built.bytes, built.size);
    FlushInstructionCache(GetCurrentProcess(), slot, built.size);
    h->target = target;
    h->detour = detour;
    h->trampoline = slot;
    h->patch_above = built.patch_above;
    h->map = built.map;
    std::memcpy(h->backup, reinterpret_cast<const void*>(static_cast<uintptr_t>(
                               PatchAreaStart(Address(target), built.patch_above))),
                PatchAreaSize(built.patch_above));
    if (trampoline) *trampoline = slot;
    return kHookOk;
}

int EnableHook(void* target) { return SetEnabled(target, true); }

int DisableHook(void* target) { return SetEnabled(target, false); }

int RemoveHook(void* target) {
    EngineLock lock;
    if (!g_engine.heap) return kHookNotInitialized;
    HookEntry* h = FindHook(target);
    if (!h) return kHookNotCreated;
    if (h->enabled) {
        h->queued = 1;
        const int status = PatchQueued(false);
        if (status != kHookOk) return status;
    }
    FreeSlot(h->trampoline);
    RemoveHookEntry(h);
    return kHookOk;
}

void SetHookEngineSystemForTests(const HookEngineSystem* system) {
    EngineLock lock;
    g_system = system ? system : &kRealSystem;
}

HookEngineSystem RealHookEngineSystem() { return kRealSystem; }

HookEngineStats Stats() {
    EngineLock lock;
    HookEngineStats stats{g_engine.count, g_engine.room, 0};
    for (PageHeader* page = g_engine.pages; page; page = page->next) ++stats.pages;
    return stats;
}

}  // namespace hm::hook_engine
