#include "base/notices_win.h"

#include <windows.h>

#include "base/notices.h"

namespace hm {

void ShowNotice(const std::wstring& text, bool sticky) {
    SharedState& shared = PluginShared();
    const Tick now = GetTickCount64();
    std::lock_guard<std::mutex> guard(shared.lock);
    PostNotice(shared.notices, now, text, sticky);
}

void ShowStatus(const std::wstring& text) {
    SharedState& shared = PluginShared();
    const Tick now = GetTickCount64();
    std::lock_guard<std::mutex> guard(shared.lock);
    PostStatus(shared.notices, now, text);
}

}  // namespace hm
