#include "game/samp.h"

namespace hm {

namespace {
constexpr SampBuild kBuilds[] = {
    {0x31DF13, 0x21A0E8, 0x21A0B8, 0x65C60},
    {0xCC4D0, 0x26E8CC, 0x26E898, 0x69190},
    {0xCBCB0, 0x26E9FC, 0x26E9C8, 0x698C0},
    {0xCBC90, 0x26EB84, 0x26EB50, 0x69900},
};
constexpr std::uint8_t kSendInputPrologue[9] = {0x64, 0xA1, 0x00, 0x00, 0x00, 0x00, 0x6A, 0xFF, 0x68};
}  // namespace

const SampBuild* FindSampBuild(const MemoryReader& memory, GameAddress moduleBase) {
    if (moduleBase == 0) return nullptr;
    std::uint32_t lfanew = 0, entry = 0;
    if (!GuardedRead32(memory, moduleBase + 0x3C, lfanew) || lfanew > 4096) return nullptr;
    if (!GuardedRead32(memory, moduleBase + lfanew + 40, entry)) return nullptr;
    for (const SampBuild& build : kBuilds)
        if (build.entry_point == entry) return &build;
    return nullptr;
}

bool IsChatFreeAt(const MemoryReader& memory, GameAddress moduleBase) {
    const SampBuild* build = FindSampBuild(memory, moduleBase);
    if (!build) return false;
    std::uint32_t chat = 0, dialog = 0, chatOpen = 0, dialogShown = 0;
    if (!GuardedRead32(memory, moduleBase + build->chat_input_object, chat)) return false;
    if (!GuardedRead32(memory, moduleBase + build->dialog_object, dialog)) return false;
    // A null object reads as unreadable: we cannot tell whether its box is open.
    if (!GuardedRead32(memory, chat + kChatInputOpenOffset, chatOpen)) return false;
    if (!GuardedRead32(memory, dialog + kDialogShownOffset, dialogShown)) return false;
    return chatOpen == 0 && dialogShown == 0;
}

std::optional<ChatInputCall> PrepareChatInput(const MemoryReader& memory, GameAddress moduleBase) {
    const SampBuild* build = FindSampBuild(memory, moduleBase);
    if (!build) return std::nullopt;
    const GameAddress routine = moduleBase + build->send_input;
    if (!GuardedEquals(memory, routine, kSendInputPrologue, sizeof kSendInputPrologue)) return std::nullopt;
    std::uint8_t opcode = 0;
    if (!GuardedRead(memory, routine + 14, &opcode, 1) || opcode != 0xA1) return std::nullopt;
    std::uint32_t operand = 0;
    if (!GuardedRead32(memory, routine + 15, operand) || operand != moduleBase + build->chat_input_object + 16)
        return std::nullopt;
    std::uint32_t object = 0;
    if (!GuardedRead32(memory, moduleBase + build->chat_input_object, object) || object == 0) return std::nullopt;
    return ChatInputCall{routine, object};
}

}  // namespace hm
