#include "core/entry_rules.h"

namespace hm {

namespace {
bool EqualsIgnoringAsciiCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        wchar_t x = a[i], y = b[i];
        if (x >= L'A' && x <= L'Z') x = wchar_t(x - L'A' + L'a');
        if (y >= L'A' && y <= L'Z') y = wchar_t(y - L'A' + L'a');
        if (x != y) return false;
    }
    return true;
}
}  // namespace

bool IsGameExecutable(std::wstring_view hostPath) {
    const auto slash = hostPath.find_last_of(L"\\/");
    const std::wstring_view name = slash == std::wstring_view::npos ? hostPath : hostPath.substr(slash + 1);
    return EqualsIgnoringAsciiCase(name, L"gta_sa.exe") || EqualsIgnoringAsciiCase(name, L"gta-sa.exe");
}

}  // namespace hm
