// The conversion run of the Start button.
#include "app/start_command.h"

#include <vector>

#include "app/conversion_driver.h"

namespace tabulor {

namespace {

// Keeps what the run reports for the message at its end.
class CollectingListener : public RunListener {
 public:
  void fileSkipped(const std::string& path, const std::string& reason) override {
    lines.push_back(path + " was skipped: " + reason);
  }
  void notice(const std::string& path, const std::string& text) override {
    lines.push_back(path + ": " + text);
  }
  std::vector<std::string> lines;
};

}  // namespace

void runStartCommand(ConversionContext& ctx, const StartJob& job) {
  const std::string folder =
      job.outputFolderText == OriginalDirectory ? job.browsedFolder : job.outputFolderText;
  CollectingListener collected;
  ConversionContext local = ctx;
  if (!local.listener) local.listener = &collected;
  RunSummary summary = runConversions(local, job.sourcePaths, folder, job.format);
  if (summary.ended) return;
  std::string text = "Conversion Finished!";
  for (const std::string& line : collected.lines) text += "\n" + line;
  ctx.messages->show(text, "Tabulor");
}

}  // namespace tabulor
