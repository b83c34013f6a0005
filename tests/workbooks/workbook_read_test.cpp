// Reading .xlsx and .ods: packages made here part by part (every feature of the formats the
// drivers read), workbooks written by LibreOffice, gnumeric and openpyxl from one CSV
// (read as gnumeric reads them), and the bad inputs that must end in a clear EngineError
// with bounded memory: a zip bomb, an entity bomb, a missing part, a truncated zip, a sheet
// claiming every cell of a sheet.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <functional>

#include "engine/engine_error.h"
#include "engine/ole_date.h"
#include "tests/support/test_support.h"
#include "tests/workbooks/workbook_test_util.h"

namespace tabulor::test {
namespace {

double date(const char* iso) {
  return *oleDateFromIso(iso);
}

using Rows = std::vector<std::vector<Variant>>;

// Shared and inline strings (rich text joined, phonetic runs left out, escapes decoded),
// numbers, dates by built-in and custom formats, times, cached formula results, booleans,
// errors, cells without references, styled blanks outside the values, defined names and a
// chart sheet that are not tables.
TEST(XlsxRead, PackageFeatures) {
  TempDir tmp;
  XlsxParts p;
  p.sharedStrings =
      "<si><t>name</t></si><si><t>when</t></si><si><r><t>Zo</t></r><r><rPr/><t "
      "xml:space=\"preserve\">ë </t></r><rPh><t>ZOE</t></rPh></si><si><t>a_x000D__x000A_b "
      "_x005F_x0041_</t></si><si><t>kind</t></si>";
  p.numFmts = "<numFmt numFmtId=\"164\" formatCode=\"dd/mm/yyyy\\ hh:mm\"/>";
  p.cellXfs =
      "<xf numFmtId=\"0\"/><xf numFmtId=\"14\"/><xf numFmtId=\"164\"/><xf numFmtId=\"21\"/>";
  p.sheets.push_back(
      {"My Sheet",
       "<row r=\"2\"><c r=\"B2\" t=\"s\"><v>0</v></c><c r=\"C2\" t=\"s\"><v>1</v></c><c "
       "r=\"D2\" t=\"s\"><v>4</v></c><c r=\"H2\" s=\"1\"/></row>"
       "<row r=\"3\"><c r=\"B3\" t=\"s\"><v>2</v></c><c r=\"C3\" s=\"1\"><v>45000</v></c>"
       "<c r=\"D3\" t=\"b\"><v>1</v></c></row>"
       "<row r=\"4\"><c r=\"B4\" t=\"s\"><v>3</v></c><c r=\"C4\" s=\"2\"><v>45000.5</v></c>"
       "<c r=\"D4\" t=\"e\"><f>1/0</f><v>#DIV/0!</v></c></row>"
       "<row><c t=\"inlineStr\"/><c t=\"inlineStr\"><is><t>inline</t></is></c><c "
       "s=\"3\"><v>0.25</v></c><c t=\"str\"><f>\"x\"</f><v>formula text</v></c></row>"
       "<row r=\"9\" spans=\"1:9\"><c r=\"I9\" s=\"1\"/></row>"});
  p.sheets.push_back({"Ünïcode", "<row r=\"1\"><c r=\"A1\"><v>1.5</v></c></row>"});
  p.workbookExtra =
      "<definedNames><definedName name=\"Prices\">'My Sheet'!$B$2:$C$4</definedName>"
      "<definedName name=\"Local\" localSheetId=\"1\">Ünïcode!$A$1</definedName>"
      "<definedName name=\"_xlnm.Print_Area\" localSheetId=\"0\">x</definedName></definedNames>";
  auto parts = xlsxPackage(p);
  // A chart sheet: listed by the workbook, not a table.
  for (auto& [name, content] : parts) {
    if (name == "xl/workbook.xml")
      content.replace(content.find("</sheets>"), 0,
                      "<sheet name=\"Chart\" sheetId=\"9\" r:id=\"rC\"/>");
    if (name == "xl/_rels/workbook.xml.rels")
      content.replace(content.find("</Relationships>"), 0,
                      "<Relationship Id=\"rC\" Type=\"http://schemas.openxmlformats.org/"
                      "officeDocument/2006/relationships/chartsheet\" "
                      "Target=\"chartsheets/sheet1.xml\"/>");
  }
  writeZip(tmp.file("f.xlsx"), parts);
  auto db = xlsx().openDatabase(tmp.file("f.xlsx"));
  std::vector<std::string> names;
  for (const auto& t : db->tables()) names.push_back(t.name);
  EXPECT_EQ(names,
            (std::vector<std::string>{"'My Sheet$'", "Ünïcode$", "Prices", "Ünïcode$Local"}));
  std::vector<FieldInfo> fields;
  Rows rows = readRows(*db, "'My Sheet$'", &fields);
  ASSERT_EQ(fields.size(), 3u);
  EXPECT_EQ(fields[0].name, "name");
  EXPECT_EQ(fields[1].name, "when");
  EXPECT_EQ(fields[2].name, "kind");
  EXPECT_EQ(fields[1].type, VT_DATE);
  EXPECT_EQ(fields[2].type, VT_BSTR);
  EXPECT_EQ(
      rows,
      (Rows{{Variant::text("Zoë "), Variant::oleDate(45000), Variant::text("TRUE")},
            {Variant::text("a\r\nb _x0041_"), Variant::oleDate(45000.5), Variant::text("#DIV/0!")},
            {Variant::text("inline"), Variant::oleDate(0.25), Variant::text("formula text")}}));
  EXPECT_EQ(readRows(*db, "Ünïcode$"), Rows{});  // one cell: the header, no records
  EXPECT_THROW(db->openTable("Prices"), EngineError);
  EXPECT_THROW(db->openTable("Chart$"), EngineError);

  // The 1904 date system.
  XlsxParts q;
  q.date1904 = true;
  q.cellXfs = "<xf numFmtId=\"0\"/><xf numFmtId=\"14\"/>";
  q.sheets.push_back({"S",
                      "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>d</t></is></c></row>"
                      "<row r=\"2\"><c r=\"A2\" s=\"1\"><v>0</v></c></row>"});
  writeZip(tmp.file("d.xlsx"), xlsxPackage(q));
  EXPECT_EQ(readRows(*xlsx().openDatabase(tmp.file("d.xlsx")), "S$"),
            (Rows{{Variant::oleDate(date("1904-01-01"))}}));
}

// Repeated rows and cells expanded, covered cells empty (the first column mixes numbers and
// an error, so it is text), value types (float, percentage,
// currency, date, time, boolean, string, LibreOffice's error cells), paragraphs with
// spaces, tabs and line breaks, annotations left out.
TEST(OdsRead, ContentFeatures) {
  TempDir tmp;
  writeZip(
      tmp.file("f.ods"),
      odsPackage(
          "<table:table table:name=\"Data Sheet\"><table:table-column "
          "table:number-columns-repeated=\"3\"/><table:table-header-rows><table:table-row>"
          "<table:table-cell office:value-type=\"string\"><text:p>n</text:p></table:table-cell>"
          "<table:table-cell office:value-type=\"string\"><text:p>t</text:p></table:table-cell>"
          "<table:table-cell office:value-type=\"string\"><text:p>w</text:p></table:table-cell>"
          "</table:table-row></table:table-header-rows>"
          "<table:table-row table:number-rows-repeated=\"2\"><table:table-cell "
          "office:value-type=\"percentage\" office:value=\"0.25\"/><table:table-cell "
          "office:value-type=\"string\"><office:annotation><text:p>note</text:p></"
          "office:annotation><text:p><text:s text:c=\"2\"/>a <text:s/>b<text:tab/>c<text:line-"
          "break/>d</text:p><text:p><text:span>second</text:span></text:p></table:table-cell>"
          "<table:table-cell office:value-type=\"date\" "
          "office:date-value=\"2024-02-29T10:11:12\"/></table:table-row>"
          "<table:table-row><table:table-cell office:value-type=\"currency\" "
          "office:value=\"-3\"/><table:covered-table-cell/><table:table-cell "
          "office:value-type=\"time\" office:time-value=\"PT18H30M00S\"/></table:table-row>"
          "<table:table-row><table:table-cell office:value-type=\"float\" office:value=\"0\" "
          "calcext:value-type=\"error\"><text:p>#DIV/0!</text:p></table:table-cell>"
          "<table:table-cell office:value-type=\"boolean\" office:boolean-value=\"true\"/>"
          "<table:table-cell table:number-columns-repeated=\"16380\"/></table:table-row>"
          "<table:table-row table:number-rows-repeated=\"1048570\"><table:table-cell "
          "table:number-columns-repeated=\"1024\"/></table:table-row></table:table>"
          "<table:table table:name=\"wide\"><table:table-row><table:table-cell "
          "table:number-columns-repeated=\"3\" office:value-type=\"float\" "
          "office:value=\"7\"/></table:table-row></table:table>"));
  auto db = ods().openDatabase(tmp.file("f.ods"));
  std::vector<std::string> names;
  for (const auto& t : db->tables()) names.push_back(t.name);
  EXPECT_EQ(names, (std::vector<std::string>{"'Data Sheet$'", "wide$"}));
  std::vector<FieldInfo> fields;
  Rows rows = readRows(*db, "'Data Sheet$'", &fields);
  Rows want = {
      {Variant::text("0.25"), Variant::text("  a  b\tc\nd\nsecond"),
       Variant::oleDate(date("2024-02-29 10:11:12"))},
      {Variant::text("0.25"), Variant::text("  a  b\tc\nd\nsecond"),
       Variant::oleDate(date("2024-02-29 10:11:12"))},
      {Variant::text("-3"), Variant::null(), Variant::oleDate(date("1899-12-30 18:30:00"))},
      {Variant::text("#DIV/0!"), Variant::text("TRUE"), Variant::null()},
  };
  EXPECT_EQ(rows, want);
  ASSERT_EQ(fields.size(), 3u);
  EXPECT_EQ(fields[2].type, VT_DATE);
  Rows wide = readRows(*db, "wide$", &fields);
  EXPECT_EQ(fields.size(), 3u);
  EXPECT_TRUE(wide.empty());
}

// Workbooks written by LibreOffice and gnumeric (from one CSV) and by openpyxl read as
// gnumeric reads them back.
TEST(WorkbookRead, WorkbooksWrittenByOtherPrograms) {
  if (!haveProgram("ssconvert")) GTEST_SKIP() << "ssconvert not installed";
  TempDir tmp;
  std::string csv = "id,name,price,day,flag,note\n";
  for (int i = 1; i <= 300; ++i)
    csv += std::to_string(i) + ",\"Zoë " + std::to_string(i) + " ∂\"," + std::to_string(i * 1.25) +
           ",2024-01-" + std::to_string(10 + i % 20) + "," + (i % 3 ? "TRUE" : "FALSE") + "," +
           (i == 7  ? std::string(10000, 'L')
            : i % 4 ? "x  y"
                    : "") +
           "\n";
  writeFile(tmp.file("in.csv"), csv);
  std::vector<std::string> books;
  for (const char* target : {"xlsx", "ods"}) {
    std::string out = std::string("gnumeric.") + target;
    ASSERT_EQ(runCommand("cd '" + tmp.path() + "' && ssconvert in.csv " + out + " >/dev/null 2>&1"),
              0);
    books.push_back(tmp.file(out));
  }
  if (haveProgram("soffice")) {
    ASSERT_EQ(runCommand("cd '" + tmp.path() + "' && " + sofficeCommand() +
                         " --infilter=CSV:44,34,76 --convert-to xlsx in.csv >/dev/null 2>&1 && " +
                         sofficeCommand() +
                         " --infilter=CSV:44,34,76 --convert-to ods in.csv >/dev/null 2>&1"),
              0);
    books.push_back(tmp.file("in.xlsx"));
    books.push_back(tmp.file("in.ods"));
  }
  runPython(R"(
import csv, datetime, sys, openpyxl
wb = openpyxl.Workbook(write_only=True)
ws = wb.create_sheet("Sheet1")
for i, row in enumerate(csv.reader(open(sys.argv[1], encoding="utf-8"))):
    if i:
        row = [int(row[0]), row[1], float(row[2]),
               datetime.datetime.strptime(row[3], "%Y-%m-%d"), row[4] == "TRUE", row[5] or None]
    ws.append(row)
wb.save(sys.argv[2])
)",
            {tmp.file("in.csv"), tmp.file("openpyxl.xlsx")});
  books.push_back(tmp.file("openpyxl.xlsx"));
  for (const std::string& book : books) {
    SCOPED_TRACE(book);
    const Driver& driver = book.substr(book.size() - 4) == ".ods" ? ods() : xlsx();
    std::vector<Grid> theirs = ssconvertSheets(book, tmp.path());
    ASSERT_EQ(theirs.size(), 1u);
    auto db = driver.openDatabase(book);
    ASSERT_EQ(db->tables().size(), 1u);
    std::vector<FieldInfo> fields;
    Grid ours = readTable(*db, db->tables()[0].name, &fields);
    EXPECT_EQ(ours.size(), 301u);
    EXPECT_EQ(compareGrids(ours, theirs[0], false), "");
    ASSERT_EQ(fields.size(), 6u);
    EXPECT_EQ(fields[0].type, VT_I4);
    EXPECT_EQ(fields[2].type, VT_R8);
    EXPECT_EQ(fields[3].type, VT_DATE);
    EXPECT_EQ(fields[4].type, VT_BOOL);
  }
}

// Parts of several megabytes, which are inflated on a thread of their own a few slices ahead
// of the parser: every value arrives whole across the slice boundaries, two sheets of one
// .xlsx (and two tables of one content.xml) read in turns share nothing, and a part damaged
// in its middle ends in a clear error naming it.
TEST(WorkbookRead, LargePartsReadInTurns) {
  TempDir tmp;
  const int count = 50000;  // some 6 MB of XML per sheet, 18 MB of content.xml
  auto text = [](int r, char which) {
    return "row " + std::to_string(r) + " of " + which + " with  two\tblanks";
  };
  XlsxParts book;
  std::string tables;
  for (char which : {'a', 'b'}) {
    std::string sheet =
        "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>n</t></is></c><c r=\"B1\" "
        "t=\"inlineStr\"><is><t>t</t></is></c></row>";
    std::string table = std::string("<table:table table:name=\"") + which +
                        "\"><table:table-row><table:table-cell office:value-type=\"string\">"
                        "<text:p>n</text:p></table:table-cell><table:table-cell "
                        "office:value-type=\"string\"><text:p>t</text:p></table:table-cell>"
                        "</table:table-row>";
    for (int r = 1; r <= count; ++r) {
      std::string n = std::to_string(r), at = std::to_string(r + 1);
      sheet += "<row r=\"" + at + "\"><c r=\"A" + at + "\"><v>" + n + "</v></c><c r=\"B" + at +
               "\" t=\"inlineStr\"><is><t xml:space=\"preserve\">" + text(r, which) +
               "</t></is></c></row>";
      // ODF collapses blanks in paragraphs: the tab and the second blank are written as
      // the elements that keep them.
      table += "<table:table-row><table:table-cell office:value-type=\"float\" office:value=\"" +
               n + "\"/><table:table-cell office:value-type=\"string\"><text:p>row " + n + " of " +
               which +
               " with <text:s/>two<text:tab/>blanks</text:p></table:table-cell>"
               "</table:table-row>";
    }
    book.sheets.push_back({std::string(1, which), sheet});
    tables += table + "</table:table>";
  }
  writeZip(tmp.file("big.xlsx"), xlsxPackage(book));
  writeZip(tmp.file("big.ods"), odsPackage(tables));

  for (const char* file : {"big.xlsx", "big.ods"}) {
    SCOPED_TRACE(file);
    const Driver& driver = std::string(file).find(".ods") != std::string::npos ? ods() : xlsx();
    auto db = driver.openDatabase(tmp.file(file));
    auto a = db->openTable("a$");
    auto b = db->openTable("b$");
    ASSERT_EQ(a->fields().size(), 2u);
    EXPECT_EQ(a->fields()[0].type, VT_I4);
    std::vector<Variant> rowA, rowB;
    int r = 0;
    while (a->next(rowA)) {
      ASSERT_TRUE(b->next(rowB));
      ++r;
      ASSERT_EQ(rowA, (std::vector<Variant>{Variant::i4(r), Variant::text(text(r, 'a'))}));
      ASSERT_EQ(rowB, (std::vector<Variant>{Variant::i4(r), Variant::text(text(r, 'b'))}));
    }
    EXPECT_FALSE(b->next(rowB));
    EXPECT_EQ(r, count);
  }

  // The zip directory giving the first sheet half its compressed bytes: inflating stops
  // with an error on the thread, some megabytes into the part, and the reader reports it.
  std::string bytes = readFile(tmp.file("big.xlsx"));
  const std::string sheet1 = "xl/worksheets/sheet1.xml";
  bool cut = false;
  for (size_t at = bytes.find("PK\x01\x02"); at != std::string::npos && !cut;
       at = bytes.find("PK\x01\x02", at + 4)) {
    auto u16 = [&](size_t i) { return uint8_t(bytes[i]) | uint32_t(uint8_t(bytes[i + 1])) << 8; };
    if (bytes.compare(at + 46, u16(at + 28), sheet1) != 0) continue;
    uint32_t csize = u16(at + 20) | u16(at + 22) << 16;
    csize /= 2;
    for (int k = 0; k < 4; ++k) bytes[at + 20 + k] = static_cast<char>(csize >> (8 * k));
    cut = true;
  }
  ASSERT_TRUE(cut);
  writeFile(tmp.file("damaged.xlsx"), bytes);
  try {
    readRows(*xlsx().openDatabase(tmp.file("damaged.xlsx")), "a$");
    ADD_FAILURE() << "no error";
  } catch (const EngineError& e) {
    EXPECT_NE(std::string(e.what()).find(sheet1 + ") cannot be inflated"), std::string::npos)
        << e.what();
  }
}

// The sanitizers' shadow memory takes terabytes of address space: under one, the child runs
// without the limit and only the refusal itself is checked.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool LimitAddressSpace = false;
#else
constexpr bool LimitAddressSpace = true;
#endif

// The child's side of expectCleanRefusal: never returns.
[[noreturn]] void refuseWithin1GB(const std::function<void()>& read, const std::string& mustSay) {
  if (LimitAddressSpace) {
    rlimit limit{};
    limit.rlim_cur = limit.rlim_max = size_t(1) << 30;
    setrlimit(RLIMIT_AS, &limit);
  }
  try {
    read();
    std::fprintf(stderr, "no error\n");
    std::_Exit(1);
  } catch (const EngineError& e) {
    std::fprintf(stderr, "%s\n", e.what());
    std::_Exit(std::string(e.what()).find(mustSay) != std::string::npos ? 0 : 2);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "out of memory\n");
    std::_Exit(3);
  }
}

// Runs `read` in a child process whose address space is limited to 1 GB: it must end in
// an EngineError whose text holds `mustSay`.
void expectCleanRefusal(const std::function<void()>& read, const std::string& mustSay) {
  EXPECT_EXIT(refuseWithin1GB(read, mustSay), ::testing::ExitedWithCode(0), "");
}

void readAll(const Driver& driver, const std::string& path) {
  auto db = driver.openDatabase(path);
  for (const TableDefInfo& t : db->tables()) {
    if (t.name.back() != '$' && t.name.back() != '\'') continue;
    readRows(*db, t.name);
  }
}

TEST(WorkbookBadInput, ClearErrorsWithBoundedMemory) {
  TempDir tmp;
  // A zip bomb: a sheet of 80 MB of blanks in a file of some 80 KB (the check needs no
  // gigabytes to show: it looks at the sizes before inflating anything).
  XlsxParts bomb;
  bomb.sheets.push_back({"S", std::string(80 << 20, ' ')});
  writeZip(tmp.file("bomb.xlsx"), xlsxPackage(bomb));
  std::string odsBomb = std::string(80 << 20, ' ');
  writeZip(tmp.file("bomb.ods"), odsPackage(odsBomb));
  odsBomb.clear();
  odsBomb.shrink_to_fit();

  // An entity bomb ("billion laughs") in the shared strings and in content.xml.
  std::string laughs = "<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol \"lol\">";
  for (int i = 1; i <= 9; ++i)
    laughs += "<!ENTITY lol" + std::to_string(i) + " \"" + [&] {
      std::string s;
      for (int k = 0; k < 10; ++k) s += "&lol" + (i > 1 ? std::to_string(i - 1) : "") + ";";
      return s;
    }() + "\">";
  laughs += "]>";
  XlsxParts entity;
  entity.sheets.push_back({"S", "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row>"});
  auto parts = xlsxPackage(entity);
  for (auto& [name, content] : parts)
    if (name == "xl/sharedStrings.xml") content = laughs + "<sst><si><t>&lol9;</t></si></sst>";
  writeZip(tmp.file("entity.xlsx"), parts);
  auto odsParts = odsPackage("");
  for (auto& [name, content] : odsParts)
    if (name == "content.xml")
      content = laughs + "<office:document-content><p>&lol9;</p></office:document-content>";
  writeZip(tmp.file("entity.ods"), odsParts);

  // Missing parts.
  XlsxParts good;
  good.sheets.push_back({"S", "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"});
  auto noSheet = xlsxPackage(good);
  noSheet.erase(std::remove_if(
                    noSheet.begin(), noSheet.end(),
                    [](const auto& p) { return p.first.find("worksheets/") != std::string::npos; }),
                noSheet.end());
  writeZip(tmp.file("nosheet.xlsx"), noSheet);
  auto noBook = xlsxPackage(good);
  noBook.erase(std::remove_if(noBook.begin(), noBook.end(),
                              [](const auto& p) { return p.first == "xl/workbook.xml"; }),
               noBook.end());
  writeZip(tmp.file("nobook.xlsx"), noBook);
  auto noContent = odsPackage("");
  noContent.pop_back();
  writeZip(tmp.file("nocontent.ods"), noContent);

  // Truncated zips.
  writeZip(tmp.file("whole.xlsx"), xlsxPackage(good));
  std::string whole = readFile(tmp.file("whole.xlsx"));
  writeFile(tmp.file("cut.xlsx"), whole.substr(0, whole.size() / 2));
  writeZip(tmp.file("whole.ods"), odsPackage("<table:table table:name=\"t\"/>"));
  whole = readFile(tmp.file("whole.ods"));
  writeFile(tmp.file("cut.ods"), whole.substr(0, whole.size() - 30));

  // A sheet claiming every cell of a sheet: two corner cells in .xlsx, a value repeated
  // over every row and column in .ods.
  XlsxParts corners;
  corners.sheets.push_back({"S",
                            "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row><row r=\"1048576\"><c "
                            "r=\"XFD1048576\"><v>2</v></c></row>"});
  writeZip(tmp.file("corners.xlsx"), xlsxPackage(corners));
  writeZip(tmp.file("claims.ods"),
           odsPackage("<table:table table:name=\"t\"><table:table-row "
                      "table:number-rows-repeated=\"1048576\"><table:table-cell "
                      "table:number-columns-repeated=\"16384\" office:value-type=\"float\" "
                      "office:value=\"1\"/></table:table-row></table:table>"));

  // A cell of a few kilobytes that asks for 65,535 spaces twenty thousand times (1.3 GB).
  std::string spaces;
  for (int i = 0; i < 20000; ++i) spaces += "<text:s text:c=\"65535\"/>";
  writeZip(tmp.file("spaces.ods"),
           odsPackage("<table:table table:name=\"t\"><table:table-row><table:table-cell "
                      "office:value-type=\"string\"><text:p>" +
                      spaces + "</text:p></table:table-cell></table:table-row></table:table>"));

  // A sheet and a content.xml in UTF-16: refused by name, not read as empty tables.
  auto utf16 = [](const std::string& ascii) {
    std::string out = "\xFF\xFE";
    for (char c : ascii) out += std::string(1, c) + '\0';
    return out;
  };
  auto utf16Book = xlsxPackage(good);
  for (auto& [name, content] : utf16Book)
    if (name == "xl/worksheets/sheet1.xml") content = utf16(content);
  writeZip(tmp.file("utf16.xlsx"), utf16Book);
  auto utf16Ods = odsPackage("<table:table table:name=\"t\"/>");
  for (auto& [name, content] : utf16Ods)
    if (name == "content.xml") content = utf16(content);
  writeZip(tmp.file("utf16.ods"), utf16Ods);

  struct Case {
    const Driver* driver;
    std::string file, mustSay;
  } cases[] = {
      {&xlsx(), "bomb.xlsx", "zip bomb"},
      {&ods(), "bomb.ods", "zip bomb"},
      {&xlsx(), "entity.xlsx", "document type declaration"},
      {&ods(), "entity.ods", "document type declaration"},
      {&xlsx(), "nosheet.xlsx", "has no part xl/worksheets/sheet1.xml"},
      {&xlsx(), "nobook.xlsx", "has no part xl/workbook.xml"},
      {&ods(), "nocontent.ods", "has no part content.xml"},
      {&xlsx(), "cut.xlsx", "damaged or truncated zip"},
      {&ods(), "cut.ods", "damaged or truncated zip"},
      {&xlsx(), "corners.xlsx", "more than 1,073,741,824 cells"},
      {&ods(), "claims.ods", "more than 1,073,741,824 cells"},
      {&ods(), "spaces.ods", "repeated spaces (text:s)"},
      {&xlsx(), "utf16.xlsx", "sheet1.xml) is in UTF-16"},
      {&ods(), "utf16.ods", "content.xml is in UTF-16"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    auto start = std::chrono::steady_clock::now();
    expectCleanRefusal([&] { readAll(*c.driver, tmp.file(c.file)); }, c.mustSay);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  }

  // A claimed dimension is only a claim: the cells decide.
  XlsxParts claimed;
  claimed.sheets.push_back({"S", "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"});
  auto claimedParts = xlsxPackage(claimed);
  for (auto& [name, content] : claimedParts)
    if (name == "xl/worksheets/sheet1.xml")
      content.replace(content.find("<sheetData>"), 0, "<dimension ref=\"A1:XFD1048576\"/>");
  writeZip(tmp.file("claimed.xlsx"), claimedParts);
  std::vector<FieldInfo> fields;
  EXPECT_TRUE(readRows(*xlsx().openDatabase(tmp.file("claimed.xlsx")), "S$", &fields).empty());
  EXPECT_EQ(fields.size(), 1u);
}

}  // namespace
}  // namespace tabulor::test
