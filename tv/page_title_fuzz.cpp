// libFuzzer entry: page titles and navigation addresses (UTF-16 text from the page).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "tv/browser_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::u16string text(size / 2, u'\0');
    if (!text.empty()) std::memcpy(text.data(), data, text.size() * 2);
    const std::uint32_t status = hm::PageStatusOfTitle(text);
    if (status != 0 && status != 1 && status != 2 && status < 1000) __builtin_trap();
    const std::u16string allowed = hm::AllowedPageAddress(u"https://h.cz/tv/player#t");
    if (hm::NavigationAllowed(text, allowed, true) && text.substr(0, text.find(u'#')) != allowed) __builtin_trap();
    return 0;
}
