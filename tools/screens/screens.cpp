// toponyx-creator-screens: starts the desktop program's windows as the
// program does, on the display it is given (scripts/screenshots.sh runs it
// under Xvfb), walks through a session with the sample downloads (and a
// generated table of 400 000 places for the View window's map and Find
// box, and a generated download of 3 million places for a run long enough
// to show its progress and to be cancelled) and saves what the screen shows
// of each window as PNG files:
//   toponyx-creator-screens <program folder> <output folder>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

#include "dbf/DbfFile.h"
#include "dbf/FieldText.h"
#include "geodesy/Datum.h"
#include "main/AboutBox.h"
#include "main/Application.h"
#include "main/Dlgfm.h"
#include "main/Dlgfm2.h"
#include "main/DpnlEdit.h"
#include "main/FolderEdit.h"
#include "main/HelpWindow.h"
#include "main/Mainfm.h"
#include "view/MapPane.h"
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

// The map pane is drawn once the places are read.
void WaitForMap(TViewfm* view) {
  QElapsedTimer waited;
  waited.start();
  QTimer tick;  // wakes the wait below when nothing else does
  tick.start(50);
  for (;;) {
    const PlaceMap* map = view->MapPane()->Map();
    if (map && map->Finished()) break;
    if (waited.elapsed() > 20000) {
      std::fprintf(stderr, "the map was not finished\n");
      ++failures;
      break;
    }
    QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  }
  Settle();
}

// A name table of n places "Place <number>" in name order, in clusters
// of different sizes around the world, written as the program writes its
// databases: the fields stored by StoreFieldText, the records appended in
// blocks.
void WriteGeneratedTable(const std::string& path, uint32_t n) {
  using toponyx::dbf::DbfFile;
  std::vector<toponyx::dbf::FieldDef> fields;
  for (const char* name : {"NAME", "FULL_CODE", "MAJOR_CODE"}) fields.push_back({name, 'C', 45});
  for (const char* name : {"LATITUDE", "LONGITUDE"}) fields.push_back({name, 'C', 10});
  auto& fs = toponyx::platform::DefaultFileSystem();
  DbfFile::Create(fs, path, fields);
  DbfFile table(fs);
  table.Open(path, toponyx::platform::OpenMode::kReadWrite, nullptr);
  uint64_t seed = 42;
  auto uniform = [&seed] {
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>(seed >> 11) / 9007199254740992.0;
  };
  struct Cluster {
    double lon, lat, spread;
  };
  std::vector<Cluster> clusters(300);
  for (Cluster& c : clusters)
    c = {-170 + 340 * uniform(), -50 + 120 * uniform(), 0.3 + 6 * uniform() * uniform()};
  const size_t length = table.RecordLength();
  std::vector<char> block;
  auto set = [&](size_t record, int field, const char* text) {
    const toponyx::dbf::FieldDef& f = fields[static_cast<size_t>(field)];
    toponyx::dbf::StoreFieldText(text, block.data() + record + static_cast<size_t>(f.offset),
                                 static_cast<size_t>(f.length));
  };
  char text[32];
  for (uint32_t i = 0; i < n; ++i) {
    const size_t record = block.size();
    block.resize(record + length, ' ');
    std::snprintf(text, sizeof text, "Place %06u", i);
    set(record, 0, text);
    set(record, 1, "Populated Place");
    const Cluster& c = clusters[static_cast<size_t>(uniform() * uniform() * clusters.size())];
    const double r = c.spread * std::sqrt(-2 * std::log(1 - uniform()));
    const double a = 2 * std::numbers::pi * uniform();
    std::snprintf(text, sizeof text, "%.5f", std::clamp(c.lat + r * std::sin(a), -90.0, 90.0));
    set(record, 3, text);
    std::snprintf(text, sizeof text, "%.5f", std::clamp(c.lon + r * std::cos(a), -180.0, 180.0));
    set(record, 4, text);
    if (block.size() >= (size_t{4} << 20) || i + 1 == n) {
      table.AppendRecords(block.data(), static_cast<uint32_t>(block.size() / length));
      block.clear();
    }
  }
  table.Close();
}

// A Toponyx text file of n places, as a big download.
void WriteGeneratedDownload(const std::string& path, long n) {
  std::ofstream out(path, std::ios::binary);
  char line[64];
  for (long i = 0; i < n; ++i) {
    const int length = std::snprintf(line, sizeof line, "Place %07ld,Summit,,%.4f,%.4f\r\n", i,
                                     -36.0 - static_cast<double>(i % 1000) / 1000.0,
                                     174.0 + static_cast<double>(i % 997) / 997.0);
    out.write(line, length);
  }
}

// Waits (handling events) until done() or the time is up.
bool WaitFor(const std::function<bool()>& done, int ms) {
  QElapsedTimer waited;
  waited.start();
  QTimer tick;
  tick.start(20);
  while (!done()) {
    if (waited.elapsed() > ms) return false;
    QApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
  }
  return true;
}

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

  // Every file ticked, a name, and Create; the result beside the name.
  main->findChild<QCheckBox*>("CB1")->click();
  main->DatabaseName()->setText("samples");
  Settle();
  Shoot(main, "main-window-ready");
  main->bCreateClick();
  Settle();
  Shoot(main, "main-window-result");

  main->bViewClick();
  TViewfm* view = forms.Viewfm();
  WaitForMap(view);
  Shoot(view, "view-window");
  view->NavigatorClick(TDBNavigator::nbLast);
  Settle();
  Shoot(view, "view-window-last");
  // After a delete: the count in the status bar and the map's agree.
  view->NavigatorClick(TDBNavigator::nbDelete);
  WaitForMap(view);
  Settle();
  Shoot(view, "view-window-deleted");
  // A bigger table through "Open database…": the map of 400 000 places
  // as it is drawn from the counts, a name typed into the Find box, and
  // the map zoomed in on the place found.
  const QString big = QDir(main->SaveFolder()->text()).filePath("generated.names");
  WriteGeneratedTable(big.toStdString(), 400000);
  QObject::connect(view, &TViewfm::DialogOpened, [&big](QFileDialog* dialog) {
    QTimer::singleShot(300, [dialog, big] {
      Shoot(dialog, "open-database");
      // Typed into the file name box, as the user would.
      if (auto* name = dialog->findChild<QLineEdit*>("fileNameEdit")) {
        name->setText(QFileInfo(big).fileName());
      }
      static_cast<QDialog*>(dialog)->accept();
      if (dialog->isVisible()) {
        std::fprintf(stderr, "the file dialog did not take %s\n", qPrintable(big));
        ++failures;
        dialog->reject();
      }
    });
  });
  view->bOpenClick();
  WaitForMap(view);
  Shoot(view, "view-map");
  view->FindBox()->setFocus();
  view->FindBox()->setText("Place 2345");
  view->Find(view->FindBox()->text());
  Settle();
  Shoot(view, "view-find");
  TMapPane* map = view->MapPane();
  double lon, lat;
  if (map->CurrentPlace(lon, lat)) map->ZoomAt(map->PixelOf(lon, lat), 48);
  Settle();
  Shoot(view, "view-map-zoomed");
  view->close();

  // A big download arrives in the folder and appears in the list by itself;
  // its run is caught while the input is read, once the time left is known,
  // and cancelled.
  const QString download = main->DownloadFolder();
  WriteGeneratedDownload(QDir(download).filePath(QStringLiteral("world.tpx")).toStdString(),
                         3000000);
  if (!WaitFor(
          [&] { return !main->FileList()->findItems("world.tpx", Qt::MatchExactly).isEmpty(); },
          10000)) {
    std::fprintf(stderr, "the new download did not appear in the list\n");
    ++failures;
  }
  for (int i = 0; i < main->FileList()->count(); ++i) {
    QListWidgetItem* item = main->FileList()->item(i);
    item->setCheckState(item->text() == QLatin1String("world.tpx") ? Qt::Checked : Qt::Unchecked);
  }
  main->DatabaseName()->setText("world");
  bool caught = false;
  QTimer watcher;
  watcher.setInterval(0);
  QObject::connect(&watcher, &QTimer::timeout, [&] {
    TDlgfm2* progress = forms.Dlgfm2();
    if (caught || !progress->isVisible() || !progress->RunText()->text().contains("left")) return;
    caught = true;
    Settle();
    Shoot(progress, "progress-window");
    progress->CancelButton()->click();
  });
  watcher.start();
  main->bCreateClick();
  watcher.stop();
  if (!caught) {
    std::fprintf(stderr, "the progress window was not caught\n");
    ++failures;
  }
  Settle();
  Shoot(main, "main-window-cancelled");
  QFile::remove(QDir(download).filePath(QStringLiteral("world.tpx")));

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
