// The per-file rule and the batch run.
#include "app/conversion_driver.h"

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
class CountingListener : public RunListener {
 public:
  explicit CountingListener(RunListener* inner) : inner_(inner) {}
  void fileStarted(size_t index, size_t count, const std::string& path) override {
    skipped = failed = false;
    if (inner_) inner_->fileStarted(index, count, path);
  }
  void fileSkipped(const std::string& path, const std::string& reason) override {
    skipped = true;
    if (inner_) inner_->fileSkipped(path, reason);
  }
  void fileFailed(const std::string& path, const std::string& reason) override {
    failed = true;
    if (inner_) inner_->fileFailed(path, reason);
  }
  void notice(const std::string& path, const std::string& text) override {
    if (inner_) inner_->notice(path, text);
  }
  bool skipped = false, failed = false;

 private:
  RunListener* inner_;
};

// The command line's listener: every skipped file and notice as a message line.
class MessageListener : public RunListener {
 public:
  explicit MessageListener(Messages* messages) : messages_(messages) {}
  void fileSkipped(const std::string& path, const std::string& reason) override {
    messages_->show(path + " was skipped: " + reason, "Tabulor");
  }
  void notice(const std::string& path, const std::string& text) override {
    messages_->show(path + ": " + text, "Tabulor");
  }

 private:
  Messages* messages_;
};

}  // namespace

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
    counting.fileStarted(index, sources.size(), sources[index]);
    try {
      convertOneFile(local, sources[index], folder, format);
    } catch (const std::exception& e) {
      // A statement error ends the run; anything else that ends a file (out of memory, a
      // file-system failure) ends it the same way rather than the program.
      const EngineError* engineError = dynamic_cast<const EngineError*>(&e);
      const std::string text = engineError ? engineError->description() : e.what();
      if (ctx.messages) ctx.messages->show(text, "Tabulor");
      counting.fileFailed(sources[index], text);
      ++summary.failed;
      summary.ended = true;
      summary.notStarted = static_cast<int>(sources.size() - index - 1);
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
  std::vector<std::string> scannedPaths;
  for (const std::string& source : args.sources)
    if (!source.empty()) scanFolder(scannedPaths, "", source, "*.XLS");

  TargetFormat format = formatFromKeyword(args.format).value_or(FormatText);
  if (scannedPaths.empty()) return BatchNoFiles;

  CountingMessages counting(ctx.messages);
  // Skips count through the summary; a notice alone does not fail the run.
  MessageListener printing(ctx.messages);
  ConversionContext local = ctx;
  local.messages = &counting;
  if (!local.listener) local.listener = &printing;
  RunSummary summary = runConversions(local, scannedPaths, args.output, format);
  return counting.count > 0 || summary.skipped > 0 || summary.failed > 0 ? BatchFailed
                                                                         : BatchFinished;
}

}  // namespace tabulor
