// Text encodings at the engine's edges. Inside the program every string is UTF-8; readers
// convert on the way in and writers on the way out with these functions.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tabulor {

bool isValidUtf8(std::string_view s);
// Number of code points of valid UTF-8 (continuation bytes are not counted).
size_t utf8Length(std::string_view s);
// Number of UTF-16 units of valid UTF-8, as Excel counts a cell's characters: code points
// beyond U+FFFF take two.
size_t utf16Length(std::string_view s);
// The longest prefix of at most `maxChars` code points.
std::string_view utf8Prefix(std::string_view s, size_t maxChars);

// Windows-1252 to UTF-8 (the 5 unassigned bytes map to C1 controls, as Windows does).
std::string cp1252ToUtf8(std::string_view s);
// Valid UTF-8 passes through; invalid input is read as Windows-1252.
std::string utf8OrCp1252(std::string_view s);

// UTF-16 (little or big endian) to UTF-8; unpaired surrogates become U+FFFD.
std::string utf16ToUtf8(std::string_view bytes, bool bigEndian = false);
// UTF-8 to UTF-16LE bytes.
std::string utf8ToUtf16le(std::string_view s);

// Converts between UTF-8 and a named code page through iconv ("CP850", "CP1251", ...).
// fromCodePage never fails: bytes that do not convert become U+FFFD.
// toCodePage returns false when some character has no representation in the code page.
std::string fromCodePage(std::string_view bytes, const char* codePage);
bool toCodePage(std::string_view utf8, const char* codePage, std::string& out);

// Appends code point `cp` to `out` as UTF-8.
void appendUtf8(std::string& out, char32_t cp);

// The code point of the UTF-8 sequence at s[i], advancing i past it. For the program's own
// (valid) text; a malformed sequence yields whatever its bits say, never reads past s.
char32_t nextCodePoint(std::string_view s, size_t& i);

// The Windows-1252 byte of a code point; false when the code page has none (including the
// five positions it leaves unassigned).
bool windows1252Byte(char32_t cp, char& byte);

}  // namespace tabulor
