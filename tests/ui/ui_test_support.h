// Helpers of the window tests: a temporary settings store, a dialog with recorded messages
// and a scripted folder picker, and access to controls by id.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QStringList>
#include <memory>
#include <string>

#include "convert/messages.h"
#include "tests/support/test_support.h"
#include "ui/control_ids.h"
#include "ui/main_dlg.h"
#include "ui/source_list_ctrl.h"

namespace tabulor::test {

// Points the settings store at a fresh folder for the life of the object.
class TempSettings {
 public:
  TempSettings();
  ~TempSettings();
  QVariant value(const QString& key) const;  // in "Settings2"
  void setValue(const QString& key, const QVariant& value);
  bool contains(const QString& key) const;
  QStringList keys() const;  // of "Settings2", in the store's order

 private:
  TempDir dir_;
};

// A main window with recorded messages, the shell's "open" recorded, and a folder picker
// that returns the queued folders.
struct TestDialog {
  TestDialog();
  CMainDlg* operator->() { return dlg.get(); }

  template <class T>
  T* find(int id) const {
    return qobject_cast<T*>(dlg->control(id));
  }
  QComboBox* folderCombo() const { return find<QComboBox>(IdFolderCombo); }
  QComboBox* formatCombo() const { return find<QComboBox>(IdFormatCombo); }
  CSourceListCtrl* list() const { return find<CSourceListCtrl>(IdFileList); }
  QString countText() const { return find<QLabel>(IdCountText)->text(); }
  QStringList folderItems() const;
  QStringList listNames() const;  // column 0, row order
  // Shows `folder` in the file list as a tree selection would.
  void browse(const std::string& folder);
  // Lets the event loop run until the run of a Start has ended (at most a minute).
  void waitForRun();

  RecordingMessages messages;
  QStringList pickedFolders;  // returned by the picker in turn; "" cancels
  std::vector<QUrl> opened;
  std::unique_ptr<CMainDlg> dlg;
};

// True when the engine's text driver reads CSV files (it may not be built in yet).
bool textDriverReads();

}  // namespace tabulor::test
