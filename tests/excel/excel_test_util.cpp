// Table reading and grid comparison for the Excel driver's tests.
#include "tests/excel/excel_test_util.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "engine/ole_date.h"
#include "engine/registry.h"
#include "tests/support/test_support.h"

namespace tabulor::test {

const Driver& excel() {
  const Driver* d = findDriver("Excel 8.0");
  if (!d) throw std::runtime_error("no Excel 8.0 driver registered");
  return *d;
}

std::string gnumericText(const Variant& v) {
  if (v.vt == VT_DATE) {
    auto p = partsFromOleDate(v.date);
    if (!p) return variantToText(v);
    char buf[64];
    if (v.date >= 0 && v.date < 1) {
      std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", p->hour, p->minute, p->second);
    } else if (p->hour || p->minute || p->second) {
      std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d:%02d", p->year, p->month, p->day,
                    p->hour, p->minute, p->second);
    } else {
      std::snprintf(buf, sizeof buf, "%04d/%02d/%02d", p->year, p->month, p->day);
    }
    return buf;
  }
  return variantToText(v);
}

Grid readTable(SourceDatabase& db, const std::string& table, std::vector<FieldInfo>* fields) {
  auto cursor = db.openTable(table);
  Grid grid;
  if (fields) *fields = cursor->fields();
  if (cursor->fields().empty()) return grid;
  std::vector<std::string> header;
  for (const FieldInfo& f : cursor->fields()) header.push_back(f.name);
  grid.push_back(header);
  std::vector<Variant> row;
  while (cursor->next(row)) {
    std::vector<std::string> texts;
    for (const Variant& v : row) texts.push_back(gnumericText(v));
    grid.push_back(texts);
  }
  return grid;
}

namespace {

bool asDouble(const std::string& s, double& d) {
  if (s.empty()) return false;
  char* end = nullptr;
  d = std::strtod(s.c_str(), &end);
  return end && *end == '\0';
}

// "2019-01-02" and "2019-01-02 10:11:12" (ISO, the text of a date kept as text) in
// gnumeric's form.
std::string isoAsGnumeric(std::string s) {
  if (s.size() >= 10 && s[4] == '-' && s[7] == '-') {
    s[4] = '/', s[7] = '/';
  }
  return s;
}

bool cellsMatch(const std::string& a, const std::string& b) {
  if (a == b) return true;
  double x, y;
  if (asDouble(a, x) && asDouble(b, y)) return x == y;
  return isoAsGnumeric(a) == isoAsGnumeric(b);
}

// Named exclusion: gnumeric's range also covers formatted blank cells, so its CSV may end
// in rows and columns without any value; the driver's range ends at the last value.
Grid withoutEmptyMargins(Grid g) {
  auto rowEmpty = [](const std::vector<std::string>& row) {
    for (const auto& c : row)
      if (!c.empty()) return false;
    return true;
  };
  while (g.size() > 1 && rowEmpty(g.back())) g.pop_back();
  for (;;) {
    bool lastEmpty = !g.empty();
    for (const auto& row : g)
      if (row.size() <= 1 || !row.back().empty()) lastEmpty = false;
    if (!lastEmpty) break;
    for (auto& row : g) row.pop_back();
  }
  return g;
}

}  // namespace

std::string compareGrids(const Grid& ours, const Grid& theirsIn, bool headerNamesMayBeGenerated) {
  Grid theirs = withoutEmptyMargins(theirsIn);
  std::string diff;
  // An empty sheet: gnumeric writes one empty line.
  auto isEmpty = [](const Grid& g) {
    return g.empty() || (g.size() == 1 && g[0].size() == 1 && g[0][0].empty());
  };
  if (isEmpty(ours) && isEmpty(theirs)) return "";
  if (ours.size() != theirs.size())
    diff +=
        "row count " + std::to_string(ours.size()) + " vs " + std::to_string(theirs.size()) + "\n";
  for (size_t r = 0; r < std::min(ours.size(), theirs.size()) && diff.size() < 2000; ++r) {
    if (ours[r].size() != theirs[r].size()) {
      diff += "row " + std::to_string(r) + ": " + std::to_string(ours[r].size()) + " vs " +
              std::to_string(theirs[r].size()) + " cells\n";
      continue;
    }
    for (size_t c = 0; c < ours[r].size(); ++c) {
      const std::string& a = ours[r][c];
      const std::string& b = theirs[r][c];
      if (r == 0 && headerNamesMayBeGenerated && a == "F" + std::to_string(c + 1)) continue;
      if (!cellsMatch(a, b))
        diff += "row " + std::to_string(r) + " col " + std::to_string(c) + ": ours [" + a +
                "] theirs [" + b + "]\n";
    }
  }
  return diff;
}

std::vector<Grid> ssconvertSheets(const std::string& xls, const std::string& workFolder) {
  std::string pattern = workFolder + "/sheet_%n.csv";
  std::string cmd =
      "ssconvert -S -T Gnumeric_stf:stf_assistant -O 'separator=, eol=unix "
      "charset=UTF-8 format=automatic' '" +
      xls + "' '" + pattern + "' 2>/dev/null";
  std::vector<Grid> out;
  if (runCommand(cmd) != 0) return out;
  for (int i = 0;; ++i) {
    std::string file = workFolder + "/sheet_" + std::to_string(i) + ".csv";
    if (!fileExists(file)) break;
    out.push_back(parseCsv(readFile(file)));
    std::filesystem::remove(file);
  }
  return out;
}

std::string sofficeCommand() {
  // The tests share one profile (its first start is slow); CTest may run two of them at
  // once, and two offices on one profile refuse each other, so they take turns.
  return "flock '" + binaryDir() +
         "/excel-test-lo-profile.lock' soffice -env:UserInstallation=file://" + binaryDir() +
         "/excel-test-lo-profile --headless";
}

}  // namespace tabulor::test
