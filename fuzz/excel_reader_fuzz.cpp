// libFuzzer target for the Excel driver's reader (and, on what it reads, its writer): every
// input must end in rows or an EngineError, and what was read must survive a write and a
// second read unchanged. The test suite calls fuzzExcelReaderOne on seeds and mutations;
// built with -DTABULOR_FUZZ=ON and clang (flags as fuzz/run.sh sets them), this file runs
// under libFuzzer: seed it with the fixture workbooks, each preceded by a 0 byte, and with
// their bare workbook streams, each preceded by a 1 byte.
#include "fuzz/excel_reader_fuzz.h"

#include <stdlib.h>

#include <cstdio>
#include <filesystem>

#include "engine/drivers/excel/excel_source.h"
#include "engine/engine_error.h"
#include "engine/registry.h"
#include "fuzz/fuzz_support.h"

namespace tabulor {

namespace {

const std::string& workFolder() {
  // Never destroyed, so that the exit handler removing the folder can still read its name.
  static const std::string* folder = [] {
    std::string templ =
        (std::filesystem::temp_directory_path() / "tabulor-xls-fuzz-XXXXXX").string();
    if (!mkdtemp(templ.data())) std::abort();
    auto* name = new std::string(templ);
    std::atexit([] { std::filesystem::remove_all(workFolder()); });
    return name;
  }();
  return *folder;
}

// Cells read per table at most: a few bytes of records can span a sheet of 16 million
// empty cells, which reads correctly but too slowly to fuzz; such a table is read no
// further and not written back.
constexpr size_t MaxCells = 1 << 20;

}  // namespace

static bool excelReaderOne(const uint8_t* data, size_t size, std::string* failure);

bool fuzzExcelReaderOne(const uint8_t* data, size_t size, std::string* failure) {
  return closesWhatItOpens([&] { return excelReaderOne(data, size, failure); }, failure);
}

static bool excelReaderOne(const uint8_t* data, size_t size, std::string* failure) {
  if (size == 0) return true;
  const Driver& driver = *findDriver("Excel 8.0");
  std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  std::unique_ptr<SourceDatabase> db;
  std::vector<TableDefInfo> tables;
  try {
    db = (data[0] & 1) ? excel::openWorkbookSourceFromStream(std::string(bytes), "fuzz.xls")
                       : excel::openWorkbookSourceFromMemory(bytes, "fuzz.xls");
    tables = db->tables();
  } catch (const EngineError&) {
    return true;  // refused with a clear error: fine
  }
  const std::string out = workFolder() + "/out.xls";
  std::filesystem::remove(out);
  int written = 0;
  for (const TableDefInfo& info : tables) {
    if (info.name.empty() || (info.name.back() != '$' && info.name.back() != '\'')) continue;
    TextTable first;
    bool whole = true;
    try {
      first = readTexts(*db, info.name, MaxCells, &whole, variantToText);
    } catch (const EngineError&) {
      continue;
    }
    if (!whole) continue;
    if (written >= 4) continue;  // enough round trips for one input
    std::string sheet = "S" + std::to_string(written++);
    try {
      TableSchema schema;
      schema.fields = first.fields;
      auto cursor = db->openTable(info.name);
      auto writer = driver.createTable(out, sheet, schema);
      std::vector<Variant> row;
      while (cursor->next(row)) writer->appendRow(row);
      writer->finish();
    } catch (const EngineError& e) {
      if (e.kind() == ErrorKind::Limit) {  // a text or sheet Excel 97-2003 cannot hold
        --written;
        continue;
      }
      *failure = std::string("writing failed: ") + e.what();
      return false;
    }
    TextTable second;
    try {
      auto back = driver.openDatabase(out);
      bool again = true;
      second = readTexts(*back, sheet + "$", MaxCells, &again, variantToText);
    } catch (const EngineError& e) {
      *failure = std::string("reading the written sheet failed: ") + e.what();
      return false;
    }
    *failure = tableDifference(info.name, first, second);
    if (!failure->empty()) return false;
  }
  return true;
}

}  // namespace tabulor

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string failure;
  if (!tabulor::fuzzExcelReaderOne(data, size, &failure)) {
    std::fprintf(stderr, "xls round trip broke: %s\n", failure.c_str());
    std::abort();
  }
  return 0;
}
