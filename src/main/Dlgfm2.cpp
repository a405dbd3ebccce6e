#include "main/Dlgfm2.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <cmath>

#include "main/Glyphs.h"
#include "ui_Dlgfm2.h"

namespace toponyx::desktop {

TDlgfm2::TDlgfm2(QWidget* parent)
    : QDialog(parent,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint),
      ui_(std::make_unique<Ui::TDlgfm2>()) {
  ui_->setupUi(this);
  setFixedSize(size());
  // Nothing else may be used while a run lasts.
  setWindowModality(Qt::ApplicationModal);
  QFont font(QStringLiteral("Sans Serif"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(13);
  const QIcon tick(TickGlyph());
  for (int s = 1; s <= 4; ++s) {
    StageLabel(s)->setFont(font);
    StageTick(s)->setIcon(tick);
    StageTick(s)->hide();
  }
  QFont small = font;
  small.setPixelSize(11);
  ui_->RunText->setFont(small);
  ui_->bCancel->setFont(small);
  connect(ui_->bCancel, &QPushButton::clicked, this, &TDlgfm2::CancelClick);
  show_latest_.setSingleShot(true);
  connect(&show_latest_, &QTimer::timeout, this, &TDlgfm2::ShowWhereTheRunStands);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
  }
}

TDlgfm2::~TDlgfm2() = default;

QLabel* TDlgfm2::StageLabel(int stage) const {
  QLabel* labels[] = {ui_->La1, ui_->La2, ui_->La3, ui_->La4};
  return labels[std::clamp(stage, 1, 4) - 1];
}

QToolButton* TDlgfm2::StageTick(int stage) const {
  QToolButton* ticks[] = {ui_->SB1, ui_->SB2, ui_->SB3, ui_->SB4};
  return ticks[std::clamp(stage, 1, 4) - 1];
}

QProgressBar* TDlgfm2::RunBar() const {
  return ui_->RunBar;
}

QLabel* TDlgfm2::RunText() const {
  return ui_->RunText;
}

QPushButton* TDlgfm2::CancelButton() const {
  return ui_->bCancel;
}

double TDlgfm2::Seconds() const {
  return clock_.isValid() ? static_cast<double>(clock_.nsecsElapsed()) / 1e9 : 0.0;
}

void TDlgfm2::SetBold(int stage, bool bold) {
  QLabel* label = StageLabel(stage);
  QFont f = label->font();
  f.setBold(bold);
  label->setFont(f);
}

void TDlgfm2::StageStarted(Stage stage) {
  const int s = static_cast<int>(stage);
  if (stage == Stage::kDecompressing) {
    running_ = true;
    cancelling_ = false;
    clock_.start();
    meter_.Start(0);
    ui_->bCancel->setEnabled(true);
    ui_->RunText->clear();
    ShowWhereTheRunStands();
    show();
    raise();
    activateWindow();
  }
  meter_.StageStarted(stage);
  SetBold(s, true);
}

void TDlgfm2::StageFinished(Stage stage) {
  const int s = static_cast<int>(stage);
  StageTick(s)->show();
  // The last stage stays bold until the window closes.
  if (stage != Stage::kSaving) SetBold(s, false);
  meter_.StageFinished(stage);
  ShowWhereTheRunStands();
}

void TDlgfm2::Finish() {
  running_ = false;
  hide();
  for (int s = 1; s <= 4; ++s) {
    StageTick(s)->hide();
    SetBold(s, false);
  }
  show_latest_.stop();
  RunBar()->setValue(0);
  ui_->RunText->clear();
}

void TDlgfm2::RunProgress(RunPhase phase, uint64_t done, uint64_t total, uint64_t places) {
  meter_.Progress(phase, done, total, places);
  if (show_latest_.isActive()) return;
  const qint64 since = since_shown_.isValid() ? since_shown_.elapsed() : kShowEveryMs;
  if (since >= kShowEveryMs) {
    ShowWhereTheRunStands();
  } else {
    show_latest_.start(static_cast<int>(kShowEveryMs - since));
  }
}

void TDlgfm2::ShowWhereTheRunStands() {
  show_latest_.stop();
  since_shown_.start();
  RunBar()->setValue(static_cast<int>(std::floor(meter_.Share() * RunBar()->maximum())));
  if (cancelling_) return;
  QString text;
  if (meter_.Places() > 0) {
    text = CountText(meter_.Places()) +
           (meter_.Places() == 1 ? QStringLiteral(" place") : QStringLiteral(" places"));
  }
  const QString left = TimeLeftText(meter_.SecondsLeft(Seconds()));
  if (!left.isEmpty() && meter_.Share() < 1) {
    if (!text.isEmpty()) text += QStringLiteral(", ");
    text += left;
  }
  ui_->RunText->setText(text);
}

void TDlgfm2::CancelClick() {
  if (!running_ || cancelling_) return;
  cancelling_ = true;
  ui_->bCancel->setEnabled(false);
  ui_->RunText->setText(QStringLiteral("Cancelling\u2026"));
  emit CancelRequested();
}

void TDlgfm2::keyPressEvent(QKeyEvent* event) {
  // Esc stops the run; the window closes when the run has ended.
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    CancelClick();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TDlgfm2::closeEvent(QCloseEvent* event) {
  if (running_) {
    event->ignore();
    CancelClick();
    return;
  }
  QDialog::closeEvent(event);
}

}  // namespace toponyx::desktop
