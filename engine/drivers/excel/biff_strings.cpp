// UTF-16 <-> UTF-8 for BIFF strings, and the BIFF8 string layouts the writer emits.
#include "engine/drivers/excel/biff_strings.h"

#include "engine/drivers/excel/biff_records.h"
#include "engine/text_codec.h"

namespace tabulor::excel {

void appendUtf16AsUtf8(std::u16string_view units, std::string& out) {
  for (size_t i = 0; i < units.size(); ++i) {
    char32_t u = units[i];
    if (u < 0x80) {
      out.push_back(static_cast<char>(u));
      continue;
    }
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      u = 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      u = 0xFFFD;
    }
    appendUtf8(out, u);
  }
}

std::u16string utf8ToUnits(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  size_t n = s.size();
  for (size_t i = 0; i < n;) {
    unsigned char c = p[i];
    char32_t cp;
    size_t len;
    if (c < 0x80) {
      cp = c, len = 1;
    } else if ((c & 0xE0) == 0xC0 && i + 1 < n) {
      cp = ((c & 0x1F) << 6) | (p[i + 1] & 0x3F), len = 2;
    } else if ((c & 0xF0) == 0xE0 && i + 2 < n) {
      cp = ((c & 0x0F) << 12) | ((p[i + 1] & 0x3F) << 6) | (p[i + 2] & 0x3F), len = 3;
    } else if ((c & 0xF8) == 0xF0 && i + 3 < n) {
      cp = ((c & 0x07) << 18) | ((p[i + 1] & 0x3F) << 12) | ((p[i + 2] & 0x3F) << 6) |
           (p[i + 3] & 0x3F);
      len = 4;
    } else {
      cp = 0xFFFD, len = 1;  // the engine hands out valid UTF-8; be safe anyway
    }
    i += len;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

bool fitsCompressed(std::u16string_view units) {
  for (char16_t u : units)
    if (u > 0xFF) return false;
  return true;
}

void appendBiff8Chars(std::u16string_view units, std::string& out) {
  if (fitsCompressed(units)) {
    putU8(out, 0);
    for (char16_t u : units) out.push_back(static_cast<char>(u));
  } else {
    putU8(out, 1);
    for (char16_t u : units) putU16(out, u);
  }
}

void putLongString(std::string& out, std::u16string_view units) {
  putU16(out, static_cast<uint16_t>(units.size()));
  appendBiff8Chars(units, out);
}

void putShortString(std::string& out, std::u16string_view units) {
  putU8(out, static_cast<uint8_t>(units.size()));
  appendBiff8Chars(units, out);
}

}  // namespace tabulor::excel
