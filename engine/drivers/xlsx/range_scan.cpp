// The tag handler of the xlsx first pass.
#include "engine/drivers/xlsx/range_scan.h"

#include "engine/drivers/workbook/tag_scan.h"

namespace tabulor::xlsx {

namespace {

bool parseRef(std::string_view ref, uint32_t& row, uint32_t& col) {
  uint64_t c = 0, r = 0;
  size_t i = 0;
  if (i < ref.size() && ref[i] == '$') ++i;
  size_t letters = i;
  while (i < ref.size() && ((ref[i] | 0x20) >= 'a' && (ref[i] | 0x20) <= 'z') && c <= 16384)
    c = c * 26 + static_cast<uint64_t>((ref[i++] | 0x20) - 'a' + 1);
  if (i == letters) return false;
  if (i < ref.size() && ref[i] == '$') ++i;
  size_t digits = i;
  while (i < ref.size() && ref[i] >= '0' && ref[i] <= '9' && r <= workbook::MaxSheetRows)
    r = r * 10 + static_cast<uint64_t>(ref[i++] - '0');
  if (i == digits || i != ref.size() || c == 0 || c > workbook::MaxSheetColumns || r == 0 ||
      r > workbook::MaxSheetRows)
    return false;
  row = static_cast<uint32_t>(r - 1);
  col = static_cast<uint32_t>(c - 1);
  return true;
}

bool parseRow(std::string_view text, int64_t& row) {
  uint64_t r = 0;
  if (text.empty()) return false;
  for (char ch : text) {
    if (ch < '0' || ch > '9' || r > workbook::MaxSheetRows) return false;
    r = r * 10 + static_cast<uint64_t>(ch - '0');
  }
  if (r == 0 || r > workbook::MaxSheetRows) return false;
  row = static_cast<int64_t>(r) - 1;
  return true;
}

class CellRangeScanner : public workbook::TagScanner {
 public:
  workbook::UsedRange range;

 protected:
  void onTag(std::string_view tag, std::string_view name, bool end, bool selfClosing) override {
    if (end) {
      if (name == "c") {
        if (inCell_ && hasValue_) range.add(cellRow_, cellCol_);
        inCell_ = false;
      }
      return;
    }
    if (name == "row") {
      int64_t row = currentRow_ + 1;
      parseRow(workbook::tagAttribute(tag, "r"), row);
      currentRow_ = row;
      lastCol_ = -1;
    } else if (name == "c") {
      uint32_t row, col;
      if (!parseRef(workbook::tagAttribute(tag, "r"), row, col)) {
        row = static_cast<uint32_t>(currentRow_ < 0 ? 0 : currentRow_);
        col = static_cast<uint32_t>(lastCol_ + 1);
      }
      lastCol_ = col;
      inCell_ = !selfClosing;
      hasValue_ = false;
      cellRow_ = row, cellCol_ = col;
    } else if ((name == "v" || name == "is") && inCell_) {
      hasValue_ = true;
    }
  }

 private:
  int64_t currentRow_ = -1, lastCol_ = -1;
  bool inCell_ = false, hasValue_ = false;
  uint32_t cellRow_ = 0, cellCol_ = 0;
};

}  // namespace

workbook::UsedRange scanCellRange(workbook::GPtr<GsfInput> part, const std::string& where) {
  CellRangeScanner scanner;
  scanner.scan(std::move(part), where);
  return scanner.range;
}

}  // namespace tabulor::xlsx
