// Length decoder for 32-bit x86. Every opcode of the one-byte map and of the 0F map has a class
// byte (what follows the opcode); the classes are packed into a two-level table at compile
// time. Groups (opcodes whose ModR/M reg field selects the instruction) carry validity masks.
#include "game/x86_length.h"

#include <cstring>

namespace hm {
namespace {

// Class bits of an opcode.
constexpr uint8_t M = 0x01;    // ModR/M follows
constexpr uint8_t I8 = 0x02;   // 8-bit immediate
constexpr uint8_t I16 = 0x04;  // 16-bit immediate
constexpr uint8_t IZ = 0x08;   // 32-bit immediate, 16-bit under the operand-size prefix
constexpr uint8_t R8 = 0x10;   // 8-bit relative branch
constexpr uint8_t R32 = 0x20;  // 32-bit relative branch, 16-bit under the operand-size prefix
constexpr uint8_t G = 0x40;    // group: validity depends on ModR/M (see kGroups)
constexpr uint8_t X = 0x80;    // invalid opcode

// One-byte map. Prefix bytes only reach the table after 16 prefixes; they are invalid there.
// A0..A3 (moffs) and F6/F7 (TEST's immediate) get their extra bytes in code.
constexpr uint8_t kOneByte[256] = {
    // 0       1       2       3       4       5       6       7       8       9       A       B       C       D       E       F
    M,      M,      M,      M,      I8,     IZ,     0,      0,      M,      M,      M,      M,      I8,     IZ,     0,      0,       // 0
    M,      M,      M,      M,      I8,     IZ,     0,      0,      M,      M,      M,      M,      I8,     IZ,     0,      0,       // 1
    M,      M,      M,      M,      I8,     IZ,     X,      0,      M,      M,      M,      M,      I8,     IZ,     X,      0,       // 2
    M,      M,      M,      M,      I8,     IZ,     X,      0,      M,      M,      M,      M,      I8,     IZ,     X,      0,       // 3
    0,      0,      0,      0,      0,      0,      0,      0,      0,      0,      0,      0,      0,      0,      0,      0,       // 4
    0,      0,      0,      0,      0,      0,      0,      0,      0,      0,      0,      0,      0,      0,      0,      0,       // 5
    0,      0,      M|G,    M,      X,      X,      X,      X,      IZ,     M|IZ,   I8,     M|I8,   0,      0,      0,      0,       // 6
    R8,     R8,     R8,     R8,     R8,     R8,     R8,     R8,     R8,     R8,     R8,     R8,     R8,     R8,     R8,     R8,      // 7
    M|I8,   M|IZ,   M|I8,   M|I8,   M,      M,      M,      M,      M,      M,      M,      M,      M|G,    M|G,    M|G,    M|G,     // 8
    0,      0,      0,      0,      0,      0,      0,      0,      0,      0,      IZ|I16, 0,      0,      0,      0,      0,       // 9
    0,      0,      0,      0,      0,      0,      0,      0,      I8,     IZ,     0,      0,      0,      0,      0,      0,       // A
    I8,     I8,     I8,     I8,     I8,     I8,     I8,     I8,     IZ,     IZ,     IZ,     IZ,     IZ,     IZ,     IZ,     IZ,      // B
    M|I8,   M|I8,   I16,    0,      M|G,    M|G,    M|I8|G, M|IZ|G, I16|I8, 0,      I16,    0,      0,      I8,     0,      0,       // C
    M,      M,      M,      M,      I8,     I8,     0,      0,      M,      M,      M,      M,      M,      M,      M,      M,       // D
    R8,     R8,     R8,     R8,     I8,     I8,     I8,     I8,     R32,    R32,    IZ|I16, R8,     0,      0,      0,      0,       // E
    X,      0,      X,      X,      0,      0,      M|I8,   M|IZ,   0,      0,      0,      0,      0,      0,      M|G,    M|G,     // F
};

// Two-byte map (after 0F). 38 and 3A open the three-byte maps, handled in code; 20..23 always
// take a register operand whatever the mod field says, also handled in code.
constexpr uint8_t kTwoByte[256] = {
    // 0       1       2       3       4       5       6       7       8       9       A       B       C       D       E       F
    M|G,    M,      M,      M,      X,      0,      0,      0,      0,      0,      X,      0,      X,      M,      0,      M|I8,    // 0
    M,      M,      M,      M|G,    M,      M,      M,      M|G,    M,      M,      M,      M,      M,      M,      M,      M,       // 1
    M,      M,      M,      M,      X,      X,      X,      X,      M,      M,      M,      M|G,    M,      M,      M,      M,       // 2
    0,      0,      0,      0,      0,      0,      X,      0,      0,      X,      0,      X,      X,      X,      X,      X,       // 3
    M,      M,      M,      M,      M,      M,      M,      M,      M,      M,      M,      M,      M,      M,      M,      M,       // 4
    M|G,    M,      M,      M,      M,      M,      M,      M,      M,      M,      M,      M,      M,      M,      M,      M,       // 5
    M,      M,      M,      M,      M,      M,      M,      M,      M,      M,      M,      M,      M,      M,      M,      M,       // 6
    M|I8,   M|I8|G, M|I8|G, M|I8|G, M,      M,      M,      0,      M,      M,      X,      X,      M,      M,      M,      M,       // 7
    R32,    R32,    R32,    R32,    R32,    R32,    R32,    R32,    R32,    R32,    R32,    R32,    R32,    R32,    R32,    R32,     // 8
    M,      M,      M,      M,      M,      M,      M,      M,      M,      M,      M,      M,      M,      M,      M,      M,       // 9
    0,      0,      0,      M,      M|I8,   M,      X,      X,      0,      0,      0,      M,      M|I8,   M,      M|G,    M,       // A
    M,      M,      M|G,    M,      M|G,    M|G,    M,      M,      M,      M,      M|I8|G, M,      M,      M,      M,      M,       // B
    M,      M,      M|I8,   M|G,    M|I8,   M|I8,   M|I8,   M|G,    0,      0,      0,      0,      0,      0,      0,      0,       // C
    M,      M,      M,      M,      M,      M,      M,      M|G,    M,      M,      M,      M,      M,      M,      M,      M,       // D
    M,      M,      M,      M,      M,      M,      M,      M|G,    M,      M,      M,      M,      M,      M,      M,      M,       // E
    M,      M,      M,      M,      M,      M,      M,      M|G,    M,      M,      M,      M,      M,      M,      M,      M,       // F
};

// Group masks: low byte = reg values invalid with a memory operand, high byte = reg values
// invalid with a register operand (mod 11). Bit n stands for reg n.
struct GroupMask {
    uint8_t two_byte;  // 0 one-byte map, 1 the 0F map
    uint8_t opcode;
    uint16_t invalid;
};
constexpr uint16_t Mem(uint8_t regs) { return regs; }
constexpr uint16_t Reg(uint8_t regs) { return static_cast<uint16_t>(regs << 8); }
constexpr GroupMask kGroups[] = {
    {0, 0x62, Reg(0xFF)},                    // BOUND: memory only (mod 11 is EVEX)
    {0, 0x8C, Mem(0xC0) | Reg(0xC0)},        // MOV r/m, Sreg: no segment 6, 7
    {0, 0x8D, Reg(0xFF)},                    // LEA: memory only
    {0, 0x8E, Mem(0xC2) | Reg(0xC2)},        // MOV Sreg: no CS, no 6, 7
    {0, 0x8F, Mem(0xFE) | Reg(0xFE)},        // POP r/m: /0 only (others are XOP)
    {0, 0xC4, Reg(0xFF)},                    // LES: memory only (mod 11 is VEX)
    {0, 0xC5, Reg(0xFF)},                    // LDS: memory only (mod 11 is VEX)
    {0, 0xC6, Mem(0xFE) | Reg(0x7E)},        // MOV r/m8, imm8; C6 F8 is XABORT
    // MOV r/m, imm: /0 only. C7 F8 (XBEGIN) is a relative branch this decoder does not
    // report as one, so it stays invalid and the engine refuses to move it.
    {0, 0xC7, Mem(0xFE) | Reg(0xFE)},
    {0, 0xFE, Mem(0xFC) | Reg(0xFC)},        // INC/DEC r/m8
    {0, 0xFF, Mem(0x80) | Reg(0xA8)},        // /7 invalid; far CALL/JMP need memory
    {1, 0x00, Mem(0xC0) | Reg(0xC0)},        // SLDT..VERW
    {1, 0x13, Reg(0xFF)},                    // MOVLPS store
    {1, 0x17, Reg(0xFF)},                    // MOVHPS store
    {1, 0x2B, Reg(0xFF)},                    // MOVNTPS
    {1, 0x50, Mem(0xFF)},                    // MOVMSKPS
    {1, 0x71, Mem(0xFF) | Reg(0xAB)},        // shifts by immediate: /2 /4 /6, registers
    {1, 0x72, Mem(0xFF) | Reg(0xAB)},
    {1, 0x73, Mem(0xFF) | Reg(0x33)},        // /2 /3 /6 /7, registers
    {1, 0xAE, Reg(0x1F)},                    // FXSAVE..CLFLUSH; LFENCE MFENCE SFENCE
    {1, 0xB2, Reg(0xFF)},                    // LSS
    {1, 0xB4, Reg(0xFF)},                    // LFS
    {1, 0xB5, Reg(0xFF)},                    // LGS
    {1, 0xBA, Mem(0x0F) | Reg(0x0F)},        // BT/BTS/BTR/BTC imm8: /4../7
    {1, 0xC3, Reg(0xFF)},                    // MOVNTI
    {1, 0xC7, Mem(0x05) | Reg(0x3F)},        // CMPXCHG8B, XSAVE*, VMPTR*; RDRAND, RDSEED
    {1, 0xD7, Mem(0xFF)},                    // PMOVMSKB
    {1, 0xE7, Reg(0xFF)},                    // MOVNTQ / MOVNTDQ
    {1, 0xF7, Mem(0xFF)},                    // MASKMOVQ
};

// Two-byte opcodes that exist only with some of the mandatory prefixes. Bit 0: no prefix,
// bit 1: 66, bit 2: F3, bit 3: F2 (F2/F3 win over 66, the last repeat prefix wins).
constexpr uint8_t P_NONE = 1, P_66 = 2, P_F3 = 4, P_F2 = 8;
struct PrefixRule {
    uint8_t first, last;  // opcode range in the 0F map
    uint8_t valid;        // forms that exist
};
constexpr PrefixRule kPrefixRules[] = {
    {0x13, 0x13, P_NONE | P_66},        {0x14, 0x15, P_NONE | P_66},
    {0x16, 0x16, P_NONE | P_66 | P_F3}, {0x17, 0x17, P_NONE | P_66},
    {0x28, 0x29, P_NONE | P_66},        {0x2B, 0x2B, P_NONE | P_66},
    {0x2E, 0x2F, P_NONE | P_66},        {0x50, 0x50, P_NONE | P_66},
    {0x52, 0x53, P_NONE | P_F3},        {0x54, 0x57, P_NONE | P_66},
    {0x5B, 0x5B, P_NONE | P_66 | P_F3}, {0x60, 0x6B, P_NONE | P_66},
    {0x6C, 0x6D, P_66},                 {0x6E, 0x6E, P_NONE | P_66},
    {0x6F, 0x6F, P_NONE | P_66 | P_F3}, {0x71, 0x76, P_NONE | P_66},
    {0x77, 0x77, P_NONE},
    // 66/F2 0F 78/79 are SSE4a EXTRQ/INSERTQ with a different layout: refuse them.
    {0x78, 0x79, P_NONE},
    {0x7C, 0x7D, P_66 | P_F2},          {0x7E, 0x7F, P_NONE | P_66 | P_F3},
    {0xB8, 0xB8, P_F3},  // without F3 this is JMPE
    {0xC3, 0xC3, P_NONE},               {0xC4, 0xC6, P_NONE | P_66},
    {0xD0, 0xD0, P_66 | P_F2},          {0xD1, 0xD5, P_NONE | P_66},
    {0xD6, 0xD6, P_66 | P_F3 | P_F2},   {0xD7, 0xDF, P_NONE | P_66},
    {0xE0, 0xE5, P_NONE | P_66},        {0xE6, 0xE6, P_66 | P_F3 | P_F2},
    {0xE7, 0xEF, P_NONE | P_66},        {0xF0, 0xF0, P_F2},
    {0xF1, 0xFE, P_NONE | P_66},
};

// ---- packed class table -------------------------------------------------------------------
// First level: opcode / 4 -> offset of a row of four class bytes; identical rows are stored once.

constexpr bool SameRow(const uint8_t* a, const uint8_t* b) {
    return a[0] == b[0] && a[1] == b[1] && a[2] == b[2] && a[3] == b[3];
}

constexpr size_t UniqueRows(const uint8_t (&map)[256]) {
    size_t count = 0;
    for (size_t row = 0; row < 64; ++row) {
        bool seen = false;
        for (size_t earlier = 0; earlier < row && !seen; ++earlier)
            seen = SameRow(map + row * 4, map + earlier * 4);
        if (!seen) ++count;
    }
    return count;
}

template <size_t Rows>
struct PackedClasses {
    uint8_t offset[64];
    uint8_t bytes[Rows * 4];
    constexpr uint8_t operator[](uint8_t opcode) const { return bytes[offset[opcode >> 2] + (opcode & 3)]; }
};

template <size_t Rows>
constexpr PackedClasses<Rows> Pack(const uint8_t (&map)[256]) {
    PackedClasses<Rows> packed{};
    size_t used = 0;
    for (size_t row = 0; row < 64; ++row) {
        size_t found = used;
        for (size_t k = 0; k < used; ++k)
            if (SameRow(packed.bytes + k * 4, map + row * 4)) found = k;
        if (found == used) {
            for (size_t i = 0; i < 4; ++i) packed.bytes[used * 4 + i] = map[row * 4 + i];
            ++used;
        }
        packed.offset[row] = static_cast<uint8_t>(found * 4);
    }
    return packed;
}

static_assert(UniqueRows(kOneByte) * 4 <= 256 && UniqueRows(kTwoByte) * 4 <= 256, "offsets are bytes");
constexpr auto kOneByteClasses = Pack<UniqueRows(kOneByte)>(kOneByte);
constexpr auto kTwoByteClasses = Pack<UniqueRows(kTwoByte)>(kTwoByte);

// ---- decoding ------------------------------------------------------------------------------

struct Reader {
    const uint8_t* code;
    size_t available;
    size_t pos = 0;
    bool truncated = false;

    uint8_t Peek() const { return pos < available ? code[pos] : 0; }
    uint8_t Byte() {
        if (pos >= available) truncated = true;
        uint8_t b = Peek();
        ++pos;
        return b;
    }
    uint16_t Word() {
        uint16_t lo = Byte();
        return static_cast<uint16_t>(lo | (Byte() << 8));
    }
    uint32_t Dword() {
        uint32_t lo = Word();
        return lo | (static_cast<uint32_t>(Word()) << 16);
    }
};

uint16_t GroupInvalidMask(uint8_t two_byte, uint8_t opcode) {
    for (const GroupMask& g : kGroups)
        if (g.two_byte == two_byte && g.opcode == opcode) return g.invalid;
    return 0;
}

bool InvalidWithPrefixes(const X86Instruction& in) {
    uint8_t form = P_NONE;
    if (in.repeat_prefix == 0xF3) form = P_F3;
    else if (in.repeat_prefix == 0xF2) form = P_F2;
    else if (in.operand_size_prefix) form = P_66;
    for (const PrefixRule& r : kPrefixRules)
        if (in.opcode2 >= r.first && in.opcode2 <= r.last) return (r.valid & form) == 0;
    return false;
}

// LOCK is allowed only on read-modify-write instructions with a memory destination.
bool Lockable(const X86Instruction& in) {
    if (in.modrm_mod == 3 || !(in.flags & kX86ModRm)) return false;
    const uint8_t reg = in.modrm_reg;
    if (in.opcode == 0x0F) {
        switch (in.opcode2) {
        case 0xAB: case 0xB3: case 0xBB: case 0xB0: case 0xB1: case 0xC0: case 0xC1: return true;
        case 0xBA: return reg >= 5;
        case 0xC7: return reg == 1;
        default: return false;
        }
    }
    const uint8_t op = in.opcode;
    if (op < 0x40) return (op & 7) < 2 && op != 0x38 && op != 0x39;  // ADD..XOR r/m, reg (not CMP)
    switch (op) {
    case 0x80: case 0x81: case 0x82: case 0x83: return reg != 7;
    case 0x86: case 0x87: return true;
    case 0xF6: case 0xF7: return reg == 2 || reg == 3;
    case 0xFE: case 0xFF: return reg < 2;
    default: return false;
    }
}

void ReadAddressing(Reader& r, X86Instruction* in) {
    const uint8_t mod = in->modrm_mod, rm = in->modrm_rm;
    if (mod == 3) return;
    if (in->address_size_prefix) {  // 16-bit forms: no SIB
        if (mod == 1) {
            in->disp8 = r.Byte();
            in->flags |= kX86Disp8;
        } else if (mod == 2 || rm == 6) {
            in->disp16 = r.Word();
            in->flags |= kX86Disp16;
        }
        return;
    }
    bool disp32 = mod == 2 || (mod == 0 && rm == 5);
    if (rm == 4) {
        in->sib = r.Byte();
        in->sib_scale = in->sib >> 6;
        in->sib_index = (in->sib >> 3) & 7;
        in->sib_base = in->sib & 7;
        in->flags |= kX86Sib;
        if (mod == 0 && in->sib_base == 5) disp32 = true;  // no base register
    }
    if (mod == 1) {
        in->disp8 = r.Byte();
        in->flags |= kX86Disp8;
    } else if (disp32) {
        in->disp32 = r.Dword();
        in->flags |= kX86Disp32;
    }
}

}  // namespace

unsigned DecodeX86(const uint8_t* code, size_t available, X86Instruction* out) {
    X86Instruction& in = *out;
    std::memset(&in, 0, sizeof in);
    Reader r{code, available};

    for (int count = 0; count < 16; ++count) {
        if (r.pos >= available) break;
        const uint8_t b = r.Peek();
        if (b == 0xF2 || b == 0xF3) {
            in.repeat_prefix = b;
            in.flags |= kX86PrefixRepeat;
        } else if (b == 0xF0) {
            in.lock_prefix = b;
            in.flags |= kX86PrefixLock;
        } else if (b == 0x26 || b == 0x2E || b == 0x36 || b == 0x3E || b == 0x64 || b == 0x65) {
            in.segment_prefix = b;
            in.flags |= kX86PrefixSegment;
        } else if (b == 0x66) {
            in.operand_size_prefix = b;
            in.flags |= kX86PrefixOperandSize;
        } else if (b == 0x67) {
            in.address_size_prefix = b;
            in.flags |= kX86PrefixAddressSize;
        } else {
            break;
        }
        ++r.pos;
    }

    in.opcode = r.Byte();
    uint8_t cls;
    uint16_t invalid_regs = 0;
    bool register_operand_only = false;  // MOV to/from control and debug registers
    if (in.opcode == 0x0F) {
        in.opcode2 = r.Byte();
        if (in.opcode2 == 0x38) {
            in.opcode3 = r.Byte();
            cls = M;
        } else if (in.opcode2 == 0x3A) {
            in.opcode3 = r.Byte();
            cls = M | I8;
        } else {
            cls = kTwoByteClasses[in.opcode2];
            if (cls & G) invalid_regs = GroupInvalidMask(1, in.opcode2);
            if (InvalidWithPrefixes(in)) in.flags |= kX86Error | kX86ErrorOpcode;
            register_operand_only = in.opcode2 >= 0x20 && in.opcode2 <= 0x23;
        }
    } else {
        cls = kOneByteClasses[in.opcode];
        if (cls & G) invalid_regs = GroupInvalidMask(0, in.opcode);
    }
    if (cls & X) in.flags |= kX86Error | kX86ErrorOpcode;

    if (cls & M) {
        in.modrm = r.Byte();
        in.modrm_mod = in.modrm >> 6;
        in.modrm_reg = (in.modrm >> 3) & 7;
        in.modrm_rm = in.modrm & 7;
        in.flags |= kX86ModRm;
        const unsigned shift = in.modrm_mod == 3 ? 8 : 0;
        if ((invalid_regs >> shift) & (1u << in.modrm_reg)) in.flags |= kX86Error | kX86ErrorOpcode;
        if (!register_operand_only) ReadAddressing(r, &in);
    }

    // Immediates in encoding order: a full-size one first (far pointer offset), then a word
    // (far selector, RET count, ENTER size), then a byte.
    bool imm_z = (cls & IZ) != 0, imm_8 = (cls & I8) != 0;
    if (in.opcode == 0xF6 || in.opcode == 0xF7) {
        imm_8 = imm_8 && in.modrm_reg < 2;  // only TEST takes an immediate
        imm_z = imm_z && in.modrm_reg < 2;
    }
    if (imm_z && (cls & I16)) {  // far pointer: offset (16 or 32 bits), then the selector
        in.imm32 = in.operand_size_prefix ? r.Word() : r.Dword();
        in.imm16 = r.Word();
        in.flags |= kX86Imm32 | kX86Imm16;
    } else {
        if (imm_z) {
            if (in.operand_size_prefix) {
                in.imm16 = r.Word();
                in.flags |= kX86Imm16;
            } else {
                in.imm32 = r.Dword();
                in.flags |= kX86Imm32;
            }
        }
        if (cls & I16) {
            in.imm16 = r.Word();
            in.flags |= kX86Imm16;
        }
    }
    if (imm_8) {
        in.imm8 = r.Byte();
        in.flags |= kX86Imm8;
    }
    if (in.opcode >= 0xA0 && in.opcode <= 0xA3) {  // MOV with a memory offset
        if (in.address_size_prefix) {
            in.disp16 = r.Word();
            in.flags |= kX86Disp16;
        } else {
            in.disp32 = r.Dword();
            in.flags |= kX86Disp32;
        }
    }
    if (cls & R8) {
        in.imm8 = r.Byte();
        in.flags |= kX86Imm8 | kX86Relative;
    }
    if (cls & R32) {
        if (in.operand_size_prefix) {
            in.imm16 = r.Word();
            in.flags |= kX86Imm16 | kX86Relative;
        } else {
            in.imm32 = r.Dword();
            in.flags |= kX86Imm32 | kX86Relative;
        }
    }

    if (in.lock_prefix && !Lockable(in)) in.flags |= kX86Error | kX86ErrorOpcode;
    if (r.pos > 15) in.flags |= kX86Error | kX86ErrorLength;
    if (r.truncated) in.flags |= kX86Error | kX86ErrorTruncated;
    in.length = static_cast<uint8_t>(r.pos);
    return in.length;
}

}  // namespace hm
