// ShellTreeCtrl: the folder tree of the source browser, a QTreeView over the file system
// (folders only). It shows the file-system root with the user's home folder opened, and
// gives the selected folder's path.
#pragma once

#include <QFileSystemModel>
#include <QTreeView>
#include <string>

namespace tabulor {

class ShellTreeCtrl : public QTreeView {
  Q_OBJECT

 public:
  explicit ShellTreeCtrl(QWidget* parent = nullptr);

  // Fills the tree with the file system (`folder` empty: from the root) and opens it at
  // the home folder, selecting nothing.
  void AddRootFolderContent(const QString& folder = QString(), unsigned flags = 0);

  // The path of the selected folder; empty when nothing is selected.
  std::string GetSelectedPath() const;

  // Selects `path` (expanding its parents) as a user's click would; false when the tree
  // does not hold it.
  bool selectPath(const QString& path);

  QFileSystemModel* fileSystemModel() const { return model_; }

 signals:
  // A folder was selected (the tree's selection-change notification).
  void selectionChangedToFolder();

 private:
  QFileSystemModel* model_;
};

}  // namespace tabulor
