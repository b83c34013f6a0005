// The spreadsheet-application path: converts a workbook sheet by sheet through the
// spreadsheet application (LibreOffice Calc, driven by the automation helper program).
// Declines (0) what the application cannot do, so the database engine converts it; once the
// application has the workbook, every outcome is "done" (1), failures shown as message boxes.
//
// The application is trusted with the layout of the values (their formats, the sheets'
// shape), never with the values themselves: the engine reads the workbook first, and the
// results the file stores for its formulas, errors and booleans replace what the
// application would compute. Outputs are named and claimed from the engine's sheet list
// before the application is asked, written into a private staging folder with every write
// checked, and moved into place whole.
#include "convert/spreadsheet_app_conversion.h"

#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <optional>
#include <set>
#include <utility>

#include "convert/automation_client.h"
#include "convert/automation_protocol.h"
#include "convert/office_session.h"
#include "convert/run_plan.h"
#include "convert/workbook_facts.h"
#include "engine/engine_error.h"
#include "engine/file_names.h"
#include "engine/staging.h"

namespace tabulor {

namespace {

// Codes whose target format the application writes itself, with the workbook's values.
// It has no Lotus writer (5) and no dBase IV writer (11), and writes dBase III for 9; its
// dBase III writer (8) gives blank cells of number and logical columns the values 0 and
// false. Those files are left to the engine, which writes each format as asked.
bool applicationWritesCode(int code) {
  return code == 3 || code == 6 || code == 44 || code == 39;
}

// Cuts `text` to at most `bytes` bytes without splitting a UTF-8 sequence.
std::string cutUtf8(const std::string& text, size_t bytes) {
  if (text.size() <= bytes) return text;
  size_t end = bytes;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

// The message texts are formed in a buffer of 1,024 bytes; a long description is cut so the
// whole text, closing quote included, fits.
constexpr size_t MessageBufferBytes = 1024;

void showFailure(Messages* messages, const AutomationError& error) {
  if (!messages) return;
  char head[128];
  if (error.kind == automation::KindBridge) {
    std::snprintf(head, sizeof head, "COleException. SCODE: %08lx.",
                  static_cast<unsigned long>(error.code));
    messages->show(head, "COleException");
  } else if (error.kind == automation::KindDispatch) {
    std::snprintf(head, sizeof head, "COleDispatchException. SCODE: %08lx, Description: \"",
                  static_cast<unsigned long>(error.code));
    const std::string tail = "\".";
    const size_t room = MessageBufferBytes - 1 - std::string(head).size() - tail.size();
    messages->show(head + cutUtf8(error.description, room) + tail, "COleDispatchException");
  } else {
    messages->show("General Exception caught.", "Catch-All");
  }
}

// The absolute form of `path`: the application runs in a folder of its own.
std::string absolutePath(const std::string& path) {
  std::error_code ec;
  std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  return ec ? path : absolute.lexically_normal().string();
}

// `fileName` with "_<n>" before its extension, its stem cut so the name stays a valid one.
std::string numberedFileName(const std::string& fileName, int n) {
  const std::string ext(extensionOf(fileName));
  const std::string suffix = "_" + std::to_string(n);
  std::string stem = fileName.substr(0, fileName.size() - ext.size());
  size_t keep = std::min(stem.size(), 255 - ext.size() - suffix.size());
  while (keep > 0 && (static_cast<unsigned char>(stem[keep]) & 0xC0) == 0x80) --keep;
  return stem.substr(0, keep) + suffix + ext;
}

// The output file name of `sheet` (the workbook's for FormatXls), kept inside the folder.
std::string outputFileName(TargetFormat format, const std::string& base, const std::string& sheet) {
  const std::string path = spreadsheetOutputPath(format, "", base, sheet);  // "/<name>"
  return safeFileName(path.substr(path.find('/') + 1));
}

// One save of the conversion: the sheet (1-based) and the output's file name.
struct PlannedSave {
  long sheet;
  std::string fileName;
};

// The saves of a workbook with `sheets` to `format`: one per sheet, or one for the whole
// workbook. Every file name stays in the output folder, and names stay distinct: a later
// sheet whose name gives an earlier sheet's file gets "_2", "_3", ..., and `notices` says so.
std::vector<PlannedSave> planSaves(const std::string& sourcePath,
                                   const std::vector<std::string>& sheets, TargetFormat format,
                                   std::vector<std::string>& notices) {
  const std::string base = baseName(sourcePath);
  std::vector<PlannedSave> saves;
  if (format == FormatXls) {
    if (!sheets.empty()) saves.push_back({1, outputFileName(format, base, "")});
    return saves;
  }
  std::set<std::string> used;
  for (size_t sheetIdx = 0; sheetIdx < sheets.size(); ++sheetIdx) {
    const std::string first = outputFileName(format, base, sheets[sheetIdx]);
    std::string name = first;
    for (int n = 2; used.count(name); ++n) name = numberedFileName(first, n);
    used.insert(name);
    if (name != first)
      notices.push_back("the sheet \"" + sheets[sheetIdx] + "\" was written as " + name +
                        ": its own name gives the same output as an earlier sheet's");
    saves.push_back({static_cast<long>(sheetIdx + 1), name});
  }
  return saves;
}

// Moves what the application wrote into the staging folder into the output folder, each
// file claimed for this source.
void publish(RunPlan& plan, RunPlan::Claim& claim, const std::string& sourcePath,
             const StagingFolder& staging, const std::string& outputFolder) {
  std::error_code ec;
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(staging.path(), ec))
    if (entry.is_regular_file(ec)) names.push_back(entry.path().filename().string());
  for (const std::string& name : names) {
    const std::string staged = joinPath(staging.path(), name);
    const std::string destination = joinPath(outputFolder, name);
    plan.extend(claim, sourcePath, destination);
    if (::rename(staged.c_str(), destination.c_str()) != 0)
      throw EngineError(ErrorKind::Io, "Cannot write " + destination + ": " + systemReason(errno));
  }
}

// The "values" request of one sheet: its stored cells as (row, column, value) fields.
std::vector<std::string> valuesRequest(long sheet, const std::vector<StoredCell>& cells) {
  std::vector<std::string> request;
  request.reserve(2 + cells.size() * 3);
  request.push_back("values");
  request.push_back(std::to_string(sheet));
  for (const StoredCell& cell : cells) {
    request.push_back(std::to_string(cell.row));
    request.push_back(std::to_string(cell.col));
    request.push_back(cell.value);
  }
  return request;
}

}  // namespace

std::string openNameOf(const std::string& sourcePath) {
  if (sourcePath.size() < 4) return {};
  std::string ending = sourcePath.substr(sourcePath.size() - 4);
  for (char& c : ending) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ending == ".xls" ? sourcePath.substr(0, sourcePath.size() - 4) : std::string();
}

int ConvertWithSpreadsheetApp(ConversionContext& ctx, const std::string& sourcePath,
                              const std::string& outputFolder, TargetFormat format) {
  if (format == FormatMdb) return 0;
  if (sourcePath.size() < 4) return 0;
  if (!ctx.useOffice) return 0;
  const bool validFormat = isValidFormat(format);
  const int code = validFormat ? spreadsheetFileFormatCode(format) : -1;
  if (validFormat && !applicationWritesCode(code)) return 0;

  std::optional<OfficeSession> ownSession;
  OfficeSession& office = ctx.office ? *ctx.office : ownSession.emplace(ctx);
  if (office.unavailable()) return 0;

  // The engine's reading comes first: it names the outputs before the application is asked,
  // and it is what the application's reading is checked against.
  std::optional<WorkbookFacts> facts;
  try {
    facts = readWorkbookFacts(sourcePath);
  } catch (const std::exception&) {
    // The application may still open the file (its error is then shown); if it does, the
    // engine takes the workbook over and reports why it cannot be read.
  }

  std::optional<RunPlan> ownPlan;
  if (!ctx.plan) ownPlan.emplace(std::vector<std::string>{sourcePath}, outputFolder);
  RunPlan& plan = ctx.plan ? *ctx.plan : *ownPlan;
  std::vector<PlannedSave> saves;
  std::vector<std::string> notices;
  RunPlan::Claim claim;
  if (facts && validFormat) {
    saves = planSaves(sourcePath, facts->sheetNames, format, notices);
    std::vector<std::string> outputs;
    for (const PlannedSave& save : saves) outputs.push_back(joinPath(outputFolder, save.fileName));
    try {
      claim = plan.claim(sourcePath, outputs);
    } catch (const EngineError& e) {
      if (ctx.listener) ctx.listener->fileSkipped(sourcePath, e.description());
      return 1;
    }
  }

  // The first request also tells whether an application kept from an earlier workbook has
  // ended since: nothing of this workbook was given to it, and a fresh one takes it.
  AutomationClient* app = nullptr;
  for (int attempt = 0; attempt < 2 && !app; ++attempt) {
    app = office.acquire(code);
    if (!app) return 0;
    try {
      app->call({"alerts", "off"});
    } catch (const AutomationError&) {
      office.checkAfterFailure();
      app = nullptr;
    }
  }
  if (!app) return 0;
  const std::string source = absolutePath(sourcePath);
  try {
    app->call({"open", openNameOf(source), source.substr(source.size() - 4)});
    std::vector<std::string> reply = app->call({"count"});
    const long count = reply.empty() ? 0 : std::strtol(reply[0].c_str(), nullptr, 10);
    std::vector<std::string> names;
    for (long sheetIdx = 1; sheetIdx <= count; ++sheetIdx) {
      reply = app->call({"name", std::to_string(sheetIdx)});
      names.push_back(reply.empty() ? std::string() : reply[0]);
    }
    // A workbook the application reads into other sheets than the file holds (a damaged
    // file it makes something of), or one the engine cannot read, is the engine's to
    // convert or to report.
    if (!facts || names != facts->sheetNames) {
      app->call({"close"});
      return 0;
    }
    long missing = 0;
    for (long sheetIdx = 1; sheetIdx <= count; ++sheetIdx) {
      reply = app->call(valuesRequest(sheetIdx, facts->storedCells[sheetIdx - 1]));
      missing += reply.empty() ? 0 : std::strtol(reply[0].c_str(), nullptr, 10);
    }
    // Formulas the engine found no stored result for would be computed by the application.
    if (missing > 0) {
      app->call({"close"});
      return 0;
    }
    if (ctx.listener)
      for (const std::string& text : notices) ctx.listener->notice(sourcePath, text);
    if (!saves.empty()) {
      StagingFolder staging(outputFolder);
      const std::string stagingFolder = absolutePath(staging.path());
      for (const PlannedSave& save : saves) {
        // A call to the application cannot be stopped halfway; a cancel takes effect
        // between saves, and every sheet saved before it stays.
        if (ctx.listener && ctx.listener->cancelRequested()) {
          app->call({"close"});
          throw EngineError(ErrorKind::Cancelled,
                            "The conversion of " + sourcePath + " was cancelled");
        }
        if (ctx.listener) ctx.listener->tableStarted(sourcePath, facts->sheetNames[save.sheet - 1]);
        app->call({"save", std::to_string(save.sheet), std::to_string(code),
                   joinPath(stagingFolder, save.fileName), joinPath(outputFolder, save.fileName)});
        publish(plan, claim, sourcePath, staging, outputFolder);
      }
    }
    app->call({"close"});
  } catch (const AutomationError& error) {
    showFailure(ctx.messages, error);
    if (ctx.listener) ctx.listener->fileFailed(sourcePath, error.description);
    office.checkAfterFailure();
  } catch (const EngineError&) {
    // The output folder cannot be written: as on the engine's path, that ends the run.
    throw;
  } catch (const std::exception& e) {
    if (ctx.messages) ctx.messages->show("General Exception caught.", "Catch-All");
    if (ctx.listener) ctx.listener->fileFailed(sourcePath, e.what());
  }
  return 1;
}

}  // namespace tabulor
