// The HTML Export writer: pages read back by Python's html.parser give the same cells, no
// value turns into markup, numbers are right-aligned, and real tables convert through the
// engine.
#include <gtest/gtest.h>

#include <map>

#include "engine/database.h"
#include "engine/engine_error.h"
#include "engine/ole_date.h"
#include "engine/registry.h"
#include "tests/support/test_support.h"

namespace tabulor::test {
namespace {

// Prints the page as CSV: a line "title,caption", a line of every start tag seen, then one
// line per table row with each cell's text (<br> adds nothing: the break follows it) and,
// after the cells, the class of each cell.
const char* const HtmlDump = R"PY(/usr/bin/python3 -c '
import sys, csv, html.parser
class P(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.tags, self.rows, self.cell, self.where = [], [], None, None
        self.title = self.caption = ""
    def handle_starttag(self, tag, attrs):
        self.tags.append(tag)
        if tag == "tr": self.rows.append(([], []))
        if tag in ("td", "th"):
            self.cell = ""
            self.rows[-1][1].append(dict(attrs).get("class") or "")
        if tag in ("title", "caption"): self.where = tag
    def handle_endtag(self, tag):
        if tag in ("td", "th"):
            self.rows[-1][0].append(self.cell); self.cell = None
        if tag in ("title", "caption"): self.where = None
    def handle_data(self, data):
        if self.cell is not None: self.cell += data
        elif self.where == "title": self.title += data
        elif self.where == "caption": self.caption += data
p = P(); p.feed(open(sys.argv[1], encoding="utf-8", newline="").read()); p.close()
w = csv.writer(sys.stdout, lineterminator="\n", quoting=csv.QUOTE_ALL)
w.writerow([p.title, p.caption]); w.writerow(sorted(set(p.tags)))
for cells, classes in p.rows: w.writerow(cells + classes)
' )PY";

struct Page {
  std::string title, caption;
  std::vector<std::string> tags;
  std::vector<std::vector<std::string>> cells, classes;
};

Page parsePage(const std::string& path, size_t columns) {
  std::string out;
  EXPECT_EQ(runCommand(std::string(HtmlDump) + "'" + path + "'", &out), 0);
  auto lines = parseCsv(out);
  Page page;
  if (lines.size() < 2) return page;
  page.title = lines[0][0];
  page.caption = lines[0][1];
  page.tags = lines[1];
  for (size_t i = 2; i < lines.size(); ++i) {
    auto& l = lines[i];
    l.resize(2 * columns);
    page.cells.emplace_back(l.begin(), l.begin() + static_cast<long>(columns));
    page.classes.emplace_back(l.begin() + static_cast<long>(columns), l.end());
  }
  return page;
}

void writeTable(const std::string& folder, const std::string& file,
                const std::vector<FieldInfo>& fields,
                const std::vector<std::vector<Variant>>& rows) {
  TableSchema schema;
  schema.fields = fields;
  auto writer = findDriver("HTML Export")->createTable(folder, file, schema);
  for (const auto& row : rows) writer->appendRow(row);
  writer->finish();
}

TEST(HtmlWrite, ParserReadsBackTheSameCellsAndNoMarkupFromValues) {
  TempDir dir;
  std::vector<FieldInfo> fields = {{"name <b>", VT_BSTR, 0, {}},
                                   {"amount", VT_R8, 0, {}},
                                   {"when", VT_DATE, 0, {}},
                                   {"ok", VT_BOOL, 0, {}}};
  const std::vector<std::string> hostile = {"<script>alert(\"x\")</script>",
                                            "a & b &amp; c",
                                            "it's \"quoted\"",
                                            "line one\nline two",
                                            "crlf\r\nbreak",
                                            "lone\rcr",
                                            "Müller – 漢字 😀",
                                            "  spaced  out  ",
                                            "</td></tr></table>"};
  std::vector<std::vector<Variant>> rows;
  for (size_t i = 0; i < hostile.size(); ++i)
    rows.push_back(
        {Variant::text(hostile[i]), Variant::r8(-1234.5 * static_cast<double>(i)),
         Variant::oleDate(*oleDateFromParts({2024, 1, 1 + static_cast<int>(i), 13, 5, 0})),
         Variant::boolean(i % 2 == 0)});
  rows.push_back({Variant::null(), Variant::null(), Variant::null(), Variant::null()});
  writeTable(dir.path(), "Sales_Jan.htm", fields, rows);

  std::string bytes = readFile(dir.file("Sales_Jan.htm"));
  EXPECT_EQ(bytes.rfind("<!DOCTYPE html>\n", 0), 0u);
  EXPECT_NE(bytes.find("<meta charset=\"utf-8\">"), std::string::npos);
  EXPECT_NE(bytes.find("line one<br>\nline two"), std::string::npos);
  EXPECT_NE(bytes.find(".n { text-align: right; }"), std::string::npos);

  Page page = parsePage(dir.file("Sales_Jan.htm"), 4);
  EXPECT_EQ(page.title, "Sales_Jan");
  EXPECT_EQ(page.caption, "Sales_Jan");
  EXPECT_EQ(page.tags,
            (std::vector<std::string>{"body", "br", "caption", "head", "html", "meta", "style",
                                      "table", "tbody", "td", "th", "thead", "title", "tr"}));
  ASSERT_EQ(page.cells.size(), rows.size() + 1);
  EXPECT_EQ(page.cells[0], (std::vector<std::string>{"name <b>", "amount", "when", "ok"}));
  EXPECT_EQ(page.classes[0], (std::vector<std::string>{"", "n", "", ""}));
  for (size_t r = 0; r < rows.size(); ++r) {
    for (size_t c = 0; c < 4; ++c)
      EXPECT_EQ(page.cells[r + 1][c], variantToText(rows[r][c])) << r << "," << c;
    EXPECT_EQ(page.classes[r + 1][1], rows[r][1].isNull() ? "" : "n");
    EXPECT_EQ(page.classes[r + 1][0], "");
  }
}

// One rule turns values into text in every text-like target: the page shows what the CSV
// file holds, and whole numbers never take an exponent.
TEST(HtmlWrite, ValuesReadAsInTheTextFiles) {
  struct Case {
    Variant v;
    const char* text;
  } cases[] = {
      {Variant::r8(1e15), "1000000000000000"},
      {Variant::r8(-123456789012345.0), "-123456789012345"},
      {Variant::r8(9007199254740992.0), "9007199254740992"},
      {Variant::r8(1e21), "1e+21"},
      {Variant::r8(0.1), "0.1"},
      {Variant::r4(1e10f), "10000000000"},
      {Variant::r4(0.15f), "0.15"},
      {Variant::currency(123456), "12.3456"},
      {Variant::oleDate(0.34375), "08:15:00"},
      {Variant::oleDate(0), "00:00:00"},
      {Variant::oleDate(*oleDateFromIso("2024-02-29 13:05:00")), "2024-02-29 13:05:00"},
  };
  TempDir dir;
  std::vector<FieldInfo> fields = {{"v", VT_R8, 0, {}}};
  std::vector<std::vector<Variant>> rows;
  for (const auto& c : cases) rows.push_back({c.v});
  writeTable(dir.path(), "values.htm", fields, rows);
  TableSchema schema;
  schema.fields = fields;
  auto csvWriter = findDriver("Text")->createTable(dir.path(), "values.csv", schema);
  for (const auto& row : rows) csvWriter->appendRow(row);
  csvWriter->finish();

  Page page = parsePage(dir.file("values.htm"), 1);
  auto csv = parseCsv(readFile(dir.file("values.csv")));
  ASSERT_EQ(page.cells.size(), rows.size() + 1);
  ASSERT_EQ(csv.size(), rows.size() + 1);
  for (size_t r = 0; r < rows.size(); ++r) {
    EXPECT_EQ(page.cells[r + 1][0], cases[r].text) << r;
    EXPECT_EQ(csv[r + 1][0], cases[r].text) << r;
  }
}

// A workbook cell holding only a time is a time of day in every text target, not a
// date-time on day zero.
TEST(HtmlWrite, TimesOfAWorkbookReadAsTimesInEveryTextTarget) {
  TABULOR_REQUIRE_FIXTURES();
  TempDir dir;
  Database db;
  db.Open(fixturesDir() + "/xls/Formate.xls", false, true, "Excel 8.0;");
  db.Execute("SELECT * INTO [HTML Export;DATABASE=" + dir.path() + "].[b.htm] FROM [Blätt1$]");
  db.Execute("SELECT * INTO [Text;DATABASE=" + dir.path() + "].[b.csv] FROM [Blätt1$]");
  writeFile(dir.file("schema.ini"), "[b.txt]\nFormat=TabDelimited\n");
  db.Execute("SELECT * INTO [Text;DATABASE=" + dir.path() + "].[b.txt] FROM [Blätt1$]");
  std::map<std::string, std::string> want = {
      {"Morgen", "06:34:00"}, {"Mittag", "12:56:00"}, {"Abends", "17:47:13"}};
  auto check = [&](const std::vector<std::vector<std::string>>& grid, const std::string& what) {
    size_t found = 0;
    for (const auto& row : grid)
      if (row.size() >= 2 && want.count(row[0])) {
        EXPECT_EQ(row[1], want[row[0]]) << what;
        ++found;
      }
    EXPECT_EQ(found, want.size()) << what;
  };
  check(parsePage(dir.file("b.htm"), 2).cells, "htm");
  check(parseCsv(readFile(dir.file("b.csv"))), "csv");
  std::vector<std::vector<std::string>> txt;  // no value of the sheet needs quotes
  std::string text = readFile(dir.file("b.txt"));
  for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos;
       start = end + 2) {
    txt.emplace_back();
    for (size_t from = start;;) {
      size_t tab = text.find('\t', from);
      if (tab == std::string::npos || tab > end) tab = end;
      txt.back().push_back(text.substr(from, tab - from));
      if (tab == end) break;
      from = tab + 1;
    }
  }
  check(txt, "txt");
}

TEST(HtmlWrite, ControlCharactersShowAsTheirPicturesAndTheTableNameStaysInTheFolder) {
  TempDir dir;
  writeTable(dir.path(), "../x<y>.htm", {{"c", VT_BSTR, 0, {}}},
             {{Variant::text(std::string("a\x01"
                                         "b\x7F",
                                         4))}});
  EXPECT_EQ(listFolder(dir.path()), (std::vector<std::string>{".._x<y>.htm"}));
  Page page = parsePage(dir.file(".._x<y>.htm"), 1);
  EXPECT_EQ(page.title, ".._x<y>");
  ASSERT_EQ(page.cells.size(), 2u);
  EXPECT_EQ(page.cells[1][0], "a\u2401b\u2421");
}

TEST(HtmlWrite, AMissingFolderIsAnErrorAndLeavesNothing) {
  TempDir dir;
  EXPECT_THROW(writeTable(dir.file("missing"), "t.htm", {{"c", VT_BSTR, 0, {}}}, {}), EngineError);
  EXPECT_TRUE(listFolder(dir.path()).empty());
}

TEST(HtmlWrite, RealTablesConvertThroughTheEngine) {
  TABULOR_REQUIRE_FIXTURES();
  for (const char* table : {"calls", "dbase_83", "cp1251", "dbase_31"}) {
    TempDir dir;
    Database db;
    db.Open(fixturesDir() + "/dbf", false, true, "dBASE III;");
    db.Execute(std::string("SELECT * INTO [HTML Export;DATABASE=") + dir.path() + "].[" + table +
               ".htm] FROM [" + table + "]");
    auto cursor = db.source().openTable(table);
    Page page = parsePage(dir.file(std::string(table) + ".htm"), cursor->fields().size());
    std::vector<Variant> row;
    size_t r = 1;
    while (cursor->next(row)) {
      ASSERT_LT(r, page.cells.size()) << table;
      for (size_t c = 0; c < row.size(); ++c)
        EXPECT_EQ(page.cells[r][c], variantToText(row[c])) << table << " row " << r << " col " << c;
      ++r;
    }
    EXPECT_EQ(r, page.cells.size()) << table;
  }
}

}  // namespace
}  // namespace tabulor::test
