// Clipboard and drag-and-drop of the grid: the selection as tab-separated text (copy, cut),
// pasting text from a cell on, dragging the selection out, and the drop target that takes
// text dropped on a cell (GridDropTarget, see grid_drop_target.h). Text travels as
// text/plain in UTF-8, and between grids the exact cells also travel in GridCellsMimeType.
#include <QApplication>
#include <QClipboard>
#include <QDrag>
#include <QDropEvent>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
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

// Appends `text` as a JSON string; runs without a character to escape go in whole.
void appendJsonString(QString& out, const QString& text) {
  out += QLatin1Char('"');
  qsizetype start = 0;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t code = text[i].unicode();
    if (code >= 0x20 && code != u'"' && code != u'\\') continue;
    out += QStringView(text).mid(start, i - start);
    if (code < 0x20)
      out += QStringLiteral("\\u%1").arg(unsigned(code), 4, 16, QLatin1Char('0'));
    else
      out += QLatin1Char('\\') + text[i];
    start = i + 1;
  }
  out += QStringView(text).mid(start);
  out += QLatin1Char('"');
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
  // the last: a selected empty cell gives a blank, an unselected cell gives nothing. The
  // cells' array has the same block with the texts as they are.
  QString text, cells = QStringLiteral("[");
  for (int rowIdx = range.minRow; rowIdx <= range.maxRow; ++rowIdx) {
    if (rowIdx != range.minRow) cells += QLatin1Char(',');
    cells += QLatin1Char('[');
    for (int colIdx = range.minCol; colIdx <= range.maxCol; ++colIdx) {
      if (colIdx != range.minCol) cells += QLatin1Char(',');
      const GridCell* cell = GetCell(rowIdx, colIdx);
      if (cell && (cell->state & CellSelected)) {
        text += cell->text.isEmpty() ? QStringLiteral(" ") : cell->text;
        appendJsonString(cells, cell->text);
      } else {
        cells += QLatin1String("null");
      }
      if (colIdx != range.maxCol) text += QLatin1Char('\t');
    }
    cells += QLatin1Char(']');
    if (rowIdx != range.maxRow) text += QLatin1Char('\n');
  }
  cells += QLatin1Char(']');
  auto* data = new QMimeData;
  data->setText(text);
  data->setData(QLatin1String(GridCellsMimeType), cells.toUtf8());
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

CGridCtrl::PasteFields CGridCtrl::pasteFields(const QMimeData* data, int rowLimit) {
  PasteFields out;
  auto add = [&](int rowOffset, int colOffset, const QString& text) {
    if (rowOffset < rowLimit)
      out.fields.push_back({rowOffset, colOffset, text});
    else if (!text.isEmpty())
      out.moreBelow = true;
  };

  // The grid's own cells: each text where it stood relative to the block's corner; the
  // gaps of the block (null) leave their cells alone.
  QJsonParseError error{};
  const QJsonDocument cells =
      data->hasFormat(QLatin1String(GridCellsMimeType))
          ? QJsonDocument::fromJson(data->data(QLatin1String(GridCellsMimeType)), &error)
          : QJsonDocument();
  if (error.error == QJsonParseError::NoError && cells.isArray()) {
    const QJsonArray rowsOfCells = cells.array();
    for (qsizetype i = 0; i < rowsOfCells.size(); ++i) {
      const QJsonArray line = rowsOfCells[i].toArray();
      for (qsizetype k = 0; k < line.size(); ++k)
        if (line[k].isString()) add(int(i), int(k), line[k].toString());
    }
    return out;
  }

  QString text = data->text();
  if (const qsizetype nul = text.indexOf(QChar(0)); nul >= 0) text.truncate(nul);
  // Line by line; an empty line between two lines still counts (its one blank field
  // empties the cell below the anchor). Beyond the limit only a non-empty field matters.
  qsizetype pos = 0;
  bool lastPass = false;
  for (int lineIndex = 0; !lastPass; ++lineIndex) {
    if (lineIndex >= rowLimit) {
      for (const QString& field : splitFields(text.mid(pos)))
        if (!field.trimmed().isEmpty()) out.moreBelow = true;
      break;
    }
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
    for (qsizetype k = 0; k < fields.size(); ++k) add(lineIndex, int(k), fields[k].trimmed());
  }
  return out;
}

bool CGridCtrl::fieldsLandWhole(const PasteFields& fields, CellPos anchor) const {
  if (fields.moreBelow) return false;
  for (const PasteField& field : fields.fields) {
    const int row = anchor.row + field.rowOffset, col = anchor.col + field.colOffset;
    if (!field.text.isEmpty() &&
        (row >= rowCount || col >= colCount || (GetItemState(row, col) & CellReadOnly)))
      return false;
  }
  return true;
}

bool CGridCtrl::PasteTextToGrid(CellPos cell, const QMimeData* data) {
  if (!IsValid(cell) || !IsCellEditable(cell) || !data || !data->hasText()) return false;
  for (const PasteField& field : pasteFields(data, rowCount - cell.row).fields) {
    const int row = cell.row + field.rowOffset, col = cell.col + field.colOffset;
    // Texts beyond the grid are dropped, and a cell the host made read-only keeps its own.
    if (col >= colCount || (GetItemState(row, col) & CellReadOnly)) continue;
    SendMessageToParent(row, col, LVN_BEGINLABELEDITA);
    SetItemText(row, col, field.text);
    SetModified(true, row, col);
    SendMessageToParent(row, col, LVN_ENDLABELEDITA);
    SetItemState(row, col, GetItemState(row, col) & ~CellSelected);
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

bool CGridCtrl::dropLandsWhole(const QMimeData* data) {
  if (!data || !IsValid(lastDragOverCell)) return false;
  if (!dragFields) {
    dragFields = pasteFields(data, rowCount - fixedRowCount);
    dragFieldsCheckedAt = CellPos{};
  }
  if (dragFieldsCheckedAt != lastDragOverCell) {
    dragFieldsCheckedAt = lastDragOverCell;
    dragFieldsLandWhole = fieldsLandWhole(*dragFields, lastDragOverCell);
  }
  return dragFieldsLandWhole;
}

void CGridCtrl::forgetDragFields() {
  dragFields.reset();
  dragFieldsCheckedAt = CellPos{};
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
      grid->forgetDragFields();
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
      unsigned effect =
          grid->OnDragOver(move->mimeData(), move->modifiers(), move->position().toPoint());
      // The source empties its cells after a move: where the cell under the pointer cannot
      // take every text, the answer is a copy, so what finds no cell here stays there. The
      // platform may end the drag with the answer to the last move rather than the drop's.
      if (effect == DROPEFFECT_MOVE && !grid->dropLandsWhole(move->mimeData()))
        effect = DROPEFFECT_COPY;
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
      grid->forgetDragFields();
      return true;
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      unsigned effect = effectFor(drop->modifiers());
      if (effect == DROPEFFECT_MOVE && !grid->dropLandsWhole(drop->mimeData()))
        effect = DROPEFFECT_COPY;
      if (grid->OnDrop(drop->mimeData(), effect, drop->position().toPoint())) {
        drop->setDropAction(dropActionOf(effect));
        drop->accept();
      } else {
        drop->ignore();
      }
      grid->forgetDragFields();
      return true;
    }
    default:
      return false;
  }
}

}  // namespace tabulor
