// InPlaceEdit: the line editor the grid places exactly over a cell to change its text.
// It starts from the key or character that opened it, grows to the right as the text
// grows, and ends when it loses the keyboard focus: it then reports its text and the key
// that ended it to the grid (GridDispInfo) and deletes itself.
#pragma once

#include <QLineEdit>
#include <QPointer>
#include <QRect>
#include <QString>

#include "grid/grid_types.h"

namespace tabulor {

class InPlaceEdit : public QLineEdit {
  Q_OBJECT

 public:
  // Creates the editor as a child of `grid`'s client area over `rect` with the ES_* `style`
  // and control id `id`, gives it the grid's font, the text and the keyboard focus, and
  // applies `firstChar` (see CGridCtrl::OnEditCell).
  InPlaceEdit(CGridCtrl* grid, const QRect& rect, uint32_t style, int id, int row, int col,
              const QString& text, unsigned firstChar);

  int row, col;
  QString initialText;
  unsigned lastChar = 0;
  bool exitOnArrows;
  QRect rect;  // in the grid's client coordinates

  // Forgets the grid: ending tells it nothing more (the grid is going away).
  void Detach() { grid.clear(); }

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  // A typed character: Tab and Return end editing, Escape restores the first text and
  // ends it, anything else is typed and the editor grows.
  void OnChar(unsigned ch);
  // Leaves the editor by `key`: the grid takes the focus, which ends editing.
  void exitBy(unsigned key, Qt::KeyboardModifiers modifiers);
  void growToText();
  void endEdit();

  QPointer<CGridCtrl> grid;
  int controlId;
  Qt::KeyboardModifiers lastModifiers;
  bool ended = false;
};

}  // namespace tabulor
