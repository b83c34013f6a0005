// Strings in BIFF: UTF-16 code units to UTF-8 and back, and the string layouts of BIFF8
// (8-bit "compressed" characters when every character fits, UTF-16LE otherwise).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tabulor::excel {

// Appends UTF-16 code units as UTF-8; an unpaired surrogate becomes U+FFFD.
void appendUtf16AsUtf8(std::u16string_view units, std::string& out);

// UTF-8 text as UTF-16 code units (the unit count is what BIFF limits and stores).
std::u16string utf8ToUnits(std::string_view utf8);

// The option byte and character bytes of a BIFF8 string: option 0 with one byte per
// character when every unit is below 0x100, option 1 with UTF-16LE otherwise.
void appendBiff8Chars(std::u16string_view units, std::string& out);
bool fitsCompressed(std::u16string_view units);

// XLUnicodeString with a 16-bit (LABEL, FORMAT) or 8-bit (sheet and font names) count.
void putLongString(std::string& out, std::u16string_view units);
void putShortString(std::string& out, std::u16string_view units);

}  // namespace tabulor::excel
