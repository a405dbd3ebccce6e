#include "view/PlaceMap.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>

namespace toponyx::desktop {

bool ParseDegrees(std::string_view text, double& degrees) {
  size_t b = 0;
  size_t e = text.size();
  while (b < e && static_cast<unsigned char>(text[b]) <= 32) ++b;
  while (e > b && static_cast<unsigned char>(text[e - 1]) <= 32) --e;
  if (b < e && text[b] == '+') ++b;
  char digits[32];
  const size_t n = e - b;
  if (n == 0 || n > sizeof digits) return false;
  for (size_t i = 0; i < n; ++i) {
    const char c = text[b + i];
    digits[i] = c == ',' ? '.' : c;
  }
  // Only "-", digits and one separator: from_chars would take "inf" and
  // exponents too.
  for (size_t i = digits[0] == '-' ? 1 : 0; i < n; ++i) {
    if ((digits[i] < '0' || digits[i] > '9') && digits[i] != '.') return false;
  }
  double value = 0;
  const auto [end, ec] = std::from_chars(digits, digits + n, value, std::chars_format::fixed);
  if (ec != std::errc() || end != digits + n) return false;
  degrees = value;
  return true;
}

bool PlaceMap::Locate(double lon, double lat, size_t& cell, uint16_t& fx, uint16_t& fy) {
  if (!(lon >= -180.0 && lon <= 180.0 && lat >= -90.0 && lat <= 90.0)) return false;
  const double u = (lon + 180.0) / kCellDegrees;
  const double v = (90.0 - lat) / kCellDegrees;
  const int column = std::min(static_cast<int>(u), kColumns - 1);
  const int row = std::min(static_cast<int>(v), kRows - 1);
  fx = static_cast<uint16_t>(std::min(65535.0, (u - column) * 65536.0));
  fy = static_cast<uint16_t>(std::min(65535.0, (v - row) * 65536.0));
  cell = size_t{static_cast<unsigned>(row)} * kColumns + static_cast<unsigned>(column);
  return true;
}

void PlaceMap::PlaceDegrees(size_t cell, const Place& p, double& lon, double& lat) {
  const auto column = static_cast<double>(cell % kColumns);
  const auto row = static_cast<double>(cell / kColumns);
  lon = -180.0 + (column + (p.fx + 0.5) / 65536.0) * kCellDegrees;
  lat = 90.0 - (row + (p.fy + 0.5) / 65536.0) * kCellDegrees;
}

void PlaceMap::SumLevels() {
  for (int level = 1; level < kLevels; ++level) {
    const std::vector<uint32_t>& finer = Level(level - 1);
    const size_t columns = kColumns >> level, rows = kRows >> level;
    std::vector<uint32_t>& out = coarse[level - 1];
    out.assign(columns * rows, 0);
    for (size_t r = 0; r < rows; ++r) {
      const uint32_t* a = &finer[2 * r * 2 * columns];
      const uint32_t* b = a + 2 * columns;
      for (size_t c = 0; c < columns; ++c) {
        out[r * columns + c] = a[2 * c] + a[2 * c + 1] + b[2 * c] + b[2 * c + 1];
      }
    }
  }
}

namespace {

// The cells of a level that a rectangle of the view covers, clipped to the
// world; false when it lies outside the world.
struct CellRange {
  int c0, c1, r0, r1;  // inclusive
};
bool Cells(const MapView& v, int level, double x0, double y0, double x1, double y1,
           CellRange& out) {
  const double d = PlaceMap::kCellDegrees * (1 << level);
  const int columns = PlaceMap::kColumns >> level, rows = PlaceMap::kRows >> level;
  const double u0 = (v.Lon(x0) + 180.0) / d, u1 = (v.Lon(x1) + 180.0) / d;
  const double r0 = (90.0 - v.Lat(y0)) / d, r1 = (90.0 - v.Lat(y1)) / d;
  if (u1 < 0 || u0 >= columns || r1 < 0 || r0 >= rows) return false;
  out.c0 = std::max(0, static_cast<int>(std::floor(u0)));
  out.c1 = std::min(columns - 1, static_cast<int>(std::floor(u1)));
  out.r0 = std::max(0, static_cast<int>(std::floor(r0)));
  out.r1 = std::min(rows - 1, static_cast<int>(std::floor(r1)));
  return true;
}

// The pixels whose middles lie in [a, a + size), at least the one under
// the middle of a span smaller than a pixel; clipped to [0, limit).
void Span(double a, double size, int limit, int& from, int& to) {
  from = static_cast<int>(std::ceil(a - 0.5));
  to = static_cast<int>(std::ceil(a + size - 0.5));
  if (to <= from) {
    from = static_cast<int>(std::floor(a + size / 2));
    to = from + 1;
  }
  from = std::max(from, 0);
  to = std::min(to, limit);
}

}  // namespace

bool PlaceMap::Render(const MapView& view, std::vector<uint32_t>& pixels, bool add) const {
  const int w = view.width, h = view.height;
  const size_t size =
      size_t{static_cast<unsigned>(std::max(w, 0))} * static_cast<unsigned>(std::max(h, 0));
  if (!add || pixels.size() != size) {
    pixels.resize(size);
    std::fill(pixels.begin(), pixels.end(), 0u);
  }
  if (w <= 0 || h <= 0 || counts.size() != kCells) return false;
  const bool by_place = HasPlaces() && kCellDegrees * view.ppd >= 2.0;
  int level = 0;
  while (!by_place && level + 1 < kLevels && kCellDegrees * (1 << level) * view.ppd < 0.5 &&
         Level(level + 1).size() == (kCells >> (2 * (level + 1)))) {
    ++level;
  }
  const std::vector<uint32_t>& level_counts = Level(level);
  const int columns = kColumns >> level;
  const double degrees = kCellDegrees * (1 << level);
  const double cell_px = degrees * view.ppd;
  CellRange cells;
  if (!Cells(view, level, 0, 0, w, h, cells)) return false;
  for (int r = cells.r0; r <= cells.r1; ++r) {
    const double oy = view.Y(90.0 - r * degrees);
    for (int c = cells.c0; c <= cells.c1; ++c) {
      const size_t cell = size_t{static_cast<unsigned>(r)} * static_cast<unsigned>(columns) +
                          static_cast<unsigned>(c);
      const uint32_t count = level_counts[cell];
      if (count == 0) continue;
      const double ox = view.X(-180.0 + c * degrees);
      if (by_place) {
        const double step = cell_px / 65536.0;
        for (uint32_t i = first[cell]; i < first[cell + 1]; ++i) {
          const Place& p = places[i];
          if (p.recno == 0) continue;
          const double x = ox + (p.fx + 0.5) * step;
          const double y = oy + (p.fy + 0.5) * step;
          if (x < 0 || y < 0 || x >= w || y >= h) continue;
          ++pixels[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)];
        }
        continue;
      }
      int x0, x1, y0, y1;
      Span(ox, cell_px, w, x0, x1);
      Span(oy, cell_px, h, y0, y1);
      for (int y = y0; y < y1; ++y) {
        uint32_t* row = &pixels[static_cast<size_t>(y) * static_cast<size_t>(w)];
        for (int x = x0; x < x1; ++x) row[x] += count;
      }
    }
  }
  return by_place;
}

uint32_t PlaceMap::Nearest(const MapView& view, double x, double y, double radius) const {
  CellRange cells;
  if (!HasPlaces() || !Cells(view, 0, x - radius, y - radius, x + radius, y + radius, cells)) {
    return 0;
  }
  uint32_t best = 0;
  double best_d2 = radius * radius;
  for (int r = cells.r0; r <= cells.r1; ++r) {
    for (int c = cells.c0; c <= cells.c1; ++c) {
      const size_t cell = size_t{static_cast<unsigned>(r)} * kColumns + static_cast<unsigned>(c);
      for (uint32_t i = first[cell]; i < first[cell + 1]; ++i) {
        const Place& p = places[i];
        if (p.recno == 0) continue;
        double lon, lat;
        PlaceDegrees(cell, p, lon, lat);
        const double dx = view.X(lon) - x, dy = view.Y(lat) - y;
        const double d2 = dx * dx + dy * dy;
        if (d2 < best_d2 || (d2 == best_d2 && best != 0 && p.recno < best)) {
          best = p.recno;
          best_d2 = d2;
        }
      }
    }
  }
  return best;
}

bool PlaceMap::Remove(uint32_t recno, double lon, double lat) {
  size_t cell;
  uint16_t fx, fy;
  if (recno == 0 || !HasPlaces() || !Locate(lon, lat, cell, fx, fy)) return false;
  for (uint32_t i = first[cell]; i < first[cell + 1]; ++i) {
    if (places[i].recno != recno) continue;
    places[i].recno = 0;
    --counts[cell];
    --place_count;
    for (int level = 1; level < kLevels; ++level) {
      const size_t row = cell / kColumns >> level, column = cell % kColumns >> level;
      --coarse[level - 1][row * (kColumns >> level) + column];
    }
    return true;
  }
  return false;
}

// ------------------------------------------------------------------ build

namespace {

constexpr uint32_t kBlockRecords = 4096;
// The order in which the first pass visits the blocks: every 16th block
// from 0, then from 8, 4, 12, ... (bit-reversed), so that any prefix of
// the pass is spread over the whole table.
constexpr uint32_t kPhases[16] = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};

using Clock = std::chrono::steady_clock;

class Builder {
 public:
  Builder(dbf::RecordFile& file, const std::atomic<bool>& stop,
          const std::function<void(std::shared_ptr<PlaceMap>)>& publish)
      : file_(file), stop_(stop), publish_(publish), map_(std::make_shared<PlaceMap>()) {}

  void Run() {
    const int lat = file_.FieldIndex("LATITUDE");
    const int lon = file_.FieldIndex("LONGITUDE");
    if (lat < 0 || lon < 0) {
      map_->error = "No map: the table has no LATITUDE and LONGITUDE fields.";
      publish_(map_);
      return;
    }
    lat_ = file_.Fields()[static_cast<size_t>(lat)];
    lon_ = file_.Fields()[static_cast<size_t>(lon)];
    count_ = file_.RecordCount();
    blocks_ = (count_ + kBlockRecords - 1) / kBlockRecords;
    buffer_.resize(size_t{kBlockRecords} * file_.RecordLength());
    map_->total = uint64_t{count_} * 2;
    map_->counts.assign(PlaceMap::kCells, 0);
    if (!CountPass()) return;
    map_->SumLevels();
    publish_(std::make_shared<PlaceMap>(*map_));
    if (!PlacePass()) return;
    publish_(map_);
  }

 private:
  // The cell of record i of the block read last; false when it is deleted
  // or its position is not readable.
  bool Locate(uint32_t i, size_t& cell, uint16_t& fx, uint16_t& fy) const {
    const char* r = buffer_.data() + size_t{i} * file_.RecordLength();
    if (r[0] != dbf::RecordFile::kLive) return false;
    double lat, lon;
    return ParseDegrees({r + lat_.offset, static_cast<size_t>(lat_.length)}, lat) &&
           ParseDegrees({r + lon_.offset, static_cast<size_t>(lon_.length)}, lon) &&
           PlaceMap::Locate(lon, lat, cell, fx, fy);
  }

  // Reads block b; its record count, 0 after a failure (then published).
  uint32_t ReadBlock(uint32_t b) {
    const uint32_t first = b * kBlockRecords + 1;
    const uint32_t want = std::min(kBlockRecords, count_ - first + 1);
    const uint32_t got = file_.Read(first, want, buffer_.data());
    if (got != want) {
      map_->error = "No map: the table cannot be read.";
      map_->counts.clear();
      map_->first.clear();
      map_->places.clear();
      publish_(map_);
      return 0;
    }
    return got;
  }

  bool CountPass() {
    auto last = Clock::now();
    auto interval = std::chrono::milliseconds(100);
    for (uint32_t phase : kPhases) {
      for (uint32_t b = phase; b < blocks_; b += 16) {
        if (stop_) return false;
        const uint32_t n = ReadBlock(b);
        if (n == 0) return false;
        size_t cell;
        uint16_t fx, fy;
        for (uint32_t i = 0; i < n; ++i) {
          if (!Locate(i, cell, fx, fy)) continue;
          ++map_->counts[cell];
          ++map_->place_count;
        }
        map_->done += n;
        // Snapshots for the first paints; the finished count follows.
        if (map_->done < count_ && Clock::now() - last >= interval) {
          map_->SumLevels();
          publish_(std::make_shared<PlaceMap>(*map_));
          last = Clock::now();
          interval = std::chrono::milliseconds(400);
        }
      }
    }
    return true;
  }

  bool PlacePass() {
    PlaceMap& m = *map_;
    m.first.resize(PlaceMap::kCells + 1);
    uint32_t sum = 0;
    for (size_t c = 0; c < PlaceMap::kCells; ++c) {
      m.first[c] = sum;
      sum += m.counts[c];
    }
    m.first[PlaceMap::kCells] = sum;
    m.places.resize(sum);
    std::vector<uint32_t> next(m.first.begin(), m.first.end() - 1);
    for (uint32_t b = 0; b < blocks_; ++b) {
      if (stop_) return false;
      const uint32_t n = ReadBlock(b);
      if (n == 0) return false;
      size_t cell;
      uint16_t fx, fy;
      for (uint32_t i = 0; i < n; ++i) {
        // A cell already full means the file changed since the first pass
        // (another program wrote to it): what does not fit is left out.
        if (!Locate(i, cell, fx, fy) || next[cell] == m.first[cell + 1]) continue;
        m.places[next[cell]++] = {b * kBlockRecords + 1 + i, fx, fy};
      }
      m.done += n;
    }
    // Records deleted between the passes leave cells short: close the gaps.
    uint32_t out = 0;
    m.place_count = 0;
    for (size_t c = 0; c < PlaceMap::kCells; ++c) {
      const uint32_t from = m.first[c], to = next[c];
      m.first[c] = out;
      if (from != out)
        std::copy(m.places.begin() + from, m.places.begin() + to, m.places.begin() + out);
      out += to - from;
      m.counts[c] = to - from;
      m.place_count += to - from;
    }
    m.first[PlaceMap::kCells] = out;
    m.places.resize(out);
    m.SumLevels();
    return true;
  }

  dbf::RecordFile& file_;
  const std::atomic<bool>& stop_;
  const std::function<void(std::shared_ptr<PlaceMap>)>& publish_;
  std::shared_ptr<PlaceMap> map_;
  dbf::FieldDef lat_, lon_;
  uint32_t count_ = 0;
  uint32_t blocks_ = 0;
  std::vector<char> buffer_;
};

}  // namespace

void BuildPlaceMap(dbf::RecordFile& file, const std::atomic<bool>& stop,
                   const std::function<void(std::shared_ptr<PlaceMap>)>& publish) {
  try {
    Builder(file, stop, publish).Run();
  } catch (const std::bad_alloc&) {
    auto failed = std::make_shared<PlaceMap>();
    failed->error = "No map: not enough memory for the places of this table.";
    publish(failed);
  }
}

}  // namespace toponyx::desktop
