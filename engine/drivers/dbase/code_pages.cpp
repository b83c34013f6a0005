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
    case 0x6A:
      return "CP737";
    case 0x6B:
      return "CP857";
    case 0x7D:
      return "CP1255";
    case 0x7E:
      return "CP1256";
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
