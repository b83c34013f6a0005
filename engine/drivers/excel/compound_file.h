// The OLE2 compound-file container of an .xls file, through libgsf: what kind of file a
// path holds (checked from its first bytes before libgsf sees it), reading the workbook
// stream out of it, and writing a new compound file that holds one workbook stream.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tabulor::excel {

struct WorkbookStream {
  std::string bytes;        // the whole "Workbook" (BIFF8) or "Book" (BIFF5/7) stream
  bool bookStream = false;  // found under the BIFF5 name "Book"
};

// Reads the workbook stream of the file at `path`. Throws EngineError naming the file:
// Io when it cannot be read; Unsupported for BIFF2-4 worksheets, encrypted OOXML
// packages and .xlsx files; BadInput for text or HTML saved under an .xls name, damaged
// compound files and compound files without a workbook stream.
WorkbookStream readWorkbookStream(const std::string& path);

// The same for a file already in memory; `name` is used in messages.
WorkbookStream readWorkbookStreamFromMemory(std::string_view bytes, const std::string& name);

// Writes a compound file at `path` (replacing it) holding the stream "Workbook" made of
// `parts` in order. The stream is padded with zero bytes to 4096 bytes so that it lives in
// regular sectors, as Excel's own files do. Throws EngineError(Io); on failure nothing is
// left at `path`.
void writeWorkbookFile(const std::string& path, const std::vector<std::string_view>& parts);

}  // namespace tabulor::excel
