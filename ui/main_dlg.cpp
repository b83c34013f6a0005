// The main window.
#include "ui/main_dlg.h"

namespace tabulor {

CMainDlg::CMainDlg(std::string programFolder, QWidget* parent)
    : QDialog(parent), programFolder_(std::move(programFolder)) {
  OnInitDialog();
}

CMainDlg::~CMainDlg() = default;

void CMainDlg::OnInitDialog() {
  setWindowTitle(QStringLiteral("Tabulor 2.6"));
  resize(740, 500);
}

}  // namespace tabulor
