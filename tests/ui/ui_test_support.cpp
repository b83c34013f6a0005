// Window test helpers.
#include "tests/ui/ui_test_support.h"

#include <QTest>
#include <QTreeWidgetItem>

#include "engine/database.h"
#include "ui/folder_dialog.h"
#include "ui/shell_tree_ctrl.h"

namespace tabulor::test {

TempSettings::TempSettings() {
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                     QString::fromStdString(dir_.path()));
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                     QString::fromStdString(dir_.path()));
}

TempSettings::~TempSettings() = default;

QVariant TempSettings::value(const QString& key) const {
  QSettings s;
  return s.value(QStringLiteral("Settings2/") + key);
}

void TempSettings::setValue(const QString& key, const QVariant& value) {
  QSettings s;
  s.setValue(QStringLiteral("Settings2/") + key, value);
  s.sync();
}

bool TempSettings::contains(const QString& key) const {
  QSettings s;
  return s.contains(QStringLiteral("Settings2/") + key);
}

QStringList TempSettings::keys() const {
  QSettings s;
  s.beginGroup(QStringLiteral("Settings2"));
  return s.childKeys();
}

TestDialog::TestDialog() : dlg(std::make_unique<CMainDlg>(binaryDir() + "/bin/")) {
  dlg->setMessages(&messages);
  dlg->runFolderDialog = [this](CFolderDialog& picker) {
    if (pickedFolders.isEmpty()) return -1;
    const QString next = pickedFolders.takeFirst();
    if (next.isEmpty()) return -1;
    picker.setFolderPath(next);
    return 1;
  };
  dlg->openUrl = [this](const QUrl& url) {
    opened.push_back(url);
    return true;
  };
}

QStringList TestDialog::folderItems() const {
  QStringList items;
  for (int i = 0; i < folderCombo()->count(); ++i) items << folderCombo()->itemText(i);
  return items;
}

QStringList TestDialog::listNames() const {
  QStringList names;
  for (int i = 0; i < list()->topLevelItemCount(); ++i) names << list()->topLevelItem(i)->text(0);
  return names;
}

void TestDialog::browse(const std::string& folder) {
  ASSERT_TRUE(dlg->findChild<ShellTreeCtrl*>() != nullptr);
  // Through the tree, as a click would.
  auto* tree = qobject_cast<ShellTreeCtrl*>(dlg->control(IdTree));
  ASSERT_TRUE(tree->selectPath(QString::fromStdString(folder)));
  ASSERT_EQ(dlg->browsedFolder(), folder);
}

void TestDialog::waitForRun() {
  EXPECT_TRUE(QTest::qWaitFor([this] { return !dlg->runGoing(); }, 60000)) << "the run did not end";
}

bool textDriverReads() {
  TempDir dir;
  writeFile(dir.file("probe.csv"), "a,b\n1,2\n");
  Database db;
  try {
    db.Open(dir.path(), false, true, "Text;");
    return db.GetTableDefCount() > 0;
  } catch (const EngineError&) {
    return false;
  }
}

}  // namespace tabulor::test
