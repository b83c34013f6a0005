// Streaming the cells of a worksheet part.
#include "engine/drivers/xlsx/sheet_cells.h"

#include <charconv>
#include <cstdlib>

#include "engine/drivers/xlsx/ooxml_text.h"
#include "engine/drivers/xlsx/range_scan.h"
#include "engine/engine_error.h"
#include "engine/ole_date.h"

namespace tabulor::xlsx {

using workbook::Cell;
using workbook::CellKind;

SheetCells::SheetCells(SheetContext context, std::string partPath, std::string where)
    : ctx_(std::move(context)), partPath_(std::move(partPath)), where_(std::move(where)) {
  rewind();
}

void SheetCells::rewind() {
  xml_.reset();  // one open stream at a time
  xml_ = std::make_unique<workbook::XmlStream>(
      ctx_.package->requirePart(partPath_, "a worksheet the workbook lists"),
      where_ + " (part " + partPath_ + ")");
  row_ = xml_->intern("row");
  c_ = xml_->intern("c");
  v_ = xml_->intern("v");
  is_ = xml_->intern("is");
  t_ = xml_->intern("t");
  rPh_ = xml_->intern("rPh");
  r_ = xml_->intern("r");
  s_ = xml_->intern("s");
  currentRow_ = -1;
  lastCol_ = -1;
}

workbook::UsedRange SheetCells::scanUsedRange() {
  return scanCellRange(ctx_.package->requirePart(partPath_, "a worksheet the workbook lists").get(),
                       where_ + " (part " + partPath_ + ")");
}

namespace {

bool parseNumber(std::string_view text, double& out) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '+')) text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (text.empty()) return false;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return ec == std::errc() && end == text.data() + text.size();
}

}  // namespace

void SheetCells::readReference(std::string_view ref, uint32_t& row, uint32_t& col) const {
  size_t i = 0;
  uint64_t c = 0, r = 0;
  if (i < ref.size() && ref[i] == '$') ++i;
  size_t letters = i;
  while (i < ref.size() && ((ref[i] >= 'A' && ref[i] <= 'Z') || (ref[i] >= 'a' && ref[i] <= 'z'))) {
    c = c * 26 + static_cast<uint64_t>((ref[i] | 0x20) - 'a' + 1);
    if (c > workbook::MaxSheetColumns) break;
    ++i;
  }
  letters = i - letters;
  if (i < ref.size() && ref[i] == '$') ++i;
  size_t digits = i;
  while (i < ref.size() && ref[i] >= '0' && ref[i] <= '9' && r <= workbook::MaxSheetRows) {
    r = r * 10 + static_cast<uint64_t>(ref[i] - '0');
    ++i;
  }
  digits = i - digits;
  if (letters == 0 || digits == 0 || i != ref.size())
    xml_->fail("the cell reference \"" + std::string(ref.substr(0, 20)) + "\" is not valid");
  if (c > workbook::MaxSheetColumns || r == 0 || r > workbook::MaxSheetRows)
    xml_->fail("cell " + std::string(ref.substr(0, 20)) +
               " lies beyond column XFD or row 1,048,576, the last of a sheet");
  row = static_cast<uint32_t>(r - 1);
  col = static_cast<uint32_t>(c - 1);
}

bool SheetCells::next(Cell& cell) {
  while (xml_->next()) {
    if (!xml_->isElement()) continue;
    const xmlChar* name = xml_->localName();
    if (name == c_) {
      if (readCell(cell)) return true;
    } else if (name == row_) {
      int64_t row = currentRow_ + 1;
      if (xml_->firstAttribute()) {
        do {
          if (xml_->attrName() == r_) {
            std::string_view v = xml_->attrValue();
            uint64_t n = 0;
            auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
            if (ec != std::errc() || end != v.data() + v.size() || n == 0 ||
                n > workbook::MaxSheetRows)
              xml_->fail("row number \"" + std::string(v.substr(0, 20)) +
                         "\" is not a row of a sheet (1 to 1,048,576)");
            row = static_cast<int64_t>(n) - 1;
          }
        } while (xml_->nextAttribute());
        xml_->backToElement();
      }
      if (row >= workbook::MaxSheetRows) xml_->fail("more rows than a sheet holds (1,048,576)");
      currentRow_ = row;
      lastCol_ = -1;
    }
  }
  return false;
}

// At a <c> element: reads it whole; false for a cell without a value.
bool SheetCells::readCell(Cell& cell) {
  uint32_t row = 0, col = 0;
  bool haveRef = false;
  std::string_view type;
  std::string typeHeld;
  long style = 0;
  if (xml_->firstAttribute()) {
    do {
      const xmlChar* n = xml_->attrName();
      if (n == r_) {
        readReference(xml_->attrValue(), row, col);
        haveRef = true;
      } else if (n == t_) {
        typeHeld.assign(xml_->attrValue());
      } else if (n == s_) {
        std::string_view v = xml_->attrValue();
        std::from_chars(v.data(), v.data() + v.size(), style);
      }
    } while (xml_->nextAttribute());
    xml_->backToElement();
  }
  type = typeHeld;
  if (!haveRef) {
    if (currentRow_ < 0) currentRow_ = 0;
    if (lastCol_ + 1 >= workbook::MaxSheetColumns)
      xml_->fail("more cells in a row than a sheet has columns (16,384)");
    row = static_cast<uint32_t>(currentRow_);
    col = static_cast<uint32_t>(lastCol_ + 1);
  }
  lastCol_ = col;
  if (xml_->isEmptyElement()) return false;

  // The children: <v> (value or cached result), <is> (inline string), <f> (formula).
  bool haveValue = false, haveInline = false, inValue = false, inText = false;
  int phoneticDepth = -1;
  int cellDepth = xml_->depth();
  value_.clear();
  inline_.clear();
  while (xml_->next()) {
    if (xml_->isElement()) {
      const xmlChar* n = xml_->localName();
      if (n == v_) {
        haveValue = true;
        inValue = !xml_->isEmptyElement();
      } else if (n == is_) {
        haveInline = true;
      } else if (n == rPh_ && !xml_->isEmptyElement()) {
        phoneticDepth = xml_->depth();
      } else if (n == t_ && haveInline && phoneticDepth < 0) {
        inText = !xml_->isEmptyElement();
      }
    } else if (xml_->isEnd()) {
      const xmlChar* n = xml_->localName();
      if (n == c_ && xml_->depth() == cellDepth) break;
      if (n == v_) inValue = false;
      if (n == t_) inText = false;
      if (n == rPh_ && xml_->depth() == phoneticDepth) phoneticDepth = -1;
    } else if (xml_->isText()) {
      if (inValue) value_.append(xml_->text());
      if (inText) inline_.append(xml_->text());
    }
  }

  cell.row = row;
  cell.col = static_cast<uint16_t>(col);
  cell.own = false;
  cell.text = {};
  auto setText = [&](std::string& text) {
    decodeEscapes(text);
    cell.kind = CellKind::Text;
    cell.own = true;
    cell.ownText.swap(text);
  };
  if (type == "inlineStr" || (haveInline && !haveValue)) {
    if (!haveInline && !haveValue) return false;
    setText(haveInline ? inline_ : value_);
    return true;
  }
  if (!haveValue) return false;
  if (type == "s") {
    uint64_t index = 0;
    auto [end, ec] = std::from_chars(value_.data(), value_.data() + value_.size(), index);
    if (ec != std::errc() || end != value_.data() + value_.size() || index >= ctx_.strings->size())
      xml_->fail("cell " + workbook::cellName(row, col) + " refers to shared string \"" +
                 value_.substr(0, 20) + "\" of " + std::to_string(ctx_.strings->size()) +
                 " (damaged file)");
    cell.kind = CellKind::Text;
    cell.text = ctx_.strings->at(index);
    return true;
  }
  if (type == "str" || type == "e") {
    setText(value_);
    return true;
  }
  if (type == "b") {
    cell.kind = CellKind::Bool;
    cell.boolValue = value_ == "1" || value_ == "true" || value_ == "TRUE";
    return true;
  }
  if (type == "d") {
    if (auto ole = oleDateFromIso(value_)) {
      cell.kind = CellKind::Date;
      cell.number = workbook::snapToSecond(*ole);
      return true;
    }
    setText(value_);
    return true;
  }
  double number;
  if (!parseNumber(value_, number)) {
    if (value_.empty()) return false;
    setText(value_);  // not a number: kept as the text it is
    return true;
  }
  double ole;
  if (style >= 0 && static_cast<size_t>(style) < ctx_.dateStyles->size() &&
      (*ctx_.dateStyles)[static_cast<size_t>(style)] &&
      excel::oleDateFromSerial(number, ctx_.date1904, ole)) {
    cell.kind = CellKind::Date;
    cell.number = workbook::snapToSecond(ole);
  } else {
    cell.kind = CellKind::Number;
    cell.number = number;
  }
  return true;
}

}  // namespace tabulor::xlsx
