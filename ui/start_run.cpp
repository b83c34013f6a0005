// Start and the end of its run: the ticked files and the output settings are stored and
// handed to a ConversionRun, which converts them on a worker thread; when it ends, the file
// list is listed again (the run may have written into the browsed folder) and the message
// of the run is shown.
#include <QPushButton>
#include <QSettings>
#include <QTreeWidgetItem>

#include "ui/control_ids.h"
#include "ui/conversion_run.h"
#include "ui/main_dlg.h"
#include "ui/main_dlg_internal.h"
#include "ui/source_list_ctrl.h"

namespace tabulor {

using main_dlg::qs;
using main_dlg::SettingsGroup;

bool CMainDlg::runGoing() const {
  return run_ && run_->running();
}

void CMainDlg::OnOK() {
  // One run at a time: Start is greyed during a run, and Enter lands here all the same.
  if (runGoing()) return;
  readControls();
  StartJob job;
  for (int i = 0, n = list_->topLevelItemCount(); i < n; ++i) {
    QTreeWidgetItem* item = list_->topLevelItem(i);
    if (item->checkState(0) == Qt::Checked)
      job.sourcePaths.push_back(browsedFolder_ + "/" + item->text(0).toStdString());
  }
  if (job.sourcePaths.empty()) {
    context_.messages->show("Please select files first!", "Tabulor");
    return;
  }
  {
    QSettings settings;
    settings.beginGroup(QLatin1String(SettingsGroup));
    settings.setValue(QStringLiteral("CurrentDirectory"), qs(browsedFolder_));
    settings.setValue(QStringLiteral("OutDir"), qs(outputFolderText_));
    settings.endGroup();
    settings.sync();
  }
  saveRecentFolders();
  job.browsedFolder = browsedFolder_;
  job.outputFolderText = outputFolderText_;
  job.format = formatIndex_;
  if (!startRunner_) return;
  if (run_->start(startRunner_, job, context_)) control(IdOk)->setEnabled(false);
}

void CMainDlg::OnRunFinished(const QString& endMessage) {
  control(IdOk)->setEnabled(true);
  if (closeAfterRun_) {
    done(closeResult_);
    return;
  }
  refreshFileList();
  if (!endMessage.isEmpty()) context_.messages->show(endMessage.toStdString(), "Tabulor");
}

}  // namespace tabulor
