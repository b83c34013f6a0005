// Worksheet records: cells by Variant type, ROW blocks, DIMENSIONS, COLINFO, WINDOW2.
#include "engine/drivers/excel/sheet_writer.h"

#include <cmath>
#include <cstdlib>

#include "engine/drivers/excel/biff_records.h"
#include "engine/drivers/excel/cell_value.h"
#include "engine/engine_error.h"
#include "engine/message_text.h"
#include "engine/ole_date.h"
#include "engine/text_codec.h"
#include "engine/value_format.h"

namespace tabulor::excel {

namespace {

constexpr int RowsPerBlock = 32;
constexpr int64_t WidthSampleRows = 200;

}  // namespace

SheetWriter::SheetWriter(SharedStringsWriter& strings, std::string table, std::string file,
                         size_t columns)
    : strings_(strings),
      table_(std::move(table)),
      file_(std::move(file)),
      columns_(columns),
      widths_(columns, 0) {}

void SheetWriter::cellText(uint16_t col, std::string_view text, const std::string& field) {
  size_t units = utf16Length(text);
  if (units > MaxCellChars)
    throw EngineError(
        ErrorKind::Limit,
        "Cannot write " +
            (records_ == 0 ? std::string("the header") : "record " + withThousands(records_)) +
            " of table " + clipForMessage(table_) + " to " + file_ + ": field " +
            clipForMessage(field) + " holds " + withThousands(static_cast<int64_t>(units)) +
            " characters, and an Excel 97-2003 cell holds at most 32,767");
  if (records_ <= WidthSampleRows && units > widths_[col])
    widths_[col] = static_cast<uint16_t>(std::min<size_t>(units, 60));
  uint32_t index = strings_.add(text);
  strings_.countReference();
  putRecordHeader(blockCells_, rec::LabelSst, 10);
  putU16(blockCells_, static_cast<uint16_t>(row_));
  putU16(blockCells_, col);
  putU16(blockCells_, xf::General);
  putU32(blockCells_, index);
  if (rowFirstCol_ < 0) rowFirstCol_ = col;
  rowLastCol_ = col;
}

void SheetWriter::cellNumber(uint16_t col, double value, uint16_t xfIndex) {
  // Whole numbers of 30 bits fit an RK record, 4 bytes shorter than NUMBER.
  if (value == std::floor(value) && std::fabs(value) < (1 << 29) &&
      !(value == 0 && std::signbit(value))) {
    putRecordHeader(blockCells_, rec::Rk, 10);
    putU16(blockCells_, static_cast<uint16_t>(row_));
    putU16(blockCells_, col);
    putU16(blockCells_, xfIndex);
    putU32(blockCells_, (static_cast<uint32_t>(static_cast<int32_t>(value)) << 2) | 2);
  } else {
    putRecordHeader(blockCells_, rec::Number, 14);
    putU16(blockCells_, static_cast<uint16_t>(row_));
    putU16(blockCells_, col);
    putU16(blockCells_, xfIndex);
    putF64(blockCells_, value);
  }
  if (records_ <= WidthSampleRows && widths_[col] < 10)
    widths_[col] = xfIndex == xf::DateTime ? 19 : 10;
  if (rowFirstCol_ < 0) rowFirstCol_ = col;
  rowLastCol_ = col;
}

void SheetWriter::writeHeader(const std::vector<std::string>& names) {
  for (size_t i = 0; i < names.size() && i < columns_; ++i)
    cellText(static_cast<uint16_t>(i), names[i], names[i]);
  endRow();
}

void SheetWriter::writeRecord(const std::vector<Variant>& row,
                              const std::vector<std::string>& fieldNames) {
  if (records_ >= MaxDataRows)
    throw EngineError(ErrorKind::Limit,
                      "Cannot write record " + withThousands(records_ + 1) + " of table " +
                          clipForMessage(table_) + " to " + file_ +
                          ": an Excel 97-2003 sheet holds at most 65,536 rows, the header row "
                          "and 65,535 records; nothing after record 65,535 would fit");
  ++records_;
  for (size_t i = 0; i < row.size() && i < columns_; ++i) {
    const Variant& v = row[i];
    auto col = static_cast<uint16_t>(i);
    double d;
    switch (v.vt) {
      case VT_EMPTY:
      case VT_NULL:
        break;
      case VT_BOOL:
        putRecordHeader(blockCells_, rec::BoolErr, 8);
        putU16(blockCells_, static_cast<uint16_t>(row_));
        putU16(blockCells_, col);
        putU16(blockCells_, xf::General);
        putU8(blockCells_, v.boolVal ? 1 : 0);
        putU8(blockCells_, 0);
        if (rowFirstCol_ < 0) rowFirstCol_ = col;
        rowLastCol_ = col;
        break;
      case VT_DATE: {
        double serial;
        if (isTimeOfDay(v.date)) {  // no date: the fraction of a day, shown as a time
          cellNumber(col, std::fabs(v.date - std::trunc(v.date)), xf::Time);
        } else if (serialFromOleDate(v.date, serial)) {
          bool hasTime = v.date != std::floor(v.date);
          cellNumber(col, serial, hasTime ? xf::DateTime : xf::Date);
        } else {
          // Excel has no dates before 1900: kept as ISO text rather than lost.
          cellText(col, variantToText(v), fieldNames[i]);
        }
        break;
      }
      case VT_I8:
      case VT_UI8:
      case VT_DECIMAL:
        // Numbers with more digits than a double holds stay exact as text.
        if (exactDouble(variantToText(v), d))
          cellNumber(col, d, xf::General);
        else
          cellText(col, variantToText(v), fieldNames[i]);
        break;
      case VT_BSTR:
        cellText(col, v.str, fieldNames[i]);
        break;
      default:
        if (v.vt != VT_ERROR && variantToDouble(v, d) && std::isfinite(d))
          cellNumber(col, d, xf::General);
        else
          cellText(col, variantToText(v), fieldNames[i]);
        break;
    }
  }
  endRow();
}

void SheetWriter::endRow() {
  if (rowFirstCol_ >= 0) {
    putRecordHeader(blockRows_, rec::Row, 16);
    putU16(blockRows_, static_cast<uint16_t>(row_));
    putU16(blockRows_, static_cast<uint16_t>(rowFirstCol_));
    putU16(blockRows_, static_cast<uint16_t>(rowLastCol_ + 1));
    putU16(blockRows_, 0x00FF);  // default height
    putU16(blockRows_, 0);
    putU16(blockRows_, 0);
    putU32(blockRows_, 0x00000100);
    lastUsedRow_ = row_;
  }
  rowFirstCol_ = rowLastCol_ = -1;
  ++row_;
  if (row_ % RowsPerBlock == 0) flushBlock();
}

void SheetWriter::flushBlock() {
  body_ += blockRows_;
  body_ += blockCells_;
  blockRows_.clear();
  blockCells_.clear();
}

std::string SheetWriter::finish(bool active) {
  flushBlock();
  std::string out;
  out.reserve(body_.size() + 256 + columns_ * 16);
  std::string data;
  // BOF of a worksheet.
  putU16(data, 0x0600);
  putU16(data, 0x0010);
  putU16(data, 0x0DBB);
  putU16(data, 0x07CC);
  putU32(data, 0);
  putU32(data, 6);
  putRecord(out, rec::Bof, data);

  data.clear();
  bool any = lastUsedRow_ >= 0;
  putU32(data, 0);
  putU32(data, any ? static_cast<uint32_t>(lastUsedRow_ + 1) : 0);
  putU16(data, 0);
  putU16(data, any ? static_cast<uint16_t>(columns_) : 0);
  putU16(data, 0);
  putRecord(out, rec::Dimensions, data);

  for (size_t i = 0; i < columns_; ++i) {
    data.clear();
    uint16_t chars = std::max<uint16_t>(widths_[i], 8);
    putU16(data, static_cast<uint16_t>(i));
    putU16(data, static_cast<uint16_t>(i));
    putU16(data, static_cast<uint16_t>((chars + 1) * 256));
    putU16(data, xf::General);
    putU16(data, 0);
    putU16(data, 0);
    putRecord(out, rec::ColInfo, data);
  }

  out += body_;
  body_.clear();
  body_.shrink_to_fit();

  data.clear();
  putU16(data, active ? 0x06B6 : 0x00B6);
  putU16(data, 0);   // top row
  putU16(data, 0);   // left column
  putU32(data, 64);  // grid colour: automatic
  putU16(data, 0);   // zoom in page-break preview: default
  putU16(data, 0);   // zoom in normal view: default
  putU32(data, 0);
  putRecord(out, rec::Window2, data);
  putRecord(out, rec::Eof, {});
  return out;
}

}  // namespace tabulor::excel
