// Test hooks of the session, built only into HM_Plugin_testhooks.dll (never packaged).
#include <windows.h>

#include <string>

#include "base/dialog_mailbox.h"

// Stands in for the session dialog window until the UI thread exists: leaves the player's answer
// in the dialog mailbox exactly as the dialog would.
extern "C" __declspec(dllexport) void HM_AnswerDialog(int dialogId, int button) {
    hm::PluginDialogMailbox().Post(hm::DialogResult{dialogId, button, std::string()});
}
