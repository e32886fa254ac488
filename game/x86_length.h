// Table-driven length decoder for 32-bit x86 code. The hooking engine walks a function's first
// instructions with it to know where each one ends and which ones carry relative operands.
// Portable and pure: any thread, no state.
#pragma once

#include <cstddef>
#include <cstdint>

namespace hm {

// Bits of X86Instruction::flags. The low bits say which fields were read; the error bits mark
// encodings the CPU refuses (a length is produced all the same); the top bits are the prefixes.
enum X86Flags : uint32_t {
    kX86ModRm = 0x0001,
    kX86Sib = 0x0002,
    kX86Imm8 = 0x0004,
    kX86Imm16 = 0x0008,
    kX86Imm32 = 0x0010,
    kX86Disp8 = 0x0020,
    kX86Disp16 = 0x0040,
    kX86Disp32 = 0x0080,
    kX86Relative = 0x0100,  // the immediate is a branch displacement
    kX86Error = 0x1000,
    kX86ErrorOpcode = 0x2000,    // set together with kX86Error
    kX86ErrorLength = 0x4000,    // longer than 15 bytes (with kX86Error)
    kX86ErrorTruncated = 0x8000, // ran past the bytes given (with kX86Error)
    kX86PrefixRepeat = 0x01000000,  // F2 or F3
    kX86PrefixLock = 0x02000000,
    kX86PrefixSegment = 0x04000000,
    kX86PrefixOperandSize = 0x08000000,
    kX86PrefixAddressSize = 0x10000000,
};

// One decoded instruction. Fields not named in `flags` are zero.
struct X86Instruction {
    uint8_t length;
    uint8_t repeat_prefix;   // F2 / F3, the last one seen
    uint8_t lock_prefix;     // F0
    uint8_t segment_prefix;  // 26 2E 36 3E 64 65, the last one seen
    uint8_t operand_size_prefix;  // 66
    uint8_t address_size_prefix;  // 67
    uint8_t opcode;          // 0F for the two-byte map
    uint8_t opcode2;         // second opcode byte of the two-byte map
    uint8_t opcode3;         // third byte of the 0F 38 / 0F 3A maps
    uint8_t modrm, modrm_mod, modrm_reg, modrm_rm;
    uint8_t sib, sib_scale, sib_index, sib_base;
    uint8_t imm8;   // also an 8-bit branch displacement, or ENTER's nesting level
    uint16_t imm16; // also a 16-bit branch displacement, RET/ENTER's count, a far selector
    uint32_t imm32; // also a 32-bit branch displacement, a far offset (flag kX86Imm32 also for 16 bits)
    uint8_t disp8;
    uint16_t disp16;
    uint32_t disp32;
    uint32_t flags;  // X86Flags
};

// Decodes the instruction at `code`, reading at most `available` bytes (reads past them count
// as zero bytes and set kX86ErrorTruncated). Returns the length, also in out->length; an error
// flag in out->flags means the CPU would not execute it as decoded.
unsigned DecodeX86(const uint8_t* code, size_t available, X86Instruction* out);

inline bool X86Failed(const X86Instruction& in) { return (in.flags & kX86Error) != 0; }

}  // namespace hm
