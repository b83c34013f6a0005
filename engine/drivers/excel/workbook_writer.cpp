// One statement's sheet: checks, the sheet's records, then the whole workbook written again
// with the new sheet at its end.
#include "engine/drivers/excel/workbook_writer.h"

#include <sys/stat.h>
#include <unistd.h>

#include "engine/drivers/excel/compound_file.h"
#include "engine/drivers/excel/sheet_names.h"
#include "engine/drivers/excel/sheet_reader.h"
#include "engine/drivers/excel/workbook_globals_writer.h"
#include "engine/engine_error.h"
#include "engine/file_names.h"
#include "engine/message_text.h"

namespace tabulor::excel {

namespace {

class SheetTableWriter : public TableWriter {
 public:
  SheetTableWriter(const std::string& database, const std::string& table, const TableSchema& schema)
      : path_(database) {
    const std::string fileName(fileNameOf(path_));
    if (schema.fields.size() > static_cast<size_t>(MaxSheetColumns))
      throw EngineError(ErrorKind::Limit,
                        "Cannot write table " + clipForMessage(table) + " to " + fileName +
                            ": it has " + std::to_string(schema.fields.size()) +
                            " fields, and an Excel 97-2003 sheet holds at most 256 columns");
    if (schema.rowCount > MaxDataRows)
      throw EngineError(ErrorKind::Limit,
                        "Cannot write table " + clipForMessage(table) + " to " + fileName +
                            ": it has " + std::to_string(schema.rowCount) +
                            " records, and an Excel 97-2003 sheet holds at most 65,536 rows "
                            "(the header row and 65,535 records); record 65,536 would not fit");
    std::string folder = path_.substr(0, path_.size() - fileName.size());
    if (folder.empty()) folder = ".";
    std::string problem = folderWriteProblem(folder);
    if (!problem.empty())
      throw EngineError(ErrorKind::Io, "Cannot write " + path_ + ": " + problem);
    struct stat st;

    std::vector<std::string> existingNames;
    if (::stat(path_.c_str(), &st) == 0) {
      // A workbook from an earlier statement of this conversion: its sheets are kept.
      try {
        old_ = loadWorkbook(path_);
      } catch (const EngineError& e) {
        throw EngineError(ErrorKind::Exists,
                          "Cannot add sheet " + clipForMessage(table) + " to " + path_ +
                              ": the file exists and is not a workbook that can be added to (" +
                              e.what() + ")");
      }
      if (old_->globals.biff != 8 || old_->globals.writeAccess != WriterName)
        throw EngineError(ErrorKind::Exists,
                          "Cannot add sheet " + clipForMessage(table) + " to " + path_ +
                              ": the workbook exists and was not written by this program; "
                              "delete it or choose another output folder");
      for (size_t i = 0; i < old_->globals.sheets.size(); ++i) {
        existingNames.push_back(old_->globals.sheets[i].name);
        oldSpans_.push_back(sheetSpan(*old_, i));
      }
      // The old sheets refer to their strings by position: keep every one in place.
      for (const std::string& s : old_->globals.sharedStrings) strings_.add(s);
      strings_.addReferences(old_->globals.sharedStringRefs);
    }
    sheetNames_ = existingNames;
    sheetNames_.push_back(mendSheetName(table, existingNames));
    for (const FieldInfo& f : schema.fields) fieldNames_.push_back(f.name);
    sheet_ = std::make_unique<SheetWriter>(strings_, table, fileName, schema.fields.size());
    sheet_->writeHeader(fieldNames_);
  }

  void appendRow(const std::vector<Variant>& row) override {
    sheet_->writeRecord(row, fieldNames_);
  }

  void finish() override {
    std::string newSheet = sheet_->finish(oldSpans_.empty());
    std::vector<size_t> sizes;
    for (const SheetSpan& span : oldSpans_) sizes.push_back(span.end - span.begin);
    sizes.push_back(newSheet.size());
    std::string globals = buildGlobals(sheetNames_, sizes, strings_);
    size_t total = globals.size();
    for (size_t size : sizes) total += size;
    if (total > 0x7FFFFFFF)
      throw EngineError(ErrorKind::Limit,
                        "Cannot write " + path_ + ": the workbook would be larger than 2 GB");
    std::string_view oldStream = old_ ? std::string_view(old_->stream.bytes) : std::string_view();
    std::vector<std::string_view> parts{globals};
    for (const SheetSpan& span : oldSpans_)
      parts.push_back(oldStream.substr(span.begin, span.end - span.begin));
    parts.push_back(newSheet);
    writeWorkbookFile(path_, parts);
  }

 private:
  std::string path_;
  std::shared_ptr<Workbook> old_;
  std::vector<SheetSpan> oldSpans_;
  std::vector<std::string> sheetNames_, fieldNames_;
  SharedStringsWriter strings_;
  std::unique_ptr<SheetWriter> sheet_;
};

}  // namespace

std::unique_ptr<TableWriter> createSheetWriter(const std::string& database,
                                               const std::string& table,
                                               const TableSchema& schema) {
  return std::make_unique<SheetTableWriter>(database, table, schema);
}

}  // namespace tabulor::excel
