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
  xml_ = std::make_unique<workbook::SaxStream>(
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
  depth_ = 0;
  cellDepth_ = phoneticDepth_ = -1;
  inValue_ = inText_ = false;
  queued_ = taken_ = 0;
}

workbook::UsedRange SheetCells::scanUsedRange() {
  return scanCellRange(ctx_.package->requirePart(partPath_, "a worksheet the workbook lists"),
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

bool SheetCells::next(Cell& cell) {
  while (taken_ == queued_) {
    queued_ = taken_ = 0;
    if (!xml_->feed(*this) && queued_ == 0) return false;
  }
  Cell& held = queue_[taken_++];
  cell.row = held.row;
  cell.col = held.col;
  cell.kind = held.kind;
  cell.number = held.number;
  cell.boolValue = held.boolValue;
  cell.own = held.own;
  cell.text = held.text;
  if (held.own) cell.ownText.swap(held.ownText);
  return true;
}

Cell& SheetCells::push() {
  if (queued_ == queue_.size()) queue_.emplace_back();
  Cell& cell = queue_[queued_++];
  cell.own = false;
  cell.text = {};
  return cell;
}

// The handler may not throw (libxml2 is below it): a reference that is not valid ends the
// parse through fail(), and false says so.
bool SheetCells::readReference(std::string_view ref, uint32_t& row, uint32_t& col) {
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
  if (letters == 0 || digits == 0 || i != ref.size()) {
    xml_->fail("the cell reference \"" + std::string(ref.substr(0, 20)) + "\" is not valid");
    return false;
  }
  if (c > workbook::MaxSheetColumns || r == 0 || r > workbook::MaxSheetRows) {
    xml_->fail("cell " + std::string(ref.substr(0, 20)) +
               " lies beyond column XFD or row 1,048,576, the last of a sheet");
    return false;
  }
  row = static_cast<uint32_t>(r - 1);
  col = static_cast<uint32_t>(c - 1);
  return true;
}

void SheetCells::startElement(const xmlChar* name, const xmlChar*,
                              const workbook::XmlAttributes& attributes) {
  int depth = depth_++;
  if (cellDepth_ < 0) {
    if (name == c_)
      startCell(attributes);
    else if (name == row_)
      startRow(attributes);
    if (cellDepth_ >= 0) cellDepth_ = depth;
    return;
  }
  // The children of a cell: <v> (value or cached result), <is> (inline string), <f>
  // (formula); phonetic runs (<rPh>) are left out of the text.
  if (name == v_) {
    haveValue_ = inValue_ = true;
  } else if (name == is_) {
    haveInline_ = true;
  } else if (name == rPh_ && phoneticDepth_ < 0) {
    phoneticDepth_ = depth;
  } else if (name == t_ && haveInline_ && phoneticDepth_ < 0) {
    inText_ = true;
  }
}

void SheetCells::endElement(const xmlChar* name) {
  int depth = --depth_;
  if (cellDepth_ < 0) return;
  if (depth == cellDepth_) {
    endCell();
    cellDepth_ = -1;
  } else if (name == v_) {
    inValue_ = false;
  } else if (name == t_) {
    inText_ = false;
  } else if (name == rPh_ && depth == phoneticDepth_) {
    phoneticDepth_ = -1;
  }
}

void SheetCells::characters(std::string_view text) {
  if (inValue_) value_.append(text);
  if (inText_) inline_.append(text);
}

void SheetCells::startRow(const workbook::XmlAttributes& attributes) {
  int64_t row = currentRow_ + 1;
  bool found;
  std::string_view v = attributes.find(r_, &found);
  if (found) {
    uint64_t n = 0;
    auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
    if (ec != std::errc() || end != v.data() + v.size() || n == 0 || n > workbook::MaxSheetRows)
      return xml_->fail("row number \"" + std::string(v.substr(0, 20)) +
                        "\" is not a row of a sheet (1 to 1,048,576)");
    row = static_cast<int64_t>(n) - 1;
  }
  if (row >= workbook::MaxSheetRows) return xml_->fail("more rows than a sheet holds (1,048,576)");
  currentRow_ = row;
  lastCol_ = -1;
}

// At a <c> start tag: where the cell is and what its value will be; cellDepth_ says that a
// cell is open.
void SheetCells::startCell(const workbook::XmlAttributes& attributes) {
  uint32_t row = 0, col = 0;
  bool haveRef = false;
  type_ = Type::Number;
  style_ = 0;
  for (int i = 0; i < attributes.size(); ++i) {
    const xmlChar* n = attributes.name(i);
    std::string_view v = attributes.value(i);
    if (n == r_) {
      if (!readReference(v, row, col)) return;
      haveRef = true;
    } else if (n == t_) {
      type_ = v == "s"           ? Type::Shared
              : v == "inlineStr" ? Type::Inline
              : v == "str"       ? Type::Str
              : v == "e"         ? Type::Error
              : v == "b"         ? Type::Bool
              : v == "d"         ? Type::Date
                                 : Type::Number;
    } else if (n == s_) {
      std::from_chars(v.data(), v.data() + v.size(), style_);
    }
  }
  if (!haveRef) {
    if (currentRow_ < 0) currentRow_ = 0;
    if (lastCol_ + 1 >= workbook::MaxSheetColumns)
      return xml_->fail("more cells in a row than a sheet has columns (16,384)");
    row = static_cast<uint32_t>(currentRow_);
    col = static_cast<uint32_t>(lastCol_ + 1);
  }
  lastCol_ = col;
  cellRow_ = row;
  cellCol_ = col;
  haveValue_ = haveInline_ = inValue_ = inText_ = false;
  phoneticDepth_ = -1;
  value_.clear();
  inline_.clear();
  cellDepth_ = 0;  // set to the depth by the caller
}

// At a cell's end tag: its value, if it has one, joins the queue.
void SheetCells::endCell() {
  inValue_ = inText_ = false;
  auto setText = [&](std::string& text) {
    decodeEscapes(text);
    Cell& cell = push();
    cell.kind = CellKind::Text;
    cell.own = true;
    cell.ownText.swap(text);
    return &cell;
  };
  Cell* cell = nullptr;
  if (type_ == Type::Inline || (haveInline_ && !haveValue_)) {
    if (!haveInline_ && !haveValue_) return;
    cell = setText(haveInline_ ? inline_ : value_);
  } else if (!haveValue_) {
    return;
  } else if (type_ == Type::Shared) {
    uint64_t index = 0;
    auto [end, ec] = std::from_chars(value_.data(), value_.data() + value_.size(), index);
    if (ec != std::errc() || end != value_.data() + value_.size() || index >= ctx_.strings->size())
      return xml_->fail("cell " + workbook::cellName(cellRow_, cellCol_) +
                        " refers to shared string \"" + value_.substr(0, 20) + "\" of " +
                        std::to_string(ctx_.strings->size()) + " (damaged file)");
    cell = &push();
    cell->kind = CellKind::Text;
    cell->text = ctx_.strings->at(index);
  } else if (type_ == Type::Str || type_ == Type::Error) {
    cell = setText(value_);
  } else if (type_ == Type::Bool) {
    cell = &push();
    cell->kind = CellKind::Bool;
    cell->boolValue = value_ == "1" || value_ == "true" || value_ == "TRUE";
  } else if (type_ == Type::Date) {
    if (auto ole = oleDateFromIso(value_)) {
      cell = &push();
      cell->kind = CellKind::Date;
      cell->number = workbook::snapToSecond(*ole);
    } else {
      cell = setText(value_);
    }
  } else {
    double number;
    if (!parseNumber(value_, number)) {
      if (value_.empty()) return;
      cell = setText(value_);  // not a number: kept as the text it is
    } else {
      cell = &push();
      double ole;
      if (style_ >= 0 && static_cast<size_t>(style_) < ctx_.dateStyles->size() &&
          (*ctx_.dateStyles)[static_cast<size_t>(style_)] &&
          excel::oleDateFromSerial(number, ctx_.date1904, ole)) {
        cell->kind = CellKind::Date;
        cell->number = workbook::snapToSecond(ole);
      } else {
        cell->kind = CellKind::Number;
        cell->number = number;
      }
    }
  }
  cell->row = cellRow_;
  cell->col = static_cast<uint16_t>(cellCol_);
}

}  // namespace tabulor::xlsx
