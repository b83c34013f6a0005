// What the fuzz targets share: a table read into texts, the first difference between a
// table and what came back from writing it and reading it again, and the count of open file
// descriptors (an input that leaves one open more fails: a long run would hit the limit).
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "engine/driver.h"

namespace tabulor {

struct TextTable {
  std::vector<FieldInfo> fields;
  std::vector<std::vector<std::string>> rows;
};

// Reads `table` with each value made text by `text`, stopping once more than `maxCells`
// cells were read (a few bytes can claim millions of cells, which read correctly but too
// slowly to fuzz); `whole` says whether every row was read.
TextTable readTexts(SourceDatabase& db, const std::string& table, size_t maxCells, bool* whole,
                    std::string (*text)(const Variant&));

// Empty when `second` holds the field names and texts of `first`; else the first
// difference, for the failure message of table `name`.
std::string tableDifference(const std::string& name, const TextTable& first,
                            const TextTable& second);

// How many file descriptors this process has open.
size_t openDescriptors();

// Runs `one` (a fuzz target's check of one input) and fails it, with `failure` saying so,
// when it left more file descriptors open than it found.
bool closesWhatItOpens(const std::function<bool()>& one, std::string* failure);

}  // namespace tabulor
