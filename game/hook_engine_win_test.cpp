// The hooking engine live under 32-bit Wine: status codes, hooks on this program's functions
// and on Wine's user32 and d3d9, enabling and disabling all at once under calling threads, a
// thread parked inside the patched bytes, and trampoline pages coming and going.
#include "game/hook_engine_win.h"

#include <windows.h>
#include <unknwn.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <utility>
#include <vector>

namespace hm::hook_engine {
namespace {

// ---- fixtures ---------------------------------------------------------------------------------

// Executable memory holding hand-assembled target functions.
class CodeBuffer {
public:
    explicit CodeBuffer(size_t size = 0x10000)
        : base_(static_cast<uint8_t*>(VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_EXECUTE_READWRITE))),
          size_(size) {
        if (base_) std::memset(base_, 0xCC, size_);
    }
    ~CodeBuffer() {
        if (base_) VirtualFree(base_, 0, MEM_RELEASE);
    }
    CodeBuffer(const CodeBuffer&) = delete;
    CodeBuffer& operator=(const CodeBuffer&) = delete;
    // Places `bytes` at `offset` and returns their address.
    uint8_t* Put(size_t offset, std::initializer_list<uint8_t> bytes) {
        std::copy(bytes.begin(), bytes.end(), base_ + offset);
        FlushInstructionCache(GetCurrentProcess(), base_ + offset, bytes.size());
        return base_ + offset;
    }
    uint8_t* At(size_t offset) const { return base_ + offset; }

private:
    uint8_t* base_;
    size_t size_;
};

std::vector<uint8_t> BytesAt(const void* p, size_t n) {
    const uint8_t* b = static_cast<const uint8_t*>(p);
    return std::vector<uint8_t>(b, b + n);
}

bool IsFree(const void* p) {
    MEMORY_BASIC_INFORMATION info;
    return VirtualQuery(p, &info, sizeof info) != 0 && info.State == MEM_FREE;
}

template <class Fn>
Fn Proc(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

void EnsureInitialized() {
    const int status = Initialize();
    ASSERT_TRUE(status == kHookOk || status == kHookAlreadyInitialized) << status;
}

// ---- this program's own targets ------------------------------------------------------------------

std::atomic<long> g_add_originals{0}, g_add_detours{0};
using AddFn = int(__cdecl*)(int, int);
AddFn g_add_trampoline = nullptr;

__attribute__((noinline)) int __cdecl AddNumbers(int a, int b) {
    g_add_originals.fetch_add(1);
    return a + b;
}
int __cdecl AddDetour(int a, int b) {
    g_add_detours.fetch_add(1);
    return g_add_trampoline(a, b) + 1000;
}

// Called through a volatile pointer so the compiler cannot inline or fold the call.
AddFn volatile g_add = &AddNumbers;

// Hook state must not leak between tests: each one removes what it made.
struct HookGuard {
    std::vector<void*> targets;
    ~HookGuard() {
        for (void* t : targets) RemoveHook(t);
    }
};

// ---- tests ------------------------------------------------------------------------------------------
// This one must run first: it sees the engine before Initialize.

TEST(HookEngine, EveryOperationWaitsForInitialize) {
    CodeBuffer code;
    uint8_t* f = code.Put(16, {0x8B, 0xFF, 0x55, 0x8B, 0xEC, 0x5D, 0xC3});
    EXPECT_EQ(CreateHook(f, f, nullptr), kHookNotInitialized);
    EXPECT_EQ(EnableHook(nullptr), kHookNotInitialized);
    EXPECT_EQ(DisableHook(f), kHookNotInitialized);
    EXPECT_EQ(RemoveHook(f), kHookNotInitialized);
    EXPECT_EQ(Initialize(), kHookOk);
    EXPECT_EQ(Initialize(), kHookAlreadyInitialized);
}

TEST(HookEngine, StatusCodes) {
    EnsureInitialized();
    CodeBuffer code;
    HookGuard guard;
    // mov edi, edi; push ebp; mov ebp, esp; mov eax, [ebp+8]; pop ebp; ret
    uint8_t* f = code.Put(0x10, {0x8B, 0xFF, 0x55, 0x8B, 0xEC, 0x8B, 0x45, 0x08, 0x5D, 0xC3});
    uint8_t* g = code.Put(0x40, {0x8B, 0xFF, 0x55, 0x8B, 0xEC, 0x8B, 0x45, 0x08, 0x5D, 0xC3});
    uint8_t* detour = code.Put(0x80, {0x31, 0xC0, 0xC3});
    uint8_t* loop_start = code.Put(0xC0, {0xE2, 0x20, 0x90, 0x90, 0x90, 0xC3});
    const std::vector<uint8_t> f_bytes = BytesAt(f, 5), g_bytes = BytesAt(g, 5);

    void* trampoline = nullptr;
    ASSERT_EQ(CreateHook(f, detour, &trampoline), kHookOk);
    guard.targets.push_back(f);
    EXPECT_NE(trampoline, nullptr);
    EXPECT_EQ(BytesAt(f, 5), f_bytes) << "created disabled";
    EXPECT_EQ(CreateHook(f, detour, nullptr), kHookAlreadyCreated);
    ASSERT_EQ(CreateHook(g, detour, nullptr), kHookOk);
    guard.targets.push_back(g);

    EXPECT_EQ(EnableHook(f), kHookOk);
    EXPECT_EQ(f[0], 0xE9);
    EXPECT_EQ(EnableHook(f), kHookAlreadyEnabled);
    EXPECT_EQ(EnableHook(nullptr), kHookOk);  // enables g only
    EXPECT_EQ(g[0], 0xE9);
    const std::vector<uint8_t> both_enabled = BytesAt(f, 5);
    EXPECT_EQ(EnableHook(nullptr), kHookOk) << "nothing to do is fine";
    EXPECT_EQ(BytesAt(f, 5), both_enabled);
    EXPECT_EQ(DisableHook(g), kHookOk);
    EXPECT_EQ(BytesAt(g, 5), g_bytes);
    EXPECT_EQ(DisableHook(g), kHookAlreadyDisabled);
    EXPECT_EQ(DisableHook(nullptr), kHookOk);
    EXPECT_EQ(BytesAt(f, 5), f_bytes);
    EXPECT_EQ(DisableHook(nullptr), kHookOk);

    EXPECT_EQ(EnableHook(code.At(0x200)), kHookNotCreated);
    EXPECT_EQ(DisableHook(code.At(0x200)), kHookNotCreated);
    EXPECT_EQ(RemoveHook(code.At(0x200)), kHookNotCreated);

    // Not executable: a read-write page, a guarded read-write page, free memory.
    void* data = VirtualAlloc(nullptr, 4096, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    void* guarded = VirtualAlloc(nullptr, 4096, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE | PAGE_GUARD);
    void* reserved = VirtualAlloc(nullptr, 4096, MEM_RESERVE, PAGE_EXECUTE_READWRITE);
    EXPECT_EQ(CreateHook(data, detour, nullptr), kHookNotExecutable);
    EXPECT_EQ(CreateHook(guarded, detour, nullptr), kHookNotExecutable);
    EXPECT_EQ(CreateHook(reserved, detour, nullptr), kHookNotExecutable);
    EXPECT_EQ(CreateHook(code.At(0x100), data, nullptr), kHookNotExecutable);
    VirtualFree(data, 0, MEM_RELEASE);
    VirtualFree(guarded, 0, MEM_RELEASE);
    VirtualFree(reserved, 0, MEM_RELEASE);

    EXPECT_EQ(CreateHook(loop_start, detour, nullptr), kHookUnsupportedFunction);
    EXPECT_EQ(Stats().hooks, 2u) << "a refused hook leaves no entry";

    // Remove an enabled hook: the bytes come back.
    EXPECT_EQ(EnableHook(f), kHookOk);
    EXPECT_EQ(RemoveHook(f), kHookOk);
    EXPECT_EQ(BytesAt(f, 5), f_bytes);
    EXPECT_EQ(RemoveHook(f), kHookNotCreated);
    EXPECT_EQ(CreateHook(f, detour, nullptr), kHookOk) << "a removed target can be hooked again";
}

TEST(HookEngine, PatchAboveTwoByteFunction) {
    EnsureInitialized();
    CodeBuffer code;
    HookGuard guard;
    // Five int3 above a 2-byte function (rep ret), another function right after it.
    uint8_t* f = code.Put(0x20, {0xF3, 0xC3, 0x55, 0x8B, 0xEC});
    // mov eax, 7; ret
    uint8_t* detour = code.Put(0x80, {0xB8, 0x07, 0x00, 0x00, 0x00, 0xC3});
    const std::vector<uint8_t> area = BytesAt(f - 5, 7);
    ASSERT_EQ(CreateHook(f, detour, nullptr), kHookOk);
    guard.targets.push_back(f);
    ASSERT_EQ(EnableHook(f), kHookOk);
    EXPECT_EQ(f[-5], 0xE9);
    EXPECT_EQ(f[0], 0xEB);
    EXPECT_EQ(f[1], 0xF9);
    EXPECT_EQ(f[2], 0x55) << "the next function is untouched";
    EXPECT_EQ(reinterpret_cast<int(__cdecl*)()>(f)(), 7);
    ASSERT_EQ(DisableHook(f), kHookOk);
    EXPECT_EQ(BytesAt(f - 5, 7), area);
}

DWORD ProtectionAt(const void* p) {
    MEMORY_BASIC_INFORMATION info{};
    VirtualQuery(p, &info, sizeof info);
    return info.Protect;
}

// A target whose patched bytes run over a page boundary into a page with another protection:
// each page keeps its own protection through create, enable and disable.
TEST(HookEngine, PatchAcrossPagesKeepsEachPagesProtection) {
    EnsureInitialized();
    struct Case {
        DWORD first, second;
    } cases[] = {
        {PAGE_EXECUTE_READ, PAGE_EXECUTE_READWRITE},
        {PAGE_EXECUTE_READWRITE, PAGE_EXECUTE_READ},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.first << " / " << c.second);
        CodeBuffer code(0x2000);
        HookGuard guard;
        // mov edi,edi; push ebp; mov ebp,esp; mov eax,[ebp+8]; pop ebp; ret -- starting 3 bytes
        // before the boundary, so the 5-byte patch covers 3 + 2 bytes.
        uint8_t* f = code.Put(0x1000 - 3, {0x8B, 0xFF, 0x55, 0x8B, 0xEC, 0x8B, 0x45, 0x08, 0x5D, 0xC3});
        uint8_t* detour = code.Put(0x80, {0xB8, 0x07, 0x00, 0x00, 0x00, 0xC3});  // mov eax, 7; ret
        const std::vector<uint8_t> f_bytes = BytesAt(f, 5);
        DWORD old;
        ASSERT_TRUE(VirtualProtect(code.At(0), 0x1000, c.first, &old));
        ASSERT_TRUE(VirtualProtect(code.At(0x1000), 0x1000, c.second, &old));
        auto protections = [&] { return std::make_pair(ProtectionAt(code.At(0)), ProtectionAt(code.At(0x1000))); };
        const auto expected = std::make_pair(c.first, c.second);

        ASSERT_EQ(CreateHook(f, detour, nullptr), kHookOk);
        guard.targets.push_back(f);
        EXPECT_EQ(protections(), expected) << "after CreateHook";
        ASSERT_EQ(EnableHook(f), kHookOk);
        EXPECT_EQ(protections(), expected) << "after EnableHook";
        EXPECT_EQ(f[0], 0xE9);
        EXPECT_EQ(reinterpret_cast<int(__cdecl*)(int)>(f)(5), 7);
        ASSERT_EQ(DisableHook(f), kHookOk);
        EXPECT_EQ(protections(), expected) << "after DisableHook";
        EXPECT_EQ(BytesAt(f, 5), f_bytes);
        EXPECT_EQ(reinterpret_cast<int(__cdecl*)(int)>(f)(5), 5);
    }
}

TEST(HookEngine, HooksOwnFunctionThroughTrampoline) {
    EnsureInitialized();
    HookGuard guard;
    void* target = reinterpret_cast<void*>(&AddNumbers);
    ASSERT_EQ(CreateHook(target, reinterpret_cast<void*>(&AddDetour), reinterpret_cast<void**>(&g_add_trampoline)),
              kHookOk);
    guard.targets.push_back(target);
    g_add_originals = 0;
    g_add_detours = 0;
    EXPECT_EQ(g_add(2, 3), 5);
    ASSERT_EQ(EnableHook(target), kHookOk);
    EXPECT_EQ(g_add(2, 3), 1005);
    EXPECT_EQ(g_add_trampoline(4, 5), 9) << "the trampoline alone is the original";
    ASSERT_EQ(DisableHook(target), kHookOk);
    EXPECT_EQ(g_add(2, 3), 5);
    EXPECT_EQ(g_add_detours.load(), 1);
    EXPECT_EQ(g_add_originals.load(), 4);
}

// ---- Wine's user32 and d3d9 ----------------------------------------------------------------------

std::atomic<long> g_metrics_detours{0};
using GetSystemMetricsFn = int(WINAPI*)(int);
GetSystemMetricsFn g_metrics_trampoline = nullptr;
int WINAPI GetSystemMetricsDetour(int index) {
    g_metrics_detours.fetch_add(1);
    return g_metrics_trampoline(index);
}

std::atomic<long> g_cursor_detours{0};
using SetCursorPosFn = BOOL(WINAPI*)(int, int);
SetCursorPosFn g_cursor_trampoline = nullptr;
BOOL WINAPI SetCursorPosDetour(int x, int y) {
    g_cursor_detours.fetch_add(1);
    return g_cursor_trampoline(x + 1, y + 1);
}

std::atomic<long> g_perf_detours{0};
using PerfStatusFn = DWORD(WINAPI*)();
PerfStatusFn g_perf_trampoline = nullptr;
DWORD WINAPI PerfStatusDetour() {
    g_perf_detours.fetch_add(1);
    return g_perf_trampoline() + 0x100;
}

std::atomic<long> g_create9_detours{0};
using Create9Fn = void*(WINAPI*)(UINT);
Create9Fn g_create9_trampoline = nullptr;
void* WINAPI Create9Detour(UINT version) {
    g_create9_detours.fetch_add(1);
    return g_create9_trampoline(version);
}

TEST(HookEngine, HooksWineUser32) {
    EnsureInitialized();
    HookGuard guard;
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    ASSERT_NE(user32, nullptr);
    auto metrics = Proc<GetSystemMetricsFn>(user32, "GetSystemMetrics");
    auto set_cursor = Proc<SetCursorPosFn>(user32, "SetCursorPos");
    ASSERT_TRUE(metrics && set_cursor);
    const int width = metrics(SM_CXSCREEN);

    ASSERT_EQ(CreateHook(reinterpret_cast<void*>(metrics), reinterpret_cast<void*>(&GetSystemMetricsDetour),
                         reinterpret_cast<void**>(&g_metrics_trampoline)),
              kHookOk);
    guard.targets.push_back(reinterpret_cast<void*>(metrics));
    ASSERT_EQ(CreateHook(reinterpret_cast<void*>(set_cursor), reinterpret_cast<void*>(&SetCursorPosDetour),
                         reinterpret_cast<void**>(&g_cursor_trampoline)),
              kHookOk);
    guard.targets.push_back(reinterpret_cast<void*>(set_cursor));
    ASSERT_EQ(EnableHook(nullptr), kHookOk);

    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), width) << "through the import table";
    EXPECT_EQ(g_metrics_detours.load(), 1);
    ASSERT_TRUE(SetCursorPos(10, 20));
    EXPECT_EQ(g_cursor_detours.load(), 1);
    POINT p{};
    ASSERT_TRUE(GetCursorPos(&p));
    EXPECT_EQ(p.x, 11) << "the detour moved the point before the original ran";
    EXPECT_EQ(p.y, 21);

    ASSERT_EQ(DisableHook(nullptr), kHookOk);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), width);
    EXPECT_EQ(g_metrics_detours.load(), 1);
}

TEST(HookEngine, HooksWineD3d9) {
    EnsureInitialized();
    HookGuard guard;
    HMODULE d3d9 = LoadLibraryW(L"d3d9.dll");
    ASSERT_NE(d3d9, nullptr);
    auto perf_status = Proc<PerfStatusFn>(d3d9, "D3DPERF_GetStatus");
    auto create9 = Proc<Create9Fn>(d3d9, "Direct3DCreate9");
    ASSERT_TRUE(perf_status && create9);
    const DWORD status_before = perf_status();

    ASSERT_EQ(CreateHook(reinterpret_cast<void*>(perf_status), reinterpret_cast<void*>(&PerfStatusDetour),
                         reinterpret_cast<void**>(&g_perf_trampoline)),
              kHookOk);
    guard.targets.push_back(reinterpret_cast<void*>(perf_status));
    ASSERT_EQ(CreateHook(reinterpret_cast<void*>(create9), reinterpret_cast<void*>(&Create9Detour),
                         reinterpret_cast<void**>(&g_create9_trampoline)),
              kHookOk);
    guard.targets.push_back(reinterpret_cast<void*>(create9));
    ASSERT_EQ(EnableHook(nullptr), kHookOk);

    EXPECT_EQ(perf_status(), status_before + 0x100);
    EXPECT_EQ(g_perf_detours.load(), 1);
    IUnknown* d3d = static_cast<IUnknown*>(create9(32));  // D3D_SDK_VERSION
    ASSERT_NE(d3d, nullptr) << "the real Direct3DCreate9 ran through the trampoline";
    EXPECT_EQ(g_create9_detours.load(), 1);
    d3d->Release();
    EXPECT_EQ(RemoveHook(reinterpret_cast<void*>(create9)), kHookOk);
    EXPECT_EQ(perf_status(), status_before + 0x100);
}

// ---- concurrency -----------------------------------------------------------------------------------

std::atomic<long> g_square_originals{0}, g_square_detours{0};
using SquareFn = int(__cdecl*)(int);
SquareFn g_square_trampoline = nullptr;
__attribute__((noinline)) int __cdecl SquareNumber(int x) {
    g_square_originals.fetch_add(1);
    return x * x;
}
int __cdecl SquareDetour(int x) {
    g_square_detours.fetch_add(1);
    return g_square_trampoline(x);
}
SquareFn volatile g_square = &SquareNumber;

int __cdecl AddPassThrough(int a, int b) {
    g_add_detours.fetch_add(1);
    return g_add_trampoline(a, b);
}

TEST(HookEngine, EnableAndDisableAllWhileThreadsCall) {
    EnsureInitialized();
    HookGuard guard;
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    auto metrics = Proc<GetSystemMetricsFn>(user32, "GetSystemMetrics");
    const int width = metrics(SM_CXSCREEN);
    ASSERT_EQ(CreateHook(reinterpret_cast<void*>(&AddNumbers), reinterpret_cast<void*>(&AddPassThrough),
                         reinterpret_cast<void**>(&g_add_trampoline)),
              kHookOk);
    guard.targets.push_back(reinterpret_cast<void*>(&AddNumbers));
    ASSERT_EQ(CreateHook(reinterpret_cast<void*>(&SquareNumber), reinterpret_cast<void*>(&SquareDetour),
                         reinterpret_cast<void**>(&g_square_trampoline)),
              kHookOk);
    guard.targets.push_back(reinterpret_cast<void*>(&SquareNumber));
    ASSERT_EQ(CreateHook(reinterpret_cast<void*>(metrics), reinterpret_cast<void*>(&GetSystemMetricsDetour),
                         reinterpret_cast<void**>(&g_metrics_trampoline)),
              kHookOk);
    guard.targets.push_back(reinterpret_cast<void*>(metrics));

    g_add_originals = g_add_detours = g_square_originals = g_square_detours = g_metrics_detours = 0;
    std::atomic<bool> stop{false};
    std::atomic<long> calls{0}, wrong{0}, metric_calls{0};
    std::vector<std::thread> callers;
    for (int t = 0; t < 3; ++t)
        callers.emplace_back([&, t] {
            for (int i = 0; !stop.load(std::memory_order_relaxed); ++i) {
                if (g_add(i, t) != i + t) wrong.fetch_add(1);
                if (g_square(i & 0xFF) != (i & 0xFF) * (i & 0xFF)) wrong.fetch_add(1);
                calls.fetch_add(1);
            }
        });
    callers.emplace_back([&] {
        while (!stop.load(std::memory_order_relaxed)) {
            if (GetSystemMetrics(SM_CXSCREEN) != width) wrong.fetch_add(1);
            metric_calls.fetch_add(1);
        }
    });

    int toggles = 0;
    for (; toggles < 20; ++toggles) {
        ASSERT_EQ(EnableHook(nullptr), kHookOk);
        Sleep(2);
        ASSERT_EQ(DisableHook(nullptr), kHookOk);
        Sleep(2);
    }
    stop = true;
    for (std::thread& t : callers) t.join();

    EXPECT_EQ(wrong.load(), 0);
    EXPECT_GT(calls.load(), 0);
    EXPECT_EQ(g_add_originals.load(), calls.load()) << "every call reached the original exactly once";
    EXPECT_EQ(g_square_originals.load(), calls.load());
    EXPECT_GT(g_add_detours.load(), 0) << "some calls ran while hooked";
    EXPECT_LE(g_add_detours.load(), calls.load());
    EXPECT_GT(metric_calls.load(), 0);
    printf("  %d enable/disable rounds, %ld calls each of add and square (%ld through the detour), %ld "
           "GetSystemMetrics calls (%ld through the detour)\n",
           toggles, calls.load(), g_add_detours.load(), metric_calls.load(), g_metrics_detours.load());
}

// A thread spinning inside the bytes the jump overwrites:
//   0: pause; 2: cmp [ecx], edx; 4: je 0; 6: mov eax, 42; ret
using SpinFn = int(__fastcall*)(volatile LONG* flag, LONG zero);

struct Spinner {
    SpinFn spin;
    volatile LONG* flag;
};
DWORD WINAPI SpinThread(void* param) {
    const Spinner* s = static_cast<const Spinner*>(param);
    return static_cast<DWORD>(s->spin(s->flag, 0));
}

uint32_t ThreadIp(HANDLE thread) {
    SuspendThread(thread);
    CONTEXT context;
    context.ContextFlags = CONTEXT_CONTROL;
    GetThreadContext(thread, &context);
    ResumeThread(thread);
    return context.Eip;
}

TEST(HookEngine, MovesAThreadParkedInThePatchedBytes) {
    EnsureInitialized();
    CodeBuffer code;
    HookGuard guard;
    uint8_t* spin = code.Put(0x10, {0xF3, 0x90, 0x39, 0x11, 0x74, 0xFA, 0xB8, 0x2A, 0x00, 0x00, 0x00, 0xC3});
    uint8_t* detour = code.Put(0x80, {0xB8, 0x07, 0x00, 0x00, 0x00, 0xC3});
    volatile LONG flag = 0;
    Spinner spinner{reinterpret_cast<SpinFn>(spin), &flag};
    HANDLE thread = CreateThread(nullptr, 0, &SpinThread, &spinner, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    const uint32_t target = reinterpret_cast<uintptr_t>(spin);
    uint32_t ip = 0;
    for (int i = 0; i < 500 && (ip - target) >= 6; ++i) {  // wait until it spins
        Sleep(5);
        ip = ThreadIp(thread);
    }
    ASSERT_LT(ip - target, 6u) << "the thread never reached the loop";

    void* trampoline = nullptr;
    ASSERT_EQ(CreateHook(spin, detour, &trampoline), kHookOk);
    guard.targets.push_back(spin);
    const uint32_t tramp = reinterpret_cast<uintptr_t>(trampoline);
    ASSERT_EQ(EnableHook(spin), kHookOk);
    EXPECT_EQ(spin[0], 0xE9);
    for (int i = 0; i < 5; ++i) {
        ip = ThreadIp(thread);
        EXPECT_LT(ip - tramp, 6u) << "moved into the trampoline's copy of the loop, at " << std::hex << ip;
        Sleep(2);
    }
    ASSERT_EQ(DisableHook(spin), kHookOk);
    for (int i = 0; i < 5; ++i) {
        ip = ThreadIp(thread);
        EXPECT_LT(ip - target, 6u) << "moved back into the target, at " << std::hex << ip;
        Sleep(2);
    }
    ASSERT_EQ(EnableHook(spin), kHookOk);  // leave it through the trampoline's jump back
    InterlockedExchange(const_cast<LONG*>(&flag), 1);
    ASSERT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    DWORD exit_code = 0;
    GetExitCodeThread(thread, &exit_code);
    EXPECT_EQ(exit_code, 42u) << "finished the original code, not the detour";
    CloseHandle(thread);
}

// ---- system failures (fault injection) -------------------------------------------------------------

LPVOID WINAPI FailVirtualAlloc(LPVOID, SIZE_T, DWORD, DWORD) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
}
BOOL WINAPI FailVirtualProtect(LPVOID, SIZE_T, DWORD, PDWORD) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}
LPVOID WINAPI FailHeapReAlloc(HANDLE, DWORD, LPVOID, SIZE_T) { return nullptr; }
LPVOID WINAPI FailHeapAlloc(HANDLE, DWORD, SIZE_T) { return nullptr; }
HANDLE WINAPI FailSnapshot(DWORD, DWORD) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return INVALID_HANDLE_VALUE;
}
BOOL WINAPI FailNextThread(HANDLE, LPTHREADENTRY32) {
    SetLastError(ERROR_INVALID_PARAMETER);  // anything but the end of the list
    return FALSE;
}
DWORD WINAPI FailSuspend(HANDLE) {
    SetLastError(ERROR_ACCESS_DENIED);
    return static_cast<DWORD>(-1);
}

// Installs a system with one call replaced for the scope.
class FaultScope {
public:
    template <class F>
    FaultScope(F HookEngineSystem::*member, F fake) : system_(RealHookEngineSystem()) {
        system_.*member = fake;
        SetHookEngineSystemForTests(&system_);
    }
    ~FaultScope() { SetHookEngineSystemForTests(nullptr); }
    FaultScope(const FaultScope&) = delete;
    FaultScope& operator=(const FaultScope&) = delete;

private:
    HookEngineSystem system_;
};

// A thread that keeps calling a function; shows it was resumed after a failed operation.
class BusyCaller {
public:
    explicit BusyCaller(uint8_t* function) : function_(reinterpret_cast<int(__cdecl*)(int)>(function)) {
        thread_ = std::thread([this] {
            while (!stop_) {
                function_(1);
                calls_.fetch_add(1);
            }
        });
    }
    ~BusyCaller() {
        stop_ = true;
        thread_.join();
    }
    bool KeepsRunning() {
        const long before = calls_.load();
        for (int i = 0; i < 200 && calls_.load() == before; ++i) Sleep(10);
        return calls_.load() != before;
    }

private:
    int(__cdecl* function_)(int);
    std::atomic<bool> stop_{false};
    std::atomic<long> calls_{0};
    std::thread thread_;
};

TEST(HookEngine, SystemFailuresBecomeStatuses) {
    EnsureInitialized();
    ASSERT_EQ(Stats().hooks, 0u) << "earlier tests left hooks behind";
    CodeBuffer code;
    HookGuard guard;
    const std::initializer_list<uint8_t> body = {0x8B, 0xFF, 0x55, 0x8B, 0xEC, 0x8B, 0x45, 0x08, 0x5D, 0xC3};
    uint8_t* detour = code.Put(0x8000, {0x8B, 0x44, 0x24, 0x04, 0xC3});
    uint8_t* f = code.Put(0x10, body);
    const std::vector<uint8_t> f_bytes = BytesAt(f, 5);

    {  // no page for the trampoline
        FaultScope fault(&HookEngineSystem::virtual_alloc, &FailVirtualAlloc);
        EXPECT_EQ(CreateHook(f, detour, nullptr), kHookMemoryAllocFailed);
    }
    EXPECT_EQ(Stats().hooks, 0u);
    EXPECT_EQ(Stats().pages, 0u);

    ASSERT_EQ(CreateHook(f, detour, nullptr), kHookOk);
    guard.targets.push_back(f);
    BusyCaller caller(f);
    {  // the patched area cannot be made writable: nothing written, threads resumed
        FaultScope fault(&HookEngineSystem::virtual_protect, &FailVirtualProtect);
        EXPECT_EQ(EnableHook(f), kHookMemoryProtectFailed);
        EXPECT_EQ(EnableHook(nullptr), kHookMemoryProtectFailed);
    }
    EXPECT_EQ(BytesAt(f, 5), f_bytes);
    EXPECT_TRUE(caller.KeepsRunning());
    {  // no thread list
        FaultScope fault(&HookEngineSystem::thread_snapshot, &FailSnapshot);
        EXPECT_EQ(EnableHook(f), kHookMemoryAllocFailed);
    }
    {  // the walk of the thread list breaks off
        FaultScope fault(&HookEngineSystem::next_thread, &FailNextThread);
        EXPECT_EQ(EnableHook(f), kHookMemoryAllocFailed);
    }
    {  // no room for the thread list
        FaultScope fault(&HookEngineSystem::heap_alloc, &FailHeapAlloc);
        EXPECT_EQ(EnableHook(f), kHookMemoryAllocFailed);
    }
    EXPECT_EQ(BytesAt(f, 5), f_bytes);
    EXPECT_TRUE(caller.KeepsRunning()) << "no thread stays suspended after a failure";
    EXPECT_EQ(DisableHook(f), kHookAlreadyDisabled) << "the failures left the hook disabled";
    EXPECT_EQ(EnableHook(f), kHookOk);
    EXPECT_EQ(f[0], 0xE9);
    EXPECT_TRUE(caller.KeepsRunning());
    {  // all hooks already in the wanted state: no thread list is even taken
        FaultScope fault(&HookEngineSystem::thread_snapshot, &FailSnapshot);
        EXPECT_EQ(EnableHook(nullptr), kHookOk);
    }

    // The table cannot grow past its first 32 entries: the 33rd hook fails cleanly.
    for (int i = 1; i < 32; ++i) {
        uint8_t* g = code.Put(0x10 + i * 16, body);
        ASSERT_EQ(CreateHook(g, detour, nullptr), kHookOk) << i;
        guard.targets.push_back(g);
    }
    ASSERT_EQ(Stats().table_room, 32u);
    uint8_t* extra = code.Put(0x10 + 32 * 16, body);
    {
        FaultScope fault(&HookEngineSystem::heap_realloc, &FailHeapReAlloc);
        EXPECT_EQ(CreateHook(extra, detour, nullptr), kHookMemoryAllocFailed);
    }
    EXPECT_EQ(Stats().hooks, 32u);
    EXPECT_EQ(Stats().pages, 1u);
    EXPECT_EQ(EnableHook(extra), kHookNotCreated);
    ASSERT_EQ(CreateHook(extra, detour, nullptr), kHookOk) << "the slot given back is usable again";
    guard.targets.push_back(extra);
}

TEST(HookEngine, SkipsThreadsThatCannotBeSuspended) {
    EnsureInitialized();
    CodeBuffer code;
    HookGuard guard;
    uint8_t* f = code.Put(0x10, {0x8B, 0xFF, 0x55, 0x8B, 0xEC, 0x8B, 0x45, 0x08, 0x5D, 0xC3});
    uint8_t* detour = code.Put(0x80, {0x8B, 0x44, 0x24, 0x04, 0xC3});
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread waiter([event] { WaitForSingleObject(event, 10000); });
    ASSERT_EQ(CreateHook(f, detour, nullptr), kHookOk);
    guard.targets.push_back(f);
    {
        FaultScope fault(&HookEngineSystem::suspend_thread, &FailSuspend);
        EXPECT_EQ(EnableHook(f), kHookOk);
    }
    EXPECT_EQ(f[0], 0xE9);
    SetEvent(event);
    waiter.join();  // never suspended, so never resumed one time too many either
    CloseHandle(event);
}

TEST(HookEngine, TrampolinePagesAndTableGrowAndShrink) {
    EnsureInitialized();
    const HookEngineStats at_start = Stats();
    ASSERT_EQ(at_start.hooks, 0u) << "earlier tests left hooks behind";
    ASSERT_EQ(at_start.pages, 0u);
    CodeBuffer code;
    uint8_t* detour = code.Put(0x8000, {0x31, 0xC0, 0xC3});
    constexpr int kHooks = 128;  // one more than a page holds
    std::vector<uint8_t*> targets;
    std::vector<void*> trampolines;
    for (int i = 0; i < kHooks; ++i) {
        uint8_t* f = code.Put(0x20 + i * 16, {0x8B, 0xFF, 0x55, 0x8B, 0xEC, 0x8B, 0x45, 0x08, 0x5D, 0xC3});
        void* t = nullptr;
        ASSERT_EQ(CreateHook(f, detour, &t), kHookOk) << i;
        targets.push_back(f);
        trampolines.push_back(t);
        if (i == 31) {
            EXPECT_EQ(Stats().table_room, 32u);
        } else if (i == 32) {
            EXPECT_EQ(Stats().table_room, 64u);
        }
    }
    EXPECT_EQ(Stats().hooks, 128u);
    EXPECT_EQ(Stats().table_room, 128u);
    EXPECT_EQ(Stats().pages, 2u);
    ASSERT_EQ(EnableHook(nullptr), kHookOk);

    // Trampolines of one page share its 4 KiB; the 128th opens the second page.
    const uintptr_t first_page = reinterpret_cast<uintptr_t>(trampolines[0]) & ~uintptr_t{4095};
    for (int i = 0; i < 127; ++i) EXPECT_EQ(reinterpret_cast<uintptr_t>(trampolines[i]) & ~uintptr_t{4095}, first_page);
    EXPECT_NE(reinterpret_cast<uintptr_t>(trampolines[127]) & ~uintptr_t{4095}, first_page);

    for (int i = 0; i < 126; ++i) ASSERT_EQ(RemoveHook(targets[i]), kHookOk);
    EXPECT_FALSE(IsFree(trampolines[0])) << "one slot still in use keeps the page";
    EXPECT_EQ(Stats().table_room, 32u) << "halved at 64 entries left and again at 32";
    ASSERT_EQ(RemoveHook(targets[126]), kHookOk);
    EXPECT_TRUE(IsFree(trampolines[0])) << "the emptied page is released";
    EXPECT_EQ(Stats().pages, 1u);
    EXPECT_EQ(targets[127][0], 0xE9) << "the hook on the other page is still in place";
    ASSERT_EQ(RemoveHook(targets[127]), kHookOk);
    EXPECT_TRUE(IsFree(trampolines[127]));
    EXPECT_EQ(Stats().pages, 0u);
    EXPECT_EQ(Stats().hooks, 0u);
    for (int i = 0; i < kHooks; ++i) EXPECT_EQ(targets[i][0], 0x8B) << i;
}

}  // namespace
}  // namespace hm::hook_engine
