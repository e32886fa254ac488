#include "base/dialog_mailbox.h"

#include <utility>

namespace hm {

void DialogMailbox::Post(DialogResult entry) {
    std::lock_guard<std::mutex> guard(lock_);
    entry_ = std::move(entry);
    pending_ = true;
}

std::optional<DialogResult> DialogMailbox::Take() {
    std::lock_guard<std::mutex> guard(lock_);
    if (!pending_) return std::nullopt;
    pending_ = false;
    return std::move(entry_);
}

DialogMailbox& PluginDialogMailbox() {
    static DialogMailbox& mailbox = *new DialogMailbox;
    return mailbox;
}

}  // namespace hm
