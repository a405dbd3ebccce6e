// TMapPane: the places of the table as points on a plate carrée world with
// a graticule. The wheel zooms about the pointer, dragging moves the map,
// a click on a place selects its row; +, -, the arrow keys and Home do the
// same from the keyboard. The current row's place is ringed. The first view
// (and Home) fills the pane's width where that shows every place, and is
// centred on them; zooming out shows the whole world. East and west the
// world goes round, its copies side by side, so a wide pane has no empty
// sides and the Pacific can be seen whole.
//
// What is drawn comes from a PlaceMap (built in the background); a paint
// after a change of view counts the visible cells' places into one value
// per pixel and colours them by density, so it never walks the table.
#pragma once

#include <QImage>
#include <QWidget>
#include <memory>
#include <vector>

#include "view/PlaceMap.h"

namespace toponyx::desktop {

class TMapPane : public QWidget {
  Q_OBJECT

 public:
  // Pixels per degree at most (about a metre a pixel).
  static constexpr double kMaxPixelsPerDegree = 100000.0;
  // How near a click must be to a place, in pixels.
  static constexpr double kClickRadius = 6.0;

  explicit TMapPane(QWidget* parent = nullptr);

  // A snapshot or the finished map of the table; null for no table.
  void SetMap(std::shared_ptr<PlaceMap> map);
  const PlaceMap* Map() const { return map_.get(); }
  // The current row's place, ringed; a view zoomed in follows it. Invalid
  // for a row without a readable position.
  void SetCurrentPlace(bool valid, double lon = 0, double lat = 0);
  bool CurrentPlace(double& lon, double& lat) const {
    lon = current_lon_;
    lat = current_lat_;
    return current_valid_;
  }
  // A deleted record's place leaves the map (once the map has its places).
  void RemovePlace(uint32_t recno, double lon, double lat);

  // The view as it is drawn, and a position's pixel in it.
  MapView View() const;
  QPointF PixelOf(double lon, double lat) const;
  void ShowWorld();
  void ZoomAt(QPointF pixel, double factor);
  void PanBy(QPointF pixels);
  // The text in the pane's corner: progress, place count or why there is no map.
  QString Note() const;

 signals:
  void PlaceClicked(uint32_t recno);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  double FitPixelsPerDegree() const;
  // The zoom that shows the whole world (1 where the pane is no wider than
  // the world at its height).
  double SmallestZoom() const;
  // The latitudes of the southernmost and the northernmost places (to the
  // map's cells); false without places.
  bool PlacesLatitudes(double& south, double& north) const;
  // The world as wide as the pane where that shows every place, else
  // zoomed out until it does, centred on the places; until the user moves
  // the map, a resize or a finished map makes it anew.
  void FirstView();
  void Clamp();
  void Changed();
  void Render();
  // The lines, or their labels.
  void DrawGraticule(const MapView& view, bool labels);
  void DrawPlaces(const std::vector<MapView>& copies);

  std::shared_ptr<PlaceMap> map_;
  struct Removal {
    uint32_t recno;
    double lon, lat;
  };
  std::vector<Removal> removals_;  // waiting for the places of a map being built
  double centre_lon_ = 0, centre_lat_ = 0;
  double zoom_ = 1;     // 1: the world fills the pane's width
  bool moved_ = false;  // zoomed or dragged since the first view
  bool current_valid_ = false;
  double current_lon_ = 0, current_lat_ = 0;
  QImage image_;
  bool dirty_ = true;
  std::vector<uint32_t> pixels_;
  QPoint press_;
  QPointF last_;
  bool pressed_ = false, dragging_ = false;
};

}  // namespace toponyx::desktop
