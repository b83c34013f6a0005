// libFuzzer target for the dBase reader (and, on what it reads, the writer): every input
// must end in rows or an EngineError, and what was read must survive a write and a second
// read unchanged. The test suite calls fuzzDbaseReaderOne on seeds and mutations;
// fuzz/run.sh builds this file with libFuzzer and the sanitizers.
#include "fuzz/dbase_reader_fuzz.h"

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "engine/engine_error.h"
#include "engine/registry.h"
#include "fuzz/fuzz_support.h"

namespace tabulor {

namespace {

struct Table {
  std::vector<FieldInfo> fields;
  std::vector<std::vector<Variant>> rows;
};

// Never destroyed: the exit handler that removes the folder runs after static destructors
// registered before it, so a static std::string would be gone by then.
const std::string& workFolder() {
  static const std::string* folder = [] {
    auto* templ = new std::string(
        (std::filesystem::temp_directory_path() / "tabulor-dbf-fuzz-XXXXXX").string());
    if (!mkdtemp(templ->data())) std::abort();
    std::atexit([] { std::filesystem::remove_all(workFolder()); });
    return templ;
  }();
  return *folder;
}

void writeBytes(const std::string& path, const uint8_t* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

Table readAll(const std::string& folder, const std::string& table) {
  Table t;
  auto db = findDriver("dBASE III")->openDatabase(folder);
  auto cursor = db->openTable(table);
  t.fields = cursor->fields();
  std::vector<Variant> row;
  while (cursor->next(row) && t.rows.size() < 100000) t.rows.push_back(row);
  return t;
}

// Number text without the trailing zeros of its fraction ("12.50" and "12.5" are one
// value; a column's decimals pad every value to the same count).
std::string canonical(std::string text) {
  if (text.find_first_not_of("-0123456789.") != std::string::npos ||
      text.find('.') == std::string::npos)
    return text;
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  return text;
}

// Character fields are padded with blanks, so no dBase reader can tell trailing blanks (or
// the NULs some writers pad with) from padding: a value is compared without them.
std::string withoutPadding(std::string text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.pop_back();
  return text;
}

}  // namespace

static bool dbaseReaderOne(const uint8_t* data, size_t size, std::string* failure);

bool fuzzDbaseReaderOne(const uint8_t* data, size_t size, std::string* failure) {
  return closesWhatItOpens([&] { return dbaseReaderOne(data, size, failure); }, failure);
}

static bool dbaseReaderOne(const uint8_t* data, size_t size, std::string* failure) {
  if (size < 6) return true;
  const std::string& root = workFolder();
  std::string in = root + "/in", out = root + "/out";
  std::filesystem::remove_all(in);
  std::filesystem::remove_all(out);
  std::filesystem::create_directory(in);
  std::filesystem::create_directory(out);

  // data[0] bits 0-1 name the memo file; data[1..4] (little-endian) is the length of the
  // .dbf part, the rest is the memo file.
  uint8_t options = data[0];
  const uint8_t* body = data + 5;
  size_t bodySize = size - 5;
  static const char* const memoNames[] = {"", "t.dbt", "t.fpt", "T.DBT"};
  size_t split = static_cast<size_t>(data[1]) | static_cast<size_t>(data[2]) << 8 |
                 static_cast<size_t>(data[3]) << 16 | static_cast<size_t>(data[4]) << 24;
  if (split > bodySize || !(options & 3)) split = bodySize;
  writeBytes(in + "/t.dbf", body, split);
  if (options & 3) writeBytes(in + "/" + memoNames[options & 3], body + split, bodySize - split);

  Table first;
  try {
    first = readAll(in, "t");
  } catch (const EngineError&) {
    return true;  // refused with a clear error: fine
  }

  try {
    TableSchema schema;
    schema.fields = first.fields;
    for (const auto& row : first.rows)
      for (size_t i = 0; i < row.size(); ++i) accumulateStats(schema.fields[i].stats, row[i]);
    schema.rowCount = static_cast<int64_t>(first.rows.size());
    auto writer = findDriver("dBASE IV")->createTable(out, "r.dbf", schema);
    for (const auto& row : first.rows) writer->appendRow(row);
    writer->finish();
  } catch (const EngineError& e) {
    // More fields or bytes than dBASE IV holds, or a table without fields, which no dBase
    // table can be.
    if (e.kind() == ErrorKind::Limit || e.kind() == ErrorKind::NoFields) return true;
    *failure = std::string("writing failed: ") + e.what();
    return false;
  }
  Table second;
  try {
    second = readAll(out, "r");
  } catch (const EngineError& e) {
    *failure = std::string("reading the written table failed: ") + e.what();
    return false;
  }
  if (second.fields.size() != first.fields.size() || second.rows.size() != first.rows.size()) {
    *failure = std::to_string(first.fields.size()) + " fields and " +
               std::to_string(first.rows.size()) + " rows came back as " +
               std::to_string(second.fields.size()) + " and " + std::to_string(second.rows.size());
    return false;
  }
  for (size_t r = 0; r < first.rows.size(); ++r)
    for (size_t c = 0; c < first.fields.size(); ++c) {
      std::string a = withoutPadding(variantToText(first.rows[r][c]));
      std::string b = withoutPadding(variantToText(second.rows[r][c]));
      double x = 0, y = 0;
      bool sameNumber = variantToDouble(first.rows[r][c], x) &&
                        variantToDouble(second.rows[r][c], y) && first.rows[r][c].vt != VT_BSTR &&
                        x == y;
      if (a != b && !sameNumber && canonical(a) != canonical(b)) {
        *failure = "row " + std::to_string(r + 1) + " field " + std::to_string(c + 1) + ": \"" + a +
                   "\" came back as \"" + b + "\"";
        return false;
      }
    }
  return true;
}

}  // namespace tabulor

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string failure;
  if (!tabulor::fuzzDbaseReaderOne(data, size, &failure)) {
    std::fprintf(stderr, "dBase round trip broke: %s\n", failure.c_str());
    std::abort();
  }
  return 0;
}
