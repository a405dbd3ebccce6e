// How often the desktop program lets its windows repaint during a Create
// run on the GUI thread.
//   bench_repaint_gaps <folder> [lines]
// Writes <folder>/downloads/big.tpx (3 000 000 places by default) unless it
// is there, runs Create through the main window with the real progress
// window, and records every moment the event loop got control (a timer of
// 0 ms fires at each of them). Prints the largest gaps while the input was
// read (stage 2 before its tick) and over the whole run.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "geodesy/Datum.h"
#include "main/Application.h"
#include "main/Dlgfm2.h"
#include "main/DpnlEdit.h"
#include "main/Mainfm.h"
#include "platform/System.h"

using namespace toponyx::desktop;

namespace {

class SilentPrompter final : public Prompter {
 public:
  void Message(QWidget*, toponyx::MessageKind, const QString& text, const QString&,
               toponyx::MessageButtons) override {
    std::printf("message: %s\n", qPrintable(text));
  }
  bool Confirm(QWidget*, const QString&, const QString&) override { return true; }
};

void Report(const char* what, std::vector<double> gaps) {
  if (gaps.empty()) {
    std::printf("%s: no gaps recorded\n", what);
    return;
  }
  std::sort(gaps.begin(), gaps.end());
  auto at = [&](double q) {
    return gaps[static_cast<size_t>(q * static_cast<double>(gaps.size() - 1))];
  };
  std::printf("%s: %zu repaint chances, gap median %.1f ms, 99%% %.1f ms, largest %.1f ms\n", what,
              gaps.size(), at(0.5), at(0.99), gaps.back());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_repaint_gaps <folder> [lines]\n");
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  toponyx::geo::LoadDatumFile();
  QApplication app(argc, argv);
  const long lines = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 3000000;
  const QDir root(QString::fromLocal8Bit(argv[1]));
  for (const char* sub : {"program", "downloads", "save", "staging"}) root.mkpath(sub);
  const std::string downloads = root.filePath("downloads").toStdString();
  const std::string input = downloads + "/big.tpx";
  if (!QFileInfo::exists(QString::fromStdString(input))) {
    std::ofstream out(input, std::ios::binary);
    for (long i = 0; i < lines; ++i) {
      out << "Place " << i << ",Summit,," << -36.0 - static_cast<double>(i % 1000) / 1000.0 << ','
          << 174.0 + static_cast<double>(i % 997) / 997.0 << "\r\n";
    }
  }
  const std::string ini = root.filePath("program/TOPONYX.INI").toStdString();
  std::ofstream(ini, std::ios::binary)
      << "[Paths]\r\nLast Start Directory=" << downloads
      << "\r\nLast Save Directory=" << root.filePath("save").toStdString()
      << "\r\nLast Temp Directory=" << root.filePath("staging").toStdString() << "\r\n";

  StartupEnvironment env;
  env.program_folder = root.filePath("program").toStdString();
  env.system_temp_folder = root.filePath("staging").toStdString() + "/";
  SilentPrompter prompter;
  Forms forms(env, prompter);
  TMainfm* main = forms.Mainfm();
  main->show();
  main->findChild<QCheckBox*>("CB1")->click();
  main->DatabaseName()->setText("big");

  QElapsedTimer clock;
  std::vector<double> reading, all;
  double last = -1;
  QTimer probe;
  probe.setInterval(0);
  QObject::connect(&probe, &QTimer::timeout, [&] {
    const double now = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    TDlgfm2* progress = forms.Dlgfm2();
    if (last >= 0) {
      all.push_back(now - last);
      if (progress->StageLabel(2)->font().bold()) reading.push_back(now - last);
    }
    last = now;
  });
  clock.start();
  probe.start();
  main->bCreateClick();
  probe.stop();
  std::printf("run: %.1f s, %llu places\n", clock.elapsed() / 1000.0,
              static_cast<unsigned long long>(main->LastOutcome().places));
  Report("while reading (stage 2)", reading);
  Report("whole run", all);
  return 0;
}
