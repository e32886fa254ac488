// SA-MP build recognition, chat/dialog state and the checks before calling into samp.dll,
// against a fake address space laid out like a loaded samp.dll.
#include <gtest/gtest.h>

#include "game/samp.h"

namespace hm {
namespace {

constexpr GameAddress kBase = 0x10000000;
constexpr GameAddress kChatObject = 0x05000000;
constexpr GameAddress kDialogObject = 0x05100000;

struct BuildRow {
    std::uint32_t entry, chat, dialog, routine;
};
constexpr BuildRow kRows[] = {
    {0x31DF13, 0x21A0E8, 0x21A0B8, 0x65C60},
    {0xCC4D0, 0x26E8CC, 0x26E898, 0x69190},
    {0xCBCB0, 0x26E9FC, 0x26E9C8, 0x698C0},
    {0xCBC90, 0x26EB84, 0x26EB50, 0x69900},
};

// A samp.dll of the given build with chat box and dialog closed and a genuine routine prologue.
FakeAddressSpace LoadedSamp(const BuildRow& row, std::uint32_t lfanew = 0x100) {
    FakeAddressSpace m;
    m.Put32(kBase + 0x3C, lfanew);
    m.Put32(kBase + lfanew + 40, row.entry);
    m.Put32(kBase + row.chat, kChatObject);
    m.Put32(kBase + row.dialog, kDialogObject);
    m.Put32(kChatObject + 0x14E0, 0);
    m.Put32(kDialogObject + 0x28, 0);
    const GameAddress r = kBase + row.routine;
    m.Put(r, {0x64, 0xA1, 0x00, 0x00, 0x00, 0x00, 0x6A, 0xFF, 0x68, 0x11, 0x22, 0x33, 0x44, 0x50, 0xA1});
    m.Put32(r + 15, kBase + row.chat + 16);
    return m;
}

TEST(Samp, EachKnownBuildIsRecognisedFreeAndCallable) {
    for (const BuildRow& row : kRows) {
        const FakeAddressSpace m = LoadedSamp(row);
        const SampBuild* build = FindSampBuild(m, kBase);
        ASSERT_NE(build, nullptr) << std::hex << row.entry;
        EXPECT_EQ(build->send_input, row.routine);
        EXPECT_TRUE(IsChatFreeAt(m, kBase));
        const auto call = PrepareChatInput(m, kBase);
        ASSERT_TRUE(call.has_value());
        EXPECT_EQ(call->routine, kBase + row.routine);
        EXPECT_EQ(call->object, kChatObject);
    }
}

TEST(Samp, AnyBrokenPieceMakesChatNotFreeAndSendingFail) {
    const BuildRow row = kRows[1];
    struct Case {
        const char* what;
        void (*breakIt)(FakeAddressSpace&);
        bool stillFree;  // damage to the routine does not change chat/dialog state
        bool sendable;   // the send path reads neither the dialog nor the box fields
    } cases[] = {
        {"unknown entry point", [](FakeAddressSpace& m) { m.Put32(kBase + 0x100 + 40, 0xCBC91); }, false, false},
        {"e_lfanew above 4096", [](FakeAddressSpace& m) { m.Put32(kBase + 0x3C, 4097); }, false, false},
        {"unreadable PE header", [](FakeAddressSpace& m) { m.Remove(kBase + 0x100 + 40, 4); }, false, false},
        {"null chat object", [](FakeAddressSpace& m) { m.Put32(kBase + kRows[1].chat, 0); }, false, false},
        {"unreadable chat box field", [](FakeAddressSpace& m) { m.Remove(kChatObject + 0x14E0, 4); }, false, true},
        {"unreadable dialog pointer", [](FakeAddressSpace& m) { m.Remove(kBase + kRows[1].dialog, 4); }, false, true},
        {"wrong prologue byte", [](FakeAddressSpace& m) { m.Put(kBase + kRows[1].routine + 7, {0xFE}); }, true, false},
        {"unreadable routine", [](FakeAddressSpace& m) { m.Remove(kBase + kRows[1].routine + 3, 1); }, true, false},
        {"wrong byte at +14", [](FakeAddressSpace& m) { m.Put(kBase + kRows[1].routine + 14, {0xA3}); }, true, false},
        {"wrong pointer at +15",
         [](FakeAddressSpace& m) { m.Put32(kBase + kRows[1].routine + 15, kBase + kRows[1].chat + 12); }, true, false},
    };
    for (const Case& c : cases) {
        FakeAddressSpace m = LoadedSamp(row);
        c.breakIt(m);
        EXPECT_EQ(IsChatFreeAt(m, kBase), c.stillFree) << c.what;
        EXPECT_EQ(PrepareChatInput(m, kBase).has_value(), c.sendable) << c.what;
    }
}

TEST(Samp, OpenChatBoxOrDialogMeansNotFree) {
    for (GameAddress field : {kChatObject + 0x14E0, kDialogObject + 0x28}) {
        FakeAddressSpace m = LoadedSamp(kRows[0]);
        m.Put32(field, 1);
        EXPECT_FALSE(IsChatFreeAt(m, kBase));
        // Sending is still possible; callers ask IsChatFree first.
        EXPECT_TRUE(PrepareChatInput(m, kBase).has_value());
    }
}

TEST(Samp, NotLoadedOrLowAddressesAreRefusedWithoutReading) {
    const FakeAddressSpace m = LoadedSamp(kRows[0]);
    EXPECT_FALSE(IsChatFreeAt(m, 0));
    EXPECT_FALSE(PrepareChatInput(m, 0).has_value());

    FakeAddressSpace low;
    low.Put32(0x10000, 0x1234);
    low.Put32(0x10001, 0x1234);
    std::uint32_t v = 0;
    EXPECT_FALSE(GuardedRead32(low, 0x10000, v));  // at the limit: refused
    EXPECT_TRUE(GuardedRead32(low, 0x10001, v));
    EXPECT_FALSE(GuardedRead32(low, 0xFFFFFFFE, v));  // would wrap past the top
    std::uint8_t big[17];
    EXPECT_FALSE(GuardedRead(low, 0x10001, big, sizeof big));
}

}  // namespace
}  // namespace hm
