#include "view/Prompter.h"

#include <QApplication>
#include <QMessageBox>

namespace toponyx::desktop {

QString ScreenText(const QString& text) {
  QString out;
  out.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (c != u'\r' && c != u'\n') {
      out += c;
      continue;
    }
    out += u'\n';
    if (i + 1 < text.size() && (text[i + 1] == u'\r' || text[i + 1] == u'\n') && text[i + 1] != c) {
      ++i;
    }
  }
  return out;
}

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
  QMessageBox box(icon, CaptionOr(caption), ScreenText(text), button, parent);
  box.setDefaultButton(button);
  box.exec();
}

bool BoxPrompter::Confirm(QWidget* parent, const QString& text, const QString& caption) {
  QMessageBox box(QMessageBox::Question, CaptionOr(caption), ScreenText(text),
                  QMessageBox::Yes | QMessageBox::No, parent);
  box.setDefaultButton(QMessageBox::Yes);
  return box.exec() == QMessageBox::Yes;
}

}  // namespace toponyx::desktop
