// The byte stream between the Jet reading helper process and the driver: tagged messages
// (tables, fields, rows, an error, the end) with little-endian integers and
// length-prefixed strings. Writer side buffers and flushes to a file descriptor; reader
// side decodes from a byte source supplied by the caller.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "engine/driver.h"
#include "engine/engine_error.h"
#include "engine/schema.h"
#include "engine/variant.h"

namespace tabulor::jet {

enum MessageTag : char {
  TagTable = 'T',   // u32 attributes, str name
  TagFields = 'F',  // u32 count, then per field u16 type, i32 size, str name
  TagRow = 'R',     // per field: u16 type, payload by type
  TagError = 'E',   // u32 error kind, str description
  TagEnd = 'Z',
};

class MessageWriter {
 public:
  explicit MessageWriter(int fd) : fd_(fd) {}
  ~MessageWriter() { flush(); }
  void table(const TableDefInfo& t);
  void fields(const std::vector<FieldInfo>& fields);
  void row(const std::vector<Variant>& row);
  void error(const EngineError& e);
  void end();
  // Returns false once the reading side has gone away.
  bool flush();

 private:
  void u16(uint16_t v) { buf_.append(reinterpret_cast<const char*>(&v), 2); }
  void u32(uint32_t v) { buf_.append(reinterpret_cast<const char*>(&v), 4); }
  void str(const std::string& s) {
    u32(static_cast<uint32_t>(s.size()));
    buf_ += s;
  }
  int fd_;
  std::string buf_;
  bool broken_ = false;
};

// Reads messages; `fill(buffer)` appends more bytes to buffer or throws.
class MessageReader {
 public:
  explicit MessageReader(std::function<void(std::string&)> fill) : fill_(std::move(fill)) {}
  char tag() { return static_cast<char>(byte()); }
  TableDefInfo table();
  std::vector<FieldInfo> fields();
  void row(std::vector<Variant>& row, size_t count);
  EngineError error();

 private:
  void need(size_t n);
  uint8_t byte();
  // A little-endian fixed-size value, as the helper wrote it with memcpy.
  template <typename T>
  T fixed() {
    need(sizeof(T));
    T v;
    std::memcpy(&v, buf_.data() + pos_, sizeof(T));
    pos_ += sizeof(T);
    return v;
  }
  uint16_t u16() { return fixed<uint16_t>(); }
  uint32_t u32() { return fixed<uint32_t>(); }
  uint64_t u64() { return fixed<uint64_t>(); }
  void str(std::string& out);

  std::function<void(std::string&)> fill_;
  std::string buf_;
  size_t pos_ = 0;
};

}  // namespace tabulor::jet
