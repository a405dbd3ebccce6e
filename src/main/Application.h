// The desktop program's windows, created in their fixed order: main window,
// folder dialog, progress window, View window, About window. All of them
// live until the program ends.
#pragma once

#include <QByteArray>
#include <QIcon>
#include <memory>

#include "main/Settings.h"
#include "view/Prompter.h"

namespace toponyx::desktop {

class TMainfm;
class TDlgfm;
class TDlgfm2;
class TViewfm;
class TAboutBox;

inline constexpr char kApplicationTitle[] = "Toponyx Creator";

// The compiled help carried in the program.
QByteArray EmbeddedHelpFile();

// The program's icon in every size it carries (the window icon; the menu
// entry takes the same pictures from the icon theme).
QIcon ProgramIcon();

class Forms {
 public:
  Forms(const StartupEnvironment& env, Prompter& prompter,
        QByteArray help_file = EmbeddedHelpFile());
  ~Forms();

  TMainfm* Mainfm() const { return mainfm_.get(); }
  TDlgfm* Dlgfm() const { return dlgfm_; }
  TDlgfm2* Dlgfm2() const { return dlgfm2_.get(); }
  TViewfm* Viewfm() const { return viewfm_.get(); }
  TAboutBox* AboutBox() const { return about_; }

 private:
  std::unique_ptr<TMainfm> mainfm_;
  TDlgfm* dlgfm_ = nullptr;  // owned by the main window
  std::unique_ptr<TDlgfm2> dlgfm2_;
  std::unique_ptr<TViewfm> viewfm_;
  TAboutBox* about_ = nullptr;  // owned by the main window
};

}  // namespace toponyx::desktop
