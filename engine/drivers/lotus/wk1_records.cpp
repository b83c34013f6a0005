// Byte layout of the WK1 records the writer emits.
#include "engine/drivers/lotus/wk1_records.h"

#include <cstring>

namespace tabulor::lotus {

namespace {

void putU16(std::string& out, uint16_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>(v >> 8);
}

void cellHead(std::string& out, uint16_t opcode, uint16_t length, uint8_t format, uint16_t col,
              uint16_t row) {
  putU16(out, opcode);
  putU16(out, length);
  out += static_cast<char>(format);
  putU16(out, col);
  putU16(out, row);
}

}  // namespace

void appendRecord(std::string& out, uint16_t opcode, std::string_view body) {
  putU16(out, opcode);
  putU16(out, static_cast<uint16_t>(body.size()));
  out.append(body.data(), body.size());
}

void appendInteger(std::string& out, uint8_t format, uint16_t col, uint16_t row, int16_t value) {
  cellHead(out, OpInteger, 7, format, col, row);
  putU16(out, static_cast<uint16_t>(value));
}

void appendNumber(std::string& out, uint8_t format, uint16_t col, uint16_t row, double value) {
  cellHead(out, OpNumber, 13, format, col, row);
  char bytes[8];
  std::memcpy(bytes, &value, 8);  // IEEE-754, little-endian on every target of this program
  out.append(bytes, 8);
}

void appendLabel(std::string& out, uint16_t col, uint16_t row, std::string_view lmbcs) {
  cellHead(out, OpLabel, static_cast<uint16_t>(5 + 1 + lmbcs.size() + 1), FormatDefault, col, row);
  out += '\'';  // left-aligned label
  out.append(lmbcs.data(), lmbcs.size());
  out += '\0';
}

std::string rangeBody(uint16_t firstCol, uint16_t firstRow, uint16_t lastCol, uint16_t lastRow) {
  std::string body;
  putU16(body, firstCol);
  putU16(body, firstRow);
  putU16(body, lastCol);
  putU16(body, lastRow);
  return body;
}

}  // namespace tabulor::lotus
