// CAboutDlg: the About box, with the version line and the home-page link.
#pragma once

#include <QDialog>

namespace tabulor {

class CLinkLabel;

// The product's home page shown in the About box.
inline constexpr const char* HomePageAddress = "https://tabulor.orvendi.example/";

class CAboutDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CAboutDlg(QWidget* parent = nullptr);
  CLinkLabel* link() const { return link_; }

 private:
  CLinkLabel* link_;
};

}  // namespace tabulor
