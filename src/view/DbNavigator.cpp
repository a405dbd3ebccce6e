#include "view/DbNavigator.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace toponyx::desktop {

namespace {

// The glyphs are drawn here, 16 by 16, in the colours of the old data
// navigators: dark arrows, a red cross, a green tick; at twice the pixels
// too, for screens scaled to 200 %.
void DrawGlyph(TDBNavigator::Button b, QPainter& p) {
  p.setRenderHint(QPainter::Antialiasing);
  const QColor ink(40, 40, 60);
  auto triangle = [&](double tip, double base) {
    QPainterPath path;
    path.moveTo(tip, 8);
    path.lineTo(base, 3);
    path.lineTo(base, 13);
    path.closeSubpath();
    p.fillPath(path, ink);
  };
  switch (b) {
    case TDBNavigator::nbFirst:
      p.fillRect(QRectF(3, 3, 2, 10), ink);
      triangle(6, 12);
      break;
    case TDBNavigator::nbPrior:
      triangle(5, 11);
      break;
    case TDBNavigator::nbNext:
      triangle(11, 5);
      break;
    case TDBNavigator::nbLast:
      triangle(10, 4);
      p.fillRect(QRectF(11, 3, 2, 10), ink);
      break;
    case TDBNavigator::nbDelete:
      p.fillRect(QRectF(3, 7, 10, 2.5), QColor(170, 30, 30));
      break;
    case TDBNavigator::nbPost: {
      QPen pen(QColor(30, 130, 40), 2.2);
      p.setPen(pen);
      p.drawPolyline(QPolygonF({QPointF(3, 8.5), QPointF(6.5, 12), QPointF(13, 4)}));
      break;
    }
    case TDBNavigator::nbCancel: {
      QPen pen(QColor(170, 30, 30), 2.2);
      p.setPen(pen);
      p.drawLine(QPointF(4, 4), QPointF(12, 12));
      p.drawLine(QPointF(12, 4), QPointF(4, 12));
      break;
    }
    case TDBNavigator::nbRefresh: {
      QPen pen(ink, 1.8);
      p.setPen(pen);
      p.drawArc(QRectF(3, 3, 10, 10), 60 * 16, 280 * 16);
      QPainterPath head;
      head.moveTo(9.5, 1.5);
      head.lineTo(13.5, 4.5);
      head.lineTo(9, 6.5);
      head.closeSubpath();
      p.fillPath(head, ink);
      break;
    }
  }
}

QIcon Glyph(TDBNavigator::Button b) {
  QIcon icon;
  for (int scale : {1, 2}) {
    QPixmap pm(16 * scale, 16 * scale);
    pm.setDevicePixelRatio(scale);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    DrawGlyph(b, p);
    p.end();
    icon.addPixmap(pm);
  }
  return icon;
}

const char* const kNames[] = {"nbFirst",  "nbPrior", "nbNext",   "nbLast",
                              "nbDelete", "nbPost",  "nbCancel", "nbRefresh"};
const char* const kHints[] = {"First record",  "Prior record", "Next record", "Last record",
                              "Delete record", "Post edit",    "Cancel edit", "Refresh data"};

}  // namespace

TDBNavigator::TDBNavigator(QWidget* parent) : QWidget(parent) {
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  for (int i = 0; i < kButtonCount; ++i) {
    auto b = static_cast<Button>(i);
    auto* button = new QToolButton(this);
    button->setObjectName(QLatin1String(kNames[i]));
    button->setIcon(Glyph(b));
    button->setAccessibleName(QLatin1String(kHints[i]));
    button->setToolTip(QLatin1String(kHints[i]));
    button->setFixedSize(25, 25);
    button->setFocusPolicy(Qt::NoFocus);
    connect(button, &QToolButton::clicked, this, [this, b] { emit Clicked(b); });
    row->addWidget(button);
    buttons_[static_cast<size_t>(i)] = button;
  }
  setFixedSize(kButtonCount * 25, 25);
  UpdateState(false, -1, 0);
}

void TDBNavigator::UpdateState(bool active, int row, int rows) {
  const bool has = active && rows > 0 && row >= 0;
  ButtonAt(nbFirst)->setEnabled(has && row > 0);
  ButtonAt(nbPrior)->setEnabled(has && row > 0);
  ButtonAt(nbNext)->setEnabled(has && row < rows - 1);
  ButtonAt(nbLast)->setEnabled(has && row < rows - 1);
  ButtonAt(nbDelete)->setEnabled(has);
  // The grid does not edit in place, so there is never an edit to post or cancel.
  ButtonAt(nbPost)->setEnabled(false);
  ButtonAt(nbCancel)->setEnabled(false);
  ButtonAt(nbRefresh)->setEnabled(active);
}

}  // namespace toponyx::desktop
