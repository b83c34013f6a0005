// The per-file rule and the batch run.
#include "app/conversion_driver.h"

#include "convert/database_engine_conversion.h"
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

}  // namespace

BatchStatus runBatch(ConversionContext& ctx, const BatchArguments& args) {
  std::vector<std::string> scannedPaths;
  for (const std::string& source : args.sources)
    if (!source.empty()) scanFolder(scannedPaths, "", source, "*.XLS");

  TargetFormat format = formatFromKeyword(args.format).value_or(FormatText);
  const std::string outputFolder = normaliseOutputFolder(args.output);
  if (scannedPaths.empty()) return BatchNoFiles;

  CountingMessages counting(ctx.messages);
  ConversionContext local = ctx;
  local.messages = &counting;
  for (const std::string& path : scannedPaths) {
    try {
      convertOneFile(local, path, outputFolder, format);
    } catch (const EngineError& e) {
      counting.show(e.description(), "Tabulor");
      return BatchFailed;
    }
  }
  return counting.count > 0 ? BatchFailed : BatchFinished;
}

}  // namespace tabulor
