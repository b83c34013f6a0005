// What the main window's source files share among themselves and nobody else needs: the
// settings group, the list rows' link to their file entries, string conversion.
#pragma once

#include <QString>
#include <QTreeWidgetItem>
#include <string>

#include "ui/file_entry.h"

namespace tabulor::main_dlg {

inline constexpr const char* SettingsGroup = "Settings2";
// The item-data role of a list row that holds its FileEntry.
inline constexpr int EntryRole = Qt::UserRole + 1;

inline QString qs(const std::string& s) {
  return QString::fromStdString(s);
}

inline FileEntry* entryOf(const QTreeWidgetItem* item) {
  return item ? reinterpret_cast<FileEntry*>(item->data(0, EntryRole).value<quintptr>()) : nullptr;
}

}  // namespace tabulor::main_dlg
