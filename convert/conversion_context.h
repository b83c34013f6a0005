// What a conversion call needs from its owner (the window or the batch run): the program's
// folder (for Blank.mdb), the one database connection shared with the preview, and the
// channel for messages, and the spreadsheet-automation helper program.
#pragma once

#include <string>

#include "convert/messages.h"
#include "convert/run_listener.h"
#include "engine/database.h"

namespace tabulor {

class OfficeSession;
class RunPlan;

struct ConversionContext {
  std::string programFolder;  // folder of the executable, ending in "/"
  Database* database = nullptr;
  Messages* messages = nullptr;
  // The run this conversion belongs to (its sources and claimed outputs), and who hears of
  // skipped files and notices. Without a plan a conversion plans for its own file alone.
  RunPlan* plan = nullptr;
  RunListener* listener = nullptr;
  // The spreadsheet application of the run, started on the first workbook and ended with
  // the run; without one a conversion starts and ends its own. False `useOffice` (the
  // command line's --no-office) sends every workbook to the database engine.
  OfficeSession* office = nullptr;
  bool useOffice = true;
  // The program that drives the spreadsheet application; empty means
  // programFolder + AutomationHelperName. Tests point it at a fake.
  std::string automationHelper{};
  // Limits for the helper: starting the application, and any one call after that (opening a
  // workbook, writing one sheet). A call that takes longer is taken for a hung application:
  // it is killed, the call is reported as an automation error, and the next workbook gets a
  // fresh one.
  int automationCreateTimeoutSeconds = 120;
  int automationCallTimeoutSeconds = 300;
};

// File name of the automation helper, installed beside the tabulor executable.
inline constexpr const char* AutomationHelperName = "tabulor-calc-helper";

}  // namespace tabulor
