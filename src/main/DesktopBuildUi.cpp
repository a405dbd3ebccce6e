#include "main/DesktopBuildUi.h"

#include <QCoreApplication>
#include <QString>

#include "main/Dlgfm2.h"

namespace toponyx::desktop {

namespace {
QString FromUtf8(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}
}  // namespace

void DesktopBuildUi::ShowMessage(MessageKind kind, std::string_view text, std::string_view caption,
                                 MessageButtons buttons) {
  // During a run the box belongs to the progress window, which stays on top.
  QWidget* parent =
      (progress_ && progress_->isVisible()) ? static_cast<QWidget*>(progress_) : owner_;
  prompter_.Message(parent, kind, FromUtf8(text), FromUtf8(caption), buttons);
}

void DesktopBuildUi::StageStarted(Stage stage) {
  if (progress_) progress_->StageStarted(stage);
}

void DesktopBuildUi::StageFinished(Stage stage) {
  if (progress_) progress_->StageFinished(stage);
}

void DesktopBuildUi::ProgressClosed() {
  if (progress_) progress_->Finish();
}

void DesktopBuildUi::EnableView() {
  if (enable_view_) enable_view_();
}

void DesktopBuildUi::InputProgress(uint64_t done, uint64_t total) {
  if (progress_) progress_->InputProgress(done, total);
}

void DesktopBuildUi::ProcessWindowEvents() {
  QCoreApplication::processEvents();
}

}  // namespace toponyx::desktop
