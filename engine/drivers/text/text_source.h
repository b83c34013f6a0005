// Reading side of the text driver: a folder as a database whose tables are its .txt, .csv,
// .tab and .asc files, and a cursor that streams the records of one file as typed rows.
#pragma once

#include <memory>
#include <string>

#include "engine/driver.h"

namespace tabulor {

// Opens `folder` as a text database. Throws EngineError(NotFound/Io) when it is not a
// folder that can be listed and read.
std::unique_ptr<SourceDatabase> openTextFolder(const std::string& folder);

// The table name of a text file: its name with "#" for the last dot ("orders#csv").
std::string textTableName(const std::string& fileName);

// True for the file names this driver lists (.txt, .csv, .tab, .asc in any letter case).
bool isTextFileName(std::string_view fileName);

}  // namespace tabulor
