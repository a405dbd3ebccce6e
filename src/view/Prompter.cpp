#include "view/Prompter.h"

#include <QApplication>
#include <QMessageBox>

namespace toponyx::desktop {

namespace {
QString CaptionOr(const QString& caption) {
  return caption.isEmpty() ? QApplication::applicationDisplayName() : caption;
}
}  // namespace

void BoxPrompter::Message(QWidget* parent, MessageKind kind, const QString& text,
                          const QString& caption, MessageButtons buttons) {
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  if (kind == MessageKind::kWarning) icon = QMessageBox::Warning;
  if (kind == MessageKind::kError) icon = QMessageBox::Critical;
  const QMessageBox::StandardButton button =
      buttons == MessageButtons::kAbort ? QMessageBox::Abort : QMessageBox::Ok;
  QMessageBox box(icon, CaptionOr(caption), text, button, parent);
  box.setDefaultButton(button);
  box.exec();
}

bool BoxPrompter::Confirm(QWidget* parent, const QString& text, const QString& caption) {
  QMessageBox box(QMessageBox::Question, CaptionOr(caption), text,
                  QMessageBox::Yes | QMessageBox::No, parent);
  box.setDefaultButton(QMessageBox::Yes);
  return box.exec() == QMessageBox::Yes;
}

}  // namespace toponyx::desktop
