// Jet 4 text as stored in rows and long values: UTF-16LE, or Jet's "compressed" form.
#include "engine/drivers/jet/jet_text.h"

#include "engine/text_codec.h"

namespace tabulor::jet {

std::string jet4TextToUtf8(const uint8_t* data, size_t size) {
  std::string out;
  if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
    // Compressed: runs of one-byte characters (high byte 0); a 0 byte toggles to two-byte
    // characters and back.
    std::string utf16;
    utf16.reserve(size * 2);
    bool compressed = true;
    for (size_t i = 2; i < size;) {
      if (data[i] == 0) {
        compressed = !compressed;
        ++i;
      } else if (compressed) {
        utf16.push_back(static_cast<char>(data[i++]));
        utf16.push_back('\0');
      } else if (i + 1 < size) {
        utf16.push_back(static_cast<char>(data[i]));
        utf16.push_back(static_cast<char>(data[i + 1]));
        i += 2;
      } else {
        break;
      }
    }
    return utf16ToUtf8(utf16);
  }
  return utf16ToUtf8(std::string_view(reinterpret_cast<const char*>(data), size & ~size_t(1)));
}

}  // namespace tabulor::jet
