// GridDropTarget: makes a grid's client area accept drops and hands the drag events over
// it to the grid's OnDragEnter, OnDragOver, OnDragLeave and OnDrop (grid_clipboard.cpp).
#pragma once

#include <QObject>
#include <QPointer>

namespace tabulor {

class CGridCtrl;

class GridDropTarget : public QObject {
  Q_OBJECT

 public:
  explicit GridDropTarget(QObject* parent = nullptr) : QObject(parent) {}

  // Serves `grid` (a CGridCtrl): false when registered already or given no grid.
  bool Register(QObject* grid);
  void Revoke();
  bool IsRegistered() const { return registered; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPointer<CGridCtrl> grid;
  bool registered = false;
};

}  // namespace tabulor
