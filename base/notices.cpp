#include "base/notices.h"

namespace hm {

void PostNotice(NoticeState& state, Tick now, const std::wstring& text, bool sticky) {
    if (!sticky && text == state.last_accepted && now < state.repeat_deadline) return;
    state.last_accepted = text;
    state.repeat_deadline = now + kNoticeRepeatMs;
    state.current = text;
    state.display_deadline = sticky ? kNeverExpires : now + kNoticeDisplayMs;
}

void PostStatus(NoticeState& state, Tick now, const std::wstring& text) {
    state.status = text;
    state.status_deadline = now + kStatusDisplayMs;
}

}  // namespace hm
