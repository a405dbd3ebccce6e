// TDlgfm2: the "Please wait" window of a Create run: four stages, the
// running one in bold, a tick beside each finished one; under them a bar
// over the whole run, the places read so far with the time left, and
// Cancel (also Esc and the close box).
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>
#include <memory>

#include "frontend/BuildUi.h"
#include "main/RunMeter.h"

class QLabel;
class QToolButton;
class QProgressBar;
class QPushButton;

namespace Ui {
class TDlgfm2;
}

namespace toponyx::desktop {

class TDlgfm2 : public QDialog {
  Q_OBJECT

 public:
  explicit TDlgfm2(QWidget* parent = nullptr);
  ~TDlgfm2() override;

  QLabel* StageLabel(int stage) const;      // La1 to La4
  QToolButton* StageTick(int stage) const;  // SB1 to SB4
  QProgressBar* RunBar() const;
  QLabel* RunText() const;  // places read, time left
  QPushButton* CancelButton() const;

  // What the run reports, as the table of stage changes says.
  void StageStarted(Stage stage);
  void StageFinished(Stage stage);
  void Finish();
  // The bar and the text follow the whole run, shown at most every
  // kShowEveryMs (a run reports a block every millisecond or so).
  void RunProgress(RunPhase phase, uint64_t done, uint64_t total, uint64_t places);
  static constexpr int kShowEveryMs = 40;

  // Cancel, Esc or the close box while a run goes: asked once per run.
  void CancelClick();

 signals:
  void CancelRequested();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void SetBold(int stage, bool bold);
  void ShowWhereTheRunStands();
  double Seconds() const;

  std::unique_ptr<Ui::TDlgfm2> ui_;
  RunMeter meter_;
  QElapsedTimer clock_;
  QElapsedTimer since_shown_;
  QTimer show_latest_;  // shows what came in while the window waited
  bool running_ = false;
  bool cancelling_ = false;
};

}  // namespace toponyx::desktop
