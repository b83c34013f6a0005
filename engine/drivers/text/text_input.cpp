// Encoding choice and chunked decoding of text files.
#include "engine/drivers/text/text_input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#include "engine/engine_error.h"
#include "engine/file_names.h"
#include "engine/message_text.h"
#include "engine/text_codec.h"

namespace tabulor {

namespace {

constexpr size_t ChunkBytes = 1 << 20;
// How much of a file without byte-order mark is checked to choose between UTF-8 and an
// 8-bit code page. The rest is checked chunk by chunk as it is read, so opening a file (a
// preview reads two records) never reads the whole of it.
constexpr uint64_t EncodingProbeBytes = 4 << 20;

bool allDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

// Length of the UTF-8 sequence a lead byte starts (1 for ASCII and for invalid bytes).
size_t sequenceLength(unsigned char c) {
  if ((c & 0xE0) == 0xC0) return 2;
  if ((c & 0xF0) == 0xE0) return 3;
  if ((c & 0xF8) == 0xF0) return 4;
  return 1;
}

// Where to cut `s` so that no UTF-8 sequence is split: the start of a trailing sequence
// that is not complete yet, else s.size().
size_t completeUtf8Prefix(std::string_view s) {
  size_t n = s.size();
  for (size_t back = 1; back <= 4 && back <= n; ++back) {
    auto c = static_cast<unsigned char>(s[n - back]);
    if ((c & 0xC0) == 0x80) continue;  // continuation byte: keep looking for the lead
    return sequenceLength(c) > back ? n - back : n;
  }
  return n;
}

// Valid UTF-8 sequences as they are, every other byte read as Windows-1252.
std::string repairUtf8(std::string_view s) {
  std::string out;
  out.reserve(s.size() + 16);
  size_t i = 0;
  while (i < s.size()) {
    size_t len = sequenceLength(static_cast<unsigned char>(s[i]));
    if (static_cast<unsigned char>(s[i]) >= 0x80 &&
        (i + len > s.size() || len == 1 || !isValidUtf8(s.substr(i, len)))) {
      out += cp1252ToUtf8(s.substr(i, 1));
      ++i;
    } else {
      out.append(s.data() + i, len);
      i += len;
    }
  }
  return out;
}

}  // namespace

TextInput::TextInput(const std::string& path, std::string displayName,
                     const std::string& characterSet)
    : displayName_(std::move(displayName)) {
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0)
    throw EngineError(ErrorKind::Io, "Cannot open " + displayName_ + ": " + systemReason(errno));

  struct stat st;
  if (::fstat(fd_, &st) == 0) fileSize_ = static_cast<uint64_t>(st.st_size);
  unsigned char bom[3] = {0, 0, 0};
  ssize_t got = ::pread(fd_, bom, 3, 0);
  if (got < 0) {
    int err = errno;
    ::close(fd_);
    fd_ = -1;
    throw EngineError(ErrorKind::Io, "Cannot read " + displayName_ + ": " + systemReason(err));
  }
  std::string set = toLowerAscii(characterSet);
  if (got >= 3 && bom[0] == 0xEF && bom[1] == 0xBB && bom[2] == 0xBF) {
    // Marked as UTF-8; stray invalid bytes are read one by one as Windows-1252 so that the
    // text stays valid UTF-8 inside the program.
    encoding_ = TextEncoding::Utf8Repaired;
    dataStart_ = 3;
  } else if (got >= 2 && bom[0] == 0xFF && bom[1] == 0xFE) {
    encoding_ = TextEncoding::Utf16Le;
    dataStart_ = 2;
  } else if (got >= 2 && bom[0] == 0xFE && bom[1] == 0xFF) {
    encoding_ = TextEncoding::Utf16Be;
    dataStart_ = 2;
  } else if (set == "unicode" || set == "1200" || set == "utf-16" || set == "utf-16le") {
    encoding_ = TextEncoding::Utf16Le;
  } else if (set == "1201" || set == "utf-16be") {
    encoding_ = TextEncoding::Utf16Be;
  } else if (startIsUtf8()) {
    // Also for files that declare an 8-bit character set: text in those is almost never
    // valid UTF-8 unless it is plain ASCII, which reads the same either way. An invalid
    // byte beyond the probed start is read as Windows-1252, as it would have been had
    // the whole file been taken for Windows-1252.
    encoding_ = fileSize_ <= EncodingProbeBytes ? TextEncoding::Utf8 : TextEncoding::Utf8Repaired;
  } else if (set.empty() || set == "ansi" || set == "1252" || set == "windows-1252" ||
             set == "cp1252" || set == "utf-8" || set == "65001") {
    encoding_ = TextEncoding::Cp1252;
  } else {
    encoding_ = TextEncoding::CodePage;
    if (set == "oem")
      codePage_ = "CP437";
    else if (allDigits(set))
      codePage_ = "CP" + set;
    else
      codePage_ = characterSet;
  }
  rewind();
}

TextInput::~TextInput() {
  if (fd_ >= 0) ::close(fd_);
}

size_t TextInput::readRaw(char* dst, size_t capacity) {
  size_t total = 0;
  while (total < capacity) {
    ssize_t n = ::read(fd_, dst + total, capacity - total);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw EngineError(ErrorKind::Io, "Cannot read " + displayName_ + ": " + systemReason(errno));
    }
    if (n == 0) break;
    total += static_cast<size_t>(n);
  }
  return total;
}

bool TextInput::startIsUtf8() {
  if (::lseek(fd_, 0, SEEK_SET) < 0) return false;
  size_t chunkBytes = std::clamp<uint64_t>(fileSize_, 4096, ChunkBytes);
  std::string buffer(chunkBytes + 4, '\0');
  size_t carried = 0;
  for (uint64_t probed = 0;; probed += chunkBytes) {
    if (probed >= EncodingProbeBytes) return true;
    size_t n = readRaw(buffer.data() + carried, chunkBytes);
    size_t have = carried + n;
    std::string_view chunk(buffer.data(), have);
    size_t cut = n == 0 ? have : completeUtf8Prefix(chunk);
    if (!isValidUtf8(chunk.substr(0, cut))) return false;
    if (n == 0) return true;
    carried = have - cut;
    std::memmove(buffer.data(), buffer.data() + cut, carried);
  }
}

void TextInput::rewind() {
  if (::lseek(fd_, static_cast<off_t>(dataStart_), SEEK_SET) < 0)
    throw EngineError(ErrorKind::Io, "Cannot read " + displayName_ + ": " + systemReason(errno));
  carry_.clear();
  decoded_.clear();
  decodedPos_ = 0;
}

size_t TextInput::read(char* dst, size_t capacity) {
  if (encoding_ == TextEncoding::Utf8) return readRaw(dst, capacity);

  for (;;) {
    if (decodedPos_ < decoded_.size()) {
      size_t n = std::min(capacity, decoded_.size() - decodedPos_);
      std::memcpy(dst, decoded_.data() + decodedPos_, n);
      decodedPos_ += n;
      return n;
    }
    decoded_.clear();
    decodedPos_ = 0;
    raw_.assign(carry_);
    carry_.clear();
    size_t before = raw_.size();
    raw_.resize(before + ChunkBytes / 4);
    size_t n = readRaw(raw_.data() + before, ChunkBytes / 4);
    raw_.resize(before + n);
    bool atEnd = n == 0;
    if (raw_.empty()) return 0;

    if (encoding_ == TextEncoding::Utf16Le || encoding_ == TextEncoding::Utf16Be) {
      bool bigEndian = encoding_ == TextEncoding::Utf16Be;
      size_t whole = raw_.size() & ~size_t(1);
      if (!atEnd && whole >= 2) {
        // Hold back a high surrogate whose low half is in the next chunk.
        auto b0 = static_cast<unsigned char>(raw_[whole - 2]);
        auto b1 = static_cast<unsigned char>(raw_[whole - 1]);
        unsigned unit = bigEndian ? (b0 << 8 | b1) : (b1 << 8 | b0);
        if (unit >= 0xD800 && unit <= 0xDBFF) whole -= 2;
      }
      if (atEnd) whole = raw_.size();  // an odd last byte is dropped by the decoder
      carry_.assign(raw_, whole, std::string::npos);
      decoded_ = utf16ToUtf8(std::string_view(raw_).substr(0, whole), bigEndian);
    } else if (encoding_ == TextEncoding::Utf8Repaired) {
      size_t whole = atEnd ? raw_.size() : completeUtf8Prefix(raw_);
      carry_.assign(raw_, whole, std::string::npos);
      std::string_view text = std::string_view(raw_).substr(0, whole);
      if (isValidUtf8(text))
        decoded_.assign(text);
      else
        decoded_ = repairUtf8(text);
    } else if (encoding_ == TextEncoding::Cp1252) {
      decoded_ = cp1252ToUtf8(raw_);
    } else {
      decoded_ = fromCodePage(raw_, codePage_.c_str());
    }
    if (decoded_.empty() && atEnd) return 0;
  }
}

}  // namespace tabulor
