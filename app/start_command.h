// The conversion of the Start button: the window gathers the ticked files and the output
// settings (and stores them), then hands them here, on its worker thread, where the per-file
// rule of the conversion driver runs over them. Kept in the application library so the
// window does not link against the driver that links against the window.
#pragma once

#include <string>

#include "convert/conversion_context.h"
#include "ui/main_dlg.h"

namespace tabulor {

// Converts every file of `job` into its output folder ("Original directory", exactly in
// this letter case, is the browsed folder; trailing "/" removed) and returns the message for
// the end of the run: "Conversion Finished!" over the counts of converted, skipped and
// failed files, the output folder, and a line per skipped file and notice; "Conversion
// Cancelled!" over the same when ctx.listener cancelled it. A statement the engine rejects
// ends the run: its description is shown through ctx.messages under the caption "Tabulor",
// no further file is converted and the result is empty (no end message). Everything the run
// reports is passed on to ctx.listener.
std::string runStartCommand(ConversionContext& ctx, const StartJob& job);

}  // namespace tabulor
