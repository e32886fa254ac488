// Trampoline construction for 32-bit x86 inline hooks, over byte buffers and chosen addresses:
// the target's first instructions are copied into a 32-byte slot (relative branches re-aimed)
// and followed by a jump back. Also the enabled patch bytes and the thread instruction-pointer
// fix-ups. Portable and pure; the Windows engine supplies the memory.
#pragma once

#include <cstddef>
#include <cstdint>

namespace hm {

// Status codes of every hooking operation.
enum HookStatus : int {
    kHookOk = 0,
    kHookAlreadyInitialized = 1,
    kHookNotInitialized = 2,
    kHookAlreadyCreated = 3,
    kHookNotCreated = 4,
    kHookAlreadyEnabled = 5,
    kHookAlreadyDisabled = 6,
    kHookNotExecutable = 7,
    kHookUnsupportedFunction = 8,
    kHookMemoryAllocFailed = 9,
    kHookMemoryProtectFailed = 10,
};

constexpr size_t kTrampolineSlotSize = 32;
constexpr size_t kMaxRelocatedInstructions = 8;
constexpr size_t kJumpSize = 5;          // JMP rel32, also the patched area at the target
constexpr size_t kPatchAboveSize = 7;    // JMP rel32 in the 5 bytes before the target + EB F9
constexpr uint8_t kNoTrailingJump = 0xFF;

// What the builder may read of the target. Copies, so the caller decides what is readable.
struct TrampolineSource {
    const uint8_t* code;    // the target's first bytes
    size_t code_size;       // readable bytes at `code` (a few dozen are plenty)
    uint32_t address;       // where the target lives
    const uint8_t* before;  // the 5 bytes before the target, or null when they are not executable
};

// Where each relocated instruction sat in the target and sits in the trampoline.
struct InstructionMap {
    uint8_t count;  // relocated instructions, at most 8
    uint8_t old_offsets[kMaxRelocatedInstructions];
    uint8_t new_offsets[kMaxRelocatedInstructions];
    uint8_t covered;         // target bytes copied; the jump back returns to target + covered
    uint8_t trailing_jump;   // trampoline offset of that jump, or kNoTrailingJump
};

struct Trampoline {
    uint8_t bytes[kTrampolineSlotSize];
    uint8_t size;
    bool patch_above;  // patch the 5 bytes before the target and put EB F9 at it
    InstructionMap map;
};

// Builds the trampoline for the target as if it lived at `trampoline_address`.
// Returns kHookOk or kHookUnsupportedFunction.
int BuildTrampoline(const TrampolineSource& source, uint32_t trampoline_address, Trampoline* out);

// The patched area of an enabled hook: its start address and its bytes (5, or 7 in the
// patch-above form). Returns the number of bytes written to `out`.
uint32_t PatchAreaStart(uint32_t target, bool patch_above);
size_t PatchAreaSize(bool patch_above);
size_t EnabledPatchBytes(uint32_t target, uint32_t detour, bool patch_above, uint8_t out[kPatchAboveSize]);

// Thread fix-ups. An instruction pointer inside the patched area of a hook being enabled moves
// to the same instruction in the trampoline; one inside the trampoline of a hook being disabled
// moves back. Returns false (and leaves *ip) when it is elsewhere or not on a mapped instruction.
bool MoveIpToTrampoline(const InstructionMap& map, uint32_t target, uint32_t trampoline, bool patch_above,
                        uint32_t* ip);
bool MoveIpToTarget(const InstructionMap& map, uint32_t target, uint32_t trampoline, uint32_t* ip);

}  // namespace hm
