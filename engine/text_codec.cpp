// UTF-8 checks and the code-page conversions readers and writers need.
#include "engine/text_codec.h"

#include <iconv.h>

#include <cerrno>

namespace tabulor {

namespace {

// Decodes one code point at s[i]; returns its length, 0 when the sequence is invalid.
size_t decodeUtf8(std::string_view s, size_t i, char32_t& cp) {
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  size_t n = s.size();
  unsigned char c = p[i];
  if (c < 0x80) {
    cp = c;
    return 1;
  }
  size_t len;
  char32_t min;
  if ((c & 0xE0) == 0xC0) {
    len = 2, cp = c & 0x1F, min = 0x80;
  } else if ((c & 0xF0) == 0xE0) {
    len = 3, cp = c & 0x0F, min = 0x800;
  } else if ((c & 0xF8) == 0xF0) {
    len = 4, cp = c & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (i + len > n) return 0;
  for (size_t k = 1; k < len; ++k) {
    if ((p[i + k] & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (p[i + k] & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

const char16_t Cp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

char32_t nextCodePoint(std::string_view s, size_t& i) {
  auto c = static_cast<unsigned char>(s[i++]);
  if (c < 0x80) return c;
  char32_t cp;
  int extra;
  if (c >= 0xF0) {
    cp = c & 0x07, extra = 3;
  } else if (c >= 0xE0) {
    cp = c & 0x0F, extra = 2;
  } else {
    cp = c & 0x1F, extra = 1;
  }
  for (int k = 0; k < extra && i < s.size(); ++k, ++i)
    cp = (cp << 6) | (static_cast<unsigned char>(s[i]) & 0x3F);
  return cp;
}

bool windows1252Byte(char32_t cp, char& byte) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
    byte = static_cast<char>(cp);
    return true;
  }
  for (int k = 0; k < 32; ++k) {
    // The unassigned positions decode to their C1 control; they have no character to encode.
    if (Cp1252High[k] == cp && cp >= 0x100) {
      byte = static_cast<char>(0x80 + k);
      return true;
    }
  }
  return false;
}

bool isValidUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    // ASCII runs dominate real files; skip them eight bytes at a time.
    while (i + 8 <= s.size()) {
      uint64_t word;
      __builtin_memcpy(&word, s.data() + i, 8);
      if (word & 0x8080808080808080ULL) break;
      i += 8;
    }
    if (i >= s.size()) break;
    char32_t cp;
    size_t len = decodeUtf8(s, i, cp);
    if (len == 0) return false;
    i += len;
  }
  return true;
}

size_t utf8Length(std::string_view s) {
  size_t n = 0;
  for (unsigned char c : s)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

size_t utf16Length(std::string_view s) {
  size_t n = 0;
  for (unsigned char c : s) {
    if ((c & 0xC0) != 0x80) ++n;
    if ((c & 0xF8) == 0xF0) ++n;
  }
  return n;
}

std::string_view utf8Prefix(std::string_view s, size_t maxChars) {
  size_t chars = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
      if (chars == maxChars) return s.substr(0, i);
      ++chars;
    }
  }
  return s;
}

std::string cp1252ToUtf8(std::string_view s) {
  std::string out;
  out.reserve(s.size() + s.size() / 8);
  for (unsigned char c : s) {
    if (c < 0x80)
      out += static_cast<char>(c);
    else if (c < 0xA0)
      appendUtf8(out, Cp1252High[c - 0x80]);
    else
      appendUtf8(out, c);
  }
  return out;
}

std::string utf8OrCp1252(std::string_view s) {
  return isValidUtf8(s) ? std::string(s) : cp1252ToUtf8(s);
}

std::string utf16ToUtf8(std::string_view bytes, bool bigEndian) {
  std::string out;
  out.reserve(bytes.size() / 2);
  auto unit = [&](size_t i) -> char16_t {
    auto b0 = static_cast<unsigned char>(bytes[i]), b1 = static_cast<unsigned char>(bytes[i + 1]);
    return bigEndian ? static_cast<char16_t>(b0 << 8 | b1) : static_cast<char16_t>(b1 << 8 | b0);
  };
  size_t n = bytes.size() & ~size_t(1);
  for (size_t i = 0; i < n; i += 2) {
    char32_t cp = unit(i);
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 3 < n) {
      char32_t low = unit(i + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      } else {
        cp = 0xFFFD;
      }
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    appendUtf8(out, cp);
  }
  return out;
}

std::string utf8ToUtf16le(std::string_view s) {
  std::string out;
  out.reserve(s.size() * 2);
  auto put = [&](char16_t u) {
    out += static_cast<char>(u & 0xFF);
    out += static_cast<char>(u >> 8);
  };
  size_t i = 0;
  while (i < s.size()) {
    char32_t cp;
    size_t len = decodeUtf8(s, i, cp);
    if (len == 0) {
      cp = 0xFFFD;
      len = 1;
    }
    i += len;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      put(static_cast<char16_t>(0xD800 + (cp >> 10)));
      put(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      put(static_cast<char16_t>(cp));
    }
  }
  return out;
}

std::string fromCodePage(std::string_view bytes, const char* codePage) {
  iconv_t cd = iconv_open("UTF-8", codePage);
  if (cd == reinterpret_cast<iconv_t>(-1)) return cp1252ToUtf8(bytes);
  std::string out(bytes.size() * 4 + 16, '\0');
  char* in = const_cast<char*>(bytes.data());
  size_t inLeft = bytes.size();
  char* dst = out.data();
  size_t outLeft = out.size();
  while (inLeft > 0) {
    if (iconv(cd, &in, &inLeft, &dst, &outLeft) != static_cast<size_t>(-1)) break;
    if (errno == EILSEQ || errno == EINVAL) {
      // Replace the byte that does not convert and go on.
      ++in;
      --inLeft;
      if (outLeft >= 3) {
        *dst++ = '\xEF', *dst++ = '\xBF', *dst++ = '\xBD';
        outLeft -= 3;
      }
    } else {
      break;
    }
  }
  iconv_close(cd);
  out.resize(out.size() - outLeft);
  return out;
}

bool toCodePage(std::string_view utf8, const char* codePage, std::string& out) {
  iconv_t cd = iconv_open(codePage, "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  out.assign(utf8.size() + 16, '\0');
  char* in = const_cast<char*>(utf8.data());
  size_t inLeft = utf8.size();
  char* dst = out.data();
  size_t outLeft = out.size();
  size_t rc = iconv(cd, &in, &inLeft, &dst, &outLeft);
  iconv_close(cd);
  if (rc == static_cast<size_t>(-1) || rc > 0) return false;  // rc > 0: lossy conversions
  out.resize(out.size() - outLeft);
  return true;
}

}  // namespace tabulor
