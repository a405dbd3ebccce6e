#include "main/WorkerRun.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QThread>
#include <exception>
#include <memory>

namespace toponyx::desktop {

namespace {

// Keeps user input away from the windows while the run works and no modal
// window is up (a modal window blocks the others by itself).
class InputHoldWhileRunning final : public QObject {
 public:
  InputHoldWhileRunning() { qApp->installEventFilter(this); }
  ~InputHoldWhileRunning() override { qApp->removeEventFilter(this); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (!event->spontaneous() || QApplication::activeModalWidget()) {
      return QObject::eventFilter(watched, event);
    }
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
      case QEvent::ShortcutOverride:
      case QEvent::Wheel:
      case QEvent::Close:
      case QEvent::Drop:
        return true;
      default:
        return QObject::eventFilter(watched, event);
    }
  }
};

}  // namespace

pipeline::BuildOutcome CreateOnWorkerThread(pipeline::Builder& builder,
                                            const pipeline::BuildRequest& request) {
  pipeline::BuildOutcome outcome;
  std::unique_ptr<QThread> worker(QThread::create([&builder, &request, &outcome] {
    try {
      outcome = builder.Create(request);
    } catch (const std::exception& e) {
      outcome = {};
      outcome.status = pipeline::BuildStatus::kFailed;
      outcome.error = e.what();
    }
  }));
  worker->setObjectName(QStringLiteral("Create"));
  const InputHoldWhileRunning hold;
  QEventLoop loop;
  // Queued: the run's last reports to the windows are taken before the loop ends.
  QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit,
                   Qt::QueuedConnection);
  worker->start();
  loop.exec();
  worker->wait();
  return outcome;
}

}  // namespace toponyx::desktop
