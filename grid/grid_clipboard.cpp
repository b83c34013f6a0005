// Clipboard and drag-and-drop of the grid: the selection as tab-separated text (copy, cut),
// pasting text from a cell on, dragging the selection out, and the drop target that takes
// text dropped on a cell (GridDropTarget, see grid_drop_target.h). Text travels as
// text/plain in UTF-8.
#include <QApplication>
#include <QClipboard>
#include <QDrag>
#include <QDropEvent>
#include <QMimeData>

#include "grid/grid_ctrl.h"
#include "grid/grid_drop_target.h"

namespace tabulor {

namespace {

// Splits a line into its fields at TAB, comma and LF; runs of separators count as one and
// separators at either end make no field.
QStringList splitFields(const QString& line) {
  QStringList fields;
  qsizetype start = -1;
  for (qsizetype pos = 0; pos <= line.size(); ++pos) {
    const bool separator = pos == line.size() || line[pos] == QLatin1Char('\t') ||
                           line[pos] == QLatin1Char(',') || line[pos] == QLatin1Char('\n');
    if (!separator && start < 0) start = pos;
    if (separator && start >= 0) {
      fields.append(line.mid(start, pos - start));
      start = -1;
    }
  }
  return fields;
}

Qt::DropAction dropActionOf(unsigned effect) {
  return effect == DROPEFFECT_COPY ? Qt::CopyAction : Qt::MoveAction;
}

unsigned effectFor(Qt::KeyboardModifiers keyState) {
  return (keyState & Qt::ControlModifier) ? DROPEFFECT_COPY : DROPEFFECT_MOVE;
}

}  // namespace

QMimeData* CGridCtrl::CopyTextFromGrid() {
  const CellRange range = GetSelectedCellRange();
  if (!IsValid(range)) return nullptr;
  // One line per row of the selection's bounding block and one TAB after every column but
  // the last: a selected empty cell gives a blank, an unselected cell gives nothing.
  QString text;
  for (int rowIdx = range.minRow; rowIdx <= range.maxRow; ++rowIdx) {
    for (int colIdx = range.minCol; colIdx <= range.maxCol; ++colIdx) {
      const GridCell* cell = GetCell(rowIdx, colIdx);
      if (cell && (cell->state & CellSelected))
        text += cell->text.isEmpty() ? QStringLiteral(" ") : cell->text;
      if (colIdx != range.maxCol) text += QLatin1Char('\t');
    }
    if (rowIdx != range.maxRow) text += QLatin1Char('\n');
  }
  auto* data = new QMimeData;
  data->setText(text);
  return data;
}

void CGridCtrl::OnEditCopy() {
  if (QMimeData* data = CopyTextFromGrid()) QGuiApplication::clipboard()->setMimeData(data);
}

void CGridCtrl::OnEditCut() {
  if (!editable) return;
  QMimeData* data = CopyTextFromGrid();
  if (!data) return;
  QGuiApplication::clipboard()->setMimeData(data);
  CutSelectedText();
}

void CGridCtrl::CutSelectedText() {
  if (!editable) return;
  for (const CellPos cell : selectedCells.cells()) {
    GridCell* object = GetCell(cell.row, cell.col);
    if (!object || !IsCellEditable(cell)) continue;
    SendMessageToParent(cell.row, cell.col, LVN_BEGINLABELEDITA);
    EmptyCell(object, cell.row, cell.col);
    SetModified(true, cell.row, cell.col);
    SendMessageToParent(cell.row, cell.col, LVN_ENDLABELEDITA);
  }
  invalidateAll();
}

void CGridCtrl::OnEditPaste() {
  if (!editable) return;
  CellPos target = focusCell;
  if (!IsValid(target)) target = GetTopLeftNonFixedCell();
  if (!IsValid(target)) return;
  if (const QMimeData* data = QGuiApplication::clipboard()->mimeData())
    PasteTextToGrid(target, data);
}

bool CGridCtrl::PasteTextToGrid(CellPos cell, const QMimeData* data) {
  if (!IsValid(cell) || !IsCellEditable(cell) || !data || !data->hasText()) return false;
  QString text = data->text();
  if (const qsizetype nul = text.indexOf(QChar(0)); nul >= 0) text.truncate(nul);

  // Line by line from the anchor down; an empty line between two lines still counts (its
  // one blank field empties the anchor column's cell), fields beyond the grid are dropped.
  qsizetype pos = 0;
  bool lastPass = false;
  for (int lineIndex = 0; !lastPass && cell.row + lineIndex < rowCount; ++lineIndex) {
    QString line;
    if (const qsizetype lf = text.indexOf(QLatin1Char('\n'), pos); lf >= 0) {
      line = text.mid(pos, lf - pos);
      pos = lf + 1;
      if (line.isEmpty()) line = QStringLiteral(" ");
    } else {
      line = text.mid(pos);
      lastPass = true;
    }
    const QStringList fields = splitFields(line);
    const int row = cell.row + lineIndex;
    for (int k = 0; k < int(fields.size()) && cell.col + k < colCount; ++k) {
      const int col = cell.col + k;
      // A cell the host made read-only keeps its text; the field is dropped.
      if (GetItemState(row, col) & CellReadOnly) continue;
      SendMessageToParent(row, col, LVN_BEGINLABELEDITA);
      SetItemText(row, col, fields[k].trimmed());
      SetModified(true, row, col);
      SendMessageToParent(row, col, LVN_ENDLABELEDITA);
      SetItemState(row, col, GetItemState(row, col) & ~CellSelected);
    }
  }
  invalidateAll();
  return true;
}

bool CGridCtrl::OnUpdateCommand(int id) const {
  switch (id) {
    case ID_EDIT_COPY:
      return IsValid(GetSelectedCellRange());
    case ID_EDIT_CUT:
      return editable && IsValid(GetSelectedCellRange());
    case ID_EDIT_PASTE: {
      const QMimeData* data = QGuiApplication::clipboard()->mimeData();
      return IsValid(focusCell) && IsCellEditable(focusCell) && data && data->hasText();
    }
    case ID_EDIT_SELECT_ALL:
      return enableSelection;
    default:
      return false;
  }
}

// ---- Drag source.

void CGridCtrl::OnBeginDrag() {
  if (!allowDragAndDrop) return;
  QMimeData* data = CopyTextFromGrid();
  if (!data) return;
  const CellRange range = GetSelectedCellRange();
  SendMessageToParent(range.minRow, range.minCol, LVN_BEGINDRAG);
  mouseMode = MouseDragging;
  const unsigned effect = DoDragDrop(data, DROPEFFECT_COPY | DROPEFFECT_MOVE);
  if (effect & DROPEFFECT_MOVE) CutSelectedText();
  // The drag loop held the mouse and took the button's release with it.
  OnCaptureChanged(nullptr);
}

unsigned CGridCtrl::DoDragDrop(QMimeData* data, unsigned allowedEffects) {
  auto* drag = new QDrag(viewport());
  drag->setMimeData(data);
  Qt::DropActions actions;
  if (allowedEffects & DROPEFFECT_COPY) actions |= Qt::CopyAction;
  if (allowedEffects & DROPEFFECT_MOVE) actions |= Qt::MoveAction;
  switch (drag->exec(actions, Qt::MoveAction)) {
    case Qt::MoveAction:
    case Qt::TargetMoveAction:
      return DROPEFFECT_MOVE;
    case Qt::CopyAction:
      return DROPEFFECT_COPY;
    default:
      return DROPEFFECT_NONE;
  }
}

// ---- Drop target. Headers never take a drop: the cell under a point is a non-fixed one.

unsigned CGridCtrl::OnDragEnter(const QMimeData* data, Qt::KeyboardModifiers keyState,
                                QPoint point) {
  if (!allowDragAndDrop || !data || !data->hasText()) return DROPEFFECT_NONE;
  lastDragOverCell = GetCellFromPt(point, false);
  if (!IsValid(lastDragOverCell) || !IsCellEditable(lastDragOverCell)) return DROPEFFECT_NONE;
  const CellPos cell = lastDragOverCell;
  SetItemState(cell.row, cell.col, GetItemState(cell.row, cell.col) | CellDropHilited);
  RedrawCell(cell);
  return effectFor(keyState);
}

unsigned CGridCtrl::OnDragOver(const QMimeData* data, Qt::KeyboardModifiers keyState,
                               QPoint point) {
  if (!allowDragAndDrop || !editable || !data || !data->hasText()) return DROPEFFECT_NONE;
  const CellPos cell = GetCellFromPt(point, false);
  if (!IsValid(cell)) {
    OnDragLeave();
    lastDragOverCell = CellPos{};
    return DROPEFFECT_NONE;
  }
  if (!IsCellEditable(cell)) return DROPEFFECT_NONE;
  if (cell != lastDragOverCell) {
    OnDragLeave();
    lastDragOverCell = cell;
    SetItemState(cell.row, cell.col, GetItemState(cell.row, cell.col) | CellDropHilited);
    RedrawCell(cell);
  }
  return effectFor(keyState);
}

void CGridCtrl::OnDragLeave() {
  const CellPos cell = lastDragOverCell;
  if (!IsValid(cell)) return;
  SetItemState(cell.row, cell.col, GetItemState(cell.row, cell.col) & ~CellDropHilited);
  RedrawCell(cell);
}

bool CGridCtrl::OnDrop(const QMimeData* data, unsigned /*dropEffect*/, QPoint /*point*/) {
  if (!allowDragAndDrop || !IsValid(lastDragOverCell) || !IsCellEditable(lastDragOverCell))
    return false;
  mouseMode = MouseNothing;
  OnDragLeave();
  return PasteTextToGrid(lastDragOverCell, data);
}

// ---- GridDropTarget.

bool GridDropTarget::Register(QObject* target) {
  auto* served = qobject_cast<CGridCtrl*>(target);
  if (registered || !served) return false;
  grid = served;
  grid->viewport()->setAcceptDrops(true);
  grid->viewport()->installEventFilter(this);
  registered = true;
  return true;
}

void GridDropTarget::Revoke() {
  registered = false;
  if (!grid) return;
  grid->viewport()->removeEventFilter(this);
  grid->viewport()->setAcceptDrops(false);
}

bool GridDropTarget::eventFilter(QObject* watched, QEvent* event) {
  if (!registered || !grid || watched != grid->viewport()) return false;
  switch (event->type()) {
    case QEvent::DragEnter: {
      auto* enter = static_cast<QDragEnterEvent*>(event);
      const QMimeData* data = enter->mimeData();
      grid->OnDragEnter(data, enter->modifiers(), enter->position().toPoint());
      // Taking the enter only says the grid follows this drag; the move that always comes
      // right after it decides the effect at the point.
      if (grid->allowDragAndDrop && data && data->hasText())
        enter->acceptProposedAction();
      else
        enter->ignore();
      return true;
    }
    case QEvent::DragMove: {
      auto* move = static_cast<QDragMoveEvent*>(event);
      const unsigned effect =
          grid->OnDragOver(move->mimeData(), move->modifiers(), move->position().toPoint());
      if (effect == DROPEFFECT_NONE) {
        move->ignore();
      } else {
        move->setDropAction(dropActionOf(effect));
        move->accept();
      }
      return true;
    }
    case QEvent::DragLeave:
      grid->OnDragLeave();
      return true;
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      const unsigned effect = effectFor(drop->modifiers());
      if (grid->OnDrop(drop->mimeData(), effect, drop->position().toPoint())) {
        drop->setDropAction(dropActionOf(effect));
        drop->accept();
      } else {
        drop->ignore();
      }
      return true;
    }
    default:
      return false;
  }
}

}  // namespace tabulor
