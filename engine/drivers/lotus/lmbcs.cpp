// UTF-8 to LMBCS for WK1 labels. Bytes 0x01..0x1F other than TAB, LF and CR are group
// prefixes in LMBCS, so control characters go through the 0x14 Unicode group too.
#include "engine/drivers/lotus/lmbcs.h"

#include <array>
#include <unordered_map>

#include "engine/text_codec.h"

namespace tabulor::lotus {

namespace {

// Code page 850 bytes 0x80..0xFF by the character they stand for.
const std::unordered_map<char32_t, unsigned char>& cp850() {
  static const std::unordered_map<char32_t, unsigned char> table = [] {
    std::unordered_map<char32_t, unsigned char> map;
    for (int b = 0x80; b < 0x100; ++b) {
      char byte = static_cast<char>(b);
      std::string utf8 = fromCodePage(std::string_view(&byte, 1), "CP850");
      char32_t cp = 0;
      auto lead = static_cast<unsigned char>(utf8[0]);
      if (lead >= 0xE0 && utf8.size() == 3)
        cp = (lead & 0x0Fu) << 12 | (static_cast<unsigned char>(utf8[1]) & 0x3Fu) << 6 |
             (static_cast<unsigned char>(utf8[2]) & 0x3Fu);
      else if (lead >= 0xC0 && utf8.size() == 2)
        cp = (lead & 0x1Fu) << 6 | (static_cast<unsigned char>(utf8[1]) & 0x3Fu);
      if (cp != 0 && cp != 0xFFFD) map.emplace(cp, static_cast<unsigned char>(b));
    }
    return map;
  }();
  return table;
}

}  // namespace

bool appendLmbcs(std::string_view text, std::string& out, char32_t& bad) {
  size_t i = 0;
  while (i < text.size()) {
    auto c = static_cast<unsigned char>(text[i]);
    if ((c >= 0x20 && c < 0x80) || c == '\t' || c == '\n' || c == '\r') {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    char32_t cp = nextCodePoint(text, i);
    if (cp >= 0x80) {
      auto it = cp850().find(cp);
      if (it != cp850().end()) {
        out += static_cast<char>(it->second);
        continue;
      }
    }
    if (cp == 0 || cp > 0xFFFF || (cp >= 0xD800 && cp <= 0xDFFF) ||
        (cp >= 0xE000 && cp <= 0xF8FF)) {
      bad = cp;
      return false;
    }
    out += '\x14';
    out += static_cast<char>(cp >> 8);
    out += static_cast<char>(cp & 0xFF);
  }
  return true;
}

}  // namespace tabulor::lotus
