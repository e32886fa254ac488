// The user32 cursor detours that keep the game from moving or showing the Windows cursor while
// the computer UI is open; they pass straight through otherwise.
#pragma once

#include <windows.h>

namespace hm {

// Worker, during InstallGraphicsHooks: creates both hooks; the caller enables them with the
// device hooks. Returns false when either could not be created (the UI then shows the cursor).
bool CreateCursorHooks();
// SetCursor past the detour (the real one before installation).
HCURSOR CallSetCursor(HCURSOR cursor);
// The computer UI is running: the editor-open flag (a computer screen or session dialog). Any
// thread.
bool IsComputerUiRunning();

}  // namespace hm
