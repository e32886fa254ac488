// libFuzzer entry: the helper's command line and the URL field of the block. Input: UTF-16 text;
// NULs split arguments, and the same bytes fill a URL field of the block's size.
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "tv/browser_rules.h"
#include "tv/frame_block.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<char16_t> text(size / 2);
    if (!text.empty()) std::memcpy(text.data(), data, text.size() * 2);
    std::vector<std::u16string> args(1, u"HM_PluginBrowser.exe");
    std::u16string current;
    for (char16_t c : text) {
        if (c == 0) {
            args.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    args.push_back(current);
    const hm::HelperArgs parsed = hm::ParseHelperArgs(args);
    if (parsed.exit_code == 0 && parsed.mapping_name.size() > 120) __builtin_trap();

    // Exactly the field's size on the heap, so reading past it is caught.
    std::vector<char16_t> field(hm::kTvUrlChars, u'x');
    if (!text.empty()) std::memcpy(field.data(), text.data(), std::min(text.size(), field.size()) * 2);
    const std::u16string url = hm::AcceptedPageUrl(field.data(), field.size(), (size & 1) != 0);
    if (!url.empty() && url.find(u"/tv/player#") == std::u16string::npos) __builtin_trap();
    return 0;
}
