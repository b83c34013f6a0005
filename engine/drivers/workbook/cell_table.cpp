// The table cursor over a cell stream: header, type guess, and rows assembled from cells.
#include "engine/drivers/workbook/cell_table.h"

#include <cmath>
#include <vector>

#include "engine/drivers/excel/type_guess.h"
#include "engine/engine_error.h"
#include "engine/file_names.h"
#include "engine/message_text.h"

namespace tabulor::workbook {

double snapToSecond(double oleDate) {
  if (!(oleDate >= 0) || oleDate >= 2958466) return oleDate;
  double days = std::floor(oleDate);
  double seconds = (oleDate - days) * 86400.0;
  double whole = std::round(seconds);
  if (std::fabs(seconds - whole) >= 1e-3) return oleDate;
  if (whole >= 86400) return days + 1;
  return days + whole / 86400.0;
}

std::string cellName(uint32_t row, uint32_t col) {
  std::string letters;
  for (uint32_t c = col + 1; c > 0; c = (c - 1) / 26)
    letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
  return letters + std::to_string(row + 1);
}

int findListedSheet(std::string_view name, const std::vector<std::string>& names,
                    const std::vector<bool>& isTable) {
  while (!name.empty() && name.front() == '\'') name.remove_prefix(1);
  while (!name.empty() && name.back() == '\'') name.remove_suffix(1);
  if (name.empty() || name.back() != '$') return -1;
  name.remove_suffix(1);
  for (size_t i = 0; i < names.size(); ++i)
    if (isTable[i] && names[i] == name) return static_cast<int>(i);
  for (size_t i = 0; i < names.size(); ++i)
    if (isTable[i] && equalsNoCase(names[i], name)) return static_cast<int>(i);
  return -1;
}

namespace {

class CellTableCursor : public RowCursor {
 public:
  CellTableCursor(std::unique_ptr<CellStream> cells, const UsedRange& range, std::string where)
      : stream_(std::move(cells)), range_(range), where_(std::move(where)) {
    if (!range_.any) return;  // an empty sheet: no fields, no rows
    uint64_t rows = uint64_t(range_.maxRow) - range_.minRow + 1;
    uint64_t cols = uint64_t(range_.maxCol) - range_.minCol + 1;
    if (rows * cols > MaxTableCells)
      throw EngineError(ErrorKind::Limit,
                        where_ + " spans " + withThousands(rows) + " rows by " +
                            withThousands(cols) + " columns (" +
                            cellName(range_.minRow, range_.minCol) + " to " +
                            cellName(range_.maxRow, range_.maxCol) + ", " +
                            withThousands(rows * cols) + " cells); a sheet of more than " +
                            withThousands(MaxTableCells) + " cells cannot be read as a table");
    ncols_ = static_cast<size_t>(cols);
    cells_.resize(ncols_);
    restart();
    readRowCells();
    std::vector<std::string> header(ncols_);
    for (size_t i = 0; i < ncols_; ++i) header[i] = excel::cellText(cells_[i]);
    std::vector<excel::ColumnSample> samples(ncols_);
    for (int k = 0; k < excel::TypeGuessRows && curRow_ <= range_.maxRow; ++k) {
      readRowCells();
      for (size_t i = 0; i < ncols_; ++i) samples[i].add(cells_[i]);
    }
    std::vector<std::string> names = excel::fieldNamesFromHeader(header);
    fields_.resize(ncols_);
    for (size_t i = 0; i < ncols_; ++i) {
      fields_[i].name = names[i];
      fields_[i].type = excel::guessColumnType(samples[i]);
    }
    rewind();
  }

  const std::vector<FieldInfo>& fields() const override { return fields_; }

  bool next(std::vector<Variant>& row) override {
    if (!range_.any || curRow_ > range_.maxRow) return false;
    // The records end with the last cell: the range found by the format's first pass may
    // reach further (it errs on the wide side), but empty rows after the last value are no
    // records.
    if (!havePending_ && !streamDone_) {
      havePending_ = stream_->next(pending_);
      streamDone_ = !havePending_;
    }
    if (!havePending_) return false;
    readRowCells();
    row.resize(ncols_);
    for (size_t i = 0; i < ncols_; ++i) excel::cellToVariant(cells_[i], fields_[i].type, row[i]);
    return true;
  }

  void reset() override { rewind(); }

 private:
  void restart() {
    stream_->rewind();
    havePending_ = streamDone_ = false;
    curRow_ = range_.minRow;
  }

  // Back to the first record, past the header row.
  void rewind() {
    if (!range_.any) return;
    restart();
    readRowCells();
  }

  // Fills cells_ with the cells of row curRow_ and moves on to the next row.
  void readRowCells() {
    for (Cell& c : cells_) {
      c.kind = CellKind::Empty;
      c.text = {};
      c.own = false;
    }
    for (;;) {
      if (!havePending_) {
        if (streamDone_ || !stream_->next(pending_)) {
          streamDone_ = true;
          break;
        }
        havePending_ = true;
      }
      if (pending_.row > curRow_) break;
      if (pending_.row < curRow_ || pending_.col < range_.minCol || pending_.col > range_.maxCol)
        throw EngineError(ErrorKind::BadInput,
                          where_ + ": cell " + cellName(pending_.row, pending_.col) +
                              " comes after the cells of row " + std::to_string(curRow_ + 1) +
                              " (rows out of order: a damaged file)");
      Cell& slot = cells_[pending_.col - range_.minCol];
      slot.kind = pending_.kind;
      slot.number = pending_.number;
      slot.boolValue = pending_.boolValue;
      slot.errorCode = pending_.errorCode;
      slot.own = pending_.own;
      if (pending_.own)
        slot.ownText.swap(pending_.ownText);
      else
        slot.text = pending_.text;
      havePending_ = false;
    }
    ++curRow_;
  }

  std::unique_ptr<CellStream> stream_;
  UsedRange range_;
  std::string where_;
  std::vector<FieldInfo> fields_;
  size_t ncols_ = 0;
  std::vector<Cell> cells_;
  Cell pending_;
  bool havePending_ = false, streamDone_ = false;
  uint32_t curRow_ = 0;
};

}  // namespace

std::unique_ptr<RowCursor> openCellTable(std::unique_ptr<CellStream> cells, const UsedRange& range,
                                         const std::string& where) {
  return std::make_unique<CellTableCursor>(std::move(cells), range, where);
}

}  // namespace tabulor::workbook
