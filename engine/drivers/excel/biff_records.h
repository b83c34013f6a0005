// BIFF record framing: the record ids the driver reads and writes, little-endian field
// access, a walker over the records of a Workbook stream, and a reader for data that runs
// on across CONTINUE records (shared strings, long labels and formula strings).
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace tabulor::excel {

namespace rec {
inline constexpr uint16_t Formula = 0x0006;
inline constexpr uint16_t Eof = 0x000A;
inline constexpr uint16_t Name = 0x0018;
inline constexpr uint16_t DateMode = 0x0022;
inline constexpr uint16_t FilePass = 0x002F;
inline constexpr uint16_t Font = 0x0031;
inline constexpr uint16_t Continue = 0x003C;
inline constexpr uint16_t Window1 = 0x003D;
inline constexpr uint16_t CodePage = 0x0042;
inline constexpr uint16_t WriteAccess = 0x005C;
inline constexpr uint16_t ColInfo = 0x007D;
inline constexpr uint16_t BoundSheet = 0x0085;
inline constexpr uint16_t MulRk = 0x00BD;
inline constexpr uint16_t MulBlank = 0x00BE;
inline constexpr uint16_t Rstring = 0x00D6;
inline constexpr uint16_t Xf = 0x00E0;
inline constexpr uint16_t Sst = 0x00FC;
inline constexpr uint16_t ExtSst = 0x00FF;
inline constexpr uint16_t LabelSst = 0x00FD;
inline constexpr uint16_t Dimensions = 0x0200;
inline constexpr uint16_t Blank = 0x0201;
inline constexpr uint16_t Number = 0x0203;
inline constexpr uint16_t Label = 0x0204;
inline constexpr uint16_t BoolErr = 0x0205;
inline constexpr uint16_t String = 0x0207;
inline constexpr uint16_t Row = 0x0208;
inline constexpr uint16_t Window2 = 0x023E;
inline constexpr uint16_t Rk = 0x027E;
inline constexpr uint16_t Style = 0x0293;
inline constexpr uint16_t Format = 0x041E;
inline constexpr uint16_t Bof = 0x0809;
// BOF ids of the older versions, found only to name them in an error.
inline constexpr uint16_t Bof2 = 0x0009;
inline constexpr uint16_t Bof3 = 0x0209;
inline constexpr uint16_t Bof4 = 0x0409;
}  // namespace rec

// Largest data part of one BIFF8 record; longer data goes on in CONTINUE records.
inline constexpr size_t MaxRecordData = 8224;

inline uint16_t u16At(const char* p) {
  return static_cast<uint16_t>(static_cast<uint8_t>(p[0]) | (static_cast<uint8_t>(p[1]) << 8));
}
inline uint32_t u32At(const char* p) {
  return static_cast<uint32_t>(u16At(p)) | (static_cast<uint32_t>(u16At(p + 2)) << 16);
}
inline double f64At(const char* p) {
  double d;
  std::memcpy(&d, p, 8);  // the hosts this builds on are little-endian, as BIFF is
  return d;
}

inline void putU8(std::string& out, uint8_t v) {
  out.push_back(static_cast<char>(v));
}
inline void putU16(std::string& out, uint16_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>(v >> 8));
}
inline void putU32(std::string& out, uint32_t v) {
  putU16(out, static_cast<uint16_t>(v & 0xFFFF));
  putU16(out, static_cast<uint16_t>(v >> 16));
}
inline void putF64(std::string& out, double d) {
  char b[8];
  std::memcpy(b, &d, 8);
  out.append(b, 8);
}
// Appends a record header; the caller appends exactly `length` bytes of data after it.
inline void putRecordHeader(std::string& out, uint16_t type, size_t length) {
  putU16(out, type);
  putU16(out, static_cast<uint16_t>(length));
}
inline void putRecord(std::string& out, uint16_t type, std::string_view data) {
  putRecordHeader(out, type, data.size());
  out.append(data);
}

// One record as found in the stream: its type, its data, and the stream offset of its
// header.
struct Record {
  uint16_t type = 0;
  std::string_view data;
  size_t offset = 0;
};

// Walks records from a position of a stream. next() returns false at the end of the stream;
// a record whose length runs past the end is reported by truncated() (and ends the walk),
// so a damaged stream never makes the walker read outside it.
class RecordWalker {
 public:
  RecordWalker(std::string_view stream, size_t start) : stream_(stream), pos_(start) {}
  bool next(Record& r) {
    if (pos_ + 4 > stream_.size()) {
      if (pos_ < stream_.size()) truncated_ = true;
      pos_ = stream_.size();
      return false;
    }
    const char* p = stream_.data() + pos_;
    r.type = u16At(p);
    size_t len = u16At(p + 2);
    if (pos_ + 4 + len > stream_.size()) {
      truncated_ = true;
      pos_ = stream_.size();
      return false;
    }
    r.offset = pos_;
    r.data = stream_.substr(pos_ + 4, len);
    pos_ += 4 + len;
    return true;
  }
  // The type of the record that next() would return, 0xFFFF at the end.
  uint16_t peekType() const {
    return pos_ + 4 <= stream_.size() ? u16At(stream_.data() + pos_) : 0xFFFF;
  }
  size_t position() const { return pos_; }
  bool truncated() const { return truncated_; }

 private:
  std::string_view stream_;
  size_t pos_;
  bool truncated_ = false;
};

// Reads the data of one record and of the CONTINUE records after it as one sequence, with
// the BIFF8 rule that character data split across a record boundary goes on after a fresh
// option byte. Every read is bounds-checked: ok() turns false once a read ran short, and
// reads past the end give zeros.
class ContinuedReader {
 public:
  // `walker` is positioned just after the first record, whose data is `first`.
  ContinuedReader(std::string_view first, RecordWalker* walker) : cur_(first), walker_(walker) {}

  uint8_t u8();
  uint16_t u16();
  uint32_t u32();
  void skip(size_t n);
  // Reads `count` characters of a BIFF8 string whose option byte was `flags` (bit 0: 16-bit
  // characters), appending them as UTF-8 to `out`.
  void chars(size_t count, uint8_t flags, std::string& out);
  // Reads a BIFF8 XLUnicodeString with a 16-bit (wide = true) or 8-bit character count,
  // skipping its rich-text runs and phonetic data.
  std::string unicodeString(bool wideCount);
  bool ok() const { return ok_; }
  // True when nothing is left in the current record and no CONTINUE follows.
  bool atEnd();

 private:
  bool advance();  // moves to the next CONTINUE record; false when none follows
  std::string_view cur_;
  size_t pos_ = 0;
  RecordWalker* walker_;
  bool ok_ = true;
  std::u16string units_;
};

}  // namespace tabulor::excel
