// The conversion run of the Start button and the message at its end.
#include "app/start_command.h"

#include <vector>

#include "app/conversion_driver.h"

namespace tabulor {

namespace {

// Keeps what the run reports for the message at its end.
class CollectingListener : public ForwardingListener {
 public:
  using ForwardingListener::ForwardingListener;
  void fileSkipped(const std::string& path, const std::string& reason) override {
    lines.push_back(path + " was skipped: " + reason);
    ForwardingListener::fileSkipped(path, reason);
  }
  void notice(const std::string& path, const std::string& text) override {
    lines.push_back(path + ": " + text);
    ForwardingListener::notice(path, text);
  }
  std::vector<std::string> lines;
};

}  // namespace

std::string runStartCommand(ConversionContext& ctx, const StartJob& job) {
  const std::string folder =
      job.outputFolderText == OriginalDirectory ? job.browsedFolder : job.outputFolderText;
  CollectingListener collected(ctx.listener);
  ConversionContext local = ctx;
  local.listener = &collected;
  RunSummary summary = runConversions(local, job.sourcePaths, folder, job.format);
  if (summary.ended) return {};

  std::string text = summary.cancelled ? "Conversion Cancelled!" : "Conversion Finished!";
  text += "\n" + summaryCounts(summary) + ".";
  if (summary.cancelled && !summary.cancelledFile.empty())
    text += "\nCancelled during " + summary.cancelledFile + ": its unfinished table was removed.";
  const std::string shownFolder = normaliseOutputFolder(folder);
  text += "\nOutput folder: " + (shownFolder.empty() ? std::string("/") : shownFolder);
  if (!collected.lines.empty()) text += "\n";
  for (const std::string& line : collected.lines) text += "\n" + line;
  return text;
}

}  // namespace tabulor
