// Start-up: settings store, command line, then the batch run or the window.
#include "app/application.h"

#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <cstdio>
#include <cstring>

#include "app/conversion_driver.h"
#include "app/start_command.h"
#include "convert/catalogue.h"
#include "convert/messages.h"
#include "engine/database.h"
#include "engine/registry.h"
#include "ui/main_dlg.h"

namespace tabulor {

namespace {

void printUsage() {
  std::printf(
      "Tabulor 2.6: batch converter for tabular files\n\n"
      "Usage:\n"
      "  tabulor                            open the window\n"
      "  tabulor SOURCE... FORMAT OUTDIR    convert without a window\n\n"
      "SOURCE is a file or a pattern with * and ? (letter case ignored; quote it to let\n"
      "Tabulor expand it); several sources may be given. FORMAT is one of:\n");
  for (const auto& info : targetFormats()) {
    static const char* const keywords[] = {
        "txt",           "htm, html", "csv", "xls",  "mdb", "(window only)",
        "(window only)", "dbf",       "wk1", "xlsx", "ods"};
    std::printf("  %-15s %s\n", keywords[info.format], info.comboText);
  }
  std::printf(
      "An unknown FORMAT converts to text. Exit status: 0 finished, 1 an error ended the\n"
      "run or was reported, 2 no file matched.\n");
}

}  // namespace

std::string CTabulorApp::programFolder() {
  char buf[4096];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return "./";
  std::string path(buf, static_cast<size_t>(n));
  return path.substr(0, path.rfind('/') + 1);
}

int CTabulorApp::InitInstance(int argc, char** argv) {
  // The settings store: organisation and application name select the INI file.
  QCoreApplication::setOrganizationName(QStringLiteral("Orvendi"));
  QCoreApplication::setApplicationName(QStringLiteral("Tabulor"));

  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    printUsage();
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("Tabulor 2.6\n");
    return 0;
  }

  // Source, format and output folder are the first three arguments; the shell has split
  // and unquoted them. With more, every argument but the last two is a source.
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() <= 3) {
    if (!args.empty()) sourceArguments.push_back(args[0]);
    if (args.size() > 1) formatArgument = args[1];
    if (args.size() > 2) outputArgument = args[2];
  } else {
    sourceArguments.assign(args.begin(), args.end() - 2);
    formatArgument = args[args.size() - 2];
    outputArgument = args.back();
  }

  const std::string folder = programFolder();
  if (!sourceArguments.empty() && !sourceArguments.front().empty()) {
    Database database;
    StderrMessages messages;
    ConversionContext ctx{folder, &database, &messages};
    return runBatch(ctx, {sourceArguments, formatArgument, outputArgument});
  }

  QApplication app(argc, argv);
  CMainDlg dialog(folder);
  dialog.setStartRunner(runStartCommand);
  dialog.exec();
  return 0;
}

}  // namespace tabulor
