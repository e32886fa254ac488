// libFuzzer target over the RTF scans of the UI thread: the depth bound applied to incoming
// documents and the object removal applied to answers. Their output is balanced, never deeper
// than the bound, free of object groups, and no longer than the input plus its closing braces.
//   cmake -B build/fuzz -DCMAKE_CXX_COMPILER=clang++-14 -DHM_FUZZ=ON && cmake --build build/fuzz --target rtf_scan_fuzz
//   build/fuzz/bin/rtf_scan_fuzz computer/fuzz_corpus/rtf_scan_fuzz -max_total_time=60
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <string>
#include <string_view>

#include "computer/editor_view.h"

namespace {

// Depth of the braces outside escapes and \bin data; -1 when a group closes that never opened.
int MaxDepth(const std::string& rtf, bool& balanced) {
    int depth = 0, deepest = 0;
    for (std::size_t i = 0; i < rtf.size(); ++i) {
        if (rtf[i] == '\\') {
            if (rtf.compare(i + 1, 3, "bin") == 0) {
                std::size_t j = i + 4;
                long n = 0;
                while (j < rtf.size() && rtf[j] >= '0' && rtf[j] <= '9') {
                    n = n > 214748364L ? 2147483647L : std::min(2147483647L, n * 10 + (rtf[j] - '0'));
                    ++j;
                }
                if (j < rtf.size() && rtf[j] == ' ') ++j;
                if (std::size_t(n) > rtf.size() - j) return -1;  // data past the end
                i = j + std::size_t(n) - 1;
                continue;
            }
            ++i;
            continue;
        }
        if (rtf[i] == '{') deepest = std::max(deepest, ++depth);
        if (rtf[i] == '}' && --depth < 0) return -1;
    }
    balanced = depth == 0;
    return deepest;
}

// A group opening with the control word `word` itself (right after its brace) (not a longer word beginning with it).
bool HasGroup(const std::string& rtf, const std::string& word) {
    const std::string open = "{\\" + word;
    for (std::size_t at = rtf.find(open); at != std::string::npos; at = rtf.find(open, at + 1)) {
        std::size_t backslashes = 0;
        while (backslashes < at && rtf[at - 1 - backslashes] == '\\') ++backslashes;
        if (backslashes % 2 == 1) continue;  // an escaped brace is text
        const std::size_t next = at + open.size();
        if (next >= rtf.size() || !((rtf[next] >= 'a' && rtf[next] <= 'z') || (rtf[next] >= 'A' && rtf[next] <= 'Z')))
            return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view rtf(reinterpret_cast<const char*>(data), size);
    bool balanced = false;
    const std::string bounded = hm::BoundRtfNesting(rtf, 8);
    if (MaxDepth(bounded, balanced) > 8 || !balanced) std::abort();
    if (bounded.size() > rtf.size() + 8) std::abort();
    const std::string clean = hm::StripRtfObjects(rtf);
    if (MaxDepth(clean, balanced) < 0 || !balanced) std::abort();
    if (HasGroup(clean, "object") || HasGroup(clean, "pict")) std::abort();
    (void)hm::CutDocumentRtf(rtf);
    return 0;
}
