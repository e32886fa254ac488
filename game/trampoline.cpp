// Trampoline construction: walk the target's instructions until the 5 bytes of the jump are
// covered, copying each into the slot. Relative branches that leave the patched bytes are
// re-aimed at the same absolute destination; branches that stay inside are copied as they are
// and must keep their distance.
#include "game/trampoline.h"

#include <cstring>

#include "game/x86_length.h"

namespace hm {
namespace {

void Put32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

// Absolute destination of a relative branch that ends at `next`.
uint32_t BranchDestination(const X86Instruction& in, uint32_t next) {
    if (in.flags & kX86Imm8) return next + static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(in.imm8)));
    return next + in.imm32;
}

bool IsFiller(uint8_t b) { return b == 0x00 || b == 0x90 || b == 0xCC; }

bool AllSameFiller(const uint8_t* p, size_t n) {
    if (n == 0) return true;
    if (!IsFiller(p[0])) return false;
    for (size_t i = 1; i < n; ++i)
        if (p[i] != p[0]) return false;
    return true;
}

struct InternalBranch {
    uint8_t old_at;      // offset of the branch in the target
    uint8_t new_at;      // and in the trampoline
    uint8_t old_target;  // offset of its destination in the target
};

}  // namespace

int BuildTrampoline(const TrampolineSource& source, uint32_t trampoline_address, Trampoline* out) {
    std::memset(out, 0, sizeof *out);
    out->map.trailing_jump = kNoTrailingJump;
    const uint32_t target = source.address;
    size_t pos = 0;       // bytes of the target covered
    size_t size = 0;      // bytes of trampoline written
    size_t furthest_internal = 0;  // furthest destination of a branch into the patched bytes
    bool ended = false;   // the walk reached a RET or an unconditional jump out
    InternalBranch internal[kMaxRelocatedInstructions];
    size_t internal_count = 0;
    size_t first_length = 0;

    while (pos < kJumpSize && !ended) {
        if (out->map.count == kMaxRelocatedInstructions) return kHookUnsupportedFunction;
        X86Instruction in;
        const size_t left = pos < source.code_size ? source.code_size - pos : 0;
        DecodeX86(source.code + pos, left, &in);
        if (X86Failed(in)) return kHookUnsupportedFunction;
        const uint8_t* original = source.code + pos;
        const uint32_t next = target + static_cast<uint32_t>(pos + in.length);
        const uint32_t here = trampoline_address + static_cast<uint32_t>(size);

        uint8_t copy[16];
        size_t copy_size = in.length;
        std::memcpy(copy, original, in.length);
        bool is_internal_branch = false;

        const bool relative = (in.flags & kX86Relative) != 0;
        // A 16-bit branch (operand-size prefix) truncates EIP; nothing sane starts with one.
        if (relative && in.operand_size_prefix) return kHookUnsupportedFunction;
        const uint32_t destination = relative ? BranchDestination(in, next) : 0;
        const bool leaves = !relative || destination - target >= kJumpSize;
        const uint8_t op = in.opcode;

        if (op == 0xE8) {  // CALL rel32
            // A call into the bytes the jump overwrites could never come back sanely.
            if (!leaves) return kHookUnsupportedFunction;
            copy[0] = 0xE8;
            Put32(copy + 1, destination - (here + 5));
            copy_size = 5;
        } else if (op == 0xE9 || op == 0xEB) {  // JMP rel32 / rel8
            if (leaves) {
                copy[0] = 0xE9;
                Put32(copy + 1, destination - (here + 5));
                copy_size = 5;
                ended = furthest_internal <= pos;
            } else {
                is_internal_branch = true;
            }
        } else if ((op >= 0x70 && op <= 0x7F) || (op == 0x0F && in.opcode2 >= 0x80 && in.opcode2 <= 0x8F)) {
            if (leaves) {
                const uint8_t condition = op == 0x0F ? in.opcode2 & 0x0F : op & 0x0F;
                copy[0] = 0x0F;
                copy[1] = static_cast<uint8_t>(0x80 | condition);
                Put32(copy + 2, destination - (here + 6));
                copy_size = 6;
            } else {
                is_internal_branch = true;
            }
        } else if (op >= 0xE0 && op <= 0xE3) {  // LOOPNE LOOPE LOOP JECXZ: rel8 only
            if (leaves) return kHookUnsupportedFunction;
            is_internal_branch = true;
        } else if (op == 0xC3 || op == 0xC2) {
            ended = furthest_internal <= pos;
        } else if (relative) {
            return kHookUnsupportedFunction;  // a relative form this walk does not know how to move
        }

        if (copy_size != in.length && furthest_internal > pos) return kHookUnsupportedFunction;
        if (size + copy_size > kTrampolineSlotSize) return kHookUnsupportedFunction;
        if (is_internal_branch) {
            const size_t destination_offset = destination - target;
            internal[internal_count++] = {static_cast<uint8_t>(pos), static_cast<uint8_t>(size),
                                          static_cast<uint8_t>(destination_offset)};
            if (destination_offset > furthest_internal) furthest_internal = destination_offset;
        }
        out->map.old_offsets[out->map.count] = static_cast<uint8_t>(pos);
        out->map.new_offsets[out->map.count] = static_cast<uint8_t>(size);
        ++out->map.count;
        std::memcpy(out->bytes + size, copy, copy_size);
        if (pos == 0) first_length = in.length;
        size += copy_size;
        pos += in.length;
    }

    if (!ended) {
        if (size + kJumpSize > kTrampolineSlotSize) return kHookUnsupportedFunction;
        out->map.trailing_jump = static_cast<uint8_t>(size);
        out->bytes[size] = 0xE9;
        Put32(out->bytes + size + 1, (target + static_cast<uint32_t>(pos)) - (trampoline_address + size + 5));
        size += kJumpSize;
    }

    // Branches copied unchanged stay right only if they land on a copied instruction at the
    // same distance as before.
    for (size_t i = 0; i < internal_count; ++i) {
        const InternalBranch& b = internal[i];
        size_t k = 0;
        while (k < out->map.count && out->map.old_offsets[k] != b.old_target) ++k;
        if (k == out->map.count) return kHookUnsupportedFunction;
        if (static_cast<int>(out->map.new_offsets[k]) - b.new_at != static_cast<int>(b.old_target) - b.old_at)
            return kHookUnsupportedFunction;
    }

    // Short function: the jump may run over padding after it, or else go in the padding above.
    if (pos < kJumpSize) {
        const bool padding_after =
            source.code_size >= kJumpSize && AllSameFiller(source.code + pos, kJumpSize - pos);
        if (!padding_after) {
            if (first_length < 2 || source.before == nullptr || !AllSameFiller(source.before, kJumpSize))
                return kHookUnsupportedFunction;
            out->patch_above = true;
        }
    }

    out->size = static_cast<uint8_t>(size);
    out->map.covered = static_cast<uint8_t>(pos);
    return kHookOk;
}

uint32_t PatchAreaStart(uint32_t target, bool patch_above) {
    return patch_above ? target - static_cast<uint32_t>(kJumpSize) : target;
}

size_t PatchAreaSize(bool patch_above) { return patch_above ? kPatchAboveSize : kJumpSize; }

size_t EnabledPatchBytes(uint32_t target, uint32_t detour, bool patch_above, uint8_t out[kPatchAboveSize]) {
    const uint32_t start = PatchAreaStart(target, patch_above);
    out[0] = 0xE9;
    Put32(out + 1, detour - (start + 5));
    if (patch_above) {
        out[5] = 0xEB;  // jump back 7 bytes: from target + 2 to target - 5
        out[6] = 0xF9;
    }
    return PatchAreaSize(patch_above);
}

bool MoveIpToTrampoline(const InstructionMap& map, uint32_t target, uint32_t trampoline, bool patch_above,
                        uint32_t* ip) {
    const uint32_t start = PatchAreaStart(target, patch_above);
    if (*ip - start >= PatchAreaSize(patch_above)) return false;
    for (size_t i = 0; i < map.count; ++i)
        if (target + map.old_offsets[i] == *ip) {
            *ip = trampoline + map.new_offsets[i];
            return true;
        }
    return false;
}

bool MoveIpToTarget(const InstructionMap& map, uint32_t target, uint32_t trampoline, uint32_t* ip) {
    const uint32_t offset = *ip - trampoline;
    if (offset >= kTrampolineSlotSize) return false;
    for (size_t i = 0; i < map.count; ++i)
        if (map.new_offsets[i] == offset) {
            *ip = target + map.old_offsets[i];
            return true;
        }
    if (map.trailing_jump != kNoTrailingJump && offset == map.trailing_jump) {
        *ip = target + map.covered;
        return true;
    }
    return false;
}

}  // namespace hm
