// Figures of the Windows hooking engine, printed (Google Benchmark has no 32-bit Windows build
// here): creating and enabling 32 hooks, and the cost a detour adds to a call.
//   wine hook_engine_bench_win.exe
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "game/hook_engine_win.h"

namespace {

using namespace hm::hook_engine;

double Now() {
    LARGE_INTEGER t, f;
    QueryPerformanceCounter(&t);
    QueryPerformanceFrequency(&f);
    return static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

using IncFn = int(__cdecl*)(int);
IncFn g_inc_trampoline = nullptr;
__attribute__((noinline)) int __cdecl Increment(int x) {
    asm volatile("");
    return x + 1;
}
int __cdecl IncrementDetour(int x) { return g_inc_trampoline(x); }
IncFn volatile g_inc = &Increment;

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main() {
    if (Initialize() != hm::kHookOk) return 1;
    uint8_t* code = static_cast<uint8_t*>(VirtualAlloc(nullptr, 0x1000, MEM_RESERVE | MEM_COMMIT, PAGE_EXECUTE_READWRITE));
    std::memset(code, 0xCC, 0x1000);
    const uint8_t body[] = {0x8B, 0xFF, 0x55, 0x8B, 0xEC, 0x8B, 0x45, 0x08, 0x5D, 0xC3};
    for (int i = 0; i < 32; ++i) std::memcpy(code + 0x40 + i * 16, body, sizeof body);
    uint8_t* detour = code + 0x800;
    detour[0] = 0xC3;

    std::vector<double> create_enable, remove_all;
    for (int round = 0; round < 7; ++round) {
        const double t0 = Now();
        for (int i = 0; i < 32; ++i)
            if (CreateHook(code + 0x40 + i * 16, detour, nullptr) != hm::kHookOk) return 2;
        if (EnableHook(nullptr) != hm::kHookOk) return 3;
        const double t1 = Now();
        for (int i = 0; i < 32; ++i) RemoveHook(code + 0x40 + i * 16);
        const double t2 = Now();
        create_enable.push_back(t1 - t0);
        remove_all.push_back(t2 - t1);
    }
    printf("create 32 hooks + enable all at once: median %.3f ms over 7 rounds\n", Median(create_enable) * 1e3);
    printf("remove 32 enabled hooks one by one:   median %.3f ms\n", Median(remove_all) * 1e3);

    const int calls = 2000000;
    volatile int sink = 0;
    double t0 = Now();
    for (int i = 0; i < calls; ++i) sink = g_inc(i);
    const double plain = (Now() - t0) / calls;
    if (CreateHook(reinterpret_cast<void*>(&Increment), reinterpret_cast<void*>(&IncrementDetour),
                   reinterpret_cast<void**>(&g_inc_trampoline)) != hm::kHookOk ||
        EnableHook(reinterpret_cast<void*>(&Increment)) != hm::kHookOk)
        return 4;
    t0 = Now();
    for (int i = 0; i < calls; ++i) sink = g_inc(i);
    const double hooked = (Now() - t0) / calls;
    printf("call, not hooked: %.1f ns; through detour + trampoline: %.1f ns; overhead %.1f ns per call\n",
           plain * 1e9, hooked * 1e9, (hooked - plain) * 1e9);
    return sink == calls ? 0 : 5;
}
