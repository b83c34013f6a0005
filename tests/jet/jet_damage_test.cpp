// Damaged Jet files: copies of a real Access database with random bytes changed or cut
// short must give rows or an EngineError, never a crash or a hang (libmdb runs in a helper
// process that is given up after a few seconds of silence).
#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <random>

#include "engine/database.h"
#include "engine/drivers/jet/reader_process.h"
#include "engine/engine_error.h"
#include "tests/support/test_support.h"

namespace tabulor::test {
namespace {

// Opens the file and reads every table whole; returns "ok" or the error text.
std::string readEverything(const std::string& path) {
  try {
    Database db;
    db.Open(path, false, true, "");
    for (int i = 0; i < db.GetTableDefCount(); ++i) {
      auto cursor = db.source().openTable(db.GetTableDefInfo(i).name);
      std::vector<Variant> row;
      while (cursor->next(row)) {
      }
    }
    return "ok";
  } catch (const EngineError& e) {
    return e.what();
  }
}

TEST(JetDamage, DamagedCopiesGiveRowsOrAnErrorInTime) {
  TABULOR_REQUIRE_FIXTURES();
  const std::string original = readFile(fixturesDir() + "/mdb/testV2000.mdb");
  ASSERT_GT(original.size(), 65536u);
  TempDir dir;
  std::mt19937 random(20261210);
  const auto limit = std::chrono::seconds(jet::ReaderTimeoutSeconds + 3);
  int errors = 0, timeouts = 0;
  for (int copy = 0; copy < 48; ++copy) {
    std::string bytes = original;
    if (copy % 8 == 7) {
      // Cut short inside the catalogue or table pages.
      bytes.resize(4096 + random() % 60000);
    } else {
      // A few random bytes changed in the pages that hold the catalogue, the table
      // definitions and the rows (page 0 changes are refused by the header checks).
      for (int n = 0; n < 6; ++n) bytes[4096 + random() % 61440] = static_cast<char>(random());
    }
    const std::string path = dir.file("damaged" + std::to_string(copy) + ".mdb");
    writeFile(path, bytes);
    auto start = std::chrono::steady_clock::now();
    std::string result = readEverything(path);
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, limit) << "copy " << copy << ": " << result;
    if (result != "ok") ++errors;
    if (result.find("did not finish") != std::string::npos) ++timeouts;
  }
  std::cout << "48 damaged copies: " << 48 - errors << " read, " << errors << " refused ("
            << timeouts << " after the reader's time limit)\n";
  EXPECT_GT(errors, 0);
}

// The fuzz target's seeds (databases from the project's writer and inputs the fuzzer once
// crashed libmdb with) go through the driver: rows or an EngineError, in time.
TEST(JetDamage, FuzzSeedsGiveRowsOrAnError) {
  int seeds = 0;
  for (const auto& name : listFolder(sourceDir() + "/fuzz/jet_corpus")) {
    auto start = std::chrono::steady_clock::now();
    std::string result = readEverything(sourceDir() + "/fuzz/jet_corpus/" + name);
    EXPECT_LT(std::chrono::steady_clock::now() - start,
              std::chrono::seconds(jet::ReaderTimeoutSeconds + 3))
        << name << ": " << result;
    ++seeds;
  }
  EXPECT_GE(seeds, 3);
}

}  // namespace
}  // namespace tabulor::test
