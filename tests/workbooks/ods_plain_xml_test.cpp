// The two readers of an ods content.xml, libxml2 and the plain-XML reader: small parts read
// by both with the same cells, parts outside plain XML that go to libxml2 and read right,
// malformed parts that the plain reader refuses with a clear error, and the differential
// fuzz target over its seeds and mutations of them.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "engine/drivers/ods/ods_content.h"
#include "engine/drivers/ods/ods_source.h"
#include "engine/drivers/workbook/zip_package.h"
#include "engine/engine_error.h"
#include "fuzz/workbook_fuzz.h"
#include "tests/support/test_support.h"
#include "tests/workbooks/workbook_test_util.h"

namespace tabulor::test {
namespace {

using ods::XmlReading;

const std::string Declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
const std::string Namespaces =
    "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
    "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
    "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
    "xmlns:calcext=\"urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0\"";

// A content.xml around `tables`; the root's prefix and declarations may be replaced.
std::string content(const std::string& tables, const std::string& prolog = Declaration,
                    const std::string& namespaces = Namespaces,
                    const std::string& office = "office") {
  return prolog + "<" + office + ":document-content " + namespaces + "><" + office + ":body><" +
         office + ":spreadsheet>" + tables + "</" + office + ":spreadsheet></" + office +
         ":body></" + office + ":document-content>";
}

// One table: a header row of one cell "h", then `rows` as written.
std::string table(const std::string& rows) {
  return "<table:table table:name=\"t\"><table:table-row><table:table-cell "
         "office:value-type=\"string\"><text:p>h</text:p></table:table-cell></table:table-row>" +
         rows + "</table:table>";
}

std::string cellRow(const std::string& cells) {
  return "<table:table-row>" + cells + "</table:table-row>";
}

class OdsXml : public ::testing::Test {
 protected:
  std::string write(const std::string& contentXml) {
    std::string path = tmp_.file("t" + std::to_string(count_++) + ".ods");
    writeZip(path, {{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
                    {"content.xml", contentXml}});
    return path;
  }
  static bool plain(const std::string& path) {
    return ods::scanContent(*workbook::ZipPackage::open(path)).plainXml;
  }
  // The first table's records, as texts, through one reader.
  static Grid read(const std::string& path, XmlReading how) {
    auto db = ods::openOdsSource(path, how);
    Grid grid = readTable(*db, db->tables().at(0).name);
    grid.erase(grid.begin());  // the field names
    return grid;
  }
  // Through both readers, which must agree.
  static Grid readBoth(const std::string& path) {
    Grid viaLibxml2 = read(path, XmlReading::Libxml2Only);
    Grid viaPlain = read(path, XmlReading::PlainWherePossible);
    EXPECT_EQ(viaPlain, viaLibxml2);
    return viaPlain;
  }

  TempDir tmp_;
  int count_ = 0;
};

TEST_F(OdsXml, BothReadersGiveTheSameCells) {
  const std::string s = "<table:table-cell office:value-type=\"string\">";
  struct Case {
    const char* what;
    std::string rows;
    Grid want;
  } cases[] = {
      {"entities and character references",
       cellRow(s + "<text:p>&lt;&gt;&amp;&quot;&apos; &#233;&#x20AC;&#x1F600;</text:p>"
                   "</table:table-cell>"),
       {{"<>&\"' é€😀"}}},
      {"non-ASCII text and a string-value with references",
       cellRow(s + "<text:p>Zoë ∂</text:p></table:table-cell><table:table-cell "
                   "office:value-type=\"string\" office:string-value=\"a&#10;b&#9;c&amp;\"><text:p>"
                   "shown</text:p></table:table-cell>"),
       {{"Zoë ∂", "a\nb\tc&"}}},
      {"CR LF and lone CR in text and in an attribute",
       cellRow(s + "<text:p>a\r\nb\rc</text:p></table:table-cell><table:table-cell "
                   "office:value-type=\"string\" office:string-value=\"x\r\ny\rz\tw\n\"><text:p/>"
                   "</table:table-cell>"),
       {{"a b c", "x y z w "}}},
      {"text:s with and without c, tabs, line breaks, blanks collapsed",
       cellRow(s + "<text:p>  a <text:s text:c=\"3\"/>b<text:s/>c<text:tab/>d<text:line-break/>"
                   "e   f </text:p></table:table-cell>"),
       {{"a    b c\td\ne f "}}},
      {"several paragraphs, a heading, spans and an annotation left out",
       cellRow(s + "<office:annotation><text:p>note</text:p></office:annotation><text:p>one"
                   "</text:p><text:h>two</text:h><text:p><text:span>th</text:span>ree</text:p>"
                   "</table:table-cell>"),
       {{"one\ntwo\nthree"}}},
      {"repeated rows and columns, covered and empty cells, self-closing cells",
       "<table:table-row table:number-rows-repeated=\"2\"><table:table-cell "
       "office:value-type=\"float\" office:value=\"7\" table:number-columns-repeated=\"2\"/>"
       "<table:covered-table-cell/><table:table-cell></table:table-cell><table:table-cell "
       "office:value-type=\"float\" office:value=\"8\"/></table:table-row>",
       {{"7", "7", "", "", "8"}, {"7", "7", "", "", "8"}}},
      {"value types",
       cellRow("<table:table-cell office:value-type=\"date\" "
               "office:date-value=\"2024-02-29T10:11:12\"/>"
               "<table:table-cell office:value-type=\"time\" office:time-value=\"PT18H30M00S\"/>"
               "<table:table-cell office:value-type=\"percentage\" office:value=\"0.25\"/>"
               "<table:table-cell office:value-type=\"boolean\" office:boolean-value=\"true\"/>"
               "<table:table-cell office:value-type=\"currency\" office:currency=\"EUR\" "
               "office:value=\"-3.5\"/><table:table-cell office:value-type=\"float\" "
               "office:value=\"0\" calcext:value-type=\"error\"><text:p>#N/A</text:p>"
               "</table:table-cell>"),
       {{"2024/02/29 10:11:12", "18:30:00", "0.25", "TRUE", "-3.5", "#N/A"}}},
      {"a text longer than a slice of the part",
       cellRow(s + "<text:p>" + std::string(1 << 20, 'a') + "&amp;</text:p></table:table-cell>"),
       {{std::string(1 << 20, 'a') + "&"}}},
      {"comments and blanks between tags, single quotes, blanks around '='",
       "<!-- x -->\n  <table:table-row >\n <table:table-cell office:value-type = 'string' >"
       "<!-- y --><text:p>q</text:p></table:table-cell\n></table:table-row>",
       {{"q"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string path = write(content(table(c.rows)));
    EXPECT_TRUE(plain(path));
    EXPECT_EQ(readBoth(path), c.want);
  }
}

// Parts that are not plain XML are read by libxml2, and read right.
TEST_F(OdsXml, PartsOutsidePlainXmlGoToLibxml2) {
  const std::string row = cellRow(
      "<table:table-cell office:value-type=\"string\"><text:p>Zoë</text:p></table:table-cell>");
  auto latin1 = [](std::string utf8) {  // only ë is not ASCII here
    size_t at;
    while ((at = utf8.find("ë")) != std::string::npos) utf8.replace(at, 2, "\xEB");
    return utf8;
  };
  const std::string altTable =
      "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
      "xmlns:t=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
      "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\"";
  struct Case {
    const char* what;
    std::string contentXml;
    std::string want;
  } cases[] = {
      {"a CDATA section",
       content(table(cellRow("<table:table-cell office:value-type=\"string\"><text:p><![CDATA[<a> "
                             "&amp;]]></text:p></table:table-cell>"))),
       "<a> &amp;"},
      {"a processing instruction", content("<?app hint?>" + table(row)), "Zoë"},
      {"a prefix declared again below the root",
       content("<table:table table:name=\"t\" xmlns:text=\"urn:oasis:names:tc:opendocument:"
               "xmlns:text:1.0\"><table:table-row><table:table-cell office:value-type=\"string\">"
               "<text:p>h</text:p></table:table-cell></table:table-row>" +
               row + "</table:table>"),
       "Zoë"},
      {"a pinned prefix bound elsewhere",
       content(table(row), Declaration,
               Namespaces + " xmlns:x=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\""),
       "Zoë"},
      {"another prefix for the table namespace",
       content("<t:table t:name=\"t\"><t:table-row><t:table-cell office:value-type=\"string\">"
               "<text:p>h</text:p></t:table-cell></t:table-row><t:table-row><t:table-cell "
               "office:value-type=\"string\"><text:p>Zoë</text:p></t:table-cell></t:table-row>"
               "</t:table>",
               Declaration, altTable),
       "Zoë"},
      {"a part declared ISO-8859-1",
       latin1(content(table(row), "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>")), "Zoë"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string path = write(c.contentXml);
    EXPECT_FALSE(plain(path));
    EXPECT_EQ(read(path, XmlReading::PlainWherePossible), (Grid{{c.want}}));
  }
  // A part labelled UTF-16 whose bytes are not: libxml2's to refuse. (A part in UTF-16 is
  // refused by name before either reader starts.)
  std::string path = write(content(table(row), "<?xml version=\"1.0\" encoding=\"UTF-16\"?>"));
  EXPECT_FALSE(plain(path));
  try {
    read(path, XmlReading::PlainWherePossible);
    ADD_FAILURE() << "no error";
  } catch (const EngineError& e) {
    EXPECT_NE(std::string(e.what()).find("labelled UTF-16"), std::string::npos) << e.what();
  }
}

// Malformed parts the plain reader reads: a clear EngineError(BadInput) naming the file, the
// part and where, as libxml2's reading refuses them.
TEST_F(OdsXml, MalformedPartsAreRefusedClearly) {
  const std::string open = "<table:table-cell office:value-type=\"string\"><text:p>";
  const std::string close = "</text:p></table:table-cell>";
  struct Case {
    const char* what;
    std::string contentXml;
    std::string mustSay;
  } cases[] = {
      {"an undefined entity", content(table(cellRow(open + "&nbsp;" + close))), "&nbsp;"},
      {"a reference without ';'", content(table(cellRow(open + "&amp" + close))), "';'"},
      {"a character reference to U+0000", content(table(cellRow(open + "&#0;" + close))), "&#0;"},
      {"a surrogate by reference", content(table(cellRow(open + "&#xD800;" + close))), "&#xD800;"},
      {"an uppercase X in a reference", content(table(cellRow(open + "&#X41;" + close))),
       "character reference"},
      {"a mismatched end tag", content(table(cellRow(open + "</table:table-cell></text:p>"))),
       "does not close"},
      {"a '<' in an attribute value",
       content(table(cellRow("<table:table-cell office:string-value=\"a<b\"/>"))), "'<'"},
      {"an unquoted attribute value", content(table(cellRow("<table:table-cell office:value=1/>"))),
       "not quoted"},
      {"an attribute twice",
       content(table(cellRow("<table:table-cell office:value=\"1\" office:value=\"2\"/>"))),
       "twice"},
      {"a control character", content(table(cellRow(open + "a\x01" + close))), "control character"},
      {"bytes that are not UTF-8", content(table(cellRow(open + "a\xC3(" + close))), "not UTF-8"},
      {"the end of the part inside an element",
       [&] {
         std::string whole = content(table(cellRow(open + "xyz" + close)));
         return whole.substr(0, whole.find("xyz") + 2);
       }(),
       "ends inside"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string path = write(c.contentXml);
    ASSERT_TRUE(plain(path));
    for (XmlReading how : {XmlReading::Libxml2Only, XmlReading::PlainWherePossible}) {
      try {
        read(path, how);
        ADD_FAILURE() << "no error";
      } catch (const EngineError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::BadInput);
        std::string what = e.what();
        EXPECT_NE(what.find(".ods, sheet t (part content.xml)"), std::string::npos) << what;
        if (how == XmlReading::PlainWherePossible) {
          EXPECT_NE(what.find(c.mustSay), std::string::npos) << what;
          if (c.mustSay != "ends inside") {
            EXPECT_NE(what.find("in row 2"), std::string::npos) << what;
          }
        }
      }
    }
  }
}

// The differential fuzz target on its seeds and a few thousand mutations: where libxml2 reads
// a table, the plain reader reads the same cells.
TEST(OdsXmlFuzzSmoke, ReadersAgreeOnSeedsAndMutations) {
  std::vector<std::string> seeds;
  for (const auto& e : std::filesystem::directory_iterator(sourceDir() + "/fuzz/ods_xml_corpus"))
    seeds.push_back(readFile(e.path().string()));
  std::sort(seeds.begin(), seeds.end());
  ASSERT_GE(seeds.size(), 2u);
  std::mt19937 random(20261211);
  for (int run = 0; run < 2000; ++run) {
    std::string input = seeds[random() % seeds.size()];
    if (run >= static_cast<int>(seeds.size())) {
      int edits = 1 + static_cast<int>(random() % 4);
      for (int e = 0; e < edits && !input.empty(); ++e) {
        size_t pos = random() % input.size();
        switch (random() % 4) {
          case 0:
            input[pos] = "<>/\"'=&;#x0\r\n\t :a-"[random() % 19];
            break;
          case 1:
            input.insert(pos, input.substr(pos, random() % 48));
            break;
          case 2:
            input.erase(pos, random() % 12);
            break;
          case 3:
            input.insert(pos, std::vector<const char*>{
                                  "&amp;", "&#10;", "&#xD;", "\r\n", "<!--c-->", "&#0;", "\xC3\xA9",
                                  "<![CDATA[x]]>", " xmlns:q=\"u\""}[random() % 9]);
            break;
        }
      }
    }
    std::string failure;
    ASSERT_TRUE(fuzzOdsXmlReadersOne(reinterpret_cast<const uint8_t*>(input.data()), input.size(),
                                     &failure))
        << failure << "\ninput: " << input;
  }
}

}  // namespace
}  // namespace tabulor::test
