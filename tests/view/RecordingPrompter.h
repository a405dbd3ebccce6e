// A prompter for the window tests: keeps every box in order and answers
// questions from a queue (yes when it is empty).
#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <vector>

#include "view/Prompter.h"

namespace toponyx::testing {

struct Box {
  MessageKind kind;
  QString text;
  QString caption;
  MessageButtons buttons;
  QWidget* parent;  // the window the box stands over
};

class RecordingPrompter final : public desktop::Prompter {
 public:
  void Message(QWidget* parent, MessageKind kind, const QString& text, const QString& caption,
               MessageButtons buttons) override {
    boxes.push_back({kind, text, caption, buttons, parent});
  }
  bool Confirm(QWidget*, const QString& text, const QString&) override {
    questions << text;
    if (answers.empty()) return true;
    const bool a = answers.front();
    answers.pop_front();
    return a;
  }
  QStringList Texts() const {
    QStringList t;
    for (const Box& b : boxes) t << b.text;
    return t;
  }

  std::vector<Box> boxes;
  QStringList questions;
  std::deque<bool> answers;
};

}  // namespace toponyx::testing
