// One run's session with LibreOffice Calc: the office process, the UNO bridge to it, the
// opened workbook, and the operations of the automation protocol on them.
#pragma once

#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/lang/XMultiComponentFactory.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <string>
#include <vector>

#include "convert/calc_automation/checked_output.h"
#include "convert/calc_automation/office_process.h"

namespace tabulor::calc {

namespace css = com::sun::star;

class CalcSession {
 public:
  ~CalcSession() { release(); }

  // Starts the office and connects to it, for writing file-format `code` (3, 6, 39 or 44).
  // Returns "" on success, otherwise why not (the office is then stopped again).
  std::string create(int code);
  // With alerts off, existing output files are replaced without a question; with them on,
  // a save to an existing file fails.
  void setAlerts(bool on) { alerts_ = on; }
  // Opens the workbook an open name stands for, read-only and without any window, with
  // automatic calculation off. Throws HelperError or a UNO exception.
  void open(const std::string& openName, const std::string& ending);
  int sheetCount();
  std::string sheetName(int index);  // 1-based
  // Puts the workbook's stored results into sheet `index`: `cells` holds (row, column,
  // value) triples as the "values" request carries them. Every formula cell of the sheet
  // takes its stored result; returns how many formula cells had none (they hold nothing
  // then, and the workbook must not be written).
  int putStoredValues(int index, const std::vector<std::string>& cells);
  // Writes sheet `index` (1-based), or the whole workbook for code 39, in the format of
  // file-format `code` (3, 6, 39 or 44) into the new file `stagedPath`, checking every
  // write. Messages name `shownPath`, the file the user sees. Needs the stored values of
  // every sheet. Returns the bytes written.
  long long save(int index, int code, const std::string& stagedPath, const std::string& shownPath);
  void close();
  // Closes what is open, ends the office (by PID when it does not go) and deletes its
  // profile. Safe on every path.
  void release();

  bool officeRunning() { return office_.running(); }
  // True when the office runs and answers a call over the bridge.
  bool officeAnswers();

 private:
  long long saveStaged(int index, int code, const std::string& stagedPath,
                       const std::string& shownPath);
  void requireOffice() const;
  void requireWorkbook() const;
  css::uno::Reference<css::sheet::XSpreadsheet> sheet(int index);
  // Turns automatic calculation on once every sheet holds the stored results.
  void startCalculating();
  css::uno::Reference<css::lang::XComponent> newDocument();
  // A new frameless document holding a copy of sheet `index` alone; the caller closes it.
  css::uno::Reference<css::lang::XComponent> copyOfSheet(int index);
  // Writes sheet `index` alone into `output` through `filter`; `firstSheetOnly` says that
  // the filter writes only a document's first sheet.
  void storeSheet(int index, const char* filter, const std::string& options, bool firstSheetOnly,
                  CheckedOutput& output);

  OfficeProcess office_;
  css::uno::Reference<css::uno::XComponentContext> local_;
  css::uno::Reference<css::uno::XComponentContext> remote_;
  css::uno::Reference<css::lang::XMultiComponentFactory> factory_;
  css::uno::Reference<css::frame::XDesktop2> desktop_;
  css::uno::Reference<css::lang::XComponent> workbook_;
  std::vector<bool> valuesGiven_;  // per sheet of the open workbook
  bool calculating_ = false;
  bool alerts_ = true;
};

}  // namespace tabulor::calc
