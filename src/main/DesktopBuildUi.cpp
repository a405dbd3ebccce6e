#include "main/DesktopBuildUi.h"

#include <QSemaphore>
#include <QString>
#include <QThread>
#include <QWidget>

#include "main/Dlgfm2.h"

namespace toponyx::desktop {

namespace {
QString FromUtf8(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}
}  // namespace

DesktopBuildUi::DesktopBuildUi(Prompter& prompter, QWidget* owner)
    : prompter_(prompter), owner_(owner) {}

void DesktopBuildUi::ShowAndWaitForPaint(const std::function<void()>& change) {
  if (QThread::currentThread() == thread()) {
    change();
    return;
  }
  QSemaphore shown;
  QMetaObject::invokeMethod(
      this,
      [this, &change, &shown] {
        change();
        // Posted now, taken on the next turn: the repaint that the change
        // asked for comes first.
        QMetaObject::invokeMethod(
            this, [&shown] { shown.release(); }, Qt::QueuedConnection);
      },
      Qt::QueuedConnection);
  shown.acquire();
}

void DesktopBuildUi::ShowMessage(MessageKind kind, std::string_view text, std::string_view caption,
                                 MessageButtons buttons) {
  const QString message = FromUtf8(text);
  const QString title = FromUtf8(caption);
  auto show = [&] {
    // During a run the box belongs to the progress window, which stays on top.
    QWidget* parent =
        (progress_ && progress_->isVisible()) ? static_cast<QWidget*>(progress_) : owner_;
    prompter_.Message(parent, kind, message, title, buttons);
  };
  if (QThread::currentThread() == thread()) {
    show();
  } else {
    QMetaObject::invokeMethod(this, show, Qt::BlockingQueuedConnection);
  }
}

void DesktopBuildUi::StageStarted(Stage stage) {
  ShowAndWaitForPaint([this, stage] {
    if (progress_) progress_->StageStarted(stage);
  });
}

void DesktopBuildUi::StageFinished(Stage stage) {
  ShowAndWaitForPaint([this, stage] {
    if (progress_) progress_->StageFinished(stage);
  });
}

void DesktopBuildUi::ProgressClosed() {
  ShowAndWaitForPaint([this] {
    if (progress_) progress_->Finish();
  });
}

void DesktopBuildUi::EnableView() {
  ShowAndWaitForPaint([this] {
    if (enable_view_) enable_view_();
  });
}

void DesktopBuildUi::RunProgress(RunPhase phase, uint64_t done, uint64_t total, uint64_t places) {
  {
    std::lock_guard lock(progress_mutex_);
    latest_ = {phase, done, total, places};
    if (delivery_posted_) return;
    delivery_posted_ = true;
  }
  QMetaObject::invokeMethod(this, &DesktopBuildUi::DeliverProgress, Qt::QueuedConnection);
}

void DesktopBuildUi::DeliverProgress() {
  ProgressReport report;
  {
    std::lock_guard lock(progress_mutex_);
    report = latest_;
    delivery_posted_ = false;
  }
  if (progress_) progress_->RunProgress(report.phase, report.done, report.total, report.places);
}

}  // namespace toponyx::desktop
