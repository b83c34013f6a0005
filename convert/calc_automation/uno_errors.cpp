// Mapping of UNO exceptions to error replies. Load errors carry their code in
// ErrorCodeIOException::ErrCode; store errors are re-wrapped by the office into a plain
// IOException whose message holds "failed: 0x<code>", so the code is parsed from there.
#include "convert/calc_automation/uno_errors.h"

#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/task/ErrorCodeIOException.hpp>
#include <com/sun/star/uno/Exception.hpp>
#include <cppuhelper/exc_hlp.hxx>
#include <cstdio>
#include <exception>
#include <regex>
#include <rtl/ustring.hxx>

#include "convert/automation_protocol.h"

namespace tabulor::calc {

using namespace tabulor::automation;
namespace css = com::sun::star;

namespace {

// Bits 26-30 of an office error code only index a dynamic message: not part of the code.
constexpr unsigned DynamicBits = 0x7C000000;

std::string utf8(const rtl::OUString& text) {
  return rtl::OUStringToOString(text, RTL_TEXTENCODING_UTF8).getStr();
}

// The message without the office's " at ./path/file.cxx:123" source positions.
std::string cleanMessage(const std::string& message) {
  static const std::regex sourcePosition(R"( at [^ ]+\.(cxx|hxx|cpp):[0-9]+)");
  return std::regex_replace(message, sourcePosition, "");
}

}  // namespace

std::string officeErrorText(unsigned code) {
  // Codes as the office builds them: area << 13 | class << 8 | number.
  switch (code) {
    case 0x11B:
      return "the load was aborted (the workbook may be password-protected)";
    case 0x20D:
      return "general input/output error";
    case 0x30B:
      return "the file does not exist";
    case 0x30C:
      return "the folder does not exist";
    case 0x507:
      return "access denied";
    case 0x81A:
      return "the filter cannot do this (invalid parameter)";
    case 0x40B08:
      return "not an Excel workbook LibreOffice can read";
    case 0x40C05:
      return "the dBase export failed";
    default: {
      // Otherwise say what kind of step failed, by the code's class.
      const unsigned errorClass = (code >> 8) & 0x1F;
      const char* what = errorClass == 11 || errorClass == 17   ? "reading failed"
                         : errorClass == 12 || errorClass == 18 ? "writing failed"
                                                                : "the operation failed";
      char text[80];
      std::snprintf(text, sizeof text, "%s (LibreOffice error 0x%x)", what, code);
      return text;
    }
  }
}

unsigned currentOfficeErrorCode() {
  try {
    throw;
  } catch (const css::task::ErrorCodeIOException& e) {
    return static_cast<unsigned>(e.ErrCode) & ~DynamicBits;
  } catch (const css::uno::Exception& e) {
    static const std::regex coded(R"(failed: 0x([0-9a-fA-F]+))");
    std::smatch match;
    std::string message = utf8(e.Message);
    if (std::regex_search(message, match, coded))
      return static_cast<unsigned>(std::stoul(match[1].str(), nullptr, 16)) & ~DynamicBits;
  } catch (...) {
  }
  return 0;
}

std::string currentExceptionReply(bool officeRunning) {
  try {
    throw;
  } catch (const HelperError& e) {
    return errorLine(KindDispatch, e.code, e.description);
  } catch (const css::lang::DisposedException& e) {
    return errorLine(KindBridge, CodeCallFailed, cleanMessage(utf8(e.Message)));
  } catch (const css::task::ErrorCodeIOException& e) {
    if (!officeRunning) return errorLine(KindBridge, CodeCallFailed, utf8(e.Message));
    return errorLine(KindDispatch, static_cast<unsigned>(e.ErrCode) & ~DynamicBits,
                     cleanMessage(utf8(e.Message)));
  } catch (const css::uno::Exception& e) {
    std::string message = cleanMessage(utf8(e.Message));
    if (!officeRunning) return errorLine(KindBridge, CodeCallFailed, message);
    static const std::regex coded(R"(failed: 0x([0-9a-fA-F]+))");
    std::smatch match;
    unsigned code = CodeGeneralIo;
    if (std::regex_search(message, match, coded))
      code = static_cast<unsigned>(std::stoul(match[1].str(), nullptr, 16)) & ~DynamicBits;
    if (message.empty()) message = utf8(cppu::getCaughtException().getValueTypeName());
    return errorLine(KindDispatch, code, message);
  } catch (const std::exception& e) {
    return errorLine(KindGeneral, 0, e.what());
  } catch (...) {
    return errorLine(KindGeneral, 0, "unknown exception");
  }
}

}  // namespace tabulor::calc
