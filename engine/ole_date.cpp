// Calendar arithmetic for OLE dates, by day numbers of the proleptic Gregorian calendar.
#include "engine/ole_date.h"

#include <cmath>

namespace tabulor {

namespace {

// Days from 1970-01-01 to y-m-d (Howard Hinnant's days_from_civil).
long long daysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

void civilFromDays(long long z, int& y, int& m, int& d) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long yy = static_cast<long long>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yy + (m <= 2));
}

const long long OleEpoch = daysFromCivil(1899, 12, 30);

int daysInMonth(int y, int m) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0)) return 29;
  return days[m - 1];
}

}  // namespace

std::optional<double> oleDateFromParts(const DateTimeParts& p) {
  if (p.year < 100 || p.year > 9999 || p.month < 1 || p.month > 12 || p.day < 1 ||
      p.day > daysInMonth(p.year, p.month) || p.hour < 0 || p.hour > 23 || p.minute < 0 ||
      p.minute > 59 || p.second < 0 || p.second > 59)
    return std::nullopt;
  double days = static_cast<double>(daysFromCivil(p.year, p.month, p.day) - OleEpoch);
  double fraction = (p.hour * 3600 + p.minute * 60 + p.second) / 86400.0;
  // OLE dates before the epoch keep the time as a positive fraction of the (negative) day.
  return days < 0 ? days - fraction : days + fraction;
}

std::optional<DateTimeParts> partsFromOleDate(double date) {
  if (!std::isfinite(date) || date < -657434.0 || date >= 2958466.0) return std::nullopt;
  double wholeDays = std::trunc(date);
  double fraction = std::fabs(date - wholeDays);
  long long seconds = std::llround(fraction * 86400.0);
  long long day = static_cast<long long>(wholeDays);
  if (seconds >= 86400) {
    seconds -= 86400;
    day += date < 0 ? -1 : 1;
  }
  DateTimeParts p;
  civilFromDays(day + OleEpoch, p.year, p.month, p.day);
  p.hour = static_cast<int>(seconds / 3600);
  p.minute = static_cast<int>(seconds / 60 % 60);
  p.second = static_cast<int>(seconds % 60);
  if (p.year < 100 || p.year > 9999) return std::nullopt;
  return p;
}

bool isTimeOfDay(double date) {
  auto p = partsFromOleDate(date);
  return p && p->year == 1899 && p->month == 12 && p->day == 30;
}

namespace {

void put2(char* p, int v) {
  p[0] = static_cast<char>('0' + v / 10);
  p[1] = static_cast<char>('0' + v % 10);
}

}  // namespace

size_t formatOleDate(double date, char* buf) {
  auto p = partsFromOleDate(date);
  if (!p) return 0;
  char* s = buf;
  if (p->year == 1899 && p->month == 12 && p->day == 30) {
    put2(s, p->hour);
    s[2] = ':';
    put2(s + 3, p->minute);
    s[5] = ':';
    put2(s + 6, p->second);
    return 8;
  }
  put2(s, p->year / 100);
  put2(s + 2, p->year % 100);
  s[4] = '-';
  put2(s + 5, p->month);
  s[7] = '-';
  put2(s + 8, p->day);
  if (p->hour == 0 && p->minute == 0 && p->second == 0) return 10;
  s[10] = ' ';
  put2(s + 11, p->hour);
  s[13] = ':';
  put2(s + 14, p->minute);
  s[16] = ':';
  put2(s + 17, p->second);
  return 19;
}

std::string isoFromOleDate(double date) {
  char buf[20];
  size_t n = formatOleDate(date, buf);
  if (n == 0) return "#DATE?";
  return std::string(buf, n);
}

std::optional<double> oleDateFromIso(std::string_view t) {
  auto digits = [&](size_t pos, size_t n, int& out) {
    if (pos + n > t.size()) return false;
    out = 0;
    for (size_t i = pos; i < pos + n; ++i) {
      if (t[i] < '0' || t[i] > '9') return false;
      out = out * 10 + (t[i] - '0');
    }
    return true;
  };
  DateTimeParts p;
  if (!digits(0, 4, p.year) || t.size() < 10 || t[4] != '-' || !digits(5, 2, p.month) ||
      t[7] != '-' || !digits(8, 2, p.day))
    return std::nullopt;
  if (t.size() > 10) {
    if ((t[10] != ' ' && t[10] != 'T') || !digits(11, 2, p.hour) || t.size() < 16 || t[13] != ':' ||
        !digits(14, 2, p.minute))
      return std::nullopt;
    if (t.size() > 16) {
      if (t.size() != 19 || t[16] != ':' || !digits(17, 2, p.second)) return std::nullopt;
    }
  }
  return oleDateFromParts(p);
}

}  // namespace tabulor
