// File-name helpers shared by the folder-based drivers.
#include "engine/file_names.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>

#include "engine/message_text.h"

namespace tabulor {

namespace {

// The extension a cut keeps: a long one (".csv" followed by many bytes) is part of the name.
std::string_view keptExtension(std::string_view name) {
  std::string_view ext = extensionOf(name);
  return ext.size() > 16 ? std::string_view() : ext;
}

// The first `keep` bytes of `s`, up to three fewer where the cut would split a UTF-8
// character (bytes that are no UTF-8 are cut where they stand, never all of them).
std::string_view cutAtCharacter(std::string_view s, size_t keep) {
  if (keep >= s.size()) return s;
  for (size_t back = 0; back <= 3 && back < keep; ++back)
    if ((static_cast<unsigned char>(s[keep - back]) & 0xC0) != 0x80)
      return s.substr(0, keep - back);
  return s.substr(0, keep);
}

}  // namespace

std::string safeFileName(std::string_view table) {
  std::string name;
  name.reserve(table.size());
  for (char c : table) {
    auto u = static_cast<unsigned char>(c);
    name += (c == '/' || c == '\\' || u < 0x20 || u == 0x7F) ? '_' : c;
  }
  if (name.empty() || name == "." || name == "..") name = "_" + name;
  if (name.size() > 255) {
    std::string ext(keptExtension(name));
    name = std::string(cutAtCharacter(name, 255 - ext.size())) + ext;
  }
  return name;
}

std::string numberedFileName(std::string_view fileName, int n) {
  const std::string_view ext = keptExtension(fileName);
  const std::string suffix = "_" + std::to_string(n);
  const std::string_view stem = fileName.substr(0, fileName.size() - ext.size());
  return std::string(cutAtCharacter(stem, 255 - ext.size() - suffix.size())) + suffix +
         std::string(ext);
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
