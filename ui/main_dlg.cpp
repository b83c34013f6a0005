// The main window: controls and their wiring, initialisation, layout, window state, the About
// box and the preview. The source browser (source_browser.cpp), the output settings
// (output_settings.cpp) and Start with its run (start_run.cpp) have files of their own.
#include "ui/main_dlg.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMimeDatabase>
#include <QPushButton>
#include <QResizeEvent>
#include <QSettings>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTreeWidgetItem>
#include <algorithm>

#include "grid/grid_ctrl.h"
#include "preview/cell_format.h"
#include "preview/preview_reader.h"
#include "ui/about_dlg.h"
#include "ui/app_icon.h"
#include "ui/control_ids.h"
#include "ui/conversion_run.h"
#include "ui/dialog_units.h"
#include "ui/folder_dialog.h"
#include "ui/main_dlg_internal.h"
#include "ui/qt_messages.h"
#include "ui/shell_tree_ctrl.h"
#include "ui/source_list_ctrl.h"
#include "ui/source_scan.h"

namespace tabulor {

using main_dlg::qs;
using main_dlg::SettingsGroup;

namespace {

constexpr int ComboHeight = 21;

// Shows a table's name on its button: cut at the end when it does not fit (a centred text
// would lose both ends), the whole name in the tooltip, and "&" shown as itself rather than
// as a shortcut mark.
void setSheetButtonText(QPushButton* button, const QString& name, bool tooltip = true) {
  QStyleOptionButton option;
  option.initFrom(button);
  option.text = name;
  const QRect contents =
      button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
  // A pressed (checked) button draws its label a few pixels off.
  const int room = contents.width() - 6;
  QString shown = button->fontMetrics().elidedText(name, Qt::ElideRight, room);
  button->setText(shown.replace(QLatin1Char('&'), QStringLiteral("&&")));
  button->setToolTip(tooltip ? name : QString());
}

// The table buttons as the template has them: "Sheet1", "Sheet2", released and disabled.
void resetSheetButtons(QPushButton* sheet1, QPushButton* sheet2) {
  setSheetButtonText(sheet1, QStringLiteral("Sheet1"), false);
  setSheetButtonText(sheet2, QStringLiteral("Sheet2"), false);
  for (QPushButton* b : {sheet1, sheet2}) {
    b->setChecked(false);
    b->setEnabled(false);
  }
}

// Edges of a child widget in its parent's coordinates, right and bottom exclusive.
EdgeRect edgesOf(const QWidget* w) {
  const QRect g = w->geometry();
  return {g.x(), g.y(), g.x() + g.width(), g.y() + g.height()};
}

}  // namespace

CMainDlg::CMainDlg(std::string programFolder, QWidget* parent)
    : QDialog(parent), programFolder_(std::move(programFolder)) {
  ownMessages_ = std::make_unique<QtMessages>(this);
  context_.programFolder = programFolder_;
  context_.database = &database_;
  context_.messages = ownMessages_.get();
  runFolderDialog = [](CFolderDialog& dialog) { return dialog.DoModal(); };
  openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
  OnInitDialog();
  run_ = std::make_unique<ConversionRun>(this);
  connect(run_.get(), &ConversionRun::finished, this, &CMainDlg::OnRunFinished);
}

CMainDlg::~CMainDlg() {
  // A run still going is cancelled and waited for before anything it reports to goes.
  run_.reset();
  if (!stateSaved_) {
    bMaximized_ = isMaximized() ? 0x01000000 : 0;
    recordPosition();
    saveWindowState();
  }
}

QWidget* CMainDlg::add(QWidget* w, int id, const QRect& templateRect) {
  w->setObjectName(QString::number(id));
  w->setGeometry(templateRect);
  return w;
}

QWidget* CMainDlg::control(int id) const {
  return findChild<QWidget*>(QString::number(id));
}

void CMainDlg::createControls() {
  // Created in template order, which is also the stacking order: the group box lies under
  // the controls it frames.
  auto label = [this](const char* text, int id, QRect r) {
    auto* l = new QLabel(QString::fromLatin1(text), this);
    add(l, id, fitRect(l, r));
    return l;
  };
  label("Select Directory:", IdStaticSelectDir, duRect(5, 5, 69, 8));

  tree_ = new ShellTreeCtrl(this);
  add(tree_, IdTree, duRect(4, 16, 116, 225));

  label("Select Files: (Click checkbox to select source files)", IdStaticSelectFiles,
        duRect(123, 5, 213, 8));
  label("Filter:", IdStaticFilter, duRect(374, 6, 29, 8))->hide();

  filterCombo_ = new QComboBox(this);
  for (const auto& filter : sourceFilters())
    filterCombo_->addItem(QString::fromLatin1(filter.comboText));
  QRect r = duRect(404, 2, 95, 0);
  // The box grows for a long entry only so far that it stays clear of the text beside it;
  // its list is always wide enough for every entry.
  filterCombo_->view()->setMinimumWidth(filterCombo_->sizeHint().width());
  const int filterWidth =
      std::max(r.width(), std::min(filterCombo_->sizeHint().width(), r.width() * 5 / 4));
  add(filterCombo_, IdFilterCombo,
      QRect(r.x() + r.width() - filterWidth, r.y(), filterWidth, ComboHeight));

  list_ = new CSourceListCtrl(this);
  add(list_, IdFileList, duRect(123, 16, 376, 144));

  label("Preview:", IdStaticPreview, duRect(125, 164, 78, 8));
  countText_ = new QLabel(this);
  countText_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  add(countText_, IdCountText, duRect(372, 164, 126, 8));

  placeholder_ = new QLabel(this);
  placeholder_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  placeholder_->setAutoFillBackground(true);
  QPalette white = placeholder_->palette();
  white.setColor(QPalette::Window, Qt::white);
  placeholder_->setPalette(white);
  add(placeholder_, IdPlaceholder, duRect(123, 174, 375, 53));

  sheet1_ = new QPushButton(QStringLiteral("Sheet1"), this);
  add(sheet1_, IdSheet1, duRect(123, 229, 67, 12));
  sheet2_ = new QPushButton(QStringLiteral("Sheet2"), this);
  add(sheet2_, IdSheet2, duRect(193, 229, 67, 12));
  for (QPushButton* b : {sheet1_, sheet2_}) {
    b->setCheckable(true);  // the pressed look of the sheet shown
    b->setEnabled(false);
    b->setAutoDefault(false);
  }
  label("...", IdStaticDots, duRect(265, 232, 13, 8));

  auto* group = new QGroupBox(QStringLiteral("Select target file format and folder"), this);
  add(group, IdGroupOutput, duRect(4, 245, 323, 55));
  group->lower();

  label("Format:", IdStaticFormat, duRect(21, 261, 28, 8));
  formatCombo_ = new QComboBox(this);
  for (const auto& info : targetFormats())
    formatCombo_->addItem(QString::fromLatin1(info.comboText));
  r = duRect(50, 258, 264, 0);
  add(formatCombo_, IdFormatCombo, QRect(r.x(), r.y(), r.width(), ComboHeight));

  label("Folder:", IdStaticFolder, duRect(19, 279, 30, 8));
  folderCombo_ = new QComboBox(this);
  folderCombo_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  r = duRect(50, 277, 215, 0);
  add(folderCombo_, IdFolderCombo, QRect(r.x(), r.y(), r.width(), ComboHeight));

  auto button = [this](const char* text, int id, QRect rect) {
    auto* b = new QPushButton(QString::fromLatin1(text), this);
    b->setAutoDefault(false);
    add(b, id, rect);
    return b;
  };
  QPushButton* browse = button("...", IdBrowse, duRect(267, 277, 22, 14));
  QPushButton* open = button("Open", IdOpenFolder, duRect(292, 277, 22, 14));
  QPushButton* start = button("&Start!", IdOk, duRect(345, 259, 68, 34));
  start->setDefault(true);
  QPushButton* about = button("&About", IdAbout, duRect(421, 259, 68, 34));

  connect(start, &QPushButton::clicked, this, &CMainDlg::OnOK);
  connect(about, &QPushButton::clicked, this, &CMainDlg::OnAbout);
  connect(browse, &QPushButton::clicked, this, &CMainDlg::OnBrowse);
  connect(open, &QPushButton::clicked, this, &CMainDlg::OnOpenFolder);
  connect(sheet1_, &QPushButton::clicked, this, [this] { OnSheet(1); });
  connect(sheet2_, &QPushButton::clicked, this, [this] { OnSheet(2); });
  connect(filterCombo_, &QComboBox::activated, this, &CMainDlg::OnFilterChanged);
  connect(tree_, &ShellTreeCtrl::selectionChangedToFolder, this, &CMainDlg::OnTreeSelChanged);
  connect(list_, &CSourceListCtrl::command, this, &CMainDlg::OnListCommand);
  connect(list_, &QTreeWidget::itemChanged, this,
          [this](QTreeWidgetItem* item, int) { OnListItemChanged(item); });
  connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { OnOpenFile(); });
  connect(list_->header(), &QHeaderView::sectionClicked, this, &CMainDlg::OnColumnClick);
}

void CMainDlg::OnInitDialog() {
  // The template's font is an 8 point sans serif; the template sizes are drawn for it.
  QFont f = font();
  f.setPointSize(8);
  setFont(f);
  setMinimumSize(740, 500);
  resize(duToPixels(QSize(504, 304)));
  setSizeGripEnabled(false);

  createControls();

  // No system menu here: the About box is an action of the window, on F1 (and the About
  // button's Alt+A).
  auto* aboutAction = new QAction(QStringLiteral("&About Tabulor..."), this);
  aboutAction->setShortcut(QKeySequence(Qt::Key_F1));
  connect(aboutAction, &QAction::triggered, this, &CMainDlg::OnAbout);
  addAction(aboutAction);

  setWindowIcon(applicationIcon());

  list_->setColumnCount(4);
  list_->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Size"), QStringLiteral("Type"),
                          QStringLiteral("Modify Date")});
  list_->headerItem()->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
  for (int col = 0; col < 4; ++col) list_->setColumnWidth(col, col == 1 ? 100 : 130);
  list_->header()->setSectionsClickable(true);
  list_->header()->setStretchLastSection(false);
  list_->setIconSize(QSize(16, 16));
  connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this](const QItemSelection& selected, const QItemSelection&) {
            if (!selected.isEmpty()) OnListSelectionChanged();
          });

  setWindowTitle(QStringLiteral("Tabulor 2.6"));

  tree_->AddRootFolderContent();
  // The type database loads on first use; load it now rather than on the first folder.
  QMimeDatabase().mimeTypeForFile(QStringLiteral("a.xls"), QMimeDatabase::MatchExtension);

  QSettings settings;
  settings.beginGroup(QLatin1String(SettingsGroup));
  outputFolderText_ = settings.value(QStringLiteral("OutDir"), QLatin1String(OriginalDirectory))
                          .toString()
                          .toStdString();
  settings.endGroup();
  formatCombo_->setCurrentIndex(formatIndex_);
  writeOutputFolderText();

  filterCombo_->setCurrentIndex(0);
  filterPattern_ = sourceFilters()[0].pattern;

  fillRecentFolders();

  grid_ = new CGridCtrl();
  grid_->setObjectName(QString::number(IdGrid));
  grid_->Create(placeholder_->geometry(), this, IdGrid);
  grid_->SetEditable(false);
  grid_->show();
  placeholder_->hide();
  grid_->SetGridBkColour(0xFFFFFF);
  resetPreviewGrid();
  grid_->SetRedraw(true, false);

  captureLayout();
  initialised_ = true;
}

// ---- Layout ---------------------------------------------------------------------------

void CMainDlg::captureLayout() {
  const QRect frame = frameGeometry();
  ptMainDlgPos_ = frame.topLeft();
  szMainDlg_ = frame.size();
  // The window rectangle in client coordinates. Qt gives the frame only once the window
  // is shown (and some platforms never), so the layout works on the client rectangle.
  const EdgeRect w{0, 0, width(), height()};
  laidOutSize_ = size();

  static const std::pair<int, AnchorKind> anchored[9] = {
      {IdGroupOutput, AnchorStretch},     {IdFormatCombo, AnchorStretch},
      {IdFolderCombo, AnchorStretch},     {IdStaticFormat, AnchorBottomLeft},
      {IdStaticFolder, AnchorBottomLeft}, {IdOk, AnchorBottomRight},
      {IdAbout, AnchorBottomRight},       {IdBrowse, AnchorBottomRight},
      {IdOpenFolder, AnchorBottomRight}};
  anchorTable_.assign(9, Anchor{});
  for (int i = 0; i < 9; ++i) {
    Anchor& a = anchorTable_[static_cast<size_t>(i)];
    a.id = anchored[i].first;
    a.kind = anchored[i].second;
    const EdgeRect c = edgesOf(control(a.id));
    switch (a.kind) {
      case AnchorStretch:
        a.left = c.left;
        a.bottomDistance = w.bottom - c.top;
        a.rightMargin = w.right - c.right;
        a.width = c.right - c.left;
        a.height = c.bottom - c.top;
        break;
      case AnchorBottomLeft:
        a.left = c.left;
        a.bottomDistance = w.bottom - c.top;
        break;
      case AnchorBottomRight:
        a.rightOffset = w.right - c.left;
        a.bottomOffset = w.bottom - c.top;
        break;
    }
  }

  const EdgeRect t = edgesOf(tree_), l = edgesOf(list_), g = edgesOf(grid_);
  rtSplitVer_ = {t.right, t.top, l.left, t.bottom};
  rtSplitHor_ = {g.left, l.bottom, g.right, g.bottom};
  nHeightListSel_ = g.bottom - g.top;
  bottomBand_ = w.bottom - t.bottom;
}

void CMainDlg::applyLayout() {
  const EdgeRect& r = windowRect_;
  if (nHeightListSel_ > (r.bottom - r.top) - bottomBand_ - 102) nHeightListSel_ = 152;
  if (rtSplitVer_.right > r.right - 563) {
    rtSplitVer_.left = 186;
    rtSplitVer_.right = 192;
  }
  rtSplitVer_.bottom = r.bottom - bottomBand_;
  // The grid's top edge: the grid keeps its height above the 25-pixel band of the sheet
  // buttons. (Measured from the tree's bottom edge without that band, every resize would
  // shrink the grid by 25 pixels and cut off its last row.)
  rtSplitHor_.bottom = rtSplitVer_.bottom - 25 - nHeightListSel_;
  rtSplitHor_.top = rtSplitHor_.bottom - 36;
  rtSplitHor_.left = rtSplitVer_.right;
  rtSplitHor_.right = r.right - 11;

  const int split = rtSplitVer_.right;
  tree_->setGeometry(6, 24, rtSplitVer_.left - 6, rtSplitVer_.bottom - 24);
  list_->setGeometry(split, 24, r.right - split - r.left - 12, rtSplitHor_.top - 24);
  grid_->setGeometry(split, rtSplitHor_.bottom, r.right - 12 - split,
                     r.bottom - bottomBand_ - 25 - rtSplitHor_.bottom);

  control(IdStaticSelectFiles)->move(split, 8);
  control(IdStaticPreview)->move(split, rtSplitHor_.top + 13);
  // The count text is right-aligned: it keeps its right edge where the rule puts the
  // template-width box, also when the text needs more room than the template gave it.
  const int countWidth = countText_->width();
  const int templateCountWidth = duRect(372, 164, 126, 8).width();
  countText_->move(r.right - 210 - (countWidth - templateCountWidth), rtSplitHor_.top + 13);
  // The filter combo keeps its right edge; it grows to the left when its longest entry
  // needs more room than the template width in the window's font.
  const int filterWidth = filterCombo_->width();
  control(IdFilterCombo)->move(r.right - 152 - (filterWidth - duX(95)), 2);
  control(IdStaticFilter)->move(r.right - 200, 7);
  sheet1_->move(split, r.bottom - bottomBand_ - 22);
  sheet2_->move(split + 105, r.bottom - bottomBand_ - 22);
  control(IdStaticDots)->move(split + 210, r.bottom - bottomBand_ - 18);

  const EdgeRect w{0, 0, width(), height()};
  for (const Anchor& a : anchorTable_) {
    QWidget* c = control(a.id);
    switch (a.kind) {
      case AnchorStretch:
        c->setGeometry(a.left, w.bottom - a.bottomDistance, w.right - a.rightMargin - a.left,
                       a.height);
        break;
      case AnchorBottomLeft:
        c->move(a.left, w.bottom - a.bottomDistance);
        break;
      case AnchorBottomRight:
        c->move(w.right - a.rightOffset, w.bottom - a.bottomOffset);
        break;
    }
  }
  update();
}

void CMainDlg::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  if (!initialised_ || !list_) return;
  // Qt also reports the size a window was created with when it is first shown; only a
  // real change of size moves the controls.
  if (event->size() == laidOutSize_) return;
  laidOutSize_ = event->size();
  windowRect_ = {0, 0, width(), height()};
  if (!isMaximized() && !isMinimized()) szMainDlg_ = frameGeometry().size();
  applyLayout();
}

void CMainDlg::saveWindowState() {
  QSettings settings;
  settings.beginGroup(QLatin1String(SettingsGroup));
  const std::pair<const char*, int> values[] = {{"rtSplitVer_left", rtSplitVer_.left},
                                                {"rtSplitVer_top", rtSplitVer_.top},
                                                {"rtSplitVer_right", rtSplitVer_.right},
                                                {"rtSplitVer_bottom", rtSplitVer_.bottom},
                                                {"rtSplitHor_left", rtSplitHor_.left},
                                                {"rtSplitHor_top", rtSplitHor_.top},
                                                {"rtSplitHor_right", rtSplitHor_.right},
                                                {"rtSplitHor_bottom", rtSplitHor_.bottom},
                                                {"ptMainDlgPos_x", ptMainDlgPos_.x()},
                                                {"ptMainDlgPos_y", ptMainDlgPos_.y()},
                                                {"szMainDlg_cx", szMainDlg_.width()},
                                                {"szMainDlg_cy", szMainDlg_.height()},
                                                {"bMaximized", bMaximized_},
                                                {"nHeightListSel", nHeightListSel_}};
  for (const auto& [key, value] : values) settings.setValue(QLatin1String(key), value);
  settings.endGroup();
  settings.sync();
}

void CMainDlg::recordPosition() {
  // The position is known only once the window is shown (a window manager places it then);
  // a maximised or minimised window keeps the position it had before.
  if (isVisible() && !isMaximized() && !isMinimized() && !isFullScreen())
    ptMainDlgPos_ = frameGeometry().topLeft();
}

void CMainDlg::moveEvent(QMoveEvent* event) {
  QDialog::moveEvent(event);
  recordPosition();
}

void CMainDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  recordPosition();
}

void CMainDlg::done(int result) {
  if (runGoing()) {
    closeAfterRun_ = true;
    closeResult_ = result;
    run_->cancel();
    return;
  }
  if (!stateSaved_) {
    bMaximized_ = isMaximized() ? 0x01000000 : 0;
    recordPosition();
    saveWindowState();
    stateSaved_ = true;
  }
  QDialog::done(result);
}

void CMainDlg::OnAbout() {
  CAboutDlg about(this);
  about.exec();
}

// ---- Preview ---------------------------------------------------------------------------

void CMainDlg::resetPreviewGrid() {
  grid_->SetRedraw(false, false);
  grid_->DeleteAllItems();
  grid_->SetColumnCount(6);
  grid_->SetRowCount(4);
  grid_->SetFixedColumnCount(1);
  grid_->SetFixedRowCount(1);
  grid_->SetRowHeight(0, 20);
  const char* const heads[] = {"A", "B", "C", "D", "..."};
  for (int col = 1; col <= 5; ++col)
    grid_->SetItemText(0, col, QString::fromLatin1(heads[col - 1]));
  grid_->SetItemText(1, 0, QStringLiteral("1"));
  grid_->SetItemText(2, 0, QStringLiteral("2"));
  grid_->SetItemText(3, 0, QStringLiteral("..."));
  grid_->SetColumnWidth(0, 35);
  for (int col = 1; col <= 4; ++col) grid_->SetColumnWidth(col, 100);
}

void CMainDlg::clearPreview() {
  resetPreviewGrid();
  grid_->SetRedraw(true, false);
  previewPath_.clear();
  previewTables_.clear();
  resetSheetButtons(sheet1_, sheet2_);
}

void CMainDlg::loadPreview(const std::string& path, int sheet, SourceKind kind) {
  if (path.empty()) return;
  resetPreviewGrid();
  previewTables_.clear();
  resetSheetButtons(sheet1_, sheet2_);

  const PreviewData data = readPreview(database_, path, browsedFolder_, sheet, kind);
  if (!data.opened) {
    grid_->SetRedraw(true, false);
    return;
  }
  previewPath_ = path;
  previewTables_ = data.tables;
  if (!data.tables.empty()) {
    setSheetButtonText(sheet1_, qs(data.tables[0]));
    sheet1_->setEnabled(true);
  }
  if (data.tables.size() >= 2) {
    setSheetButtonText(sheet2_, qs(data.tables[1]));
    sheet2_->setEnabled(true);
  }
  if (!data.sheetShown) {
    grid_->SetRedraw(true, false);
    return;
  }
  for (size_t i = 0; i < data.fieldNames.size(); ++i)
    grid_->SetItemText(1, static_cast<int>(i) + 1, qs(shortenPreviewText(data.fieldNames[i])));
  for (size_t rec = 0; rec < data.records.size(); ++rec)
    for (size_t i = 0; i < data.records[rec].size(); ++i)
      grid_->SetItemText(static_cast<int>(rec) + 2, static_cast<int>(i) + 1,
                         qs(shortenPreviewText(formatFieldValue(data.records[rec][i]))));
  sheet1_->setChecked(sheet == 1);
  sheet2_->setChecked(sheet == 2);
  grid_->SetRedraw(true, false);
}

void CMainDlg::OnSheet(int sheet) {
  loadPreview(previewPath_, sheet, classifySource(previewPath_));
  // A click toggles a checkable button by itself; the load decides the pressed look, so
  // a load that did not happen (no previous source) leaves the button released.
  if (previewPath_.empty()) (sheet == 1 ? sheet1_ : sheet2_)->setChecked(false);
}

}  // namespace tabulor
