// The output settings of the main window: the format and output-folder combos, the recent
// folders kept in the settings, the folder picker ("...") and "Open".
#include <QComboBox>
#include <QSettings>
#include <QUrl>
#include <algorithm>

#include "ui/folder_dialog.h"
#include "ui/main_dlg.h"
#include "ui/main_dlg_internal.h"

namespace tabulor {

using main_dlg::qs;
using main_dlg::SettingsGroup;

int CMainDlg::findPrefix(const QString& text) const {
  // The list box's own prefix search from position 0: items after it first, then 0.
  const int n = folderCombo_->count();
  for (int k = 1; k <= n; ++k) {
    const int i = k % n;
    if (folderCombo_->itemText(i).startsWith(text, Qt::CaseInsensitive)) return i;
  }
  return -1;
}

void CMainDlg::writeOutputFolderText() {
  folderCombo_->setCurrentIndex(folderCombo_->findText(qs(outputFolderText_), Qt::MatchExactly));
}

void CMainDlg::readControls() {
  formatIndex_ = static_cast<TargetFormat>(std::max(0, formatCombo_->currentIndex()));
  outputFolderText_ =
      folderCombo_->currentIndex() >= 0 ? folderCombo_->currentText().toStdString() : "";
}

void CMainDlg::fillRecentFolders() {
  QSettings settings;
  settings.beginGroup(QLatin1String(SettingsGroup));
  recentFoldersRead_.clear();
  for (int i = 1; i <= 5; ++i) {
    const QString fallback = i == 1 ? QLatin1String(OriginalDirectory) : QString();
    recentFoldersRead_.push_back(
        settings.value(QStringLiteral("OutputDir%1").arg(i), fallback).toString().toStdString());
  }
  settings.endGroup();
  for (const std::string& folder : recentFoldersRead_)
    if (!folder.empty()) folderCombo_->addItem(qs(folder));
  folderCombo_->setCurrentIndex(findPrefix(qs(outputFolderText_)));
}

void CMainDlg::saveRecentFolders() {
  QSettings settings;
  settings.beginGroup(QLatin1String(SettingsGroup));
  for (int i = 0; i < folderCombo_->count() && i < 5; ++i)
    settings.setValue(QStringLiteral("OutputDir%1").arg(i + 1), folderCombo_->itemText(i));
  settings.endGroup();
  settings.sync();
}

void CMainDlg::OnBrowse() {
  const QString current =
      folderCombo_->currentIndex() >= 0 ? folderCombo_->currentText() : QString();
  CFolderDialog dialog(QStringLiteral("Select a Directory"), current, this,
                       CFolderDialog::BifReturnOnlyFsDirs | CFolderDialog::BifNewDialogStyle);
  if (runFolderDialog(dialog) != 1) return;
  const QString path = dialog.GetFolderPath();
  const int found = findPrefix(path);
  if (found >= 0 && folderCombo_->itemText(found) == path) {
    folderCombo_->setCurrentIndex(found);
    return;
  }
  folderCombo_->insertItem(1, path);
  folderCombo_->setCurrentIndex(std::min(1, folderCombo_->count() - 1));
}

void CMainDlg::OnOpenFolder() {
  readControls();
  const std::string folder =
      outputFolderText_ == OriginalDirectory ? browsedFolder_ : outputFolderText_;
  // An empty folder opens nothing.
  openUrl(folder.empty() ? QUrl() : QUrl::fromLocalFile(qs(folder)));
}

}  // namespace tabulor
