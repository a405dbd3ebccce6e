// Where the places of a table lie, for the View window's map pane: every
// place with a readable position, filed by the cell of a fixed grid over a
// plate carrée world, so that a view draws only the cells it shows and a
// click looks at a few cells only.
//
// The map is built once when a table opens, by a background thread
// (PlaceMapLoader), in two passes over the file:
//  1. the places per cell: enough to draw the world as a density raster;
//     the blocks of records are read in an interleaved order, so that the
//     snapshots published on the way are an even sample of the table;
//  2. the places themselves, cell by cell, for views zoomed in far enough
//     to show single places, and for clicks.
// No Qt here: the pane paints what Render counts.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/RecordFile.h"

namespace toponyx::desktop {

// Decimal degrees from the text of a LATITUDE or LONGITUDE field: blanks
// around it ignored, a leading "+" or "-", "." or the decimal comma "," as
// separator ("12,34568"). False for anything else (a blank field, packed
// degrees and minutes, words).
bool ParseDegrees(std::string_view text, double& degrees);

// A plate carrée view: pixel (0, 0) has its top-left corner at longitude
// west and latitude north; ppd pixels per degree in both directions.
struct MapView {
  double west = -180.0;
  double north = 90.0;
  double ppd = 1.0;
  int width = 0;
  int height = 0;

  double X(double lon) const { return (lon - west) * ppd; }
  double Y(double lat) const { return (north - lat) * ppd; }
  double Lon(double x) const { return west + x / ppd; }
  double Lat(double y) const { return north - y / ppd; }
};

struct PlaceMap {
  static constexpr int kColumns = 2048;
  static constexpr int kRows = 1024;
  static constexpr size_t kCells = size_t{kColumns} * kRows;
  static constexpr double kCellDegrees = 360.0 / kColumns;

  struct Place {
    uint32_t recno;   // 0 once the place was removed
    uint16_t fx, fy;  // in the cell, in 1/65536 of its side from its west and north edges
  };

  // Work done of work in all (both passes), for the pane's progress line.
  uint64_t done = 0;
  uint64_t total = 0;
  // Why there is no map (a table without positions, a read failure).
  std::string error;
  // Places per cell, row by row from the north-west corner.
  std::vector<uint32_t> counts;
  uint64_t place_count = 0;
  // The same counts over cells of 2, 4 and 8 cells a side, so that a view
  // of the whole world adds up some 32 000 cells rather than 2 million.
  static constexpr int kLevels = 4;  // the counts are level 0
  std::vector<uint32_t> coarse[kLevels - 1];
  // After the second pass: for each cell the index of its first place in
  // places (kCells + 1 entries), and the places, in record order within a cell.
  std::vector<uint32_t> first;
  std::vector<Place> places;

  bool HasPlaces() const { return !first.empty(); }
  bool Finished() const { return HasPlaces() || !error.empty(); }

  // The counts of level 0 (counts) to kLevels - 1.
  const std::vector<uint32_t>& Level(int level) const {
    return level == 0 ? counts : coarse[level - 1];
  }
  // Fills the coarse levels from the counts.
  void SumLevels();

  // The cell of a position, with the position inside it; false outside
  // -90..90 and -180..180.
  static bool Locate(double lon, double lat, size_t& cell, uint16_t& fx, uint16_t& fy);
  // Where a place is drawn: the middle of its 1/65536 step.
  static void PlaceDegrees(size_t cell, const Place& p, double& lon, double& lat);

  // Adds the places in the view to pixels (width * height counts, row by
  // row; resized and cleared here). Views with cells of 2 pixels or more
  // are drawn place by place, when the places are there; coarser views
  // from the counts per cell, of the finest level whose cells are at least
  // half a pixel wide. True when drawn place by place. add: the counts are
  // added to those pixels already holds (a view of the same size).
  bool Render(const MapView& view, std::vector<uint32_t>& pixels, bool add = false) const;
  // The record of the place nearest to pixel (x, y) within radius pixels;
  // of places equally near, the first in the table; 0 when none (or before
  // the second pass).
  uint32_t Nearest(const MapView& view, double x, double y, double radius) const;
  // Takes a deleted record's place off the map; false when it is not there.
  bool Remove(uint32_t recno, double lon, double lat);
};

// Builds the map of a table file (the fields LATITUDE and LONGITUDE of its
// live records). publish receives snapshots on the way and the finished
// map last (one with an error when the table has no positions or cannot be
// read); each is a map of its own. Returns early, publishing nothing more,
// once stop is set.
void BuildPlaceMap(dbf::RecordFile& file, const std::atomic<bool>& stop,
                   const std::function<void(std::shared_ptr<PlaceMap>)>& publish);

}  // namespace toponyx::desktop
