// FileEntry: one row of the source file list, with the texts the list shows for it and the
// comparison its column sort uses.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

namespace tabulor {

struct FileEntry {
  std::string fileName;                     // name as the file system stores it, without folder
  int64_t fileSize = 0;                     // length in bytes
  std::string typeName;                     // type description (from the extension)
  std::optional<std::time_t> modifiedTime;  // last-write time when the file system has one
};

// "0 KB" for 0 bytes, "1 KB" for 1 to 1023, otherwise the whole kilobytes grouped with
// commas ("1,500 KB").
std::string sizeText(int64_t size);

// Local time as "%Y-%m-%d %H:%M"; empty without a time.
std::string modifiedText(const std::optional<std::time_t>& time);

// Sort comparison of column 0 Name, 1 Size, 2 Type, 3 Modify Date: negative, zero or
// positive, inverted when `ascending` is false. Texts compare byte-wise (upper case before
// lower case); dates compare as their minute texts; sizes as numbers.
int compareEntries(const FileEntry& a, const FileEntry& b, int column, bool ascending);

}  // namespace tabulor
