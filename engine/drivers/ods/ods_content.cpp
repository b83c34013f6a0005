// Streaming the tables of content.xml.
#include "engine/drivers/ods/ods_content.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "engine/drivers/workbook/plain_xml_stream.h"
#include "engine/drivers/workbook/tag_scan.h"
#include "engine/engine_error.h"
#include "engine/ole_date.h"
#include "engine/text_codec.h"

namespace tabulor::ods {

using workbook::Cell;
using workbook::CellKind;
using workbook::SaxStream;

namespace {

constexpr const char* OfficeNs = "urn:oasis:names:tc:opendocument:xmlns:office:1.0";
constexpr const char* TableNs = "urn:oasis:names:tc:opendocument:xmlns:table:1.0";
constexpr const char* TextNs = "urn:oasis:names:tc:opendocument:xmlns:text:1.0";

// The most a cell's text may grow to through text:s elements.
constexpr size_t MaxCellTextBytes = size_t(16) << 20;

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
      // One walk over the attributes: cells are most of the tags.
      std::string_view repeat, type;
      workbook::forEachTagAttribute(tag, [&](std::string_view attr, std::string_view value) {
        if (attr == "number-columns-repeated")
          repeat = value;
        else if (attr == "value-type" && type.empty())
          type = value;
        return true;
      });
      cellRepeat_ = count(repeat);
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

ContentScan scanContent(const workbook::ZipPackage& package) {
  // A tag scan, not a parse: listing the tables of a large spreadsheet (the preview does it
  // for every file the user highlights) costs little more than inflating content.xml, and
  // each table is then parsed once. Damaged XML is refused when a table is read.
  TablesScanner scanner;
  scanner.plainXml().pin("office", OfficeNs);
  scanner.plainXml().pin("table", TableNs);
  scanner.plainXml().pin("text", TextNs);
  scanner.scan(package.requirePart("content.xml", "the tables"),
               package.name() + ", part content.xml");
  return {std::move(scanner.tables), scanner.plainXml().plain()};
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
                       std::string where, bool plainXml)
    : package_(std::move(package)),
      tableIndex_(tableIndex),
      where_(std::move(where)),
      plainXml_(plainXml) {
  rewind();
}

void TableCells::internNames() {
  workbook::XmlEventStream& x = *xml_;
  table_ = x.intern("table");
  tableRow_ = x.intern("table-row");
  tableCell_ = x.intern("table-cell");
  coveredCell_ = x.intern("covered-table-cell");
  rowGroup_ = x.intern("table-row-group");
  headerRows_ = x.intern("table-header-rows");
  rowsElement_ = x.intern("table-rows");
  spreadsheet_ = x.intern("spreadsheet");
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
}

void TableCells::rewind() {
  xml_.reset();
  // Two readers of one grammar: libxml2 for any XML, and for the plain XML that office
  // programs write (nearly every file) a scanner that costs a fraction of libxml2's time per
  // node. Both hand this class the same events, so the cells come out the same.
  auto part = package_->requirePart("content.xml", "the tables");
  if (plainXml_)
    xml_ =
        std::make_unique<workbook::PlainXmlStream>(std::move(part), where_ + " (part content.xml)");
  else
    xml_ = std::make_unique<SaxStream>(std::move(part), where_ + " (part content.xml)");
  internNames();
  depth_ = 0;
  sheetDepth_ = tableDepth_ = rowDepth_ = cellDepth_ = skipDepth_ = -1;
  tablesSeen_ = 0;
  tableEnded_ = false;
  runCount_ = rowCount_ = rowBegin_ = 0;
  nextRow_ = 0;
  outRow_ = outRun_ = 0;
  outRepeat_ = 0;
  outCol_ = 0;
  // To the start of the wanted table (the tables before it are passed by), so that a
  // missing table shows now.
  while (tableDepth_ < 0 && xml_->feed(*this)) {
  }
  if (tableDepth_ < 0)
    throw EngineError(ErrorKind::BadInput,
                      where_ +
                          " (part content.xml): the table is missing (the file changed "
                          "while it was read?)");
}

bool TableCells::next(Cell& cell) {
  for (;;) {
    if (outRow_ < rowCount_) {
      const RowRun& row = rows_[outRow_];
      if (outRun_ < row.end) {
        const CellRun& run = runs_[outRun_];
        cell.kind = run.cell.kind;
        cell.number = run.cell.number;
        cell.boolValue = run.cell.boolValue;
        cell.col = static_cast<uint16_t>(run.firstCol + outCol_);
        cell.row = static_cast<uint32_t>(row.first + outRepeat_);
        cell.own = run.cell.own;
        cell.text = {};
        if (run.cell.own) cell.ownText.assign(run.cell.ownText);
        if (++outCol_ == run.repeat) {
          outCol_ = 0;
          ++outRun_;
        }
        return true;
      }
      // The row again, as often as it repeats, then the next one.
      outRun_ = row.begin;
      if (++outRepeat_ < row.repeat) continue;
      outRepeat_ = 0;
      if (++outRow_ < rowCount_) outRun_ = rows_[outRow_].begin;
      continue;
    }
    // Everything handed out: the runs of a row still being read move to the front, and
    // the next slice is parsed.
    size_t partial = runCount_ - rowBegin_;
    if (rowBegin_ > 0)
      for (size_t i = 0; i < partial; ++i) std::swap(runs_[i], runs_[rowBegin_ + i]);
    runCount_ = partial;
    rowBegin_ = 0;
    rowCount_ = outRow_ = outRun_ = 0;
    outRepeat_ = 0;
    outCol_ = 0;
    if (tableEnded_) return false;
    while (rowCount_ == 0 && !tableEnded_ && xml_->feed(*this)) {
    }
    if (rowCount_ == 0) return false;
  }
}

TableCells::CellRun& TableCells::pushRun() {
  if (runCount_ == runs_.size()) runs_.emplace_back();
  CellRun& run = runs_[runCount_++];
  run.cell.kind = CellKind::Empty;
  run.cell.own = false;
  return run;
}

void TableCells::startElement(const xmlChar* name, const xmlChar* uri,
                              const workbook::XmlAttributes& attributes) {
  int depth = depth_++;
  if (skipDepth_ >= 0 || tableEnded_) return;
  if (cellDepth_ >= 0) return startInCell(name, attributes, depth);
  if (rowDepth_ >= 0) {
    if (depth == rowDepth_ + 1 && (name == tableCell_ || name == coveredCell_)) {
      cellDepth_ = depth;
      startCell(attributes);
    }
    return;
  }
  if (tableDepth_ >= 0) {
    // Row groups and header rows hold rows; columns, shapes and the rest are passed by.
    if (name == tableRow_) {
      rowDepth_ = depth;
      startRow(attributes);
    } else if (name != rowGroup_ && name != headerRows_ && name != rowsElement_) {
      skipDepth_ = depth;
    }
    return;
  }
  // Before the table: the spreadsheet's tables are counted, those before the wanted one
  // passed by whole.
  if (name == spreadsheet_ && uri &&
      std::strcmp(reinterpret_cast<const char*>(uri), OfficeNs) == 0) {
    sheetDepth_ = depth;
  } else if (sheetDepth_ >= 0 && depth == sheetDepth_ + 1 && name == table_) {
    if (tablesSeen_++ == tableIndex_)
      tableDepth_ = depth;
    else
      skipDepth_ = depth;
  }
}

void TableCells::endElement(const xmlChar* name) {
  (void)name;
  int depth = --depth_;
  if (skipDepth_ >= 0) {
    if (depth == skipDepth_) skipDepth_ = -1;
    return;
  }
  if (tableEnded_) return;
  if (cellDepth_ >= 0) {
    if (depth == cellDepth_) {
      endCell();
      cellDepth_ = -1;
    } else if (depth == paragraphDepth_) {
      paragraphDepth_ = -1;
    }
    return;
  }
  if (rowDepth_ >= 0) {
    if (depth == rowDepth_) {
      endRow();
      rowDepth_ = -1;
    }
    return;
  }
  if (depth == tableDepth_) {
    // The rest of the document is not read.
    tableEnded_ = true;
    xml_->stop();
  }
}

void TableCells::characters(std::string_view text) {
  if (paragraphDepth_ < 0 || skipDepth_ >= 0 || cellDepth_ < 0) return;
  // White space collapsed as OpenDocument prescribes: runs of blanks in the character data
  // count as one, leading blanks of a paragraph as none. Runs without blanks are copied
  // whole.
  auto blank = [](char ch) { return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r'; };
  const char* p = text.data();
  const char* end = p + text.size();
  while (p < end) {
    const char* run = p;
    while (p < end && !blank(*p)) ++p;
    if (p > run) {
      text_.append(run, static_cast<size_t>(p - run));
      atStart_ = lastSpace_ = false;
    }
    if (p == end) break;
    if (!atStart_ && !lastSpace_) {
      text_ += ' ';
      lastSpace_ = true;
    }
    ++p;
  }
}

std::string TableCells::location() const {
  if (rowDepth_ < 0) return {};
  std::string at = "row " + std::to_string(nextRow_ + 1);
  if (cellDepth_ >= 0) at += ", column " + std::to_string(uint64_t(col_) + 1);
  return at;
}

void TableCells::startRow(const workbook::XmlAttributes& attributes) {
  bool found;
  std::string_view repeat = attributes.find(rowsRepeated_, &found);
  rowRepeat_ = found ? parseCount(repeat) : 1;
  rowBegin_ = runCount_;
  col_ = 0;
}

void TableCells::endRow() {
  uint64_t first = nextRow_;
  nextRow_ += rowRepeat_;
  if (runCount_ == rowBegin_) return;  // no values: nothing to hand out
  if (first + rowRepeat_ > workbook::MaxSheetRows) {
    runCount_ = rowBegin_;
    return xml_->fail("values in row " + std::to_string(first + rowRepeat_) +
                      ", past row 1,048,576, the last of a sheet");
  }
  if (rowCount_ == rows_.size()) rows_.emplace_back();
  rows_[rowCount_++] = RowRun{first, rowRepeat_, rowBegin_, runCount_};
  rowBegin_ = runCount_;
}

// At a table-cell start tag: its attributes; its paragraphs follow.
void TableCells::startCell(const workbook::XmlAttributes& attributes) {
  cellRepeat_ = 1;
  valueType_s_.clear();
  calcType_.clear();
  value_s_.clear();
  dateValue_s_.clear();
  timeValue_s_.clear();
  boolValue_s_.clear();
  haveStringValue_ = false;
  for (int i = 0; i < attributes.size(); ++i) {
    const xmlChar* n = attributes.name(i);
    std::string_view v = attributes.value(i);
    if (n == colsRepeated_) {
      cellRepeat_ = parseCount(v);
    } else if (n == valueType_) {
      // office:value-type, and LibreOffice's calcext:value-type beside it, which alone
      // says "error" for a cell whose formula failed (told apart by that value rather
      // than by a namespace comparison per cell).
      if (v == "error")
        calcType_.assign(v);
      else if (valueType_s_.empty())
        valueType_s_.assign(v);
    } else if (n == value_) {
      value_s_.assign(v);
    } else if (n == dateValue_) {
      dateValue_s_.assign(v);
    } else if (n == timeValue_) {
      timeValue_s_.assign(v);
    } else if (n == booleanValue_) {
      boolValue_s_.assign(v);
    } else if (n == stringValue_) {
      stringValue_s_.assign(v);
      haveStringValue_ = true;
    }
  }
  text_.clear();
  paragraphs_ = 0;
  paragraphDepth_ = -1;
}

// An element inside a cell: paragraphs joined by line feeds, text:s giving spaces that
// count, tabs and line breaks kept, annotations, notes and tables within left out.
void TableCells::startInCell(const xmlChar* n, const workbook::XmlAttributes& attributes,
                             int depth) {
  if (n == annotation_ || n == note_ || n == table_) {
    skipDepth_ = depth;
    return;
  }
  if (paragraphDepth_ < 0) {
    if (n == p_ || n == h_) {
      if (paragraphs_++ > 0) text_ += '\n';
      paragraphDepth_ = depth;
      atStart_ = true;
      lastSpace_ = false;
    }
    return;
  }
  if (n == s_) {
    bool found;
    std::string_view c = attributes.find(c_, &found);
    uint64_t count = std::min<uint64_t>(found ? parseCount(c) : 1, 65535);
    // A few bytes of text:s ask for 65,535 spaces each: the text a cell may grow to is
    // bounded, so that a small file cannot ask for gigabytes.
    if (text_.size() + count > MaxCellTextBytes)
      return xml_->fail("a cell's text grows past " + std::to_string(MaxCellTextBytes >> 20) +
                        " MB through repeated spaces (text:s); the file is refused");
    text_.append(static_cast<size_t>(count), ' ');
  } else if (n == tab_) {
    text_ += '\t';
  } else if (n == lineBreak_) {
    text_ += '\n';
  } else {
    return;
  }
  atStart_ = false;
  lastSpace_ = false;
}

// At a table-cell end tag: its value, over its columns, joins the row being read.
void TableCells::endCell() {
  paragraphDepth_ = -1;
  uint32_t first = col_;
  uint64_t end = uint64_t(col_) + cellRepeat_;
  col_ = static_cast<uint32_t>(std::min<uint64_t>(end, workbook::MaxSheetColumns));
  // Without a value type, a cell holds a value only when it has a paragraph (as the first
  // pass counts it).
  bool hasText = paragraphs_ > 0 && (!text_.empty() || haveStringValue_);

  Cell cell;
  CellKind kind = CellKind::Empty;
  double number = 0;
  bool boolValue = false;
  const std::string* text = nullptr;
  const std::string& vt = valueType_s_;
  if (calcType_ == "error") {
    text = &text_;
  } else if (vt == "float" || vt == "percentage" || vt == "currency") {
    auto [p, ec] = std::from_chars(value_s_.data(), value_s_.data() + value_s_.size(), number);
    if (ec == std::errc() && p == value_s_.data() + value_s_.size())
      kind = CellKind::Number;
    else
      text = &text_;
  } else if (vt == "date") {
    if (auto ole = oleDateFromOdf(dateValue_s_)) {
      kind = CellKind::Date;
      number = *ole;
    } else {
      text = text_.empty() ? &dateValue_s_ : &text_;
    }
  } else if (vt == "time") {
    auto days = daysFromOdfDuration(timeValue_s_);
    if (days && *days >= 0 && *days < 1) {
      kind = CellKind::Date;
      number = workbook::snapToSecond(*days);
    } else {
      text = text_.empty() ? &timeValue_s_ : &text_;  // a duration of a day or more, as shown
    }
  } else if (vt == "boolean") {
    kind = CellKind::Bool;
    boolValue = boolValue_s_ == "true" || boolValue_s_ == "1";
  } else if (vt == "string" || hasText) {
    // No value type (older writers): its text.
    text = haveStringValue_ ? &stringValue_s_ : &text_;
  }
  if (text) kind = CellKind::Text;
  if (kind == CellKind::Empty) return;
  if (end > workbook::MaxSheetColumns)
    return xml_->fail("a value in column " + std::to_string(end) +
                      ", past column 16,384 (XFD), the last of a sheet");
  CellRun& run = pushRun();
  run.cell.kind = kind;
  run.cell.number = number;
  run.cell.boolValue = boolValue;
  if (text) {
    run.cell.own = true;
    run.cell.ownText.assign(*text);
  }
  run.firstCol = first;
  run.repeat = static_cast<uint32_t>(cellRepeat_);
}

}  // namespace tabulor::ods
