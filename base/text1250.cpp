#include "base/text1250.h"

#include <algorithm>

namespace hm {

namespace {
#include "base/cp1250_table.inc"
}  // namespace

char Cp1250FromUnit(char16_t unit) {
    if (unit < 0x80) return char(unit);
    const auto* end = kUnicodeToCp1250 + sizeof(kUnicodeToCp1250) / sizeof(kUnicodeToCp1250[0]);
    const auto* it = std::lower_bound(kUnicodeToCp1250, end, unit,
                                      [](const Cp1250Pair& p, char16_t u) { return p.unit < u; });
    return (it != end && it->unit == unit) ? char(it->byte) : '?';
}

char16_t UnitFromCp1250(unsigned char byte) { return kCp1250ToUnicode[byte]; }

std::string Utf16ToCp1250(std::u16string_view text) {
    std::string out(text.size(), '\0');
    for (std::size_t i = 0; i < text.size(); ++i) out[i] = Cp1250FromUnit(text[i]);
    return out;
}

std::u16string Cp1250ToUtf16(std::string_view text) {
    std::u16string out(text.size(), u'\0');
    for (std::size_t i = 0; i < text.size(); ++i) out[i] = UnitFromCp1250(static_cast<unsigned char>(text[i]));
    return out;
}

std::string WideToCp1250(std::wstring_view text) {
    std::string out(text.size(), '\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        // wchar_t is 16-bit on Windows; elsewhere anything past the BMP is unmappable.
        const auto c = static_cast<std::uint32_t>(text[i]);
        out[i] = c > 0xFFFF ? '?' : Cp1250FromUnit(char16_t(c));
    }
    return out;
}

std::wstring Cp1250ToWide(std::string_view text) {
    std::wstring out(text.size(), L'\0');
    for (std::size_t i = 0; i < text.size(); ++i) out[i] = wchar_t(UnitFromCp1250(static_cast<unsigned char>(text[i])));
    return out;
}

}  // namespace hm
