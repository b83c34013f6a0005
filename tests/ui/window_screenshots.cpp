// Renders the main window for the documentation: on first start, and with a folder of
// sample files shown, one file highlighted and its preview filled.
//   window_screenshots OUTDIR SAMPLE_FOLDER FILTER_POSITION FILE [SUFFIX]
// Run it under QT_SCALE_FACTOR=2 with SUFFIX "-200" for the high-density variant.
#include <QApplication>
#include <QComboBox>
#include <QPixmap>
#include <QTreeWidgetItem>
#include <cstdio>

#include "app/start_command.h"
#include "tests/support/test_support.h"
#include "tests/ui/ui_test_support.h"
#include "ui/shell_tree_ctrl.h"

using namespace tabulor;

namespace {

void settle() {
  for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
}

bool save(QWidget* w, const QString& path) {
  settle();
  const bool ok = w->grab().save(path);
  std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(path));
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: %s OUTDIR SAMPLE_FOLDER FILTER_POSITION FILE [SUFFIX]\n", argv[0]);
    return 2;
  }
  QApplication app(argc, argv);
  QCoreApplication::setOrganizationName(QStringLiteral("Orvendi"));
  QCoreApplication::setApplicationName(QStringLiteral("Tabulor"));
  const QString out = QString::fromLocal8Bit(argv[1]);
  const std::string folder = argv[2];
  const int filter = std::atoi(argv[3]);
  const QString file = QString::fromLocal8Bit(argv[4]);
  const QString suffix = argc > 5 ? QString::fromLocal8Bit(argv[5]) : QString();

  tabulor::test::TempSettings settings;
  CMainDlg dlg(tabulor::test::binaryDir() + "/bin/");
  dlg.setStartRunner(runStartCommand);
  dlg.show();
  if (!save(&dlg, out + "/window-first-start" + suffix + ".png")) return 1;

  auto* combo = qobject_cast<QComboBox*>(dlg.control(IdFilterCombo));
  combo->setCurrentIndex(filter);
  dlg.OnFilterChanged(filter);
  auto* tree = qobject_cast<ShellTreeCtrl*>(dlg.control(IdTree));
  if (!tree->selectPath(QString::fromStdString(folder))) return 1;
  auto* list = qobject_cast<QTreeWidget*>(dlg.control(IdFileList));
  for (int i = 0; i < list->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = list->topLevelItem(i);
    if (i % 3 == 0) item->setCheckState(0, Qt::Checked);
    if (item->text(0) == file) {
      list->setCurrentItem(item);
      list->scrollToItem(item);
    }
  }
  settle();
  tree->scrollTo(tree->currentIndex(), QAbstractItemView::PositionAtCenter);
  if (!save(&dlg, out + "/window-preview" + suffix + ".png")) return 1;
  if (std::getenv("TABULOR_SHOT_RESIZED")) {
    dlg.resize(960, 640);
    save(&dlg, out + "/window-resized" + suffix + ".png");
  }
  return 0;
}
