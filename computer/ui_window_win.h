// The UI thread and its hidden UiWindow: the computer's event loop. The window is never shown or
// activated; it owns the Rich Edit controls, turns forwarded input into edits and answers,
// renders the current screen every 50 ms and publishes the frame.
#pragma once

#include <windows.h>

#include "computer/editor_exchange.h"
#include "computer/editor_state.h"

namespace hm {

constexpr const wchar_t* kUiWindowClass = L"HMPluginHiddenEditor";
constexpr UINT_PTR kRenderTimer = 1;
constexpr UINT kRenderPeriodMs = 50;

// Start (worker thread, or the session for its own dialogs): claims the editor-open flag and
// starts a detached UI thread with its own copy of `state`. False when the editor was already
// open or no thread could be made (then the flag is cleared again).
bool StartEditorUi(EditorExchange& ex, const EditorState& state);

// Any thread: NewStateMessage with a heap copy of `state`, CloseEditorMessage. False when there
// is no window (or the post failed; the copy is freed then).
bool PostNewState(const EditorState& state);
bool PostCloseEditor();

// Fills PluginEditorWindow() with the plugin's start and posts over PluginEditorExchange().
void InstallPluginEditorWindow();

// The running UI thread's id, 0 when none (support and the CPU figures).
DWORD UiThreadId();

// Tests: the Rich Edit library the thread loads (null: "Msftedit.dll").
void SetRichEditLibraryForTests(const wchar_t* name);
// Tests: the double-click time of the text boxes (0: the system's).
void SetDoubleClickTimeForTests(unsigned ms);

}  // namespace hm
