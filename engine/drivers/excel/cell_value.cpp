// Error texts and the date serial arithmetic of the 1900 and 1904 date systems.
#include "engine/drivers/excel/cell_value.h"

#include <cmath>
#include <cstdlib>

#include "engine/value_format.h"
#include "engine/variant.h"

namespace tabulor::excel {

std::string errorText(uint8_t code) {
  switch (code) {
    case 0x00:
      return "#NULL!";
    case 0x07:
      return "#DIV/0!";
    case 0x0F:
      return "#VALUE!";
    case 0x17:
      return "#REF!";
    case 0x1D:
      return "#NAME?";
    case 0x24:
      return "#NUM!";
    case 0x2A:
      return "#N/A";
    case 0x2B:
      return "#GETTING_DATA";
    default:
      return "#ERR" + std::to_string(code) + "!";
  }
}

// OLE dates count days from 1899-12-30. Excel's 1900 system counts 1900-01-01 as day 1 and
// has a 1900-02-29 (day 60) that never was, so the two agree only from 1900-03-01 (day 61)
// on; before it the OLE date is one more. The 1904 system counts from 1904-01-01 = day 0.
bool oleDateFromSerial(double serial, bool date1904, double& oleDate) {
  if (!std::isfinite(serial) || serial < 0) return false;
  if (date1904) {
    oleDate = serial + 1462;
  } else if (serial < 1) {
    oleDate = serial;  // a time of day alone
  } else if (serial < 60) {
    oleDate = serial + 1;
  } else if (serial < 61) {
    return false;
  } else {
    oleDate = serial;
  }
  return oleDate < 2958466;  // 10000-01-01
}

bool serialFromOleDate(double oleDate, double& serial) {
  if (!std::isfinite(oleDate) || oleDate < 0 || oleDate >= 2958466) return false;
  if (oleDate < 1) {
    serial = oleDate;
  } else if (oleDate < 2) {
    return false;  // 1899-12-31
  } else if (oleDate < 61) {
    serial = oleDate - 1;
  } else {
    serial = oleDate;
  }
  return true;
}

bool exactDouble(const std::string& text, double& out) {
  char* end = nullptr;
  out = std::strtod(text.c_str(), &end);
  if (end == text.c_str() || *end != '\0' || !std::isfinite(out)) return false;
  std::string back = doubleText(out);
  auto canonical = [](std::string s) {
    if (!s.empty() && s[0] == '+') s.erase(0, 1);
    if (s.find('.') != std::string::npos && s.find('e') == std::string::npos &&
        s.find('E') == std::string::npos) {
      while (!s.empty() && s.back() == '0') s.pop_back();
      if (!s.empty() && s.back() == '.') s.pop_back();
    }
    if (s == "-0") s = "0";
    return s;
  };
  return canonical(text) == canonical(back);
}

}  // namespace tabulor::excel
