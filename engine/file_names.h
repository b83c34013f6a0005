// File-name helpers shared by the drivers whose tables are files in a folder.
#pragma once

#include <string>
#include <string_view>

namespace tabulor {

// A table name made safe as one file name inside a folder: "/", "\" and control characters
// become "_", a name that is empty, "." or ".." becomes "_" followed by it, and the name is
// cut to 255 bytes on a character boundary (keeping its extension). The result never
// leaves the folder it is joined to.
std::string safeFileName(std::string_view tableName);

// `fileName` (one made by safeFileName) with "_<n>" before its extension, cut on a character
// boundary so that it stays within 255 bytes.
std::string numberedFileName(std::string_view fileName, int n);

// folder + "/" + name (no "/" doubled; an empty folder gives "/name", the root).
std::string joinPath(std::string_view folder, std::string_view name);

// Case-insensitive (ASCII) comparison, as table names and ISAM names are matched.
bool equalsNoCase(std::string_view a, std::string_view b);
std::string toLowerAscii(std::string_view s);

// Why no file can be created in `folder`, for a message: "" when files can be created there,
// else "the folder F does not exist", "F is not a folder" or "the folder F cannot be
// written (<the system's reason, such as Read-only file system>)".
std::string folderWriteProblem(const std::string& folder);

// Text after the last "/" (the whole text without one).
std::string_view fileNameOf(std::string_view path);
// The extension of a file name including the dot, "" when there is none.
std::string_view extensionOf(std::string_view fileName);

}  // namespace tabulor
