// CFolderDialog: the folder picker of the output settings, on QFileDialog (folders only),
// with the results of the shell's picker: 1 a folder was chosen, -1 cancelled, 2 the
// choice has no file-system path.
#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>

namespace tabulor {

class CFolderDialog {
 public:
  static constexpr uint32_t BifReturnOnlyFsDirs = 0x1;
  static constexpr uint32_t BifStatusText = 0x4;
  static constexpr uint32_t BifNewDialogStyle = 0x40;

  CFolderDialog(const QString& title, const QString& initialFolder, QWidget* owner, uint32_t flags);
  virtual ~CFolderDialog() = default;

  int DoModal();

  const QString& title() const { return title_; }
  const QString& initialFolder() const { return initialFolder_; }
  uint32_t flags() const { return flags_; }
  // The chosen folder after DoModal returned 1.
  const QString& GetFolderPath() const { return folderPath_; }
  void setFolderPath(const QString& path) { folderPath_ = path; }

 private:
  QString title_;
  QString initialFolder_;
  QString folderPath_;
  QWidget* owner_;
  uint32_t flags_;
};

}  // namespace tabulor
