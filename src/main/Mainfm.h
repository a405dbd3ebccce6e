// TMainfm: the main window, five numbered steps from the download page to
// the finished name database. It owns the builder (the working and output
// tables and the archive components) for the life of the program. Beside
// the steps: the result of the last run, "Open database…" (Ctrl+O) for an
// earlier database, F1 for help, Enter for Create; the file list follows
// the download folder as files come and go, and files or a folder dropped
// onto the window are taken as the downloads.
#pragma once

#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "main/DesktopBuildUi.h"
#include "main/Settings.h"
#include "pipeline/Build.h"
#include "view/Prompter.h"

class QFileSystemWatcher;
class QListWidget;
class QTimer;

namespace Ui {
class TMainfm;
}

namespace toponyx::desktop {

class TDlgfm;
class TDlgfm2;
class TViewfm;
class TAboutBox;
class HelpWindow;
class TDirLabel;
class TdpnLEdit;
class TFolderEdit;

class TMainfm : public QWidget {
  Q_OBJECT

 public:
  // Runs the creation handler (FormCreate) before it returns.
  TMainfm(const StartupEnvironment& env, Prompter& prompter, QByteArray help_file);
  ~TMainfm() override;

  // The windows created after this one, in their order.
  void Attach(TDlgfm* dlgfm, TDlgfm2* dlgfm2, TViewfm* viewfm, TAboutBox* about);

  // Handlers.
  void FormCreate();
  void FormShow();
  void SpeedButton1Click();
  void SpeedButton2Click();
  void CB1Click();
  void bHelpClick();
  void SpeedButton3Click();
  void bViewClick();
  void bExitClick();
  void bCreateClick();
  // "Open database…": the View window with its file dialog.
  void OpenDatabaseClick();
  // "Options…": the choices of what goes in (TOptionsfm).
  void bOptionsClick();
  const pipeline::Choices& Choices() const { return choices_; }
  // The choices of the next run, and the main window's line that says
  // which are on.
  void SetChoices(const pipeline::Choices& choices);

  // What the dialog's OK changes.
  int32_t DefaultFiletype() const { return default_filetype_; }
  void SetDefaultFiletype(int32_t value) { default_filetype_ = value; }
  void SetDownloadFolder(const QString& folder);
  QString DownloadFolder() const;
  // LB1 gets these names of the download folder, unticked, in list order;
  // mask is the file mask they were listed with (the folder watch lists the
  // folder again with it).
  void ReplaceFileList(const QStringList& names, const QString& mask);
  // The download folder listed again with the list's mask; ticked names that
  // are still there stay ticked.
  void RefreshFileList();
  // Dropped onto the window: a folder becomes the download folder; files
  // make their folder the download folder and are ticked.
  void TakeDroppedPaths(const QStringList& paths);

  // For the program and its tests.
  const std::string& MappingFolder() const { return settings_place_.mapping_folder; }
  const SettingsPlace& Place() const { return settings_place_; }
  const StartupEnvironment& Environment() const { return env_; }
  pipeline::Builder& Builder() { return *builder_; }
  // Asked to stop from outside (SIGTERM, SIGHUP, Ctrl+C in the terminal):
  // a run is cancelled and the program quits once it has cleaned up, as
  // after a close.
  void StopAndQuit();
  pipeline::BuildRequest Request() const;
  pipeline::BuildOutcome LastOutcome() const { return last_outcome_; }
  bool Running() const { return running_; }
  HelpWindow* Help() const { return help_.get(); }
  QString HelpFilePath() const;
  TdpnLEdit* DatabaseName() const;
  TFolderEdit* SaveFolder() const;
  TFolderEdit* TempFolder() const;
  TDirLabel* DownloadLabel() const;
  QListWidget* FileList() const;
  QWidget* Control(const char* name) const;
  // The line that tells how the last run ended.
  QString ResultText() const;
  // Hands an address to the web browser; a box over box_parent (the
  // window the address came from; the active window when null) says so
  // when there is none.
  bool OpenInBrowser(const QString& url, QWidget* box_parent = nullptr);
  // Where SpeedButton2 and the help's web links send an address (tests
  // catch it here), and whether the system has a web browser at all.
  std::function<bool(const QString&)> open_url;
  std::function<bool()> web_browser_found;

 signals:
  void Closed();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  FolderSettings CurrentSettings() const;
  // Before a run writes over an existing <name>.names: false when the user
  // keeps it.
  bool MayReplaceDatabase(const pipeline::BuildRequest& request);
  void ShowResult(const pipeline::BuildOutcome& outcome, const QString& names_path, double seconds);
  QStringList ListDownloadFolder() const;
  // The codes of the .types file of the last database (of the one the
  // fields name before the first run); none when there is none.
  std::vector<std::string> LastTypeCodes() const;
  // The part of the map the View window shows; none when it shows none.
  std::optional<pipeline::Area> ShownMapArea() const;
  void FillFileList(const QStringList& names, const QStringList& ticked);
  // "Select all files" shows whether every file of the list is ticked.
  void ShowWhetherAllTicked();
  void WatchDownloadFolder();

  std::unique_ptr<Ui::TMainfm> ui_;
  StartupEnvironment env_;
  Prompter& prompter_;
  QByteArray help_file_;
  DesktopBuildUi build_ui_;
  std::unique_ptr<pipeline::Builder> builder_;
  SettingsPlace settings_place_;
  int32_t default_filetype_ = 0;
  bool running_ = false;
  bool quit_after_run_ = false;  // closed during a run: quit once it has ended
  bool ticking_many_ = false;    // LB1 changes item by item; CB1 follows at the end
  bool shown_before_ = false;    // the first show puts the focus on the downloads
  pipeline::BuildOutcome last_outcome_;
  pipeline::Choices choices_;
  std::unique_ptr<HelpWindow> help_;
  QString list_mask_;  // the mask LB1 was listed with
  QFileSystemWatcher* download_watch_;
  QTimer* refresh_soon_;  // changes come in bursts while a file is written

  TDlgfm* dlgfm_ = nullptr;
  TDlgfm2* dlgfm2_ = nullptr;
  TViewfm* viewfm_ = nullptr;
  TAboutBox* about_ = nullptr;
};

}  // namespace toponyx::desktop
