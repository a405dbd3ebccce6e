#include "view/MapPane.h"

#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace toponyx::desktop {

namespace {

const QRgb kOutside = qRgb(0xD9, 0xDC, 0xE0);
const QRgb kSea = qRgb(0xF3, 0xF7, 0xFB);
const QColor kGraticule(0xD3, 0xDE, 0xE9);
const QColor kAxis(0xA9, 0xBD, 0xD1);
const QColor kLabel(0x70, 0x80, 0x90);
const QColor kRing(0xD0, 0x1C, 0x1C);
// Places from one to the most in a pixel of the view: light to dark green.
constexpr int kLow[3] = {0x4F, 0x94, 0x3A};
constexpr int kHigh[3] = {0x12, 0x36, 0x0A};

QRgb Density(double t) {
  auto mix = [t](int a, int b) { return static_cast<int>(a + (b - a) * t + 0.5); };
  return qRgb(mix(kLow[0], kHigh[0]), mix(kLow[1], kHigh[1]), mix(kLow[2], kHigh[2]));
}

// Graticule steps in degrees, the smallest that keeps lines this far apart.
constexpr double kSteps[] = {0.0001, 0.0002, 0.0005, 0.001, 0.002, 0.005, 0.01, 0.02, 0.05,
                             0.1,    0.2,    0.5,    1,     2,     5,     10,   15,   30};
constexpr double kLineSpacing = 70.0;

QString DegreesLabel(double value, double step, char positive, char negative) {
  const int decimals = step >= 1 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
  const double magnitude = std::fabs(value);
  QString text = QString::number(magnitude, 'f', decimals) + QChar(0xB0);
  if (magnitude >= step / 2) text += QLatin1Char(value > 0 ? positive : negative);
  return text;
}

// The views of the copies of the world side by side that the view shows:
// each as if that copy were the world from -180 to 180.
std::vector<MapView> WorldCopies(const MapView& v) {
  std::vector<MapView> copies;
  const double west = v.Lon(0), east = v.Lon(v.width);
  for (double k = std::floor((west + 180) / 360); k * 360 - 180 < east; ++k) {
    MapView copy = v;
    copy.west = v.west - k * 360;
    copies.push_back(copy);
  }
  return copies;
}

}  // namespace

TMapPane::TMapPane(QWidget* parent) : QWidget(parent) {
  setMinimumSize(120, 60);
  setFocusPolicy(Qt::StrongFocus);
  setCursor(Qt::OpenHandCursor);
  setToolTip(QStringLiteral(
      "The places of the table. Wheel: zoom; drag: move; click a place to go to its row."));
}

void TMapPane::SetMap(std::shared_ptr<PlaceMap> map) {
  map_ = std::move(map);
  if (!map_) {
    removals_.clear();
    ShowWorld();
    current_valid_ = false;
  } else if (map_->HasPlaces()) {
    for (const Removal& r : removals_) map_->Remove(r.recno, r.lon, r.lat);
    removals_.clear();
    if (!moved_) FirstView();
  }
  Changed();
}

void TMapPane::SetCurrentPlace(bool valid, double lon, double lat) {
  if (valid == current_valid_ && lon == current_lon_ && lat == current_lat_) return;
  current_valid_ = valid;
  current_lon_ = lon;
  current_lat_ = lat;
  if (valid && zoom_ > 1) {
    const QPointF p = PixelOf(lon, lat);
    if (!rect().contains(p.toPoint())) {
      centre_lon_ = lon;
      centre_lat_ = lat;
      Clamp();
      dirty_ = true;
    }
  }
  update();
}

void TMapPane::RemovePlace(uint32_t recno, double lon, double lat) {
  if (map_ && map_->HasPlaces()) {
    if (map_->Remove(recno, lon, lat)) Changed();
  } else {
    removals_.push_back({recno, lon, lat});
  }
}

// At zoom 1 the world fills the pane's width; zooming out shows it whole.
double TMapPane::FitPixelsPerDegree() const {
  return std::max(1e-3, width() / 360.0);
}

double TMapPane::SmallestZoom() const {
  return std::min(1.0, std::max(1e-3, height() / 180.0) / FitPixelsPerDegree());
}

bool TMapPane::PlacesLatitudes(double& south, double& north) const {
  if (!map_ || !map_->HasPlaces()) return false;
  const auto row_has_places = [this](int r) {
    const uint32_t* cell = &map_->counts[static_cast<size_t>(r) * PlaceMap::kColumns];
    return std::any_of(cell, cell + PlaceMap::kColumns, [](uint32_t n) { return n != 0; });
  };
  int top = 0, bottom = PlaceMap::kRows - 1;
  while (top <= bottom && !row_has_places(top)) ++top;
  while (bottom >= top && !row_has_places(bottom)) --bottom;
  if (top > bottom) return false;
  north = 90 - top * PlaceMap::kCellDegrees;
  south = 90 - (bottom + 1) * PlaceMap::kCellDegrees;
  return true;
}

void TMapPane::FirstView() {
  zoom_ = 1;
  centre_lon_ = centre_lat_ = 0;
  double south = 0, north = 0;
  if (PlacesLatitudes(south, north)) {
    // A little room above and below the places.
    const double needed = (north - south) * 1.1 + 2 * PlaceMap::kCellDegrees;
    const double shown = height() / FitPixelsPerDegree();
    if (needed > shown) zoom_ = shown / needed;
    centre_lat_ = (south + north) / 2;
  }
  Clamp();
}

MapView TMapPane::View() const {
  MapView v;
  v.width = width();
  v.height = height();
  v.ppd = FitPixelsPerDegree() * zoom_;
  v.west = centre_lon_ - v.width / 2.0 / v.ppd;
  v.north = centre_lat_ + v.height / 2.0 / v.ppd;
  return v;
}

QPointF TMapPane::PixelOf(double lon, double lat) const {
  const MapView v = View();
  // Of the world's copies, the one nearest the middle of the pane.
  return {v.X(lon + 360 * std::round((centre_lon_ - lon) / 360)), v.Y(lat)};
}

// The zoom stays between the whole world and the closest view; the centre
// stays where the world still fills the pane's height when the view does
// not show it whole (east and west it goes round).
void TMapPane::Clamp() {
  const double fit = FitPixelsPerDegree();
  zoom_ = std::clamp(zoom_, SmallestZoom(), std::max(1.0, kMaxPixelsPerDegree / fit));
  const double ppd = fit * zoom_;
  const double half_h = height() / 2.0 / ppd;
  // East and west the world goes round: its copies stand side by side.
  centre_lon_ = std::remainder(centre_lon_, 360.0);
  centre_lat_ = half_h >= 90 ? 0 : std::clamp(centre_lat_, -90 + half_h, 90 - half_h);
}

void TMapPane::ShowWorld() {
  moved_ = false;
  FirstView();
  Changed();
}

void TMapPane::ZoomAt(QPointF pixel, double factor) {
  const MapView before = View();
  const double lon = before.Lon(pixel.x()), lat = before.Lat(pixel.y());
  moved_ = true;
  zoom_ *= factor;
  Clamp();
  // The position under the pointer stays under it.
  const double ppd = FitPixelsPerDegree() * zoom_;
  centre_lon_ = lon + (width() / 2.0 - pixel.x()) / ppd;
  centre_lat_ = lat - (height() / 2.0 - pixel.y()) / ppd;
  Clamp();
  Changed();
}

void TMapPane::PanBy(QPointF pixels) {
  const double ppd = View().ppd;
  moved_ = true;
  centre_lon_ -= pixels.x() / ppd;
  centre_lat_ += pixels.y() / ppd;
  Clamp();
  Changed();
}

void TMapPane::Changed() {
  dirty_ = true;
  update();
}

QString TMapPane::Note() const {
  if (!map_) return {};
  if (!map_->error.empty()) return QString::fromStdString(map_->error);
  QLocale locale;
  locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
  if (!map_->HasPlaces()) {
    const uint64_t percent = map_->total ? map_->done * 100 / map_->total : 0;
    return QStringLiteral("Reading the places\u2026 %1 %").arg(percent);
  }
  return map_->place_count == 1
             ? QStringLiteral("1 place with a position")
             : QStringLiteral("%1 places with a position")
                   .arg(locale.toString(static_cast<qulonglong>(map_->place_count)));
}

void TMapPane::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (moved_) {
    Clamp();
  } else {
    FirstView();
  }
  dirty_ = true;
}

void TMapPane::DrawGraticule(const MapView& v, bool labels) {
  QPainter p(&image_);
  double step = kSteps[std::size(kSteps) - 1];
  for (double s : kSteps) {
    if (s * v.ppd >= kLineSpacing) {
      step = s;
      break;
    }
  }
  const double west = std::max(-180.0, v.Lon(0)), east = std::min(180.0, v.Lon(v.width));
  const double north = std::min(90.0, v.Lat(0)), south = std::max(-90.0, v.Lat(v.height));
  const double top = v.Y(north), bottom = v.Y(south), left = v.X(west), right = v.X(east);
  QFont font = p.font();
  font.setPointSizeF(std::max(6.0, font.pointSizeF() * 0.8));
  p.setFont(font);
  const QFontMetrics metrics = p.fontMetrics();
  // Lines closer than their labels are wide get a label every few lines.
  const double spacing = step * v.ppd;
  const auto every = [spacing](int room) {
    return std::max(1, static_cast<int>(std::ceil((room + 8) / spacing)));
  };
  const int lon_every = every(metrics.horizontalAdvance(QStringLiteral("180\u00B0W")));
  const int lat_every = every(metrics.height());
  // On a pale ground, readable above the places too.
  const auto label = [&p, &metrics](QPointF at, const QString& text) {
    const QRectF ground(at.x() - 1, at.y() - metrics.ascent(), metrics.horizontalAdvance(text) + 2,
                        metrics.height());
    p.fillRect(ground, QColor(0xF3, 0xF7, 0xFB, 190));
    p.setPen(kLabel);
    p.drawText(at, text);
  };
  for (double k = std::ceil(west / step); k * step <= east + 1e-9; ++k) {
    const double lon = k * step;
    const double x = std::floor(v.X(lon)) + 0.5;
    if (!labels) {
      p.setPen(std::fabs(lon) < step / 2 ? kAxis : kGraticule);
      p.drawLine(QPointF(x, top), QPointF(x, bottom));
      continue;
    }
    // The 180th meridian is labelled once, by the copy east of it.
    if (static_cast<long long>(k) % lon_every != 0 || lon > 180 - step / 2) continue;
    label(QPointF(x + 3, std::max(top, 0.0) + metrics.ascent() + 1),
          DegreesLabel(lon, step, 'E', 'W'));
  }
  // The parallels' labels stand at the pane's west side, on the copy there.
  if (labels && left > 0.5) return;
  for (double k = std::ceil(south / step); k * step <= north + 1e-9; ++k) {
    const double lat = k * step;
    const double y = std::floor(v.Y(lat)) + 0.5;
    if (!labels) {
      p.setPen(std::fabs(lat) < step / 2 ? kAxis : kGraticule);
      p.drawLine(QPointF(left, y), QPointF(right, y));
      continue;
    }
    if (static_cast<long long>(k) % lat_every != 0) continue;
    label(QPointF(std::max(left, 0.0) + 3, y - 3), DegreesLabel(lat, step, 'N', 'S'));
  }
}

// The picture of the current view: outside the world, the sea, the
// graticule, the places, coloured by how many fall on a pixel, and the
// graticule's labels.
void TMapPane::Render() {
  dirty_ = false;
  const MapView v = View();
  if (image_.size() != size()) image_ = QImage(size(), QImage::Format_RGB32);
  if (image_.isNull()) return;
  image_.fill(kOutside);
  const int y0 = std::max(0, static_cast<int>(std::ceil(v.Y(90) - 0.5)));
  const int y1 = std::min(v.height, static_cast<int>(std::ceil(v.Y(-90) - 0.5)));
  for (int y = y0; y < y1; ++y) {
    QRgb* line = reinterpret_cast<QRgb*>(image_.scanLine(y));
    std::fill(line, line + v.width, kSea);
  }
  const std::vector<MapView> copies = WorldCopies(v);
  for (const MapView& copy : copies) DrawGraticule(copy, false);
  if (map_) DrawPlaces(copies);
  for (const MapView& copy : copies) DrawGraticule(copy, true);  // above the places
}

void TMapPane::DrawPlaces(const std::vector<MapView>& copies) {
  if (copies.empty()) return;
  for (size_t i = 0; i < copies.size(); ++i) map_->Render(copies[i], pixels_, i > 0);
  const MapView& v = copies.front();
  uint32_t most = 0;
  size_t occupied = 0;
  for (uint32_t n : pixels_) {
    most = std::max(most, n);
    occupied += n != 0;
  }
  if (most == 0) return;
  const double scale = most > 1 ? 1.0 / std::log1p(static_cast<double>(most)) : 0.0;
  // Where places are few, each is a dot of 3 by 3 pixels.
  const int r = occupied * 50 < pixels_.size() ? 1 : 0;
  const int w = v.width, h = v.height;
  for (int y = 0; y < h; ++y) {
    const uint32_t* counts = &pixels_[static_cast<size_t>(y) * static_cast<size_t>(w)];
    for (int x = 0; x < w; ++x) {
      if (counts[x] == 0) continue;
      const QRgb colour = Density(std::log1p(static_cast<double>(counts[x])) * scale);
      for (int yy = std::max(0, y - r); yy <= std::min(h - 1, y + r); ++yy) {
        QRgb* line = reinterpret_cast<QRgb*>(image_.scanLine(yy));
        for (int xx = std::max(0, x - r); xx <= std::min(w - 1, x + r); ++xx) line[xx] = colour;
      }
    }
  }
}

void TMapPane::paintEvent(QPaintEvent*) {
  if (dirty_ || image_.size() != size()) Render();
  QPainter p(this);
  p.drawImage(0, 0, image_);
  p.setRenderHint(QPainter::Antialiasing);
  if (current_valid_) {
    const QPointF c = PixelOf(current_lon_, current_lat_);
    p.setPen(QPen(Qt::white, 4));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, 7, 7);
    p.setPen(QPen(kRing, 2));
    p.drawEllipse(c, 7, 7);
    p.setPen(Qt::NoPen);
    p.setBrush(kRing);
    p.drawEllipse(c, 2, 2);
  }
  const QString note = Note();
  if (!note.isEmpty()) {
    QFont font = p.font();
    font.setPointSizeF(std::max(6.0, font.pointSizeF() * 0.85));
    p.setFont(font);
    const QRect text = p.fontMetrics().boundingRect(note).adjusted(-4, -2, 4, 2);
    const QRect box(QPoint(4, height() - text.height() - 4), text.size());
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 210));
    p.drawRoundedRect(box, 3, 3);
    p.setPen(QColor(0x30, 0x30, 0x30));
    p.drawText(box, Qt::AlignCenter, note);
  }
  if (hasFocus()) {
    p.setPen(QPen(palette().highlight().color(), 1, Qt::DotLine));
    p.setBrush(Qt::NoBrush);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
  }
}

void TMapPane::wheelEvent(QWheelEvent* event) {
  const double steps = event->angleDelta().y() / 120.0;
  if (steps != 0) ZoomAt(event->position(), std::pow(1.25, steps));
  event->accept();
}

void TMapPane::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  pressed_ = true;
  dragging_ = false;
  press_ = event->position().toPoint();
  last_ = event->position();
}

void TMapPane::mouseMoveEvent(QMouseEvent* event) {
  if (!pressed_) return;
  if (!dragging_ && (event->position().toPoint() - press_).manhattanLength() > 3) {
    dragging_ = true;
    setCursor(Qt::ClosedHandCursor);
  }
  if (dragging_) {
    PanBy(event->position() - last_);
    last_ = event->position();
  }
}

void TMapPane::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !pressed_) return QWidget::mouseReleaseEvent(event);
  pressed_ = false;
  if (dragging_) {
    dragging_ = false;
    setCursor(Qt::OpenHandCursor);
    return;
  }
  if (!map_) return;
  const QPointF at = event->position();
  for (const MapView& copy : WorldCopies(View())) {
    if (const uint32_t recno = map_->Nearest(copy, at.x(), at.y(), kClickRadius)) {
      emit PlaceClicked(recno);
      return;
    }
  }
}

void TMapPane::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) ZoomAt(event->position(), 2.0);
}

void TMapPane::keyPressEvent(QKeyEvent* event) {
  const QPointF middle(width() / 2.0, height() / 2.0);
  const double step = std::max(20.0, std::min(width(), height()) / 4.0);
  switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
      ZoomAt(middle, 2.0);
      break;
    case Qt::Key_Minus:
      ZoomAt(middle, 0.5);
      break;
    case Qt::Key_Left:
      PanBy({step, 0});
      break;
    case Qt::Key_Right:
      PanBy({-step, 0});
      break;
    case Qt::Key_Up:
      PanBy({0, step});
      break;
    case Qt::Key_Down:
      PanBy({0, -step});
      break;
    case Qt::Key_Home:
      ShowWorld();
      break;
    default:
      QWidget::keyPressEvent(event);
  }
}

}  // namespace toponyx::desktop
