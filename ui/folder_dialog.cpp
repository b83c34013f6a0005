// The folder picker.
#include "ui/folder_dialog.h"

#include <QFileDialog>
#include <QFileInfo>

namespace tabulor {

CFolderDialog::CFolderDialog(const QString& title, const QString& initialFolder, QWidget* owner,
                             uint32_t flags)
    : title_(title), initialFolder_(initialFolder), owner_(owner), flags_(flags) {}

int CFolderDialog::DoModal() {
  QFileDialog dialog(owner_, title_);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly, true);
  // The picker opens at the initial folder when there is one.
  if (!initialFolder_.isEmpty() && QFileInfo(initialFolder_).isDir())
    dialog.setDirectory(initialFolder_);
  if (dialog.exec() != QDialog::Accepted) return -1;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty() || !QFileInfo(chosen.front()).isDir()) return 2;
  folderPath_ = chosen.front();
  return 1;
}

}  // namespace tabulor
