#include "game/samp_win.h"

#include <windows.h>

#include "game/samp.h"

namespace hm {

namespace {

// ReadProcessMemory on our own process does not honour page protection everywhere (Wine reads
// through it), so every page touched must first be committed and readable.
bool PagesReadable(std::uintptr_t address, std::size_t size) {
    const std::uintptr_t last = address + size - 1;
    for (std::uintptr_t at = address;;) {
        MEMORY_BASIC_INFORMATION info{};
        if (VirtualQuery(reinterpret_cast<LPCVOID>(at), &info, sizeof info) != sizeof info) return false;
        if (info.State != MEM_COMMIT || (info.Protect & (PAGE_NOACCESS | PAGE_GUARD)) || info.Protect == 0) return false;
        const std::uintptr_t regionEnd = reinterpret_cast<std::uintptr_t>(info.BaseAddress) + info.RegionSize;
        if (regionEnd == 0 || regionEnd > last) return true;
        at = regionEnd;
    }
}

class OwnProcessMemory : public MemoryReader {
public:
    bool ReadRaw(GameAddress address, void* out, std::size_t size) const override {
        if (size == 0 || !PagesReadable(std::uintptr_t(address), size)) return false;
        SIZE_T transferred = 0;
        return ReadProcessMemory(GetCurrentProcess(), reinterpret_cast<LPCVOID>(std::uintptr_t(address)), out, size,
                                 &transferred) &&
               transferred == size;
    }
};

GameAddress SampBase() {
    return GameAddress(reinterpret_cast<std::uintptr_t>(GetModuleHandleW(L"samp.dll")));
}

using SendInputRoutine = void(__thiscall*)(void* self, const char* text);

}  // namespace

const MemoryReader& ProcessMemory() {
    // Never destroyed, like every process-wide record.
    static const OwnProcessMemory& memory = *new OwnProcessMemory;
    return memory;
}

bool IsChatFree() { return IsChatFreeAt(ProcessMemory(), SampBase()); }

bool SendChatInput(const char* text) {
    const auto call = PrepareChatInput(ProcessMemory(), SampBase());
    if (!call || !text) return false;
    auto routine = reinterpret_cast<SendInputRoutine>(std::uintptr_t(call->routine));
    routine(reinterpret_cast<void*>(std::uintptr_t(call->object)), text);
    return true;
}

}  // namespace hm
