// Header names, type guessing and the conversion of cells into field values.
#include "engine/drivers/excel/type_guess.h"

#include <cmath>
#include <unordered_set>

#include "engine/file_names.h"
#include "engine/ole_date.h"
#include "engine/value_format.h"

namespace tabulor::excel {

namespace {

bool isInt32(double d) {
  return d == std::floor(d) && d >= -2147483648.0 && d <= 2147483647.0;
}

}  // namespace

void ColumnSample::add(const Cell& cell) {
  switch (cell.kind) {
    case CellKind::Empty:
      break;
    case CellKind::Number:
      ++numbers;
      if (isInt32(cell.number)) ++wholeNumbers;
      break;
    case CellKind::Date:
      ++dates;
      break;
    case CellKind::Bool:
      ++booleans;
      break;
    case CellKind::Text:
    case CellKind::Error:
      ++texts;
      break;
  }
}

uint16_t guessColumnType(const ColumnSample& s) {
  int total = s.numbers + s.dates + s.booleans + s.texts;
  if (total == 0) return VT_BSTR;
  if (s.numbers == total) return s.wholeNumbers == total ? VT_I4 : VT_R8;
  if (s.dates == total) return VT_DATE;
  if (s.booleans == total) return VT_BOOL;
  return VT_BSTR;
}

std::vector<std::string> fieldNamesFromHeader(const std::vector<std::string>& header) {
  std::vector<std::string> names(header.size());
  std::unordered_set<std::string> taken;
  // Names given in the sheet come first, so that "F2" in the sheet keeps its name and a
  // generated name steps aside.
  std::vector<bool> generated(header.size(), false);
  for (size_t i = 0; i < header.size(); ++i) {
    std::string key = toLowerAscii(header[i]);
    if (header[i].empty() || taken.count(key)) {
      generated[i] = true;
    } else {
      names[i] = header[i];
      taken.insert(key);
    }
  }
  for (size_t i = 0; i < header.size(); ++i) {
    if (!generated[i]) continue;
    std::string base = "F" + std::to_string(i + 1);
    std::string name = base;
    for (int n = 2; taken.count(toLowerAscii(name)); ++n) name = base + "_" + std::to_string(n);
    names[i] = name;
    taken.insert(toLowerAscii(name));
  }
  return names;
}

std::string cellText(const Cell& cell) {
  switch (cell.kind) {
    case CellKind::Empty:
      return {};
    case CellKind::Number:
      return doubleText(cell.number);
    case CellKind::Date:
      return isoFromOleDate(cell.number);  // a time of day alone as "HH:MM:SS"
    case CellKind::Text:
      return std::string(cell.textView());
    case CellKind::Bool:
      return cell.boolValue ? "TRUE" : "FALSE";
    case CellKind::Error:
      return errorText(cell.errorCode);
  }
  return {};
}

void cellToVariant(const Cell& cell, uint16_t columnType, Variant& out) {
  switch (cell.kind) {
    case CellKind::Empty:
      out.setNull();
      return;
    case CellKind::Text:
      out.setText(cell.textView());
      return;
    case CellKind::Number:
      if (columnType == VT_R8) {
        out.vt = VT_R8, out.dblVal = cell.number;
        out.str.clear();
        return;
      }
      if (columnType == VT_I4 && isInt32(cell.number)) {
        out.vt = VT_I4, out.lVal = static_cast<int32_t>(cell.number);
        out.str.clear();
        return;
      }
      break;
    case CellKind::Date:
      if (columnType == VT_DATE) {
        out.vt = VT_DATE, out.date = cell.number;
        out.str.clear();
        return;
      }
      break;
    case CellKind::Bool:
      if (columnType == VT_BOOL) {
        out.vt = VT_BOOL, out.boolVal = cell.boolValue ? VARIANT_TRUE : VARIANT_FALSE;
        out.str.clear();
        return;
      }
      break;
    case CellKind::Error:
      break;
  }
  out.setText(cellText(cell));
}

}  // namespace tabulor::excel
