// Encoding of the automation protocol's lines and the resolution of an open name.
#include "convert/automation_protocol.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace tabulor::automation {

std::string encodeLine(const std::vector<std::string>& fields) {
  std::string line;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i) line += '\t';
    for (char c : fields[i]) {
      switch (c) {
        case '\\':
          line += "\\\\";
          break;
        case '\t':
          line += "\\t";
          break;
        case '\n':
          line += "\\n";
          break;
        case '\r':
          line += "\\r";
          break;
        default:
          line += c;
      }
    }
  }
  return line;
}

std::vector<std::string> decodeLine(std::string_view line) {
  std::vector<std::string> fields(1);
  for (size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (c == '\t') {
      fields.emplace_back();
    } else if (c == '\\' && i + 1 < line.size()) {
      char n = line[++i];
      fields.back() += n == 't' ? '\t' : n == 'n' ? '\n' : n == 'r' ? '\r' : n;
    } else {
      fields.back() += c;
    }
  }
  return fields;
}

std::string errorLine(std::string_view kind, uint32_t code, std::string_view description) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "%x", code);
  return encodeLine({std::string(ReplyError), std::string(kind), hex, std::string(description)});
}

namespace {

bool isRegularFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool equalsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

std::string resolveOpenName(const std::string& openName, const std::string& ending,
                            std::string* why) {
  if (openName.empty()) {
    *why = "No workbook name was given.";
    return {};
  }
  if (equalsNoCase(ending, ".xls") && isRegularFile(openName + ending)) return openName + ending;

  // The ending's letter case is unknown: look for the name with ".xls" in any case.
  size_t slash = openName.rfind('/');
  std::string folder = slash == std::string::npos ? "." : openName.substr(0, slash + 1);
  if (folder.empty()) folder = "/";
  std::string stem = slash == std::string::npos ? openName : openName.substr(slash + 1);
  std::vector<std::string> found;
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (dirent* entry = ::readdir(dir)) {
      std::string name = entry->d_name;
      if (name.size() == stem.size() + 4 && name.compare(0, stem.size(), stem) == 0 &&
          equalsNoCase(std::string_view(name).substr(stem.size()), ".xls")) {
        std::string path = slash == std::string::npos ? name : folder + name;
        if (isRegularFile(path)) found.push_back(path);
      }
    }
    ::closedir(dir);
  }
  if (found.size() == 1) return found.front();
  std::sort(found.begin(), found.end());
  if (found.empty()) {
    *why = "Cannot find the workbook '" + openName + ".xls'.";
  } else {
    *why = "Several workbooks match '" + openName + ".xls':";
    for (const std::string& path : found) *why += " '" + path + "'";
    *why += ".";
  }
  return {};
}

}  // namespace tabulor::automation
