#include "main/Mainfm.h"

#include "pipeline/SupportFiles.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QListWidget>
#include <QScreen>
#include <QShowEvent>
#include <QUrl>
#include <algorithm>
#include <exception>

#include "main/AboutBox.h"
#include "main/DirLabel.h"
#include "main/Dlgfm.h"
#include "main/Dlgfm2.h"
#include "main/DpnlEdit.h"
#include "main/FileControls.h"
#include "main/FolderEdit.h"
#include "main/Glyphs.h"
#include "main/HelpWindow.h"
#include "main/WorkerRun.h"
#include "pipeline/FileList.h"
#include "platform/Paths.h"
#include "platform/System.h"
#include "ui_Mainfm.h"
#include "view/Viewfm.h"

namespace toponyx::desktop {

namespace {
QString Q(const std::string& s) {
  return QString::fromStdString(s);
}
}  // namespace

TMainfm::TMainfm(const StartupEnvironment& env, Prompter& prompter, QByteArray help_file)
    : QWidget(nullptr),
      ui_(std::make_unique<Ui::TMainfm>()),
      env_(env),
      prompter_(prompter),
      help_file_(std::move(help_file)),
      build_ui_(prompter, this) {
  ui_->setupUi(this);
  UseFormFont(this);
  setFixedSize(491, 433);
  ui_->SpeedButton2->setIcon(GlobeGlyph());
  ui_->SpeedButton1->setIcon(FolderGlyph());
  ui_->deSaveFilesPath->SetPrompter(&prompter_);
  ui_->deTempFilesPath->SetPrompter(&prompter_);
  // Relative folder texts mean folders inside the program folder.
  ui_->deSaveFilesPath->SetBaseFolder(Q(env_.program_folder));
  ui_->deTempFilesPath->SetBaseFolder(Q(env_.program_folder));
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
  }
  open_url = [](const QString& url) { return QDesktopServices::openUrl(QUrl(url)); };

  builder_ = std::make_unique<pipeline::Builder>(build_ui_, env_.program_folder);
  build_ui_.SetEnableView([this] { ui_->bView->setEnabled(true); });

  connect(ui_->SpeedButton1, &QToolButton::clicked, this, &TMainfm::SpeedButton1Click);
  connect(ui_->SpeedButton2, &QToolButton::clicked, this, &TMainfm::SpeedButton2Click);
  connect(ui_->CB1, &QCheckBox::clicked, this, &TMainfm::CB1Click);
  connect(ui_->bHelp, &QPushButton::clicked, this, &TMainfm::bHelpClick);
  connect(ui_->SpeedButton3, &QPushButton::clicked, this, &TMainfm::SpeedButton3Click);
  connect(ui_->bView, &QPushButton::clicked, this, &TMainfm::bViewClick);
  connect(ui_->bExit, &QPushButton::clicked, this, &TMainfm::bExitClick);
  connect(ui_->bCreate, &QPushButton::clicked, this, &TMainfm::bCreateClick);

  FormCreate();
}

TMainfm::~TMainfm() = default;

void TMainfm::Attach(TDlgfm* dlgfm, TDlgfm2* dlgfm2, TViewfm* viewfm, TAboutBox* about) {
  dlgfm_ = dlgfm;
  dlgfm2_ = dlgfm2;
  viewfm_ = viewfm;
  about_ = about;
  build_ui_.SetProgressWindow(dlgfm2);
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
  ui_->eListFilesPath->SetDirName(Q(s.download_folder));
  ui_->deSaveFilesPath->setText(Q(s.save_folder));
  ui_->deTempFilesPath->setText(Q(s.temp_folder));
  ui_->eHtml->setText(Q(s.www_location));
  default_filetype_ = s.default_filetype;
}

void TMainfm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // A window brought back from the task bar gets only the system's show
  // event: the show handler runs when the program shows the window.
  if (!event->spontaneous()) FormShow();
}

void TMainfm::FormShow() {
  setWindowTitle(QStringLiteral("Toponyx Creator (version 1.10a)"));
  if (!dlgfm_) return;
  dlgfm_->ShowFolder(DownloadFolder());
  ReplaceFileList(dlgfm_->FLB1()->Items());
}

QString TMainfm::DownloadFolder() const {
  return ui_->eListFilesPath->DirName();
}

void TMainfm::SetDownloadFolder(const QString& folder) {
  ui_->eListFilesPath->SetDirName(folder);
}

void TMainfm::ReplaceFileList(const QStringList& names) {
  std::vector<std::string> sorted;
  sorted.reserve(static_cast<size_t>(names.size()));
  for (const QString& n : names) sorted.push_back(n.toStdString());
  std::stable_sort(sorted.begin(), sorted.end(), [](const std::string& a, const std::string& b) {
    return pipeline::FileListLess(a, b);
  });
  ui_->LB1->clear();
  for (const std::string& n : sorted) {
    auto* item = new QListWidgetItem(Q(n), ui_->LB1);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
  }
}

void TMainfm::SpeedButton1Click() {
  if (!dlgfm_) return;
  dlgfm_->SetMaskFromFiletype(default_filetype_);
  dlgfm_->ShowFolder(DownloadFolder());
  dlgfm_->exec();
}

void TMainfm::SpeedButton2Click() {
  // A location the system can't open gives no message.
  if (open_url) open_url(ui_->eHtml->text());
}

void TMainfm::CB1Click() {
  const Qt::CheckState state = ui_->CB1->isChecked() ? Qt::Checked : Qt::Unchecked;
  for (int i = 0; i < ui_->LB1->count(); ++i) ui_->LB1->item(i)->setCheckState(state);
}

void TMainfm::bHelpClick() {
  // Help that cannot be shown does nothing.
  if (!help_) help_ = std::make_unique<HelpWindow>();
  help_->ShowTopic(HelpFilePath(), QString::fromLatin1(kHelpTopic));
}

void TMainfm::SpeedButton3Click() {
  if (about_) about_->exec();
}

void TMainfm::bViewClick() {
  if (viewfm_) viewfm_->OpenAndShow();
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
  for (int i = 0; i < ui_->LB1->count(); ++i) {
    const QListWidgetItem* item = ui_->LB1->item(i);
    r.files.push_back({item->text().toStdString(), item->checkState() == Qt::Checked});
  }
  return r;
}

void TMainfm::bCreateClick() {
  // The progress window blocks every other window while the run lasts;
  // this guards against a click that was queued before it appeared.
  if (running_) return;
  running_ = true;
  last_outcome_ = CreateOnWorkerThread(*builder_, Request());
  running_ = false;
  if (last_outcome_.status == pipeline::BuildStatus::kFailed) {
    prompter_.Message(this, MessageKind::kError, Q(last_outcome_.error));
  }
}

FolderSettings TMainfm::CurrentSettings() const {
  FolderSettings s;
  s.download_folder = DownloadFolder().toStdString();
  s.save_folder = ui_->deSaveFilesPath->text().toStdString();
  s.temp_folder = ui_->deTempFilesPath->text().toStdString();
  s.www_location = ui_->eHtml->text().toStdString();
  s.default_filetype = dlgfm_ ? dlgfm_->FilterComboBox1()->currentIndex() : default_filetype_;
  return s;
}

void TMainfm::closeEvent(QCloseEvent* event) {
  if (running_) {
    event->ignore();
    return;
  }
  const std::string error = SaveSettings(settings_place_, env_, CurrentSettings());
  // The program ends even when the settings could not be written.
  if (!error.empty()) prompter_.Message(this, MessageKind::kError, Q(error));
  if (viewfm_ && viewfm_->isVisible()) viewfm_->close();
  if (help_) help_->close();
  event->accept();
  emit Closed();
}

}  // namespace toponyx::desktop
