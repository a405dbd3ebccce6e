// The desktop front end of a Create run: the run's message boxes through
// the prompter, its stages in the progress window, and event processing so
// that the windows repaint while the run goes on the GUI thread.
#pragma once

#include <functional>

#include "frontend/BuildUi.h"
#include "view/Prompter.h"

class QWidget;

namespace toponyx::desktop {

class TDlgfm2;

class DesktopBuildUi final : public BuildUi {
 public:
  DesktopBuildUi(Prompter& prompter, QWidget* owner) : prompter_(prompter), owner_(owner) {}

  void SetProgressWindow(TDlgfm2* progress) { progress_ = progress; }
  void SetEnableView(std::function<void()> enable) { enable_view_ = std::move(enable); }

  void ShowMessage(MessageKind kind, std::string_view text, std::string_view caption,
                   MessageButtons buttons) override;
  void StageStarted(Stage stage) override;
  void StageFinished(Stage stage) override;
  void ProgressClosed() override;
  void EnableView() override;
  void InputProgress(uint64_t done, uint64_t total) override;
  void ProcessWindowEvents() override;

 private:
  Prompter& prompter_;
  QWidget* owner_;
  TDlgfm2* progress_ = nullptr;
  std::function<void()> enable_view_;
};

}  // namespace toponyx::desktop
