// TMainfm: the main window, five numbered steps from the download page to
// the finished name database. It owns the builder (the working and output
// tables and the archive components) for the life of the program.
#pragma once

#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>

#include "main/DesktopBuildUi.h"
#include "main/Settings.h"
#include "pipeline/Build.h"
#include "view/Prompter.h"

class QListWidget;

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

  // What the dialog's OK changes.
  int32_t DefaultFiletype() const { return default_filetype_; }
  void SetDefaultFiletype(int32_t value) { default_filetype_ = value; }
  void SetDownloadFolder(const QString& folder);
  QString DownloadFolder() const;
  // LB1 gets these names, unticked, in list order.
  void ReplaceFileList(const QStringList& names);

  // For the program and its tests.
  const std::string& MappingFolder() const { return settings_place_.mapping_folder; }
  const SettingsPlace& Place() const { return settings_place_; }
  const StartupEnvironment& Environment() const { return env_; }
  pipeline::Builder& Builder() { return *builder_; }
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
  // Where SpeedButton2 sends the web location (tests catch it here).
  std::function<bool(const QString&)> open_url;

 signals:
  void Closed();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  FolderSettings CurrentSettings() const;

  std::unique_ptr<Ui::TMainfm> ui_;
  StartupEnvironment env_;
  Prompter& prompter_;
  QByteArray help_file_;
  DesktopBuildUi build_ui_;
  std::unique_ptr<pipeline::Builder> builder_;
  SettingsPlace settings_place_;
  int32_t default_filetype_ = 0;
  bool running_ = false;
  pipeline::BuildOutcome last_outcome_;
  std::unique_ptr<HelpWindow> help_;

  TDlgfm* dlgfm_ = nullptr;
  TDlgfm2* dlgfm2_ = nullptr;
  TViewfm* viewfm_ = nullptr;
  TAboutBox* about_ = nullptr;
};

}  // namespace toponyx::desktop
