// Reading delimited text through the "Text" driver: records and quoting, names, types,
// encodings, delimiters, schema.ini and the folder's table list.
#include <gtest/gtest.h>

#include "engine/drivers/text/text_layout.h"
#include "engine/engine_error.h"
#include "tests/support/test_support.h"
#include "tests/text/text_test_util.h"

namespace tabulor::test {
namespace {

using Rows = std::vector<std::vector<std::string>>;

TEST(TextReader, RecordsAndQuoting) {
  struct Case {
    const char* name;
    std::string bytes;
    std::vector<std::string> names;
    Rows rows;
  } cases[] = {
      {"plain LF", "a,b\n1,x\n2,y\n", {"a", "b"}, {{"1", "x"}, {"2", "y"}}},
      {"CRLF, no final newline", "a,b\r\n1,x\r\n2,y", {"a", "b"}, {{"1", "x"}, {"2", "y"}}},
      {"CR only", "a,b\r1,x\r2,y\r", {"a", "b"}, {{"1", "x"}, {"2", "y"}}},
      {"quoted delimiter and quotes",
       "a,b\n\"x,y\",\"say \"\"hi\"\"\"\n",
       {"a", "b"},
       {{"x,y", "say \"hi\""}}},
      {"line breaks inside quotes kept as they are",
       "a,b\n\"1\n2\",\"3\r\n4\"\n\"5\r6\",z\n",
       {"a", "b"},
       {{"1\n2", "3\r\n4"}, {"5\r6", "z"}}},
      {"quoted names with line breaks", "\"Ben\nA\",b\n1,2\n", {"Ben\nA", "b"}, {{"1", "2"}}},
      {"text after a closing quote is kept",
       "a,b\n\"x\"y,\"\"\"q\"\n",
       {"a", "b"},
       {{"xy", "\"q"}}},
      {"quote inside an unquoted field is literal", "a\n5\"\n", {"a"}, {{"5\""}}},
      {"blank lines skipped", "a,b\n\n1,2\r\n\r\n3,4\n\n", {"a", "b"}, {{"1", "2"}, {"3", "4"}}},
      {"short rows padded with NULL",
       "a,b,c\n1\n1,2\n",
       {"a", "b", "c"},
       {{"1", "", ""}, {"1", "2", ""}}},
      {"trailing empty fields ignored", "a,b\n1,2,,\n", {"a", "b"}, {{"1", "2"}}},
      {"wider first rows add columns", "a\n1,2\n3\n", {"a", "F2"}, {{"1", "2"}, {"3", ""}}},
      {"empty and repeated names",
       "a,,A,b,a\n1,2,3,4,5\n",
       {"a", "F2", "F3", "b", "F5"},
       {{"1", "2", "3", "4", "5"}}},
      {"header only", "a,b\n", {"a", "b"}, {}},
      {"empty file", "", {}, {}},
      {"quoted empty single field is a row", "a\n\"\"\n1\n", {"a"}, {{""}, {"1"}}},
      {"delimiter at end of file", "a,b\n1,", {"a", "b"}, {{"1", ""}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    writeFile(dir.file("t.csv"), c.bytes);
    TextTable table = readTextTable(dir.path(), "t#csv");
    EXPECT_EQ(table.names(), c.names);
    EXPECT_EQ(table.texts(), c.rows);
  }
}

TEST(TextReader, TypesFromTheFirstRowsAndTextWhereALaterValueBreaksThem) {
  TempDir dir;
  std::string csv = "id,price,when,ok,zip,note\n";
  for (int i = 1; i <= 30; ++i)
    csv += std::to_string(i) + "," + std::to_string(i) + ".25,2020-01-" +
           std::to_string(10 + i % 18) + "," + (i % 2 ? "TRUE" : "FALSE") + ",0" +
           std::to_string(1000 + i) + ",\n";
  csv += "oops,1.5e3,soon,maybe,12345,\"x\"\n";
  writeFile(dir.file("t.csv"), csv);
  TextTable table = readTextTable(dir.path(), "t#csv");
  ASSERT_EQ(table.fields.size(), 6u);
  EXPECT_EQ(table.fields[0].type, VT_I4);
  EXPECT_EQ(table.fields[1].type, VT_R8);
  EXPECT_EQ(table.fields[2].type, VT_DATE);
  EXPECT_EQ(table.fields[3].type, VT_BOOL);
  EXPECT_EQ(table.fields[4].type, VT_BSTR);  // leading zeros
  EXPECT_EQ(table.fields[5].type, VT_BSTR);  // no values in the first rows
  ASSERT_EQ(table.rows.size(), 31u);
  EXPECT_EQ(table.rows[0][0], Variant::i4(1));
  EXPECT_EQ(table.rows[0][1], Variant::r8(1.25));
  EXPECT_EQ(table.rows[0][3], Variant::boolean(true));
  EXPECT_EQ(table.rows[0][4], Variant::text("01001"));
  EXPECT_TRUE(table.rows[0][5].isNull());
  const auto& last = table.rows.back();
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(last[i].vt, VT_BSTR) << i;
  EXPECT_EQ(last[0].str, "oops");
  EXPECT_EQ(last[1].str, "1.5e3");
  EXPECT_EQ(last[4], Variant::text("12345"));
  EXPECT_EQ(last[5], Variant::text("x"));
}

TEST(TextReader, ResetRepeatsTheSameRows) {
  TempDir dir;
  writeFile(dir.file("t.csv"), "a,b\n1,x\n2,\"y\nz\"\n");
  auto db = textDriverForTests().openDatabase(dir.path());
  auto cursor = db->openTable("t#csv");
  std::vector<Variant> row;
  std::vector<std::vector<Variant>> first, second;
  while (cursor->next(row)) first.push_back(row);
  cursor->reset();
  while (cursor->next(row)) second.push_back(row);
  EXPECT_EQ(first.size(), 2u);
  EXPECT_EQ(first, second);
}

TEST(TextReader, Encodings) {
  struct Case {
    const char* name;
    std::string bytes;
    std::string value;
  } cases[] = {
      {"UTF-8", "n\nZo\xC3\xAB\n", "Zo\xC3\xAB"},
      {"UTF-8 with BOM", "\xEF\xBB\xBFn\nZo\xC3\xAB\n", "Zo\xC3\xAB"},
      {"Windows-1252", "n\nZo\xEB \x80\n", "Zo\xC3\xAB \xE2\x82\xAC"},
      {"UTF-8 BOM with a stray byte", "\xEF\xBB\xBFn\nZo\xC3\xAB \xE9\n", "Zo\xC3\xAB \xC3\xA9"},
      {"UTF-16LE with BOM", std::string("\xFF\xFEn\0\n\0Z\0o\0\xEB\0\n\0", 14), "Zo\xC3\xAB"},
      {"UTF-16BE with BOM", std::string("\xFE\xFF\0n\0\n\0Z\0o\0\xEB\0\n", 14), "Zo\xC3\xAB"},
      {"UTF-16LE surrogate pair", std::string("\xFF\xFEn\0\n\0\x3D\xD8\x00\xDE", 10),
       "\xF0\x9F\x98\x80"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    writeFile(dir.file("t.txt"), c.bytes);
    TextTable table = readTextTable(dir.path(), "t#txt");
    ASSERT_EQ(table.names(), std::vector<std::string>{"n"});
    ASSERT_EQ(table.texts(), Rows{{c.value}});
  }
}

// A file that is valid UTF-8 up to its last megabytes is still read as Windows-1252 as a
// whole, and long UTF-16 files decode across chunk boundaries.
TEST(TextReader, EncodingIsChosenPerFileAndDecodedAcrossChunks) {
  TempDir dir;
  std::string csv = "n,v\n";
  for (int i = 0; i < 100000; ++i) csv += "Zo\xC3\xAB,\"a,b\"\n";  // UTF-8 "Zoë"
  std::string ansi = csv + "caf\xE9,x\n";                          // then one cp1252 byte
  writeFile(dir.file("ansi.csv"), ansi);
  TextTable table = readTextTable(dir.path(), "ansi.csv");
  ASSERT_EQ(table.rows.size(), 100001u);
  EXPECT_EQ(table.rows[0][0].str, "Zo\xC3\x83\xC2\xAB");  // the two bytes as cp1252
  EXPECT_EQ(table.rows.back()[0].str, "caf\xC3\xA9");

  // Beyond the probed start a file is read as UTF-8 and a stray byte as Windows-1252, so
  // opening a large file does not read all of it first.
  std::string large = "n,v\n";
  while (large.size() < (5u << 20)) large += "Zo\xC3\xAB,\"a,b\"\n";
  large += "caf\xE9,x\n";
  writeFile(dir.file("large.csv"), large);
  table = readTextTable(dir.path(), "large.csv");
  EXPECT_EQ(table.rows.front()[0].str, "Zo\xC3\xAB");
  EXPECT_EQ(table.rows.back()[0].str, "caf\xC3\xA9");

  std::string utf16 = "\xFF\xFE";
  std::string text = "n,v\n";
  for (int i = 0; i < 60000; ++i) text += "\xF0\x9F\x98\x80x,\xC3\xAB\n";
  for (size_t i = 0; i < text.size();) {
    // Tiny UTF-8 to UTF-16LE encoder for the three kinds of characters above.
    auto c = static_cast<unsigned char>(text[i]);
    char32_t cp;
    if (c < 0x80) {
      cp = c, i += 1;
    } else if (c < 0xE0) {
      cp = ((c & 0x1F) << 6) | (text[i + 1] & 0x3F), i += 2;
    } else {
      cp = ((c & 0x07) << 18) | ((text[i + 1] & 0x3F) << 12) | ((text[i + 2] & 0x3F) << 6) |
           (text[i + 3] & 0x3F);
      i += 4;
    }
    auto unit = [&](unsigned u) {
      utf16 += static_cast<char>(u & 0xFF), utf16 += static_cast<char>(u >> 8);
    };
    if (cp >= 0x10000) {
      unit(0xD800 + ((cp - 0x10000) >> 10));
      unit(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      unit(cp);
    }
  }
  writeFile(dir.file("wide.txt"), utf16);
  table = readTextTable(dir.path(), "wide#txt");
  ASSERT_EQ(table.rows.size(), 60000u);
  for (const auto& row : table.rows) {
    ASSERT_EQ(row[0].str, "\xF0\x9F\x98\x80x");
    ASSERT_EQ(row[1].str, "\xC3\xAB");
  }
}

TEST(TextReader, DelimiterDetection) {
  struct Case {
    const char* sample;
    char delimiter;
  } cases[] = {
      {"a,b,c\n1,2,3\n", ','},
      {"a\tb\n1\t2\n", '\t'},
      {"a;b;c\n1,5;2,5;3\n", ';'},
      {"name,desc\nx,hello; world\ny,a;b;c\n", ','},
      {"\"a;b\",c\n\"1;2\",3\n", ','},
      {"a\tb\n\"x,y\"\t\"z,w\"\n", '\t'},
      {"single\nvalue\n", ','},
      {"", ','},
      {"a,b\n1,2\n3;4;5;6", ','},
      // One record whose quoted fields hold tabs, ";" and line breaks: TAB or ";" would
      // cut it into records of two fields each, which agree with each other.
      {"\"x\ty\",\"1\t2\n3\t4\n5\t6\"\n", ','},
      {"a,\"b;1\",\"c\nd\",e;f\n", ','},
  };
  for (const auto& c : cases) EXPECT_EQ(detectDelimiter(c.sample, true), c.delimiter) << c.sample;
}

TEST(TextReader, SchemaIniIsHonoured) {
  TempDir dir;
  writeFile(dir.file("tab.txt"), "a,b\tc\n1,2\t3\n");
  writeFile(dir.file("semi.csv"), "a;b\n1;2\n");
  writeFile(dir.file("pipe.txt"), "a|b\n1|2\n");
  writeFile(dir.file("nohead.csv"), "1,x\n2,y\n");
  writeFile(dir.file("oem.txt"), "n\n\x81\n");  // ü in code page 437
  writeFile(dir.file("fixed.txt"), "abc\n");
  writeFile(dir.file("schema.ini"),
            "[tab.txt]\r\nFormat=TabDelimited\r\n[SEMI.CSV]\r\nFormat=Delimited(;)\r\n"
            "[pipe.txt]\r\nFormat=Delimited(|)\r\n[nohead.csv]\r\nColNameHeader=False\r\n"
            "Format=CSVDelimited\r\n[oem.txt]\r\nCharacterSet=OEM\r\n"
            "[fixed.txt]\r\nFormat=FixedLength\r\n");
  EXPECT_EQ(readTextTable(dir.path(), "tab#txt").names(), (std::vector<std::string>{"a,b", "c"}));
  EXPECT_EQ(readTextTable(dir.path(), "semi#csv").texts(), (Rows{{"1", "2"}}));
  EXPECT_EQ(readTextTable(dir.path(), "pipe#txt").texts(), (Rows{{"1", "2"}}));
  TextTable nohead = readTextTable(dir.path(), "nohead#csv");
  EXPECT_EQ(nohead.names(), (std::vector<std::string>{"F1", "F2"}));
  EXPECT_EQ(nohead.texts(), (Rows{{"1", "x"}, {"2", "y"}}));
  EXPECT_EQ(readTextTable(dir.path(), "oem#txt").texts(), (Rows{{"\xC3\xBC"}}));
  EXPECT_THROW(readTextTable(dir.path(), "fixed#txt"), EngineError);
}

// Records of empty fields are rows even without a header line to name a field: the table
// gets one field, so that they are written and read back as rows.
TEST(TextReader, HeaderlessRecordsOfEmptyFieldsStayRows) {
  for (const char* content : {"\"\"\r\n\"\"\r\n", ",,\n,\n", "\"\",\"\"\n\"\"\n"}) {
    TempDir dir, out;
    writeFile(dir.file("t.csv"), content);
    writeFile(dir.file("schema.ini"), "[t.csv]\nColNameHeader=False\n");
    TextTable t = readTextTable(dir.path(), "t#csv");
    EXPECT_EQ(t.names(), (std::vector<std::string>{"F1"})) << content;
    EXPECT_EQ(t.texts(), (Rows{{""}, {""}})) << content;
    writeTextTable(out.path(), "t.csv", t.fields, t.rows);
    EXPECT_EQ(readTextTable(out.path(), "t#csv").texts(), (Rows{{""}, {""}})) << content;
  }
}

TEST(TextReader, TableListAndNames) {
  TempDir dir;
  for (const char* name :
       {"b.csv", "a.TXT", "c.tab", "d.asc", "e.dat", "schema.ini", "f.csv.bak", "noext"})
    writeFile(dir.file(name), "x\n1\n");
  ASSERT_EQ(::mkdir(dir.file("folder.csv").c_str(), 0755), 0);
  auto db = textDriverForTests().openDatabase(dir.path());
  auto tables = db->tables();
  std::vector<std::string> names, files;
  for (const auto& t : tables) {
    names.push_back(t.name);
    files.push_back(t.fileName);
    EXPECT_EQ(t.attributes, 0);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"a#TXT", "b#csv", "c#tab", "d#asc"}));
  EXPECT_EQ(files, (std::vector<std::string>{"a.TXT", "b.csv", "c.tab", "d.asc"}));
  for (const char* name : {"b#csv", "B#CSV", "b.csv", "A#txt", "a.TXT"})
    EXPECT_NO_THROW(db->openTable(name)) << name;
  for (const char* name : {"e#dat", "zz#csv", "../b.csv", "", "folder#csv"}) {
    try {
      db->openTable(name);
      ADD_FAILURE() << name << " opened";
    } catch (const EngineError& e) {
      EXPECT_EQ(e.kind(), ErrorKind::NotFound) << name;
    }
  }
}

// Records that cross the 1 MB read buffer, and one record of 10 MB.
TEST(TextReader, LongRecordsAndBufferBoundaries) {
  TempDir dir;
  std::string big(10 << 20, 'x');
  std::string csv = "a,b\n1,\"" + big + "\"\n2,\"q\"\"" + big.substr(0, 1 << 20) + "\"\n";
  for (int i = 0; i < 50000; ++i)
    csv += std::to_string(i) + ",\"v\"\"" + std::to_string(i) + "\r\n\"\r\n";
  writeFile(dir.file("big.csv"), csv);
  TextTable table = readTextTable(dir.path(), "big#csv");
  ASSERT_EQ(table.rows.size(), 50002u);
  EXPECT_EQ(table.rows[0][1].str, big);
  EXPECT_EQ(table.rows[1][1].str, "q\"" + big.substr(0, 1 << 20));
  for (int i = 0; i < 50000; ++i) {
    const auto& row = table.rows[static_cast<size_t>(i) + 2];
    ASSERT_EQ(row[0], Variant::i4(i));
    ASSERT_EQ(row[1].str, "v\"" + std::to_string(i) + "\r\n");
  }
}

}  // namespace
}  // namespace tabulor::test
