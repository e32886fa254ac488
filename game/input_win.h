// Input capture on the game window while the plugin's UI is open: the replacement window
// procedure, the WH_GETMESSAGE hook, the focus rule and character-key tests. Game window thread,
// except IsGameInFront and IsCharacterKeyDown (any thread).
#pragma once

#include <windows.h>

#include "game/input_rules.h"

namespace hm {

// The game is in front when the foreground window belongs to this process.
bool IsGameInFront();

// True when the key combination that types `ch` on the foreground window's layout is held now.
bool IsCharacterKeyDown(wchar_t ch);

LRESULT CALLBACK GameWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK GameMessageHook(int code, WPARAM wParam, LPARAM lParam);

// Installed and removed by the Present hook as the UI comes and goes.
bool SubclassGameWindow(HWND gameWindow);
void RestoreGameWindow();
bool IsGameWindowSubclassed();
bool InstallGameMessageHook(HWND gameWindow);
void RemoveGameMessageHook();
bool IsGameMessageHookInstalled();

// Seams for tests: what makes a forwarded record and what swaps the window procedure. Set them
// only while the game window's thread is the caller; null restores the real ones.
struct InputWinSeams {
    ForwardedInput* (*new_record)();  // may throw, as `new` does
    LONG(WINAPI* set_window_long)(HWND, int, LONG);
};
void SetInputWinSeamsForTests(const InputWinSeams* seams);
InputWinSeams RealInputWinSeams();

}  // namespace hm
