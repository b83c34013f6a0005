// CsvScanner: splits the UTF-8 text of a TextInput into records of fields, RFC 4180 style:
// fields in double quotes may hold the delimiter, doubled quotes and line breaks; records
// end at LF, CR LF or a lone CR. Fields are views into one reused buffer, so reading a
// record allocates nothing once the buffer has grown to the longest record.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/drivers/text/text_input.h"

namespace tabulor {

class CsvScanner {
 public:
  // The longest record accepted, and the most fields in one record.
  static constexpr size_t MaxRecordBytes = size_t(256) << 20;
  static constexpr size_t MaxRecordFields = size_t(1) << 20;

  CsvScanner(TextInput& input, char delimiter);

  // Reads the next record into `fields` (views valid until the next call). Lines that hold
  // nothing at all are skipped. Returns false at the end of the file. Throws EngineError:
  // BadInput for a quoted field that never ends, Limit for a record beyond the limits
  // above; the description names the file and the record (see setRowNumbering).
  bool next(std::vector<std::string_view>& fields);

  // Starts again at the first record.
  void rewind();

  // How records are named in error descriptions: the first record of the file is row
  // `firstRow` (0 for a file whose first record is the header line, named "header line").
  void setRowNumbering(int64_t firstRow) { firstRow_ = firstRow; }
  // The row number (as above) of the record next() returned last.
  int64_t rowNumber() const { return firstRow_ + records_ - 1; }
  // "orders.csv, row 1,204" or "orders.csv, header line" for the record being read.
  std::string where(int64_t row) const;

 private:
  struct Span {
    uint32_t start;  // offset in buffer_
    uint32_t length;
    bool quoted;
  };
  enum class Scan { Complete, NeedMore };

  Scan scanRecord(size_t& end);
  void fill();
  [[noreturn]] void unterminatedQuote();

  TextInput& input_;
  char delimiter_;
  bool special_[256] = {};
  size_t capacity_;
  std::unique_ptr<char[]> buffer_;
  size_t pos_ = 0, end_ = 0;
  bool eof_ = false;
  std::vector<Span> spans_;
  int64_t records_ = 0;
  int64_t firstRow_ = 1;
};

// Unquotes a field that starts with '"' in place: doubled quotes become one, text after the
// closing quote is kept as it stands. Returns the new length.
size_t unquoteInPlace(char* field, size_t length);

}  // namespace tabulor
