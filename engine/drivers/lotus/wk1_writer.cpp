// The "Lotus WK1" driver: one Lotus 1-2-3 Release 2 worksheet per table. Row 1 holds the
// field names, the records follow; numbers are INTEGER records where they fit 16 bits and
// NUMBER records otherwise, dates NUMBER records with a date format (a time of day alone
// with a time format), text LMBCS labels.
// Release 2 has rows 1..8,192 and columns A..IV: the header takes one row, so a table holds
// at most 8,191 records and 256 fields; more fails the statement before a file is created.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "engine/driver.h"
#include "engine/drivers/lotus/lmbcs.h"
#include "engine/drivers/lotus/wk1_records.h"
#include "engine/engine_error.h"
#include "engine/file_names.h"
#include "engine/message_text.h"
#include "engine/ole_date.h"
#include "engine/output_file.h"
#include "engine/text_codec.h"

namespace tabulor {

using namespace lotus;

namespace {

inline constexpr int64_t MaxSheetRows = 8192;
inline constexpr int64_t MaxRecords = MaxSheetRows - 1;  // below the header row
inline constexpr size_t MaxColumns = 256;
inline constexpr size_t MaxLabelChars = 239;  // 240 with the alignment prefix

std::string withCommas(int64_t n) {
  std::string digits = std::to_string(n), out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

std::string columnName(size_t col) {
  std::string name;
  if (col >= 26) name += static_cast<char>('A' + col / 26 - 1);
  name += static_cast<char>('A' + col % 26);
  return name;
}

class Wk1Writer : public TableWriter {
 public:
  Wk1Writer(const std::string& folder, const std::string& table, const TableSchema& schema)
      : fileName_(safeFileName(table)), fields_(schema.fields) {
    if (fields_.size() > MaxColumns)
      throw EngineError(ErrorKind::Limit, fileName_ + ": a Lotus WK1 worksheet holds at most " +
                                              std::to_string(MaxColumns) +
                                              " columns; the table has " +
                                              std::to_string(fields_.size()) + " fields");
    if (schema.rowCount > MaxRecords)
      throw EngineError(ErrorKind::Limit, fileName_ + ": a Lotus WK1 worksheet holds at most " +
                                              withCommas(MaxSheetRows) +
                                              " rows, the field names and " +
                                              withCommas(MaxRecords) + " records; the table has " +
                                              withCommas(schema.rowCount) + " records");
    for (size_t col = 0; col < fields_.size(); ++col)
      if (fields_[col].stats.maxTextChars > static_cast<int64_t>(MaxLabelChars) &&
          fields_[col].stats.textValues + fields_[col].stats.binaryValues > 0)
        throw EngineError(ErrorKind::Limit,
                          fileName_ + ", field " + clipForMessage(fields_[col].name) +
                              ": a Lotus WK1 label holds at most " + std::to_string(MaxLabelChars) +
                              " characters; the longest value has " +
                              std::to_string(fields_[col].stats.maxTextChars));
    file_ = std::make_unique<OutputFile>(joinPath(folder, fileName_));
    const char revision[2] = {static_cast<char>(Wk1Revision & 0xFF),
                              static_cast<char>(Wk1Revision >> 8)};
    appendRecord(buffer_, OpBof, std::string_view(revision, 2));
    rangeAt_ = buffer_.size() + 4;
    appendRecord(buffer_, OpRange, rangeBody(fields_.empty() ? 0xFFFF : 0, 0, 0, 0));
    for (size_t col = 0; col < fields_.size(); ++col) {
      if (schema.rowCount < 0) break;
      int64_t chars = std::max<int64_t>(fields_[col].stats.maxTextChars,
                                        static_cast<int64_t>(utf8Length(fields_[col].name)));
      std::string body(3, '\0');
      body[0] = static_cast<char>(col & 0xFF);
      body[1] = static_cast<char>(col >> 8);
      body[2] = static_cast<char>(std::clamp<int64_t>(chars + 1, 4, 60));
      appendRecord(buffer_, OpColW1, body);
    }
    for (size_t col = 0; col < fields_.size(); ++col)
      putLabel(col, 0, fields_[col].name, "field names");
    flush();
  }

  void appendRow(const std::vector<Variant>& row) override {
    if (rows_ >= MaxRecords)
      throw EngineError(ErrorKind::Limit, fileName_ + ", row " + withCommas(rows_ + 2) +
                                              ": a Lotus WK1 worksheet holds at most " +
                                              withCommas(MaxSheetRows) + " rows");
    auto sheetRow = static_cast<uint16_t>(rows_ + 1);
    for (size_t col = 0; col < fields_.size() && col < row.size(); ++col) {
      const Variant& v = row[col];
      auto c = static_cast<uint16_t>(col);
      double d = 0;
      switch (v.vt) {
        case VT_EMPTY:
        case VT_NULL:
          break;
        case VT_BSTR:
          if (!v.str.empty()) putLabel(col, sheetRow, v.str, "row " + withCommas(rows_ + 2));
          break;
        case VT_BOOL:  // 1-2-3 has no logical type; @TRUE is 1 and @FALSE 0
          appendInteger(buffer_, FormatDefault, c, sheetRow, v.boolVal ? 1 : 0);
          break;
        case VT_DATE: {
          if (isTimeOfDay(v.date)) {  // the fraction of a day, shown as a time
            appendNumber(buffer_, FormatTime, c, sheetRow, std::fabs(v.date - std::trunc(v.date)));
            break;
          }
          // Serial 1 is 1900-01-01 and 1-2-3 counts a 29 February 1900, so from 1 March 1900
          // the serial equals the OLE date and before it is one less. Earlier dates have no
          // serial and are written as their text.
          if (v.date < 2) {
            putLabel(col, sheetRow, variantToText(v), "row " + withCommas(rows_ + 2));
            break;
          }
          appendNumber(buffer_, FormatDate, c, sheetRow, v.date < 61 ? v.date - 1 : v.date);
          break;
        }
        case VT_CY:
          appendNumber(buffer_, FormatCurrency2, c, sheetRow,
                       static_cast<double>(v.cyVal) / 10000.0);
          break;
        default:
          if (v.vt != VT_BINARY && v.vt != VT_ERROR && variantToDouble(v, d)) {
            if (d == std::trunc(d) && d >= -32768 && d <= 32767)
              appendInteger(buffer_, FormatDefault, c, sheetRow, static_cast<int16_t>(d));
            else
              appendNumber(buffer_, FormatDefault, c, sheetRow, d);
          } else {
            putLabel(col, sheetRow, variantToText(v), "row " + withCommas(rows_ + 2));
          }
          break;
      }
    }
    ++rows_;
    if (buffer_.size() > (1u << 16)) flush();
  }

  void finish() override {
    appendRecord(buffer_, OpEof, {});
    flush();
    if (!fields_.empty())
      file_->writeAt(rangeAt_, rangeBody(0, 0, static_cast<uint16_t>(fields_.size() - 1),
                                         static_cast<uint16_t>(rows_)));
    file_->commit();
  }

 private:
  void putLabel(size_t col, uint16_t sheetRow, const std::string& text, const std::string& where) {
    std::string place = fileName_ + ", " + where + ", column " + columnName(col) + " (" +
                        clipForMessage(fields_[col].name) + ")";
    if (utf8Length(text) > MaxLabelChars)
      throw EngineError(ErrorKind::Limit, place + ": a Lotus WK1 label holds at most " +
                                              std::to_string(MaxLabelChars) + " characters");
    encoded_.clear();
    char32_t bad = 0;
    if (!appendLmbcs(text, encoded_, bad)) {
      char code[16];
      std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(bad));
      throw EngineError(ErrorKind::Limit, place + ": the character " + code +
                                              " cannot be written in a Lotus WK1 label");
    }
    appendLabel(buffer_, static_cast<uint16_t>(col), sheetRow, encoded_);
  }

  void flush() {
    file_->write(buffer_);
    buffer_.clear();
  }

  std::string fileName_;
  std::vector<FieldInfo> fields_;
  std::unique_ptr<OutputFile> file_;
  std::string buffer_, encoded_;
  size_t rangeAt_ = 0;
  int64_t rows_ = 0;
};

class LotusDriver : public Driver {
 public:
  const DriverInfo& info() const override {
    static const DriverInfo info = {{"Lotus WK1"},
                                    "Lotus WK1",
                                    {".wk1"},
                                    false,
                                    true,
                                    true,
                                    {MaxRecords, static_cast<int32_t>(MaxColumns)}};
    return info;
  }
  std::unique_ptr<TableWriter> createTable(const std::string& database, const std::string& table,
                                           const TableSchema& schema) const override {
    return std::make_unique<Wk1Writer>(database, table, schema);
  }
};

}  // namespace

const Driver& lotusDriver() {
  static const LotusDriver driver;
  return driver;
}

}  // namespace tabulor
