// Reading side of the Jet driver: a source database whose tables and rows come from the
// helper process (reader_process.h), with the signature checked before anything else.
#pragma once

#include <memory>
#include <string>

#include "engine/driver.h"

namespace tabulor::jet {

// Opens a Jet database for reading. Throws EngineError at once for a file that is not a
// Jet database (no library sees it), that is password protected, or whose catalogue cannot
// be read (damaged files included, within the helper's time limit).
std::unique_ptr<SourceDatabase> openJetSource(const std::string& path);

}  // namespace tabulor::jet
