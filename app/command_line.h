// The command line taken apart: options from one small table, then the source, format and
// output-folder arguments. Nothing here runs anything; the application object decides.
#pragma once

#include <string>
#include <vector>

namespace tabulor {

struct CommandLine {
  bool help = false;                   // --help, -h
  bool version = false;                // --version
  bool quiet = false;                  // --quiet, -q: no progress line
  bool noOffice = false;               // --no-office: workbooks straight to the engine
  std::vector<std::string> arguments;  // everything that is not an option, in order
};

// One option: its names, whether it must stand alone, its line in the usage text, and the
// flag it sets.
struct OptionSpec {
  const char* name;   // "--quiet"
  const char* alias;  // "-q", or nullptr
  bool alone;         // allowed only as the sole argument (--help, --version)
  const char* help;
  bool CommandLine::*flag;
};

// Every option, in the order the usage lists them.
inline constexpr OptionSpec CommandLineOptions[] = {
    {"--quiet", "-q", false, "no progress line on standard error", &CommandLine::quiet},
    {"--no-office", nullptr, false,
     "convert workbooks with Tabulor's own engine, never LibreOffice", &CommandLine::noOffice},
    {"--help", "-h", true, "print this help and exit", &CommandLine::help},
    {"--version", nullptr, true, "print the version and exit", &CommandLine::version},
};

// Splits `args` (the program's arguments without its name). Options may stand anywhere
// before a "--", after which everything is an argument. Returns false with `error` set
// ("unknown option --bogus", "--help takes no other arguments").
bool parseCommandLine(const std::vector<std::string>& args, CommandLine* line, std::string* error);

// What is wrong with the arguments of a conversion ("" when nothing is): a conversion needs
// at least SOURCE, FORMAT and OUTDIR.
std::string checkConversionArguments(const CommandLine& line);

// The usage text with the options and format keywords.
std::string usageText();

}  // namespace tabulor
