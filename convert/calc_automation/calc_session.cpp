// The UNO side of the helper. Documents are created frameless (SpreadsheetDocument +
// XLoadable): the headless office aborts when frames are shown, and now and then when hidden
// frames are closed. A sheet is written alone through the CSV filter's sheet option or, for
// the other filters, through a frameless copy of that one sheet; selecting the active sheet
// has no effect on export without a visible view.
#include "convert/calc_automation/calc_session.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <com/sun/star/bridge/XUnoUrlResolver.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/container/XNamed.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XLoadable.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/io/IOException.hpp>
#include <com/sun/star/sheet/FormulaResult.hpp>
#include <com/sun/star/sheet/XCellRangeAddressable.hpp>
#include <com/sun/star/sheet/XCellRangeData.hpp>
#include <com/sun/star/sheet/XCellRangesQuery.hpp>
#include <com/sun/star/sheet/XSheetCellRanges.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/sheet/XSpreadsheets.hpp>
#include <com/sun/star/sheet/XSpreadsheets2.hpp>
#include <com/sun/star/table/CellRangeAddress.hpp>
#include <com/sun/star/table/XCellRange.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <osl/file.hxx>
#include <rtl/bootstrap.hxx>
#include <thread>
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

OUString fileUrl(const std::string& path) {
  OUString url;
  if (osl::FileBase::getFileURLFromSystemPath(ou(path), url) != osl::FileBase::E_None)
    throw HelperError{automation::CodeAccess, "Not a usable file path: '" + path + "'."};
  return url;
}

// A private folder beside the output file: the office writes there under a plain ASCII name
// (its CSV filter appends the sheet name, its dBase filter refuses dots), and the finished
// file is renamed into place, so a failed save never leaves a partial file.
class StagingFolder {
 public:
  explicit StagingFolder(const std::string& outputPath) {
    fs::path folder = fs::path(outputPath).parent_path();
    if (folder.empty()) folder = ".";
    std::string pattern = (folder / ".tabulor-save-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
      const int error = errno;
      // The office's own codes: path not found, or access denied.
      throw HelperError{
          error == ENOENT ? 0x30Cu : automation::CodeAccess,
          "Cannot write into the folder '" + folder.string() + "': " + std::strerror(error) + "."};
    }
    path_ = pattern;
  }
  ~StagingFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  std::string file(const char* name) const { return path_ + "/" + name; }
  // The one file the office wrote here with the given extension.
  std::string written(const char* extension) const {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(path_))
      if (entry.is_regular_file() && entry.path().extension() == extension)
        found.push_back(entry.path().string());
    if (found.size() != 1)
      throw HelperError{automation::CodeGeneralIo, "LibreOffice wrote no single output file."};
    return found.front();
  }

 private:
  std::string path_;
};

void moveInto(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0)
    throw HelperError{automation::CodeAccess,
                      "Cannot write '" + to + "': " + std::strerror(errno) + "."};
}

// The office writes 0 as the dBase language driver, leaving readers to guess the code
// page; the file is written in Windows-1252, so say so (driver 0x57).
constexpr char DbaseCharacterSet[] = "1";  // Windows-1252
void declareDbaseCodePage(const std::string& path) {
  if (FILE* f = std::fopen(path.c_str(), "r+b")) {
    if (std::fseek(f, 29, SEEK_SET) == 0) std::fputc(0x57, f);
    std::fclose(f);
  }
}

// CSV filter options: separator, text delimiter ("), UTF-8, first line, column formats,
// language, quote all text (no), numbers as numbers, save as shown, formulas (no), trim
// (no), sheet number.
std::string csvOptions(int separator, int sheet) {
  return std::to_string(separator) + ",34,76,1,,0,false,true,true,false,false," +
         std::to_string(sheet);
}

}  // namespace

std::string CalcSession::create(int code) {
  if (std::string missing = missingOfficeParts(code); !missing.empty()) return missing;
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
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
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
  // The filter is named: detection would open junk named .xls as text. Read-only, so no lock
  // file is left beside the workbook; macros never run.
  try {
    loadable->load(props({prop("URL", css::uno::Any(fileUrl(path))),
                          prop("FilterName", css::uno::Any(OUString("MS Excel 97"))),
                          prop("ReadOnly", css::uno::Any(true)),
                          prop("MacroExecutionMode", css::uno::Any(sal_Int16(0))),
                          prop("UpdateDocMode", css::uno::Any(sal_Int16(0)))}));
  } catch (const css::io::IOException&) {
    const unsigned code = currentOfficeErrorCode();
    workbook_.clear();
    if (code == 0 || !office_.running()) throw;
    throw HelperError{code, "Cannot open '" + path + "': " + officeErrorText(code) + "."};
  }
}

int CalcSession::sheetCount() {
  requireWorkbook();
  Reference<css::sheet::XSpreadsheetDocument> doc(workbook_, UNO_QUERY_THROW);
  Reference<css::container::XIndexAccess> sheets(doc->getSheets(), UNO_QUERY_THROW);
  return sheets->getCount();
}

std::string CalcSession::sheetName(int index) {
  requireWorkbook();
  Reference<css::sheet::XSpreadsheetDocument> doc(workbook_, UNO_QUERY_THROW);
  Reference<css::container::XIndexAccess> sheets(doc->getSheets(), UNO_QUERY_THROW);
  Reference<css::container::XNamed> sheet(sheets->getByIndex(index - 1), UNO_QUERY_THROW);
  return utf8(sheet->getName());
}

Reference<css::lang::XComponent> CalcSession::newDocument() {
  Reference<css::lang::XComponent> doc(
      factory_->createInstanceWithContext("com.sun.star.sheet.SpreadsheetDocument", remote_),
      UNO_QUERY_THROW);
  Reference<css::frame::XLoadable>(doc, UNO_QUERY_THROW)->initNew();
  return doc;
}

void CalcSession::keepFormulaResults(int index, const Reference<css::sheet::XSpreadsheet>& copy) {
  // The copied formulas are computed again in a document that lacks the workbook's defined
  // names, so a formula using one would give #NAME?. Put the workbook's own results in their
  // place. Formulas whose result is an error stay formulas and give their error again.
  Reference<css::sheet::XSpreadsheetDocument> doc(workbook_, UNO_QUERY_THROW);
  Reference<css::container::XIndexAccess> sheets(doc->getSheets(), UNO_QUERY_THROW);
  Reference<css::sheet::XCellRangesQuery> query(sheets->getByIndex(index - 1), UNO_QUERY_THROW);
  Reference<css::sheet::XSheetCellRanges> formulas = query->queryFormulaCells(
      css::sheet::FormulaResult::VALUE | css::sheet::FormulaResult::STRING);
  Reference<css::container::XIndexAccess> ranges(formulas, UNO_QUERY_THROW);
  for (sal_Int32 rangeIdx = 0; rangeIdx < ranges->getCount(); ++rangeIdx) {
    Reference<css::sheet::XCellRangeData> source(ranges->getByIndex(rangeIdx), UNO_QUERY_THROW);
    css::table::CellRangeAddress at =
        Reference<css::sheet::XCellRangeAddressable>(source, UNO_QUERY_THROW)->getRangeAddress();
    Reference<css::sheet::XCellRangeData>(
        copy->getCellRangeByPosition(at.StartColumn, at.StartRow, at.EndColumn, at.EndRow),
        UNO_QUERY_THROW)
        ->setDataArray(source->getDataArray());
  }
}

void CalcSession::storeSheetCopy(int index, const std::string& url, const char* filter,
                                 const char* options) {
  const OUString name = ou(sheetName(index));
  Reference<css::lang::XComponent> copy = newDocument();
  try {
    Reference<css::sheet::XSpreadsheetDocument> doc(copy, UNO_QUERY_THROW);
    Reference<css::sheet::XSpreadsheets> sheets = doc->getSheets();
    // The new document's own sheet could share the copied sheet's name: rename it first,
    // and remove it once the copy is in.
    Reference<css::container::XIndexAccess> index0(sheets, UNO_QUERY_THROW);
    Reference<css::container::XNamed> blank(index0->getByIndex(0), UNO_QUERY_THROW);
    const OUString placeholder("tabulor-placeholder-sheet");
    blank->setName(placeholder);
    Reference<css::sheet::XSpreadsheets2>(sheets, UNO_QUERY_THROW)
        ->importSheet(Reference<css::sheet::XSpreadsheetDocument>(workbook_, UNO_QUERY_THROW), name,
                      0);
    sheets->removeByName(placeholder);
    keepFormulaResults(
        index, Reference<css::sheet::XSpreadsheet>(
                   Reference<css::container::XIndexAccess>(sheets, UNO_QUERY_THROW)->getByIndex(0),
                   UNO_QUERY_THROW));
    std::vector<css::beans::PropertyValue> list = {
        prop("FilterName", css::uno::Any(OUString::createFromAscii(filter))),
        prop("Overwrite", css::uno::Any(true))};
    if (options)
      list.push_back(prop("FilterOptions", css::uno::Any(OUString::createFromAscii(options))));
    Reference<css::frame::XStorable>(copy, UNO_QUERY_THROW)->storeToURL(ou(url), props(list));
  } catch (...) {
    Reference<css::util::XCloseable> closeable(copy, UNO_QUERY);
    try {
      if (closeable.is()) closeable->close(true);
    } catch (...) {
    }
    throw;
  }
  Reference<css::util::XCloseable>(copy, UNO_QUERY_THROW)->close(true);
}

void CalcSession::save(int index, int code, const std::string& path) {
  requireWorkbook();
  if (index < 1 || index > sheetCount())
    throw HelperError{automation::CodeGeneralIo, "No sheet " + std::to_string(index) + "."};
  struct stat st;
  if (alerts_ && ::stat(path.c_str(), &st) == 0)
    throw HelperError{0x11B, "'" + path + "' exists and may not be replaced."};

  try {
    saveStaged(index, code, path);
  } catch (const css::io::IOException&) {
    const unsigned error = currentOfficeErrorCode();
    if (error == 0 || !office_.running()) throw;
    throw HelperError{error, "Cannot write '" + path + "': " + officeErrorText(error) + "."};
  }
}

void CalcSession::saveStaged(int index, int code, const std::string& path) {
  StagingFolder staging(path);
  Reference<css::frame::XStorable> workbook(workbook_, UNO_QUERY_THROW);
  switch (code) {
    case 39: {  // the whole workbook, Excel 97-2003 (BIFF8)
      std::string staged = staging.file("book.xls");
      workbook->storeToURL(fileUrl(staged),
                           props({prop("FilterName", css::uno::Any(OUString("MS Excel 97"))),
                                  prop("Overwrite", css::uno::Any(true))}));
      moveInto(staged, path);
      return;
    }
    case 3:    // tab-separated text
    case 6: {  // comma-separated text
      // The sheet option makes the filter append "-<sheet name>" to the file name.
      workbook->storeToURL(
          fileUrl(staging.file("sheet.csv")),
          props({prop("FilterName", css::uno::Any(OUString("Text - txt - csv (StarCalc)"))),
                 prop("FilterOptions", css::uno::Any(ou(csvOptions(code == 3 ? 9 : 44, index)))),
                 prop("Overwrite", css::uno::Any(true))}));
      moveInto(staging.written(".csv"), path);
      return;
    }
    case 44: {  // HTML: the filter would write every sheet into one page
      std::string staged = staging.file("sheet.htm");
      storeSheetCopy(index, utf8(fileUrl(staged)), "HTML (StarCalc)", nullptr);
      moveInto(staged, path);
      return;
    }
    case 8: {  // dBase III, with a .dbt memo file beside it for long texts
      std::string staged = staging.file("sheet.dbf");
      storeSheetCopy(index, utf8(fileUrl(staged)), "dBase", DbaseCharacterSet);
      declareDbaseCodePage(staged);
      std::string memo = staging.file("sheet.dbt");
      if (::access(memo.c_str(), F_OK) == 0) {
        fs::path target(path);
        moveInto(memo, target.replace_extension(".dbt").string());
      }
      moveInto(staged, path);
      return;
    }
    default:
      throw HelperError{0x81A,
                        "LibreOffice cannot write file-format code " + std::to_string(code) + "."};
  }
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
    grace = 10;
    try {
      desktop_->terminate();
    } catch (...) {
      // The bridge goes down while terminate returns: a DisposedException is expected.
    }
  }
  workbook_.clear();
  desktop_.clear();
  factory_.clear();
  remote_.clear();
  if (local_.is()) {
    try {
      Reference<css::lang::XComponent>(local_, UNO_QUERY_THROW)->dispose();
    } catch (...) {
    }
    local_.clear();
  }
  office_.stop(grace);
}

}  // namespace tabulor::calc
