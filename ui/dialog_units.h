// Dialog units to pixels, with the base units of the dialog font the window templates were
// drawn for (6 x 13): x * 6 / 4, y * 13 / 8.
#pragma once

#include <QRect>
#include <QWidget>

namespace tabulor {

inline int duX(int x) {
  return x * 6 / 4;
}
inline int duY(int y) {
  return y * 13 / 8;
}
inline QRect duRect(int x, int y, int w, int h) {
  return QRect(duX(x), duY(y), duX(x + w) - duX(x), duY(y + h) - duY(y));
}
inline QSize duToPixels(QSize s) {
  return QSize(duX(s.width()), duY(s.height()));
}

// `r` grown (never shrunk) to the widget's size hint, so a text in a font larger than the
// template's is not clipped.
inline QRect fitRect(const QWidget* w, QRect r) {
  const QSize hint = w->sizeHint();
  if (hint.width() > r.width()) r.setWidth(hint.width());
  if (hint.height() > r.height()) r.setHeight(hint.height());
  return r;
}

}  // namespace tabulor
