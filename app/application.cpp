// Start-up: settings store, command line, then the batch run or the window.
#include "app/application.h"

#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>

#include "app/command_line.h"
#include "app/conversion_driver.h"
#include "app/interrupt.h"
#include "app/start_command.h"
#include "app/terminal_progress.h"
#include "convert/messages.h"
#include "engine/database.h"
#include "ui/main_dlg.h"

namespace tabulor {

namespace {

// Exit status of a command line that cannot be run as given.
constexpr int UsageError = 2;
// Exit status when the window cannot open.
constexpr int NoWindow = 1;

int usageError(const std::string& what) {
  std::fprintf(stderr, "Tabulor: %s\n\n%s", what.c_str(), usageText().c_str());
  return UsageError;
}

bool hasDisplay() {
  for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value && *value) return true;
  }
  return false;
}

void printNoWindow(const char* why) {
  std::fprintf(stderr,
               "Tabulor: cannot open the window: %s\n"
               "To convert without a window, give the files, the format and the output "
               "folder:\n\n%s",
               why, usageText().c_str());
}

// Qt ends the program (abort) when its platform cannot start, for instance a display that
// does not answer. Caught here while the application object is made, so the user reads why
// and the usage instead of a core dump.
void onQtMessage(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (type == QtFatalMsg) {
    printNoWindow(text.toLocal8Bit().constData());
    std::fflush(stderr);
    std::_Exit(NoWindow);
  }
  if (type != QtDebugMsg) std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
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
  // Ties the window to the installed desktop entry (its icon and menu name under Wayland).
  QGuiApplication::setDesktopFileName(QStringLiteral("tabulor"));

  const std::vector<std::string> args(argv + 1, argv + argc);
  CommandLine line;
  std::string error;
  if (!parseCommandLine(args, &line, &error)) return usageError(error);
  if (line.help) {
    std::fputs(usageText().c_str(), stdout);
    return 0;
  }
  if (line.version) {
    std::printf("Tabulor 2.6\n");
    return 0;
  }

  const std::string folder = programFolder();
  if (args.empty()) {
    if (!hasDisplay()) {
      printNoWindow("there is no display (neither DISPLAY nor WAYLAND_DISPLAY is set)");
      return NoWindow;
    }
    QtMessageHandler previous = qInstallMessageHandler(onQtMessage);
    QApplication app(argc, argv);
    qInstallMessageHandler(previous);
    CMainDlg dialog(folder);
    dialog.setStartRunner(runStartCommand);
    dialog.exec();
    return 0;
  }

  if (std::string wrong = checkConversionArguments(line); !wrong.empty()) return usageError(wrong);
  // Source, format and output folder: the shell has split and unquoted them. With more
  // than three, every argument but the last two is a source.
  const std::vector<std::string>& positional = line.arguments;
  sourceArguments.assign(positional.begin(), positional.end() - 2);
  formatArgument = positional[positional.size() - 2];
  outputArgument = positional.back();

  InterruptHandler interrupt;
  TerminalProgress progress(!line.quiet && ::isatty(STDERR_FILENO), interrupt.requested());
  StderrMessages stderrMessages;
  ProgressMessages messages(&stderrMessages, &progress);
  Database database;
  ConversionContext ctx{folder, &database, &messages};
  ctx.listener = &progress;
  ctx.useOffice = !line.noOffice;
  const BatchStatus status = runBatch(ctx, {sourceArguments, formatArgument, outputArgument});
  // Killed by a signal: the shell's convention, 128 + its number (130 for Ctrl+C).
  if (status == BatchCancelled && interrupt.signalNumber() != 0)
    return 128 + interrupt.signalNumber();
  return status;
}

}  // namespace tabulor
