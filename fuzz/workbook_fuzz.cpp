// The round trip of the xlsx and ods fuzz targets and of their smoke tests: the template
// packages, the zip made in memory, and the comparison of two reads.
#include "fuzz/workbook_fuzz.h"

#include <gsf/gsf.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <vector>

#include "engine/drivers/ods/ods_source.h"
#include "engine/drivers/xlsx/xlsx_source.h"
#include "engine/engine_error.h"
#include "engine/registry.h"
#include "fuzz/fuzz_support.h"

namespace tabulor {

namespace {

using Parts = std::vector<std::pair<std::string, std::string>>;

const std::string& workFolder() {
  static const std::string* folder = [] {
    std::string templ =
        (std::filesystem::temp_directory_path() / "tabulor-workbook-fuzz-XXXXXX").string();
    if (!mkdtemp(templ.data())) std::abort();
    auto* name = new std::string(templ);
    std::atexit([] { std::filesystem::remove_all(workFolder()); });
    return name;
  }();
  return *folder;
}

std::string zipInMemory(const Parts& parts) {
  gsf_init();
  GsfOutput* sink = gsf_output_memory_new();
  GsfOutfile* zip = gsf_outfile_zip_new(sink, nullptr);
  for (const auto& [name, content] : parts) {
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
    GsfOutput* child = gsf_outfile_new_child(folder, name.substr(start).c_str(), FALSE);
    gsf_output_write(child, content.size(), reinterpret_cast<const guint8*>(content.data()));
    gsf_output_close(child);
    g_object_unref(child);
    for (auto it = opened.rbegin(); it != opened.rend(); ++it) {
      gsf_output_close(*it);
      g_object_unref(*it);
    }
  }
  gsf_output_close(GSF_OUTPUT(zip));
  g_object_unref(zip);
  std::string bytes(
      reinterpret_cast<const char*>(gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(sink))),
      static_cast<size_t>(gsf_output_size(sink)));
  g_object_unref(sink);
  return bytes;
}

const char* const Ns = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const char* const Rns = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

Parts xlsxTemplate() {
  std::string rels =
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
      "relationships\">";
  return {
      {"_rels/.rels", rels + "<Relationship Id=\"r\" Type=\"" + Rns +
                          "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
      {"xl/workbook.xml", std::string("<workbook xmlns=\"") + Ns + "\" xmlns:r=\"" + Rns +
                              "\"><sheets><sheet name=\"S\" r:id=\"r1\"/></sheets></workbook>"},
      {"xl/_rels/workbook.xml.rels",
       rels + "<Relationship Id=\"r1\" Type=\"" + Rns +
           "/worksheet\" Target=\"sheet.xml\"/><Relationship Id=\"r2\" Type=\"" + Rns +
           "/sharedStrings\" Target=\"strings.xml\"/><Relationship Id=\"r3\" Type=\"" + Rns +
           "/styles\" Target=\"styles.xml\"/></Relationships>"},
      {"xl/sheet.xml", std::string("<worksheet xmlns=\"") + Ns +
                           "\"><sheetData><row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c "
                           "r=\"B1\"><v>1</v></c></row><row r=\"2\"><c r=\"A2\" "
                           "s=\"1\"><v>45000.5</v></c></row></sheetData></worksheet>"},
      {"xl/strings.xml", std::string("<sst xmlns=\"") + Ns + "\"><si><t>a</t></si></sst>"},
      {"xl/styles.xml", std::string("<styleSheet xmlns=\"") + Ns +
                            "\"><cellXfs><xf numFmtId=\"0\"/><xf "
                            "numFmtId=\"22\"/></cellXfs></styleSheet>"},
  };
}

Parts odsTemplate() {
  return {
      {"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
      {"content.xml",
       "<office:document-content "
       "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
       "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
       "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\"><office:body><office:"
       "spreadsheet><table:table table:name=\"S\"><table:table-row><table:table-cell "
       "office:value-type=\"string\"><text:p>a</text:p></table:table-cell></table:table-row>"
       "<table:table-row table:number-rows-repeated=\"2\"><table:table-cell "
       "office:value-type=\"date\" office:date-value=\"2024-01-02T03:04:05\"/></table:table-row>"
       "</table:table></office:spreadsheet></office:body></office:document-content>"},
  };
}

// Cells read per table at most: a few bytes can claim millions of cells, which read
// correctly but too slowly to fuzz; such a table is read no further and not written back.
constexpr size_t MaxCells = 1 << 18;

// A value as both reads must agree on it: numbers at 16 significant digits (libxlsxwriter
// prints no more), dates to the second.
std::string comparable(const Variant& v) {
  if (v.vt == VT_R8) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.16g", v.dblVal);
    return buf;
  }
  return variantToText(v);
}

bool roundTrip(const uint8_t* data, size_t size, std::string* failure, bool xlsx) {
  if (size == 0) return true;
  std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  if (data[0] != 0) {
    Parts parts = xlsx ? xlsxTemplate() : odsTemplate();
    size_t which = xlsx ? 2 + data[0] % 4 : 1;  // sheet, strings, styles, workbook
    if (xlsx && which == 5) which = 1;
    parts[which].second = bytes;
    bytes = zipInMemory(parts);
  }
  const Driver& driver = *findDriver(xlsx ? "Excel 12.0 Xml" : "OpenDocument Spreadsheet");
  const std::string name = xlsx ? "fuzz.xlsx" : "fuzz.ods";
  std::unique_ptr<SourceDatabase> db;
  std::vector<TableDefInfo> tables;
  try {
    db = xlsx ? xlsx::openXlsxSourceFromMemory(bytes, name)
              : ods::openOdsSourceFromMemory(bytes, name);
    tables = db->tables();
  } catch (const EngineError&) {
    return true;  // refused with a clear error: fine
  }
  const std::string out = workFolder() + "/out" + (xlsx ? ".xlsx" : ".ods");
  std::filesystem::remove(out);
  int written = 0;
  for (const TableDefInfo& info : tables) {
    if (info.name.empty() || (info.name.back() != '$' && info.name.back() != '\'')) continue;
    TextTable first;
    bool whole = true;
    try {
      first = readTexts(*db, info.name, MaxCells, &whole, comparable);
    } catch (const EngineError&) {
      continue;
    }
    if (!whole || written >= 3) continue;
    std::string sheet = "S" + std::to_string(written++);
    try {
      TableSchema schema;
      schema.fields = first.fields;
      auto cursor = db->openTable(info.name);
      auto writer = driver.createTable(out, sheet, schema);
      std::vector<Variant> row;
      while (cursor->next(row)) writer->appendRow(row);
      writer->finish();
    } catch (const EngineError& e) {
      if (e.kind() == ErrorKind::Limit) {  // a text or sheet the format cannot hold
        --written;
        continue;
      }
      *failure = std::string("writing failed: ") + e.what();
      return false;
    }
    TextTable second;
    try {
      auto back = driver.openDatabase(out);
      bool again = true;
      second = readTexts(*back, sheet + "$", MaxCells, &again, comparable);
    } catch (const EngineError& e) {
      *failure = std::string("reading the written sheet failed: ") + e.what();
      return false;
    }
    // The header row is written as texts: a header cell that held a number reads back as
    // the same text, so names are compared, not types of an empty table.
    *failure = tableDifference(info.name, first, second);
    if (!failure->empty()) return false;
  }
  return true;
}

// A table as one reader gives it: its texts, or the kind of error that ended it.
struct Reading {
  bool read = false, whole = true;
  TextTable table;
  std::string error;
};

std::vector<Reading> readEveryTable(const std::string& bytes, ods::XmlReading how) {
  std::vector<Reading> out;
  std::unique_ptr<SourceDatabase> db;
  std::vector<TableDefInfo> tables;
  try {
    db = ods::openOdsSourceFromMemory(bytes, "fuzz.ods", how);
    tables = db->tables();
  } catch (const EngineError&) {
    return out;  // the first pass is shared: both readings fail alike
  }
  for (const TableDefInfo& info : tables) {
    Reading r;
    try {
      r.table = readTexts(*db, info.name, MaxCells, &r.whole, comparable);
      r.read = true;
    } catch (const EngineError& e) {
      r.error = e.what();
    }
    out.push_back(std::move(r));
  }
  return out;
}

bool compareReaders(const uint8_t* data, size_t size, std::string* failure) {
  std::string bytes =
      zipInMemory({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
                   {"content.xml", std::string(reinterpret_cast<const char*>(data), size)}});
  std::vector<Reading> libxml2 = readEveryTable(bytes, ods::XmlReading::Libxml2Only);
  std::vector<Reading> plain = readEveryTable(bytes, ods::XmlReading::PlainWherePossible);
  if (libxml2.size() != plain.size()) {
    *failure = "the readers list different numbers of tables";
    return false;
  }
  for (size_t i = 0; i < libxml2.size(); ++i) {
    const Reading &a = libxml2[i], &b = plain[i];
    if (!a.read || !a.whole) continue;  // refused by libxml2, or too large to compare
    if (!b.read) {
      *failure = "table " + std::to_string(i) +
                 ": libxml2 reads it, the plain reader refuses it: " + b.error;
      return false;
    }
    if (!b.whole) continue;
    *failure = tableDifference("table " + std::to_string(i), a.table, b.table);
    if (!failure->empty()) return false;
  }
  return true;
}

}  // namespace

bool fuzzOdsXmlReadersOne(const uint8_t* data, size_t size, std::string* failure) {
  return closesWhatItOpens([&] { return compareReaders(data, size, failure); }, failure);
}

bool fuzzXlsxReaderOne(const uint8_t* data, size_t size, std::string* failure) {
  return closesWhatItOpens([&] { return roundTrip(data, size, failure, true); }, failure);
}

bool fuzzOdsReaderOne(const uint8_t* data, size_t size, std::string* failure) {
  return closesWhatItOpens([&] { return roundTrip(data, size, failure, false); }, failure);
}

}  // namespace tabulor
