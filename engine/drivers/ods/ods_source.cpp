// Spreadsheet as a source database: listing tables, opening them by listed name.
#include "engine/drivers/ods/ods_source.h"

#include "engine/drivers/excel/excel_source.h"
#include "engine/drivers/ods/ods_content.h"
#include "engine/engine_error.h"

namespace tabulor::ods {

namespace {

class OdsSource : public SourceDatabase {
 public:
  OdsSource(std::shared_ptr<workbook::ZipPackage> package, XmlReading reading)
      : package_(std::move(package)) {
    checkSpreadsheet(*package_);
    ContentScan scan = scanContent(*package_);
    tables_ = std::move(scan.tables);
    plainXml_ = scan.plainXml && reading == XmlReading::PlainWherePossible;
    for (const TableEntry& t : tables_) names_.push_back(t.name);
    isTable_.assign(names_.size(), true);
  }

  std::vector<TableDefInfo> tables() override {
    std::vector<TableDefInfo> out;
    for (const std::string& name : names_) out.push_back({excel::listedSheetName(name), 0, {}});
    return out;
  }

  std::unique_ptr<RowCursor> openTable(const std::string& listed) override {
    int index = workbook::findListedSheet(listed, names_, isTable_);
    if (index < 0)
      throw EngineError(ErrorKind::NotFound,
                        package_->name() + " has no sheet \"" + listed +
                            "\" (sheets are named with a trailing $, such as Sheet1$)");
    std::string where = package_->name() + ", sheet " + names_[static_cast<size_t>(index)];
    auto cells =
        std::make_unique<TableCells>(package_, static_cast<size_t>(index), where, plainXml_);
    return workbook::openCellTable(std::move(cells), tables_[static_cast<size_t>(index)].range,
                                   where);
  }

 private:
  std::shared_ptr<workbook::ZipPackage> package_;
  std::vector<std::string> names_;
  std::vector<bool> isTable_;
  std::vector<TableEntry> tables_;
  bool plainXml_ = false;
};

}  // namespace

std::unique_ptr<SourceDatabase> openOdsSource(const std::string& path, XmlReading reading) {
  return std::make_unique<OdsSource>(workbook::ZipPackage::open(path), reading);
}

std::unique_ptr<SourceDatabase> openOdsSourceFromMemory(std::string bytes, const std::string& name,
                                                        XmlReading reading) {
  return std::make_unique<OdsSource>(workbook::ZipPackage::fromMemory(std::move(bytes), name),
                                     reading);
}

}  // namespace tabulor::ods
