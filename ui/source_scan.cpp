// Directory enumeration with case-insensitive wildcards.
#include "ui/source_scan.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cctype>

#include "engine/staging.h"

namespace tabulor {

namespace {

bool wildcardMatch(const std::string& name, const std::string& mask) {
  // Iterative matcher with one backtrack point for the last "*": linear in practice.
  size_t n = 0, m = 0, starMask = std::string::npos, starName = 0;
  auto same = [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
  };
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == '?' || (mask[m] != '*' && same(mask[m], name[n])))) {
      ++n, ++m;
    } else if (m < mask.size() && mask[m] == '*') {
      starMask = m++;
      starName = n;
    } else if (starMask != std::string::npos) {
      m = starMask + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

}  // namespace

bool matchesMask(const std::string& name, const std::string& mask) {
  if (wildcardMatch(name, mask)) return true;
  // As on the platform these patterns come from, a trailing ".*" also matches names
  // without any extension: "*.*" lists every file.
  return mask.size() >= 2 && mask.compare(mask.size() - 2, 2, ".*") == 0 &&
         name.find('.') == std::string::npos &&
         wildcardMatch(name, mask.substr(0, mask.size() - 2));
}

void scanFolder(std::vector<std::string>& scannedPaths, const std::string& folder,
                const std::string& pattern, const std::string& filterPattern) {
  const std::string search = pattern.empty() ? folder + "/" + filterPattern : pattern;
  size_t slash = search.rfind('/');
  // The folder part as written (kept in the paths found), and the folder actually opened.
  const std::string prefix = slash == std::string::npos ? "" : search.substr(0, slash + 1);
  const std::string mask = search.substr(prefix.size());
  const std::string openFolder = prefix.empty() ? "." : prefix;
  if (mask.empty()) return;

  // A filter of the file list may hold several masks separated by ";" ("*.XLS;*.XLSX"); a
  // pattern typed or given on the command line is one mask, ";" and all.
  std::vector<std::string> masks;
  if (pattern.empty()) {
    for (size_t start = 0; start <= mask.size();) {
      size_t end = mask.find(';', start);
      if (end == std::string::npos) end = mask.size();
      if (end > start) masks.push_back(mask.substr(start, end - start));
      start = end + 1;
    }
  } else {
    masks.push_back(mask);
  }
  auto matchesAny = [&](const std::string& name) {
    for (const std::string& m : masks)
      if (matchesMask(name, m)) return true;
    return false;
  };

  DIR* dir = ::opendir(openFolder.c_str());
  if (!dir) return;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == ".." || !matchesAny(name)) continue;
    if (name.size() >= 3 && name.compare(name.size() - 3, 3, "Gi!") == 0) continue;
    if (isStagingName(name)) continue;  // a conversion's own files being written
    const std::string path = prefix + name;
    bool isFolder = entry->d_type == DT_DIR;
    if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
      struct stat st;
      isFolder = ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    if (isFolder) continue;
    scannedPaths.push_back(path);
  }
  ::closedir(dir);
}

}  // namespace tabulor
