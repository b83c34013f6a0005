// Workbook as a source database: listing sheets and names, opening sheets by listed name.
#include "engine/drivers/xlsx/xlsx_source.h"

#include <map>

#include "engine/drivers/excel/excel_source.h"
#include "engine/drivers/xlsx/sheet_cells.h"
#include "engine/drivers/xlsx/styles.h"
#include "engine/drivers/xlsx/workbook_parts.h"
#include "engine/engine_error.h"
#include "engine/file_names.h"

namespace tabulor::xlsx {

namespace {

class XlsxSource : public SourceDatabase {
 public:
  explicit XlsxSource(std::shared_ptr<workbook::ZipPackage> package)
      : package_(std::move(package)), parts_(readWorkbookParts(*package_)) {
    for (const SheetPart& s : parts_.sheets) {
      names_.push_back(s.name);
      isTable_.push_back(s.worksheet);
    }
  }

  std::vector<TableDefInfo> tables() override {
    std::vector<TableDefInfo> out;
    for (const SheetPart& sheet : parts_.sheets)
      if (sheet.worksheet) out.push_back({excel::listedSheetName(sheet.name), 0, {}});
    for (const DefinedNameEntry& name : parts_.names) {
      std::string listed = name.name;
      if (name.localSheet >= 0 && static_cast<size_t>(name.localSheet) < parts_.sheets.size())
        listed = parts_.sheets[static_cast<size_t>(name.localSheet)].name + "$" + name.name;
      out.push_back({listed, 0, {}});
    }
    return out;
  }

  std::unique_ptr<RowCursor> openTable(const std::string& listed) override {
    int index = workbook::findListedSheet(listed, names_, isTable_);
    if (index < 0) {
      for (const DefinedNameEntry& dn : parts_.names)
        if (equalsNoCase(dn.name, listed))
          throw EngineError(ErrorKind::Unsupported,
                            package_->name() + ": \"" + listed +
                                "\" is a named range; only whole worksheets (listed with a "
                                "trailing $) can be read as tables");
      throw EngineError(ErrorKind::NotFound,
                        package_->name() + " has no worksheet \"" + listed +
                            "\" (worksheets are named with a trailing $, such as Sheet1$)");
    }
    const SheetPart& sheet = parts_.sheets[static_cast<size_t>(index)];
    std::string where = package_->name() + ", sheet " + sheet.name;
    if (sheet.partPath.empty())
      throw EngineError(ErrorKind::BadInput,
                        where +
                            ": the workbook does not say which part holds the sheet "
                            "(damaged file)");
    loadShared();
    auto cells = std::make_unique<SheetCells>(context_, sheet.partPath, where);
    auto cached = ranges_.find(static_cast<size_t>(index));
    if (cached == ranges_.end())
      cached = ranges_.emplace(static_cast<size_t>(index), cells->scanUsedRange()).first;
    return workbook::openCellTable(std::move(cells), cached->second, where);
  }

 private:
  // The shared strings and styles, read once, when the first sheet is opened.
  void loadShared() {
    if (context_.package) return;
    SheetContext ctx;
    ctx.strings =
        std::make_shared<SharedStrings>(readSharedStrings(*package_, parts_.sharedStringsPath));
    ctx.dateStyles =
        std::make_shared<std::vector<bool>>(readDateStyles(*package_, parts_.stylesPath));
    ctx.date1904 = parts_.date1904;
    ctx.package = package_;
    context_ = std::move(ctx);
  }

  std::shared_ptr<workbook::ZipPackage> package_;
  WorkbookParts parts_;
  std::vector<std::string> names_;
  std::vector<bool> isTable_;
  SheetContext context_;
  std::map<size_t, workbook::UsedRange> ranges_;
};

}  // namespace

std::unique_ptr<SourceDatabase> openXlsxSource(const std::string& path) {
  return std::make_unique<XlsxSource>(workbook::ZipPackage::open(path));
}

std::unique_ptr<SourceDatabase> openXlsxSourceFromMemory(std::string bytes,
                                                         const std::string& name) {
  return std::make_unique<XlsxSource>(workbook::ZipPackage::fromMemory(std::move(bytes), name));
}

}  // namespace tabulor::xlsx
