// One conversion's session with LibreOffice Calc: the office process, the UNO bridge to it,
// the opened workbook, and the operations of the automation protocol on them.
#pragma once

#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/lang/XMultiComponentFactory.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <string>

#include "convert/calc_automation/office_process.h"

namespace tabulor::calc {

namespace css = com::sun::star;

class CalcSession {
 public:
  ~CalcSession() { release(); }

  // Starts the office and connects to it. Returns "" on success, otherwise why not (the
  // office is then stopped again).
  std::string create(int code);
  // With alerts off, existing output files are replaced without a question; with them on,
  // a save to an existing file fails.
  void setAlerts(bool on) { alerts_ = on; }
  // Opens the workbook an open name stands for, read-only and without any window. Throws
  // HelperError or a UNO exception.
  void open(const std::string& openName, const std::string& ending);
  int sheetCount();
  std::string sheetName(int index);  // 1-based
  // Writes sheet `index` (1-based), or the whole workbook for code 39, to `path` in the
  // format of file-format `code`, replacing the file only when the write has succeeded.
  void save(int index, int code, const std::string& path);
  void close();
  // Closes what is open, ends the office (by PID when it does not go) and deletes its
  // profile. Safe on every path.
  void release();

  bool officeRunning() { return office_.running(); }

 private:
  void saveStaged(int index, int code, const std::string& path);
  void requireOffice() const;
  void requireWorkbook() const;
  css::uno::Reference<css::lang::XComponent> newDocument();
  // In a copy of sheet `index`, replaces formulas by the results they have in the workbook.
  void keepFormulaResults(int index, const css::uno::Reference<css::sheet::XSpreadsheet>& copy);
  // Writes a copy of sheet `index` alone: a document of that one sheet, never shown.
  void storeSheetCopy(int index, const std::string& url, const char* filter, const char* options);

  OfficeProcess office_;
  css::uno::Reference<css::uno::XComponentContext> local_;
  css::uno::Reference<css::uno::XComponentContext> remote_;
  css::uno::Reference<css::lang::XMultiComponentFactory> factory_;
  css::uno::Reference<css::frame::XDesktop2> desktop_;
  css::uno::Reference<css::lang::XComponent> workbook_;
  bool alerts_ = true;
};

}  // namespace tabulor::calc
