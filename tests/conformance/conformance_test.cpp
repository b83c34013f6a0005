// One conformance run over every registered driver, through the conversion users run: a
// table of mixed values is converted into every target format; every output a driver can
// read is read back and compared value by value; truncated copies must give an error or
// data, never a crash; and every reading driver must refuse the other drivers' files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>

#include "convert/catalogue.h"
#include "convert/database_engine_conversion.h"
#include "engine/database.h"
#include "engine/engine_error.h"
#include "engine/file_names.h"
#include "engine/registry.h"
#include "engine/statement.h"
#include "engine/value_format.h"
#include "tests/support/test_support.h"

namespace tabulor {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::writeFile;

const char* const SourceCsv =
    "id,name,amount,day,flag,note\n"
    "1,\"Müller, Zoë\",1250.5,2024-01-15,TRUE,first\n"
    "2,\"Say \"\"hi\"\"\",-0.25,2024-02-29,FALSE,\n"
    "3,日本語,1000000,1999-12-31,TRUE,\"two\nlines\"\n";

// A value reduced to what every format must keep: numbers as doubles, dates, booleans,
// text, or null.
std::string key(const Variant& v) {
  if (v.isNull()) return "null";
  double number;
  switch (v.vt) {
    case VT_BSTR:
      return "t:" + v.str;
    case VT_BOOL:
      return v.boolVal ? "b:1" : "b:0";
    case VT_DATE:
      return "d:" + variantToText(v);
    default:
      if (variantToDouble(v, number)) return "n:" + doubleText(number);
      return "?:" + variantToText(v);
  }
}

using Table = std::vector<std::vector<std::string>>;

// Reads the one user table of an output file through the driver its name selects.
Table readBack(const std::string& path) {
  SourceKind kind = classifySource(path);
  SourceOpen open = sourceOpenInfo(kind);
  Database db;
  db.Open(open.opensFolder ? folderOf(path) : path, false, true, open.connect);
  std::string table;
  for (int i = 0; i < db.GetTableDefCount(); ++i) {
    TableDefInfo info = db.GetTableDefInfo(i);
    if (open.opensFolder && info.fileName != fileNameOf(path)) continue;
    if (auto name = keptTableName(info, kind)) {
      table = *name + open.suffix;
      break;
    }
  }
  EXPECT_FALSE(table.empty()) << path;
  Recordset rs(&db);
  rs.Open(table);
  Table rows;
  std::vector<std::string> header;
  for (int i = 0; i < rs.GetFieldCount(); ++i) header.push_back(rs.GetFieldInfo(i).name);
  rows.push_back(header);
  for (; !rs.IsEOF(); rs.MoveNext()) {
    std::vector<std::string> row;
    for (int i = 0; i < rs.GetFieldCount(); ++i) row.push_back(key(rs.GetFieldValue(i)));
    rows.push_back(row);
  }
  return rows;
}

// Reads everything a driver lists, for the damage and identification checks.
void readEverything(const std::string& name, const std::string& connect) {
  Database db;
  db.Open(name, false, true, connect);
  for (int i = 0; i < db.GetTableDefCount(); ++i) {
    Recordset rs(&db);
    rs.Open(db.GetTableDefInfo(i).name);
    for (; !rs.IsEOF(); rs.MoveNext())
      for (int f = 0; f < rs.GetFieldCount(); ++f) rs.GetFieldValue(f);
  }
}

class Conformance : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(dir.file("in"));
    fs::create_directory(dir.file("out"));
    writeFile(dir.file("in/mixed.csv"), SourceCsv);
    ctx = {test::binaryDir() + "/bin/", &db, &messages};
  }
  TempDir dir;
  Database db;
  RecordingMessages messages;
  ConversionContext ctx;
};

TEST_F(Conformance, EveryTargetWritesAndReadableOnesReadBackTheSameValues) {
  const Table source = readBack(dir.file("in/mixed.csv"));
  ASSERT_EQ(source.size(), 4u);
  ASSERT_EQ(source[1][1], "t:Müller, Zoë");
  ASSERT_EQ(source[1][3], "d:2024-01-15");

  for (const auto& format : targetFormats()) {
    SCOPED_TRACE(format.comboText);
    const std::string out = dir.file("out/" + std::to_string(format.format));
    fs::create_directory(out);
    try {
      ConvertWithDatabaseEngine(ctx, dir.file("in/mixed.csv"), out, format.format);
    } catch (const EngineError& e) {
      ADD_FAILURE() << "conversion failed: " << e.what();
      continue;
    }
    const std::string written = out + "/" + perTableOutputName(format.format, "mixed", "", false);
    ASSERT_TRUE(test::fileExists(written));
    EXPECT_GT(fs::file_size(written), 0u);
    if (classifySource(written) == SourceKind::SourceOther) continue;  // HTML, WK1: written only

    Table back = readBack(written);
    ASSERT_EQ(back.size(), source.size());
    for (size_t r = 1; r < back.size(); ++r) {
      ASSERT_EQ(back[r].size(), source[r].size());
      for (size_t c = 0; c < back[r].size(); ++c) {
        std::string want = source[r][c];
        // dBase stores no NULL: an empty character field is the closest it holds.
        if (classifySource(written) == SourceKind::SourceDbase && want == "null")
          want = back[r][c] == "t:" ? "t:" : want;
        EXPECT_EQ(back[r][c], want) << "row " << r << ", field " << source[0][c];
      }
    }
  }
}

TEST_F(Conformance, DamagedFilesGiveErrorsAndDriversRefuseEachOthersFiles) {
  std::map<std::string, std::string> outputs;  // path -> connect of its own driver
  for (TargetFormat format :
       {FormatCsv, FormatXls, FormatMdb, FormatDbase4, FormatXlsx, FormatOds}) {
    const std::string out = dir.file("out/" + std::to_string(format));
    fs::create_directory(out);
    try {
      ConvertWithDatabaseEngine(ctx, dir.file("in/mixed.csv"), out, format);
    } catch (const EngineError&) {
      continue;  // reported by the test above
    }
    const std::string written = out + "/" + perTableOutputName(format, "mixed", "", false);
    if (test::fileExists(written))
      outputs[written] = sourceOpenInfo(classifySource(written)).connect;
  }

  for (const auto& [path, ownConnect] : outputs) {
    // Truncated copies, each alone in a folder: an EngineError or data, never a crash.
    const std::string bytes = test::readFile(path);
    for (size_t keep : {bytes.size() / 2, bytes.size() - 1, size_t(16), size_t(0)}) {
      const std::string damagedDir = dir.file("damaged");
      fs::remove_all(damagedDir);
      fs::create_directory(damagedDir);
      const std::string damaged = damagedDir + "/" + std::string(fileNameOf(path));
      writeFile(damaged, bytes.substr(0, keep));
      SourceOpen open = sourceOpenInfo(classifySource(damaged));
      try {
        readEverything(open.opensFolder ? damagedDir : damaged, open.connect);
      } catch (const EngineError&) {
      }
    }
    // Every other reading driver refuses the file (file drivers) or lists no table of it.
    for (const Driver* driver : allDrivers()) {
      const DriverInfo& info = driver->info();
      if (!info.reads) continue;
      const std::string connect = info.isamNames.front() + ";";
      if (equalsNoCase(info.isamNames.front(), connectIsam(ownConnect))) continue;
      // Drivers of one format family (dBASE III, IV and 5.0) read each other's files.
      const std::string ext = toLowerAscii(extensionOf(path));
      if (std::find(info.extensions.begin(), info.extensions.end(), ext) != info.extensions.end())
        continue;
      SCOPED_TRACE(path + " opened as " + connect);
      const std::string alone = dir.file("alone");
      fs::remove_all(alone);
      fs::create_directory(alone);
      const std::string copy = alone + "/" + std::string(fileNameOf(path));
      fs::copy_file(path, copy);
      for (const std::string& name : {copy, alone}) {
        Database other;
        try {
          other.Open(name, false, true, connect);
          for (int i = 0; i < other.GetTableDefCount(); ++i)
            EXPECT_NE(other.GetTableDefInfo(i).fileName, fileNameOf(path));
        } catch (const EngineError&) {
        }
      }
    }
  }
}

}  // namespace
}  // namespace tabulor
