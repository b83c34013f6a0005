// Language-driver ids and ".cpg" names to code pages, and the decoder and encoder the dBase
// reader and writer use for every text value.
#include "engine/drivers/dbase/code_pages.h"

#include <iconv.h>

#include <cctype>

#include "engine/text_codec.h"

namespace tabulor::dbase {

const char* codePageOfLanguageDriver(uint8_t ldid) {
  switch (ldid) {
    case 0x01:
    case 0x09:
    case 0x0B:
    case 0x0D:
    case 0x0F:
    case 0x11:
    case 0x15:
    case 0x18:
    case 0x19:
    case 0x1B:
      return "CP437";
    case 0x02:
    case 0x0A:
    case 0x0E:
    case 0x10:
    case 0x12:
    case 0x14:
    case 0x16:
    case 0x1A:
    case 0x1D:
    case 0x25:
    case 0x37:
      return "CP850";
    case 0x03:
    case 0x57:
    case 0x58:
    case 0x59:
      return "CP1252";
    case 0x04:
      return "MACINTOSH";
    case 0x08:
    case 0x17:
    case 0x66:
      return "CP865";
    case 0x13:
    case 0x7B:
      return "CP932";
    case 0x1C:
      return "CP863";
    case 0x1F:
    case 0x22:
    case 0x23:
    case 0x40:
    case 0x64:
    case 0x87:
      return "CP852";
    case 0x24:
      return "CP860";
    case 0x26:
    case 0x65:
      return "CP866";
    case 0x4D:
    case 0x7A:
      return "CP936";
    case 0x4E:
    case 0x79:
      return "CP949";
    case 0x4F:
    case 0x78:
      return "CP950";
    case 0x50:
    case 0x7C:
      return "CP874";
    case 0x67:
      return "CP861";
    case 0x69:
      return MazoviaCodePage;
    case 0x6A:
    case 0x86:
      return "CP737";
    case 0x6B:
    case 0x88:
      return "CP857";
    case 0x6C:
      return "CP863";
    case 0x7D:
      return "CP1255";
    case 0x7E:
      return "CP1256";
    case 0x96:
      return "MAC-CYRILLIC";
    case 0x97:
      return "MAC-CENTRALEUROPE";
    case 0xC8:
      return "CP1250";
    case 0xC9:
      return "CP1251";
    case 0xCA:
      return "CP1254";
    case 0xCB:
      return "CP1253";
    case 0xCC:
      return "CP1257";
    default:
      return nullptr;
  }
}

std::string codePageOfCpg(std::string_view text) {
  std::string name;
  for (char c : text)
    if (!std::isspace(static_cast<unsigned char>(c)) && c != '\0')
      name += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (name.empty()) return {};
  if (name == "UTF-8" || name == "UTF8") return "UTF-8";
  if (name == "88591" || name == "8859_1" || name == "ISO88591") return "ISO-8859-1";
  bool digits = name.find_first_not_of("0123456789") == std::string::npos;
  if (digits) name = "CP" + name;
  iconv_t cd = iconv_open("UTF-8", name.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return {};
  iconv_close(cd);
  return name;
}

namespace {

// Mazovia, the Polish DOS code page (620 in dBase, also known as 667, 790 and 991): code
// page 437 with 17 of its letters replaced by Polish ones (0x86 ą, 0x8D ć, 0x8F Ą, 0x90 Ę,
// 0x91 ę, 0x92 ł, 0x95 Ć, 0x98 Ś, 0x9C Ł, 0x9E ś, 0xA0 Ź, 0xA1 Ż, 0xA3 Ó, 0xA4 ń, 0xA5 Ń,
// 0xA6 ź, 0xA7 ż; ó at 0xA2 is 437's own), box drawing and symbols left as they are.
constexpr char16_t MazoviaHigh[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x0105, 0x00E7,  // 80
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x0107, 0x00C4, 0x0104,  // 88
    0x0118, 0x0119, 0x0142, 0x00F4, 0x00F6, 0x0106, 0x00FB, 0x00F9,  // 90
    0x015A, 0x00D6, 0x00DC, 0x00A2, 0x0141, 0x00A5, 0x015B, 0x0192,  // 98
    0x0179, 0x017B, 0x00F3, 0x00D3, 0x0144, 0x0143, 0x017A, 0x017C,  // A0
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,  // A8
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,  // B0
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,  // B8
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,  // C0
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,  // C8
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,  // D0
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,  // D8
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,  // E0
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,  // E8
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,  // F0
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,  // F8
};

bool isMultiByte(const std::string& cp) {
  return cp == "CP932" || cp == "CP936" || cp == "CP949" || cp == "CP950" || cp == "UTF-8";
}

}  // namespace

TextDecoder::TextDecoder(std::string codePage) : codePage_(std::move(codePage)) {
  if (codePage_.empty()) {
    guess_ = true;
    codePage_ = "CP850";
  } else if (codePage_ == "UTF-8") {
    utf8_ = true;
    return;
  }
  if (codePage_ == MazoviaCodePage) {  // iconv has no Mazovia: the table above
    for (size_t b = 0; b < 128; ++b) {
      high_[b].clear();
      appendUtf8(high_[b], MazoviaHigh[b]);
    }
    return;
  }
  multiByte_ = isMultiByte(codePage_);
  if (multiByte_) return;
  for (int b = 0x80; b < 0x100; ++b) {
    char byte = static_cast<char>(b);
    high_[static_cast<size_t>(b - 0x80)] =
        fromCodePage(std::string_view(&byte, 1), codePage_.c_str());
  }
}

void TextDecoder::decode(std::string_view bytes, std::string& out) const {
  out.clear();
  size_t i = 0;
  while (i < bytes.size() && static_cast<unsigned char>(bytes[i]) < 0x80) ++i;
  if (i == bytes.size()) {
    out.assign(bytes.data(), bytes.size());
    return;
  }
  if (utf8_ || (guess_ && isValidUtf8(bytes))) {
    if (utf8_ && !isValidUtf8(bytes)) {
      out = utf8OrCp1252(bytes);
      return;
    }
    out.assign(bytes.data(), bytes.size());
    return;
  }
  if (multiByte_) {
    out = fromCodePage(bytes, codePage_.c_str());
    return;
  }
  out.reserve(bytes.size() + 8);
  out.assign(bytes.data(), i);
  for (; i < bytes.size(); ++i) {
    auto c = static_cast<unsigned char>(bytes[i]);
    if (c < 0x80)
      out += static_cast<char>(c);
    else
      out += high_[c - 0x80];
  }
}

bool appendWindows1252(std::string_view text, std::string& out) {
  size_t i = 0;
  while (i < text.size()) {
    char byte;
    if (!windows1252Byte(nextCodePoint(text, i), byte)) return false;
    out += byte;
  }
  return true;
}

}  // namespace tabulor::dbase
