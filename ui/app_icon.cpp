// Drawing of the application icon at the sizes the desktop asks for.
#include "ui/app_icon.h"

#include <QPainter>
#include <QPixmap>

namespace tabulor {

// On an image rather than a pixmap, so that the build can render the installed PNG sizes
// without a display or a GUI application object.
QImage applicationIconImage(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  const double u = size / 16.0;
  const QRectF sheet(1 * u, 2 * u, 14 * u, 12 * u);
  p.fillRect(sheet, QColor(255, 255, 255));
  p.fillRect(QRectF(sheet.left(), sheet.top(), sheet.width(), 3 * u), QColor(0x2b, 0x6c, 0xb0));
  p.fillRect(QRectF(sheet.left(), sheet.top(), 3 * u, sheet.height()), QColor(0xd6, 0xe2, 0xf0));
  p.setPen(QPen(QColor(0x80, 0x8a, 0x96), std::max(1.0, u / 2)));
  for (int i = 1; i < 4; ++i) {
    const double y = sheet.top() + 3 * u + i * 2.25 * u;
    p.drawLine(QPointF(sheet.left(), y), QPointF(sheet.right(), y));
  }
  for (double x : {4.0, 8.0, 12.0})
    p.drawLine(QPointF(x * u, sheet.top()), QPointF(x * u, sheet.bottom()));
  p.setPen(QPen(QColor(0x33, 0x3a, 0x44), std::max(1.0, u / 2)));
  p.drawRect(sheet);
  p.end();
  return image;
}

const QIcon& applicationIcon() {
  static const QIcon icon = [] {
    QIcon i;
    for (int size : {16, 24, 32, 48, 64})
      i.addPixmap(QPixmap::fromImage(applicationIconImage(size)));
    return i;
  }();
  return icon;
}

}  // namespace tabulor
