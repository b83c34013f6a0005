// The source browser of the main window: the folder tree's selection and the filter fill the
// file list; rows are ticked, counted, sorted, opened, and highlighting one loads its
// preview.
#include <sys/stat.h>

#include <QApplication>
#include <QFileIconProvider>
#include <QIcon>
#include <QLabel>
#include <QMimeDatabase>
#include <QScrollBar>
#include <QUrl>
#include <algorithm>
#include <set>
#include <unordered_map>

#include "ui/control_ids.h"
#include "ui/main_dlg.h"
#include "ui/main_dlg_internal.h"
#include "ui/shell_tree_ctrl.h"
#include "ui/source_list_ctrl.h"
#include "ui/source_scan.h"

namespace tabulor {

using main_dlg::entryOf;
using main_dlg::EntryRole;
using main_dlg::qs;

namespace {

// Type description and icon by extension, looked up once per extension: building the list
// opens no file.
struct FileTypeInfo {
  QString typeName;
  QIcon icon;
};

}  // namespace

void CMainDlg::OnTreeSelChanged() {
  browsedFolder_ = tree_->GetSelectedPath();
  showFolder(browsedFolder_);
}

void CMainDlg::OnFilterChanged(int position) {
  if (position >= 0 && position < static_cast<int>(sourceFilters().size()))
    filterPattern_ = sourceFilters()[static_cast<size_t>(position)].pattern;
  showFolder(browsedFolder_);
}

void CMainDlg::showFolder(const std::string& folder) {
  // The preview belongs to a row of the list that is going: it must not outlive it (its
  // table buttons would show another folder's file).
  clearPreview();
  scanBrowsedFolder(folder);
  fillFileList();
}

void CMainDlg::scanBrowsedFolder(const std::string& folder) {
  scannedPaths_.clear();
  scanFolder(scannedPaths_, folder, "", filterPattern_);
  // Rows come in the order of the lower-cased paths; the paths themselves keep their case.
  std::vector<std::pair<std::string, std::string>> keyed;
  keyed.reserve(scannedPaths_.size());
  for (auto& path : scannedPaths_) {
    std::string key = path;
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    keyed.emplace_back(std::move(key), std::move(path));
  }
  std::stable_sort(keyed.begin(), keyed.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (size_t i = 0; i < keyed.size(); ++i) scannedPaths_[i] = std::move(keyed[i].second);
}

void CMainDlg::refreshFileList() {
  if (browsedFolder_.empty()) return;  // nothing browsed yet: the list is empty
  std::set<QString> ticked, selected;
  for (int i = 0, n = list_->topLevelItemCount(); i < n; ++i) {
    const QTreeWidgetItem* item = list_->topLevelItem(i);
    if (item->checkState(0) == Qt::Checked) ticked.insert(item->text(0));
    if (item->isSelected()) selected.insert(item->text(0));
  }
  const QString current = list_->currentItem() ? list_->currentItem()->text(0) : QString();
  const int scrolled = list_->verticalScrollBar()->value();

  scanBrowsedFolder(browsedFolder_);
  fillFileList();
  if (listSortColumn_ >= 0) sortRows();

  // The rows come back as they were; nothing is newly highlighted, so no preview loads.
  QSignalBlocker blockSelection(list_->selectionModel());
  const bool blocked = list_->blockSignals(true);
  bool previewRowKept = previewPath_.empty();
  for (int i = 0, n = list_->topLevelItemCount(); i < n; ++i) {
    QTreeWidgetItem* item = list_->topLevelItem(i);
    const QString name = item->text(0);
    if (ticked.count(name)) item->setCheckState(0, Qt::Checked);
    if (selected.count(name)) item->setSelected(true);
    if (name == current) list_->setCurrentItem(item, 0, QItemSelectionModel::NoUpdate);
    if (!previewRowKept && browsedFolder_ + "/" + name.toStdString() == previewPath_)
      previewRowKept = true;
  }
  list_->blockSignals(blocked);
  list_->verticalScrollBar()->setValue(scrolled);
  list_->viewport()->update();
  updateCountText();
  // The highlighted file is gone: its preview goes with it.
  if (!previewRowKept) clearPreview();
}

void CMainDlg::fillFileList() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  list_->setUpdatesEnabled(false);
  inFill_ = true;
  const bool blocked = list_->blockSignals(true);
  list_->clear();
  fileEntries_.clear();

  QMimeDatabase mimeDatabase;
  QFileIconProvider iconProvider;
  const QIcon fileIcon = iconProvider.icon(QFileIconProvider::File);
  std::unordered_map<std::string, FileTypeInfo> types;

  QList<QTreeWidgetItem*> items;
  items.reserve(static_cast<qsizetype>(scannedPaths_.size()));
  for (const std::string& path : scannedPaths_) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) continue;  // gone since the scan
    auto entry = std::make_unique<FileEntry>();
    const size_t slash = path.rfind('/');
    entry->fileName = slash == std::string::npos ? path : path.substr(slash + 1);
    entry->fileSize = static_cast<int64_t>(st.st_size);
    entry->modifiedTime = st.st_mtime;

    const size_t dot = entry->fileName.rfind('.');
    std::string ext = dot == std::string::npos ? std::string() : entry->fileName.substr(dot);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    auto found = types.find(ext);
    if (found == types.end()) {
      const QMimeType mime =
          mimeDatabase.mimeTypeForFile(qs(entry->fileName), QMimeDatabase::MatchExtension);
      FileTypeInfo info{mime.comment(), QIcon::fromTheme(mime.iconName(), fileIcon)};
      if (ext.empty() || mime.isDefault()) {
        // No registered type: the way a desktop names it, "XYZ File" or "File".
        std::string upper = ext.empty() ? "" : ext.substr(1);
        std::transform(upper.begin(), upper.end(), upper.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        info.typeName = upper.empty() ? QStringLiteral("File") : qs(upper + " File");
      }
      found = types.emplace(ext, std::move(info)).first;
    }
    entry->typeName = found->second.typeName.toStdString();

    auto* item = new QTreeWidgetItem;
    item->setText(0, qs(entry->fileName));
    item->setIcon(0, found->second.icon);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(0, Qt::Unchecked);
    item->setText(1, qs(sizeText(entry->fileSize)));
    item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    item->setText(2, found->second.typeName);
    item->setText(3, qs(modifiedText(entry->modifiedTime)));
    item->setData(0, EntryRole, QVariant::fromValue(reinterpret_cast<quintptr>(entry.get())));
    items.push_back(item);
    fileEntries_.push_back(std::move(entry));
  }
  list_->addTopLevelItems(items);

  list_->blockSignals(blocked);
  inFill_ = false;
  if (!items.isEmpty()) updateCountText();
  list_->setUpdatesEnabled(true);
  QApplication::restoreOverrideCursor();
}

void CMainDlg::updateCountText() {
  int ticked = 0;
  for (int i = 0, n = list_->topLevelItemCount(); i < n; ++i)
    if (list_->topLevelItem(i)->checkState(0) == Qt::Checked) ++ticked;
  countText_->setText(QStringLiteral("%1 files selected").arg(ticked));
}

QTreeWidgetItem* CMainDlg::singleSelectedRow() const {
  const QList<QTreeWidgetItem*> selected = list_->selectedItems();
  return selected.size() == 1 ? selected.front() : nullptr;
}

void CMainDlg::OnListItemChanged(QTreeWidgetItem* item) {
  if (inFill_) return;
  updateCountText();
  // Ticking or unticking the highlighted row reloads its preview.
  if (item && item->isSelected() && singleSelectedRow() == item && entryOf(item)) {
    const std::string path = browsedFolder_ + "/" + item->text(0).toStdString();
    loadPreview(path, 1, classifySource(path));
  }
}

void CMainDlg::OnListSelectionChanged() {
  if (inFill_) return;
  updateCountText();
  QTreeWidgetItem* row = singleSelectedRow();
  if (!row || !entryOf(row)) return;
  const std::string path = browsedFolder_ + "/" + row->text(0).toStdString();
  loadPreview(path, 1, classifySource(path));
}

void CMainDlg::OnColumnClick(int column) {
  listSortAscending_ = column == listSortColumn_ ? !listSortAscending_ : true;
  listSortColumn_ = column;
  sortRows();
}

void CMainDlg::sortRows() {
  QTreeWidgetItem* current = list_->currentItem();
  const QList<QTreeWidgetItem*> selected = list_->selectedItems();
  QList<QTreeWidgetItem*> items = list_->invisibleRootItem()->takeChildren();
  std::stable_sort(items.begin(), items.end(), [this](QTreeWidgetItem* a, QTreeWidgetItem* b) {
    return compareEntries(*entryOf(a), *entryOf(b), listSortColumn_, listSortAscending_) < 0;
  });
  // Sorting moves rows; it selects nothing new and loads no preview.
  QSignalBlocker blockSelection(list_->selectionModel());
  const bool blocked = list_->blockSignals(true);
  list_->addTopLevelItems(items);
  if (current) list_->setCurrentItem(current, 0, QItemSelectionModel::NoUpdate);
  for (QTreeWidgetItem* item : selected) item->setSelected(true);
  list_->blockSignals(blocked);
}

void CMainDlg::OnOpenFile() {
  QTreeWidgetItem* row = singleSelectedRow();
  if (!row) return;
  openUrl(QUrl::fromLocalFile(qs(browsedFolder_ + "/" + row->text(0).toStdString())));
}

void CMainDlg::setCheckOfRows(bool selectedOnly, bool checked) {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  QTreeWidgetItem* changedSelected = nullptr;
  {
    const bool blocked = list_->blockSignals(true);
    for (int i = 0, n = list_->topLevelItemCount(); i < n; ++i) {
      QTreeWidgetItem* item = list_->topLevelItem(i);
      if (selectedOnly && !item->isSelected()) continue;
      const Qt::CheckState state = checked ? Qt::Checked : Qt::Unchecked;
      if (item->checkState(0) == state) continue;
      item->setCheckState(0, state);
      if (item->isSelected()) changedSelected = item;
    }
    list_->blockSignals(blocked);
  }
  // One notification for the whole change: the count, and the preview of a single
  // highlighted row whose tick changed.
  updateCountText();
  OnListItemChanged(changedSelected);
  QApplication::restoreOverrideCursor();
}

void CMainDlg::OnListCommand(int id) {
  switch (id) {
    case IdCmdOpen:
      OnOpenFile();
      break;
    case IdCmdCheck:
    case IdCmdUncheck:
      setCheckOfRows(true, id == IdCmdCheck);
      break;
    case IdCmdCheckAll:
    case IdCmdUncheckAll:
      setCheckOfRows(false, id == IdCmdCheckAll);
      break;
    default:
      break;
  }
}

}  // namespace tabulor
