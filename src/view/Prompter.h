// The message boxes of the desktop windows, behind one small interface so
// that tests can record every text and give the answers.
#pragma once

#include <QString>

#include "frontend/BuildUi.h"

class QWidget;

namespace toponyx::desktop {

class Prompter {
 public:
  virtual ~Prompter() = default;
  // A modal box with one button (OK, or Abort); an empty caption is the
  // application's title.
  virtual void Message(QWidget* parent, MessageKind kind, const QString& text,
                       const QString& caption = {},
                       MessageButtons buttons = MessageButtons::kOk) = 0;
  // A question with Yes and No; true for Yes.
  virtual bool Confirm(QWidget* parent, const QString& text, const QString& caption = {}) = 0;
};

// The texts carry the line breaks of their origin: CR LF, and LF CR in one
// of them. On screen a pair of either order, or a lone CR or LF, is one
// line break.
QString ScreenText(const QString& text);

// The real boxes (QMessageBox).
class BoxPrompter final : public Prompter {
 public:
  void Message(QWidget* parent, MessageKind kind, const QString& text, const QString& caption,
               MessageButtons buttons) override;
  bool Confirm(QWidget* parent, const QString& text, const QString& caption) override;
};

}  // namespace toponyx::desktop
