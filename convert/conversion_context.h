// What a conversion call needs from its owner (the window or the batch run): the program's
// folder (for Blank.mdb), the one database connection shared with the preview, and the
// channel for messages.
#pragma once

#include <string>

#include "convert/messages.h"
#include "engine/database.h"

namespace tabulor {

struct ConversionContext {
  std::string programFolder;  // folder of the executable, ending in "/"
  Database* database = nullptr;
  Messages* messages = nullptr;
};

}  // namespace tabulor
