// TDlgfm2: the "Please wait" window of a Create run: four stages, the
// running one in bold, a tick beside each finished one, and under them the
// share of the input read so far.
#pragma once

#include <QDialog>
#include <memory>

#include "frontend/BuildUi.h"

class QLabel;
class QToolButton;
class QProgressBar;

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
  QProgressBar* InputBar() const;

  // What the run reports, as the table of stage changes says.
  void StageStarted(Stage stage);
  void StageFinished(Stage stage);
  void Finish();
  // The bar follows the input.
  void InputProgress(uint64_t done, uint64_t total);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void SetBold(int stage, bool bold);

  std::unique_ptr<Ui::TDlgfm2> ui_;
  bool running_ = false;
};

}  // namespace toponyx::desktop
