// One fuzz input through the Excel driver: read, write back, read again, compare.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tabulor {

// data[0] chooses how the rest is taken: bit 0 clear, as a whole .xls file (compound file
// and all); bit 0 set, as a bare workbook stream (to reach the record parsing without the
// container). Every sheet that reads without an EngineError is written to a new workbook
// and read again; returns false, with `failure` saying why, when the second read differs.
bool fuzzExcelReaderOne(const uint8_t* data, size_t size, std::string* failure);

}  // namespace tabulor
