// Keys and context menu of the file list.
#include "ui/source_list_ctrl.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>

#include "ui/control_ids.h"

namespace tabulor {

CSourceListCtrl::CSourceListCtrl(QWidget* parent) : QTreeWidget(parent) {
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setAllColumnsShowFocus(true);  // full-row selection
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
}

void CSourceListCtrl::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_A && (event->modifiers() & Qt::ControlModifier)) {
    // Every row selected (not ticked), then the key's own handling.
    selectAll();
    if (!currentItem() && topLevelItemCount() > 0)
      setCurrentItem(topLevelItem(0), 0, QItemSelectionModel::NoUpdate);
  }
  QTreeWidget::keyPressEvent(event);
}

QMenu* CSourceListCtrl::createContextMenu(QWidget* parent) const {
  auto* menu = new QMenu(parent);
  auto add = [menu](const char* text, int id) {
    QAction* a = menu->addAction(QString::fromLatin1(text));
    a->setData(id);
  };
  add("Open", IdCmdOpen);
  menu->addSeparator();
  add("Check", IdCmdCheck);
  add("Uncheck", IdCmdUncheck);
  menu->addSeparator();
  add("Check All", IdCmdCheckAll);
  add("Uncheck All", IdCmdUncheckAll);
  return menu;
}

void CSourceListCtrl::contextMenuEvent(QContextMenuEvent* event) {
  QMenu* menu = createContextMenu(window());
  QAction* chosen = menu->exec(event->globalPos());
  const int id = chosen ? chosen->data().toInt() : 0;
  delete menu;
  if (id) emit command(id);
}

}  // namespace tabulor
