// Databases written by the Jet driver, read by the JavaScript reader mdb-reader under
// Node.js (installed by scripts/setup.d/test/jet-mdb-reader.sh): the same tables, columns, types
// and values as written.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "engine/ole_date.h"
#include "tests/jet/jet_test_util.h"
#include "tests/support/test_support.h"

namespace tabulor::test {
namespace {

std::string unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      char n = s[++i];
      out += n == 't' ? '\t' : n == 'n' ? '\n' : n;
    } else {
      out += s[i];
    }
  }
  return out;
}

std::vector<std::string> split(const std::string& line) {
  std::vector<std::string> out;
  size_t pos = 0;
  for (;;) {
    size_t tab = line.find('\t', pos);
    out.push_back(line.substr(pos, tab == std::string::npos ? std::string::npos : tab - pos));
    if (tab == std::string::npos) return out;
    pos = tab + 1;
  }
}

struct JsTable {
  std::string name;
  long rowCount = 0;
  std::vector<std::pair<std::string, std::string>> columns;  // name, type
  std::vector<std::vector<std::string>> rows;
};

std::vector<JsTable> readWithMdbReader(const std::string& path) {
  const std::string lib = sourceDir() + "/.cache/mdb-reader";
  EXPECT_TRUE(fileExists(lib + "/node_modules/mdb-reader/package.json"))
      << "mdb-reader is not installed: run scripts/setup.sh test "
         "(scripts/setup.d/test/jet-mdb-reader.sh)";
  std::string out =
      commandOutput("TZ=UTC node " + shellQuote(sourceDir() + "/tests/jet/mdb_reader_dump.mjs") +
                    " " + shellQuote(lib) + " " + shellQuote(path));
  std::vector<JsTable> tables;
  std::istringstream in(out);
  std::string line;
  while (std::getline(in, line)) {
    auto f = split(line);
    if (f[0] == "T") {
      tables.push_back({unescape(f[1]), std::atol(f[2].c_str()), {}, {}});
    } else if (f[0] == "C" && !tables.empty()) {
      tables.back().columns.emplace_back(unescape(f[1]), f[2]);
    } else if (f[0] == "R" && !tables.empty()) {
      tables.back().rows.emplace_back(f.begin() + 1, f.end());
    }
  }
  return tables;
}

std::string hex(const std::string& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

void expectValue(const Variant& v, const std::string& js, const std::string& where) {
  if (v.isNull()) {
    EXPECT_EQ(js, "-") << where;
    return;
  }
  ASSERT_FALSE(js.empty()) << where;
  const std::string text = unescape(js.substr(1));
  switch (v.vt) {
    case VT_BSTR:
      EXPECT_EQ(js[0], 's') << where;
      EXPECT_EQ(text, v.str) << where;
      return;
    case VT_BOOL:
      EXPECT_EQ(js, v.boolVal ? "btrue" : "bfalse") << where;
      return;
    case VT_BINARY:
      EXPECT_EQ(js, "x" + hex(v.str)) << where;
      return;
    case VT_R4:
      EXPECT_EQ(static_cast<float>(std::strtod(text.c_str(), nullptr)), v.fltVal) << where;
      return;
    case VT_R8:
      EXPECT_EQ(std::strtod(text.c_str(), nullptr), v.dblVal) << where;
      return;
    case VT_CY:
      EXPECT_EQ(text, mdbExportText(v)) << where;
      return;  // "-12345.6789"
    case VT_DATE: {
      auto p = partsFromOleDate(v.date);
      ASSERT_TRUE(p) << where;
      char buf[40];
      std::snprintf(buf, sizeof buf, "d%04d-%02d-%02dT%02d:%02d:%02d.000Z", p->year, p->month,
                    p->day, p->hour, p->minute, p->second);
      EXPECT_EQ(js, buf) << where;
      return;
    }
    default:
      EXPECT_EQ(text, variantToText(v)) << where;
      return;
  }
}

TEST(JetMdbReader, WrittenTablesReadTheSameInMdbReader) {
  TempDir dir;
  const std::string db = dir.file("js.mdb");
  copyBlank(db);
  std::string memo;
  for (int i = 0; i < 3000; ++i) memo += "Grüße " + std::to_string(i) + "\n";
  std::string blob;
  for (int i = 0; i < 10000; ++i) blob += static_cast<char>(i % 251);
  auto f = [](const char* name, uint16_t type) {
    FieldInfo fi;
    fi.name = name;
    fi.type = type;
    return fi;
  };
  std::vector<FieldInfo> fields = {f("Text", VT_BSTR), f("Memo", VT_BSTR),  f("Small", VT_I2),
                                   f("Long", VT_I4),   f("Byte", VT_UI1),   f("Single", VT_R4),
                                   f("Double", VT_R8), f("Money", VT_CY),   f("When", VT_DATE),
                                   f("Flag", VT_BOOL), f("Blob", VT_BINARY)};
  std::vector<std::vector<Variant>> rows = {
      {Variant::text("Мир ϰαὶ"), Variant::text(memo), Variant::i2(-2), Variant::i4(-2000000000),
       Variant::ui1(200), Variant::r4(3.25f), Variant::r8(0.1), Variant::currency(-123456789),
       Variant::oleDate(45000.75), Variant::boolean(true), Variant::bytes(blob)},
      // A time of day alone is a Date/Time on day zero, 1899-12-30, as Jet holds times.
      {Variant::text("plain"), Variant::text("short"), Variant::null(), Variant::null(),
       Variant::null(), Variant::null(), Variant::null(), Variant::null(),
       Variant::oleDate(0.34375), Variant::boolean(false), Variant::bytes("\x01\x02")},
  };
  for (int i = 0; i < 600; ++i)
    rows.push_back({Variant::text("row " + std::to_string(i)), Variant::text(std::string(i, 'm')),
                    Variant::i2(1), Variant::i4(i), Variant::ui1(1), Variant::r4(1),
                    Variant::r8(i / 7.0), Variant::currency(i * 10000LL),
                    Variant::oleDate(40000 + i), Variant::boolean(i % 2), Variant::null()});
  writeJetTable(db, "First", fields, rows);
  writeJetTable(db, "Zweite Tabelle", {f("id", VT_I4)}, {{Variant::i4(7)}});

  auto tables = readWithMdbReader(db);
  ASSERT_EQ(tables.size(), 2u);
  EXPECT_EQ(tables[0].name, "First");
  EXPECT_EQ(tables[1].name, "Zweite Tabelle");
  EXPECT_EQ(tables[1].rows, (std::vector<std::vector<std::string>>{{"n7"}}));
  const JsTable& t = tables[0];
  EXPECT_EQ(t.rowCount, static_cast<long>(rows.size()));
  const char* types[] = {"text",   "memo",     "integer",  "long",    "byte", "float",
                         "double", "currency", "datetime", "boolean", "ole"};
  ASSERT_EQ(t.columns.size(), fields.size());
  for (size_t c = 0; c < fields.size(); ++c) {
    EXPECT_EQ(t.columns[c].first, fields[c].name);
    EXPECT_EQ(t.columns[c].second, types[c]) << fields[c].name;
  }
  ASSERT_EQ(t.rows.size(), rows.size());
  for (size_t r = 0; r < rows.size(); ++r)
    for (size_t c = 0; c < fields.size(); ++c)
      expectValue(rows[r][c], t.rows[r][c], "row " + std::to_string(r + 1) + " " + fields[c].name);
}

TEST(JetMdbReader, CatalogueSpreadOverSeveralPages) {
  TempDir dir;
  const std::string db = dir.file("tables.mdb");
  copyBlank(db);
  FieldInfo id;
  id.name = "id";
  id.type = VT_I4;
  for (int i = 0; i < 100; ++i)
    writeJetTable(db, "T" + std::to_string(i), {id}, {{Variant::i4(i)}});
  auto tables = readWithMdbReader(db);
  ASSERT_EQ(tables.size(), 100u);
  for (int i = 0; i < 100; ++i) {
    EXPECT_EQ(tables[i].name, "T" + std::to_string(i));
    EXPECT_EQ(tables[i].rows, (std::vector<std::vector<std::string>>{{"n" + std::to_string(i)}}));
  }
}

}  // namespace
}  // namespace tabulor::test
