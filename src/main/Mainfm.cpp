#include "main/Mainfm.h"

#include "pipeline/SupportFiles.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QShowEvent>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <algorithm>
#include <cmath>

#include "main/AboutBox.h"
#include "main/DirLabel.h"
#include "main/Dlgfm.h"
#include "main/Dlgfm2.h"
#include "main/DpnlEdit.h"
#include "main/FileControls.h"
#include "main/FolderEdit.h"
#include "main/Glyphs.h"
#include "main/HelpWindow.h"
#include "main/Optionsfm.h"
#include "main/RunResult.h"
#include "main/WebBrowser.h"
#include "main/WorkerRun.h"
#include "pipeline/FileList.h"
#include "pipeline/Output.h"
#include "platform/Paths.h"
#include "platform/RunFolder.h"
#include "platform/System.h"
#include "readers/Detect.h"
#include "text/Text.h"
#include "toponyx/Version.h"
#include "ui_Mainfm.h"
#include "view/MapPane.h"
#include "view/Viewfm.h"

namespace toponyx::desktop {

namespace {
// The result line under the database name: two lines across the group.
constexpr int kResultLines = 2;
constexpr char kColumnsMessage[] =
    "Table columns are given as name, latitude and longitude columns (and a type column), "
    "separated by commas: header names or column numbers from 1, for example "
    "\"Ortsname,Breite,Laenge\" or \"2,5,6,3\".";

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

// The local files and folders of a drag.
QStringList DroppedPaths(const QMimeData* data) {
  QStringList paths;
  if (!data || !data->hasUrls()) return paths;
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) paths << url.toLocalFile();
  }
  return paths;
}
}  // namespace

TMainfm::TMainfm(const StartupEnvironment& env, Prompter& prompter, QByteArray help_file)
    : QWidget(nullptr),
      ui_(std::make_unique<Ui::TMainfm>()),
      env_(env),
      prompter_(prompter),
      help_file_(std::move(help_file)),
      build_ui_(prompter, this),
      list_mask_(QString::fromStdString(pipeline::InputFilesMask())),
      download_watch_(new QFileSystemWatcher(this)),
      refresh_soon_(new QTimer(this)) {
  ui_->setupUi(this);
  UseFormFont(this);
  setFixedSize(491, 433);
  ui_->SpeedButton2->setIcon(GlobeGlyph());
  ui_->SpeedButton1->setIcon(FolderGlyph());
  // Each folder edit's browse button right after its edit in Tab order.
  setTabOrder(ui_->deSaveFilesPath, ui_->deSaveFilesPath->BrowseButton());
  setTabOrder(ui_->deSaveFilesPath->BrowseButton(), ui_->deTempFilesPath);
  setTabOrder(ui_->deTempFilesPath, ui_->deTempFilesPath->BrowseButton());
  setTabOrder(ui_->deTempFilesPath->BrowseButton(), ui_->eDBName);
  ui_->deSaveFilesPath->SetPrompter(&prompter_);
  ui_->deTempFilesPath->SetPrompter(&prompter_);
  // Relative folder texts mean folders inside the program folder.
  ui_->deSaveFilesPath->SetBaseFolder(Q(env_.program_folder));
  ui_->deTempFilesPath->SetBaseFolder(Q(env_.program_folder));
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
  }
  open_url = [](const QString& url) { return QDesktopServices::openUrl(QUrl(url)); };
  web_browser_found = WebBrowserFound;
  setAcceptDrops(true);

  builder_ = std::make_unique<pipeline::Builder>(build_ui_, env_.program_folder);
  build_ui_.SetEnableView([this] { ui_->bView->setEnabled(true); });

  connect(ui_->SpeedButton1, &QToolButton::clicked, this, &TMainfm::SpeedButton1Click);
  connect(ui_->SpeedButton2, &QToolButton::clicked, this, &TMainfm::SpeedButton2Click);
  connect(ui_->CB1, &QCheckBox::clicked, this, &TMainfm::CB1Click);
  connect(ui_->LB1, &QListWidget::itemChanged, this, [this] {
    if (!ticking_many_) ShowWhetherAllTicked();
  });
  connect(ui_->bHelp, &QPushButton::clicked, this, &TMainfm::bHelpClick);
  connect(ui_->SpeedButton3, &QPushButton::clicked, this, &TMainfm::SpeedButton3Click);
  connect(ui_->bView, &QPushButton::clicked, this, &TMainfm::bViewClick);
  connect(ui_->bExit, &QPushButton::clicked, this, &TMainfm::bExitClick);
  connect(ui_->bCreate, &QPushButton::clicked, this, &TMainfm::bCreateClick);
  connect(ui_->bOptions, &QPushButton::clicked, this, &TMainfm::bOptionsClick);
  connect(ui_->bOpenDatabase, &QPushButton::clicked, this, &TMainfm::OpenDatabaseClick);
  connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_O), this), &QShortcut::activated, this,
          &TMainfm::OpenDatabaseClick);
  connect(new QShortcut(QKeySequence(Qt::Key_F1), this), &QShortcut::activated, this,
          &TMainfm::bHelpClick);
  refresh_soon_->setSingleShot(true);
  refresh_soon_->setInterval(250);
  connect(download_watch_, &QFileSystemWatcher::directoryChanged, refresh_soon_,
          qOverload<>(&QTimer::start));
  connect(refresh_soon_, &QTimer::timeout, this, &TMainfm::RefreshFileList);

  FormCreate();
}

TMainfm::~TMainfm() = default;

void TMainfm::Attach(TDlgfm* dlgfm, TDlgfm2* dlgfm2, TViewfm* viewfm, TAboutBox* about) {
  dlgfm_ = dlgfm;
  dlgfm2_ = dlgfm2;
  viewfm_ = viewfm;
  about_ = about;
  build_ui_.SetProgressWindow(dlgfm2);
  if (dlgfm2) {
    // Heard on the GUI thread; the run stops at its next block of work.
    connect(dlgfm2, &TDlgfm2::CancelRequested, this, [this] { builder_->Cancel(); });
  }
}

TdpnLEdit* TMainfm::DatabaseName() const {
  return ui_->eDBName;
}
TFolderEdit* TMainfm::SaveFolder() const {
  return ui_->deSaveFilesPath;
}
TFolderEdit* TMainfm::TempFolder() const {
  return ui_->deTempFilesPath;
}
TDirLabel* TMainfm::DownloadLabel() const {
  return ui_->eListFilesPath;
}
QListWidget* TMainfm::FileList() const {
  return ui_->LB1;
}
QWidget* TMainfm::Control(const char* name) const {
  return findChild<QWidget*>(QLatin1String(name));
}
QString TMainfm::ResultText() const {
  return ui_->ResultLine->text();
}

QString TMainfm::HelpFilePath() const {
  return Q(platform::JoinPath(env_.program_folder, "toponyx.chm"));
}

void TMainfm::FormCreate() {
  // 1. No waypoint file staged yet.
  builder_->clear_waypoint_staged();
  // 2. The support files beside the program, at every start.
  const std::string support_errors = pipeline::WriteSupportFiles(
      env_.program_folder,
      {{"toponyx.chm",
        std::string_view(help_file_.constData(), static_cast<size_t>(help_file_.size()))}});
  if (!support_errors.empty()) prompter_.Message(this, MessageKind::kError, Q(support_errors));
  // 3. The mapping program's folder, where the settings live (or with the
  // user, for a copy that cannot write there).
  settings_place_ = PlaceSettings(FindMappingFolder(env_), env_);
  // 4 to 9. The settings.
  const FolderSettings s = LoadSettings(settings_place_, env_);
  SetDownloadFolder(Q(s.download_folder));
  ui_->deSaveFilesPath->setText(Q(s.save_folder));
  ui_->deTempFilesPath->setText(Q(s.temp_folder));
  ui_->eHtml->setText(Q(s.www_location));
  default_filetype_ = s.default_filetype;
  ui_->eColumns->setText(Q(s.table_columns));
  SetChoices(LoadChoices(settings_place_));
  // A database whose run was killed while it put its files in place is
  // completed before the user can view it; what killed runs left is cleared.
  const std::string save_folder = platform::AbsolutePath(s.save_folder, env_.program_folder);
  if (!save_folder.empty()) platform::RunFolder::RemoveAbandoned(save_folder);
}

void TMainfm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // A window brought back from the task bar gets only the system's show
  // event: the show handler runs when the program shows the window.
  if (!event->spontaneous()) FormShow();
}

void TMainfm::FormShow() {
  setWindowTitle(QStringLiteral("Toponyx Creator (version " TOPONYX_VERSION_TEXT ")"));
  if (!dlgfm_) return;
  dlgfm_->ShowFolder(DownloadFolder());
  ReplaceFileList(dlgfm_->FLB1()->Items(), dlgfm_->FLB1()->Mask());
  if (!shown_before_) {
    // The first thing to do: tick downloads, or find them. (On the web
    // button, an Enter at once would open the browser.)
    shown_before_ = true;
    if (ui_->LB1->count() > 0) {
      ui_->LB1->setCurrentRow(0);
      ui_->LB1->setFocus(Qt::OtherFocusReason);
    } else {
      ui_->SpeedButton1->setFocus(Qt::OtherFocusReason);
    }
  }
}

QString TMainfm::DownloadFolder() const {
  return ui_->eListFilesPath->DirName();
}

void TMainfm::SetDownloadFolder(const QString& folder) {
  ui_->eListFilesPath->SetDirName(folder);
  WatchDownloadFolder();
}

void TMainfm::WatchDownloadFolder() {
  if (!download_watch_->directories().isEmpty()) {
    download_watch_->removePaths(download_watch_->directories());
  }
  const QString folder = DownloadFolder();
  if (!folder.isEmpty() && QFileInfo(folder).isDir()) download_watch_->addPath(folder);
}

void TMainfm::ReplaceFileList(const QStringList& names, const QString& mask) {
  list_mask_ = mask;
  FillFileList(names, {});
}

QStringList TMainfm::ListDownloadFolder() const {
  QStringList names;
  const QString folder = DownloadFolder();
  if (folder.isEmpty()) return names;
  for (const std::string& n :
       pipeline::ListFolder(folder.toStdString(), list_mask_.toStdString())) {
    names << Q(n);
  }
  return names;
}

void TMainfm::RefreshFileList() {
  // A folder that was removed and made again is watched anew.
  if (download_watch_->directories().isEmpty()) WatchDownloadFolder();
  QStringList names = ListDownloadFolder();
  QStringList shown, ticked;
  for (int i = 0; i < ui_->LB1->count(); ++i) {
    const QListWidgetItem* item = ui_->LB1->item(i);
    shown << item->text();
    if (item->checkState() == Qt::Checked) ticked << item->text();
    // A download dropped onto the list stays while its file does.
    if (item->checkState() == Qt::Checked && !names.contains(item->text()) &&
        QFileInfo(QDir(DownloadFolder()).filePath(item->text())).isFile()) {
      names << item->text();
    }
  }
  QStringList sorted_names = names, sorted_shown = shown;
  sorted_names.sort();
  sorted_shown.sort();
  if (sorted_names == sorted_shown) return;
  FillFileList(names, ticked);
}

void TMainfm::FillFileList(const QStringList& names, const QStringList& ticked) {
  const QString current = ui_->LB1->currentItem() ? ui_->LB1->currentItem()->text() : QString();
  const int scrolled = ui_->LB1->verticalScrollBar()->value();
  std::vector<std::string> sorted;
  sorted.reserve(static_cast<size_t>(names.size()));
  for (const QString& n : names) sorted.push_back(n.toStdString());
  std::stable_sort(sorted.begin(), sorted.end(), [](const std::string& a, const std::string& b) {
    return pipeline::FileListLess(a, b);
  });
  ticking_many_ = true;
  ui_->LB1->clear();
  for (const std::string& n : sorted) {
    auto* item = new QListWidgetItem(Q(n), ui_->LB1);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(ticked.contains(item->text()) ? Qt::Checked : Qt::Unchecked);
    if (!current.isEmpty() && item->text() == current) ui_->LB1->setCurrentItem(item);
  }
  ticking_many_ = false;
  ui_->LB1->verticalScrollBar()->setValue(scrolled);
  ShowWhetherAllTicked();
}

void TMainfm::ShowWhetherAllTicked() {
  bool all = ui_->LB1->count() > 0;
  for (int i = 0; all && i < ui_->LB1->count(); ++i) {
    all = ui_->LB1->item(i)->checkState() == Qt::Checked;
  }
  ui_->CB1->setChecked(all);
}

void TMainfm::TakeDroppedPaths(const QStringList& paths) {
  if (paths.isEmpty() || running_) return;
  const QFileInfo first(paths.front());
  if (first.isDir()) {
    // As a folder chosen in the dialog: its files, unticked.
    SetDownloadFolder(first.absoluteFilePath());
    FillFileList(ListDownloadFolder(), {});
    return;
  }
  if (!first.isFile()) return;
  const QString folder = first.absolutePath();
  if (QFileInfo(folder).canonicalFilePath() != QFileInfo(DownloadFolder()).canonicalFilePath()) {
    SetDownloadFolder(folder);
    FillFileList(ListDownloadFolder(), {});
  } else {
    RefreshFileList();
  }
  // The files dropped are ticked; one the list's filter leaves out but a
  // run reads joins the list.
  QStringList names, ticked;
  for (int i = 0; i < ui_->LB1->count(); ++i) {
    names << ui_->LB1->item(i)->text();
    if (ui_->LB1->item(i)->checkState() == Qt::Checked) ticked << names.back();
  }
  for (const QString& path : paths) {
    const QFileInfo file(path);
    if (!file.isFile() || file.absolutePath() != folder) continue;
    const QString name = file.fileName();
    if (!names.contains(name)) {
      if (!pipeline::MatchesFileMask(name.toStdString(), pipeline::InputFilesMask())) continue;
      names << name;
    }
    ticked << name;
  }
  FillFileList(names, ticked);
}

void TMainfm::dragEnterEvent(QDragEnterEvent* event) {
  if (!running_ && !DroppedPaths(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TMainfm::dropEvent(QDropEvent* event) {
  const QStringList paths = DroppedPaths(event->mimeData());
  if (paths.isEmpty()) return;
  event->acceptProposedAction();
  TakeDroppedPaths(paths);
}

void TMainfm::SpeedButton1Click() {
  if (!dlgfm_) return;
  dlgfm_->SetMaskFromFiletype(default_filetype_);
  dlgfm_->ShowFolder(DownloadFolder());
  dlgfm_->exec();
}

void TMainfm::SpeedButton2Click() {
  OpenInBrowser(ui_->eHtml->text());
}

bool TMainfm::OpenInBrowser(const QString& url, QWidget* box_parent) {
  if (web_browser_found && !web_browser_found()) {
    if (!box_parent)
      box_parent = QApplication::activeWindow() ? QApplication::activeWindow() : this;
    prompter_.Message(box_parent, MessageKind::kWarning, NoWebBrowserText(url));
    return false;
  }
  // A location the browser can't open gives no message.
  return open_url && open_url(url);
}

void TMainfm::CB1Click() {
  const Qt::CheckState state = ui_->CB1->isChecked() ? Qt::Checked : Qt::Unchecked;
  ticking_many_ = true;
  for (int i = 0; i < ui_->LB1->count(); ++i) ui_->LB1->item(i)->setCheckState(state);
  ticking_many_ = false;
  // An empty list has nothing to tick: the box goes back to clear.
  ShowWhetherAllTicked();
}

void TMainfm::bHelpClick() {
  // Help that cannot be shown does nothing.
  if (!help_) {
    help_ = std::make_unique<HelpWindow>();
    // The box of a link without a browser stands over the help window: one
    // over the main window would open behind it, and the link would seem
    // to do nothing.
    help_->Browser()->open_external = [this](const QUrl& url) {
      OpenInBrowser(url.toString(), help_.get());
    };
  }
  help_->ShowTopic(HelpFilePath(), QString::fromLatin1(kHelpTopic));
}

void TMainfm::SpeedButton3Click() {
  if (about_) about_->exec();
}

void TMainfm::bViewClick() {
  if (viewfm_ && !running_) viewfm_->OpenAndShow();
}

void TMainfm::OpenDatabaseClick() {
  if (!viewfm_ || running_) return;
  if (!viewfm_->isVisible()) {
    // With the database of the last run when it is still there, else empty.
    const dbf::DbfTable& last = builder_->OutputTable();
    const bool last_there = !last.TableName().empty() && QFileInfo(Q(last.FullPath())).isFile();
    if (!last_there || !viewfm_->OpenAndShow()) viewfm_->show();
  }
  viewfm_->bOpenClick();
}

void TMainfm::bExitClick() {
  close();
}

pipeline::BuildRequest TMainfm::Request() const {
  pipeline::BuildRequest r;
  r.database_name = ui_->eDBName->text().toStdString();
  // A relative folder text is taken relative to the program folder, for
  // creating the folder and for the files in it alike.
  r.save_folder =
      platform::AbsolutePath(ui_->deSaveFilesPath->text().toStdString(), env_.program_folder);
  r.staging_folder =
      platform::AbsolutePath(ui_->deTempFilesPath->text().toStdString(), env_.program_folder);
  r.download_folder = DownloadFolder().toStdString();
  readers::ParseColumnChoice(ui_->eColumns->text().toStdString(), r.table_columns);
  r.choices = choices_;
  for (int i = 0; i < ui_->LB1->count(); ++i) {
    const QListWidgetItem* item = ui_->LB1->item(i);
    r.files.push_back({item->text().toStdString(), item->checkState() == Qt::Checked});
  }
  return r;
}

bool TMainfm::MayReplaceDatabase(const pipeline::BuildRequest& request) {
  // Asked only for a request that the run will take; a refused one shows
  // its messages alone.
  const std::string name = pipeline::DatabaseName(request.database_name);
  const bool ticked = std::any_of(request.files.begin(), request.files.end(),
                                  [](const pipeline::FileItem& f) { return f.ticked; });
  if (name.empty() || !ticked || pipeline::NameHasInvalidCharacters(name) ||
      !pipeline::DatabaseNameProblem(name).empty()) {
    return true;
  }
  const QString names = Q(pipeline::DatabaseFilesIn(request.save_folder, name).names);
  if (!QFileInfo(names).isFile()) return true;
  return prompter_.Confirm(this, ReplaceDatabaseQuestion(QFileInfo(names).fileName()),
                           QStringLiteral("Confirm"));
}

void TMainfm::bCreateClick() {
  // The progress window blocks every other window while the run lasts;
  // this guards against a click that was queued before it appeared.
  if (running_) return;
  // Columns that name no columns are said so before anything happens.
  readers::ColumnChoice columns;
  const QString columns_text = ui_->eColumns->text().trimmed();
  if (!columns_text.isEmpty() && !readers::ParseColumnChoice(columns_text.toStdString(), columns)) {
    prompter_.Message(this, MessageKind::kWarning, QString::fromLatin1(kColumnsMessage));
    ui_->eColumns->setFocus();
    return;
  }
  const pipeline::BuildRequest request = Request();
  if (!MayReplaceDatabase(request)) return;
  running_ = true;
  QElapsedTimer clock;
  clock.start();
  last_outcome_ = CreateOnWorkerThread(*builder_, request);
  running_ = false;
  if (quit_after_run_) {
    // The user chose to stop and quit while the run lasted.
    QTimer::singleShot(0, this, &QWidget::close);
    return;
  }
  const std::string name = pipeline::DatabaseName(request.database_name);
  ShowResult(last_outcome_, Q(pipeline::DatabaseFilesIn(request.save_folder, name).names),
             static_cast<double>(clock.elapsed()) / 1000.0);
  if (last_outcome_.status == pipeline::BuildStatus::kFailed) {
    prompter_.Message(this, MessageKind::kError, Q(last_outcome_.error));
  }
}

void TMainfm::ShowResult(const pipeline::BuildOutcome& outcome, const QString& names_path,
                         double seconds) {
  if (outcome.status == pipeline::BuildStatus::kRefused) return;
  QLabel* line = ui_->ResultLine;
  // The path as long as the two lines allow.
  RunResult result;
  for (const QString& shown : ShorterPaths(names_path)) {
    result = DescribeRun(outcome, names_path, shown, seconds);
    if (FitsInto(result.line, line->font(), line->width(), kResultLines)) break;
  }
  // What does not fit ends in an ellipsis; the tip holds it all.
  line->setText(ElidedToLines(result.line, line->font(), line->width(), kResultLines));
  line->setToolTip(result.details);
  QPalette colours = palette();
  if (result.kind != RunResult::kWritten) {
    colours.setColor(QPalette::WindowText, result.kind == RunResult::kNotWritten
                                               ? QColor(170, 30, 30)
                                               : QColor(150, 90, 0));
  }
  line->setPalette(colours);
}

void TMainfm::keyPressEvent(QKeyEvent* event) {
  // Enter presses the button that has the focus, else Create, the default.
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
      !(event->modifiers() & ~Qt::KeypadModifier)) {
    event->accept();
    if (auto* button = qobject_cast<QAbstractButton*>(focusWidget())) {
      button->click();
    } else {
      bCreateClick();
    }
    return;
  }
  QWidget::keyPressEvent(event);
}

FolderSettings TMainfm::CurrentSettings() const {
  FolderSettings s;
  s.download_folder = DownloadFolder().toStdString();
  s.save_folder = ui_->deSaveFilesPath->text().toStdString();
  s.temp_folder = ui_->deTempFilesPath->text().toStdString();
  s.www_location = ui_->eHtml->text().toStdString();
  s.default_filetype = dlgfm_ ? dlgfm_->FilterComboBox1()->currentIndex() : default_filetype_;
  s.table_columns = ui_->eColumns->text().trimmed().toStdString();
  return s;
}

void TMainfm::StopAndQuit() {
  if (running_) {
    quit_after_run_ = true;
    builder_->Cancel();
  } else {
    close();
  }
}

void TMainfm::closeEvent(QCloseEvent* event) {
  if (running_) {
    // Asked once; the window closes when the cancelled run has cleaned up
    // (bCreateClick closes it then).
    event->ignore();
    if (!quit_after_run_ &&
        prompter_.Confirm(this, QStringLiteral("A database is being created. Stop it and quit?"))) {
      StopAndQuit();
    }
    return;
  }
  std::string error = SaveSettings(settings_place_, env_, CurrentSettings());
  if (error.empty()) error = SaveChoices(settings_place_, choices_);
  // The program ends even when the settings could not be written.
  if (!error.empty()) prompter_.Message(this, MessageKind::kError, Q(error));
  if (viewfm_ && viewfm_->isVisible()) viewfm_->close();
  if (help_) help_->close();
  event->accept();
  emit Closed();
}

void TMainfm::SetChoices(const pipeline::Choices& choices) {
  choices_ = choices;
  const std::string summary = pipeline::ChoicesSummary(choices);
  ui_->ChoicesLine->setText(summary.empty() ? QString() : Q("Options: " + summary));
  ui_->ChoicesLine->setToolTip(ui_->ChoicesLine->text());
}

std::vector<std::string> TMainfm::LastTypeCodes() const {
  const dbf::DbfTable& last = builder_->OutputTable();
  std::string names =
      last.TableName().empty()
          ? pipeline::DatabaseFilesIn(Request().save_folder,
                                      pipeline::DatabaseName(ui_->eDBName->text().toStdString()))
                .names
          : last.FullPath();
  std::vector<std::string> codes;
  std::string error;
  const size_t dot = names.rfind('.');
  if (dot == std::string::npos) return codes;
  if (!pipeline::ReadTypesFile(platform::DefaultFileSystem(), names.substr(0, dot) + ".types",
                               codes, error)) {
    codes.clear();
  }
  return codes;
}

std::optional<pipeline::Area> TMainfm::ShownMapArea() const {
  if (!viewfm_ || !viewfm_->isVisible() || !viewfm_->MapPane()) return std::nullopt;
  const MapView v = viewfm_->MapPane()->View();
  if (v.width <= 0 || v.height <= 0) return std::nullopt;
  const double south = std::clamp(v.Lat(v.height), -90.0, 90.0);
  const double north = std::clamp(v.north, -90.0, 90.0);
  // The world goes round in the map: a view across the 180th meridian is an
  // area whose west lies east of its east.
  if (v.Lon(v.width) - v.west >= 360) return pipeline::Area{south, -180, north, 180};
  return pipeline::Area{south, std::remainder(v.west, 360.0), north,
                        std::remainder(v.Lon(v.width), 360.0)};
}

void TMainfm::bOptionsClick() {
  TOptionsfm dialog(this);
  dialog.SetTypeCodes(LastTypeCodes());
  dialog.SetChoices(choices_);
  if (ShownMapArea()) dialog.SetMapArea([this] { return ShownMapArea(); });
  if (dialog.exec() != QDialog::Accepted) return;
  if (const std::optional<pipeline::Choices> chosen = dialog.Choices()) SetChoices(*chosen);
}

}  // namespace toponyx::desktop
