#include "engine/drivers/workbook/sheet_limits.h"

#include <sys/stat.h>
#include <unistd.h>

#include "engine/engine_error.h"
#include "engine/file_names.h"
#include "engine/message_text.h"

namespace tabulor::workbook {

void checkTableFitsSheet(const std::string& path, const std::string& table,
                         const TableSchema& schema, int64_t maxRecords, int32_t maxColumns,
                         std::string_view sheet) {
  const std::string_view fileName = fileNameOf(path);
  const std::string head = "Cannot write table " + table + " to " + std::string(fileName) + ": ";
  if (schema.fields.size() > static_cast<size_t>(maxColumns))
    throw EngineError(ErrorKind::Limit,
                      head + "it has " + withThousands(static_cast<int64_t>(schema.fields.size())) +
                          " fields, and " + std::string(sheet) + " holds at most " +
                          withThousands(maxColumns) + " columns");
  if (schema.rowCount > maxRecords)
    throw EngineError(ErrorKind::Limit,
                      head + "it has " + withThousands(schema.rowCount) + " records, and " +
                          std::string(sheet) + " holds at most " + withThousands(maxRecords + 1) +
                          " rows (the header row and " + withThousands(maxRecords) + " records)");
  std::string folder = path.substr(0, path.size() - fileName.size());
  if (folder.empty()) folder = ".";
  struct stat st;
  if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) ||
      ::access(folder.c_str(), W_OK) != 0)
    throw EngineError(ErrorKind::Io,
                      "Cannot write " + path + ": the folder does not exist or cannot be written");
}

}  // namespace tabulor::workbook
