// TitleTipWnd: the borderless top-most window that shows the whole text of a grid cell
// whose text is cut off, while the pointer rests on the cell. It never takes the focus or
// the mouse: the grid hides it when the pointer leaves the hover rectangle, on keys,
// clicks, scrolling and when the window loses activation.
#pragma once

#include <QFont>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>

namespace tabulor {

class TitleTipWnd : public QWidget {
  Q_OBJECT

 public:
  TitleTipWnd();

  // Remembers the grid's viewport it serves (title rectangles are in its coordinates) and
  // becomes a window of its own, owned by it.
  bool Create(QWidget* parent);
  // Shows `text` over `titleRect` when the text with a blank on each side does not fit in
  // it. `hoverRect` (default: titleRect) is where the pointer may move while the tip stays;
  // `font` (default: the parent's) is the font of the text. Does nothing for an empty
  // rectangle, while the tip is shown already, or while no widget has the keyboard focus.
  void Show(const QRect& titleRect, const QString& text, int xOffset = 0,
            const QRect* hoverRect = nullptr, const QFont* font = nullptr);
  void Hide();
  // Whether a global point lies in the hover rectangle.
  bool HoverContains(QPoint globalPoint) const { return hoverRect.contains(globalPoint); }
  QString shownText() const { return shown; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  // Where the platform hands the tip pointer events in spite of its being transparent to
  // input, they go on to the window under the pointer.
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  void forwardMouse(QMouseEvent* event);

  QPointer<QWidget> parentWnd;
  QRect hoverRect;  // global coordinates
  QString shown;    // the text as drawn, a blank on each side
};

}  // namespace tabulor
