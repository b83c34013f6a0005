// One fuzz input through the dBase reader and writer: read, write back, read again, compare.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tabulor {

// Treats data[0] as options (bits 0-1: no memo file, t.dbt, t.fpt or T.DBT), data[1..4] as
// the little-endian length of the .dbf part, and the rest as the bytes of a table followed
// by those of its memo file; reads the table
// through the "dBASE III" driver and, when it reads without an EngineError, writes it as a
// dBASE IV table and reads that again. Returns false, with `failure` saying why, when the
// second read does not give the same values.
bool fuzzDbaseReaderOne(const uint8_t* data, size_t size, std::string* failure);

}  // namespace tabulor
