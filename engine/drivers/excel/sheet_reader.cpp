// Worksheet cursor: the used range, header and type guess, and the streamed rows.
#include "engine/drivers/excel/sheet_reader.h"

#include <algorithm>
#include <cstring>

#include "engine/drivers/excel/biff_records.h"
#include "engine/drivers/excel/type_guess.h"
#include "engine/engine_error.h"

namespace tabulor::excel {

namespace {

constexpr uint16_t ShrFmla = 0x04BC, ArrayRec = 0x0221, TableRec = 0x0236;
constexpr uint16_t MaxColumns = 256;

double rkValue(uint32_t rk) {
  double d;
  if (rk & 2) {
    d = static_cast<double>(static_cast<int32_t>(rk) >> 2);
  } else {
    uint64_t bits = static_cast<uint64_t>(rk & 0xFFFFFFFCu) << 32;
    std::memcpy(&d, &bits, 8);
  }
  return (rk & 1) ? d / 100 : d;
}

bool isValueRecord(uint16_t type) {
  switch (type) {
    case rec::Number:
    case rec::Rk:
    case rec::MulRk:
    case rec::LabelSst:
    case rec::Label:
    case rec::Rstring:
    case rec::BoolErr:
    case rec::Formula:
      return true;
    default:
      return false;
  }
}

std::string cellName(uint32_t row, uint32_t col) {
  std::string letters;
  for (uint32_t c = col + 1; c > 0; c = (c - 1) / 26)
    letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
  return letters + std::to_string(row + 1);
}

}  // namespace

std::shared_ptr<Workbook> loadWorkbook(const std::string& path) {
  auto book = std::make_shared<Workbook>();
  book->path = path;
  book->stream = readWorkbookStream(path);
  book->globals = parseGlobals(book->stream.bytes, path);
  return book;
}

std::shared_ptr<Workbook> loadWorkbookFromMemory(std::string_view bytes, const std::string& name) {
  auto book = std::make_shared<Workbook>();
  book->path = name;
  book->stream = readWorkbookStreamFromMemory(bytes, name);
  book->globals = parseGlobals(book->stream.bytes, name);
  return book;
}

std::shared_ptr<Workbook> loadWorkbookFromStream(std::string stream, const std::string& name) {
  auto book = std::make_shared<Workbook>();
  book->path = name;
  book->stream.bytes = std::move(stream);
  book->globals = parseGlobals(book->stream.bytes, name);
  return book;
}

SheetSpan sheetSpan(const Workbook& book, size_t sheetIndex) {
  const SheetEntry& sheet = book.globals.sheets.at(sheetIndex);
  std::string_view stream = book.stream.bytes;
  auto bad = [&](const std::string& why) {
    return EngineError(ErrorKind::BadInput, book.path + ", sheet " + sheet.name + ": " + why);
  };
  RecordWalker walker(stream, sheet.offset);
  Record r;
  if (sheet.offset < book.globals.globalsEnd || !walker.next(r) || r.type != rec::Bof ||
      r.data.size() < 4)
    throw bad(
        "the sheet's position in the workbook stream does not hold its records "
        "(damaged file)");
  uint16_t kind = u16At(r.data.data() + 2);
  if (kind != 0x0010)
    throw EngineError(ErrorKind::Unsupported,
                      book.path + ", sheet " + sheet.name + " is not a worksheet");
  int depth = 0;
  while (walker.next(r)) {
    if (r.type == rec::Bof) ++depth;
    if (r.type == rec::Eof && depth-- == 0) return {sheet.offset, walker.position()};
  }
  throw bad("the sheet's records are cut short (truncated or damaged file)");
}

namespace {

class SheetCursor : public RowCursor {
 public:
  SheetCursor(std::shared_ptr<const Workbook> book, size_t sheetIndex, std::string tableName)
      : book_(std::move(book)), g_(book_->globals), table_(std::move(tableName)) {
    span_ = sheetSpan(*book_, sheetIndex);
    scan();
    if (!hasCells_) return;  // an empty sheet: no fields, no rows
    ncols_ = static_cast<size_t>(maxCol_ - minCol_ + 1);
    cells_.resize(ncols_);
    restart();
    // The first used row names the fields; the next rows give the types.
    readRowCells();
    std::vector<std::string> header(ncols_);
    for (size_t i = 0; i < ncols_; ++i) header[i] = cellText(cells_[i]);
    std::vector<ColumnSample> samples(ncols_);
    for (int k = 0; k < TypeGuessRows && curRow_ <= maxRow_; ++k) {
      readRowCells();
      for (size_t i = 0; i < ncols_; ++i) samples[i].add(cells_[i]);
    }
    std::vector<std::string> names = fieldNamesFromHeader(header);
    fields_.resize(ncols_);
    for (size_t i = 0; i < ncols_; ++i) {
      fields_[i].name = names[i];
      fields_[i].type = guessColumnType(samples[i]);
    }
    rewind();
  }

  const std::vector<FieldInfo>& fields() const override { return fields_; }

  bool next(std::vector<Variant>& row) override {
    if (!hasCells_ || curRow_ > maxRow_) return false;
    readRowCells();
    row.resize(ncols_);
    for (size_t i = 0; i < ncols_; ++i) cellToVariant(cells_[i], fields_[i].type, row[i]);
    return true;
  }

  void reset() override { rewind(); }

 private:
  // Back to the first record, past the header row.
  void rewind() {
    if (!hasCells_) return;
    restart();
    readRowCells();
  }

  EngineError bad(const std::string& why) const {
    return EngineError(ErrorKind::BadInput, book_->path + ", sheet " + table_ + ": " + why);
  }

  std::string_view sheetBytes() const {
    return std::string_view(book_->stream.bytes).substr(0, span_.end);
  }

  // First walk: the used range, and whether rows come in order.
  void scan() {
    RecordWalker walker(sheetBytes(), span_.begin);
    Record r;
    walker.next(r);  // BOF, checked by sheetSpan
    int depth = 0;
    uint32_t lastRow = 0;
    while (walker.next(r)) {
      if (r.type == rec::Bof) {
        ++depth;
        continue;
      }
      if (r.type == rec::Eof) {
        if (depth-- == 0) break;
        continue;
      }
      if (depth != 0 || !isValueRecord(r.type) || r.data.size() < 6) continue;
      uint32_t row = u16At(r.data.data());
      uint16_t firstCol = u16At(r.data.data() + 2);
      uint16_t lastCol = firstCol;
      if (r.type == rec::MulRk) {
        if (r.data.size() < 12) continue;
        lastCol = u16At(r.data.data() + r.data.size() - 2);
        if (lastCol < firstCol) throw bad("a MULRK record has its columns reversed (damaged file)");
      }
      if (lastCol >= MaxColumns)
        throw bad(
            "cell " + cellName(row, lastCol) +
            " lies beyond column IV, the last column of an Excel 97-2003 sheet (damaged file)");
      if (!hasCells_) {
        minRow_ = maxRow_ = row;
        minCol_ = firstCol, maxCol_ = lastCol;
        hasCells_ = true;
      } else {
        minRow_ = std::min(minRow_, row);
        maxRow_ = std::max(maxRow_, row);
        minCol_ = std::min(minCol_, firstCol);
        maxCol_ = std::max(maxCol_, lastCol);
        if (row < lastRow) ordered_ = false;
      }
      lastRow = row;
    }
    if (!ordered_) {
      // Rare: index the value records by row so that rows can still be read in order.
      RecordWalker again(sheetBytes(), span_.begin);
      again.next(r);
      depth = 0;
      while (again.next(r)) {
        if (r.type == rec::Bof) ++depth;
        if (r.type == rec::Eof && depth-- == 0) break;
        if (depth == 0 && isValueRecord(r.type) && r.data.size() >= 6)
          sorted_.push_back({u16At(r.data.data()), r.offset});
      }
      std::stable_sort(sorted_.begin(), sorted_.end(),
                       [](const auto& a, const auto& b) { return a.first < b.first; });
      sortedBuilt_ = true;
    }
  }

  void restart() {
    walker_ = RecordWalker(sheetBytes(), span_.begin);
    Record r;
    walker_.next(r);
    depth_ = 0;
    sortedPos_ = 0;
    pending_.clear();
    pendingPos_ = 0;
    curRow_ = minRow_;
  }

  // Decodes the next value record into pending_; false at the end of the sheet.
  bool fetch() {
    pending_.clear();
    pendingPos_ = 0;
    Record r;
    if (!ordered_) {
      while (sortedPos_ < sorted_.size()) {
        RecordWalker at(sheetBytes(), sorted_[sortedPos_++].second);
        if (!at.next(r)) continue;
        decode(r, at);
        if (!pending_.empty()) return true;
      }
      return false;
    }
    while (walker_.next(r)) {
      if (r.type == rec::Bof) {
        ++depth_;
        continue;
      }
      if (r.type == rec::Eof) {
        if (depth_-- == 0) return false;
        continue;
      }
      if (depth_ != 0 || !isValueRecord(r.type)) continue;
      decode(r, walker_);
      if (!pending_.empty()) return true;
    }
    return false;
  }

  Cell& addCell(const Record& r, uint16_t col) {
    pending_.emplace_back();
    Cell& c = pending_.back();
    c.row = u16At(r.data.data());
    c.col = col;
    return c;
  }

  void setNumber(Cell& c, uint16_t xf, double value) {
    double ole;
    if (g_.formats.isTime(xf) && value >= 0 && value < 1) {
      // A time of day without a date, in either date system (a 1904 workbook would
      // otherwise put it on 1904-01-01).
      c.kind = CellKind::Date;
      c.number = value;
    } else if (g_.formats.isDate(xf) && oleDateFromSerial(value, g_.date1904, ole)) {
      c.kind = CellKind::Date;
      c.number = ole;
    } else {
      c.kind = CellKind::Number;
      c.number = value;
    }
  }

  // A string of a LABEL, RSTRING or STRING record from `pos` of its data.
  std::string inlineString(const Record& r, size_t pos, RecordWalker& walker) {
    if (g_.biff == 8) {
      ContinuedReader cr(r.data.substr(std::min(pos, r.data.size())), &walker);
      std::string s = cr.unicodeString(true);
      if (!cr.ok()) throw bad("a text cell is cut short (damaged file)");
      return s;
    }
    if (pos + 2 > r.data.size()) throw bad("a text cell is cut short (damaged file)");
    size_t len = u16At(r.data.data() + pos);
    if (pos + 2 + len > r.data.size()) throw bad("a text cell is cut short (damaged file)");
    return decode8Bit(r.data.substr(pos + 2, len), g_.codePage);
  }

  void decode(const Record& r, RecordWalker& walker) {
    const char* d = r.data.data();
    size_t n = r.data.size();
    if (n < 6) return;
    uint16_t col = u16At(d + 2);
    uint16_t xf = n >= 6 ? u16At(d + 4) : 0;
    switch (r.type) {
      case rec::Number:
        if (n < 14) throw bad("a NUMBER record is cut short (damaged file)");
        setNumber(addCell(r, col), xf, f64At(d + 6));
        break;
      case rec::Rk:
        if (n < 10) throw bad("an RK record is cut short (damaged file)");
        setNumber(addCell(r, col), xf, rkValue(u32At(d + 6)));
        break;
      case rec::MulRk: {
        if (n < 12) return;
        uint16_t last = u16At(d + n - 2);
        size_t count = static_cast<size_t>(last - col + 1);
        if (4 + count * 6 + 2 > n) throw bad("a MULRK record is cut short (damaged file)");
        for (size_t k = 0; k < count; ++k) {
          const char* p = d + 4 + k * 6;
          setNumber(addCell(r, static_cast<uint16_t>(col + k)), u16At(p), rkValue(u32At(p + 2)));
        }
        break;
      }
      case rec::LabelSst: {
        if (n < 10) throw bad("a LABELSST record is cut short (damaged file)");
        uint32_t index = u32At(d + 6);
        if (index >= g_.sharedStrings.size())
          throw bad("cell " + cellName(u16At(d), col) + " refers to shared string " +
                    std::to_string(index) + " of " + std::to_string(g_.sharedStrings.size()) +
                    " (damaged file)");
        Cell& c = addCell(r, col);
        c.kind = CellKind::Text;
        c.text = g_.sharedStrings[index];
        break;
      }
      case rec::Label:
      case rec::Rstring: {
        Cell& c = addCell(r, col);
        c.kind = CellKind::Text;
        c.ownText = inlineString(r, 6, walker);
        c.own = true;
        break;
      }
      case rec::BoolErr: {
        if (n < 8) throw bad("a BOOLERR record is cut short (damaged file)");
        Cell& c = addCell(r, col);
        if (d[7]) {
          c.kind = CellKind::Error;
          c.errorCode = static_cast<uint8_t>(d[6]);
        } else {
          c.kind = CellKind::Bool;
          c.boolValue = d[6] != 0;
        }
        break;
      }
      case rec::Formula: {
        if (n < 14) throw bad("a FORMULA record is cut short (damaged file)");
        Cell& c = addCell(r, col);
        if (u16At(d + 12) != 0xFFFF) {
          setNumber(c, xf, f64At(d + 6));
          break;
        }
        switch (static_cast<uint8_t>(d[6])) {
          case 0: {  // text: in the STRING record that follows
            size_t at = pending_.size() - 1;
            while (walker.peekType() == ShrFmla || walker.peekType() == ArrayRec ||
                   walker.peekType() == TableRec) {
              Record skip;
              walker.next(skip);
            }
            std::string text;
            if (walker.peekType() == rec::String) {
              Record s;
              walker.next(s);
              text = inlineString(s, 0, walker);
            }
            Cell& cell = pending_[at];
            cell.kind = CellKind::Text;
            cell.ownText = std::move(text);
            cell.own = true;
            break;
          }
          case 1:
            c.kind = CellKind::Bool;
            c.boolValue = d[8] != 0;
            break;
          case 2:
            c.kind = CellKind::Error;
            c.errorCode = static_cast<uint8_t>(d[8]);
            break;
          default:  // 3: an empty text
            c.kind = CellKind::Text;
            c.text = {};
            break;
        }
        break;
      }
      default:
        break;
    }
  }

  // Fills cells_ with the cells of row curRow_ and moves on to the next row.
  void readRowCells() {
    for (Cell& c : cells_) {
      c.kind = CellKind::Empty;
      c.text = {};
      c.own = false;
    }
    for (;;) {
      while (pendingPos_ < pending_.size()) {
        Cell& c = pending_[pendingPos_];
        if (c.row > curRow_) break;
        if (c.row == curRow_ && c.col >= minCol_ && c.col <= maxCol_) {
          Cell& slot = cells_[c.col - minCol_];
          slot.kind = c.kind;
          slot.number = c.number;
          slot.boolValue = c.boolValue;
          slot.errorCode = c.errorCode;
          slot.own = c.own;
          if (c.own)
            slot.ownText.swap(c.ownText);
          else
            slot.text = c.text;
        }
        ++pendingPos_;
      }
      if (pendingPos_ < pending_.size()) break;  // the next cell belongs to a later row
      if (!fetch()) break;
    }
    ++curRow_;
  }

  std::shared_ptr<const Workbook> book_;
  const WorkbookGlobals& g_;
  std::string table_;
  SheetSpan span_;
  std::vector<FieldInfo> fields_;

  bool hasCells_ = false, ordered_ = true, sortedBuilt_ = false;
  uint32_t minRow_ = 0, maxRow_ = 0;
  uint16_t minCol_ = 0, maxCol_ = 0;
  size_t ncols_ = 0;

  RecordWalker walker_{std::string_view(), 0};
  int depth_ = 0;
  std::vector<std::pair<uint32_t, size_t>> sorted_;
  size_t sortedPos_ = 0;
  std::vector<Cell> pending_;
  size_t pendingPos_ = 0;
  uint32_t curRow_ = 0;
  std::vector<Cell> cells_;
};

}  // namespace

std::unique_ptr<RowCursor> openSheet(std::shared_ptr<const Workbook> book, size_t sheetIndex,
                                     const std::string& tableName) {
  return std::make_unique<SheetCursor>(std::move(book), sheetIndex, tableName);
}

}  // namespace tabulor::excel
