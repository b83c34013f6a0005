// The UNO side of the helper. Documents are created frameless (SpreadsheetDocument +
// XLoadable): the headless office aborts when frames are shown, and now and then when hidden
// frames are closed. Formulas are never computed by the office: the workbook's stored
// results replace them. A sheet is written alone through a frameless copy of that one sheet
// (selecting the active sheet has no effect on export without a visible view), into a stream
// whose every write the helper checks.
#include "convert/calc_automation/calc_session.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <com/sun/star/bridge/XUnoUrlResolver.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/container/XNamed.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XLoadable.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/io/IOException.hpp>
#include <com/sun/star/io/XInputStream.hpp>
#include <com/sun/star/lang/Locale.hpp>
#include <com/sun/star/sheet/CellFlags.hpp>
#include <com/sun/star/sheet/XCalculatable.hpp>
#include <com/sun/star/sheet/XCellRangeAddressable.hpp>
#include <com/sun/star/sheet/XCellRangeData.hpp>
#include <com/sun/star/sheet/XCellRangeFormula.hpp>
#include <com/sun/star/sheet/XCellRangesQuery.hpp>
#include <com/sun/star/sheet/XSheetCellRanges.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/sheet/XSpreadsheets.hpp>
#include <com/sun/star/sheet/XSpreadsheets2.hpp>
#include <com/sun/star/table/CellAddress.hpp>
#include <com/sun/star/table/CellRangeAddress.hpp>
#include <com/sun/star/table/XCell.hpp>
#include <com/sun/star/table/XCellRange.hpp>
#include <com/sun/star/ucb/XSimpleFileAccess.hpp>
#include <com/sun/star/util/NumberFormat.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <com/sun/star/util/XNumberFormatTypes.hpp>
#include <com/sun/star/util/XNumberFormatsSupplier.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <rtl/bootstrap.hxx>
#include <thread>
#include <utility>
#include <vector>

#include "convert/automation_protocol.h"
#include "convert/calc_automation/uno_errors.h"

namespace tabulor::calc {

using css::uno::Reference;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;
using rtl::OUString;
namespace fs = std::filesystem;

namespace {

const std::string ProgramUrl = std::string("file://") + LO_PROGRAM_DIR;

OUString ou(const std::string& text) {
  return OUString(text.data(), static_cast<sal_Int32>(text.size()), RTL_TEXTENCODING_UTF8);
}
std::string utf8(const OUString& text) {
  return rtl::OUStringToOString(text, RTL_TEXTENCODING_UTF8).getStr();
}

css::beans::PropertyValue prop(const char* name, const css::uno::Any& value) {
  css::beans::PropertyValue p;
  p.Name = OUString::createFromAscii(name);
  p.Value = value;
  return p;
}
css::uno::Sequence<css::beans::PropertyValue> props(
    const std::vector<css::beans::PropertyValue>& list) {
  return css::uno::Sequence<css::beans::PropertyValue>(list.data(),
                                                       static_cast<sal_Int32>(list.size()));
}

// A file URL of `path`, made absolute (the office runs in another folder), every byte that
// is not plain ASCII or that URLs reserve ("#", "%", "?", blanks) percent-encoded.
OUString fileUrl(const std::string& path) {
  std::error_code ec;
  const std::string absolute = fs::absolute(path, ec).lexically_normal().string();
  if (ec || absolute.empty() || absolute[0] != '/')
    throw HelperError{automation::CodeAccess, "Not a usable file path: '" + path + "'."};
  static const char Hex[] = "0123456789ABCDEF";
  std::string url = "file://";
  for (unsigned char c : absolute) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (plain || c == '/' || c == '-' || c == '.' || c == '_' || c == '~') {
      url += static_cast<char>(c);
    } else {
      url += '%';
      url += Hex[c >> 4];
      url += Hex[c & 15];
    }
  }
  return OUString::createFromAscii(url.c_str());
}

// CSV filter options: separator, text delimiter ("), UTF-8, first line, column formats,
// language, quote all text (no), numbers as numbers, save as shown, formulas (no), trim
// (no). Without a sheet number the filter writes the document's first sheet.
std::string csvOptions(int separator) {
  return std::to_string(separator) + ",34,76,1,,0,false,true,true,false,false";
}

// Error codes of the workbook file and the formula text that gives each in the office.
const char* errorFormula(int code) {
  switch (code) {
    case 0x00:
      return "=#NULL!";
    case 0x07:
      return "=#DIV/0!";
    case 0x0F:
      return "=#VALUE!";
    case 0x17:
      return "=#REF!";
    case 0x1D:
      return "=#NAME?";
    case 0x24:
      return "=#NUM!";
    case 0x2A:
      return "=#N/A";
    default:
      return nullptr;
  }
}

// One stored result of the workbook file: its kind ('n' number, 's' text, 'b' boolean,
// 'e' error) and value, as the protocol's "values" request carries it.
struct StoredValue {
  char kind;
  std::string value;
};

}  // namespace

std::string CalcSession::create(int code) {
  if (code != 3 && code != 6 && code != 39 && code != 44)
    return "LibreOffice cannot write file-format code " + std::to_string(code) + ".";
  if (std::string missing = missingOfficeParts(); !missing.empty()) return missing;
  std::string why;
  if (!office_.start(&why)) return why;

  rtl::Bootstrap::set(OUString("UNO_TYPES"),
                      ou(ProgramUrl + "/types.rdb " + ProgramUrl + "/types/offapi.rdb"));
  rtl::Bootstrap::set(OUString("UNO_SERVICES"), ou(ProgramUrl + "/services.rdb"));
  rtl::Bootstrap::set(OUString("URE_INTERNAL_LIB_DIR"), ou(ProgramUrl));
  try {
    local_ = cppu::defaultBootstrap_InitialComponentContext();
    Reference<css::bridge::XUnoUrlResolver> resolver = css::bridge::UnoUrlResolver::create(local_);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (;;) {
      try {
        remote_.set(resolver->resolve(ou(office_.connectUrl())), UNO_QUERY_THROW);
        break;
      } catch (const css::connection::NoConnectException&) {
      }
      if (!office_.running() && !office_.restartIfAsked(&why)) break;  // ended, not restarted
      if (std::chrono::steady_clock::now() >= deadline) {
        why = "LibreOffice did not accept a connection within 60 seconds.";
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (remote_.is()) {
      office_.markStarted();
      factory_ = remote_->getServiceManager();
      desktop_ = css::frame::Desktop::create(remote_);
      return {};
    }
  } catch (const css::uno::Exception& e) {
    why = "Cannot connect to LibreOffice: " + utf8(e.Message);
  }
  release();
  return why.empty() ? "LibreOffice did not start." : why;
}

bool CalcSession::officeAnswers() {
  if (!desktop_.is() || !office_.running()) return false;
  try {
    desktop_->getCurrentComponent();
    return true;
  } catch (const css::uno::Exception&) {
    return false;
  }
}

void CalcSession::requireOffice() const {
  if (!desktop_.is()) throw HelperError{automation::CodeCallFailed, "LibreOffice is not running."};
}

void CalcSession::requireWorkbook() const {
  requireOffice();
  if (!workbook_.is()) throw HelperError{automation::CodeGeneralIo, "No workbook is open."};
}

void CalcSession::open(const std::string& openName, const std::string& ending) {
  requireOffice();
  std::string why;
  std::string path = automation::resolveOpenName(openName, ending, &why);
  if (path.empty()) throw HelperError{automation::CodeNotExists, why};
  close();
  Reference<css::uno::XInterface> doc =
      factory_->createInstanceWithContext("com.sun.star.sheet.SpreadsheetDocument", remote_);
  workbook_.set(doc, UNO_QUERY_THROW);
  Reference<css::frame::XLoadable> loadable(doc, UNO_QUERY_THROW);
  // The office reads the workbook from a stream it opens read-only: a document loaded by
  // its URL would have to be read-only (so that no lock file is left beside the workbook),
  // and a read-only document refuses the stored values in blocks. The filter is named:
  // detection would open junk named .xls as text. Macros never run.
  if (::access(path.c_str(), R_OK) != 0) {
    const int error = errno;
    throw HelperError{error == ENOENT ? automation::CodeNotExists : automation::CodeAccess,
                      "Cannot open '" + path + "': " + std::strerror(error) + "."};
  }
  try {
    Reference<css::ucb::XSimpleFileAccess> files(
        factory_->createInstanceWithContext("com.sun.star.ucb.SimpleFileAccess", remote_),
        UNO_QUERY_THROW);
    Reference<css::io::XInputStream> input = files->openFileRead(fileUrl(path));
    loadable->load(props({prop("InputStream", css::uno::Any(input)),
                          prop("URL", css::uno::Any(OUString("private:stream"))),
                          prop("FilterName", css::uno::Any(OUString("MS Excel 97"))),
                          prop("MacroExecutionMode", css::uno::Any(sal_Int16(0))),
                          prop("UpdateDocMode", css::uno::Any(sal_Int16(0)))}));
  } catch (const css::uno::Exception&) {
    const unsigned code = currentOfficeErrorCode();
    workbook_.clear();
    if (code == 0 || !office_.running()) throw;
    throw HelperError{code, "Cannot open '" + path + "': " + officeErrorText(code) + "."};
  }
  // The office computes formulas again when their cells are read, and its results differ
  // from the file's (names it cannot resolve, functions it computes otherwise, text results
  // it does not load at all). Nothing is computed until the file's own results are in.
  Reference<css::sheet::XCalculatable>(doc, UNO_QUERY_THROW)->enableAutomaticCalculation(false);
  valuesGiven_.assign(static_cast<size_t>(sheetCount()), false);
  calculating_ = false;
}

int CalcSession::sheetCount() {
  requireWorkbook();
  Reference<css::sheet::XSpreadsheetDocument> doc(workbook_, UNO_QUERY_THROW);
  Reference<css::container::XIndexAccess> sheets(doc->getSheets(), UNO_QUERY_THROW);
  return sheets->getCount();
}

Reference<css::sheet::XSpreadsheet> CalcSession::sheet(int index) {
  requireWorkbook();
  Reference<css::sheet::XSpreadsheetDocument> doc(workbook_, UNO_QUERY_THROW);
  Reference<css::container::XIndexAccess> sheets(doc->getSheets(), UNO_QUERY_THROW);
  if (index < 1 || index > sheets->getCount())
    throw HelperError{automation::CodeGeneralIo, "No sheet " + std::to_string(index) + "."};
  return Reference<css::sheet::XSpreadsheet>(sheets->getByIndex(index - 1), UNO_QUERY_THROW);
}

std::string CalcSession::sheetName(int index) {
  return utf8(Reference<css::container::XNamed>(sheet(index), UNO_QUERY_THROW)->getName());
}

int CalcSession::putStoredValues(int index, const std::vector<std::string>& cells) {
  Reference<css::sheet::XSpreadsheet> target = sheet(index);
  std::map<std::pair<long, long>, StoredValue> stored;  // (row, column) -> value
  for (size_t at = 0; at + 2 < cells.size(); at += 3) {
    const std::string& value = cells[at + 2];
    if (value.empty()) throw HelperError{automation::CodeGeneralIo, "A stored value has no kind."};
    stored[{std::strtol(cells[at].c_str(), nullptr, 10),
            std::strtol(cells[at + 1].c_str(), nullptr, 10)}] = {value[0], value.substr(1)};
  }

  // Every formula cell gets the result the file holds: numbers and texts as constants in one
  // call per block of cells, errors and booleans as formulas that give exactly that value.
  Reference<css::container::XIndexAccess> blocks(
      Reference<css::sheet::XCellRangesQuery>(target, UNO_QUERY_THROW)
          ->queryContentCells(css::sheet::CellFlags::FORMULA),
      UNO_QUERY_THROW);
  int missing = 0;
  std::vector<std::pair<css::table::CellAddress, const StoredValue*>> formulas;
  for (sal_Int32 blockIdx = 0; blockIdx < blocks->getCount(); ++blockIdx) {
    Reference<css::sheet::XCellRangeAddressable> block(blocks->getByIndex(blockIdx),
                                                       UNO_QUERY_THROW);
    const css::table::CellRangeAddress at = block->getRangeAddress();
    const sal_Int32 rows = at.EndRow - at.StartRow + 1, cols = at.EndColumn - at.StartColumn + 1;
    const size_t formulasBefore = formulas.size();
    css::uno::Sequence<css::uno::Sequence<css::uno::Any>> data(rows);
    for (sal_Int32 rowIdx = 0; rowIdx < rows; ++rowIdx) {
      css::uno::Sequence<css::uno::Any> line(cols);
      for (sal_Int32 colIdx = 0; colIdx < cols; ++colIdx) {
        const long row = at.StartRow + rowIdx, col = at.StartColumn + colIdx;
        auto hit = stored.find({row, col});
        css::uno::Any& cell = line.getArray()[colIdx];
        if (hit == stored.end()) {
          ++missing;
          cell <<= OUString();
          continue;
        }
        const StoredValue& value = hit->second;
        if (value.kind == 'n') {
          cell <<= std::strtod(value.value.c_str(), nullptr);
        } else if (value.kind == 's') {
          cell <<= ou(value.value);
        } else if (value.kind == 'e' &&
                   !errorFormula(static_cast<int>(std::strtol(value.value.c_str(), nullptr, 10)))) {
          // A code the office has no error for: its text, as the file's reader shows it.
          cell <<= ou("#ERR" + value.value + "!");
        } else {
          cell <<= OUString();
          formulas.push_back({css::table::CellAddress(at.Sheet, col, row), &value});
        }
      }
      data.getArray()[rowIdx] = line;
    }
    // A block of errors and booleans alone (a column of booleans) is written below.
    const size_t special = formulas.size() - formulasBefore;
    if (special < static_cast<size_t>(rows) * static_cast<size_t>(cols))
      Reference<css::sheet::XCellRangeData>(block, UNO_QUERY_THROW)->setDataArray(data);
  }

  // Errors and booleans go in by runs down a column (a column of booleans is one call).
  std::sort(formulas.begin(), formulas.end(), [](const auto& x, const auto& y) {
    return std::pair(x.first.Column, x.first.Row) < std::pair(y.first.Column, y.first.Row);
  });
  sal_Int32 logical = -1;
  for (size_t first = 0, end = 0; first < formulas.size(); first = end) {
    const css::table::CellAddress start = formulas[first].first;
    const bool booleans = formulas[first].second->kind == 'b';
    for (end = first + 1; end < formulas.size(); ++end) {
      const css::table::CellAddress at = formulas[end].first;
      if (at.Column != start.Column || at.Row != start.Row + static_cast<sal_Int32>(end - first) ||
          (formulas[end].second->kind == 'b') != booleans)
        break;
    }
    css::uno::Sequence<css::uno::Sequence<OUString>> texts(static_cast<sal_Int32>(end - first));
    for (size_t at = first; at < end; ++at) {
      const StoredValue& value = *formulas[at].second;
      const char* formula =
          booleans ? (value.value == "0" ? "=FALSE()" : "=TRUE()")
                   : errorFormula(static_cast<int>(std::strtol(value.value.c_str(), nullptr, 10)));
      const OUString text = OUString::createFromAscii(formula);
      texts.getArray()[at - first] = css::uno::Sequence<OUString>(&text, 1);
    }
    Reference<css::table::XCellRange> run = target->getCellRangeByPosition(
        start.Column, start.Row, start.Column, start.Row + static_cast<sal_Int32>(end - first) - 1);
    Reference<css::sheet::XCellRangeFormula>(run, UNO_QUERY_THROW)->setFormulaArray(texts);
    if (!booleans) continue;
    // Shown as TRUE and FALSE, as the file's reader shows them, not as 1 and 0.
    if (logical < 0) {
      Reference<css::util::XNumberFormatTypes> types(
          Reference<css::util::XNumberFormatsSupplier>(workbook_, UNO_QUERY_THROW)
              ->getNumberFormats(),
          UNO_QUERY_THROW);
      logical = types->getStandardFormat(css::util::NumberFormat::LOGICAL, css::lang::Locale());
    }
    Reference<css::beans::XPropertySet>(run, UNO_QUERY_THROW)
        ->setPropertyValue("NumberFormat", css::uno::Any(logical));
  }
  valuesGiven_.at(static_cast<size_t>(index - 1)) = true;
  return missing;
}

void CalcSession::startCalculating() {
  if (calculating_) return;
  for (size_t sheetIdx = 0; sheetIdx < valuesGiven_.size(); ++sheetIdx)
    if (!valuesGiven_[sheetIdx])
      throw HelperError{automation::CodeGeneralIo,
                        "The workbook's own values were not given for sheet " +
                            std::to_string(sheetIdx + 1) + "."};
  // Only the formulas that give the stored errors and booleans are left to compute.
  Reference<css::sheet::XCalculatable>(workbook_, UNO_QUERY_THROW)
      ->enableAutomaticCalculation(true);
  calculating_ = true;
}

Reference<css::lang::XComponent> CalcSession::newDocument() {
  Reference<css::lang::XComponent> doc(
      factory_->createInstanceWithContext("com.sun.star.sheet.SpreadsheetDocument", remote_),
      UNO_QUERY_THROW);
  Reference<css::frame::XLoadable>(doc, UNO_QUERY_THROW)->initNew();
  return doc;
}

namespace {

// Closes a document of ours when it goes out of scope, on every path.
class ClosesDocument {
 public:
  explicit ClosesDocument(Reference<css::lang::XComponent> doc) : doc_(std::move(doc)) {}
  ~ClosesDocument() {
    try {
      Reference<css::util::XCloseable> closeable(doc_, UNO_QUERY);
      if (closeable.is()) closeable->close(true);
    } catch (...) {
    }
  }
  // Keeps the document open after all.
  void dismiss() { doc_.clear(); }

 private:
  Reference<css::lang::XComponent> doc_;
};

}  // namespace

Reference<css::lang::XComponent> CalcSession::copyOfSheet(int index) {
  const OUString name = ou(sheetName(index));
  Reference<css::lang::XComponent> copy = newDocument();
  ClosesDocument closeOnFailure(copy);
  // Dates are day numbers counted from the document's null date: the copy counts from the
  // workbook's (1904-01-01 for a workbook in the 1904 date system), or every date moves.
  Reference<css::beans::XPropertySet>(copy, UNO_QUERY_THROW)
      ->setPropertyValue("NullDate", Reference<css::beans::XPropertySet>(workbook_, UNO_QUERY_THROW)
                                         ->getPropertyValue("NullDate"));
  Reference<css::sheet::XSpreadsheets> sheets =
      Reference<css::sheet::XSpreadsheetDocument>(copy, UNO_QUERY_THROW)->getSheets();
  // The new document's own sheet could share the copied sheet's name: rename it first, and
  // remove it once the copy is in.
  Reference<css::container::XNamed> blank(
      Reference<css::container::XIndexAccess>(sheets, UNO_QUERY_THROW)->getByIndex(0),
      UNO_QUERY_THROW);
  const OUString placeholder("tabulor-placeholder-sheet");
  blank->setName(placeholder);
  Reference<css::sheet::XSpreadsheets2>(sheets, UNO_QUERY_THROW)
      ->importSheet(Reference<css::sheet::XSpreadsheetDocument>(workbook_, UNO_QUERY_THROW), name,
                    0);
  sheets->removeByName(placeholder);
  closeOnFailure.dismiss();
  return copy;
}

void CalcSession::storeSheet(int index, const char* filter, const std::string& options,
                             bool firstSheetOnly, CheckedOutput& output) {
  std::vector<css::beans::PropertyValue> list = {
      prop("FilterName", css::uno::Any(OUString::createFromAscii(filter))),
      prop("OutputStream", css::uno::Any(Reference<css::io::XOutputStream>(&output)))};
  if (!options.empty()) list.push_back(prop("FilterOptions", css::uno::Any(ou(options))));
  // A filter that writes the first sheet alone writes sheet 1 straight from the workbook;
  // so does any filter when the workbook has one sheet. Other sheets go through a copy.
  if (index == 1 && (firstSheetOnly || sheetCount() == 1)) {
    Reference<css::frame::XStorable>(workbook_, UNO_QUERY_THROW)
        ->storeToURL(OUString("private:stream"), props(list));
    return;
  }
  Reference<css::lang::XComponent> copy = copyOfSheet(index);
  ClosesDocument closes(copy);
  Reference<css::frame::XStorable>(copy, UNO_QUERY_THROW)
      ->storeToURL(OUString("private:stream"), props(list));
}

long long CalcSession::save(int index, int code, const std::string& stagedPath,
                            const std::string& shownPath) {
  requireWorkbook();
  sheet(index);  // the sheet exists
  struct stat st;
  if (alerts_ && ::stat(shownPath.c_str(), &st) == 0)
    throw HelperError{0x11B, "'" + shownPath + "' exists and may not be replaced."};
  startCalculating();
  try {
    return saveStaged(index, code, stagedPath, shownPath);
  } catch (const css::uno::Exception&) {
    const unsigned error = currentOfficeErrorCode();
    if (error == 0 || !office_.running()) throw;
    throw HelperError{error, "Cannot write '" + shownPath + "': " + officeErrorText(error) + "."};
  }
}

long long CalcSession::saveStaged(int index, int code, const std::string& stagedPath,
                                  const std::string& shownPath) {
  Reference<CheckedOutput> output(new CheckedOutput(stagedPath, shownPath));
  try {
    switch (code) {
      case 39:  // the whole workbook, Excel 97-2003 (BIFF8)
        Reference<css::frame::XStorable>(workbook_, UNO_QUERY_THROW)
            ->storeToURL(
                OUString("private:stream"),
                props({prop("FilterName", css::uno::Any(OUString("MS Excel 97"))),
                       prop("OutputStream",
                            css::uno::Any(Reference<css::io::XOutputStream>(output.get())))}));
        break;
      case 3:  // tab-separated text
      case 6:  // comma-separated text
        storeSheet(index, "Text - txt - csv (StarCalc)", csvOptions(code == 3 ? 9 : 44), true,
                   *output);
        break;
      case 44:  // HTML: the filter writes every sheet into one page
        storeSheet(index, "HTML (StarCalc)", "", false, *output);
        break;
      default:
        throw HelperError{
            0x81A, "LibreOffice cannot write file-format code " + std::to_string(code) + "."};
    }
  } catch (...) {
    // A failed write is the cause, whatever the office made of it.
    output->throwIfWriteFailed();
    throw;
  }
  return output->finish();
}

void CalcSession::close() {
  if (!workbook_.is()) return;
  Reference<css::util::XCloseable> closeable(workbook_, UNO_QUERY);
  workbook_.clear();
  if (closeable.is()) closeable->close(true);
}

void CalcSession::release() {
  double grace = 0;  // an office not asked to end is killed at once
  if (desktop_.is()) {
    try {
      close();
    } catch (...) {
    }
    // With every document closed and every output written and flushed, the office holds
    // nothing of value: it is killed at once, unless its profile is to be kept, which only
    // an office that ends by itself leaves complete.
    if (office_.profileWanted()) {
      grace = 10;
      try {
        desktop_->terminate();
      } catch (...) {
        // The bridge goes down while terminate returns: a DisposedException is expected.
      }
    }
  }
  workbook_.clear();
  desktop_.clear();
  factory_.clear();
  remote_.clear();
  office_.stop(grace);
  if (local_.is()) {
    try {
      Reference<css::lang::XComponent>(local_, UNO_QUERY_THROW)->dispose();
    } catch (...) {
    }
    local_.clear();
  }
}

}  // namespace tabulor::calc
