#include "core/dialog_mailbox.h"

#include <utility>

namespace hm {

void DialogMailbox::Post(DialogResult result) {
    std::lock_guard<std::mutex> guard(lock_);
    result_ = std::move(result);
    pending_ = true;
}

std::optional<DialogResult> DialogMailbox::Take() {
    std::lock_guard<std::mutex> guard(lock_);
    if (!pending_) return std::nullopt;
    pending_ = false;
    return std::move(result_);
}

DialogMailbox& PluginDialogMailbox() {
    static DialogMailbox mailbox;
    return mailbox;
}

}  // namespace hm
