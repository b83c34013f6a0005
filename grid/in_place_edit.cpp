// In-place editing: the InPlaceEdit control (see in_place_edit.h) and the grid's side of
// it, which opens an editor over an editable cell, stores the edited text when the editor
// ends, and moves on to the next cell when the editor was left with Tab or an arrow.
#include "grid/in_place_edit.h"

#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <algorithm>

#include "grid/grid_ctrl.h"

namespace tabulor {

namespace {

// The navigation keys that end an editor opened from the keyboard.
unsigned exitKey(int key) {
  switch (key) {
    case Qt::Key_PageUp:
      return VK_PRIOR;
    case Qt::Key_PageDown:
      return VK_NEXT;
    case Qt::Key_Left:
      return VK_LEFT;
    case Qt::Key_Up:
      return VK_UP;
    case Qt::Key_Right:
      return VK_RIGHT;
    case Qt::Key_Down:
      return VK_DOWN;
    default:
      return 0;
  }
}

}  // namespace

InPlaceEdit::InPlaceEdit(CGridCtrl* owner, const QRect& cellRect, uint32_t style, int id,
                         int editRow, int editCol, const QString& text, unsigned firstChar)
    : QLineEdit(owner->viewport()),
      row(editRow),
      col(editCol),
      initialText(text),
      exitOnArrows(firstChar != VK_LBUTTON),
      rect(cellRect),
      grid(owner),
      controlId(id) {
  setObjectName(QStringLiteral("inplace_edit_%1").arg(id));
  // A one-pixel border and no inner padding, so the text sits where the cell shows it.
  setStyleSheet(QStringLiteral("QLineEdit { border: 1px solid palette(shadow); padding: 0px; }"));
  const Qt::Alignment horizontal = (style & ES_RIGHT)    ? Qt::AlignRight
                                   : (style & ES_CENTER) ? Qt::AlignHCenter
                                                         : Qt::AlignLeft;
  setAlignment(horizontal | Qt::AlignVCenter);
  setFont(owner->GetFont());
  setText(text);
  setGeometry(rect);
  show();
  setFocus(Qt::OtherFocusReason);

  // The mouse and Return open the editor with the caret at the end; Backspace takes the
  // last character off; Tab, a blank and the navigation keys select the text; any other
  // character replaces the text.
  if (firstChar == VK_LBUTTON || firstChar == VK_RETURN) {
    end(false);
  } else if (firstChar == VK_BACK) {
    end(false);
    OnChar(VK_BACK);
  } else if ((firstChar & EditKeyFlag) || firstChar == VK_TAB || firstChar == VK_SPACE) {
    selectAll();
  } else {
    selectAll();
    OnChar(firstChar);
  }
}

bool InPlaceEdit::event(QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    // Tab ends the edit instead of moving the focus through the window.
    if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
      keyPressEvent(key);
      return true;
    }
  } else if (event->type() == QEvent::ShortcutOverride) {
    // Alt+letter does nothing while editing, not even a window's mnemonic.
    auto* key = static_cast<QKeyEvent*>(event);
    if ((key->modifiers() & Qt::AltModifier) && !key->text().isEmpty()) {
      event->accept();
      return true;
    }
  }
  return QLineEdit::event(event);
}

void InPlaceEdit::keyPressEvent(QKeyEvent* event) {
  // Every key ends here: nothing reaches the grid underneath while editing.
  event->accept();
  lastModifiers = event->modifiers();
  if (event->key() == Qt::Key_Backtab) lastModifiers |= Qt::ShiftModifier;
  if (const unsigned key = exitKey(event->key())) {
    if (exitOnArrows || (event->modifiers() & Qt::ControlModifier)) {
      exitBy(key, lastModifiers);
      return;
    }
  }
  switch (event->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      OnChar(VK_TAB);
      return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      OnChar(VK_RETURN);
      return;
    case Qt::Key_Escape:
      OnChar(VK_ESCAPE);
      return;
    default:
      break;
  }
  if ((event->modifiers() & Qt::AltModifier) && !event->text().isEmpty()) return;
  QLineEdit::keyPressEvent(event);
  event->accept();
  growToText();
}

void InPlaceEdit::OnChar(unsigned ch) {
  switch (ch) {
    case VK_TAB:
    case VK_RETURN:
      exitBy(ch, lastModifiers);
      return;
    case VK_ESCAPE:
      setText(initialText);
      exitBy(VK_ESCAPE, lastModifiers);
      return;
    case VK_BACK:
      backspace();
      break;
    default: {
      const char32_t typed = ch;
      insert(QString::fromUcs4(&typed, 1));
      break;
    }
  }
  growToText();
}

void InPlaceEdit::exitBy(unsigned key, Qt::KeyboardModifiers modifiers) {
  lastChar = key;
  lastModifiers = modifiers;
  if (grid) grid->setFocus(Qt::OtherFocusReason);
  // In a window that is not active, moving the focus sends no focus events.
  if (!ended) endEdit();
}

void InPlaceEdit::growToText() {
  if (!grid) return;
  const int needed = QFontMetrics(font()).horizontalAdvance(text() + QStringLiteral("  "));
  if (needed <= rect.width()) return;
  const int width = std::min(needed, grid->viewport()->width() - rect.left());
  if (width <= rect.width()) return;
  rect.setWidth(width);
  setGeometry(rect);
}

void InPlaceEdit::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  // The editor's own context menu takes the focus only for a moment.
  if (event->reason() == Qt::PopupFocusReason) return;
  endEdit();
}

void InPlaceEdit::endEdit() {
  if (ended) return;
  ended = true;
  GridDispInfo info;
  info.idFrom = controlId;
  info.code = LVN_ENDLABELEDITA;
  info.row = row;
  info.col = col;
  info.mask = ItemMaskText | ItemMaskParam;
  info.text = text();
  info.param = lastChar;
  info.modifiers = lastModifiers;
  // Closed through the event queue, after the grid has handled the end.
  deleteLater();
  if (grid) grid->OnEndInPlaceEdit(info);
  hide();
}

// ---- The grid's side.

void CGridCtrl::OnEditCell(int row, int col, unsigned firstChar) {
  // Scrolling comes first, so typing on a read-only grid still brings the cell into view.
  // No cell, no scrolling: a cell address of -1 would scroll the grid back to its start.
  if (!IsValid(row, col)) return;
  EnsureVisible(row, col);
  QRect rect;
  if (!IsCellEditable(row, col) || !IsCellVisible(row, col) || !GetCellRect(row, col, &rect))
    return;
  SendMessageToParent(row, col, LVN_BEGINLABELEDITA);
  GridItem item;
  item.row = row;
  item.col = col;
  item.mask = ItemMaskText | ItemMaskFormat;
  if (!GetItem(&item)) return;
  const uint32_t style = (item.format & DT_RIGHT)    ? ES_RIGHT
                         : (item.format & DT_CENTER) ? ES_CENTER
                                                     : ES_LEFT;
  inPlaceEdit =
      CreateInPlaceEditControl(rect, style, InPlaceControlId, row, col, item.text, firstChar);
}

InPlaceEdit* CGridCtrl::CreateInPlaceEditControl(const QRect& rect, uint32_t style, int id, int row,
                                                 int col, const QString& text, unsigned firstChar) {
  return new InPlaceEdit(this, rect, style | ES_AUTOHSCROLL, id, row, col, text, firstChar);
}

void CGridCtrl::OnEndEditCell(int row, int col, const QString& text) {
  if (GetItemText(row, col) == text) return;
  SetModified(true, row, col);
  SetItemText(row, col, text);
}

void CGridCtrl::OnEndInPlaceEdit(const GridDispInfo& info) {
  if (!created) return;
  OnEndEditCell(info.row, info.col, info.text);
  InvalidateCellRect({info.row, info.col});
  SendMessageToParent(info.row, info.col, LVN_ENDLABELEDITA);
  if (info.param == VK_TAB || (info.param >= VK_PRIOR && info.param <= VK_DOWN)) {
    OnKeyDown(info.param, info.modifiers);
    OnEditCell(focusCell.row, focusCell.col, info.param | EditKeyFlag);
  }
}

InPlaceEdit* CGridCtrl::GetInPlaceEdit() const {
  return inPlaceEdit.data();
}

}  // namespace tabulor
