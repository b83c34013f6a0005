// libFuzzer target for the text driver's reader (and, on what it reads, the writer): every
// input must end in rows or an EngineError, and what was read must survive a write and a
// second read unchanged. The test suite calls fuzzTextReaderOne directly on seeds and
// mutations; fuzz/run.sh builds this file with libFuzzer and the sanitizers.
#include "fuzz/text_reader_fuzz.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "engine/drivers/text/value_text.h"
#include "engine/engine_error.h"
#include "engine/registry.h"
#include "fuzz/fuzz_support.h"

namespace tabulor {

namespace {

struct Table {
  std::vector<FieldInfo> fields;
  std::vector<std::vector<Variant>> rows;
};

// A private folder for the run, removed at exit. Never freed, so the exit handler can
// still use it after static destructors have run.
const std::string& workFolder() {
  static const std::string* folder = [] {
    auto* path = new std::string(
        (std::filesystem::is_directory("/dev/shm")
             ? std::string("/dev/shm/tabulor-fuzz-XXXXXX")
             : (std::filesystem::temp_directory_path() / "tabulor-fuzz-XXXXXX").string()));
    if (!mkdtemp(path->data())) std::abort();
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(*folder, ec);
    });
    return path;
  }();
  return *folder;
}

void writeBytes(const std::string& path, const char* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(data, static_cast<std::streamsize>(size));
}

Table readAll(const Driver& driver, const std::string& folder, const std::string& table) {
  Table t;
  auto db = driver.openDatabase(folder);
  auto cursor = db->openTable(table);
  t.fields = cursor->fields();
  std::vector<Variant> row;
  while (cursor->next(row) && t.rows.size() < 200000) t.rows.push_back(row);
  return t;
}

std::string text(const Variant& v) {
  char scratch[64];
  std::string fallback;
  return std::string(valueText(v, scratch, fallback));
}

}  // namespace

static bool textReaderOne(const uint8_t* data, size_t size, std::string* failure);

bool fuzzTextReaderOne(const uint8_t* data, size_t size, std::string* failure) {
  return closesWhatItOpens([&] { return textReaderOne(data, size, failure); }, failure);
}

static bool textReaderOne(const uint8_t* data, size_t size, std::string* failure) {
  if (size == 0) return true;
  const Driver& driver = *findDriver("Text");
  const std::string& root = workFolder();
  std::string in = root + "/in", out = root + "/out";
  std::filesystem::remove_all(in);
  std::filesystem::remove_all(out);
  std::filesystem::create_directory(in);
  std::filesystem::create_directory(out);

  static const char* const schemas[] = {
      "",
      "[t.txt]\nFormat=TabDelimited\n",
      "[t.txt]\nFormat=Delimited(;)\nCharacterSet=OEM\n",
      "[t.txt]\nColNameHeader=False\nFormat=CSVDelimited\n",
      "[t.txt]\nCharacterSet=UNICODE\n",
      "[t.txt]\nFormat=Delimited(|)\nCharacterSet=ANSI\n",
      "",
      "",
  };
  uint8_t options = data[0];
  const char* schema = schemas[options & 7];
  if (*schema) writeBytes(in + "/schema.ini", schema, std::strlen(schema));
  writeBytes(in + "/t.txt", reinterpret_cast<const char*>(data + 1), size - 1);

  Table first;
  try {
    first = readAll(driver, in, (options & 8) ? "T#TXT" : "t.txt");
  } catch (const EngineError&) {
    return true;  // refused with a clear error: fine
  }
  // The reader rejects NUL bytes (binary files), so a table holding one cannot come back.
  for (const auto& f : first.fields)
    if (f.name.find('\0') != std::string::npos) return true;
  for (const auto& row : first.rows)
    for (const auto& v : row)
      if (v.str.find('\0') != std::string::npos) return true;

  try {
    TableSchema schemaOut;
    schemaOut.fields = first.fields;
    auto writer = driver.createTable(out, "r.csv", schemaOut);
    for (const auto& row : first.rows) writer->appendRow(row);
    writer->finish();
  } catch (const EngineError& e) {
    *failure = std::string("writing failed: ") + e.what();
    return false;
  }
  Table second;
  try {
    second = readAll(driver, out, "r#csv");
  } catch (const EngineError& e) {
    *failure = std::string("reading the written table failed: ") + e.what();
    return false;
  }
  if (first.rows.empty() && first.fields.empty()) return true;
  if (second.fields.size() != first.fields.size()) {
    *failure = "field count " + std::to_string(first.fields.size()) + " came back as " +
               std::to_string(second.fields.size());
    return false;
  }
  for (size_t i = 0; i < first.fields.size(); ++i)
    if (first.fields[i].name != second.fields[i].name) {
      *failure = "field name \"" + first.fields[i].name + "\" came back as \"" +
                 second.fields[i].name + "\"";
      return false;
    }
  if (second.rows.size() != first.rows.size()) {
    *failure = std::to_string(first.rows.size()) + " rows came back as " +
               std::to_string(second.rows.size());
    return false;
  }
  for (size_t r = 0; r < first.rows.size(); ++r)
    for (size_t c = 0; c < first.fields.size(); ++c)
      if (text(first.rows[r][c]) != text(second.rows[r][c])) {
        *failure = "row " + std::to_string(r + 1) + " field " + std::to_string(c + 1) + ": \"" +
                   text(first.rows[r][c]) + "\" came back as \"" + text(second.rows[r][c]) + "\"";
        return false;
      }
  return true;
}

}  // namespace tabulor

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string failure;
  if (!tabulor::fuzzTextReaderOne(data, size, &failure)) {
    std::fprintf(stderr, "text round trip broke: %s\n", failure.c_str());
    std::abort();
  }
  return 0;
}
