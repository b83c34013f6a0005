// File-name helpers shared by the folder-based drivers.
#include "engine/file_names.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>

#include "engine/message_text.h"

namespace tabulor {

std::string safeFileName(std::string_view table) {
  std::string name;
  name.reserve(table.size());
  for (char c : table) {
    auto u = static_cast<unsigned char>(c);
    name += (c == '/' || c == '\\' || u < 0x20 || u == 0x7F) ? '_' : c;
  }
  if (name.empty() || name == "." || name == "..") name = "_" + name;
  if (name.size() > 255) {
    std::string ext(extensionOf(name));
    if (ext.size() > 16) ext.clear();
    size_t keep = 255 - ext.size();
    while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;
    name = name.substr(0, keep) + ext;
  }
  return name;
}

std::string joinPath(std::string_view folder, std::string_view name) {
  std::string out(folder);
  if (out.empty() || out.back() != '/') out += '/';
  out += name;
  return out;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

std::string toLowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string_view fileNameOf(std::string_view path) {
  size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view extensionOf(std::string_view fileName) {
  size_t dot = fileName.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return {};
  return fileName.substr(dot);
}

std::string folderWriteProblem(const std::string& folder) {
  std::string where = folder.empty() ? "." : folder;
  while (where.size() > 1 && where.back() == '/') where.pop_back();
  struct stat st {};
  if (::stat(where.c_str(), &st) != 0) {
    if (errno == ENOENT) return "the folder " + where + " does not exist";
    return "the folder " + where + " cannot be read (" + systemReason(errno) + ")";
  }
  if (!S_ISDIR(st.st_mode)) return where + " is not a folder";
  if (::access(where.c_str(), W_OK | X_OK) != 0)
    return "the folder " + where + " cannot be written (" + systemReason(errno) + ")";
  return {};
}

}  // namespace tabulor
