// Times the main window's two interactive paths, from the user's action to the painted
// window: choosing a folder in the tree (the file list fills) and highlighting a file (the
// preview fills). Prints one line per measurement: "<what> <milliseconds> <rows>".
//   bench_ui list FOLDER FILTER_POSITION
//   bench_ui preview FOLDER FILTER_POSITION FILE
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <cstdio>
#include <cstdlib>

#include "ui/control_ids.h"
#include "ui/main_dlg.h"
#include "ui/shell_tree_ctrl.h"

using namespace tabulor;

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s list|preview FOLDER FILTER_POSITION [FILE]\n", argv[0]);
    return 2;
  }
  QApplication app(argc, argv);
  QTemporaryDir settingsDir;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
  QCoreApplication::setOrganizationName(QStringLiteral("Orvendi"));
  QCoreApplication::setApplicationName(QStringLiteral("Tabulor"));
  const std::string mode = argv[1];
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
