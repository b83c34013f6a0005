// Command-line options and the usage text.
#include "app/command_line.h"

#include <cstdio>
#include <iterator>

#include "convert/catalogue.h"

namespace tabulor {

bool parseCommandLine(const std::vector<std::string>& args, CommandLine* line, std::string* error) {
  *line = CommandLine{};
  const OptionSpec* aloneOption = nullptr;
  bool optionsEnded = false;
  for (const std::string& arg : args) {
    if (!optionsEnded && arg == "--") {
      optionsEnded = true;
      continue;
    }
    // "-" alone and anything not starting with "-" are arguments (a file may be named "-").
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      line->arguments.push_back(arg);
      continue;
    }
    const OptionSpec* found = nullptr;
    for (const OptionSpec& option : CommandLineOptions)
      if (arg == option.name || (option.alias && arg == option.alias)) found = &option;
    if (!found) {
      *error = "unknown option " + arg;
      return false;
    }
    line->*(found->flag) = true;
    if (found->alone) aloneOption = found;
  }
  if (aloneOption && args.size() > 1) {
    *error = std::string(aloneOption->name) + " takes no other arguments";
    return false;
  }
  return true;
}

std::string checkConversionArguments(const CommandLine& line) {
  switch (line.arguments.size()) {
    case 0:
      return "nothing to convert: give SOURCE, FORMAT and OUTDIR";
    case 1:
      return "the FORMAT and OUTDIR arguments are missing";
    case 2:
      return "the OUTDIR argument is missing";
    default:
      return {};
  }
}

std::string usageText() {
  std::string text =
      "Tabulor 2.6: batch converter for tabular files\n\n"
      "Usage:\n"
      "  tabulor                                open the window\n"
      "  tabulor [OPTION]... SOURCE... FORMAT OUTDIR\n"
      "                                         convert without a window\n\n"
      "SOURCE is a file or a pattern with * and ? (letter case ignored; quote it to let\n"
      "Tabulor expand it); several sources may be given. OUTDIR must exist.\n\nOptions:\n";
  char line[160];
  for (const OptionSpec& option : CommandLineOptions) {
    const std::string names =
        option.alias ? std::string(option.alias) + ", " + option.name : option.name;
    std::snprintf(line, sizeof line, "  %-15s %s\n", names.c_str(), option.help);
    text += line;
  }
  text += "\nFORMAT is one of:\n";
  for (const auto& info : targetFormats()) {
    static const char* const keywords[] = {
        "txt",           "htm, html", "csv", "xls",  "mdb", "(window only)",
        "(window only)", "dbf",       "wk1", "xlsx", "ods"};
    static_assert(std::size(keywords) == TargetFormatCount);
    std::snprintf(line, sizeof line, "  %-15s %s\n", keywords[info.format], info.comboText);
    text += line;
  }
  text +=
      "An unknown FORMAT converts to text. Exit status: 0 finished, 1 an error ended the\n"
      "run or a file was skipped or failed, 2 no file matched or the command line was\n"
      "wrong, 130 stopped by Ctrl+C.\n";
  return text;
}

}  // namespace tabulor
