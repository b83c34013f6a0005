// CTabulorApp: the application object. It names the settings store, takes the command
// line apart, and either runs the batch conversion (no window, no display needed) or the
// main window.
#pragma once

#include <string>
#include <vector>

namespace tabulor {

class CTabulorApp {
 public:
  // Start-up; returns the process exit status.
  int InitInstance(int argc, char** argv);

  // The command-line arguments, empty until InitInstance fills them.
  std::vector<std::string> sourceArguments;
  std::string formatArgument;
  std::string outputArgument;

  // Folder of the running executable, ending in "/".
  static std::string programFolder();
};

}  // namespace tabulor
