// One statement's table: checks, the zip with its small parts, content.xml streamed (the
// tables of an earlier statement copied first), and the rename into place.
#include "engine/drivers/ods/ods_writer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "engine/drivers/excel/sheet_names.h"
#include "engine/drivers/ods/content_writer.h"
#include "engine/drivers/ods/ods_content.h"
#include "engine/drivers/workbook/sheet_limits.h"
#include "engine/drivers/workbook/zip_package.h"
#include "engine/engine_error.h"
#include "engine/file_names.h"
#include "engine/message_text.h"
#include "engine/staging.h"

namespace tabulor::ods {

namespace {

using workbook::GPtr;

constexpr size_t FlushBytes = 1 << 20;
// Deflating content.xml is most of the writing time; the fastest level costs some 30%
// in size over the default and takes a third of its time.
constexpr int DeflateLevel = 1;

const char* const Manifest =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\" "
    "manifest:version=\"1.2\">"
    "<manifest:file-entry manifest:full-path=\"/\" manifest:version=\"1.2\" "
    "manifest:media-type=\"application/vnd.oasis.opendocument.spreadsheet\"/>"
    "<manifest:file-entry manifest:full-path=\"content.xml\" manifest:media-type=\"text/xml\"/>"
    "<manifest:file-entry manifest:full-path=\"styles.xml\" manifest:media-type=\"text/xml\"/>"
    "<manifest:file-entry manifest:full-path=\"meta.xml\" manifest:media-type=\"text/xml\"/>"
    "</manifest:manifest>";

const char* const Styles =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<office:document-styles xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
    "office:version=\"1.2\"/>";

std::string meta() {
  return std::string(
             "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
             "<office:document-meta "
             "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
             "xmlns:meta=\"urn:oasis:names:tc:opendocument:xmlns:meta:1.0\" "
             "office:version=\"1.2\"><office:meta><meta:generator>") +
         Generator + "</meta:generator></office:meta></office:document-meta>";
}

// Mended to the sheet names LibreOffice accepts: no []*?:/\, no apostrophe at either end,
// unique without regard to case; unlike Excel's, not cut to 31 characters.
std::string mendTableName(const std::string& name, const std::vector<std::string>& existing) {
  return excel::mendSheetName(name, existing, SIZE_MAX);
}

class OdsTableWriter : public TableWriter {
 public:
  OdsTableWriter(const std::string& database, const std::string& table, const TableSchema& schema)
      : path_(database), table_(table) {
    fileName_ = std::string(fileNameOf(path_));
    workbook::checkTableFitsSheet(path_, table, schema, MaxDataRows, MaxColumns, "a spreadsheet");
    for (const FieldInfo& f : schema.fields) fieldNames_.push_back(f.name);
    struct stat st;
    std::vector<std::string> tableNames;
    if (::stat(path_.c_str(), &st) == 0) {
      // A spreadsheet from an earlier statement of this conversion: its tables are kept.
      try {
        old_ = workbook::ZipPackage::open(path_);
        checkSpreadsheet(*old_);
        for (const TableEntry& t : scanTables(*old_)) tableNames.push_back(t.name);
      } catch (const EngineError& e) {
        throw EngineError(ErrorKind::Exists,
                          "Cannot add table " + table + " to " + path_ +
                              ": the file exists and is not a spreadsheet that can be added to (" +
                              e.what() + ")");
      }
      if (old_->readPart("meta.xml").find(std::string("<meta:generator>") + Generator) ==
          std::string::npos)
        throw EngineError(ErrorKind::Exists,
                          "Cannot add table " + table + " to " + path_ +
                              ": the spreadsheet exists and was not written by this program; "
                              "delete it or choose another output folder");
    }
    sheetName_ = mendTableName(table, tableNames);

    staged_ = std::make_unique<StagedFile>(path_);
    workbook::initGsf();
    // Written straight into the staged file (libgsf's own file output would stage it again
    // under a name of its own, which a failed statement could leave behind).
    FILE* file = ::fdopen(::dup(staged_->fd()), "wb");
    if (!file)
      throw EngineError(ErrorKind::Io, "Cannot write " + path_ + ": " + systemReason(errno));
    sink_.reset(gsf_output_stdio_new_FILE(staged_->stagingPath().c_str(), file, FALSE));
    if (!sink_) {
      std::fclose(file);
      throw EngineError(ErrorKind::Io, "Cannot write " + path_ + ": the file cannot be started");
    }
    GError* err = nullptr;
    zip_.reset(gsf_outfile_zip_new(sink_.get(), &err));
    if (!zip_) fail("the zip cannot be started");
    // The mimetype first and stored, so that it can be recognised at a fixed offset.
    smallPart(GSF_OUTFILE(zip_.get()), "mimetype", SpreadsheetMimetype, GSF_ZIP_STORED);
    GPtr<GsfOutput> metaInf(gsf_outfile_new_child(GSF_OUTFILE(zip_.get()), "META-INF", TRUE));
    if (!metaInf) fail("the zip cannot be written");
    smallPart(GSF_OUTFILE(metaInf.get()), "manifest.xml", Manifest, GSF_ZIP_DEFLATED);
    if (!gsf_output_close(metaInf.get())) fail("the zip cannot be written");
    smallPart(GSF_OUTFILE(zip_.get()), "meta.xml", meta(), GSF_ZIP_DEFLATED);
    smallPart(GSF_OUTFILE(zip_.get()), "styles.xml", Styles, GSF_ZIP_DEFLATED);
    content_.reset(gsf_outfile_new_child_full(GSF_OUTFILE(zip_.get()), "content.xml", FALSE,
                                              "compression-level", GSF_ZIP_DEFLATED,
                                              "deflate-level", DeflateLevel, nullptr));
    if (!content_) fail("the zip cannot be written");
    if (old_)
      copyOldTables();
    else
      xml_.buffer() = contentHead();
    xml_.beginTable(sheetName_, fieldNames_.size());
    xml_.textRow(fieldNames_);
    drain(false);
  }

  ~OdsTableWriter() override {
    content_.reset();
    zip_.reset();
    sink_.reset();
  }

  void appendRow(const std::vector<Variant>& row) override {
    if (records_ >= MaxDataRows)
      throw EngineError(ErrorKind::Limit,
                        "Cannot write record " + withThousands(records_ + 1) + " of table " +
                            table_ + " to " + fileName_ +
                            ": a spreadsheet holds at most 1,048,576 rows, the header row and "
                            "1,048,575 records; nothing after record 1,048,575 would fit");
    ++records_;
    xml_.row(row, fieldNames_.size());
    drain(false);
  }

  void finish() override {
    xml_.endTable();
    xml_.buffer() += ContentFoot;
    drain(true);
    errno = 0;
    bool ok = gsf_output_close(content_.get());
    ok = gsf_output_close(GSF_OUTPUT(zip_.get())) && ok;
    if (!gsf_output_is_closed(sink_.get())) ok = gsf_output_close(sink_.get()) && ok;
    if (!ok) failWrite("the zip cannot be finished");
    content_.reset();
    zip_.reset();
    sink_.reset();
    staged_->commit();
  }

 private:
  [[noreturn]] void fail(const std::string& why) const {
    throw EngineError(ErrorKind::Io, "Cannot write " + path_ + ": " + why);
  }
  // A write that failed, with the system's reason where the failing call left one (callers
  // clear errno before the calls they check).
  [[noreturn]] void failWrite(const std::string& what) const {
    const int error = errno;
    fail(what + ": " + (error ? systemReason(error) : std::string("the disk may be full")));
  }

  void smallPart(GsfOutfile* folder, const char* name, const std::string& text,
                 GsfZipCompressionMethod method) {
    errno = 0;
    GPtr<GsfOutput> part(
        gsf_outfile_new_child_full(folder, name, FALSE, "compression-level", method, nullptr));
    if (!part ||
        !gsf_output_write(part.get(), text.size(), reinterpret_cast<const guint8*>(text.data())) ||
        !gsf_output_close(part.get()))
      failWrite("the zip cannot be written");
  }

  void write(std::string_view bytes) {
    for (size_t at = 0; at < bytes.size(); at += FlushBytes) {
      size_t n = std::min(bytes.size() - at, FlushBytes);
      errno = 0;
      if (!gsf_output_write(content_.get(), n, reinterpret_cast<const guint8*>(bytes.data() + at)))
        failWrite("content.xml cannot be written");
    }
  }

  void drain(bool all) {
    std::string& b = xml_.buffer();
    if (!all && b.size() < FlushBytes) return;
    write(b);
    b.clear();
  }

  // Everything of the earlier content.xml but its foot.
  void copyOldTables() {
    GPtr<GsfInput> in = old_->requirePart("content.xml", "the tables");
    gsf_off_t size = gsf_input_size(in.get());
    if (size < static_cast<gsf_off_t>(ContentFoot.size())) fail("its content.xml is damaged");
    gsf_off_t keep = size - static_cast<gsf_off_t>(ContentFoot.size());
    std::string chunk;
    for (gsf_off_t at = 0; at < size;) {
      size_t n = static_cast<size_t>(std::min<gsf_off_t>(size - at, FlushBytes));
      chunk.resize(n);
      if (!gsf_input_read(in.get(), n, reinterpret_cast<guint8*>(chunk.data())))
        fail("its content.xml cannot be read (damaged file)");
      if (at + static_cast<gsf_off_t>(n) <= keep) {
        write(chunk);
      } else {
        size_t mine = static_cast<size_t>(std::max<gsf_off_t>(keep - at, 0));
        write(std::string_view(chunk).substr(0, mine));
        tail_ += chunk.substr(mine);
      }
      at += static_cast<gsf_off_t>(n);
    }
    if (tail_ != ContentFoot) fail("its content.xml does not end as this program ends it");
  }

  std::string path_, table_, fileName_, sheetName_, tail_;
  std::unique_ptr<StagedFile> staged_;
  std::vector<std::string> fieldNames_;
  std::shared_ptr<workbook::ZipPackage> old_;
  GPtr<GsfOutput> sink_;
  GPtr<GsfOutfile> zip_;
  GPtr<GsfOutput> content_;
  ContentWriter xml_;
  int64_t records_ = 0;
};

}  // namespace

std::unique_ptr<TableWriter> createOdsTableWriter(const std::string& database,
                                                  const std::string& table,
                                                  const TableSchema& schema) {
  return std::make_unique<OdsTableWriter>(database, table, schema);
}

}  // namespace tabulor::ods
