// The folder tree on QFileSystemModel.
#include "ui/shell_tree_ctrl.h"

#include <QDir>
#include <QHeaderView>

namespace tabulor {

ShellTreeCtrl::ShellTreeCtrl(QWidget* parent)
    : QTreeView(parent), model_(new QFileSystemModel(this)) {
  model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
  model_->setReadOnly(true);
  setHeaderHidden(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setUniformRowHeights(true);
}

void ShellTreeCtrl::AddRootFolderContent(const QString& folder, unsigned /*flags*/) {
  setModel(model_);
  // Only the name column: size, type and date say nothing useful about folders.
  for (int col = 1; col < model_->columnCount(); ++col) hideColumn(col);
  model_->setRootPath(folder.isEmpty() ? QDir::rootPath() : folder);
  // Selection, not the current item: a view that gets the focus makes its first item
  // current without choosing it, and that must not list a folder.
  connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this](const QItemSelection& selected, const QItemSelection&) {
            if (!selected.isEmpty()) emit selectionChangedToFolder();
          });
  // Open at the home folder: expand its ancestors and show it, without choosing it.
  const QModelIndex home = model_->index(QDir::homePath());
  for (QModelIndex i = home.parent(); i.isValid(); i = i.parent()) expand(i);
  if (home.isValid()) scrollTo(home, QAbstractItemView::PositionAtTop);
}

std::string ShellTreeCtrl::GetSelectedPath() const {
  const QModelIndexList selected =
      selectionModel() ? selectionModel()->selectedIndexes() : QModelIndexList();
  if (selected.isEmpty()) return {};
  return model_->filePath(selected.front()).toStdString();
}

bool ShellTreeCtrl::selectPath(const QString& path) {
  const QModelIndex index = model_->index(path);
  if (!index.isValid()) return false;
  for (QModelIndex i = index.parent(); i.isValid(); i = i.parent()) expand(i);
  scrollTo(index);
  selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
  return true;
}

}  // namespace tabulor
