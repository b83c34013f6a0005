// One statement's sheet through libxlsxwriter: checks, the sheets of an earlier statement
// copied cell by cell, the header row, the records, and the rename into place.
#include "engine/drivers/xlsx/xlsx_writer.h"

#include <sys/stat.h>
#include <unistd.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <memory>

#include "engine/drivers/excel/cell_value.h"
#include "engine/drivers/excel/sheet_names.h"
#include "engine/drivers/workbook/sheet_limits.h"
#include "engine/drivers/workbook/zip_package.h"
#include "engine/drivers/xlsx/deflate_level.h"
#include "engine/drivers/xlsx/ooxml_text.h"
#include "engine/drivers/xlsx/sheet_cells.h"
#include "engine/drivers/xlsx/styles.h"
#include "engine/drivers/xlsx/workbook_parts.h"
#include "engine/engine_error.h"
#include "engine/file_names.h"
#include "engine/message_text.h"
#include "engine/staging.h"
#include "engine/text_codec.h"
#include "engine/value_format.h"

namespace tabulor::xlsx {

namespace {

constexpr int64_t WidthSampleRows = 200;
// Deflating the sheets is most of the writing time at zlib's default level; the fastest
// level takes a third of that for files some 30% larger.
constexpr int DeflateLevel = 1;

// True when the workbook at `path` says this writer made it.
bool writtenByUs(const workbook::ZipPackage& package) {
  std::string core = package.readPart("docProps/core.xml");
  return core.find(std::string(">") + WriterName + "</dc:creator>") != std::string::npos;
}

class XlsxTableWriter : public TableWriter {
 public:
  XlsxTableWriter(const std::string& database, const std::string& table, const TableSchema& schema)
      : path_(database), table_(table) {
    fileName_ = std::string(fileNameOf(path_));
    workbook::checkTableFitsSheet(path_, table, schema, MaxDataRows, MaxColumns, "an Excel sheet");
    for (const FieldInfo& f : schema.fields) {
      if (utf16Length(f.name) > MaxCellChars)
        throw EngineError(ErrorKind::Limit, "Cannot write table " + table + " to " + fileName_ +
                                                ": a field name is longer than the 32,767 "
                                                "characters an Excel cell holds");
      fieldNames_.push_back(f.name);
    }
    folder_ = path_.substr(0, path_.size() - fileName_.size());
    if (folder_.empty()) folder_ = ".";
    struct stat st;

    std::vector<std::string> sheetNames;
    if (::stat(path_.c_str(), &st) == 0) {
      // A workbook from an earlier statement of this conversion: its sheets are kept.
      try {
        old_ = workbook::ZipPackage::open(path_);
        oldParts_ = readWorkbookParts(*old_);
      } catch (const EngineError& e) {
        throw EngineError(ErrorKind::Exists,
                          "Cannot add sheet " + table + " to " + path_ +
                              ": the file exists and is not a workbook that can be added to (" +
                              e.what() + ")");
      }
      if (!writtenByUs(*old_))
        throw EngineError(ErrorKind::Exists,
                          "Cannot add sheet " + table + " to " + path_ +
                              ": the workbook exists and was not written by this program; "
                              "delete it or choose another output folder");
      for (const SheetPart& s : oldParts_.sheets) sheetNames.push_back(s.name);
    }
    sheetName_ = excel::mendSheetName(table, sheetNames);

    staged_ = std::make_unique<StagedFile>(path_);
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    // The rows wait in temporary files on the output's own disk, so that a full disk
    // shows when they are written, not later.
    options.tmpdir = folder_.data();
    book_ = workbook_new_opt(staged_->stagingPath().c_str(), &options);
    if (!book_) throw EngineError(ErrorKind::Io, "Cannot write " + path_ + ": out of memory");
    lxw_doc_properties properties = {};
    properties.author = const_cast<char*>(WriterName);
    workbook_set_properties(book_, &properties);
    dateFormat_ = workbook_add_format(book_);
    format_set_num_format(dateFormat_, "yyyy\\-mm\\-dd");
    dateTimeFormat_ = workbook_add_format(book_);
    format_set_num_format(dateTimeFormat_, "yyyy\\-mm\\-dd\\ hh:mm:ss");
    timeFormat_ = workbook_add_format(book_);
    format_set_num_format(timeFormat_, "hh:mm:ss");

    if (old_) copyOldSheets();

    sheet_ = addSheet(sheetName_);
    widths_.assign(fieldNames_.size(), 0);
    for (size_t i = 0; i < fieldNames_.size(); ++i)
      writeText(0, static_cast<lxw_col_t>(i), fieldNames_[i], true);
  }

  ~XlsxTableWriter() override {
    if (!book_) return;
    // A writer given up before finish() (a limit, a failed write): libxlsxwriter closes a
    // sheet's temporary file of rows only when it assembles the workbook, so each would
    // keep a file descriptor for the life of the process.
    for (lxw_worksheet* ws : sheets_)
      if (ws->optimize_tmpfile) {
        std::fclose(ws->optimize_tmpfile);
        ws->optimize_tmpfile = nullptr;
      }
    lxw_workbook_free(book_);
  }

  void appendRow(const std::vector<Variant>& row) override {
    if (records_ >= MaxDataRows)
      throw EngineError(ErrorKind::Limit,
                        "Cannot write record " + withThousands(records_ + 1) + " of table " +
                            table_ + " to " + fileName_ +
                            ": an Excel sheet holds at most 1,048,576 rows, the header row and "
                            "1,048,575 records; nothing after record 1,048,575 would fit");
    ++records_;
    auto rowIndex = static_cast<lxw_row_t>(records_);
    for (size_t i = 0; i < row.size() && i < fieldNames_.size(); ++i)
      writeValue(rowIndex, static_cast<lxw_col_t>(i), row[i]);
  }

  void finish() override {
    for (size_t i = 0; i < widths_.size(); ++i)
      if (widths_[i] > 8)
        worksheet_set_column(sheet_, static_cast<lxw_col_t>(i), static_cast<lxw_col_t>(i),
                             std::min<double>(widths_[i] + 1, 61), nullptr);
    // The rows wait in temporary files; a write that failed there (a full disk) would
    // otherwise only show as a sheet cut short.
    for (lxw_worksheet* ws : sheets_) {
      if (!ws->optimize_tmpfile) continue;
      errno = 0;
      if (std::fflush(ws->optimize_tmpfile) != 0 || std::ferror(ws->optimize_tmpfile))
        throw EngineError(ErrorKind::Io,
                          "Cannot write " + path_ + ": " +
                              (errno ? systemReason(errno)
                                     : std::string("a temporary file of its rows was cut short")));
    }
    // libxlsxwriter closes a sheet's temporary file when it copies the rows into the
    // workbook, which it skips for a sheet without cells (a table without fields): closed
    // here, or it would stay open for the life of the process.
    for (lxw_worksheet* ws : sheets_)
      if (ws->optimize_tmpfile && ws->dim_rowmin == LXW_ROW_MAX) {
        std::fclose(ws->optimize_tmpfile);
        ws->optimize_tmpfile = nullptr;
      }
    errno = 0;
    lxw_error error;
    {
      ScopedDeflateLevel level(DeflateLevel);
      error = workbook_close(book_);
    }
    const int closeErrno = errno;
    book_ = nullptr;  // closed and freed, whatever the result
    if (error != LXW_NO_ERROR)
      throw EngineError(ErrorKind::Io, "Cannot write " + path_ + ": " + lxw_strerror(error) +
                                           (closeErrno ? " (" + systemReason(closeErrno) + ")"
                                                       : std::string(" (larger than 4 GB?)")));
    staged_->commit();
  }

 private:
  lxw_worksheet* addSheet(const std::string& name) {
    lxw_worksheet* ws = workbook_add_worksheet(book_, name.c_str());
    if (!ws)
      throw EngineError(ErrorKind::Io,
                        "Cannot write " + path_ + ": sheet " + name + " cannot be added");
    sheets_.push_back(ws);
    return ws;
  }

  [[noreturn]] void writeFailed(lxw_error error) const {
    throw EngineError(ErrorKind::Io, "Cannot write table " + table_ + " to " + fileName_ + ": " +
                                         lxw_strerror(error));
  }

  // The sheets of the workbook written by an earlier statement, cell for cell.
  void copyOldSheets() {
    SheetContext ctx;
    ctx.package = old_;
    ctx.strings =
        std::make_shared<SharedStrings>(readSharedStrings(*old_, oldParts_.sharedStringsPath));
    ctx.dateStyles =
        std::make_shared<std::vector<bool>>(readDateStyles(*old_, oldParts_.stylesPath));
    ctx.date1904 = oldParts_.date1904;
    for (const SheetPart& part : oldParts_.sheets) {
      lxw_worksheet* ws = addSheet(part.name);
      SheetCells cells(ctx, part.partPath, old_->name() + ", sheet " + part.name);
      workbook::Cell cell;
      std::string text;
      while (cells.next(cell)) {
        lxw_error error = LXW_NO_ERROR;
        switch (cell.kind) {
          case workbook::CellKind::Number:
            error = worksheet_write_number(ws, cell.row, cell.col, cell.number, nullptr);
            break;
          case workbook::CellKind::Date:
            error = writeDate(ws, cell.row, cell.col, cell.number);
            break;
          case workbook::CellKind::Bool:
            error = worksheet_write_boolean(ws, cell.row, cell.col, cell.boolValue, nullptr);
            break;
          case workbook::CellKind::Text:
          case workbook::CellKind::Error:
            text = prepareText(cell.textView());
            error = worksheet_write_string(ws, cell.row, cell.col, text.c_str(), nullptr);
            break;
          case workbook::CellKind::Empty:
            break;
        }
        if (error != LXW_NO_ERROR) writeFailed(error);
      }
    }
  }

  // Text as libxlsxwriter takes it: a C string (a NUL character written as its escape),
  // literal escapes made literal, and bytes that are not UTF-8 read as Windows-1252.
  static std::string prepareText(std::string_view text) {
    std::string valid = isValidUtf8(text) ? std::string(text) : utf8OrCp1252(text);
    std::string out = escapeLiteralEscapes(valid);
    if (out.find('\0') != std::string::npos) {
      std::string withoutNul;
      for (char c : out) {
        if (c == '\0')
          withoutNul += "_x0000_";
        else
          withoutNul += c;
      }
      out.swap(withoutNul);
    }
    return out;
  }

  lxw_error writeDate(lxw_worksheet* ws, lxw_row_t row, lxw_col_t col, double oleDate) {
    double serial;
    if (!excel::serialFromOleDate(oleDate, serial)) {
      // Excel has no dates before 1900: kept as ISO text rather than lost.
      std::string text = variantToText(Variant::oleDate(oleDate));
      return worksheet_write_string(ws, row, col, text.c_str(), nullptr);
    }
    lxw_format* format = oleDate < 1                      ? timeFormat_
                         : oleDate != std::floor(oleDate) ? dateTimeFormat_
                                                          : dateFormat_;
    return worksheet_write_number(ws, row, col, serial, format);
  }

  void noteWidth(lxw_col_t col, size_t chars) {
    if (records_ <= WidthSampleRows && chars > widths_[col]) widths_[col] = chars;
  }

  void writeText(lxw_row_t row, lxw_col_t col, std::string_view text, bool header) {
    size_t units = utf16Length(text);
    if (units > MaxCellChars)
      throw EngineError(
          ErrorKind::Limit,
          "Cannot write " +
              (header ? std::string("the header") : "record " + withThousands(records_)) +
              " of table " + table_ + " to " + fileName_ + ": field " + fieldNames_[col] +
              " holds " + withThousands(static_cast<int64_t>(units)) +
              " characters, and an Excel cell holds at most 32,767");
    noteWidth(col, units);
    text_ = prepareText(text);
    lxw_error error = worksheet_write_string(sheet_, row, col, text_.c_str(), nullptr);
    if (error != LXW_NO_ERROR) writeFailed(error);
  }

  void writeValue(lxw_row_t row, lxw_col_t col, const Variant& v) {
    double d;
    lxw_error error = LXW_NO_ERROR;
    switch (v.vt) {
      case VT_EMPTY:
      case VT_NULL:
        return;
      case VT_BOOL:
        error = worksheet_write_boolean(sheet_, row, col, v.boolVal != 0, nullptr);
        noteWidth(col, 5);
        break;
      case VT_DATE:
        error = writeDate(sheet_, row, col, v.date);
        noteWidth(col, v.date != std::floor(v.date) && v.date >= 1 ? 19 : 10);
        break;
      case VT_BSTR:
        writeText(row, col, v.str, false);
        return;
      case VT_I8:
      case VT_UI8:
      case VT_DECIMAL: {
        // Numbers with more digits than a double holds stay exact as text.
        std::string text = variantToText(v);
        if (!excel::exactDouble(text, d)) {
          writeText(row, col, text, false);
          return;
        }
        error = worksheet_write_number(sheet_, row, col, d, nullptr);
        noteWidth(col, text.size());
        break;
      }
      default:
        if (v.vt != VT_ERROR && variantToDouble(v, d) && std::isfinite(d)) {
          error = worksheet_write_number(sheet_, row, col, d, nullptr);
          if (records_ <= WidthSampleRows) noteWidth(col, doubleText(d).size());
        } else {
          writeText(row, col, variantToText(v), false);
          return;
        }
        break;
    }
    if (error != LXW_NO_ERROR) writeFailed(error);
  }

  std::string path_, table_, fileName_, folder_, sheetName_;
  std::unique_ptr<StagedFile> staged_;
  std::vector<std::string> fieldNames_;
  std::shared_ptr<workbook::ZipPackage> old_;
  WorkbookParts oldParts_;
  lxw_workbook* book_ = nullptr;
  lxw_worksheet* sheet_ = nullptr;
  std::vector<lxw_worksheet*> sheets_;
  lxw_format *dateFormat_ = nullptr, *dateTimeFormat_ = nullptr, *timeFormat_ = nullptr;
  std::vector<size_t> widths_;
  std::string text_;
  int64_t records_ = 0;
};

}  // namespace

std::unique_ptr<TableWriter> createXlsxSheetWriter(const std::string& database,
                                                   const std::string& table,
                                                   const TableSchema& schema) {
  return std::make_unique<XlsxTableWriter>(database, table, schema);
}

}  // namespace tabulor::xlsx
