// Workbook as a source database: listing sheets and names, opening sheets by listed name.
#include "engine/drivers/excel/excel_source.h"

#include "engine/drivers/excel/sheet_reader.h"
#include "engine/engine_error.h"
#include "engine/file_names.h"
#include "engine/message_text.h"

namespace tabulor::excel {

std::string listedSheetName(const std::string& sheetName) {
  if (sheetName.find(' ') != std::string::npos) return "'" + sheetName + "$'";
  return sheetName + "$";
}

namespace {

class WorkbookSource : public SourceDatabase {
 public:
  explicit WorkbookSource(std::shared_ptr<Workbook> book) : book_(std::move(book)) {}

  std::vector<TableDefInfo> tables() override {
    std::vector<TableDefInfo> out;
    const WorkbookGlobals& g = book_->globals;
    for (const SheetEntry& sheet : g.sheets)
      if (sheet.type == 0) out.push_back({listedSheetName(sheet.name), 0, {}});
    // Defined names are listed without "$" (a name local to a sheet as "Sheet$name"), so
    // that a conversion, which keeps only names ending in "$", passes them by.
    for (const DefinedName& name : g.names) {
      std::string listed = name.name;
      if (name.sheetIndex > 0 && static_cast<size_t>(name.sheetIndex) <= g.sheets.size())
        listed = g.sheets[static_cast<size_t>(name.sheetIndex - 1)].name + "$" + name.name;
      out.push_back({listed, 0, {}});
    }
    return out;
  }

  std::unique_ptr<RowCursor> openTable(const std::string& listed) override {
    std::string_view name = listed;
    while (!name.empty() && name.front() == '\'') name.remove_prefix(1);
    while (!name.empty() && name.back() == '\'') name.remove_suffix(1);
    const WorkbookGlobals& g = book_->globals;
    if (!name.empty() && name.back() == '$') {
      std::string_view sheetName = name.substr(0, name.size() - 1);
      // An exact match first: sheet names that differ only in the case of non-ASCII
      // letters are distinct to Excel too.
      for (size_t i = 0; i < g.sheets.size(); ++i)
        if (g.sheets[i].type == 0 && g.sheets[i].name == sheetName)
          return openSheet(book_, i, g.sheets[i].name);
      for (size_t i = 0; i < g.sheets.size(); ++i)
        if (g.sheets[i].type == 0 && equalsNoCase(g.sheets[i].name, sheetName))
          return openSheet(book_, i, g.sheets[i].name);
    }
    for (const DefinedName& dn : g.names)
      if (equalsNoCase(dn.name, name))
        throw EngineError(ErrorKind::Unsupported,
                          book_->path + ": \"" + clipForMessage(listed) +
                              "\" is a named range; only whole worksheets (listed with a "
                              "trailing $) can be read as tables");
    throw EngineError(ErrorKind::NotFound,
                      book_->path + " has no worksheet \"" + clipForMessage(listed) +
                          "\" (worksheets are named with a trailing $, such as Sheet1$)");
  }

 private:
  std::shared_ptr<Workbook> book_;
};

}  // namespace

std::unique_ptr<SourceDatabase> openWorkbookSource(const std::string& path) {
  return std::make_unique<WorkbookSource>(loadWorkbook(path));
}

std::unique_ptr<SourceDatabase> openWorkbookSourceFromMemory(std::string_view bytes,
                                                             const std::string& name) {
  return std::make_unique<WorkbookSource>(loadWorkbookFromMemory(bytes, name));
}

std::unique_ptr<SourceDatabase> openWorkbookSourceFromStream(std::string stream,
                                                             const std::string& name) {
  return std::make_unique<WorkbookSource>(loadWorkbookFromStream(std::move(stream), name));
}

}  // namespace tabulor::excel
