#include "main/DpnlEdit.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QPushButton>
#include <QToolButton>

#include "platform/System.h"

namespace toponyx::desktop {

namespace {
constexpr int kLabelGap = 6;

bool IsDigit(QChar c) {
  return c >= u'0' && c <= u'9';
}
}  // namespace

TdpnLEdit::TdpnLEdit(QWidget* parent) : QLineEdit(parent) {
  setMaxLength(10);
  resize(width(), 20);
  // The label lives beside the edit, in the same parent, and gives it focus.
  label_ = new QLabel(parent);
  label_->setBuddy(this);
  label_->hide();
}

void TdpnLEdit::SetSetWidth(bool on) {
  set_width_ = on;
  ApplyWidth();
}

void TdpnLEdit::SetLabelCaption(const QString& caption) {
  label_->setText(caption);
  label_->adjustSize();
  label_->setVisible(!caption.isEmpty() && isVisible());
  PlaceLabel();
}

void TdpnLEdit::SetLabelAlignment(LabelPlacement placement) {
  placement_ = placement;
  PlaceLabel();
}

void TdpnLEdit::ApplyWidth() {
  if (set_width_) resize((maxLength() + 1) * fontMetrics().horizontalAdvance(u'X'), height());
}

void TdpnLEdit::PlaceLabel() {
  if (!label_) return;
  const QRect g = geometry();
  const QSize s = label_->size();
  if (placement_ == laTop) {
    // Left edges line up; the label's bottom is 6 pixels above the edit.
    label_->move(g.left(), g.top() - kLabelGap - s.height());
  } else {
    // Centred on the edit, ending 6 pixels left of it.
    label_->move(g.left() - kLabelGap - s.width(), g.top() + (g.height() - s.height()) / 2);
  }
}

QChar TdpnLEdit::Filter(const QString& picture, QChar c, QChar decimal_separator) {
  if (c.unicode() < 32) return c;
  auto upper = [](QChar ch) {
    return (ch >= u'a' && ch <= u'z') ? QChar(ch.unicode() - 'a' + 'A') : ch;
  };
  const bool sign = c == u'+' || c == u'-';
  const bool digit = IsDigit(c);
  const bool separator = c == decimal_separator;
  const bool space = c == u' ';
  if (picture == QLatin1String("numeric")) return (sign || digit || separator) ? c : QChar();
  if (picture == QLatin1String("integer")) return (sign || digit) ? c : QChar();
  if (picture == QLatin1String("posint")) return digit ? c : QChar();
  if (picture == QLatin1String("posfloat")) return (digit || separator) ? c : QChar();
  if (picture == QLatin1String("posfloatspace")) {
    return (space || digit || separator) ? c : QChar();
  }
  if (picture == QLatin1String("lat") || picture == QLatin1String("lon")) {
    const QChar u = upper(c);
    const bool lat = picture == QLatin1String("lat");
    const bool letter = lat ? (u == u'N' || u == u'S') : (u == u'E' || u == u'W');
    return (space || sign || digit || u == decimal_separator || letter) ? u : QChar();
  }
  if (picture == QLatin1String("uppercase")) return upper(c);
  return c;
}

void TdpnLEdit::FocusNextSkippingButtons() {
  // The window's controls in Tab order, from the window on: the search
  // stops at the last one instead of going round to the first.
  QWidget* const top = window();
  bool after_this = false;
  for (QWidget* w = top->nextInFocusChain(); w && w != top; w = w->nextInFocusChain()) {
    if (w == this) {
      after_this = true;
      continue;
    }
    if (!after_this || !top->isAncestorOf(w)) continue;
    const bool push =
        qobject_cast<QPushButton*>(w) != nullptr || qobject_cast<QToolButton*>(w) != nullptr;
    if (!push && w->isEnabled() && w->isVisible() && (w->focusPolicy() & Qt::TabFocus)) {
      w->setFocus(Qt::TabFocusReason);
      return;
    }
  }
  // The last field: on to the window's default button, which the next
  // Enter presses.
  for (QPushButton* button : top->findChildren<QPushButton*>()) {
    if (button->isDefault() && button->isEnabled() && button->isVisible()) {
      button->setFocus(Qt::TabFocusReason);
      return;
    }
  }
}

void TdpnLEdit::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    // Enter never reaches a default button from here.
    event->accept();
    FocusNextSkippingButtons();
    return;
  }
  const QString typed = event->text();
  if (typed.size() != 1 || typed[0].unicode() < 32) {
    QLineEdit::keyPressEvent(event);  // editing keys and control characters
    return;
  }
  const QChar c = Filter(picture_, typed[0], QChar(platform::DecimalSeparator()));
  if (c.isNull()) {
    event->accept();
    return;
  }
  if (c == typed[0]) {
    QLineEdit::keyPressEvent(event);
    return;
  }
  QKeyEvent converted(event->type(), event->key(), event->modifiers(), QString(c),
                      event->isAutoRepeat(), static_cast<ushort>(event->count()));
  QLineEdit::keyPressEvent(&converted);
}

void TdpnLEdit::moveEvent(QMoveEvent* event) {
  QLineEdit::moveEvent(event);
  PlaceLabel();
}

void TdpnLEdit::resizeEvent(QResizeEvent* event) {
  QLineEdit::resizeEvent(event);
  PlaceLabel();
}

void TdpnLEdit::showEvent(QShowEvent* event) {
  QLineEdit::showEvent(event);
  ApplyWidth();
  if (label_ && !label_->text().isEmpty()) label_->show();
  PlaceLabel();
}

void TdpnLEdit::changeEvent(QEvent* event) {
  QLineEdit::changeEvent(event);
  if (event->type() == QEvent::ParentChange && label_) {
    label_->setParent(parentWidget());
    PlaceLabel();
  } else if (event->type() == QEvent::FontChange) {
    ApplyWidth();
  }
}

}  // namespace toponyx::desktop
