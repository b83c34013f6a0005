// The records of a Lotus 1-2-3 Release 2 worksheet (.wk1) this writer emits: each is a
// little-endian opcode, a body length and the body.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tabulor::lotus {

inline constexpr uint16_t OpBof = 0x0000, OpEof = 0x0001, OpRange = 0x0006, OpColW1 = 0x0008,
                          OpInteger = 0x000D, OpNumber = 0x000E, OpLabel = 0x000F;
inline constexpr uint16_t Wk1Revision = 0x0406;  // 1-2-3 Release 2

// Cell format bytes: bit 7 protection, bits 6-4 the format type, bits 3-0 its detail.
inline constexpr uint8_t FormatDefault = 0xFF;  // the worksheet's global format
// Special 9, D4 "Long International" date: what Quattro Pro writes for dates in .wk1.
inline constexpr uint8_t FormatDate = 0xF9;
// Special 7, D6 time HH:MM:SS AM/PM: a time of day without a date.
inline constexpr uint8_t FormatTime = 0xF7;
inline constexpr uint8_t FormatCurrency2 = 0xA2;  // currency, 2 decimals

// Appends one record with body `body`.
void appendRecord(std::string& out, uint16_t opcode, std::string_view body);

// Appends the cell records. `lmbcs` is the label text already encoded, without prefix.
void appendInteger(std::string& out, uint8_t format, uint16_t col, uint16_t row, int16_t value);
void appendNumber(std::string& out, uint8_t format, uint16_t col, uint16_t row, double value);
void appendLabel(std::string& out, uint16_t col, uint16_t row, std::string_view lmbcs);

// The RANGE body for the active area (inclusive); an empty sheet has first column 0xFFFF.
std::string rangeBody(uint16_t firstCol, uint16_t firstRow, uint16_t lastCol, uint16_t lastRow);

}  // namespace tabulor::lotus
