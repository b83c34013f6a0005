// The grid's title tip (see title_tip_wnd.h).
#include "grid/title_tip_wnd.h"

#include <QApplication>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

namespace tabulor {

TitleTipWnd::TitleTipWnd() {
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFocusPolicy(Qt::NoFocus);
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::ToolTipBase);
  setForegroundRole(QPalette::ToolTipText);
}

bool TitleTipWnd::Create(QWidget* parent) {
  parentWnd = parent;
  // A tool-tip window: no frame of the window manager, above other windows, never
  // activated, and transparent to input, so a click on it lands on the cell underneath.
  setParent(parent, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                        Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus);
  return true;
}

void TitleTipWnd::Show(const QRect& titleRect, const QString& text, int xOffset, const QRect* hover,
                       const QFont* font) {
  if (titleRect.isEmpty() || !parentWnd) return;
  const QRect hoverArea = hover ? *hover : titleRect;
  hoverRect = QRect(parentWnd->mapToGlobal(hoverArea.topLeft()), hoverArea.size());
  if (isVisible() || !QApplication::focusWidget()) return;

  const QPoint origin = parentWnd->mapToGlobal(titleRect.topLeft());
  shown = QLatin1Char(' ') + text + QLatin1Char(' ');
  const QFont tipFont = font ? *font : parentWnd->font();
  const QFontMetrics metrics(tipFont);
  // Cell rectangles are inclusive: the text fits when it ends on the rectangle's last
  // pixel column at the latest.
  const int left = titleRect.left() + xOffset;
  const int right = left + metrics.horizontalAdvance(shown) + xOffset;
  if (right <= titleRect.right() - xOffset) return;

  setFont(tipFont);
  setGeometry(origin.x() + xOffset, origin.y(), right - left, titleRect.bottom() - titleRect.top());
  show();
}

void TitleTipWnd::Hide() {
  if (isVisible()) hide();
}

void TitleTipWnd::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setPen(palette().color(QPalette::ToolTipText));
  painter.drawText(rect(), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, shown);
}

void TitleTipWnd::mouseMoveEvent(QMouseEvent* event) {
  if (HoverContains(event->globalPosition().toPoint())) return;
  Hide();
  forwardMouse(event);
}

void TitleTipWnd::mousePressEvent(QMouseEvent* event) {
  Hide();
  forwardMouse(event);
}

void TitleTipWnd::forwardMouse(QMouseEvent* event) {
  const QPoint global = event->globalPosition().toPoint();
  QWidget* target = QApplication::widgetAt(global);
  if (!target || target == this) target = parentWnd;
  if (!target) return;
  QCoreApplication::postEvent(target,
                              new QMouseEvent(event->type(), QPointF(target->mapFromGlobal(global)),
                                              QPointF(global), event->button(), event->buttons(),
                                              event->modifiers(), event->pointingDevice()));
}

}  // namespace tabulor
