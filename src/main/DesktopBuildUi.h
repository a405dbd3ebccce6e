// The desktop front end of a Create run. The run works on a thread of its
// own (RunOnWorkerThread); what it reports is handed to the GUI thread:
// - a stage change and the end of the run are shown in the progress window,
//   and the run goes on once the GUI thread's event loop has had one more
//   turn, so that every stage is painted, in order;
// - progress goes to the window without waiting; when it comes faster than
//   the window takes it, only the latest report is shown;
// - a message box is shown on the GUI thread, and the run waits until it is
//   answered.
// Called on the GUI thread (the View window opening a table), everything
// happens at once.
#pragma once

#include <QObject>
#include <functional>
#include <mutex>

#include "frontend/BuildUi.h"
#include "view/Prompter.h"

class QWidget;

namespace toponyx::desktop {

class TDlgfm2;

class DesktopBuildUi final : public QObject, public BuildUi {
  Q_OBJECT

 public:
  DesktopBuildUi(Prompter& prompter, QWidget* owner);

  void SetProgressWindow(TDlgfm2* progress) { progress_ = progress; }
  void SetEnableView(std::function<void()> enable) { enable_view_ = std::move(enable); }

  void ShowMessage(MessageKind kind, std::string_view text, std::string_view caption,
                   MessageButtons buttons) override;
  void StageStarted(Stage stage) override;
  void StageFinished(Stage stage) override;
  void ProgressClosed() override;
  void EnableView() override;
  void RunProgress(RunPhase phase, uint64_t done, uint64_t total, uint64_t places) override;
  // Nothing to do: the GUI thread runs its own event loop while the run
  // works, and repaints whenever the window changes.
  void ProcessWindowEvents() override {}

 private:
  // Runs change on the GUI thread. From another thread: waits until it has
  // run and the event loop has turned once more.
  void ShowAndWaitForPaint(const std::function<void()>& change);
  // On the GUI thread: the latest progress report to the window.
  void DeliverProgress();

  struct ProgressReport {
    RunPhase phase = RunPhase::kReading;
    uint64_t done = 0;
    uint64_t total = 0;
    uint64_t places = 0;
  };

  Prompter& prompter_;
  QWidget* owner_;
  TDlgfm2* progress_ = nullptr;
  std::function<void()> enable_view_;

  std::mutex progress_mutex_;
  ProgressReport latest_;         // guarded by progress_mutex_
  bool delivery_posted_ = false;  // guarded by progress_mutex_
};

}  // namespace toponyx::desktop
