// CMainDlg: the main window of Tabulor.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "convert/conversion_context.h"
#include "engine/database.h"

namespace tabulor {

class CMainDlg : public QDialog {
  Q_OBJECT

 public:
  // `programFolder` is the folder of the executable, ending in "/".
  explicit CMainDlg(std::string programFolder, QWidget* parent = nullptr);
  ~CMainDlg() override;

  const std::string& programFolder() const { return programFolder_; }

 private:
  void OnInitDialog();

  std::string programFolder_;
  Database database_;
};

}  // namespace tabulor
