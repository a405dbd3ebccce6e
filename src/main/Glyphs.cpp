#include "main/Glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QWidget>

namespace toponyx::desktop {

namespace {
QPixmap Blank(int size) {
  QPixmap pm(size, size);
  pm.fill(Qt::transparent);
  return pm;
}
}  // namespace

QPixmap TickGlyph() {
  QPixmap pm = Blank(16);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  QPen pen(QColor(20, 140, 40), 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  p.setPen(pen);
  p.drawPolyline(QPolygonF({QPointF(2.5, 8.5), QPointF(6.5, 12.5), QPointF(13.5, 3.5)}));
  return pm;
}

QIcon FolderGlyph() {
  QPixmap pm = Blank(16);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(150, 110, 20), 1));
  p.setBrush(QColor(235, 190, 70));
  QPainterPath back;
  back.moveTo(1.5, 3.5);
  back.lineTo(6, 3.5);
  back.lineTo(7.5, 5);
  back.lineTo(13.5, 5);
  back.lineTo(13.5, 13.5);
  back.lineTo(1.5, 13.5);
  back.closeSubpath();
  p.drawPath(back);
  p.setBrush(QColor(250, 215, 110));
  QPainterPath front;
  front.moveTo(1.5, 13.5);
  front.lineTo(4, 7.5);
  front.lineTo(15.5, 7.5);
  front.lineTo(13.5, 13.5);
  front.closeSubpath();
  p.drawPath(front);
  return QIcon(pm);
}

QIcon GlobeGlyph() {
  QPixmap pm = Blank(16);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(20, 70, 140), 1.1));
  p.setBrush(QColor(120, 180, 235));
  const QRectF ball(1.5, 1.5, 13, 13);
  p.drawEllipse(ball);
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(QRectF(5, 1.5, 6, 13));
  p.drawLine(QPointF(1.5, 8), QPointF(14.5, 8));
  p.drawLine(QPointF(8, 1.5), QPointF(8, 14.5));
  p.drawLine(QPointF(3, 4.8), QPointF(13, 4.8));
  p.drawLine(QPointF(3, 11.2), QPointF(13, 11.2));
  return QIcon(pm);
}

void UseFormFont(QWidget* form) {
  QFont f = form->font();
  f.setFamily(QStringLiteral("Sans Serif"));
  f.setStyleHint(QFont::SansSerif);
  f.setPixelSize(11);
  form->setFont(f);
}

}  // namespace toponyx::desktop
