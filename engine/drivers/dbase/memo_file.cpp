// Memo blocks. dBASE III memos run from their block to the first 0x1A; dBASE IV memos carry
// an 8-byte block header FF FF 08 00 + length; FoxPro .fpt memos a big-endian type and
// length. Every offset and length is checked against the size of the memo file.
#include "engine/drivers/dbase/memo_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "engine/drivers/dbase/dbf_header.h"
#include "engine/engine_error.h"
#include "engine/file_names.h"

namespace tabulor::dbase {

MemoReader::MemoReader(const std::string& path, bool fpt)
    : path_(path), fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)), fpt_(fpt) {
  if (!fd_.valid()) throw EngineError(ErrorKind::Io, "Cannot open memo file " + path);
  struct stat st {};
  if (fstat(fd_.get(), &st) == 0) size_ = static_cast<uint64_t>(st.st_size);
  char header[22] = {};
  if (size_ >= 22) readAt(0, header, sizeof header);
  if (fpt_) {
    blockSize_ = static_cast<uint32_t>(static_cast<unsigned char>(header[6]) << 8 |
                                       static_cast<unsigned char>(header[7]));
  } else {
    blockSize_ = readU16(header + 20);
  }
  if (blockSize_ == 0) blockSize_ = 512;
}

void MemoReader::readAt(uint64_t offset, char* buffer, size_t size) {
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::pread(fd_.get(), buffer + done, size - done, static_cast<off_t>(offset + done));
    if (n <= 0) throw EngineError(ErrorKind::Io, "Cannot read memo file " + path_);
    done += static_cast<size_t>(n);
  }
}

void MemoReader::read(uint32_t block, std::string& out, bool* binary) {
  out.clear();
  if (binary) *binary = false;
  uint64_t start = static_cast<uint64_t>(block) * blockSize_;
  std::string name(fileNameOf(path_));
  if (block == 0 || start >= size_)
    throw EngineError(ErrorKind::BadInput, name + ": memo block " + std::to_string(block) +
                                               " lies past the end of the memo file");
  if (fpt_) {
    char head[8];
    if (start + 8 > size_)
      throw EngineError(ErrorKind::BadInput,
                        name + ": memo block " + std::to_string(block) + " is truncated");
    readAt(start, head, 8);
    uint32_t type = readU32BigEndian(head), length = readU32BigEndian(head + 4);
    if (start + 8 + length > size_)
      throw EngineError(ErrorKind::BadInput, name + ": memo at block " + std::to_string(block) +
                                                 " runs past the end of the memo file");
    if (binary) *binary = type == 0;
    out.resize(length);
    if (length) readAt(start + 8, out.data(), length);
    return;
  }
  char head[8] = {};
  size_t headSize = static_cast<size_t>(size_ - start < 8 ? size_ - start : 8);
  readAt(start, head, headSize);
  if (headSize == 8 && static_cast<unsigned char>(head[0]) == 0xFF &&
      static_cast<unsigned char>(head[1]) == 0xFF && head[2] == 0x08 && head[3] == 0x00) {
    uint32_t length = readU32(head + 4);
    if (length < 8 || start + length > size_)
      throw EngineError(ErrorKind::BadInput, name + ": memo at block " + std::to_string(block) +
                                                 " runs past the end of the memo file");
    out.resize(length - 8);
    if (length > 8) readAt(start + 8, out.data(), length - 8);
    return;
  }
  // dBASE III: the text runs to the first 0x1A (or, in a damaged file, to the end).
  char chunk[4096];
  uint64_t at = start;
  while (at < size_) {
    size_t n = static_cast<size_t>(size_ - at < sizeof chunk ? size_ - at : sizeof chunk);
    readAt(at, chunk, n);
    const void* end = std::memchr(chunk, EndOfFile, n);
    if (end) {
      out.append(chunk, static_cast<size_t>(static_cast<const char*>(end) - chunk));
      return;
    }
    out.append(chunk, n);
    at += n;
  }
}

MemoWriter::MemoWriter(const std::string& path, MemoLayout layout, const std::string& dbfBaseName)
    : file_(path), layout_(layout) {
  std::string header(DbtBlockSize, '\0');
  if (layout_ == MemoLayout::DbaseIII) {
    header[16] = 0x03;
  } else {
    for (size_t k = 0; k < 8; ++k) header[8 + k] = k < dbfBaseName.size() ? dbfBaseName[k] : ' ';
    putU16(header, 20, static_cast<uint16_t>(DbtBlockSize));
  }
  file_.write(header);
}

uint32_t MemoWriter::append(const std::string& text) {
  uint32_t block = nextBlock_;
  uint64_t used;
  if (layout_ == MemoLayout::DbaseIII) {
    if (text.find(static_cast<char>(EndOfFile)) != std::string::npos)
      throw EngineError(ErrorKind::Limit,
                        "a dBASE III memo cannot hold the character 0x1A (it ends the memo)");
    file_.write(text);
    file_.write("\x1A\x1A");
    used = text.size() + 2;
  } else {
    std::string head("\xFF\xFF\x08\x00\0\0\0\0", 8);
    putU32(head, 4, static_cast<uint32_t>(text.size() + 8));
    file_.write(head);
    file_.write(text);
    // Past the stated length, so outside the memo; readers that ignore the length and read
    // to dBASE IV's 0x1F filler (as dbfread does) still stop at the right place.
    file_.put('\x1F');
    used = text.size() + 9;
  }
  uint64_t blocks = (used + DbtBlockSize - 1) / DbtBlockSize;
  uint64_t pad = blocks * DbtBlockSize - used;
  static const std::string zeros(DbtBlockSize, '\0');
  file_.write(std::string_view(zeros.data(), pad));
  if (nextBlock_ + blocks > 0xFFFFFFFFull)
    throw EngineError(ErrorKind::Limit, "the memo file exceeds 4,294,967,295 blocks");
  nextBlock_ += static_cast<uint32_t>(blocks);
  return block;
}

void MemoWriter::finish() {
  std::string next(4, '\0');
  putU32(next, 0, nextBlock_);
  file_.writeAt(0, next);
  file_.commit();
}

}  // namespace tabulor::dbase
