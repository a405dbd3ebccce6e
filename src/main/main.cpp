// toponyx-creator: the desktop program.
#include <QApplication>

#include "geodesy/Datum.h"
#include "main/Application.h"
#include "main/Mainfm.h"

int main(int argc, char** argv) {
  // The datum table is filled before any window exists.
  toponyx::geo::LoadDatumFile();

  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(toponyx::desktop::kApplicationTitle));
  // The display name follows the application name (message box captions):
  // setting it as well would append it to every window title on X11.
  QApplication::setWindowIcon(toponyx::desktop::ProgramIcon());
  // The menu entry the windows belong to (org.toponyx.creator.desktop).
  QGuiApplication::setDesktopFileName(QStringLiteral("org.toponyx.creator"));

  toponyx::desktop::BoxPrompter prompter;
  toponyx::desktop::Forms forms(toponyx::desktop::StartupEnvironment::FromSystem(), prompter);
  QObject::connect(forms.Mainfm(), &toponyx::desktop::TMainfm::Closed, &app, &QApplication::quit,
                   Qt::QueuedConnection);
  forms.Mainfm()->show();
  return app.exec();
}
