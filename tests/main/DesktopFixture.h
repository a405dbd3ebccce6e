// Folders of one desktop test: a program folder, a Wine prefix, a temporary
// folder, a download folder and the user's home and configuration folders
// (the last two not created), all inside a fresh temporary folder, so no
// test sees the real home, registry or program folder.
#pragma once

#include <QCheckBox>
#include <QDir>
#include <QListWidget>
#include <QPushButton>
#include <QString>
#include <filesystem>
#include <memory>
#include <string>

#include "main/Application.h"
#include "main/Mainfm.h"
#include "main/Settings.h"
#include "support/TempDir.h"
#include "view/RecordingPrompter.h"

namespace toponyx::testing {

struct DesktopFolders {
  DesktopFolders() {
    for (const std::string& f : {program, prefix, temp, download}) {
      std::filesystem::create_directories(f);
    }
  }
  desktop::StartupEnvironment Env() const {
    desktop::StartupEnvironment env;
    env.program_folder = program;
    env.system_temp_folder = temp + "/";
    env.wine_prefix = prefix;
    env.home_folder = home;
    env.config_folder = config;
    return env;
  }
  // A Carthovista installation registered in the prefix's registry.
  std::string InstallCarthovista() {
    const std::string folder = prefix + "/drive_c/Program Files/CarVis";
    std::filesystem::create_directories(folder);
    std::filesystem::create_directories(prefix + "/dosdevices");
    std::filesystem::create_directory_symlink("../drive_c", prefix + "/dosdevices/c:");
    WriteFileBytes(
        prefix + "/system.reg",
        "WINE REGISTRY Version 2\n\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\"
        "App Paths\\\\CarVis.exe] 1\n\"Path\"=\"C:\\\\Program Files\\\\CarVis\"\n");
    return std::filesystem::canonical(folder).string();
  }

  TempDir dir;
  std::string program = dir.File("program");
  std::string prefix = dir.File("wine");
  std::string temp = dir.File("tmp");
  std::string download = dir.File("downloads");
  std::string home = dir.File("home");
  std::string config = dir.File("home/.config/toponyx");
};

inline QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

// A program whose downloads are in f.download: INI "Last Start Directory".
struct Session {
  explicit Session(DesktopFolders& f, const std::string& ini_extra = "") {
    WriteFileBytes(f.program + "/TOPONYX.INI",
                   "[Paths]\r\nLast Start Directory=" + f.download + "\r\n" + ini_extra);
    forms = std::make_unique<desktop::Forms>(f.Env(), prompter);
    forms->Mainfm()->show();
  }
  desktop::TMainfm* main() const { return forms->Mainfm(); }
  QListWidget* LB1() const { return main()->FileList(); }
  QCheckBox* CB1() const { return main()->findChild<QCheckBox*>("CB1"); }
  QPushButton* Button(const char* name) const { return main()->findChild<QPushButton*>(name); }

  RecordingPrompter prompter;
  std::unique_ptr<desktop::Forms> forms;
};

}  // namespace toponyx::testing
