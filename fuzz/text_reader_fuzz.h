// One fuzz input through the text driver: read, write back, read again, compare.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tabulor {

// Treats data[0] as options (schema.ini entry, file extension) and the rest as the bytes of
// a text file; reads it through the "Text" driver and, when it reads without an
// EngineError, writes the table back and reads that again. Returns false, with `failure`
// saying why, when the second read does not give the same names and values.
bool fuzzTextReaderOne(const uint8_t* data, size_t size, std::string* failure);

}  // namespace tabulor
