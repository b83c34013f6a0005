// Names and values cut for error messages.
#include "engine/message_text.h"

#include <cerrno>
#include <cstring>

#include "engine/text_codec.h"

namespace tabulor {

std::string clipForMessage(std::string_view text) {
  if (text.size() <= MessageQuoteChars) return std::string(text);  // never more characters
  std::string_view head = utf8Prefix(text, MessageQuoteChars);
  // Bytes that are not UTF-8 (continuation bytes alone count as no character) are cut by
  // the longest run of characters that many code points can take.
  if (head.size() > 4 * MessageQuoteChars) head = head.substr(0, 4 * MessageQuoteChars);
  if (head.size() == text.size()) return std::string(text);
  return std::string(head) + "...";
}

std::string withThousands(int64_t n) {
  std::string digits = std::to_string(n < 0 ? -n : n), out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return n < 0 ? "-" + out : out;
}

std::string systemReason(int error) {
  if (error == ENOSPC) return "the disk is full";
  if (error == EDQUOT) return "the disk quota is exhausted";
  if (error == ENAMETOOLONG) return "the file name is too long";
  return std::strerror(error);
}

}  // namespace tabulor
