#include "main/Application.h"

#include <QDir>
#include <QFile>

#include "main/AboutBox.h"
#include "main/Dlgfm.h"
#include "main/Dlgfm2.h"
#include "main/Mainfm.h"
#include "view/Viewfm.h"

namespace toponyx::desktop {

QByteArray EmbeddedHelpFile() {
  QFile help(QStringLiteral(":/help/toponyx.qch"));
  if (!help.open(QIODevice::ReadOnly)) return {};
  return help.readAll();
}

QIcon ProgramIcon() {
  QIcon icon;
  const QDir icons(QStringLiteral(":/icons"));
  for (const QString& name : icons.entryList(QDir::Files)) icon.addFile(icons.filePath(name));
  return icon;
}

Forms::Forms(const StartupEnvironment& env, Prompter& prompter, QByteArray help_file) {
  mainfm_ = std::make_unique<TMainfm>(env, prompter, std::move(help_file));
  dlgfm_ = new TDlgfm(mainfm_.get());
  dlgfm2_ = std::make_unique<TDlgfm2>();
  viewfm_ = std::make_unique<TViewfm>(mainfm_->Builder().OutputTable(), prompter);
  about_ = new TAboutBox(mainfm_.get());
  mainfm_->Attach(dlgfm_, dlgfm2_.get(), viewfm_.get(), about_);
}

Forms::~Forms() {
  // The View window holds the output table, which the main window owns.
  viewfm_.reset();
  dlgfm2_.reset();
}

}  // namespace toponyx::desktop
