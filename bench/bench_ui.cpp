// Times the main window's interactive paths, from the user's action to the painted window:
// choosing a folder in the tree (the file list fills) and highlighting a file (the preview
// fills); the longest time the window's event loop is blocked while a batch runs; and one
// text conversion with and without progress reporting. Prints one line per measurement:
// "<what> <milliseconds or seconds> <count>".
//   bench_ui list FOLDER FILTER_POSITION
//   bench_ui preview FOLDER FILTER_POSITION FILE
//   bench_ui batch FOLDER OUTDIR            every file of FOLDER to CSV by Start
//   bench_ui rows none|window|terminal FILE OUTDIR
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/conversion_driver.h"
#include "app/start_command.h"
#include "app/terminal_progress.h"
#include "convert/database_engine_conversion.h"
#include "ui/control_ids.h"
#include "ui/conversion_run.h"
#include "ui/folder_dialog.h"
#include "ui/main_dlg.h"
#include "ui/shell_tree_ctrl.h"

using namespace tabulor;

namespace {

std::string programFolder() {
  char buf[4096];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  std::string path(buf, n > 0 ? static_cast<size_t>(n) : 0);
  return path.substr(0, path.rfind('/') + 1);
}

// Lists `folder` under the filter at `filterPosition` in the window, ticks every row, and
// points the output at `out` in `format`: what a user does before pressing Start.
bool prepareStart(CMainDlg& dlg, const QString& folder, int filterPosition, const QString& out,
                  TargetFormat format, RecordingMessages& messages) {
  dlg.setMessages(&messages);
  dlg.setStartRunner(runStartCommand);
  auto* filter = qobject_cast<QComboBox*>(dlg.control(IdFilterCombo));
  filter->setCurrentIndex(filterPosition);
  dlg.OnFilterChanged(filterPosition);
  auto* tree = qobject_cast<ShellTreeCtrl*>(dlg.control(IdTree));
  if (!tree->selectPath(folder)) return false;
  dlg.OnListCommand(IdCmdCheckAll);
  qobject_cast<QComboBox*>(dlg.control(IdFormatCombo))->setCurrentIndex(format);
  dlg.runFolderDialog = [out](CFolderDialog& picker) {
    picker.setFolderPath(out);
    return 1;
  };
  dlg.OnBrowse();
  return true;
}

// Presses Start and runs the event loop until the run has ended and its end was handled.
// With `watch`, returns the longest gap between two ticks of a 2 ms timer: how long the
// window could not answer (the timer itself costs time, so it runs only when asked).
double runStart(CMainDlg& dlg, bool watch) {
  QElapsedTimer clock;
  clock.start();
  qint64 last = 0, longest = 0;
  QTimer tick;
  tick.setTimerType(Qt::PreciseTimer);
  tick.setInterval(2);
  QObject::connect(&tick, &QTimer::timeout, [&] {
    const qint64 now = clock.nsecsElapsed();
    longest = std::max(longest, now - last);
    last = now;
  });
  QEventLoop loop;
  // Queued: the window's own handler of the end (list, message) runs first and is measured.
  QObject::connect(dlg.conversionRun(), &ConversionRun::finished, &loop, &QEventLoop::quit,
                   Qt::QueuedConnection);
  if (watch) tick.start();
  last = clock.nsecsElapsed();
  QTimer::singleShot(0, &dlg, [&dlg] { dlg.OnOK(); });
  loop.exec();
  if (watch) longest = std::max(longest, clock.nsecsElapsed() - last);
  return longest / 1e6;
}

// Processor time of the whole process (every thread) so far, in seconds: on a machine
// shared with other work it varies far less than the time on the clock.
double cpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// One conversion of FILE into OUTDIR as text: without any listener (no row hook at all), by
// Start in the window (its worker's listener, the progress dialog polling), or as the
// command line does on a terminal (the progress line, drawn to /dev/null).
int rowsMode(const std::string& variant, const std::string& file, const std::string& out) {
  const std::string folder = file.substr(0, file.rfind('/'));
  std::filesystem::remove(out + "/" + std::filesystem::path(file).stem().string() + ".txt");
  RecordingMessages messages;
  QElapsedTimer timer;
  double cpuStart = 0;
  if (variant == "none") {
    Database db;
    ConversionContext ctx{programFolder(), &db, &messages};
    timer.start();
    cpuStart = cpuSeconds();
    ConvertWithDatabaseEngine(ctx, file, out, FormatText);
  } else if (variant == "window") {
    CMainDlg dlg(programFolder());
    dlg.show();
    // The CSV filter: the folder may hold more than the file.
    if (!prepareStart(dlg, QString::fromStdString(folder), 3, QString::fromStdString(out),
                      FormatText, messages))
      return 1;
    // The window is painted before Start, as a user sees it.
    for (int i = 0; i < 10; ++i) QCoreApplication::processEvents();
    timer.start();
    cpuStart = cpuSeconds();
    runStart(dlg, false);
  } else if (variant == "terminal") {
    const int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    std::atomic<bool> interrupted{false};
    TerminalProgress progress(true, &interrupted, devNull);
    Database db;
    ConversionContext ctx{programFolder(), &db, &messages};
    ctx.listener = &progress;
    timer.start();
    cpuStart = cpuSeconds();
    runBatch(ctx, {{file}, "txt", out});
    ::close(devNull);
  } else {
    return 2;
  }
  const double seconds = timer.nsecsElapsed() / 1e9;
  const double cpu = cpuSeconds() - cpuStart;
  if (!messages.shown.empty() &&
      messages.shown.back().second.rfind("Conversion Finished!\n1 file converted", 0) != 0 &&
      variant == "window")
    return 1;
  std::printf("rows %.3f %.3f %s\n", seconds, cpu, variant.c_str());
  return std::filesystem::exists(out + "/" + std::filesystem::path(file).stem().string() + ".txt")
             ? 0
             : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr,
                 "usage: %s list|preview FOLDER FILTER_POSITION [FILE]\n"
                 "       %s batch FOLDER OUTDIR\n"
                 "       %s rows none|window|terminal FILE OUTDIR\n",
                 argv[0], argv[0], argv[0]);
    return 2;
  }
  QApplication app(argc, argv);
  QTemporaryDir settingsDir;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
  QCoreApplication::setOrganizationName(QStringLiteral("Orvendi"));
  QCoreApplication::setApplicationName(QStringLiteral("Tabulor"));
  const std::string mode = argv[1];
  if (mode == "rows") return argc < 5 ? 2 : rowsMode(argv[2], argv[3], argv[4]);
  if (mode == "batch") {
    CMainDlg dlg(programFolder());
    dlg.show();
    for (int i = 0; i < 10; ++i) QCoreApplication::processEvents();
    RecordingMessages messages;
    if (!prepareStart(dlg, QString::fromLocal8Bit(argv[2]), 5, QString::fromLocal8Bit(argv[3]),
                      FormatCsv, messages))
      return 1;
    QElapsedTimer timer;
    timer.start();
    const double blockedMs = runStart(dlg, true);
    const double seconds = timer.nsecsElapsed() / 1e9;
    const size_t converted = std::distance(std::filesystem::directory_iterator(argv[3]),
                                           std::filesystem::directory_iterator());
    std::printf("batch %.1f %zu %.1f\n", blockedMs, converted, seconds);
    return messages.shown.size() == 1 ? 0 : 1;
  }
  const QString folder = QString::fromLocal8Bit(argv[2]);
  const int filter = std::atoi(argv[3]);

  CMainDlg dlg("./");
  dlg.show();
  for (int i = 0; i < 10; ++i) QCoreApplication::processEvents();
  auto* combo = qobject_cast<QComboBox*>(dlg.control(IdFilterCombo));
  combo->setCurrentIndex(filter);
  dlg.OnFilterChanged(filter);
  auto* tree = qobject_cast<ShellTreeCtrl*>(dlg.control(IdTree));
  auto* list = qobject_cast<QTreeWidget*>(dlg.control(IdFileList));

  // The user clicks a folder the tree already shows: its parent is listed first, outside
  // the measurement.
  const QString parent = folder.left(folder.lastIndexOf('/'));
  if (!tree->selectPath(parent.isEmpty() ? QStringLiteral("/") : parent)) return 1;
  for (int i = 0; i < 10; ++i) QCoreApplication::processEvents();

  QElapsedTimer timer;
  timer.start();
  if (!tree->selectPath(folder)) return 1;
  dlg.repaint();  // paints the window with its list now, not at the next event loop
  const double listMs = timer.nsecsElapsed() / 1e6;
  if (mode == "list") {
    std::printf("list %.1f %d\n", listMs, list->topLevelItemCount());
    return 0;
  }

  const QString file = QString::fromLocal8Bit(argv[4]);
  QTreeWidgetItem* row = nullptr;
  for (int i = 0; i < list->topLevelItemCount(); ++i)
    if (list->topLevelItem(i)->text(0) == file) row = list->topLevelItem(i);
  if (!row) return 1;
  timer.restart();
  list->setCurrentItem(row);  // the highlight loads the preview
  dlg.repaint();
  const double previewMs = timer.nsecsElapsed() / 1e6;
  std::printf("preview %.1f %d\n", previewMs, static_cast<int>(dlg.previewTables().size()));
  return dlg.previewPath().empty() ? 1 : 0;
}
