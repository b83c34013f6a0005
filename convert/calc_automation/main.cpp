// tabulor-calc-helper: drives LibreOffice Calc for tabulor's spreadsheet path. Reads one
// request line at a time on standard input and answers each on standard output (the
// protocol is in convert/automation_protocol.h). Ends the office when released, when its
// input ends, and, through the parent-death signal, when it is killed.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "convert/automation_protocol.h"
#include "convert/calc_automation/calc_session.h"
#include "convert/calc_automation/uno_errors.h"

using namespace tabulor::automation;
using tabulor::calc::CalcSession;

namespace {

int number(const std::vector<std::string>& request, size_t field) {
  if (field >= request.size()) throw std::invalid_argument("missing argument");
  return static_cast<int>(std::strtol(request[field].c_str(), nullptr, 10));
}
const std::string& text(const std::vector<std::string>& request, size_t field) {
  if (field >= request.size()) throw std::invalid_argument("missing argument");
  return request[field];
}

std::string handle(CalcSession& session, const std::vector<std::string>& request) {
  const std::string& verb = request[0];
  if (verb == "create") {
    std::string why = session.create(request.size() > 1 ? number(request, 1) : 0);
    return why.empty() ? std::string(ReplyOk) : encodeLine({std::string(ReplyAbsent), why});
  }
  if (verb == "alerts") {
    // Sent before each workbook: an office that ended since the last one is reported here,
    // before any work is given to it.
    if (!session.officeAnswers())
      return errorLine(KindBridge, CodeCallFailed, "LibreOffice has ended.");
    session.setAlerts(request.size() > 1 && request[1] == "on");
    return std::string(ReplyOk);
  }
  if (verb == "open") {
    session.open(text(request, 1), request.size() > 2 ? request[2] : std::string());
    return std::string(ReplyOk);
  }
  if (verb == "count") return encodeLine({"ok", std::to_string(session.sheetCount())});
  if (verb == "name") return encodeLine({"ok", session.sheetName(number(request, 1))});
  if (verb == "values") {
    const int sheet = number(request, 1);
    const std::vector<std::string> cells(request.begin() + 2, request.end());
    return encodeLine({"ok", std::to_string(session.putStoredValues(sheet, cells))});
  }
  if (verb == "save") {
    const std::string& staged = text(request, 3);
    const long long bytes = session.save(number(request, 1), number(request, 2), staged,
                                         request.size() > 4 ? request[4] : staged);
    return encodeLine({"ok", std::to_string(bytes)});
  }
  if (verb == "close") {
    session.close();
    return std::string(ReplyOk);
  }
  if (verb == "release") {
    session.release();
    return std::string(ReplyOk);
  }
  return errorLine(KindGeneral, 0, "Unknown request '" + verb + "'.");
}

}  // namespace

int main() {
  // A write to a tabulor that has gone must not kill the helper before it ends the office.
  signal(SIGPIPE, SIG_IGN);
  CalcSession session;
  std::string line;
  while (std::getline(std::cin, line)) {
    std::vector<std::string> request = decodeLine(line);
    std::string reply;
    try {
      reply = handle(session, request);
    } catch (...) {
      reply = tabulor::calc::currentExceptionReply(session.officeRunning());
    }
    std::cout << reply << '\n' << std::flush;
    if (request[0] == "release") return 0;
  }
  session.release();
  return 0;
}
