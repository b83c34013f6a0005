// Damaged, lying and unsupported .dbf files: each gives a clear EngineError naming the file
// (or is read where the damage leaves the data intact), never a crash or a hang. Also the
// folder of 10,000 tables that must list without opening them.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <random>

#include "engine/drivers/dbase/dbf_header.h"
#include "engine/engine_error.h"
#include "engine/registry.h"
#include "fuzz/dbase_reader_fuzz.h"
#include "tests/dbase/dbase_test_util.h"
#include "tests/support/test_support.h"

namespace tabulor::test {
namespace {

// Reads every row; returns "" or the error text.
std::string readError(const std::string& folder, const std::string& table) {
  try {
    readDbf(folder, table);
    return "";
  } catch (const EngineError& e) {
    return e.what();
  }
}

TEST(DbfBadInput, MalformedFixturesGiveClearErrorsOrTheirData) {
  TABULOR_REQUIRE_FIXTURES();
  struct Want {
    const char* table;
    const char* error;  // part of the message, or "" when the table reads
  };
  const Want wants[] = {
      {"dbase_83_missing_memo", "dbase_83_missing_memo.dbt is missing"},
      {"no_memofile", "no_memofile.fpt is missing"},
      {"vfp3", "vfp3.fpt is missing"},
      {"d11", "dBASE 7 tables are not supported"},
      {"dbase_02", "dBASE II tables are not supported"},
      {"invalid_value", ""},
      {"polygon", ""},
  };
  std::string folder = fixturesDir() + "/malformed";
  for (const auto& w : wants) {
    std::string error = readError(folder, w.table);
    if (*w.error == '\0') {
      EXPECT_EQ(error, "") << w.table;
    } else {
      EXPECT_NE(error.find(w.error), std::string::npos) << w.table << ": " << error;
      EXPECT_NE(error.find(w.table), std::string::npos) << w.table << ": " << error;
    }
  }
  // A date field holding "NotAYear" keeps the stored text instead of losing it.
  Table t = readDbf(folder, "invalid_value");
  bool sawText = false;
  for (const auto& row : t.rows)
    for (const auto& v : row) sawText = sawText || (v.vt == VT_BSTR && v.str == "NotAYear");
  EXPECT_TRUE(sawText);
  EXPECT_EQ(readDbf(folder, "polygon").fields.size(), 0u);
}

// A small valid table with a memo, as bytes, to damage in the cases below.
struct Sample {
  std::string dbf, dbt;
};

Sample sampleFiles() {
  TempDir dir;
  FieldInfo name{"name", VT_BSTR, 0, {}}, note{"note", VT_BSTR, 0, {}};
  writeTable(*findDriver("dBASE IV"), dir.path(), "t.dbf", {name, note},
             {{Variant::text("one"), Variant::text(std::string(600, 'a'))},
              {Variant::text("two"), Variant::text(std::string(300, 'b'))}});
  return {readFile(dir.file("t.dbf")), readFile(dir.file("t.dbt"))};
}

TEST(DbfBadInput, LyingHeadersAndShortFilesAreNamedErrors) {
  const Sample good = sampleFiles();
  struct Damage {
    const char* what;
    std::function<void(Sample&)> apply;
    const char* error;
  };
  const Damage cases[] = {
      {"record count past the file", [](Sample& s) { dbase::putU32(s.dbf, 4, 1000); },
       "promises 1000 records"},
      {"header length past the end", [](Sample& s) { dbase::putU16(s.dbf, 8, 60000); },
       "runs past the end"},
      {"field length 0", [](Sample& s) { s.dbf[32 + 16] = 0; }, "has length 0"},
      {"field length 255", [](Sample& s) { s.dbf[32 + 16] = static_cast<char>(255); },
       "ends past the record length"},
      {"record length 0", [](Sample& s) { dbase::putU16(s.dbf, 10, 0); }, "record length is 0"},
      {"file cut inside a record", [](Sample& s) { s.dbf.resize(s.dbf.size() - 20); },
       "promises 2 records"},
      {"file cut inside the header", [](Sample& s) { s.dbf.resize(40); }, "runs past the end"},
      {"not a dBASE file", [](Sample& s) { s.dbf = "PK\x03\x04 this is a zip file, not a table"; },
       "not a dBASE table"},
      {"empty file", [](Sample& s) { s.dbf.clear(); }, "too short"},
      {"memo file cut short", [](Sample& s) { s.dbt.resize(700); },
       "runs past the end of the memo file"},
      {"memo file missing", [](Sample& s) { s.dbt.clear(); }, "t.dbt is missing"},
      {"memo pointer past the memo file",
       [](Sample& s) { std::memcpy(s.dbf.data() + s.dbf.find("         1"), "     99999", 10); },
       "memo block 99999"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    Sample s = good;
    c.apply(s);
    writeFile(dir.file("t.dbf"), s.dbf);
    if (!s.dbt.empty()) writeFile(dir.file("t.dbt"), s.dbt);
    std::string error = readError(dir.path(), "t");
    EXPECT_NE(error.find(c.error), std::string::npos) << c.what << ": " << error;
    EXPECT_NE(error.find("t.d"), std::string::npos) << c.what << ": " << error;
  }
}

// The fuzz target's input for a table and its memo file.
std::string fuzzInput(int memoName, const std::string& dbf, const std::string& memo) {
  std::string input(5, '\0');
  input[0] = static_cast<char>(memoName);
  dbase::putU32(input, 1, static_cast<uint32_t>(dbf.size()));
  return input + dbf + memo;
}

bool fuzzOne(const std::string& input, std::string* failure) {
  return fuzzDbaseReaderOne(reinterpret_cast<const uint8_t*>(input.data()), input.size(), failure);
}

// The fuzz target on the real tables and on random damage to them: every input reads or
// gives an EngineError, and whatever reads survives a write and a second read unchanged.
TEST(DbfBadInput, FuzzTargetOnRealTablesAndRandomDamage) {
  std::vector<std::string> seeds;
  const Sample sample = sampleFiles();
  seeds.push_back(fuzzInput(1, sample.dbf, sample.dbt));
  if (!fixturesDir().empty()) {
    std::string dbf = fixturesDir() + "/dbf/";
    seeds.push_back(fuzzInput(1, readFile(dbf + "dbase_83.dbf"), readFile(dbf + "dbase_83.dbt")));
    seeds.push_back(fuzzInput(1, readFile(dbf + "dbase_8b.dbf"), readFile(dbf + "dbase_8b.dbt")));
    seeds.push_back(fuzzInput(2, readFile(dbf + "calls.dbf"), readFile(dbf + "calls.FPT")));
    for (const char* name : {"dbase_03", "dbase_31", "cp1251", "mazovia", "people", "CoHI_GCS12"})
      seeds.push_back(fuzzInput(0, readFile(dbf + name + ".dbf"), ""));
  }
  // Findings of earlier fuzzing runs, kept once fixed.
  for (const auto& entry : std::filesystem::directory_iterator(TABULOR_FUZZ_CORPUS))
    seeds.push_back(readFile(entry.path().string()));
  std::string failure;
  for (const auto& seed : seeds) EXPECT_TRUE(fuzzOne(seed, &failure)) << failure;
  std::mt19937 random(20261210);
  for (int round = 0; round < 300; ++round) {
    std::string input = seeds[static_cast<size_t>(round) % seeds.size()];
    int flips = 1 + static_cast<int>(random() % 8);
    for (int k = 0; k < flips; ++k) {
      // Mostly the header and descriptors, where a byte changes the most.
      size_t at = 5 + random() % (round % 3 == 0 ? std::min<size_t>(200, input.size() - 5)
                                                 : input.size() - 5);
      input[at] = static_cast<char>(random());
    }
    if (round % 7 == 0) input.resize(5 + random() % (input.size() - 5));
    EXPECT_TRUE(fuzzOne(input, &failure)) << "round " << round << ": " << failure;
  }
}

TEST(DbfBadInput, TenThousandTablesListWithoutBeingRead) {
  TempDir dir;
  // Empty files: opening any of them would fail, so listing must not open them.
  for (int i = 0; i < 10000; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "t%05d.dbf", 9999 - i);
    writeFile(dir.file(name), "");
  }
  writeFile(dir.file("notes.txt"), "not a table");
  writeFile(dir.file("UPPER.DBF"), "");
  auto db = findDriver("dBASE III")->openDatabase(dir.path());
  auto tables = db->tables();
  ASSERT_EQ(tables.size(), 10001u);
  EXPECT_EQ(tables[0].name, "UPPER");
  EXPECT_EQ(tables[1].name, "t00000");
  EXPECT_EQ(tables[1].fileName, "t00000.dbf");
  EXPECT_EQ(tables.back().name, "t09999");
  EXPECT_THROW(db->openTable("t00042"), EngineError);
}

}  // namespace
}  // namespace tabulor::test
