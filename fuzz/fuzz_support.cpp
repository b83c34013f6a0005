#include "fuzz/fuzz_support.h"

#include <dirent.h>

namespace tabulor {

TextTable readTexts(SourceDatabase& db, const std::string& table, size_t maxCells, bool* whole,
                    std::string (*text)(const Variant&)) {
  TextTable t;
  auto cursor = db.openTable(table);
  t.fields = cursor->fields();
  std::vector<Variant> row;
  size_t cells = 0;
  *whole = true;
  while (cursor->next(row)) {
    cells += row.size() + 1;
    if (cells > maxCells) {
      *whole = false;
      break;
    }
    std::vector<std::string> texts;
    for (const Variant& v : row) texts.push_back(text(v));
    t.rows.push_back(std::move(texts));
  }
  return t;
}

std::string tableDifference(const std::string& name, const TextTable& first,
                            const TextTable& second) {
  if (first.fields.size() != second.fields.size() || first.rows.size() != second.rows.size())
    return name + ": " + std::to_string(first.fields.size()) + " fields, " +
           std::to_string(first.rows.size()) + " rows came back as " +
           std::to_string(second.fields.size()) + " fields, " + std::to_string(second.rows.size()) +
           " rows";
  for (size_t i = 0; i < first.fields.size(); ++i)
    if (first.fields[i].name != second.fields[i].name)
      return "field name \"" + first.fields[i].name + "\" came back as \"" + second.fields[i].name +
             "\"";
  for (size_t r = 0; r < first.rows.size(); ++r)
    for (size_t c = 0; c < first.rows[r].size(); ++c)
      if (first.rows[r][c] != second.rows[r][c])
        return name + " row " + std::to_string(r + 1) + " field " + std::to_string(c + 1) + ": \"" +
               first.rows[r][c] + "\" came back as \"" + second.rows[r][c] + "\"";
  return {};
}

size_t openDescriptors() {
  DIR* dir = ::opendir("/proc/self/fd");
  if (!dir) return 0;
  size_t n = 0;
  while (::readdir(dir)) ++n;
  ::closedir(dir);
  return n;
}

bool closesWhatItOpens(const std::function<bool()>& one, std::string* failure) {
  const size_t before = openDescriptors();
  if (!one()) return false;
  const size_t after = openDescriptors();
  if (after <= before) return true;
  *failure = std::to_string(after - before) + " file descriptor(s) left open";
  return false;
}

}  // namespace tabulor
