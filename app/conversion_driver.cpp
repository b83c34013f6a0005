// The per-file rule and the batch run.
#include "app/conversion_driver.h"

#include <filesystem>

#include "convert/database_engine_conversion.h"
#include "convert/office_session.h"
#include "convert/run_plan.h"
#include "convert/spreadsheet_app_conversion.h"
#include "engine/engine_error.h"
#include "ui/source_scan.h"

namespace tabulor {

void convertOneFile(ConversionContext& ctx, const std::string& sourcePath,
                    const std::string& outputFolder, TargetFormat format) {
  if (classifySource(sourcePath) == SourceKind::SourceWorkbook &&
      ConvertWithSpreadsheetApp(ctx, sourcePath, outputFolder, format) != 0)
    return;
  ConvertWithDatabaseEngine(ctx, sourcePath, outputFolder, format);
}

std::string normaliseOutputFolder(std::string folder) {
  while (!folder.empty() && folder.back() == '/') folder.pop_back();
  return folder;
}

namespace {

// Counts what passes through, so the run can tell whether an error was shown.
class CountingMessages : public Messages {
 public:
  explicit CountingMessages(Messages* inner) : inner_(inner) {}
  void show(const std::string& text, const std::string& caption) override {
    ++count;
    if (inner_) inner_->show(text, caption);
  }
  int count = 0;

 private:
  Messages* inner_;
};

// Tells the run's owner what happens and notes whether the current file was skipped or failed.
class CountingListener : public ForwardingListener {
 public:
  using ForwardingListener::ForwardingListener;
  void fileStarted(size_t index, size_t count, const std::string& path) override {
    skipped = failed = false;
    ForwardingListener::fileStarted(index, count, path);
  }
  void fileSkipped(const std::string& path, const std::string& reason) override {
    skipped = true;
    ForwardingListener::fileSkipped(path, reason);
  }
  void fileFailed(const std::string& path, const std::string& reason) override {
    failed = true;
    ForwardingListener::fileFailed(path, reason);
  }
  bool skipped = false, failed = false;
};

// The command line's listener: every skipped file and notice as a message line.
class MessageListener : public ForwardingListener {
 public:
  MessageListener(Messages* messages, RunListener* inner)
      : ForwardingListener(inner), messages_(messages) {}
  void fileSkipped(const std::string& path, const std::string& reason) override {
    messages_->show(path + " was skipped: " + reason, "Tabulor");
    ForwardingListener::fileSkipped(path, reason);
  }
  void notice(const std::string& path, const std::string& text) override {
    messages_->show(path + ": " + text, "Tabulor");
    ForwardingListener::notice(path, text);
  }

 private:
  Messages* messages_;
};

bool isCancel(const std::exception& e) {
  const EngineError* engineError = dynamic_cast<const EngineError*>(&e);
  return engineError && engineError->kind() == ErrorKind::Cancelled;
}

std::string quoted(const std::string& text) {
  return "\"" + text + "\"";
}

// Why a source pattern matched nothing, for the command line.
std::string noMatchText(const std::string& source) {
  std::error_code ec;
  if (!source.empty() && std::filesystem::is_directory(source, ec))
    return "no file matches " + quoted(source) + ": it is a folder; to convert its files give " +
           "a pattern such as " + quoted(normaliseOutputFolder(source) + "/*");
  return "no file matches " + quoted(source);
}

}  // namespace

std::string summaryCounts(const RunSummary& summary) {
  std::string text = std::to_string(summary.converted) +
                     (summary.converted == 1 ? " file" : " files") + " converted, " +
                     std::to_string(summary.skipped) + " skipped, " +
                     std::to_string(summary.failed) + " failed";
  if (summary.notStarted > 0) text += ", " + std::to_string(summary.notStarted) + " not started";
  return text;
}

RunSummary runConversions(ConversionContext& ctx, const std::vector<std::string>& sources,
                          const std::string& outputFolder, TargetFormat format) {
  const std::string folder = normaliseOutputFolder(outputFolder);
  RunPlan plan(sources, folder);
  CountingListener counting(ctx.listener);
  // The spreadsheet application starts on the first workbook that needs it and ends with
  // the run, on every path out of it.
  OfficeSession office(ctx);
  ConversionContext local = ctx;
  local.plan = &plan;
  local.listener = &counting;
  if (!local.office) local.office = &office;

  RunSummary summary;
  for (size_t index = 0; index < sources.size(); ++index) {
    if (counting.cancelRequested()) {
      summary.cancelled = true;
      summary.notStarted = static_cast<int>(sources.size() - index);
      return summary;
    }
    counting.fileStarted(index, sources.size(), sources[index]);
    try {
      convertOneFile(local, sources[index], folder, format);
    } catch (const std::exception& e) {
      summary.notStarted = static_cast<int>(sources.size() - index - 1);
      if (isCancel(e)) {
        summary.cancelled = true;
        summary.cancelledFile = sources[index];
        return summary;
      }
      // A statement error ends the run; anything else that ends a file (out of memory, a
      // file-system failure) ends it the same way rather than the program.
      const EngineError* engineError = dynamic_cast<const EngineError*>(&e);
      const std::string text = engineError ? engineError->description() : e.what();
      if (ctx.messages) ctx.messages->show(text, "Tabulor");
      counting.fileFailed(sources[index], text);
      ++summary.failed;
      summary.ended = true;
      return summary;
    }
    if (counting.skipped)
      ++summary.skipped;
    else if (counting.failed)
      ++summary.failed;
    else
      ++summary.converted;
  }
  return summary;
}

BatchStatus runBatch(ConversionContext& ctx, const BatchArguments& args) {
  CountingMessages counting(ctx.messages);
  std::vector<std::string> scannedPaths;
  for (const std::string& source : args.sources) {
    const size_t before = scannedPaths.size();
    if (!source.empty()) scanFolder(scannedPaths, "", source, "*.XLS");
    if (scannedPaths.size() == before) counting.show(noMatchText(source), "Tabulor");
  }

  TargetFormat format = formatFromKeyword(args.format).value_or(FormatText);
  if (scannedPaths.empty()) return BatchNoFiles;

  // Skips count through the summary; a notice alone does not fail the run.
  MessageListener printing(ctx.messages, ctx.listener);
  ConversionContext local = ctx;
  local.messages = &counting;
  local.listener = &printing;
  RunSummary summary = runConversions(local, scannedPaths, args.output, format);
  if (summary.cancelled) {
    if (ctx.messages)
      ctx.messages->show(
          "Conversion cancelled" +
              (summary.cancelledFile.empty() ? std::string() : " during " + summary.cancelledFile) +
              ": " + summaryCounts(summary),
          "Tabulor");
    return BatchCancelled;
  }
  return counting.count > 0 || summary.skipped > 0 || summary.failed > 0 ? BatchFailed
                                                                         : BatchFinished;
}

}  // namespace tabulor
