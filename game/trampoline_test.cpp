// Trampolines built for target code placed at chosen addresses, executed in a CPU emulator
// (Unicorn, 32-bit x86): the original function, its trampoline called directly, and the full
// hook (patched target -> detour -> trampoline) must leave the same registers and memory.
#include "game/trampoline.h"
#include "game/mingw_corpus_test_util.h"
#include "game/x86_length.h"

#include <gtest/gtest.h>
#include <unicorn/unicorn.h>

#include <cstring>
#include <string>
#include <vector>

namespace hm {
namespace {

// Address space of every run.
constexpr uint32_t kCodeBase = 0x00400000, kCodeSize = 0x00100000;
constexpr uint32_t kTarget = 0x00401000;
constexpr uint32_t kExternal = 0x00480000;  // functions the target calls or jumps to
constexpr uint32_t kStackBase = 0x00200000, kStackTop = 0x0020F000;
constexpr uint32_t kData = 0x00300000;
constexpr uint32_t kCounter = kData + 0x80;  // the detour counts its calls here
constexpr uint32_t kStop = 0x00600000;       // return address of every run
constexpr uint32_t kDetour = 0x00700000;
constexpr uint32_t kTrampolineHigh = 0x7FFF0000;  // far above the target
constexpr uint32_t kTrampolineLow = 0x00010000;   // below it: negative displacements

// Assembles a little code with branch displacements computed from where it will live.
struct Code {
    uint32_t base;
    std::vector<uint8_t> bytes;
    Code& Hex(const char* hex) {
        for (const char* p = hex; *p;) {
            if (*p == ' ') {
                ++p;
                continue;
            }
            bytes.push_back(static_cast<uint8_t>(std::stoul(std::string(p, 2), nullptr, 16)));
            p += 2;
        }
        return *this;
    }
    Code& Imm32(uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
        return *this;
    }
    Code& Rel32To(uint32_t destination) {  // the displacement field ends the instruction
        const uint32_t v = destination - (base + static_cast<uint32_t>(bytes.size()) + 4);
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
        return *this;
    }
};

struct Input {
    uint32_t eax, ecx, edx;
    uint32_t arg1, arg2;
};

struct Outcome {
    uint32_t eax, ecx, edx, ebx, esi, edi, ebp, esp, eip, eflags;
    std::vector<uint8_t> data;
    bool operator==(const Outcome& o) const {
        return eax == o.eax && ecx == o.ecx && edx == o.edx && ebx == o.ebx && esi == o.esi && edi == o.edi &&
               ebp == o.ebp && esp == o.esp && eip == o.eip && eflags == o.eflags && data == o.data;
    }
};

std::string Describe(const Outcome& o) {
    char b[200];
    snprintf(b, sizeof b, "eax=%08X ecx=%08X edx=%08X ebp=%08X esp=%08X eip=%08X fl=%03X", o.eax, o.ecx, o.edx,
             o.ebp, o.esp, o.eip, o.eflags);
    return b;
}

class Machine {
public:
    Machine() {
        EXPECT_EQ(uc_open(UC_ARCH_X86, UC_MODE_32, &uc_), UC_ERR_OK);
        for (uint32_t base : {kCodeBase, kStackBase, kData & ~0xFFFFu, kStop, kDetour, kTrampolineHigh, kTrampolineLow})
            EXPECT_EQ(uc_mem_map(uc_, base, base == kCodeBase ? kCodeSize : 0x10000, UC_PROT_ALL), UC_ERR_OK);
    }
    ~Machine() { uc_close(uc_); }
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    void Write(uint32_t address, const std::vector<uint8_t>& bytes) {
        ASSERT_EQ(uc_mem_write(uc_, address, bytes.data(), bytes.size()), UC_ERR_OK);
    }
    void Write(uint32_t address, const uint8_t* bytes, size_t n) {
        ASSERT_EQ(uc_mem_write(uc_, address, bytes, n), UC_ERR_OK);
    }
    uint32_t Read32(uint32_t address) {
        uint32_t v = 0;
        uc_mem_read(uc_, address, &v, 4);
        return v;
    }

    // Calls `entry` like a cdecl function with two stack arguments and returns at kStop.
    Outcome Call(uint32_t entry, const Input& in) {
        const uint32_t frame[3] = {kStop, in.arg1, in.arg2};
        uint32_t esp = kStackTop - sizeof frame;
        uc_mem_write(uc_, esp, frame, sizeof frame);
        const std::vector<uint8_t> data(64, 0x5A);
        uc_mem_write(uc_, kData, data.data(), data.size());
        uint32_t zero = 0, ebp = 0x0BADF00D, ebx = 0x11, esi = 0x22, edi = kData;
        uc_reg_write(uc_, UC_X86_REG_EAX, &in.eax);
        uc_reg_write(uc_, UC_X86_REG_ECX, &in.ecx);
        uc_reg_write(uc_, UC_X86_REG_EDX, &in.edx);
        uc_reg_write(uc_, UC_X86_REG_EBX, &ebx);
        uc_reg_write(uc_, UC_X86_REG_ESI, &esi);
        uc_reg_write(uc_, UC_X86_REG_EDI, &edi);
        uc_reg_write(uc_, UC_X86_REG_EBP, &ebp);
        uc_reg_write(uc_, UC_X86_REG_ESP, &esp);
        uc_reg_write(uc_, UC_X86_REG_EFLAGS, &zero);
        const uc_err err = uc_emu_start(uc_, entry, kStop, 0, 10000);
        EXPECT_EQ(err, UC_ERR_OK) << uc_strerror(err);
        Outcome o{};
        uc_reg_read(uc_, UC_X86_REG_EAX, &o.eax);
        uc_reg_read(uc_, UC_X86_REG_ECX, &o.ecx);
        uc_reg_read(uc_, UC_X86_REG_EDX, &o.edx);
        uc_reg_read(uc_, UC_X86_REG_EBX, &o.ebx);
        uc_reg_read(uc_, UC_X86_REG_ESI, &o.esi);
        uc_reg_read(uc_, UC_X86_REG_EDI, &o.edi);
        uc_reg_read(uc_, UC_X86_REG_EBP, &o.ebp);
        uc_reg_read(uc_, UC_X86_REG_ESP, &o.esp);
        uc_reg_read(uc_, UC_X86_REG_EIP, &o.eip);
        uc_reg_read(uc_, UC_X86_REG_EFLAGS, &o.eflags);
        o.eflags &= 0x8D5;  // CF PF AF ZF SF OF
        o.data.resize(64);
        uc_mem_read(uc_, kData, o.data.data(), o.data.size());
        return o;
    }

private:
    uc_engine* uc_ = nullptr;
};

// A target function, the code around it, and what its hook must look like.
struct TargetCase {
    const char* what;
    Code before;                      // placed so that it ends at kTarget
    Code target;                      // at kTarget
    std::vector<Code> elsewhere;      // callees and jump destinations
    std::vector<Input> inputs;
    int status;
    bool patch_above;
    int trampoline_size;              // -1: not checked
};

Code At(uint32_t base, const char* hex = "") { return Code{base, {}}.Hex(hex); }

std::vector<TargetCase> Cases() {
    const Input a{1, 2, 3, 30, 12}, b{0, 0, 7, 5, 6}, c{9, 1, 0, 100, 200}, d{0, 5, 0, 0, 0};
    std::vector<TargetCase> cases;
    cases.push_back({"frame prologue", At(kTarget - 5, "CC CC CC CC CC"),
                     At(kTarget, "55 8B EC 83 EC 08 8B 45 08 03 45 0C 89 45 FC 89 07 8B 45 FC 8B E5 5D C3"), {},
                     {a, b}, kHookOk, false, 6 + 5});
    cases.push_back({"hot-patch prologue", At(kTarget - 5, "90 90 90 90 90"),
                     At(kTarget, "8B FF 55 8B EC 8B 45 08 2B 45 0C 5D C3"), {}, {a, c}, kHookOk, false, 5 + 5});
    cases.push_back({"call at the start is re-aimed", At(kTarget - 5),
                     At(kTarget, "E8").Rel32To(kExternal).Hex("83 C0 01 89 47 04 C3"),
                     {At(kExternal, "8B 44 24 04 03 44 24 08 C3")}, {a, b}, kHookOk, false, 5 + 5});
    cases.push_back({"jmp rel32 at the start is the whole trampoline", At(kTarget - 5),
                     At(kTarget, "E9").Rel32To(kExternal + 0x10).Hex("CC CC CC"),
                     {At(kExternal + 0x10, "B8 05 00 00 00 0F AF C1 C3")}, {a, c}, kHookOk, false, 5});
    cases.push_back({"short jmp at the start becomes one jmp rel32", At(kTarget - 5),
                     At(kTarget, "EB 0C CC CC CC CC CC CC CC CC CC CC CC CC B8 05 00 00 00 03 C1 C3"), {}, {a, b},
                     kHookOk, false, 5});
    cases.push_back({"jcc rel8 leaving becomes the 6-byte form", At(kTarget - 5),
                     At(kTarget, "85 C9 74 06 B8 01 00 00 00 C3 B8 02 00 00 00 C3"), {}, {a, b, c}, kHookOk, false,
                     2 + 6 + 5 + 5});
    cases.push_back({"jcc rel32 leaving is re-aimed", At(kTarget - 5),
                     At(kTarget, "85 C9 0F 85").Rel32To(kExternal + 0x20).Hex("B8 04 00 00 00 C3"),
                     {At(kExternal + 0x20, "B8 03 00 00 00 C3")}, {a, b}, kHookOk, false, 2 + 6 + 5});
    cases.push_back({"backward jcc inside the patched bytes", At(kTarget - 5), At(kTarget, "31 C0 40 49 75 FC 89 07 C3"),
                     {}, {a, d}, kHookOk, false, 6 + 5});
    cases.push_back({"loop inside the patched bytes", At(kTarget - 5), At(kTarget, "31 C0 40 E2 FD 89 47 08 C3"), {},
                     {a, d}, kHookOk, false, 5 + 5});
    cases.push_back({"forward jmp inside the patched bytes", At(kTarget - 5),
                     At(kTarget, "EB 01 90 8B C1 C3"), {}, {a, c}, kHookOk, false, 5 + 5});
    cases.push_back({"ret ends a short function with padding after it", At(kTarget - 5, "55 8B EC 5D C3"),
                     At(kTarget, "33 C0 C3 CC CC 55 8B EC"), {}, {a}, kHookOk, false, 3});
    cases.push_back({"two-byte function under five int3: patch above", At(kTarget - 5, "CC CC CC CC CC"),
                     At(kTarget, "F3 C3 55 8B EC"), {}, {a}, kHookOk, true, 2});
    cases.push_back({"three-byte function under nops: patch above", At(kTarget - 5, "90 90 90 90 90"),
                     At(kTarget, "31 C0 C3 8B FF"), {}, {a, c}, kHookOk, true, 3});
    // Refused.
    cases.push_back({"loop leaving the patched bytes", At(kTarget - 5), At(kTarget, "E2 10 90 90 90 C3"), {}, {},
                     kHookUnsupportedFunction, false, -1});
    cases.push_back({"jecxz leaving the patched bytes", At(kTarget - 5), At(kTarget, "90 E3 10 90 90 C3"), {}, {},
                     kHookUnsupportedFunction, false, -1});
    cases.push_back({"call into the patched bytes", At(kTarget - 5), At(kTarget, "E8 FD FF FF FF C3"), {}, {},
                     kHookUnsupportedFunction, false, -1});
    cases.push_back({"branch over an instruction that must grow", At(kTarget - 5), At(kTarget, "EB 02 74 10 90 90 C3"),
                     {}, {}, kHookUnsupportedFunction, false, -1});
    cases.push_back({"jump into the middle of an instruction", At(kTarget - 5),
                     At(kTarget, "EB 01 B8 90 90 90 90 C3"), {}, {}, kHookUnsupportedFunction, false, -1});
    cases.push_back({"one-byte function under padding", At(kTarget - 5, "CC CC CC CC CC"), At(kTarget, "C3 55 8B EC"),
                     {}, {}, kHookUnsupportedFunction, false, -1});
    cases.push_back({"short function, no padding either side", At(kTarget - 5, "90 90 90 90 C3"),
                     At(kTarget, "31 C0 C3 55 8B"), {}, {}, kHookUnsupportedFunction, false, -1});
    cases.push_back({"mixed padding above", At(kTarget - 5, "CC CC 90 CC CC"), At(kTarget, "31 C0 C3 55 8B"), {}, {},
                     kHookUnsupportedFunction, false, -1});
    cases.push_back({"padding after of two kinds", At(kTarget - 5), At(kTarget, "31 C0 C3 CC 90"), {}, {},
                     kHookUnsupportedFunction, false, -1});
    cases.push_back({"invalid opcode", At(kTarget - 5), At(kTarget, "FF FF 90 90 90 C3"), {}, {},
                     kHookUnsupportedFunction, false, -1});
    cases.push_back({"16-bit call", At(kTarget - 5), At(kTarget, "66 E8 00 00 90 90 C3"), {}, {},
                     kHookUnsupportedFunction, false, -1});
    cases.push_back({"xbegin", At(kTarget - 5), At(kTarget, "C7 F8 00 00 00 00 C3"), {}, {},
                     kHookUnsupportedFunction, false, -1});
    cases.push_back({"AVX at the start", At(kTarget - 5), At(kTarget, "C5 F8 57 C0 C3"), {}, {},
                     kHookUnsupportedFunction, false, -1});
    return cases;
}

Trampoline Build(const TargetCase& c, uint32_t trampoline_address, size_t readable, int* status) {
    std::vector<uint8_t> code = c.target.bytes;
    Trampoline t;
    const uint8_t* before = c.before.bytes.size() == 5 ? c.before.bytes.data() : nullptr;
    *status = BuildTrampoline({code.data(), std::min(readable, code.size()), kTarget, before}, trampoline_address, &t);
    return t;
}

void Load(Machine& m, const TargetCase& c) {
    if (!c.before.bytes.empty()) m.Write(c.before.base, c.before.bytes);
    m.Write(kTarget, c.target.bytes);
    for (const Code& e : c.elsewhere) m.Write(e.base, e.bytes);
}

TEST(Trampoline, BehavesLikeTheOriginalInAnEmulator) {
    for (const TargetCase& c : Cases()) {
        for (uint32_t trampoline_address : {kTrampolineHigh, kTrampolineLow}) {
            SCOPED_TRACE(std::string(c.what) + (trampoline_address == kTrampolineLow ? " (trampoline below)" : ""));
            int status;
            const Trampoline t = Build(c, trampoline_address, c.target.bytes.size(), &status);
            ASSERT_EQ(status, c.status);
            if (status != kHookOk) continue;
            EXPECT_EQ(t.patch_above, c.patch_above);
            if (c.trampoline_size >= 0) {
                EXPECT_EQ(t.size, c.trampoline_size);
            }

            for (const Input& in : c.inputs) {
                Machine original;
                Load(original, c);
                const Outcome want = original.Call(kTarget, in);

                Machine direct;  // the detour's view: calling the trampoline
                Load(direct, c);
                direct.Write(trampoline_address, t.bytes, t.size);
                const Outcome through = direct.Call(trampoline_address, in);
                EXPECT_EQ(through, want) << Describe(through) << "\nwant " << Describe(want);

                Machine hooked;  // caller -> patched target -> detour -> trampoline
                Load(hooked, c);
                hooked.Write(trampoline_address, t.bytes, t.size);
                uint8_t patch[kPatchAboveSize];
                const size_t n = EnabledPatchBytes(kTarget, kDetour, t.patch_above, patch);
                hooked.Write(PatchAreaStart(kTarget, t.patch_above), patch, n);
                // inc dword [kCounter]; jmp trampoline
                const std::vector<uint8_t> detour =
                    Code{kDetour, {}}.Hex("FF 05").Imm32(kCounter).Hex("E9").Rel32To(trampoline_address).bytes;
                hooked.Write(kDetour, detour);
                const Outcome via_hook = hooked.Call(kTarget, in);
                EXPECT_EQ(via_hook, want) << Describe(via_hook) << "\nwant " << Describe(want);
                EXPECT_EQ(hooked.Read32(kCounter), 1u) << "the detour ran once";
            }
        }
    }
}

TEST(Trampoline, EdgeCaseBytes) {
    int status;
    // A short JMP out: the trampoline is one JMP rel32 to the same destination.
    const TargetCase short_jmp = Cases()[4];
    Trampoline t = Build(short_jmp, kTrampolineHigh, 64, &status);
    ASSERT_EQ(status, kHookOk);
    ASSERT_EQ(t.size, 5);
    EXPECT_EQ(t.bytes[0], 0xE9);
    uint32_t rel;
    memcpy(&rel, t.bytes + 1, 4);
    EXPECT_EQ(kTrampolineHigh + 5 + rel, kTarget + 14);
    EXPECT_EQ(t.map.trailing_jump, kNoTrailingJump);

    // Patch above: JMP rel32 in the five bytes before the target, EB F9 at it.
    uint8_t patch[kPatchAboveSize];
    ASSERT_EQ(EnabledPatchBytes(kTarget, kDetour, true, patch), 7u);
    EXPECT_EQ(patch[0], 0xE9);
    memcpy(&rel, patch + 1, 4);
    EXPECT_EQ(kTarget + rel, kDetour);
    EXPECT_EQ(patch[5], 0xEB);
    EXPECT_EQ(patch[6], 0xF9);
    EXPECT_EQ(PatchAreaStart(kTarget, true), kTarget - 5);
    ASSERT_EQ(EnabledPatchBytes(kTarget, kDetour, false, patch), 5u);
    memcpy(&rel, patch + 1, 4);
    EXPECT_EQ(kTarget + 5 + rel, kDetour);

    // The bytes the builder may read end inside the second instruction: refused, not overrun.
    const TargetCase prologue = Cases()[0];
    Build(prologue, kTrampolineHigh, 4, &status);
    EXPECT_EQ(status, kHookUnsupportedFunction);
    Build(prologue, kTrampolineHigh, 6, &status);
    EXPECT_EQ(status, kHookOk);
}

TEST(Trampoline, InstructionPointerFixUps) {
    int status;
    // jcc rel8 grows to 6 bytes: target offsets 0 2 4 map to trampoline offsets 0 2 8.
    const Trampoline t = Build(Cases()[5], kTrampolineHigh, 64, &status);
    ASSERT_EQ(status, kHookOk);
    ASSERT_EQ(t.map.count, 3);
    const uint32_t T = kTrampolineHigh;
    struct {
        uint32_t ip;
        bool moves;
        uint32_t to;
    } forward[] = {
        {kTarget + 0, true, T + 0},  {kTarget + 2, true, T + 2}, {kTarget + 4, true, T + 8},
        {kTarget + 1, false, 0},     // inside an instruction: no thread stops there
        {kTarget + 5, false, 0},     // past the patched bytes
        {kTarget - 1, false, 0},
    };
    for (const auto& f : forward) {
        uint32_t ip = f.ip;
        EXPECT_EQ(MoveIpToTrampoline(t.map, kTarget, T, false, &ip), f.moves) << std::hex << f.ip;
        EXPECT_EQ(ip, f.moves ? f.to : f.ip);
    }
    struct {
        uint32_t ip;
        bool moves;
        uint32_t to;
    } back[] = {
        {T + 0, true, kTarget + 0}, {T + 2, true, kTarget + 2}, {T + 8, true, kTarget + 4},
        {T + 13, true, kTarget + 9},  // the jump back
        {T + 3, false, 0}, {T + 32, false, 0}, {T - 1, false, 0},
    };
    for (const auto& b : back) {
        uint32_t ip = b.ip;
        EXPECT_EQ(MoveIpToTarget(t.map, kTarget, T, &ip), b.moves) << std::hex << b.ip;
        EXPECT_EQ(ip, b.moves ? b.to : b.ip);
    }

    // Patch above: only the target's own first instruction moves, not the padding above it.
    const Trampoline above = Build(Cases()[11], T, 64, &status);
    ASSERT_EQ(status, kHookOk);
    ASSERT_TRUE(above.patch_above);
    uint32_t ip = kTarget;
    EXPECT_TRUE(MoveIpToTrampoline(above.map, kTarget, T, true, &ip));
    EXPECT_EQ(ip, T);
    ip = kTarget - 5;
    EXPECT_FALSE(MoveIpToTrampoline(above.map, kTarget, T, true, &ip));
}

// Every function start of the real code corpus (each code section of an object compiled with
// function sections begins one): where a trampoline is built, each copy must be the original
// instruction or a branch to the same absolute destination, in order, ending in the jump back.
TEST(Trampoline, RealFunctionStartsRelocateFaithfully) {
    const std::vector<mingw_corpus::CodeSection> corpus = mingw_corpus::LoadCorpus();
    ASSERT_FALSE(corpus.empty());
    size_t built = 0, refused = 0, reaimed = 0, with_padding = 0;
    uint32_t target = 0x00401000;
    for (const mingw_corpus::CodeSection& s : corpus) {
        target += 0x1230;  // spread the targets around; the trampoline stays far above
        const uint8_t* code = s.bytes.data();
        Trampoline t;
        if (BuildTrampoline({code, std::min<size_t>(s.bytes.size(), 64), target, nullptr}, kTrampolineHigh, &t) !=
            kHookOk) {
            ++refused;
            continue;
        }
        ++built;
        SCOPED_TRACE(s.where);
        ASSERT_LE(t.size, kTrampolineSlotSize);
        ASSERT_GE(t.map.count, 1);
        ASSERT_LE(t.map.count, kMaxRelocatedInstructions);
        size_t old_at = 0;
        bool ends_walk = false;
        for (size_t i = 0; i < t.map.count; ++i) {
            ASSERT_EQ(t.map.old_offsets[i], old_at) << "instructions are copied in order, none skipped";
            X86Instruction original, copy;
            DecodeX86(code + old_at, s.bytes.size() - old_at, &original);
            const size_t new_at = t.map.new_offsets[i];
            DecodeX86(t.bytes + new_at, t.size - new_at, &copy);
            ASSERT_FALSE(X86Failed(copy));
            const size_t next_new = i + 1 < t.map.count ? t.map.new_offsets[i + 1]
                                    : t.map.trailing_jump != kNoTrailingJump ? t.map.trailing_jump
                                                                               : t.size;
            ASSERT_EQ(new_at + copy.length, next_new);
            auto destination = [](const X86Instruction& in, uint32_t at) {
                const uint32_t next = at + in.length;
                return (in.flags & kX86Imm8) ? next + static_cast<uint32_t>(static_cast<int8_t>(in.imm8)) : next + in.imm32;
            };
            if (!(original.flags & kX86Relative)) {
                ASSERT_EQ(std::vector<uint8_t>(t.bytes + new_at, t.bytes + next_new),
                          std::vector<uint8_t>(code + old_at, code + old_at + original.length));
            } else {
                ASSERT_TRUE(copy.flags & kX86Relative);
                const uint32_t want = destination(original, target + static_cast<uint32_t>(old_at));
                const uint32_t got = destination(copy, kTrampolineHigh + static_cast<uint32_t>(new_at));
                if (want - target < kJumpSize) {  // stays inside: lands on the copy of its destination
                    size_t k = 0;
                    while (k < t.map.count && target + t.map.old_offsets[k] != want) ++k;
                    ASSERT_LT(k, t.map.count);
                    EXPECT_EQ(got, kTrampolineHigh + t.map.new_offsets[k]);
                } else {
                    EXPECT_EQ(got, want);
                    ++reaimed;
                }
                const bool conditional = (original.opcode >= 0x70 && original.opcode <= 0x7F) ||
                                         (original.opcode == 0x0F && original.opcode2 >= 0x80 && original.opcode2 <= 0x8F);
                if (conditional) {
                    const uint8_t want_cc = original.opcode == 0x0F ? original.opcode2 & 15 : original.opcode & 15;
                    const uint8_t got_cc = copy.opcode == 0x0F ? copy.opcode2 & 15 : copy.opcode & 15;
                    EXPECT_EQ(got_cc, want_cc) << "same condition";
                } else if (original.opcode == 0xE8) {
                    EXPECT_EQ(copy.opcode, 0xE8);
                }
            }
            ends_walk = original.opcode == 0xC3 || original.opcode == 0xC2 ||
                        ((original.opcode == 0xE9 || original.opcode == 0xEB) &&
                         destination(original, target + static_cast<uint32_t>(old_at)) - target >= kJumpSize);
            old_at += original.length;
        }
        EXPECT_EQ(t.map.covered, old_at);
        if (t.map.trailing_jump == kNoTrailingJump) {
            EXPECT_TRUE(ends_walk) << "no jump back only after a RET or a JMP out";
            if (old_at < kJumpSize) ++with_padding;
        } else {
            EXPECT_GE(old_at, kJumpSize);
            X86Instruction back;
            DecodeX86(t.bytes + t.map.trailing_jump, kJumpSize, &back);
            EXPECT_EQ(back.opcode, 0xE9);
            EXPECT_EQ(kTrampolineHigh + t.map.trailing_jump + 5 + back.imm32, target + old_at);
            EXPECT_EQ(t.map.trailing_jump + kJumpSize, t.size);
        }
    }
    printf("function starts: %zu, trampolines built: %zu (%zu re-aimed branches, %zu short functions over "
           "padding), refused: %zu\n",
           corpus.size(), built, reaimed, with_padding, refused);
    EXPECT_GT(built, refused) << "most real functions are hookable";
}

}  // namespace
}  // namespace hm
