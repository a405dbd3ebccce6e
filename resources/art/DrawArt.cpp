// Draws the two pictures of the About window: a small contour map with
// named places, and a compass rose over a graticule. Run at build time:
//   toponyx-draw-art <output folder>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>
#include <cstdio>

namespace {

// A closed wobbly ring around a centre: radius r, wobble of amplitude a
// with k lobes, turned by phase.
QPainterPath Ring(QPointF c, double rx, double ry, double a, int k, double phase) {
  QPainterPath path;
  const int steps = 120;
  for (int i = 0; i <= steps; ++i) {
    const double t = 2 * M_PI * i / steps;
    const double w = 1 + a * std::sin(k * t + phase) + 0.5 * a * std::cos((k + 2) * t - phase);
    const QPointF p(c.x() + rx * w * std::cos(t), c.y() + ry * w * std::sin(t));
    if (i == 0) {
      path.moveTo(p);
    } else {
      path.lineTo(p);
    }
  }
  path.closeSubpath();
  return path;
}

QImage DrawMap() {
  QImage img(240, 160, QImage::Format_ARGB32);
  img.fill(QColor(246, 242, 226));
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);

  // Sea in the lower left, with a shore line.
  QPainterPath sea;
  sea.moveTo(0, 95);
  sea.cubicTo(40, 100, 60, 130, 95, 160);
  sea.lineTo(0, 160);
  sea.closeSubpath();
  p.fillPath(sea, QColor(170, 205, 230));
  p.setPen(QPen(QColor(80, 130, 175), 1.2));
  p.drawPath(sea);

  // Two hills of contour rings, greener low, browner high.
  struct Hill {
    QPointF c;
    double rx, ry;
    int rings;
    double phase;
  };
  const Hill hills[] = {{{150, 62}, 70, 48, 7, 0.4}, {{62, 44}, 42, 30, 5, 2.1}};
  for (const Hill& h : hills) {
    for (int i = 0; i < h.rings; ++i) {
      const double f = 1.0 - double(i) / h.rings;
      QColor fill =
          QColor::fromHsvF(0.28 - 0.2 * (1 - f), 0.25 + 0.2 * (1 - f), 0.93 - 0.12 * (1 - f));
      QPainterPath ring = Ring(h.c, h.rx * f, h.ry * f, 0.07, 5, h.phase + i * 0.5);
      p.fillPath(ring, fill);
      p.setPen(QPen(QColor(150, 105, 60), i % 5 == 0 ? 1.2 : 0.6));
      p.drawPath(ring);
    }
    // The summit.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(120, 60, 30));
    QPainterPath tri;
    tri.moveTo(h.c + QPointF(0, -4));
    tri.lineTo(h.c + QPointF(4, 3));
    tri.lineTo(h.c + QPointF(-4, 3));
    tri.closeSubpath();
    p.drawPath(tri);
  }

  // A river from the hills to the sea.
  QPainterPath river;
  river.moveTo(118, 70);
  river.cubicTo(100, 90, 110, 110, 80, 122);
  river.cubicTo(65, 128, 60, 130, 52, 128);
  p.setPen(QPen(QColor(60, 120, 190), 2.0, Qt::SolidLine, Qt::RoundCap));
  p.setBrush(Qt::NoBrush);
  p.drawPath(river);

  // Places: dots with small name boxes.
  QFont font(QStringLiteral("Sans Serif"));
  font.setPixelSize(9);
  font.setBold(true);
  p.setFont(font);
  struct Place {
    QPointF at;
    const char* name;
  };
  const Place places[] = {
      {{86, 118}, "Port"}, {{196, 118}, "Ford"}, {{30, 76}, "Cove"}, {{205, 30}, "Ridge"}};
  for (const Place& pl : places) {
    p.setPen(QPen(Qt::white, 1.2));
    p.setBrush(QColor(190, 30, 30));
    p.drawEllipse(pl.at, 3.5, 3.5);
    p.setPen(QColor(40, 30, 20));
    p.drawText(pl.at + QPointF(6, 4), QString::fromLatin1(pl.name));
  }
  // A road between two places.
  p.setPen(QPen(QColor(200, 80, 40), 1.4, Qt::DashLine));
  p.drawLine(QPointF(90, 118), QPointF(192, 118));

  // The frame of a map sheet.
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(60, 60, 60), 2));
  p.drawRect(QRectF(1, 1, 238, 158));
  return img;
}

QImage DrawCompass() {
  QImage img(222, 134, QImage::Format_ARGB32);
  img.fill(Qt::white);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  const QPointF c(66, 67);
  const double r = 56;

  // A globe with its graticule.
  p.setPen(QPen(QColor(40, 90, 150), 1.4));
  p.setBrush(QColor(220, 235, 248));
  p.drawEllipse(c, r, r);
  p.setPen(QPen(QColor(110, 150, 200), 0.8));
  p.setBrush(Qt::NoBrush);
  for (int i = 1; i < 4; ++i) p.drawEllipse(c, r * std::cos(i * M_PI / 8), r);
  for (int i = -3; i <= 3; ++i) {
    const double y = r * std::sin(i * M_PI / 8);
    const double half = std::sqrt(r * r - y * y);
    p.drawLine(QPointF(c.x() - half, c.y() + y), QPointF(c.x() + half, c.y() + y));
  }

  // The compass rose: eight points, the north one red.
  for (int i = 0; i < 8; ++i) {
    const double a = i * M_PI / 4 - M_PI / 2;
    const double len = (i % 2 == 0) ? r * 0.92 : r * 0.55;
    const QPointF tip(c.x() + len * std::cos(a), c.y() + len * std::sin(a));
    const QPointF left(c.x() + 9 * std::cos(a - M_PI / 2), c.y() + 9 * std::sin(a - M_PI / 2));
    const QPointF right(c.x() + 9 * std::cos(a + M_PI / 2), c.y() + 9 * std::sin(a + M_PI / 2));
    QPainterPath half1;
    half1.moveTo(c);
    half1.lineTo(tip);
    half1.lineTo(left);
    half1.closeSubpath();
    QPainterPath half2;
    half2.moveTo(c);
    half2.lineTo(tip);
    half2.lineTo(right);
    half2.closeSubpath();
    const QColor dark = i == 0 ? QColor(180, 30, 30) : QColor(40, 50, 70);
    const QColor light = i == 0 ? QColor(235, 110, 100) : QColor(170, 180, 200);
    p.setPen(QPen(dark, 0.8));
    p.setBrush(dark);
    p.drawPath(half1);
    p.setBrush(light);
    p.drawPath(half2);
  }
  p.setBrush(Qt::white);
  p.setPen(QPen(QColor(40, 50, 70), 1));
  p.drawEllipse(c, 3.5, 3.5);

  // The program's name beside it.
  QFont title(QStringLiteral("Sans Serif"));
  title.setPixelSize(20);
  title.setBold(true);
  p.setFont(title);
  p.setPen(QColor(30, 70, 120));
  p.drawText(QRectF(128, 34, 94, 26), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Toponyx"));
  QFont sub(QStringLiteral("Sans Serif"));
  sub.setPixelSize(15);
  p.setFont(sub);
  p.setPen(QColor(60, 60, 60));
  p.drawText(QRectF(128, 60, 94, 22), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Creator"));
  p.setPen(QPen(QColor(180, 30, 30), 2));
  p.drawLine(QPointF(128, 86), QPointF(212, 86));
  return img;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: toponyx-draw-art <output folder>\n");
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QDir out(QString::fromLocal8Bit(argv[1]));
  if (!QDir().mkpath(out.path())) return 1;
  if (!DrawMap().save(out.filePath(QStringLiteral("about-map.png")))) return 1;
  if (!DrawCompass().save(out.filePath(QStringLiteral("about-compass.png")))) return 1;
  return 0;
}
