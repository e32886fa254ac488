// Plugin-wide notices: any thread.
#pragma once

#include <string>

namespace hm {

void ShowNotice(const std::wstring& text, bool sticky = false);
void ShowStatus(const std::wstring& text);

}  // namespace hm
