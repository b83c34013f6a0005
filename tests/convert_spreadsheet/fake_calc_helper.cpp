// A stand-in for the spreadsheet-automation helper: speaks the same line protocol, records
// every request in the file named by FAKE_CALC_LOG (first line "pid <pid>"), writes a small
// file into the staged path of each save, and fails on demand. Environment:
//   FAKE_CALC_SHEETS   sheet names separated by "|" (default "Sheet1")
//   FAKE_CALC_MISSING  the count of formula cells without a stored result that "values"
//                      replies (default 0)
//   FAKE_CALC_FAIL     "<verb>[:<sheet>]=<action>", action one of absent, die, hang, garble,
//                      partial (a save writes part of its file, then fails),
//                      error:<kind>:<hex code>:<description>
//   FAKE_CALC_ONCE     a file: the failure happens only while it does not exist, and the
//                      failing helper creates it (so a fresh helper does not fail again)
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "convert/automation_protocol.h"

using namespace tabulor::automation;

namespace {

std::string env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

void log(const std::string& line) {
  std::string path = env("FAKE_CALC_LOG");
  if (path.empty()) return;
  std::ofstream(path, std::ios::app) << line << "\n";
}

void reply(const std::string& line) {
  std::cout << line << "\n" << std::flush;
}

}  // namespace

int main() {
  signal(SIGPIPE, SIG_IGN);
  log("pid " + std::to_string(getpid()));
  std::vector<std::string> sheets;
  {
    std::string all = env("FAKE_CALC_SHEETS");
    if (all.empty()) all = "Sheet1";
    size_t start = 0;
    for (size_t bar; (bar = all.find('|', start)) != std::string::npos; start = bar + 1)
      sheets.push_back(all.substr(start, bar - start));
    sheets.push_back(all.substr(start));
  }
  const std::string fail = env("FAKE_CALC_FAIL");
  const std::string failWhere = fail.substr(0, fail.find('='));
  const std::string failAction =
      fail.find('=') == std::string::npos ? "" : fail.substr(fail.find('=') + 1);

  std::string line;
  while (std::getline(std::cin, line)) {
    log(line);
    std::vector<std::string> request = decodeLine(line);
    const std::string& verb = request[0];
    std::string where = verb;
    if ((verb == "name" || verb == "save") && request.size() > 1) where += ":" + request[1];
    const std::string once = env("FAKE_CALC_ONCE");
    if (!fail.empty() && (where == failWhere || verb == failWhere) &&
        (once.empty() || !std::ifstream(once))) {
      if (!once.empty()) std::ofstream(once) << "failed\n";
      if (failAction == "absent") {
        reply(encodeLine({std::string(ReplyAbsent), "not installed"}));
        continue;
      }
      if (failAction == "die") return 3;
      if (failAction == "hang") {
        pause();
        return 0;
      }
      if (failAction == "garble") {
        reply("what?");
        continue;
      }
      if (failAction == "partial" && verb == "save") {
        std::ofstream(request.at(3)) << "part of a sheet";
        reply(errorLine(KindDispatch, CodeDiskFull,
                        "Cannot write '" + request.at(4) + "': the disk is full."));
        continue;
      }
      if (failAction.rfind("error:", 0) == 0) {
        std::string rest = failAction.substr(6);
        size_t c1 = rest.find(':'), c2 = rest.find(':', c1 + 1);
        reply(errorLine(rest.substr(0, c1),
                        std::strtoul(rest.substr(c1 + 1, c2 - c1 - 1).c_str(), nullptr, 16),
                        rest.substr(c2 + 1)));
        continue;
      }
    }
    if (verb == "count") {
      reply(encodeLine({"ok", std::to_string(sheets.size())}));
    } else if (verb == "name") {
      size_t i = std::strtoul(request.at(1).c_str(), nullptr, 10);
      reply(encodeLine({"ok", sheets.at(i - 1)}));
    } else if (verb == "open") {
      std::string why;
      std::string path = resolveOpenName(request.at(1), request.size() > 2 ? request[2] : "", &why);
      log("resolved " + path);
      reply(path.empty() ? errorLine(KindDispatch, CodeNotExists, why) : "ok");
    } else if (verb == "values") {
      const std::string missing = env("FAKE_CALC_MISSING");
      reply(encodeLine({"ok", missing.empty() ? "0" : missing}));
    } else if (verb == "save") {
      // The staged file must be new: the helper never writes over a file.
      const bool exists = static_cast<bool>(std::ifstream(request.at(3)));
      std::ofstream out(request.at(3), std::ios::trunc);
      out << "fake sheet " << request[1] << " code " << request[2] << "\n";
      reply(out && !exists ? encodeLine({"ok", "24"})
                           : errorLine(KindDispatch, CodeAccess, "cannot write " + request[3]));
    } else if (verb == "release") {
      reply("ok");
      return 0;
    } else {
      reply("ok");
    }
  }
  return 0;
}
