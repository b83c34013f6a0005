// Encoding and decoding of the helper process's messages.
#include "engine/drivers/jet/reader_protocol.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tabulor::jet {

void MessageWriter::table(const TableDefInfo& t) {
  buf_ += TagTable;
  u32(static_cast<uint32_t>(t.attributes));
  str(t.name);
}

void MessageWriter::fields(const std::vector<FieldInfo>& fields) {
  buf_ += TagFields;
  u32(static_cast<uint32_t>(fields.size()));
  for (const auto& f : fields) {
    u16(f.type);
    u32(static_cast<uint32_t>(f.size));
    str(f.name);
  }
}

void MessageWriter::row(const std::vector<Variant>& row) {
  buf_ += TagRow;
  for (const Variant& v : row) {
    u16(v.vt);
    switch (v.vt) {
      case VT_I2:
      case VT_BOOL:
        u16(static_cast<uint16_t>(v.iVal));
        break;
      case VT_I4:
      case VT_R4:
      case VT_ERROR:
        u32(static_cast<uint32_t>(v.lVal));
        break;
      case VT_R8:
      case VT_DATE:
      case VT_CY:
        buf_.append(reinterpret_cast<const char*>(&v.cyVal), 8);
        break;
      case VT_UI1:
        buf_ += static_cast<char>(v.bVal);
        break;
      case VT_BSTR:
      case VT_DECIMAL:
      case VT_BINARY:
        str(v.str);
        break;
      default:
        break;
    }
  }
  if (buf_.size() >= (1 << 16)) flush();
}

void MessageWriter::error(const EngineError& e) {
  buf_ += TagError;
  u32(static_cast<uint32_t>(e.code()));
  str(e.what());
}

void MessageWriter::end() {
  buf_ += TagEnd;
  flush();
}

bool MessageWriter::flush() {
  size_t done = 0;
  while (!broken_ && done < buf_.size()) {
    ssize_t n = ::write(fd_, buf_.data() + done, buf_.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      broken_ = true;
      break;
    }
    done += static_cast<size_t>(n);
  }
  buf_.clear();
  return !broken_;
}

void MessageReader::need(size_t n) {
  if (pos_ > (1 << 16) && pos_ * 2 > buf_.size()) {
    buf_.erase(0, pos_);
    pos_ = 0;
  }
  while (buf_.size() - pos_ < n) fill_(buf_);
}

uint8_t MessageReader::byte() {
  need(1);
  return static_cast<uint8_t>(buf_[pos_++]);
}

void MessageReader::str(std::string& out) {
  uint32_t n = u32();
  need(n);
  out.assign(buf_.data() + pos_, n);
  pos_ += n;
}

TableDefInfo MessageReader::table() {
  TableDefInfo t;
  t.attributes = static_cast<int32_t>(u32());
  str(t.name);
  return t;
}

std::vector<FieldInfo> MessageReader::fields() {
  std::vector<FieldInfo> out(u32());
  for (auto& f : out) {
    f.type = u16();
    f.size = static_cast<int32_t>(u32());
    str(f.name);
  }
  return out;
}

void MessageReader::row(std::vector<Variant>& row, size_t count) {
  row.resize(count);
  for (Variant& v : row) {
    uint16_t vt = u16();
    v.vt = vt;
    switch (vt) {
      case VT_I2:
      case VT_BOOL:
        v.iVal = static_cast<int16_t>(u16());
        break;
      case VT_I4:
      case VT_R4:
      case VT_ERROR:
        v.lVal = static_cast<int32_t>(u32());
        break;
      case VT_R8:
      case VT_DATE:
      case VT_CY: {
        uint64_t bits = u64();
        std::memcpy(&v.cyVal, &bits, 8);
        break;
      }
      case VT_UI1:
        v.bVal = byte();
        break;
      case VT_BSTR:
      case VT_DECIMAL:
      case VT_BINARY:
        str(v.str);
        break;
      default:
        v.str.clear();
        break;
    }
  }
}

EngineError MessageReader::error() {
  auto kind = static_cast<ErrorKind>(u32());
  std::string text;
  str(text);
  return EngineError(kind, text);
}

}  // namespace tabulor::jet
