// TextInput: the bytes of one text file as UTF-8, whatever the file's encoding. It picks
// the encoding (byte-order mark, a forced character set, or a whole-file UTF-8 check that
// falls back to Windows-1252) and converts chunk by chunk, so a file of any size is read
// in constant memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tabulor {

enum class TextEncoding {
  Utf8,
  Utf8Repaired,  // marked UTF-8 but with invalid bytes: those read as Windows-1252
  Utf16Le,
  Utf16Be,
  Cp1252,
  CodePage,
};

class TextInput {
 public:
  // Opens `path`. `characterSet` is a schema.ini CharacterSet value ("" when none):
  // ANSI, OEM, UTF-8, UNICODE or a code page number/name. A byte-order mark always wins;
  // without one, UTF-8 is used when the whole file is valid UTF-8, else the character set
  // given, else Windows-1252. `displayName` names the file in error descriptions.
  // Throws EngineError(Io) when the file cannot be opened or read.
  TextInput(const std::string& path, std::string displayName, const std::string& characterSet);
  ~TextInput();
  TextInput(const TextInput&) = delete;
  TextInput& operator=(const TextInput&) = delete;

  // Reads up to `capacity` bytes of UTF-8 into `dst`; 0 only at the end of the file.
  size_t read(char* dst, size_t capacity);
  // Starts again at the first character (after any byte-order mark).
  void rewind();

  TextEncoding encoding() const { return encoding_; }
  // Size of the file in bytes when it was opened (a hint for buffer sizes).
  uint64_t fileSize() const { return fileSize_; }
  const std::string& displayName() const { return displayName_; }

 private:
  size_t readRaw(char* dst, size_t capacity);
  bool wholeFileIsUtf8();

  int fd_ = -1;
  std::string displayName_;
  TextEncoding encoding_ = TextEncoding::Utf8;
  std::string codePage_;  // iconv name for TextEncoding::CodePage
  uint64_t fileSize_ = 0;
  uint64_t dataStart_ = 0;  // bytes of the byte-order mark
  std::string raw_;         // undecoded bytes of the current chunk
  std::string carry_;       // UTF-16 bytes held back for the next chunk (odd byte, high surrogate)
  std::string decoded_;     // decoded bytes not handed out yet, from decodedPos_
  size_t decodedPos_ = 0;
};

}  // namespace tabulor
