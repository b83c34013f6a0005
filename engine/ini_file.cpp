// INI files kept as lines, so writing a key preserves everything else in the file.
#include "engine/ini_file.h"

#include <cctype>
#include <fstream>
#include <sstream>
#include <vector>

#include "engine/file_names.h"

namespace tabulor {

namespace {

std::string trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return std::string(s.substr(b, e - b));
}

bool readLines(const std::string& path, std::vector<std::string>& lines, bool& exists) {
  std::ifstream in(path, std::ios::binary);
  exists = static_cast<bool>(in);
  if (!in) return true;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return !in.bad();
}

// Section name of a "[name]" line, nullopt for other lines.
std::optional<std::string> sectionOf(const std::string& line) {
  std::string t = trim(line);
  if (t.size() >= 2 && t.front() == '[' && t.back() == ']') return trim(t.substr(1, t.size() - 2));
  return std::nullopt;
}

bool keyIs(const std::string& line, std::string_view key, std::string* value = nullptr) {
  size_t eq = line.find('=');
  if (eq == std::string::npos) return false;
  if (!equalsNoCase(trim(std::string_view(line).substr(0, eq)), key)) return false;
  if (value) *value = trim(std::string_view(line).substr(eq + 1));
  return true;
}

}  // namespace

bool writePrivateProfileString(const std::string& path, std::string_view section,
                               std::string_view key, std::string_view value) {
  std::vector<std::string> lines;
  bool exists = false;
  if (!readLines(path, lines, exists)) return false;
  std::string entry = std::string(key) + "=" + std::string(value);
  bool inSection = false;
  size_t sectionEnd = std::string::npos;
  bool done = false;
  for (size_t i = 0; i < lines.size() && !done; ++i) {
    if (auto name = sectionOf(lines[i])) {
      if (inSection) break;
      inSection = equalsNoCase(*name, section);
      if (inSection) sectionEnd = i + 1;
      continue;
    }
    if (!inSection) continue;
    if (keyIs(lines[i], key)) {
      lines[i] = entry;
      done = true;
    } else if (!trim(lines[i]).empty()) {
      sectionEnd = i + 1;
    }
  }
  if (!done) {
    if (sectionEnd != std::string::npos) {
      lines.insert(lines.begin() + static_cast<long>(sectionEnd), entry);
    } else {
      lines.push_back("[" + std::string(section) + "]");
      lines.push_back(entry);
    }
  }
  std::ostringstream text;
  for (const auto& line : lines) text << line << "\r\n";
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text.str();
  return static_cast<bool>(out);
}

std::optional<std::string> readProfileString(const std::string& path, std::string_view section,
                                             std::string_view key) {
  std::vector<std::string> lines;
  bool exists = false;
  if (!readLines(path, lines, exists) || !exists) return std::nullopt;
  bool inSection = false;
  for (const auto& line : lines) {
    if (auto name = sectionOf(line)) {
      inSection = equalsNoCase(*name, section);
      continue;
    }
    std::string value;
    if (inSection && keyIs(line, key, &value)) return value;
  }
  return std::nullopt;
}

}  // namespace tabulor
