// Record splitting for delimited text: a scan that finds the fields of one record without
// touching the buffer (so it can restart after a refill), then in-place unquoting.
#include "engine/drivers/text/csv_scanner.h"

#include <cstring>

#include "engine/engine_error.h"
#include "engine/message_text.h"

namespace tabulor {

size_t unquoteInPlace(char* s, size_t n) {
  size_t read = 1, write = 0;
  bool inQuotes = true;
  while (read < n) {
    char c = s[read];
    if (inQuotes && c == '"') {
      if (read + 1 < n && s[read + 1] == '"') {
        s[write++] = '"';
        read += 2;
      } else {
        inQuotes = false;
        ++read;
      }
    } else {
      s[write++] = c;
      ++read;
    }
  }
  return write;
}

CsvScanner::CsvScanner(TextInput& input, char delimiter)
    : input_(input),
      delimiter_(delimiter),
      // Small files get a small buffer; it grows when a record needs more.
      capacity_(input.fileSize() < (size_t(256) << 10) ? size_t(128) << 10 : size_t(1) << 20),
      buffer_(new char[capacity_]) {
  special_[static_cast<unsigned char>(delimiter)] = true;
  special_[static_cast<unsigned char>('\r')] = true;
  special_[static_cast<unsigned char>('\n')] = true;
}

std::string CsvScanner::where(int64_t row) const {
  return input_.displayName() + (row <= 0 ? ", header line" : ", row " + withThousands(row));
}

void CsvScanner::rewind() {
  input_.rewind();
  pos_ = end_ = 0;
  eof_ = false;
  records_ = 0;
}

void CsvScanner::unterminatedQuote() {
  throw EngineError(ErrorKind::BadInput,
                    where(firstRow_ + records_) +
                        ": unterminated quoted field (a field opened with \" is never closed)");
}

void CsvScanner::fill() {
  // Keep the unfinished record, moved to the front; grow when it fills the whole buffer.
  if (pos_ > 0) {
    std::memmove(buffer_.get(), buffer_.get() + pos_, end_ - pos_);
    end_ -= pos_;
    pos_ = 0;
  }
  if (capacity_ - end_ < (size_t(64) << 10)) {
    if (capacity_ >= MaxRecordBytes)
      throw EngineError(ErrorKind::Limit, where(firstRow_ + records_) +
                                              ": the record is longer than " +
                                              withThousands(MaxRecordBytes >> 20) + " MB");
    size_t grown = capacity_ * 2;
    std::unique_ptr<char[]> bigger(new char[grown]);
    std::memcpy(bigger.get(), buffer_.get(), end_);
    buffer_ = std::move(bigger);
    capacity_ = grown;
  }
  // Fill the free space completely: a record that spans refills is scanned again from its
  // start, so small reads would make long records quadratic.
  while (end_ < capacity_) {
    size_t n = input_.read(buffer_.get() + end_, capacity_ - end_);
    if (n == 0) {
      eof_ = true;
      break;
    }
    end_ += n;
  }
}

CsvScanner::Scan CsvScanner::scanRecord(size_t& recordEnd) {
  const char* b = buffer_.get();
  size_t i = pos_;
  spans_.clear();
  for (;;) {
    size_t start = i;
    bool quoted = false;
    if (i < end_ && b[i] == '"') {
      quoted = true;
      ++i;
      for (;;) {
        const void* q = std::memchr(b + i, '"', end_ - i);
        if (!q) {
          if (eof_) unterminatedQuote();
          return Scan::NeedMore;
        }
        i = static_cast<size_t>(static_cast<const char*>(q) - b) + 1;
        if (i == end_) {
          if (!eof_) return Scan::NeedMore;  // the next byte may be a second quote
          break;
        }
        if (b[i] != '"') break;  // closing quote
        ++i;                     // doubled quote
      }
    }
    while (i < end_ && !special_[static_cast<unsigned char>(b[i])]) ++i;
    if (i == end_ && !eof_) return Scan::NeedMore;
    if (spans_.size() == MaxRecordFields)
      throw EngineError(ErrorKind::Limit, where(firstRow_ + records_) + ": more than " +
                                              withThousands(MaxRecordFields) + " fields");
    spans_.push_back({static_cast<uint32_t>(start), static_cast<uint32_t>(i - start), quoted});
    if (i == end_) {
      recordEnd = i;
      return Scan::Complete;
    }
    char c = b[i];
    if (c == delimiter_) {
      ++i;
      continue;
    }
    if (c == '\r') {
      if (i + 1 == end_ && !eof_) return Scan::NeedMore;
      i += (i + 1 < end_ && b[i + 1] == '\n') ? 2 : 1;
    } else {
      ++i;
    }
    recordEnd = i;
    return Scan::Complete;
  }
}

bool CsvScanner::next(std::vector<std::string_view>& fields) {
  for (;;) {
    if (pos_ == end_) {
      if (eof_) {
        fields.clear();
        return false;
      }
      fill();
      continue;
    }
    size_t recordEnd = 0;
    if (scanRecord(recordEnd) == Scan::NeedMore) {
      fill();
      continue;
    }
    pos_ = recordEnd;
    // A line with nothing on it is no record.
    if (spans_.size() == 1 && spans_[0].length == 0) continue;
    ++records_;
    char* b = buffer_.get();
    fields.resize(spans_.size());
    for (size_t k = 0; k < spans_.size(); ++k) {
      const Span& s = spans_[k];
      size_t length = s.quoted ? unquoteInPlace(b + s.start, s.length) : s.length;
      fields[k] = std::string_view(b + s.start, length);
    }
    return true;
  }
}

}  // namespace tabulor
