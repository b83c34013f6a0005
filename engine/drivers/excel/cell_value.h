// One decoded cell of a worksheet, before it becomes a field value: what kind of value the
// cell record holds (cached results of formulas included) and the value itself.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tabulor::excel {

enum class CellKind : uint8_t { Empty, Number, Date, Text, Bool, Error };

struct Cell {
  uint32_t row = 0;
  uint16_t col = 0;
  CellKind kind = CellKind::Empty;
  bool boolValue = false;
  uint8_t errorCode = 0;
  double number = 0;  // Number; for Date the OLE date (already converted from the serial)
  // Text: `text` points into the workbook's shared strings, unless `own` says that the
  // string is held in `ownText` (inline strings of LABEL and STRING records).
  std::string_view text;
  std::string ownText;
  bool own = false;
  std::string_view textView() const { return own ? std::string_view(ownText) : text; }
};

// The text Excel shows for an error code ("#DIV/0!", "#N/A", ...); "#ERR<n>!" for codes
// that Excel does not define.
std::string errorText(uint8_t code);

// The OLE date of an Excel date serial in the 1900 or 1904 system, false when the serial
// is not a date an OLE date can hold (negative, past 9999, or Excel's phantom 1900-02-29).
bool oleDateFromSerial(double serial, bool date1904, double& oleDate);

// The Excel 1900-system serial of an OLE date, false for dates before 1900-01-01 (Excel
// cannot store those as dates) other than pure times of day (OLE dates in [0, 1)).
bool serialFromOleDate(double oleDate, double& serial);

// A decimal text ("12.50", "-3", "1e5") as a double, true only when the double gives the
// same number back (numbers with more digits than a double holds stay text).
bool exactDouble(const std::string& text, double& out);

}  // namespace tabulor::excel
