// One fuzz input through the xlsx or ods driver: read, write back with the same driver,
// read again, compare. data[0] chooses how the rest is taken: 0, as a whole file; 1 to 3,
// as the XML of one part of a small template package (so that the fuzzer reaches the XML
// reading without having to keep a zip's checksums right).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tabulor {

// Returns false, with `failure` saying why, when the second read differs from the first.
bool fuzzXlsxReaderOne(const uint8_t* data, size_t size, std::string* failure);
bool fuzzOdsReaderOne(const uint8_t* data, size_t size, std::string* failure);

// The input is the whole content.xml of a spreadsheet, read once by libxml2 and once by the
// plain-XML reader: where libxml2 reads a table, the other must read the same cells (it may
// refuse what libxml2 refuses, or read it). Returns false, with `failure`, when they differ.
bool fuzzOdsXmlReadersOne(const uint8_t* data, size_t size, std::string* failure);

}  // namespace tabulor
