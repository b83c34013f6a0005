// The conversion run of the Start button.
#include "app/start_command.h"

#include "app/conversion_driver.h"
#include "engine/engine_error.h"

namespace tabulor {

void runStartCommand(ConversionContext& ctx, const StartJob& job) {
  const std::string folder = normaliseOutputFolder(
      job.outputFolderText == OriginalDirectory ? job.browsedFolder : job.outputFolderText);
  for (const std::string& source : job.sourcePaths) {
    try {
      convertOneFile(ctx, source, folder, job.format);
    } catch (const EngineError& e) {
      ctx.messages->show(e.description(), "Tabulor");
      return;
    } catch (const std::exception& e) {
      // Anything else that ends a file (out of memory, a file-system failure) ends the run
      // the same way rather than the program.
      ctx.messages->show(e.what(), "Tabulor");
      return;
    }
  }
  ctx.messages->show("Conversion Finished!", "Tabulor");
}

}  // namespace tabulor
