// The hyperlink label of the About box.
#include "ui/link_label.h"

#include <QDesktopServices>
#include <QMouseEvent>
#include <QUrl>

namespace tabulor {

namespace {

QColor fromColorRef(unsigned c) {
  return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

}  // namespace

CLinkLabel::CLinkLabel(QWidget* parent) : QLabel(parent) {
  openUrl = [](const QString& target) { return QDesktopServices::openUrl(QUrl(target)); };
}

void CLinkLabel::setLinkText(const QString& text) {
  linkText_ = text;
  if (!text.isEmpty()) setText(text);
}

void CLinkLabel::attach() {
  if (linkText_.isEmpty()) linkText_ = text();
  if (text().isEmpty()) setText(linkText_);
  QPalette pal = palette();
  pal.setColor(QPalette::WindowText, fromColorRef(visited_ ? VisitedColour : LinkColour));
  setPalette(pal);
  if (underline_) {
    QFont f = font();
    f.setUnderline(true);
    setFont(f);
  }
  setCursor(Qt::PointingHandCursor);
  setToolTip(linkText_);
  if (fitToText_) fitToText();
}

void CLinkLabel::fitToText() {
  // The left edge stays (or the right edge, or the centre, by the alignment); the height
  // becomes the text's.
  const QSize hint = sizeHint();
  QRect r = geometry();
  if (alignment() & Qt::AlignHCenter)
    r = QRect(r.center().x() - hint.width() / 2, r.top(), hint.width(), r.height());
  else if (alignment() & Qt::AlignRight)
    r.setLeft(r.right() - hint.width() + 1);
  else
    r.setWidth(hint.width());
  if (alignment() & Qt::AlignVCenter)
    r = QRect(r.left(), r.center().y() - hint.height() / 2, r.width(), hint.height());
  else
    r.setHeight(hint.height());
  setGeometry(r);
}

void CLinkLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && openUrl)
    openUrl(linkTarget_);
  QLabel::mouseReleaseEvent(event);
}

}  // namespace tabulor
