// Conversion between UTF-16 (the plugin's inner text) and Windows code page 1250 (the
// server's 8-bit text and the player's nick name). Behaves exactly like
// WideCharToMultiByte(1250, 0, ...) with the default character and MultiByteToWideChar(1250, 0):
// every UTF-16 unit becomes one byte, best-fit mappings included, unmappable units become '?'.
#pragma once

#include <string>
#include <string_view>

namespace hm {

char Cp1250FromUnit(char16_t unit);
char16_t UnitFromCp1250(unsigned char byte);

std::string Utf16ToCp1250(std::u16string_view text);
std::u16string Cp1250ToUtf16(std::string_view text);

// The plugin's UTF-16 literals are wchar_t on Windows; these adapt without copying twice.
std::string WideToCp1250(std::wstring_view text);
std::wstring Cp1250ToWide(std::string_view text);

}  // namespace hm
