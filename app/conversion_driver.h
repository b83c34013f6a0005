// The conversion driver: the per-file rule that picks an engine for each source, the
// output-folder normalisation, and the command-line batch run.
#pragma once

#include <string>
#include <vector>

#include "convert/catalogue.h"
#include "convert/conversion_context.h"

namespace tabulor {

// A workbook goes to the spreadsheet application first and to the database engine when the
// application declines it; every other file goes to the database engine. Engine errors of
// a statement leave as EngineError.
void convertOneFile(ConversionContext& ctx, const std::string& sourcePath,
                    const std::string& outputFolder, TargetFormat format);

// What a run did with its files.
struct RunSummary {
  int converted = 0, skipped = 0, failed = 0;
  bool ended = false;         // an error ended the run early
  bool cancelled = false;     // the listener asked the run to stop
  std::string cancelledFile;  // the file the cancel stopped halfway; "" between two files
  int notStarted = 0;         // files after the one whose error or cancel ended the run
};

// Converts `sources` in order into `outputFolder` (normalised) under one plan: no output
// replaces a source of the run or an earlier file's output. One spreadsheet application
// serves the run's workbooks (ctx.office, or the run's own, started on the first workbook
// that needs it and ended when the run ends). A file that is skipped or fails
// is reported through ctx.listener and the run goes on; an EngineError of a statement (or
// any other exception) is shown through ctx.messages under the caption "Tabulor" and ends
// the run. When ctx.listener asks for a cancel (between files, or at a row boundary inside
// a statement) the run ends without a message: the table being written is removed as for a
// failing statement, earlier outputs stay and the remaining files are not started.
RunSummary runConversions(ConversionContext& ctx, const std::vector<std::string>& sources,
                          const std::string& outputFolder, TargetFormat format);

// What a run did in a few words: "2 files converted, 1 skipped, 0 failed", with ", 5 not
// started" when a cancel or an error left files out.
std::string summaryCounts(const RunSummary& summary);

// The folder without its trailing "/" characters ("" stays "").
std::string normaliseOutputFolder(std::string folder);

// Exit statuses of a batch run.
enum BatchStatus { BatchFinished = 0, BatchFailed = 1, BatchNoFiles = 2, BatchCancelled = 130 };

struct BatchArguments {
  std::vector<std::string> sources;  // patterns or paths, scanned in turn
  std::string format;                // keyword
  std::string output;                // output folder
};

// Runs a batch conversion: scans every source pattern, maps the keyword (text when it
// matches nothing), normalises the folder, converts each file. A pattern that matches no
// file is reported ("no file matches ..."); skipped files and notices are shown through
// ctx.messages ("<file> was skipped: <reason>") and passed on to ctx.listener, which may
// also cancel the run (then a line says how far it got); a statement error is shown with
// the caption "Tabulor" and ends the run.
BatchStatus runBatch(ConversionContext& ctx, const BatchArguments& args);

}  // namespace tabulor
