// Notices and the status line: the one message channel to the player. Portable rules over a
// NoticeState; the plugin-wide ShowNotice/ShowStatus (notices_win.h) lock SharedStateLock and
// pass the real clock.
#pragma once

#include <string>

#include "base/shared_state.h"

namespace hm {

constexpr Tick kNoticeDisplayMs = 12000;
constexpr Tick kNoticeRepeatMs = 60000;
constexpr Tick kStatusDisplayMs = 20000;

// A non-sticky text equal to the last accepted one within 60 s is dropped; otherwise it becomes
// the current notice for 12 s (sticky: until replaced).
void PostNotice(NoticeState& state, Tick now, const std::wstring& text, bool sticky);

// Sets the status line for 20 s.
void PostStatus(NoticeState& state, Tick now, const std::wstring& text);

}  // namespace hm
