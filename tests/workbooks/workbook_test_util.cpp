// Zip packages, table writing and reading, and python for the workbook drivers' tests.
#include "tests/workbooks/workbook_test_util.h"

#include <gsf/gsf.h>

#include "engine/drivers/ods/ods_source.h"
#include "engine/registry.h"
#include "tests/support/test_support.h"

namespace tabulor::test {

const Driver& xlsx() {
  const Driver* d = findDriver("Excel 12.0 Xml");
  if (!d) throw std::runtime_error("no Excel 12.0 Xml driver registered");
  return *d;
}

namespace {

// The registered driver with content.xml always parsed by libxml2: the tests run once with
// it (TABULOR_TEST_ODS_XML=libxml2) so that both readers of content.xml pass them.
class Libxml2OdsDriver : public Driver {
 public:
  explicit Libxml2OdsDriver(const Driver& real) : real_(real) {}
  const DriverInfo& info() const override { return real_.info(); }
  std::unique_ptr<SourceDatabase> openDatabase(const std::string& name) const override {
    return ods::openOdsSource(name, ods::XmlReading::Libxml2Only);
  }
  std::unique_ptr<TableWriter> createTable(const std::string& database, const std::string& table,
                                           const TableSchema& schema) const override {
    return real_.createTable(database, table, schema);
  }

 private:
  const Driver& real_;
};

}  // namespace

const Driver& ods() {
  const Driver* d = findDriver("OpenDocument Spreadsheet");
  if (!d) throw std::runtime_error("no OpenDocument Spreadsheet driver registered");
  const char* reading = std::getenv("TABULOR_TEST_ODS_XML");
  if (reading && std::string(reading) == "libxml2") {
    static const Libxml2OdsDriver libxml2(*d);
    return libxml2;
  }
  return *d;
}

void writeZip(const std::string& path,
              const std::vector<std::pair<std::string, std::string>>& parts) {
  gsf_init();
  GError* err = nullptr;
  GsfOutput* sink = gsf_output_stdio_new(path.c_str(), &err);
  if (!sink) throw std::runtime_error("cannot create " + path);
  GsfOutfile* zip = gsf_outfile_zip_new(sink, &err);
  for (const auto& [name, content] : parts) {
    // Folders first: "a/b/c.xml" is child c.xml of folder b of folder a.
    GsfOutfile* folder = zip;
    std::vector<GsfOutput*> opened;
    size_t start = 0, slash;
    while ((slash = name.find('/', start)) != std::string::npos) {
      GsfOutput* dir =
          gsf_outfile_new_child(folder, name.substr(start, slash - start).c_str(), TRUE);
      opened.push_back(dir);
      folder = GSF_OUTFILE(dir);
      start = slash + 1;
    }
    GsfOutput* child =
        gsf_outfile_new_child_full(folder, name.substr(start).c_str(), FALSE, "compression-level",
                                   name == "mimetype" ? GSF_ZIP_STORED : GSF_ZIP_DEFLATED, nullptr);
    for (size_t at = 0; at < content.size(); at += 1 << 20)
      gsf_output_write(child, std::min<size_t>(content.size() - at, 1 << 20),
                       reinterpret_cast<const guint8*>(content.data() + at));
    gsf_output_close(child);
    g_object_unref(child);
    for (auto it = opened.rbegin(); it != opened.rend(); ++it) {
      gsf_output_close(*it);
      g_object_unref(*it);
    }
  }
  gsf_output_close(GSF_OUTPUT(zip));
  g_object_unref(zip);
  gsf_output_close(sink);
  g_object_unref(sink);
}

std::vector<std::pair<std::string, std::string>> xlsxPackage(const XlsxParts& p) {
  const std::string ns = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
  const std::string rns = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
  std::vector<std::pair<std::string, std::string>> out;
  out.push_back({"[Content_Types].xml",
                 "<?xml version=\"1.0\"?><Types "
                 "xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"/>"});
  out.push_back({"_rels/.rels",
                 "<?xml version=\"1.0\"?><Relationships "
                 "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                 "<Relationship Id=\"rId1\" Type=\"" +
                     rns + "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"});
  std::string book = "<?xml version=\"1.0\"?><workbook xmlns=\"" + ns + "\" xmlns:r=\"" + rns +
                     "\">" + (p.date1904 ? "<workbookPr date1904=\"1\"/>" : "") + "<sheets>";
  std::string rels =
      "<?xml version=\"1.0\"?><Relationships "
      "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
  for (size_t i = 0; i < p.sheets.size(); ++i) {
    std::string n = std::to_string(i + 1);
    book +=
        "<sheet name=\"" + p.sheets[i].first + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
    rels += "<Relationship Id=\"rId" + n + "\" Type=\"" + rns +
            "/worksheet\" Target=\"worksheets/sheet" + n + ".xml\"/>";
    out.push_back({"xl/worksheets/sheet" + n + ".xml",
                   "<?xml version=\"1.0\"?><worksheet xmlns=\"" + ns + "\"><sheetData>" +
                       p.sheets[i].second + "</sheetData></worksheet>"});
  }
  book += "</sheets>" + p.workbookExtra + "</workbook>";
  rels += "<Relationship Id=\"rS\" Type=\"" + rns +
          "/sharedStrings\" Target=\"sharedStrings.xml\"/><Relationship Id=\"rY\" Type=\"" + rns +
          "/styles\" Target=\"/xl/styles.xml\"/></Relationships>";
  out.push_back({"xl/workbook.xml", book});
  out.push_back({"xl/_rels/workbook.xml.rels", rels});
  out.push_back({"xl/sharedStrings.xml",
                 "<?xml version=\"1.0\"?><sst xmlns=\"" + ns + "\">" + p.sharedStrings + "</sst>"});
  out.push_back({"xl/styles.xml", "<?xml version=\"1.0\"?><styleSheet xmlns=\"" + ns +
                                      "\"><numFmts>" + p.numFmts + "</numFmts><cellXfs>" +
                                      (p.cellXfs.empty() ? "<xf numFmtId=\"0\"/>" : p.cellXfs) +
                                      "</cellXfs></styleSheet>"});
  return out;
}

std::vector<std::pair<std::string, std::string>> odsPackage(const std::string& tables) {
  return {
      {"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
      {"META-INF/manifest.xml",
       "<?xml version=\"1.0\"?><manifest:manifest "
       "xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\"><manifest:file-"
       "entry manifest:full-path=\"/\" manifest:media-type=\"application/"
       "vnd.oasis.opendocument.spreadsheet\"/><manifest:file-entry "
       "manifest:full-path=\"content.xml\" manifest:media-type=\"text/xml\"/></"
       "manifest:manifest>"},
      {"content.xml",
       "<?xml version=\"1.0\"?><office:document-content "
       "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
       "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
       "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
       "xmlns:calcext=\"urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0\" "
       "office:version=\"1.2\"><office:body><office:spreadsheet>" +
           tables + "</office:spreadsheet></office:body></office:document-content>"},
  };
}

TableSchema schemaOf(std::vector<std::pair<std::string, uint16_t>> fields) {
  TableSchema s;
  for (auto& [name, type] : fields) {
    FieldInfo f;
    f.name = name;
    f.type = type;
    s.fields.push_back(f);
  }
  return s;
}

void writeTable(const Driver& driver, const std::string& path, const std::string& table,
                const TableSchema& schema, const std::vector<std::vector<Variant>>& rows) {
  auto w = driver.createTable(path, table, schema);
  for (const auto& r : rows) w->appendRow(r);
  w->finish();
}

std::vector<std::vector<Variant>> readRows(SourceDatabase& db, const std::string& table,
                                           std::vector<FieldInfo>* fields) {
  auto cursor = db.openTable(table);
  if (fields) *fields = cursor->fields();
  std::vector<std::vector<Variant>> rows;
  std::vector<Variant> row;
  while (cursor->next(row)) rows.push_back(row);
  return rows;
}

std::string runPython(const std::string& script, const std::vector<std::string>& args) {
  TempDir tmp;
  writeFile(tmp.file("script.py"), script);
  std::string cmd = "/usr/bin/python3 '" + tmp.file("script.py") + "'";
  for (const std::string& a : args) cmd += " '" + a + "'";
  std::string out;
  int status = runCommand(cmd + " 2>&1", &out);
  EXPECT_EQ(status, 0) << out;
  return out;
}

}  // namespace tabulor::test
