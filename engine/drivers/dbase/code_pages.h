// Code pages of dBase tables: the language-driver byte of the header and the ".cpg" sidecar
// that GIS tools write, mapped to converters between a table's 8-bit text and UTF-8.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tabulor::dbase {

// The name TextDecoder knows Mazovia by (iconv has no Mazovia; the decoder has a table).
inline constexpr const char* MazoviaCodePage = "MAZOVIA";

// iconv name of the code page of language-driver id `ldid` (MazoviaCodePage for 0x69);
// nullptr when the byte names none: 0, which declares no code page, or an id this table
// does not know.
const char* codePageOfLanguageDriver(uint8_t ldid);

// iconv name for the text of a ".cpg" file ("UTF-8", "1252", "CP1251", "ISO-8859-1", ...);
// "" when it names nothing iconv knows.
std::string codePageOfCpg(std::string_view cpgText);

// Turns stored bytes into UTF-8. Single-byte code pages (iconv's, and Mazovia) go through a
// 256-entry table built once; double-byte ones through iconv per value. With no code page at all,
// valid UTF-8 is kept and anything else is read as DOS code page 850, the code page of dBase and
// FoxPro for DOS.
class TextDecoder {
 public:
  explicit TextDecoder(std::string codePage = {});
  void decode(std::string_view bytes, std::string& out) const;
  const std::string& codePage() const { return codePage_; }

 private:
  std::string codePage_;
  bool multiByte_ = false;
  bool utf8_ = false;
  bool guess_ = false;
  std::array<std::string, 128> high_;  // UTF-8 of bytes 0x80..0xFF
};

// Appends the Windows-1252 bytes of UTF-8 `text`; false when a character has none.
bool appendWindows1252(std::string_view text, std::string& out);

}  // namespace tabulor::dbase
