// schema.ini lookup, delimiter detection and header names.
#include "engine/drivers/text/text_layout.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "engine/file_names.h"
#include "engine/ini_file.h"

namespace tabulor {

namespace {

// Field counts of the records of `sample` split with `delimiter` (quotes as CsvScanner).
// `quotingMisread` tells whether this delimiter misreads the quoting of those records: a
// quoted field that ends elsewhere than at a delimiter or a line end (or, in a complete
// sample, never ends), or a quote inside a field that is not quoted.
std::vector<size_t> fieldCounts(std::string_view sample, char delimiter, bool complete,
                                size_t maxRecords, bool& quotingMisread) {
  std::vector<size_t> counts;
  quotingMisread = false;
  size_t i = 0, n = sample.size();
  while (i < n && counts.size() < maxRecords) {
    size_t fields = 1, recordStart = i;
    bool ended = false, misread = false;
    while (i < n) {
      if (sample[i] == '"' && (i == recordStart || sample[i - 1] == delimiter)) {
        // Quoted field: to the closing quote (a doubled quote stays inside).
        ++i;
        while (i < n) {
          if (sample[i] == '"') {
            if (i + 1 < n && sample[i + 1] == '"') {
              i += 2;
              continue;
            }
            break;
          }
          ++i;
        }
        if (i >= n) {
          misread = true;
          break;
        }
        ++i;
        if (i < n && sample[i] != delimiter && sample[i] != '\r' && sample[i] != '\n')
          misread = true;
        continue;
      }
      char c = sample[i];
      if (c == delimiter) {
        ++fields;
      } else if (c == '\r' || c == '\n') {
        i += (c == '\r' && i + 1 < n && sample[i + 1] == '\n') ? 2 : 1;
        ended = true;
        break;
      } else if (c == '"') {
        misread = true;
      }
      ++i;
    }
    if (!ended && !complete) break;  // the cut-off last line of the sample
    quotingMisread = quotingMisread || misread;
    if (i - recordStart <= 2 && fields == 1) {
      // A blank line: no record.
      std::string_view line = sample.substr(recordStart, i - recordStart);
      if (line.find_first_not_of("\r\n") == std::string_view::npos) continue;
    }
    counts.push_back(fields);
  }
  return counts;
}

std::string trimmed(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return std::string(s.substr(b, e - b));
}

}  // namespace

std::optional<char> delimiterFromFormat(std::string_view format) {
  std::string f = toLowerAscii(trimmed(format));
  if (f == "tabdelimited") return '\t';
  if (f == "csvdelimited") return ',';
  if (f.size() >= 11 && f.compare(0, 10, "delimited(") == 0 && f.back() == ')') {
    // The delimiter as written (its case kept), one byte.
    std::string original = trimmed(format);
    std::string inner = original.substr(10, original.size() - 11);
    if (inner.size() == 1 && inner[0] != '"' && inner[0] != '\r' && inner[0] != '\n')
      return inner[0];
  }
  return std::nullopt;
}

TextLayout layoutFromSchemaIni(const std::string& folder, const std::string& fileName) {
  TextLayout layout;
  std::string ini = joinPath(folder, "schema.ini");
  if (auto format = readProfileString(ini, fileName, "Format")) {
    if (auto delimiter = delimiterFromFormat(*format)) {
      layout.delimiter = *delimiter;
      layout.delimiterGiven = true;
    } else if (equalsNoCase(trimmed(*format), "FixedLength")) {
      layout.fixedLength = true;
    }
  }
  if (auto header = readProfileString(ini, fileName, "ColNameHeader"))
    layout.header = !equalsNoCase(*header, "False") && *header != "0";
  if (auto charset = readProfileString(ini, fileName, "CharacterSet"))
    layout.characterSet = *charset;
  return layout;
}

char detectDelimiter(std::string_view sample, bool complete) {
  const char candidates[] = {',', '\t', ';'};
  char best = ',';
  size_t bestConsistent = 0;
  bool bestMisread = true;
  for (char candidate : candidates) {
    bool misread = false;
    auto counts = fieldCounts(sample, candidate, complete, 20, misread);
    if (counts.empty() || counts[0] < 2) continue;
    size_t consistent = static_cast<size_t>(std::count(counts.begin(), counts.end(), counts[0]));
    // A delimiter that reads the quoting as quoting beats one that misreads it: a quoted
    // field holding line breaks, read with a delimiter that does not see its quotes, falls
    // apart into short records that agree with each other more often than the one true
    // record agrees with itself. Ties go to the earlier candidate, not to the one with more
    // fields: in a comma file whose text fields hold as many ";" on every line, the comma
    // is still the delimiter.
    if ((bestMisread && !misread) || (misread == bestMisread && consistent > bestConsistent)) {
      best = candidate;
      bestConsistent = consistent;
      bestMisread = misread;
    }
  }
  return best;
}

std::vector<std::string> fieldNamesFromHeader(const std::vector<std::string_view>& header,
                                              size_t count) {
  std::vector<std::string> names(count);
  std::set<std::string> used;
  for (size_t i = 0; i < count && i < header.size(); ++i) {
    std::string lower = toLowerAscii(header[i]);
    if (!header[i].empty() && used.insert(lower).second) names[i] = header[i];
  }
  for (size_t i = 0; i < count; ++i) {
    if (!names[i].empty()) continue;
    // F<position>, with a further suffix in the rare case that name is taken already.
    std::string name = "F" + std::to_string(i + 1);
    for (int extra = 2; !used.insert(toLowerAscii(name)).second; ++extra)
      name = "F" + std::to_string(i + 1) + "_" + std::to_string(extra);
    names[i] = name;
  }
  return names;
}

}  // namespace tabulor
