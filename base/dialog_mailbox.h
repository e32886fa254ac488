// DialogMailbox: the answer of a session dialog, handed from the UI thread's dialog window to
// the worker. Guarded by its own mutex, held only to copy; never together with another lock.
#pragma once

#include <mutex>
#include <optional>
#include <string>

namespace hm {

constexpr int kConsentDialogId = -1;  // kind 3
constexpr int kUpdateDialogId = -2;   // kind 4

// What the dialog window leaves for the worker.
struct DialogResult {
    int dialog_id = 0;  // kConsentDialogId or kUpdateDialogId
    int button = 0;     // 1 first button, 2 second, 0 closed
    std::string text;   // the dialog's field, code page 1250 (the worker does not use it)
};

class DialogMailbox {
public:
    DialogMailbox() = default;
    DialogMailbox(const DialogMailbox&) = delete;
    DialogMailbox& operator=(const DialogMailbox&) = delete;

    // UI thread: stores the answer and sets the pending flag (a newer answer replaces one not
    // yet taken).
    void Post(DialogResult entry);
    // Worker: returns the pending answer and clears the flag; nothing when none is pending.
    std::optional<DialogResult> Take();

private:
    std::mutex lock_;
    bool pending_ = false;
    DialogResult entry_;
};

// The plugin's one mailbox.
DialogMailbox& PluginDialogMailbox();

}  // namespace hm
