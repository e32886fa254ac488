// libFuzzer target over the code page 1250 conversions of server and INI text: every byte comes
// back unchanged through UTF-16, and the lengths always match.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/text1250.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::u16string units = hm::Cp1250ToUtf16(bytes);
    if (units.size() != bytes.size()) std::abort();
    const std::string back = hm::Utf16ToCp1250(units);
    if (back.size() != bytes.size()) std::abort();
    if (back != bytes) std::abort();
    // The other way: UTF-16 units from the same bytes, two per unit.
    std::u16string wide(size / 2, u'\0');
    for (std::size_t i = 0; i + 1 < size; i += 2) wide[i / 2] = char16_t(data[i] | (data[i + 1] << 8));
    const std::string narrow = hm::Utf16ToCp1250(wide);
    if (narrow.size() != wide.size()) std::abort();
    const std::u16string again = hm::Cp1250ToUtf16(narrow);
    for (std::size_t i = 0; i < wide.size(); ++i)
        if (hm::Cp1250FromUnit(again[i]) != narrow[i]) std::abort();
    return 0;
}
