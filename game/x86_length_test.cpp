// The length decoder against an independent disassembler (Zydis, 32-bit legacy mode) over the
// code sections of the real 32-bit objects in this machine's mingw i686 static libraries, plus a
// table of encodings that are easy to get wrong.
#include "game/x86_length.h"
#include "game/mingw_corpus_test_util.h"

#include <Zydis/Zydis.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace hm {
namespace {

using mingw_corpus::CodeSection;

std::string Hex(const uint8_t* p, size_t n) {
    std::string s;
    char b[4];
    for (size_t i = 0; i < n; ++i) {
        snprintf(b, sizeof b, "%02X ", p[i]);
        s += b;
    }
    if (!s.empty()) s.pop_back();
    return s;
}

// ---- known differences ----------------------------------------------------------------------------

// Where our rule and the oracle legitimately part. Each entry says why; anything else fails.
struct KnownDifference {
    const char* name;
    bool (*matches)(const X86Instruction& ours, const ZydisDecodedInstruction* oracle);  // oracle null: refused
    const char* why;
};

const KnownDifference kKnownDifferences[] = {
    {"VEX/EVEX (AVX) encodings",
     [](const X86Instruction& ours, const ZydisDecodedInstruction* oracle) {
         return oracle && (oracle->encoding == ZYDIS_INSTRUCTION_ENCODING_VEX ||
                           oracle->encoding == ZYDIS_INSTRUCTION_ENCODING_EVEX) &&
                (ours.opcode == 0xC4 || ours.opcode == 0xC5 || ours.opcode == 0x62) && ours.modrm_mod == 3 &&
                X86Failed(ours);
     },
     "In 32-bit mode C4/C5/62 with a register ModR/M are VEX/EVEX prefixes. Our decoder knows the "
     "one-byte and 0F maps only and reads them as LES/LDS/BOUND with a register operand, which it "
     "flags invalid, so the engine refuses such a function (status 8) instead of moving it. The "
     "hooked code (Direct3D 9, user32, the game) does not begin with AVX."},
};

// The fields the trampoline builder relies on: which instructions are relative branches and
// their displacement, and the sizes of the memory displacement and the immediates.
const char* FieldDifference(const X86Instruction& ours, const ZydisDecodedInstruction& oracle) {
    const bool oracle_relative = oracle.raw.imm[0].is_relative || oracle.raw.imm[1].is_relative;
    if (((ours.flags & kX86Relative) != 0) != oracle_relative) return "relative branch flag differs";
    if (oracle_relative) {
        const int64_t oracle_disp = oracle.raw.imm[0].is_relative ? oracle.raw.imm[0].value.s : oracle.raw.imm[1].value.s;
        const int64_t ours_disp = (ours.flags & kX86Imm8)    ? static_cast<int8_t>(ours.imm8)
                                  : (ours.flags & kX86Imm16) ? static_cast<int16_t>(ours.imm16)
                                                             : static_cast<int32_t>(ours.imm32);
        if (ours_disp != oracle_disp) return "branch displacement differs";
        return nullptr;
    }
    const unsigned ours_disp_bits = (ours.flags & kX86Disp8) ? 8 : (ours.flags & kX86Disp16) ? 16 : (ours.flags & kX86Disp32) ? 32 : 0;
    if (ours_disp_bits != oracle.raw.disp.size) return "displacement size differs";
    // 3DNow!'s trailing byte is an opcode suffix to the oracle and an immediate to us (same place,
    // same length). A far pointer's offset is reported as imm32 by us even when it is 16 bits.
    if (ours.opcode == 0x0F && ours.opcode2 == 0x0F) return nullptr;
    if ((ours.opcode == 0x9A || ours.opcode == 0xEA) && ours.operand_size_prefix) return nullptr;
    const unsigned ours_imm_bits = ((ours.flags & kX86Imm8) ? 8 : 0) + ((ours.flags & kX86Imm16) ? 16 : 0) +
                                   ((ours.flags & kX86Imm32) ? 32 : 0);
    if (ours_imm_bits != static_cast<unsigned>(oracle.raw.imm[0].size + oracle.raw.imm[1].size))
        return "immediate size differs";
    return nullptr;
}

struct Tally {
    size_t bytes = 0, sections = 0, instructions = 0;
    size_t both_refuse = 0;
    std::map<std::string, size_t> explained;         // by known difference
    std::map<std::string, std::vector<std::string>> unexplained;  // by kind, with examples
};

void Note(Tally* t, const std::string& kind, const X86Instruction& ours, const ZydisDecodedInstruction* oracle,
          const uint8_t* at, size_t left, const std::string& where) {
    for (const KnownDifference& k : kKnownDifferences)
        if (k.matches(ours, oracle)) {
            ++t->explained[k.name];
            return;
        }
    auto& list = t->unexplained[kind];
    if (list.size() < 12)
        list.push_back(where + ": " + Hex(at, std::min<size_t>(left, 16)) + " ours " + std::to_string(ours.length) +
                       (oracle ? std::string(" oracle ") + std::to_string(oracle->length) + " " +
                                     ZydisMnemonicGetString(oracle->mnemonic)
                               : std::string(" oracle refuses")));
    else
        list.push_back("");
}

TEST(X86LengthDecoder, AgreesWithOracleOnRealCode) {
    const std::vector<CodeSection> corpus = mingw_corpus::LoadCorpus();
    ZydisDecoder zydis;
    ASSERT_EQ(ZydisDecoderInit(&zydis, ZYDIS_MACHINE_MODE_LEGACY_32, ZYDIS_STACK_WIDTH_32), ZYAN_STATUS_SUCCESS);

    Tally t;
    for (const CodeSection& s : corpus) {
        ++t.sections;
        t.bytes += s.bytes.size();
        const uint8_t* p = s.bytes.data();
        const size_t n = s.bytes.size();
        size_t at = 0;
        while (at < n) {
            X86Instruction ours;
            DecodeX86(p + at, n - at, &ours);
            ZydisDecodedInstruction oracle;
            const bool oracle_ok =
                ZYAN_SUCCESS(ZydisDecoderDecodeInstruction(&zydis, nullptr, p + at, n - at, &oracle));
            ++t.instructions;
            size_t step;
            if (!oracle_ok) {
                if (X86Failed(ours)) ++t.both_refuse;
                else Note(&t, "oracle refuses, ours decodes", ours, nullptr, p + at, n - at, s.where);
                step = ours.length ? ours.length : 1;
            } else {
                if (ours.length != oracle.length)
                    Note(&t, "length differs", ours, &oracle, p + at, n - at, s.where);
                else if (X86Failed(ours))
                    Note(&t, "ours refuses a valid instruction", ours, &oracle, p + at, n - at, s.where);
                else if (const char* field = FieldDifference(ours, oracle))
                    Note(&t, field, ours, &oracle, p + at, n - at, s.where);
                step = oracle.length;  // stay in step with the oracle after a difference
            }
            at += step;
        }
    }

    printf("corpus: %zu code sections, %zu bytes, %zu instructions; both refuse: %zu\n", t.sections, t.bytes,
           t.instructions, t.both_refuse);
    for (const auto& e : t.explained) printf("  explained %-32s %zu\n", e.first.c_str(), e.second);
    size_t unexplained = 0;
    for (const auto& e : t.unexplained) {
        printf("  UNEXPLAINED %s: %zu\n", e.first.c_str(), e.second.size());
        for (const std::string& ex : e.second)
            if (!ex.empty()) printf("    %s\n", ex.c_str());
        unexplained += e.second.size();
    }
    EXPECT_GE(t.bytes, 3u << 20) << "the corpus should hold a few megabytes of code";
    EXPECT_EQ(unexplained, 0u);
}

}  // namespace
}  // namespace hm

namespace hm {
namespace {

std::vector<uint8_t> Bytes(const char* hex) {
    std::vector<uint8_t> out;
    for (const char* p = hex; *p;) {
        if (*p == ' ') {
            ++p;
            continue;
        }
        out.push_back(static_cast<uint8_t>(std::stoul(std::string(p, 2), nullptr, 16)));
        p += 2;
    }
    return out;
}

struct TrickyCase {
    const char* what;
    const char* hex;
    unsigned length;
    bool invalid;
    bool oracle_agrees;  // the oracle gives the same length (or refuses when we flag it invalid)
};

const TrickyCase kTricky[] = {
    // prefix chains
    {"rep movsw with size prefixes", "66 67 F3 A5", 4, false, true},
    {"segment + lock + operand size on add", "2E F0 66 83 00 01", 6, false, true},
    {"fourteen prefixes reach 15 bytes", "66 66 66 66 66 66 66 66 66 66 66 66 66 66 90", 15, false, true},
    {"fifteen prefixes exceed 15 bytes", "66 66 66 66 66 66 66 66 66 66 66 66 66 66 66 90", 16, true, true},
    {"a 17th prefix byte is read as an opcode", "2E 2E 2E 2E 2E 2E 2E 2E 2E 2E 2E 2E 2E 2E 2E 2E 2E 90", 17, true, true},
    {"lock on a register destination", "F0 01 C0", 3, true, true},
    {"lock nop", "F0 90", 2, true, true},
    {"fs segment on moffs load", "64 A1 18 00 00 00", 6, false, true},
    // ModR/M and SIB
    {"SIB without base: disp32 only", "8B 04 25 78 56 34 12", 7, false, true},
    {"SIB without base, scaled index", "8B 04 8D 78 56 34 12", 7, false, true},
    {"SIB with esp base", "8B 04 24", 3, false, true},
    {"SIB with disp8", "8B 44 24 08", 4, false, true},
    {"SIB with disp32", "8B 84 24 00 01 00 00", 7, false, true},
    {"SIB with ebp base and disp8", "8B 44 25 00", 4, false, true},
    {"absolute disp32", "8B 0D 78 56 34 12", 6, false, true},
    {"register operand, no SIB", "8B C4", 2, false, true},
    {"memory operand with imm32", "C7 44 24 04 78 56 34 12", 8, false, true},
    // 16-bit addressing
    {"16-bit [disp16]", "67 8B 06 34 12", 5, false, true},
    {"16-bit [bx+si]", "67 8B 00", 3, false, true},
    {"16-bit rm 4 is [si], no SIB", "67 8B 04", 3, false, true},
    {"16-bit [bx+si+disp8]", "67 8B 40 10", 4, false, true},
    {"16-bit [bx+si+disp16]", "67 8B 80 34 12", 5, false, true},
    {"16-bit moffs", "67 A1 34 12", 4, false, true},
    {"16-bit address with 32-bit immediate", "67 C7 06 34 12 78 56 34 12", 9, false, true},
    // operand size
    {"mov ax, imm16", "66 B8 34 12", 4, false, true},
    {"push imm16", "66 68 34 12", 4, false, true},
    {"call rel16", "66 E8 34 12", 4, false, true},
    {"jz rel16", "66 0F 84 34 12", 5, false, true},
    {"far jmp ptr16:32", "EA 78 56 34 12 08 00", 7, false, true},
    {"far call ptr16:16", "66 9A 34 12 08 00", 6, false, true},
    {"enter imm16, imm8", "C8 10 00 01", 4, false, true},
    {"ret imm16", "C2 08 00", 3, false, true},
    // F6/F7: only TEST carries an immediate
    {"test al, imm8", "F6 C0 01", 3, false, true},
    {"test /1 alias with disp8", "F6 48 10 01", 4, false, true},
    {"not al", "F6 D0", 2, false, true},
    {"test eax, imm32", "F7 C0 78 56 34 12", 6, false, true},
    {"test ax, imm16", "66 F7 C0 34 12", 5, false, true},
    {"neg dword [esp+4]", "F7 5C 24 04", 4, false, true},
    // groups
    {"FF /7 is invalid", "FF F8", 2, true, true},
    {"far call through memory", "FF 1D 78 56 34 12", 6, false, true},
    {"far call with a register operand", "FF D8", 2, true, true},
    {"FE /2 is invalid", "FE D0", 2, true, true},
    {"8F /1 (XOP space)", "8F C8", 2, true, true},
    {"lea with a register operand", "8D C0", 2, true, true},
    {"bt eax, imm8", "0F BA E0 05", 4, false, true},
    {"0F BA /0 is invalid", "0F BA C0 05", 4, true, true},
    {"cmpxchg8b", "0F C7 0E", 3, false, true},
    {"cmpxchg8b with a register operand", "0F C7 C8", 3, true, true},
    {"psrlw mm, imm8", "0F 71 D0 04", 4, false, true},
    {"0F 71 with memory is invalid", "0F 71 10 04", 4, true, true},
    {"XBEGIN is refused as a relative branch", "C7 F8 00 00 00 00", 6, true, false},
    {"VEX vxorps is refused (read as LDS)", "C5 F8 57 C0", 2, true, false},
    // 3DNow!, three-byte maps, SSE
    {"3DNow! pfadd", "0F 0F C1 9E", 4, false, true},
    {"3DNow! with SIB and disp8", "0F 0F 44 24 08 B4", 6, false, true},
    {"pshufb (0F 38)", "66 0F 38 00 C1", 5, false, true},
    {"palignr (0F 3A) with disp32", "66 0F 3A 0F 05 78 56 34 12 08", 10, false, true},
    {"pshufd", "66 0F 70 C1 1B", 5, false, true},
    {"cmpps", "0F C2 C1 01", 4, false, true},
    {"andps with F3 is invalid", "F3 0F 54 C1", 4, true, true},
    {"popcnt", "F3 0F B8 C1", 4, false, true},
    {"0F B8 without F3 is invalid", "0F B8 C1", 3, true, true},
    {"endbr32", "F3 0F 1E FB", 4, false, true},
    {"long nop", "66 0F 1F 84 00 00 00 00 00", 9, false, true},
    // special operand rules
    {"mov from cr0 ignores mod", "0F 20 C0", 3, false, true},
    {"mov to cr0 with mod 0 rm 5 has no disp", "0F 22 05", 3, false, true},
    // invalid opcodes still produce a length
    {"0F 04", "0F 04", 2, true, true},
    {"0F 0A", "0F 0A", 2, true, true},
    {"0F 24 (test registers)", "0F 24 C0", 2, true, true},
    {"0F 39", "0F 39", 2, true, true},
    // x87 and relative branches
    {"fldz", "D9 EE", 2, false, true},
    {"fld qword [disp32]", "DD 05 78 56 34 12", 6, false, true},
    {"loop", "E2 FE", 2, false, true},
    {"jmp rel32", "E9 00 00 00 00", 5, false, true},
    {"bnd jmp rel32", "F2 E9 00 00 00 00", 6, false, true},
};

TEST(X86LengthDecoder, TrickyEncodings) {
    ZydisDecoder zydis;
    ASSERT_EQ(ZydisDecoderInit(&zydis, ZYDIS_MACHINE_MODE_LEGACY_32, ZYDIS_STACK_WIDTH_32), ZYAN_STATUS_SUCCESS);
    for (const TrickyCase& c : kTricky) {
        SCOPED_TRACE(c.what);
        const std::vector<uint8_t> code = Bytes(c.hex);
        X86Instruction in;
        EXPECT_EQ(DecodeX86(code.data(), code.size(), &in), c.length);
        EXPECT_EQ(in.length, c.length);
        EXPECT_EQ(X86Failed(in), c.invalid);
        EXPECT_EQ((in.flags & kX86ErrorTruncated) != 0, false);
        ZydisDecodedInstruction oracle;
        const bool ok = ZYAN_SUCCESS(ZydisDecoderDecodeInstruction(&zydis, nullptr, code.data(), code.size(), &oracle));
        const bool agrees = ok ? oracle.length == c.length && !c.invalid : c.invalid;
        EXPECT_EQ(agrees, c.oracle_agrees) << (ok ? ZydisMnemonicGetString(oracle.mnemonic) : "refused");
        if (ok && agrees) {
            const char* field = FieldDifference(in, oracle);
            EXPECT_EQ(field, nullptr) << field;
        }
    }
}

TEST(X86LengthDecoder, RecordFields) {
    X86Instruction in;
    // lock add dword fs:[eax+ecx*4+0x12345678], 0x11223344 with every field in use
    const std::vector<uint8_t> code = Bytes("64 F0 81 84 88 78 56 34 12 44 33 22 11");
    ASSERT_EQ(DecodeX86(code.data(), code.size(), &in), 13u);
    EXPECT_EQ(in.segment_prefix, 0x64);
    EXPECT_EQ(in.lock_prefix, 0xF0);
    EXPECT_EQ(in.opcode, 0x81);
    EXPECT_EQ(in.modrm_mod, 2);
    EXPECT_EQ(in.modrm_reg, 0);
    EXPECT_EQ(in.modrm_rm, 4);
    EXPECT_EQ(in.sib_scale, 2);
    EXPECT_EQ(in.sib_index, 1);
    EXPECT_EQ(in.sib_base, 0);
    EXPECT_EQ(in.disp32, 0x12345678u);
    EXPECT_EQ(in.imm32, 0x11223344u);
    EXPECT_EQ(in.flags & 0xFFFF, kX86ModRm | kX86Sib | kX86Disp32 | kX86Imm32);
    EXPECT_EQ(in.flags & 0xFF000000, kX86PrefixSegment | kX86PrefixLock);

    const std::vector<uint8_t> jcc = Bytes("66 0F 85 FE FF");  // jnz rel16
    ASSERT_EQ(DecodeX86(jcc.data(), jcc.size(), &in), 5u);
    EXPECT_EQ(in.opcode2, 0x85);
    EXPECT_EQ(in.imm16, 0xFFFE);
    EXPECT_EQ(in.flags & 0xFFFF, kX86Imm16 | kX86Relative);
    EXPECT_EQ(in.operand_size_prefix, 0x66);

    const std::vector<uint8_t> enter = Bytes("C8 10 00 01");
    DecodeX86(enter.data(), enter.size(), &in);
    EXPECT_EQ(in.imm16, 0x10);
    EXPECT_EQ(in.imm8, 1);
}

TEST(X86LengthDecoder, StopsAtTheBytesGiven) {
    X86Instruction in;
    const uint8_t call[] = {0xE8, 0x00, 0x00, 0xCC, 0xCC};  // only 3 bytes are ours
    EXPECT_EQ(DecodeX86(call, 3, &in), 5u);
    EXPECT_TRUE(in.flags & kX86ErrorTruncated);
    EXPECT_TRUE(X86Failed(in));
    EXPECT_EQ(in.imm32, 0u) << "bytes past the end read as zero";
    const uint8_t prefixes[] = {0x66, 0x66};
    EXPECT_EQ(DecodeX86(prefixes, 2, &in), 4u);  // then 00 00 (ADD with ModR/M)
    EXPECT_TRUE(in.flags & kX86ErrorTruncated);
    EXPECT_EQ(DecodeX86(call, 5, &in), 5u);
    EXPECT_FALSE(X86Failed(in));
}

}  // namespace
}  // namespace hm
