#include "main/Dlgfm2.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>

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

QProgressBar* TDlgfm2::InputBar() const {
  return ui_->InputBar;
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
    InputBar()->setValue(0);
    show();
    raise();
  }
  SetBold(s, true);
  if (stage == Stage::kCreatingTemporary) InputBar()->setValue(0);
}

void TDlgfm2::StageFinished(Stage stage) {
  const int s = static_cast<int>(stage);
  StageTick(s)->show();
  // The last stage stays bold until the window closes.
  if (stage != Stage::kSaving) SetBold(s, false);
  if (stage == Stage::kCreatingTemporary) InputBar()->setValue(InputBar()->maximum());
}

void TDlgfm2::Finish() {
  running_ = false;
  hide();
  for (int s = 1; s <= 4; ++s) {
    StageTick(s)->hide();
    SetBold(s, false);
  }
  InputBar()->setValue(0);
}

void TDlgfm2::InputProgress(uint64_t done, uint64_t total) {
  if (total == 0) return;
  const double share = std::min(1.0, static_cast<double>(done) / static_cast<double>(total));
  InputBar()->setValue(static_cast<int>(share * InputBar()->maximum()));
}

void TDlgfm2::keyPressEvent(QKeyEvent* event) {
  // No Esc: the window closes when the run ends, not before.
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TDlgfm2::closeEvent(QCloseEvent* event) {
  if (running_) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

}  // namespace toponyx::desktop
