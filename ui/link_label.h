// CLinkLabel: a static text that acts as a hyperlink. It shows its text underlined in the
// link colour, shows the hand cursor and a tooltip, and opens its target with the desktop's
// handler when clicked.
#pragma once

#include <QLabel>
#include <functional>

namespace tabulor {

class CLinkLabel : public QLabel {
  Q_OBJECT

 public:
  // COLORREF values (0x00BBGGRR): blue 0xEE, and the visited colour.
  static constexpr unsigned LinkColour = 0xEE0000;
  static constexpr unsigned VisitedColour = 0x8B1A55;

  explicit CLinkLabel(QWidget* parent = nullptr);

  // Target opened on a click; text shown (the window text when empty) and used as tooltip.
  void setLinkTarget(const QString& target) { linkTarget_ = target; }
  const QString& linkTarget() const { return linkTarget_; }
  void setLinkText(const QString& text);
  const QString& linkText() const { return linkText_; }

  // Applies the link look to the current text: tooltip, colour, underline, size fitted.
  void attach();

  // Opens the link target; replaceable so tests see what would be opened.
  std::function<bool(const QString&)> openUrl;

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void fitToText();

  QString linkTarget_;
  QString linkText_;
  bool visited_ = false;  // never set: the link colour is always used
  bool underline_ = true;
  bool fitToText_ = true;
};

}  // namespace tabulor
