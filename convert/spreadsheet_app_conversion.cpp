// The spreadsheet-application path: converts a workbook sheet by sheet through the
// spreadsheet application (LibreOffice Calc, driven by the automation helper program).
// Declines (0) what the application cannot do, so the database engine converts it; once the
// application runs, every outcome is "done" (1), failures shown as message boxes.
#include "convert/spreadsheet_app_conversion.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>
#include <utility>

#include "convert/automation_client.h"
#include "convert/automation_protocol.h"
#include "convert/run_plan.h"
#include "engine/engine_error.h"

namespace tabulor {

namespace {

// Codes whose target format the application writes itself. It has no Lotus writer (5) and
// no dBase IV writer (11), and writes dBase III for 9: those files are left to the engine,
// which writes each format as asked.
bool applicationWritesCode(int code) {
  return code == 3 || code == 6 || code == 44 || code == 8 || code == 39;
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
  const bool validFormat = isValidFormat(format);
  const int code = validFormat ? spreadsheetFileFormatCode(format) : -1;
  if (validFormat && !applicationWritesCode(code)) return 0;

  const std::string base = baseName(sourcePath);
  const std::string openName = openNameOf(sourcePath);
  const std::string ending = sourcePath.substr(sourcePath.size() - 4);

  const std::string helper = ctx.automationHelper.empty() ? ctx.programFolder + AutomationHelperName
                                                          : ctx.automationHelper;
  AutomationClient app;
  if (!app.create(helper, code, ctx.automationCreateTimeoutSeconds)) return 0;
  app.setCallTimeout(ctx.automationCallTimeoutSeconds);

  std::optional<RunPlan> ownPlan;
  if (!ctx.plan) ownPlan.emplace(std::vector<std::string>{sourcePath}, outputFolder);
  RunPlan& plan = ctx.plan ? *ctx.plan : *ownPlan;
  try {
    app.call({"alerts", "off"});
    app.call({"open", openName, ending});
    std::vector<std::string> reply = app.call({"count"});
    const long count = reply.empty() ? 0 : std::strtol(reply[0].c_str(), nullptr, 10);
    // Every output is named and claimed before the first is written.
    struct Save {
      long sheetIdx;
      std::string sheet, path;
    };
    std::vector<Save> saves;
    if (format == FormatXls) {
      // The save writes the whole workbook, so one is enough.
      if (count > 0)
        saves.push_back({1, "", spreadsheetOutputPath(format, outputFolder, base, "")});
    } else if (validFormat) {
      for (long sheetIdx = 1; sheetIdx <= count; ++sheetIdx) {
        reply = app.call({"name", std::to_string(sheetIdx)});
        const std::string sheet = reply.empty() ? std::string() : reply[0];
        saves.push_back(
            {sheetIdx, sheet, spreadsheetOutputPath(format, outputFolder, base, sheet)});
      }
    }
    std::vector<std::string> outputs;
    for (const auto& save : saves) outputs.push_back(save.path);
    RunPlan::Claim claim;
    try {
      claim = plan.claim(sourcePath, outputs);
    } catch (const EngineError& e) {
      app.call({"close"});
      app.release();
      if (ctx.listener) ctx.listener->fileSkipped(sourcePath, e.description());
      return 1;
    }
    for (const Save& save : saves) {
      // A call to the application cannot be stopped halfway; a cancel takes effect between
      // saves, and every sheet saved before it stays.
      if (ctx.listener && ctx.listener->cancelRequested()) {
        app.release();
        throw EngineError(ErrorKind::Cancelled,
                          "The conversion of " + sourcePath + " was cancelled before " + save.path);
      }
      if (ctx.listener) ctx.listener->tableStarted(sourcePath, save.sheet);
      app.call({"save", std::to_string(save.sheetIdx), std::to_string(code), save.path});
    }
    app.call({"close"});
  } catch (const AutomationError& error) {
    showFailure(ctx.messages, error);
    if (ctx.listener) ctx.listener->fileFailed(sourcePath, error.description);
  } catch (const std::exception& e) {
    const EngineError* engineError = dynamic_cast<const EngineError*>(&e);
    if (engineError && engineError->kind() == ErrorKind::Cancelled) throw;
    if (ctx.messages) ctx.messages->show("General Exception caught.", "Catch-All");
    if (ctx.listener) ctx.listener->fileFailed(sourcePath, e.what());
  }
  app.release();
  return 1;
}

}  // namespace tabulor
