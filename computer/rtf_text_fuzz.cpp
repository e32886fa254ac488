// libFuzzer target over the RTF text reader: any bytes give text no longer than themselves,
// without NUL units, and the same text twice.
//   cmake --preset fuzz && cmake --build build/fuzz --target rtf_text_fuzz
//   build/fuzz/bin/rtf_text_fuzz computer/fuzz_corpus/rtf_text_fuzz -max_total_time=60
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "computer/rtf_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view rtf(reinterpret_cast<const char*>(data), size);
    const std::u16string text = hm::RtfToText(rtf);
    if (text.size() > rtf.size()) std::abort();
    if (text.find(u'\0') != std::u16string::npos) std::abort();
    if (hm::RtfToText(rtf) != text) std::abort();
    const std::string cp1250 = hm::ContentText1250(rtf);
    if (hm::IsRtfContent(rtf) ? cp1250.size() != text.size() : cp1250 != rtf) std::abort();
    return 0;
}
