// How often the desktop program's windows can repaint during a Create run,
// and how soon Cancel stops one.
//   bench_repaint_gaps <folder> [lines]
// Writes <folder>/downloads/big.tpx (3 000 000 places by default) unless it
// is there, runs Create through the main window with the real progress
// window, and records every moment the GUI thread's event loop got control
// (a timer of 0 ms fires at each of them) and every paint of the progress
// window. Prints the largest gaps while the input was read (stage 2 before
// its tick) and over the whole run. Then runs again and presses Cancel
// when half the input is read: prints how long the run took to end.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
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

// The moments a widget was painted, in milliseconds of the clock.
class PaintLog final : public QObject {
 public:
  PaintLog(QWidget* watched, const QElapsedTimer& clock) : clock_(clock) {
    watched->installEventFilter(this);
  }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      times.push_back(static_cast<double>(clock_.nsecsElapsed()) / 1e6);
    }
    return QObject::eventFilter(watched, event);
  }
  std::vector<double> Gaps() const {
    std::vector<double> gaps;
    for (size_t i = 1; i < times.size(); ++i) gaps.push_back(times[i] - times[i - 1]);
    return gaps;
  }
  std::vector<double> times;

 private:
  const QElapsedTimer& clock_;
};

void Report(const char* what, std::vector<double> gaps, const char* unit = "repaint chances") {
  if (gaps.empty()) {
    std::printf("%s: no gaps recorded\n", what);
    return;
  }
  std::sort(gaps.begin(), gaps.end());
  auto at = [&](double q) {
    return gaps[static_cast<size_t>(q * static_cast<double>(gaps.size() - 1))];
  };
  std::printf("%s: %zu %s, gap median %.1f ms, 99%% %.1f ms, largest %.1f ms\n", what, gaps.size(),
              unit, at(0.5), at(0.99), gaps.back());
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
  PaintLog paints(forms.Dlgfm2(), clock);
  probe.start();
  main->bCreateClick();
  probe.stop();
  std::printf("run: %.1f s, %llu places\n", clock.elapsed() / 1000.0,
              static_cast<unsigned long long>(main->LastOutcome().places));
  Report("while reading (stage 2)", reading);
  Report("whole run", all);
  Report("progress window", paints.Gaps(), "paints");

  // Cancel at half the input (the bar's reading part runs from 3 % to 50 %).
  TDlgfm2* progress = forms.Dlgfm2();
  double pressed_at = -1;
  QTimer canceller;
  canceller.setInterval(1);
  QObject::connect(&canceller, &QTimer::timeout, [&] {
    if (pressed_at >= 0 || !progress->isVisible() || progress->RunBar()->value() < 265) return;
    pressed_at = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    progress->CancelButton()->click();
  });
  canceller.start();
  main->bCreateClick();
  const double ended_at = static_cast<double>(clock.nsecsElapsed()) / 1e6;
  canceller.stop();
  const bool cancelled = main->LastOutcome().status == toponyx::pipeline::BuildStatus::kCancelled;
  if (pressed_at < 0 || !cancelled) {
    std::printf("cancel: the run was not cancelled\n");
    return 1;
  }
  std::printf("cancel at half the input: the run ended %.1f ms after Cancel was pressed\n",
              ended_at - pressed_at);
  return 0;
}
