// Helpers of the dBase tests: reading a whole table through the engine, writing a table
// through a driver from rows given in the test, and the independent readers' output.
#pragma once

#include <string>
#include <vector>

#include "engine/driver.h"
#include "engine/drivers/dbase/dbf_header.h"

namespace tabulor::test {

struct Table {
  std::vector<FieldInfo> fields;
  std::vector<std::vector<Variant>> rows;
};

// Every row of table `table` of the dBase database `folder` (throws what the reader throws).
Table readDbf(const std::string& folder, const std::string& table);

// Writes `rows` as table `file` into `folder` through `driver`, with statistics gathered
// as the engine gathers them.
void writeTable(const Driver& driver, const std::string& folder, const std::string& file,
                std::vector<FieldInfo> fields, const std::vector<std::vector<Variant>>& rows);

// A dBASE III table as bytes: its header (language-driver byte `ldid`), then each record's
// stored bytes after a blank deletion flag, padded with blanks to the record length.
std::string dbfBytes(uint8_t ldid, const std::vector<dbase::DbfField>& fields,
                     const std::vector<std::string>& records);

// Runs `command` and parses its standard output as CSV; fails the test on a non-zero exit.
std::vector<std::vector<std::string>> csvFromCommand(const std::string& command);

// Numeric comparison of two number texts (both parsed as doubles).
bool sameNumber(const std::string& a, const std::string& b);

}  // namespace tabulor::test
