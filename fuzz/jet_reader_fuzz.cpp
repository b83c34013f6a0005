// libFuzzer target for the Jet reading path: libmdb's catalogue, table definitions, page
// walk and row cracking plus the driver's own value decoding, run in-process on the bytes
// of a database. Every input must end in rows or an EngineError. (The driver itself runs
// this code in a helper process with a time limit; fuzzing it directly finds what that
// guard would have to catch, so that the checks in mdb_reader.cpp can catch it first.)
// Seeds: fuzz/jet_corpus (databases written by the project's Jet writer).
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/drivers/jet/mdb_reader.h"
#include "engine/engine_error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  try {
    auto reader = tabulor::jet::MdbReader::openBuffer(bytes, "fuzz.mdb");
    for (const auto& table : reader->tables()) {
      size_t rows = 0;
      reader->readTable(
          table.name, [](const std::vector<tabulor::FieldInfo>&) {},
          [&](const std::vector<tabulor::Variant>&) { return ++rows < 100000; });
    }
  } catch (const tabulor::EngineError&) {
  }
  return 0;
}
