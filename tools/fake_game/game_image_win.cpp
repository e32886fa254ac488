#include "tools/fake_game/game_image_win.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

// The region itself: a zero-filled section that the linker script puts at 0x500000.
asm(".section .gta,\"bwx\"\n"
    ".globl _hm_game_region\n"
    "_hm_game_region:\n"
    ".space 0x800000\n"
    ".text\n");

extern "C" char hm_game_region[];

namespace hm::fakegame {

bool InGameRegion(std::uintptr_t address, std::size_t size) {
    return reinterpret_cast<std::uintptr_t>(hm_game_region) == kGameRegionBegin && address >= kGameRegionBegin &&
           address < kGameRegionEnd && size <= kGameRegionEnd - address;
}

bool WriteGameCode(std::uintptr_t address, const void* bytes, std::size_t size) {
    if (!InGameRegion(address, size)) return false;
    DWORD old = 0;
    void* target = reinterpret_cast<void*>(address);
    if (!VirtualProtect(target, size, PAGE_EXECUTE_READWRITE, &old)) return false;
    std::memcpy(target, bytes, size);
    FlushInstructionCache(GetCurrentProcess(), target, size);
    return true;
}

std::string Format(const char* fmt, ...) {
    char buf[2048];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    return buf;
}

}  // namespace hm::fakegame
