// Texts and order of the file list rows.
#include "ui/file_entry.h"

#include "preview/cell_format.h"

namespace tabulor {

namespace {

int sign(int v) {
  return (v > 0) - (v < 0);
}

}  // namespace

std::string sizeText(int64_t size) {
  if (size <= 0) return "0 KB";
  if (size < 1024) return "1 KB";
  return formatGroupedNumber(static_cast<double>(size / 1024), 0) + " KB";
}

std::string modifiedText(const std::optional<std::time_t>& time) {
  if (!time) return {};
  std::tm local{};
  if (!::localtime_r(&*time, &local)) return {};
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M", &local);
  return buf;
}

int compareEntries(const FileEntry& a, const FileEntry& b, int column, bool ascending) {
  int r = 0;
  switch (column) {
    case 0:  // std::string compares as unsigned bytes
      r = sign(a.fileName.compare(b.fileName));
      break;
    case 1:
      r = a.fileSize < b.fileSize ? -1 : a.fileSize > b.fileSize ? 1 : 0;
      break;
    case 2:
      r = sign(a.typeName.compare(b.typeName));
      break;
    case 3:
      r = sign(modifiedText(a.modifiedTime).compare(modifiedText(b.modifiedTime)));
      break;
    default:
      break;
  }
  return ascending ? r : -r;
}

}  // namespace tabulor
