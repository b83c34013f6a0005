// The "_xHHHH_" escapes of SpreadsheetML text.
#include "engine/drivers/xlsx/ooxml_text.h"

#include "engine/text_codec.h"

namespace tabulor::xlsx {

namespace {

int hexValue(char c) {
  return c >= '0' && c <= '9'   ? c - '0'
         : c >= 'a' && c <= 'f' ? c - 'a' + 10
         : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                : -1;
}

// The code unit of an escape at text[i] ("_xHHHH_"), or -1.
int escapeAt(std::string_view text, size_t i) {
  if (i + 7 > text.size() || text[i] != '_' || text[i + 1] != 'x' || text[i + 6] != '_') return -1;
  int v = 0;
  for (size_t k = 2; k < 6; ++k) {
    int h = hexValue(text[i + k]);
    if (h < 0) return -1;
    v = v * 16 + h;
  }
  return v;
}

}  // namespace

void decodeEscapes(std::string& text) {
  size_t first = text.find("_x");
  if (first == std::string::npos) return;
  std::string out = text.substr(0, first);
  size_t i = first;
  while (i < text.size()) {
    int unit = escapeAt(text, i);
    if (unit < 0) {
      out += text[i++];
      continue;
    }
    i += 7;
    char32_t cp = static_cast<char32_t>(unit);
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      int low = escapeAt(text, i);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        cp = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) +
             (static_cast<char32_t>(low) - 0xDC00);
        i += 7;
      } else {
        cp = 0xFFFD;
      }
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
      cp = 0xFFFD;
    }
    appendUtf8(out, cp);
  }
  text.swap(out);
}

std::string escapeLiteralEscapes(std::string_view text) {
  size_t first = text.find("_x");
  if (first == std::string_view::npos) return std::string(text);
  std::string out(text.substr(0, first));
  for (size_t i = first; i < text.size(); ++i) {
    if (escapeAt(text, i) >= 0) out += "_x005F";
    out += text[i];
  }
  return out;
}

}  // namespace tabulor::xlsx
