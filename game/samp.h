// SA-MP integration decisions: which samp.dll build is loaded, whether chat input and dialogs
// are closed, and whether the chat-input routine is the one we expect before we call it.
// Nothing is cached: samp.dll may load after the plugin.
#pragma once

#include <cstdint>
#include <optional>

#include "game/guarded_memory.h"

namespace hm {

// Offsets from the samp.dll module base, per build (keyed by the PE entry point).
struct SampBuild {
    std::uint32_t entry_point;
    std::uint32_t chat_input_object;  // where the chat input object pointer is stored
    std::uint32_t dialog_object;      // where the dialog object pointer is stored
    std::uint32_t send_input;         // the routine that submits a typed line
};

constexpr std::uint32_t kChatInputOpenOffset = 0x14E0;
constexpr std::uint32_t kDialogShownOffset = 0x28;

// Looks the build up from the module's PE header (e_lfanew at base + 0x3C, at most 4096;
// AddressOfEntryPoint at base + e_lfanew + 40). Null when unreadable or not a known build.
const SampBuild* FindSampBuild(const MemoryReader& memory, GameAddress moduleBase);

// True when samp.dll is loaded (moduleBase != 0), known, both objects are readable and
// neither the chat input box nor a dialog is open.
bool IsChatFreeAt(const MemoryReader& memory, GameAddress moduleBase);

// What SendChatInput calls: the routine as a member function of the chat input object.
struct ChatInputCall {
    GameAddress routine;
    GameAddress object;
};

// Every check before the call: known build, the routine's prologue bytes, the byte at +14 and
// the object address at +15, and a non-null chat input object. Empty when any check fails.
std::optional<ChatInputCall> PrepareChatInput(const MemoryReader& memory, GameAddress moduleBase);

}  // namespace hm
