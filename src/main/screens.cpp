// toponyx-creator-screens: starts the desktop program's windows as the
// program does, on the display it is given (scripts/screenshots.sh runs it
// under Xvfb), walks through a session with the sample downloads and saves
// what the screen shows of each window as PNG files:
//   toponyx-creator-screens <program folder> <output folder>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QScreen>
#include <QTimer>
#include <cstdio>

#include "geodesy/Datum.h"
#include "main/AboutBox.h"
#include "main/Application.h"
#include "main/Dlgfm.h"
#include "main/Dlgfm2.h"
#include "main/DpnlEdit.h"
#include "main/HelpWindow.h"
#include "main/Mainfm.h"
#include "view/Viewfm.h"

using namespace toponyx::desktop;

namespace {

QString out_folder;
int failures = 0;

void Settle() {
  for (int i = 0; i < 5; ++i) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// What the X server shows in the window's area.
void Shoot(QWidget* w, const char* name) {
  QApplication::processEvents();
  const QRect area = w->frameGeometry();
  QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(),
                                                              area.height());
  const QString path = QDir(out_folder).filePath(QString::fromLatin1(name) + ".png");
  if (shot.isNull() || !shot.save(path)) {
    std::fprintf(stderr, "could not save %s\n", qPrintable(path));
    ++failures;
    return;
  }
  std::printf("%s (%dx%d)\n", qPrintable(path), shot.width(), shot.height());
}

// Message boxes are written to the terminal and answered at once; the one
// asked for is also shown as the program shows it, and photographed.
class LoggingPrompter final : public Prompter {
 public:
  void Message(QWidget* parent, toponyx::MessageKind kind, const QString& text,
               const QString& caption, toponyx::MessageButtons buttons) override {
    std::printf("message: %s\n", qPrintable(text));
    if (shot_name.isEmpty() || skip-- > 0) return;
    const QByteArray name = shot_name.toLatin1();
    shot_name.clear();
    QTimer::singleShot(300, [name] {
      if (QWidget* box = QApplication::activeModalWidget()) {
        Shoot(box, name.constData());
        box->close();
      }
    });
    BoxPrompter().Message(parent, kind, text, caption, buttons);
  }
  QString shot_name;
  int skip = 0;  // boxes to let pass before the one photographed
  bool Confirm(QWidget*, const QString& text, const QString&) override {
    std::printf("question: %s -> yes\n", qPrintable(text));
    return true;
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: toponyx-creator-screens <program folder> <output folder>\n");
    return 2;
  }
  toponyx::geo::LoadDatumFile(argv[1]);
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(kApplicationTitle));
  out_folder = QString::fromLocal8Bit(argv[2]);
  QDir().mkpath(out_folder);

  // The program's own folder, but no registry: settings stay beside it.
  StartupEnvironment env;
  env.program_folder = argv[1];
  env.system_temp_folder = QDir::tempPath().toStdString() + "/";
  LoggingPrompter prompter;
  Forms forms(env, prompter);
  TMainfm* main = forms.Mainfm();
  main->show();
  Settle();
  Shoot(main, "main-window");

  // The folder and file dialog, as Open Files shows it.
  QTimer::singleShot(300, [&] {
    Shoot(forms.Dlgfm(), "dialog");
    forms.Dlgfm()->OKBtnClick();
  });
  main->SpeedButton1Click();
  Settle();

  // Create with nothing ticked and no name: the second refusal, the one
  // with line breaks, as a box.
  prompter.shot_name = "refusal-box";
  prompter.skip = 1;
  main->bCreateClick();

  // Every file ticked, a name, and Create; the progress window is caught
  // while the input is read.
  main->findChild<QCheckBox*>("CB1")->click();
  main->DatabaseName()->setText("samples");
  Settle();
  Shoot(main, "main-window-ready");
  bool caught = false;
  QTimer watcher;
  watcher.setInterval(0);
  QObject::connect(&watcher, &QTimer::timeout, [&] {
    TDlgfm2* progress = forms.Dlgfm2();
    if (caught || !progress->isVisible() || !progress->StageLabel(2)->font().bold()) return;
    caught = true;
    Settle();
    Shoot(progress, "progress-window");
  });
  watcher.start();
  main->bCreateClick();
  watcher.stop();
  if (!caught) {
    std::fprintf(stderr, "the progress window was not caught\n");
    ++failures;
  }
  Settle();

  main->bViewClick();
  Settle();
  Shoot(forms.Viewfm(), "view-window");
  forms.Viewfm()->NavigatorClick(toponyx::desktop::TDBNavigator::nbLast);
  Settle();
  Shoot(forms.Viewfm(), "view-window-last");
  forms.Viewfm()->close();

  QTimer::singleShot(300, [&] {
    Shoot(forms.AboutBox(), "about");
    forms.AboutBox()->accept();
  });
  main->SpeedButton3Click();

  main->bHelpClick();
  Settle();
  if (main->Help() && main->Help()->isVisible()) {
    Shoot(main->Help(), "help");
    main->Help()->close();
  } else {
    std::fprintf(stderr, "the help window did not open\n");
    ++failures;
  }
  return failures == 0 ? 0 : 1;
}
