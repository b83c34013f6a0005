// Parsing and building the .dbf header. The reader trusts the header and record lengths
// over the descriptor count (some writers pad the header), but checks every one of them
// against the file so that a lying header gives an error, never a read past the end.
#include "engine/drivers/dbase/dbf_header.h"

#include <cctype>

#include "engine/engine_error.h"

namespace tabulor::dbase {

bool DbfHeader::isFoxPro() const {
  return version == 0x30 || version == 0x31 || version == 0x32 || version == 0xF5 ||
         version == 0xFB;
}

MemoKind DbfHeader::memoKind() const {
  if (isFoxPro()) return MemoKind::Fpt;
  return MemoKind::Dbt;
}

namespace {

[[noreturn]] void bad(const std::string& fileName, const std::string& what) {
  throw EngineError(ErrorKind::BadInput, fileName + ": " + what);
}

bool knownVersion(uint8_t v) {
  switch (v) {
    case 0x03:
    case 0x83:
    case 0x8B:
    case 0x30:
    case 0x31:
    case 0x32:
    case 0xF5:
    case 0xFB:
    case 0x43:
    case 0x63:
    case 0x7B:
    case 0x8E:
    case 0xCB:
    case 0xE5:
      return true;
    default:
      return false;
  }
}

}  // namespace

DbfHeader parseDbfHeader(std::string_view head, uint64_t fileSize, const std::string& fileName) {
  if (head.size() < 32 || fileSize < 32) bad(fileName, "file is too short for a dBASE header");
  DbfHeader h;
  h.version = static_cast<uint8_t>(head[0]);
  if (h.version == 0x04 || h.version == 0x8C)
    throw EngineError(ErrorKind::Unsupported, fileName + ": dBASE 7 tables are not supported");
  if (h.version == 0x02)
    throw EngineError(ErrorKind::Unsupported,
                      fileName + ": FoxBASE / dBASE II tables are not supported");
  if (!knownVersion(h.version)) bad(fileName, "not a dBASE table (unknown version byte)");
  auto month = static_cast<unsigned char>(head[2]), day = static_cast<unsigned char>(head[3]);
  if (month > 12 || day > 31) bad(fileName, "not a dBASE table (invalid date in header)");
  h.recordCount = readU32(head.data() + 4);
  h.headerLength = readU16(head.data() + 8);
  h.recordLength = readU16(head.data() + 10);
  h.languageDriver = static_cast<uint8_t>(head[29]);
  if (h.headerLength < 33)
    bad(fileName, "header length " + std::to_string(h.headerLength) + " is too small");
  if (h.headerLength > fileSize)
    bad(fileName, "header length " + std::to_string(h.headerLength) +
                      " runs past the end of the file (" + std::to_string(fileSize) + " bytes)");
  if (h.recordLength < 1) bad(fileName, "record length is 0");
  if (head.size() < h.headerLength) bad(fileName, "header is truncated");

  uint32_t offset = 1;
  for (size_t at = 32; at + 32 <= h.headerLength; at += 32) {
    if (static_cast<unsigned char>(head[at]) == HeaderTerminator) break;
    const char* d = head.data() + at;
    DbfField f;
    size_t nameLength = 0;
    while (nameLength < 11 && d[nameLength] != '\0') ++nameLength;
    f.name.assign(d, nameLength);
    while (!f.name.empty() && f.name.back() == ' ') f.name.pop_back();
    f.type = static_cast<char>(std::toupper(static_cast<unsigned char>(d[11])));
    f.length = static_cast<unsigned char>(d[16]);
    f.decimals = static_cast<uint8_t>(d[17]);
    f.flags = h.isFoxPro() ? static_cast<uint8_t>(d[18]) : 0;
    // FoxPro and Clipper keep the high byte of a long character field in the decimals.
    if (f.type == 'C' && f.decimals != 0) {
      f.length += static_cast<uint32_t>(f.decimals) << 8;
      f.decimals = 0;
    }
    std::string label = "field " + std::to_string(h.fields.size() + 1) + " (" + f.name + ")";
    if (f.length == 0) bad(fileName, label + " has length 0");
    f.offset = offset;
    offset += f.length;
    if (offset > h.recordLength)
      bad(fileName, label + " ends past the record length " + std::to_string(h.recordLength));
    h.fields.push_back(std::move(f));
  }
  uint64_t available = (fileSize - h.headerLength) / h.recordLength;
  if (h.recordCount > available)
    bad(fileName, "header promises " + std::to_string(h.recordCount) +
                      " records but the file holds only " + std::to_string(available));
  return h;
}

std::string buildDbfHeader(uint8_t version, uint8_t languageDriver, uint32_t recordCount,
                           const std::vector<DbfField>& fields, int year, int month, int day) {
  size_t headerLength = 32 + 32 * fields.size() + 1;
  std::string out(headerLength, '\0');
  out[0] = static_cast<char>(version);
  out[1] = static_cast<char>(year - 1900 > 255 ? 255 : year - 1900);
  out[2] = static_cast<char>(month);
  out[3] = static_cast<char>(day);
  putU32(out, 4, recordCount);
  putU16(out, 8, static_cast<uint16_t>(headerLength));
  uint32_t recordLength = 1;
  for (const auto& f : fields) recordLength += f.length;
  putU16(out, 10, static_cast<uint16_t>(recordLength));
  out[29] = static_cast<char>(languageDriver);
  size_t at = 32;
  for (const auto& f : fields) {
    for (size_t k = 0; k < f.name.size() && k < 10; ++k) out[at + k] = f.name[k];
    out[at + 11] = f.type;
    out[at + 16] = static_cast<char>(f.length);
    out[at + 17] = static_cast<char>(f.decimals);
    at += 32;
  }
  out[at] = static_cast<char>(HeaderTerminator);
  return out;
}

}  // namespace tabulor::dbase
