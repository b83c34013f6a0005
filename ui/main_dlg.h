// CMainDlg: the main window of Tabulor. It holds the folder tree and file list of the
// source browser, the preview grid with its sheet buttons, and the output settings with the
// Start and About buttons; it lays its controls out when resized and writes its window state
// when it closes.
#pragma once

#include <QDialog>
#include <QIcon>
#include <QRect>
#include <QUrl>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "convert/catalogue.h"
#include "convert/conversion_context.h"
#include "engine/database.h"
#include "ui/file_entry.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QTreeWidgetItem;

namespace tabulor {

class CFolderDialog;
class CGridCtrl;
class ConversionRun;
class CSourceListCtrl;
class ShellTreeCtrl;

// What a Start hands to the conversion: the ticked files and the output settings.
struct StartJob {
  std::vector<std::string> sourcePaths;  // browsedFolder + "/" + name, in list order
  std::string browsedFolder;
  std::string outputFolderText;  // as the combo holds it; may be "Original directory"
  TargetFormat format = FormatText;
};
// Runs the conversion of a Start (set by the application, which owns the conversion
// driver) on the window's worker thread; shows the messages of the run through ctx.messages
// (which reach the user-interface thread), reports to ctx.listener (which may cancel it)
// and returns the message for the end of the run ("" for none).
using StartRunner = std::function<std::string(ConversionContext& ctx, const StartJob& job)>;

inline constexpr const char* OriginalDirectory = "Original directory";

// A rectangle as the window-state keys name it: edges, right and bottom exclusive.
struct EdgeRect {
  int left = 0, top = 0, right = 0, bottom = 0;
};

// Anchoring of the controls of the bottom band.
enum AnchorKind { AnchorStretch = 0, AnchorBottomLeft = 1, AnchorBottomRight = 2 };
struct Anchor {
  int id = 0;
  int rightOffset = 0, bottomOffset = 0;  // AnchorBottomRight
  int left = 0, bottomDistance = 0, width = 0, height = 0, rightMargin = 0;
  AnchorKind kind = AnchorStretch;
};

class CMainDlg : public QDialog {
  Q_OBJECT

 public:
  // `programFolder` is the folder of the executable, ending in "/".
  explicit CMainDlg(std::string programFolder, QWidget* parent = nullptr);
  ~CMainDlg() override;

  const std::string& programFolder() const { return programFolder_; }

  // ---- Hooks the application and tests set.
  void setStartRunner(StartRunner runner) { startRunner_ = std::move(runner); }
  // Messages of the window (default: message boxes owned by the window).
  void setMessages(Messages* messages) { context_.messages = messages; }
  // Runs the folder picker; replaceable so tests choose a folder without a dialog.
  std::function<int(CFolderDialog&)> runFolderDialog;
  // Opens a file or folder with the desktop's handler.
  std::function<bool(const QUrl&)> openUrl;

  // ---- Commands and handlers (named after what they do in the window).
  void OnOK();          // Start: the conversion runs on a worker; one run at a time
  void OnAbout();       // About box
  void OnBrowse();      // "..." of the output folder
  void OnOpenFolder();  // "Open" of the output folder
  void OnSheet(int sheet);
  void OnFilterChanged(int position);
  void OnTreeSelChanged();
  void OnListCommand(int id);
  void OnColumnClick(int column);
  void OnOpenFile();

  // ---- Source browser.
  void showFolder(const std::string& folder);
  void fillFileList();
  // Lists the browsed folder again (after a run wrote into it), keeping the ticks, the
  // highlighted row and the sort order.
  void refreshFileList();
  const std::string& browsedFolder() const { return browsedFolder_; }
  const std::vector<std::string>& scannedPaths() const { return scannedPaths_; }
  const std::string& filterPattern() const { return filterPattern_; }
  int listSortColumn() const { return listSortColumn_; }
  bool listSortAscending() const { return listSortAscending_; }

  // ---- Preview.
  void resetPreviewGrid();
  // The empty template with the table buttons disabled, as before any file was highlighted.
  void clearPreview();
  void loadPreview(const std::string& path, int sheet, SourceKind kind);
  const std::string& previewPath() const { return previewPath_; }
  const std::vector<std::string>& previewTables() const { return previewTables_; }
  CGridCtrl* previewGrid() const { return grid_; }

  // ---- Output settings.
  void fillRecentFolders();
  void saveRecentFolders();

  // ---- The run of a Start.
  bool runGoing() const;
  ConversionRun* conversionRun() const { return run_.get(); }

  // ---- Layout and window state.
  void captureLayout();
  void applyLayout();
  void saveWindowState();
  const EdgeRect& rtSplitVer() const { return rtSplitVer_; }
  const EdgeRect& rtSplitHor() const { return rtSplitHor_; }
  int nHeightListSel() const { return nHeightListSel_; }

  // The control with id `id` (its objectName), or nullptr.
  QWidget* control(int id) const;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void showEvent(QShowEvent* event) override;
  // Closing during a run cancels it; the window closes when the worker has stopped.
  void done(int result) override;

 private:
  void OnInitDialog();
  void createControls();
  void OnListItemChanged(QTreeWidgetItem* item);
  void OnListSelectionChanged();
  void OnRunFinished(const QString& endMessage);
  void scanBrowsedFolder(const std::string& folder);
  void sortRows();
  void recordPosition();
  void updateCountText();
  void setCheckOfRows(bool selectedOnly, bool checked);
  QTreeWidgetItem* singleSelectedRow() const;
  void readControls();  // format index and output folder text from their combos
  void writeOutputFolderText();
  int findPrefix(const QString& text) const;
  QWidget* add(QWidget* w, int id, const QRect& templateRect);

  // Layout state, written to the settings on close.
  std::vector<Anchor> anchorTable_;
  QPoint ptMainDlgPos_;
  QSize szMainDlg_;
  int nHeightListSel_ = 0;
  int bottomBand_ = 0;
  int bMaximized_ = 0;
  EdgeRect rtSplitVer_, rtSplitHor_;
  EdgeRect windowRect_;
  QSize laidOutSize_;
  bool stateSaved_ = false;
  bool initialised_ = false;

  std::string previewPath_;
  std::vector<std::unique_ptr<FileEntry>> fileEntries_;
  std::string filterPattern_ = "*.XLS";
  std::string browsedFolder_;
  std::vector<std::string> scannedPaths_;
  std::vector<std::string> recentFoldersRead_;
  std::string programFolder_;
  CGridCtrl* grid_ = nullptr;
  int listSortColumn_ = -1;
  bool listSortAscending_ = false;
  std::vector<std::string> previewTables_;
  Database database_;
  TargetFormat formatIndex_ = FormatText;
  std::string outputFolderText_;

  ShellTreeCtrl* tree_ = nullptr;
  CSourceListCtrl* list_ = nullptr;
  QComboBox* filterCombo_ = nullptr;
  QComboBox* formatCombo_ = nullptr;
  QComboBox* folderCombo_ = nullptr;
  QLabel* countText_ = nullptr;
  QLabel* placeholder_ = nullptr;
  QPushButton* sheet1_ = nullptr;
  QPushButton* sheet2_ = nullptr;

  std::unique_ptr<Messages> ownMessages_;
  ConversionContext context_;
  StartRunner startRunner_;
  std::unique_ptr<ConversionRun> run_;
  bool closeAfterRun_ = false;
  int closeResult_ = 0;
  bool inFill_ = false;
};

}  // namespace tabulor
