// toponyx-creator: the desktop program.
#include <QApplication>
#include <QTimer>
#include <atomic>

#include "geodesy/Datum.h"
#include "main/Application.h"
#include "main/HelpWindow.h"
#include "main/Mainfm.h"
#include "platform/Signals.h"

namespace {
// Set by SIGTERM, SIGHUP or SIGINT; the event loop looks at it.
std::atomic<int> stop_signal{0};
void AskToStop(int signal_number) {
  stop_signal.store(signal_number);
}
}  // namespace

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
  // What instances ended by a kill left of their help.
  toponyx::desktop::HelpWindow::RemoveAbandonedFolders();
  // A stop signal ends the program as a close does: a run is cancelled and
  // cleaned up, the settings are saved, the help's working folder removed.
  toponyx::platform::OnStopSignals(AskToStop);
  QTimer stop_watch;
  QObject::connect(&stop_watch, &QTimer::timeout, [&] {
    if (stop_signal.exchange(0) != 0) forms.Mainfm()->StopAndQuit();
  });
  stop_watch.start(100);
  forms.Mainfm()->show();
  return app.exec();
}
