// scanFolder: the one enumeration of source files, shared by the file list and the batch
// run. It reads directory entries only and opens no file.
#pragma once

#include <string>
#include <vector>

namespace tabulor {

// Appends to `scannedPaths` the files matching the search: with an empty `pattern`, the
// files of `folder` matching `filterPattern` ("*.XLS"); otherwise the files matching
// `pattern` itself (a wildcard pattern or one file's path; wildcards only in its last
// component). `*` and `?` match without regard to letter case; "." and "..", folders and
// names ending in "Gi!" are skipped; sub-folders are never entered. Entries come in the
// order the file system returns them, as paths joined from the search string's folder and
// the name as found. A search that matches nothing or cannot be made appends nothing.
void scanFolder(std::vector<std::string>& scannedPaths, const std::string& folder,
                const std::string& pattern, const std::string& filterPattern);

// True when `name` matches the wildcard `mask` (`*`, `?`), letters compared without case;
// a trailing ".*" also matches a name without extension.
bool matchesMask(const std::string& name, const std::string& mask);

}  // namespace tabulor
