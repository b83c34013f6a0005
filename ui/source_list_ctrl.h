// CSourceListCtrl: the file list of the source browser, a report list with a check box per
// row. It adds Ctrl+A (select every row) and the context menu whose commands go to the main
// window.
#pragma once

#include <QTreeWidget>

namespace tabulor {

class CSourceListCtrl : public QTreeWidget {
  Q_OBJECT

 public:
  explicit CSourceListCtrl(QWidget* parent = nullptr);

  // Builds the context menu (Open, Check, Uncheck, Check All, Uncheck All); each action's
  // data is its command id. The caller owns the menu.
  QMenu* createContextMenu(QWidget* parent) const;

 signals:
  // A command of the context menu was chosen.
  void command(int id);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
};

}  // namespace tabulor
