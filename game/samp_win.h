// SA-MP integration on the live process. Render thread and media loops; no state kept.
#pragma once

#include "game/guarded_memory.h"

namespace hm {

// Guarded reads of this process's own memory (ReadProcessMemory: a bad address fails, never faults).
const MemoryReader& ProcessMemory();

// samp.dll loaded, known build, chat input box and dialog closed.
bool IsChatFree();

// Hands a zero-terminated 8-bit line to SA-MP as if typed into its chat box; true when handed over.
bool SendChatInput(const char* text);

}  // namespace hm
