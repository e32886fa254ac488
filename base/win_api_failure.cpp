#include "base/win_api_failure.h"

namespace hm {

std::string WinApiFailureText(int callSite, std::uint32_t hresult) {
    static const char kHex[] = "0123456789abcdef";
    char hex[8];
    int n = 0;
    do {
        hex[n++] = kHex[hresult & 0xF];
        hresult >>= 4;
    } while (hresult != 0);
    std::string text = "Windows API failure at line " + std::to_string(callSite) + ": 0x";
    while (n > 0) text += hex[--n];
    return text;
}

}  // namespace hm
