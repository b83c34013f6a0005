// Streaming the tables of content.xml.
#include "engine/drivers/ods/ods_content.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "engine/drivers/workbook/tag_scan.h"
#include "engine/engine_error.h"
#include "engine/ole_date.h"
#include "engine/text_codec.h"

namespace tabulor::ods {

using workbook::Cell;
using workbook::CellKind;
using workbook::XmlStream;

namespace {

constexpr const char* TableNs = "urn:oasis:names:tc:opendocument:xmlns:table:1.0";
constexpr const char* OfficeNs = "urn:oasis:names:tc:opendocument:xmlns:office:1.0";

bool is(const xmlChar* a, const char* b) {
  return a && std::strcmp(reinterpret_cast<const char*>(a), b) == 0;
}

uint64_t parseCount(std::string_view v) {
  uint64_t n = 0;
  auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
  if (ec != std::errc() || end != v.data() + v.size() || n == 0) return 1;
  return n;
}

}  // namespace

void checkSpreadsheet(const workbook::ZipPackage& package) {
  std::string mimetype = package.readPart("mimetype");
  while (!mimetype.empty() && (mimetype.back() == '\n' || mimetype.back() == '\r'))
    mimetype.pop_back();
  if (!mimetype.empty() && mimetype.rfind(SpreadsheetMimetype, 0) != 0) {
    if (mimetype.rfind("application/vnd.oasis.opendocument.", 0) == 0)
      throw EngineError(ErrorKind::Unsupported,
                        package.name() + " is an OpenDocument document of another kind (" +
                            mimetype + "), not a spreadsheet");
    throw EngineError(ErrorKind::BadInput, package.name() + " is a zip of another kind (" +
                                               mimetype.substr(0, 80) +
                                               "), not an OpenDocument spreadsheet");
  }
  if (!package.has("content.xml")) {
    if (package.has("xl/workbook.xml"))
      throw EngineError(ErrorKind::Unsupported,
                        package.name() +
                            " is an Excel 2007 or later workbook (.xlsx), not an OpenDocument "
                            "spreadsheet; name it .xlsx");
    throw EngineError(ErrorKind::BadInput,
                      package.name() +
                          " has no part content.xml (the tables): a damaged or incomplete "
                          "OpenDocument spreadsheet");
  }
}

namespace {

// Attribute text as XML gives it: the predefined entities and character references
// decoded (attribute values were normalised by the writer; a tag scan sees them raw).
std::string decodeAttribute(std::string_view raw) {
  std::string out;
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != '&') {
      out += raw[i];
      continue;
    }
    size_t semi = raw.find(';', i);
    if (semi == std::string_view::npos) {
      out += raw.substr(i);
      break;
    }
    std::string_view entity = raw.substr(i + 1, semi - i - 1);
    if (entity == "amp") {
      out += '&';
    } else if (entity == "lt") {
      out += '<';
    } else if (entity == "gt") {
      out += '>';
    } else if (entity == "quot") {
      out += '"';
    } else if (entity == "apos") {
      out += '\'';
    } else if (!entity.empty() && entity[0] == '#') {
      bool hex = entity.size() > 1 && (entity[1] == 'x' || entity[1] == 'X');
      uint32_t cp = 0;
      auto digits = entity.substr(hex ? 2 : 1);
      auto [end, ec] =
          std::from_chars(digits.data(), digits.data() + digits.size(), cp, hex ? 16 : 10);
      if (ec != std::errc() || end != digits.data() + digits.size() || cp > 0x10FFFF) cp = 0xFFFD;
      appendUtf8(out, cp);
    } else {
      out += raw.substr(i, semi - i + 1);
    }
    i = semi;
  }
  return out;
}

// The one pass over content.xml before any table is read: the tables under
// office:spreadsheet with their names and the bounding boxes of their values, from the
// tags alone, repeats counted arithmetically. A cell counts as a value when it has a value
// type other than "void" or holds a paragraph; a box then holds every cell the reader
// takes for a value.
class TablesScanner : public workbook::TagScanner {
 public:
  std::vector<TableEntry> tables;

 protected:
  void onTag(std::string_view tag, std::string_view name, bool end, bool selfClosing) override {
    if (end) {
      --depth_;
      if (inCell_ && depth_ == cellDepth_) {
        endCell();
      } else if (inTable_ && !inCell_ && name == "table-row" && depth_ == rowDepth_) {
        endRow();
      } else if (inTable_ && name == "table" && depth_ == tableDepth_) {
        inTable_ = false;
      } else if (name == "spreadsheet" && depth_ == sheetDepth_) {
        stop();
      }
      return;
    }
    int depth = depth_;
    if (!selfClosing) ++depth_;
    if (inCell_) {
      if (name == "p" || name == "h") cellValued_ = true;
      return;
    }
    if (name == "spreadsheet" && sheetDepth_ < 0) {
      sheetDepth_ = depth;
    } else if (name == "table" && sheetDepth_ >= 0 && depth == sheetDepth_ + 1 && !inTable_) {
      tables.push_back({decodeAttribute(workbook::tagAttribute(tag, "name")), {}});
      inTable_ = !selfClosing;
      tableDepth_ = depth;
      nextRow_ = 0;
    } else if (inTable_ && name == "table-row") {
      rowRepeat_ = count(workbook::tagAttribute(tag, "number-rows-repeated"));
      rowFirst_ = nextRow_;
      nextRow_ += rowRepeat_;
      rowDepth_ = depth;
      col_ = 0;
      rowValued_ = false;
      if (selfClosing) endRow();
    } else if (inTable_ && (name == "table-cell" || name == "covered-table-cell")) {
      cellRepeat_ = count(workbook::tagAttribute(tag, "number-columns-repeated"));
      std::string_view type = workbook::tagAttribute(tag, "value-type");
      cellValued_ = !type.empty() && type != "void";
      cellDepth_ = depth;
      inCell_ = true;
      if (selfClosing) endCell();
    }
  }

 private:
  static uint64_t count(std::string_view text) {
    uint64_t n = 0;
    for (char ch : text) {
      if (ch < '0' || ch > '9' || n > (uint64_t(1) << 40)) return 1;
      n = n * 10 + static_cast<uint64_t>(ch - '0');
    }
    return n == 0 ? 1 : n;
  }

  void endCell() {
    inCell_ = false;
    if (cellValued_ && col_ < workbook::MaxSheetColumns) {
      uint64_t last = std::min<uint64_t>(col_ + cellRepeat_ - 1, workbook::MaxSheetColumns - 1);
      if (!rowValued_) minCol_ = maxCol_ = static_cast<uint32_t>(col_);
      rowValued_ = true;
      minCol_ = std::min<uint32_t>(minCol_, static_cast<uint32_t>(col_));
      maxCol_ = std::max<uint32_t>(maxCol_, static_cast<uint32_t>(last));
    }
    col_ += cellRepeat_;
  }

  void endRow() {
    if (!rowValued_ || rowFirst_ >= workbook::MaxSheetRows) return;
    uint64_t last = std::min<uint64_t>(rowFirst_ + rowRepeat_ - 1, workbook::MaxSheetRows - 1);
    tables.back().range.add(static_cast<uint32_t>(rowFirst_), minCol_);
    tables.back().range.add(static_cast<uint32_t>(last), maxCol_);
  }

  int depth_ = 0, sheetDepth_ = -1, tableDepth_ = -1, rowDepth_ = -1, cellDepth_ = -1;
  bool inTable_ = false, inCell_ = false, cellValued_ = false, rowValued_ = false;
  uint64_t rowFirst_ = 0, rowRepeat_ = 1, nextRow_ = 0, col_ = 0, cellRepeat_ = 1;
  uint32_t minCol_ = 0, maxCol_ = 0;
};

}  // namespace

std::vector<TableEntry> scanTables(const workbook::ZipPackage& package) {
  // A tag scan, not a parse: listing the tables of a large spreadsheet (the preview does it
  // for every file the user highlights) costs little more than inflating content.xml, and
  // each table is then parsed once. Damaged XML is refused when a table is read.
  TablesScanner scanner;
  scanner.scan(package.requirePart("content.xml", "the tables").get(),
               package.name() + ", part content.xml");
  return scanner.tables;
}

std::optional<double> oleDateFromOdf(std::string_view text) {
  if (text.size() < 10) return std::nullopt;
  std::string_view main = text.substr(0, std::min<size_t>(text.size(), 19));
  std::optional<double> ole = oleDateFromIso(main);
  if (!ole) return std::nullopt;
  double fraction = 0;
  if (text.size() > 19 && text[19] == '.') {
    size_t i = 20;
    double scale = 0.1;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
      fraction += (text[i] - '0') * scale;
      scale /= 10;
      ++i;
    }
    // A time zone after the time is not kept: spreadsheets have local times only.
  }
  if (fraction > 0) return *ole >= 0 ? *ole + fraction / 86400 : *ole - fraction / 86400;
  return *ole >= 0 ? workbook::snapToSecond(*ole) : *ole;
}

std::optional<double> daysFromOdfDuration(std::string_view t) {
  size_t i = 0;
  bool negative = false;
  if (i < t.size() && t[i] == '-') negative = true, ++i;
  if (i >= t.size() || t[i] != 'P') return std::nullopt;
  ++i;
  double seconds = 0;
  bool inTime = false, any = false;
  while (i < t.size()) {
    if (t[i] == 'T') {
      inTime = true;
      ++i;
      continue;
    }
    size_t start = i;
    while (i < t.size() && ((t[i] >= '0' && t[i] <= '9') || t[i] == '.')) ++i;
    if (i == start || i >= t.size()) return std::nullopt;
    double n = 0;
    auto [end, ec] = std::from_chars(t.data() + start, t.data() + i, n);
    if (ec != std::errc() || end != t.data() + i) return std::nullopt;
    char unit = t[i++];
    if (!inTime && unit == 'D')
      seconds += n * 86400;
    else if (inTime && unit == 'H')
      seconds += n * 3600;
    else if (inTime && unit == 'M')
      seconds += n * 60;
    else if (inTime && unit == 'S')
      seconds += n;
    else
      return std::nullopt;
    any = true;
  }
  if (!any) return std::nullopt;
  double days = seconds / 86400;
  return negative ? -days : days;
}

TableCells::TableCells(std::shared_ptr<const workbook::ZipPackage> package, size_t tableIndex,
                       std::string where)
    : package_(std::move(package)), tableIndex_(tableIndex), where_(std::move(where)) {
  rewind();
}

// By local name alone: the names of rows, cells and tables are the table namespace's in
// content.xml, and asking libxml2 for an element's namespace costs a dictionary lookup.
bool TableCells::isTableElement(const xmlChar* localName) const {
  return xml_->localName() == localName;
}

void TableCells::rewind() {
  xml_.reset();
  xml_ = std::make_unique<XmlStream>(package_->requirePart("content.xml", "the tables"),
                                     where_ + " (part content.xml)");
  XmlStream& x = *xml_;
  tableNs_ = x.intern(TableNs);
  officeNs_ = x.intern(OfficeNs);
  table_ = x.intern("table");
  tableRow_ = x.intern("table-row");
  tableCell_ = x.intern("table-cell");
  coveredCell_ = x.intern("covered-table-cell");
  p_ = x.intern("p");
  h_ = x.intern("h");
  s_ = x.intern("s");
  c_ = x.intern("c");
  tab_ = x.intern("tab");
  lineBreak_ = x.intern("line-break");
  annotation_ = x.intern("annotation");
  note_ = x.intern("note");
  rowsRepeated_ = x.intern("number-rows-repeated");
  colsRepeated_ = x.intern("number-columns-repeated");
  valueType_ = x.intern("value-type");
  value_ = x.intern("value");
  dateValue_ = x.intern("date-value");
  timeValue_ = x.intern("time-value");
  booleanValue_ = x.intern("boolean-value");
  stringValue_ = x.intern("string-value");
  const xmlChar* spreadsheet = x.intern("spreadsheet");
  rowCells_.clear();
  rowPos_ = 0;
  rowFirst_ = rowRepeat_ = rowDone_ = nextRow_ = 0;
  tableEnded_ = true;
  tableDepth_ = -1;

  // To the start of the wanted table: the tables before it are skipped whole.
  int sheetDepth = -1;
  size_t seen = 0;
  bool more = x.next();
  while (more) {
    if (x.isElement()) {
      if (x.localName() == spreadsheet && x.namespaceUri() == officeNs_) {
        sheetDepth = x.depth();
      } else if (sheetDepth >= 0 && x.depth() == sheetDepth + 1 && isTableElement(table_)) {
        if (seen++ == tableIndex_) {
          tableDepth_ = x.depth();
          tableEnded_ = x.isEmptyElement();
          return;
        }
        more = x.skipSubtree();
        continue;
      }
    }
    more = x.next();
  }
  x.fail("the table is missing (the file changed while it was read?)");
}

bool TableCells::next(Cell& cell) {
  for (;;) {
    if (rowPos_ < rowCells_.size()) {
      const Cell& held = rowCells_[rowPos_++];
      cell.kind = held.kind;
      cell.number = held.number;
      cell.boolValue = held.boolValue;
      cell.col = held.col;
      cell.row = static_cast<uint32_t>(rowFirst_ + rowDone_);
      cell.own = held.own;
      cell.text = {};
      if (held.own) cell.ownText = held.ownText;
      return true;
    }
    if (!rowCells_.empty() && rowDone_ + 1 < rowRepeat_) {
      ++rowDone_;
      rowPos_ = 0;
      continue;
    }
    if (!readRow()) return false;
  }
}

// Reads the next row element of the table into rowCells_; false at the end of the table.
bool TableCells::readRow() {
  rowCells_.clear();
  rowPos_ = 0;
  rowDone_ = 0;
  if (tableEnded_) return false;
  XmlStream& x = *xml_;
  bool more = x.next();
  while (more) {
    if (x.isEnd() && x.depth() == tableDepth_) {
      tableEnded_ = true;
      return false;
    }
    if (!x.isElement() || isTableElement(tableRow_)) {
      if (x.isElement()) break;
      more = x.next();
      continue;
    }
    // Row groups and header rows hold rows; columns, shapes and the rest are passed by.
    const xmlChar* n = x.localName();
    bool container = is(n, "table-row-group") || is(n, "table-header-rows") || is(n, "table-rows");
    more = container || x.isEmptyElement() ? x.next() : x.skipSubtree();
  }
  if (!more) {
    tableEnded_ = true;
    return false;
  }
  {
    uint64_t repeat = 1;
    if (auto r = x.attribute("number-rows-repeated")) repeat = parseCount(*r);
    rowFirst_ = nextRow_;
    rowRepeat_ = repeat;
    nextRow_ += repeat;
    if (!x.isEmptyElement()) {
      int rowDepth = x.depth();
      uint32_t col = 0;
      while (x.next()) {
        if (x.isEnd() && x.depth() == rowDepth) break;
        if (x.isElement() && x.depth() == rowDepth + 1 &&
            (isTableElement(tableCell_) || isTableElement(coveredCell_)))
          readCell(col);
      }
    }
    if (!rowCells_.empty() && rowFirst_ + rowRepeat_ > workbook::MaxSheetRows)
      x.fail("values in row " + std::to_string(rowFirst_ + rowRepeat_) +
             ", past row 1,048,576, the last of a sheet");
    return true;
  }
}

// At a table-cell element: its value, repeated over its columns.
void TableCells::readCell(uint32_t& col) {
  XmlStream& x = *xml_;
  uint64_t repeat = 1;
  valueType_s_.clear();
  calcType_.clear();
  value_s_.clear();
  std::string dateValue, timeValue, boolValue;
  std::optional<std::string> stringValue;
  if (x.firstAttribute()) {
    do {
      const xmlChar* n = x.attrName();
      if (n == colsRepeated_) {
        repeat = parseCount(x.attrValue());
      } else if (n == valueType_) {
        // office:value-type, and LibreOffice's calcext:value-type beside it, which alone
        // says "error" for a cell whose formula failed (told apart by that value rather
        // than by a namespace lookup per cell).
        std::string_view type = x.attrValue();
        if (type == "error")
          calcType_.assign(type);
        else if (valueType_s_.empty())
          valueType_s_.assign(type);
      } else if (n == value_) {
        value_s_.assign(x.attrValue());
      } else if (n == dateValue_) {
        dateValue.assign(x.attrValue());
      } else if (n == timeValue_) {
        timeValue.assign(x.attrValue());
      } else if (n == booleanValue_) {
        boolValue.assign(x.attrValue());
      } else if (n == stringValue_) {
        stringValue = std::string(x.attrValue());
      }
    } while (x.nextAttribute());
    x.backToElement();
  }
  text_.clear();
  bool hasText = false;
  if (!x.isEmptyElement()) {
    readParagraphs(text_);
    hasText = !text_.empty() || stringValue.has_value();
  }
  uint32_t first = col;
  uint64_t end = uint64_t(col) + repeat;
  col = static_cast<uint32_t>(std::min<uint64_t>(end, workbook::MaxSheetColumns));

  Cell cell;
  auto asText = [&](const std::string& t) {
    cell.kind = CellKind::Text;
    cell.own = true;
    cell.ownText = t;
  };
  double number = 0;
  const std::string& vt = valueType_s_;
  if (calcType_ == "error") {
    asText(text_);
  } else if (vt == "float" || vt == "percentage" || vt == "currency") {
    auto [p, ec] = std::from_chars(value_s_.data(), value_s_.data() + value_s_.size(), number);
    if (ec == std::errc() && p == value_s_.data() + value_s_.size()) {
      cell.kind = CellKind::Number;
      cell.number = number;
    } else {
      asText(text_);
    }
  } else if (vt == "date") {
    if (auto ole = oleDateFromOdf(dateValue)) {
      cell.kind = CellKind::Date;
      cell.number = *ole;
    } else {
      asText(text_.empty() ? dateValue : text_);
    }
  } else if (vt == "time") {
    auto days = daysFromOdfDuration(timeValue);
    if (days && *days >= 0 && *days < 1) {
      cell.kind = CellKind::Date;
      cell.number = workbook::snapToSecond(*days);
    } else {
      asText(text_.empty() ? timeValue : text_);  // a duration of a day or more, as shown
    }
  } else if (vt == "boolean") {
    cell.kind = CellKind::Bool;
    cell.boolValue = boolValue == "true" || boolValue == "1";
  } else if (vt == "string") {
    asText(stringValue ? *stringValue : text_);
  } else if (hasText) {
    asText(stringValue ? *stringValue : text_);  // no value type (older writers): its text
  }
  if (cell.kind == CellKind::Empty) return;
  if (end > workbook::MaxSheetColumns)
    x.fail("a value in column " + std::to_string(end) +
           ", past column 16,384 (XFD), the last of a sheet");
  for (uint64_t k = 0; k < repeat; ++k) {
    rowCells_.push_back(cell);
    rowCells_.back().col = static_cast<uint16_t>(first + k);
  }
}

// The text of a cell's paragraphs (the reader stands on the cell element): paragraphs
// joined by line feeds, white space collapsed as OpenDocument prescribes (runs of blanks in
// the character data count as one, text:s gives spaces that count), tabs and line breaks
// kept, annotations and notes left out.
void TableCells::readParagraphs(std::string& text) {
  XmlStream& x = *xml_;
  int cellDepth = x.depth();
  int paragraphs = 0;
  bool inParagraph = false, atStart = true, lastSpace = false;
  int paragraphDepth = -1;
  bool more = x.next();
  while (more) {
    if (x.isEnd() && x.depth() == cellDepth) return;
    if (x.isElement()) {
      const xmlChar* n = x.localName();
      if (n == annotation_ || n == note_ || is(n, "table")) {
        more = x.skipSubtree();
        continue;
      }
      if ((n == p_ || n == h_) && !inParagraph) {
        if (paragraphs++ > 0) text += '\n';
        if (!x.isEmptyElement()) {
          inParagraph = true;
          paragraphDepth = x.depth();
          atStart = true;
          lastSpace = false;
        }
      } else if (inParagraph && n == s_) {
        uint64_t count = 1;
        if (auto c = x.attribute("c")) count = parseCount(*c);
        text.append(static_cast<size_t>(std::min<uint64_t>(count, 65535)), ' ');
        atStart = false;
        lastSpace = false;
      } else if (inParagraph && n == tab_) {
        text += '\t';
        atStart = false;
        lastSpace = false;
      } else if (inParagraph && n == lineBreak_) {
        text += '\n';
        atStart = false;
        lastSpace = false;
      }
    } else if (x.isEnd()) {
      if (inParagraph && x.depth() == paragraphDepth) inParagraph = false;
    } else if (inParagraph && x.isText()) {
      for (char ch : x.text()) {
        if (ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r') {
          if (atStart || lastSpace) continue;
          text += ' ';
          lastSpace = true;
        } else {
          text += ch;
          atStart = false;
          lastSpace = false;
        }
      }
    }
    more = x.next();
  }
  x.fail("the document ends inside a cell");
}

}  // namespace tabulor::ods
