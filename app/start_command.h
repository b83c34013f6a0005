// The conversion of the Start button: the window gathers the ticked files and the output
// settings (and stores them), then hands them here, where the per-file rule of the
// conversion driver runs over them. Kept in the application library so the window does
// not link against the driver that links against the window.
#pragma once

#include "convert/conversion_context.h"
#include "ui/main_dlg.h"

namespace tabulor {

// Converts every file of `job` into its output folder ("Original directory", exactly in
// this letter case, is the browsed folder; trailing "/" removed) and shows "Conversion
// Finished!". A statement the engine rejects ends the run: its description is shown under
// the caption "Tabulor", no further file is converted and the end message is not shown.
void runStartCommand(ConversionContext& ctx, const StartJob& job);

}  // namespace tabulor
