#include "pipeline/Duplicates.h"

#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <optional>
#include <utility>
#include <vector>

#include "dbf/IndexKey.h"
#include "pipeline/BuildContext.h"
#include "pipeline/Choices.h"
#include "platform/Ascii.h"
#include "readers/Fields.h"
#include "readers/PlaceRecord.h"

namespace toponyx::pipeline {

namespace {
constexpr int32_t kNoNumber = std::numeric_limits<int32_t>::min();
constexpr double kUnits = 1e7;  // a unit a ten-millionth of a degree

int32_t Units(double degrees) {
  if (!(std::fabs(degrees) <= 180)) return kNoNumber;  // NaN too
  return static_cast<int32_t>(degrees * kUnits + (degrees < 0 ? -0.5 : 0.5));
}
double Degrees(int32_t units) {
  return units == kNoNumber ? std::numeric_limits<double>::quiet_NaN() : units / kUnits;
}
}  // namespace

void StorePlaceNumbers(const PlaceNumbers& numbers, char* out) {
  out[0] = numbers.feature_class;
  out[1] = 'N';
  platform::StoreLe32(out + 2, static_cast<uint32_t>(Units(numbers.latitude)));
  platform::StoreLe32(out + 6, static_cast<uint32_t>(Units(numbers.longitude)));
}

void StorePlaceClass(char feature_class, char* out) {
  out[0] = feature_class;
  out[1] = 'T';
  std::memset(out + 2, ' ', kPlaceNumbersLength - 2);
}

// In whole numbers where the text is plain (readers::PlainNumber), rounded
// half away from zero as Units rounds; else through PositionValue.
int32_t PositionUnits(std::string_view text) {
  static constexpr auto kTens = [] {
    std::array<uint64_t, 16> tens{};
    uint64_t ten = 1;
    for (uint64_t& t : tens) t = std::exchange(ten, ten * 10);
    return tens;
  }();
  readers::PlainNumber n;
  if (!readers::ParsePlainNumber(text, n)) return Units(readers::PositionValue(text));
  // Past 180 degrees is no number, as for Units.
  uint64_t units;
  if (n.decimals <= 7) {
    if (n.mantissa > 180 * kTens[n.decimals]) return kNoNumber;
    units = n.mantissa * kTens[7 - n.decimals];
  } else {
    const uint64_t scale = kTens[n.decimals - 7];
    if (n.mantissa > 1800000000 * scale) return kNoNumber;
    units = n.mantissa / scale + (n.mantissa % scale * 2 >= scale);
  }
  return n.negative ? -static_cast<int32_t>(units) : static_cast<int32_t>(units);
}

PlaceNumbers LoadPlaceNumbers(const StoredPlace& place) {
  // The index keeps fields without their trailing blanks: they come back.
  char bytes[kPlaceNumbersLength];
  std::memset(bytes, ' ', sizeof bytes);
  std::memcpy(bytes, place.numbers, std::min(place.numbers_length, sizeof bytes));
  if (bytes[1] == 'T') {
    using readers::kLatitude, readers::kLongitude;
    return {Degrees(PositionUnits({place.field[kLatitude], place.length[kLatitude]})),
            Degrees(PositionUnits({place.field[kLongitude], place.length[kLongitude]})), bytes[0]};
  }
  return {Degrees(static_cast<int32_t>(platform::LoadLe32(bytes + 2))),
          Degrees(static_cast<int32_t>(platform::LoadLe32(bytes + 6))), bytes[0]};
}

namespace {

constexpr double kRadians = std::numbers::pi / 180;

struct Point {
  double x, y, z;  // on the mean sphere, in metres
};

Point OnSphere(double latitude, double longitude) {
  const double phi = latitude * kRadians, lambda = longitude * kRadians;
  return {kEarthRadiusMetres * std::cos(phi) * std::cos(lambda),
          kEarthRadiusMetres * std::cos(phi) * std::sin(lambda),
          kEarthRadiusMetres * std::sin(phi)};
}

double Chord(const Point& a, const Point& b) {
  const double dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

}  // namespace

double DistanceMetres(double lat1, double lon1, double lat2, double lon2) {
  const double chord = Chord(OnSphere(lat1, lon1), OnSphere(lat2, lon2));
  return 2 * kEarthRadiusMetres * std::asin(std::min(1.0, chord / (2 * kEarthRadiusMetres)));
}

// The kept places of the current run of equal names. A place within the
// distance along the sphere lies within the same chord in space; in cubes
// twice that wide, it lies in the place's own cube or, along each axis, in
// the neighbour on the side nearer the place: eight cubes. A run's first
// few places are compared one by one before the cubes are worth making.
struct DuplicateMerger::Run {
  explicit Run(double metres)
      : cell(2 * std::max(metres, 1.0)),
        // Within `metres` along the sphere is within this chord; a hair
        // more keeps a place at the very distance in.
        chord(2 * kEarthRadiusMetres *
              std::sin(std::min(metres / (2 * kEarthRadiusMetres), std::numbers::pi / 2)) *
              (1 + 1e-12)),
        degrees(metres / kEarthRadiusMetres / kRadians * (1 + 1e-9)) {}

  struct Kept {
    Point point;  // reckoned when first needed
    double latitude, longitude;
    char feature_class;
    bool has_point;
  };
  struct Cube {
    int32_t x, y, z;
    bool operator==(const Cube&) const = default;
  };
  struct CubeHash {
    size_t operator()(const Cube& c) const {
      uint64_t h = static_cast<uint32_t>(c.x);
      h = h * 0x9E3779B97F4A7C15ULL ^ static_cast<uint32_t>(c.y);
      h = h * 0x9E3779B97F4A7C15ULL ^ static_cast<uint32_t>(c.z);
      return static_cast<size_t>(h ^ (h >> 29));
    }
  };
  static constexpr size_t kCompareOneByOne = 32;

  Cube CubeOf(const Point& p) const {
    return {static_cast<int32_t>(std::floor(p.x / cell)),
            static_cast<int32_t>(std::floor(p.y / cell)),
            static_cast<int32_t>(std::floor(p.z / cell))};
  }
  // A place without a class (a USA GNIS place, a waypoint) may be any
  // class's duplicate: the same village from GNIS and from GeoNames is one.
  static bool SameClass(char a, char b) { return a == b || a == 0 || b == 0; }
  static const Point& PointOf(Kept& k) {
    if (!k.has_point) k.point = OnSphere(k.latitude, k.longitude), k.has_point = true;
    return k.point;
  }
  bool Near(const Kept& k, const Point& p, char feature_class) const {
    return SameClass(k.feature_class, feature_class) && Chord(k.point, p) <= chord;
  }
  // Whether the place matches a kept one; if not, it is kept.
  bool Merged(double latitude, double longitude, char feature_class) {
    if (kept.size() < kCompareOneByOne) {
      // Places further apart in latitude than the distance are further
      // apart on the sphere too: most pairs are told apart without a
      // point in space.
      std::optional<Point> p;
      for (Kept& k : kept) {
        if (!SameClass(k.feature_class, feature_class) ||
            std::fabs(k.latitude - latitude) > degrees) {
          continue;
        }
        if (!p) p = OnSphere(latitude, longitude);
        if (Chord(PointOf(k), *p) <= chord) return true;
      }
      kept.push_back(Kept{{}, latitude, longitude, feature_class, false});
      return false;
    }
    const Point p = OnSphere(latitude, longitude);
    if (used.empty()) {
      for (uint32_t i = 0; i < kept.size(); ++i) Grid(i);
    }
    const Cube c = CubeOf(p);
    // The neighbour on the nearer side along each axis.
    const auto side = [this](double v, int32_t in) {
      return v - in * cell < cell / 2 ? in - 1 : in + 1;
    };
    const int32_t xs[2] = {c.x, side(p.x, c.x)}, ys[2] = {c.y, side(p.y, c.y)},
                  zs[2] = {c.z, side(p.z, c.z)};
    for (int32_t x : xs) {
      for (int32_t y : ys) {
        for (int32_t z : zs) {
          for (uint32_t i = Find(Cube{x, y, z}).head; i != kEmpty; i = next[i]) {
            if (Near(kept[i], p, feature_class)) return true;
          }
        }
      }
    }
    kept.push_back(Kept{p, latitude, longitude, feature_class, true});
    Grid(static_cast<uint32_t>(kept.size() - 1));
    return false;
  }
  void Clear() {
    waiting = false;
    kept.clear();
    for (uint32_t slot : used) slots[slot].head = kEmpty;
    used.clear();
  }

  // The cubes of a long run's kept places: an open-addressing table from a
  // cube to the last kept place in it, each kept place leading to the one
  // before it in its cube. The table lives from run to run.
  static constexpr uint32_t kEmpty = std::numeric_limits<uint32_t>::max();
  struct Slot {
    Cube cube;
    uint32_t head = kEmpty;
  };
  // The slot of the cube, or the empty one where it would go.
  Slot& Find(const Cube& c) {
    const size_t mask = slots.size() - 1;
    for (size_t i = CubeHash{}(c)&mask;; i = (i + 1) & mask) {
      Slot& slot = slots[i];
      if (slot.head == kEmpty || slot.cube == c) return slot;
    }
  }
  void Grid(uint32_t k) {
    if ((used.size() + 1) * 2 > slots.size()) {  // a larger table, filled anew
      size_t size = 64;
      while (size < 4 * kept.size()) size *= 2;
      for (uint32_t slot : used) slots[slot].head = kEmpty;
      used.clear();
      slots.assign(size, Slot{});
      for (uint32_t i = 0; i < k; ++i) Place(i);
    }
    Place(k);
  }
  void Place(uint32_t k) {
    if (next.size() < kept.size()) next.resize(kept.size() * 2);
    const Cube cube = CubeOf(PointOf(kept[k]));
    Slot& slot = Find(cube);
    if (slot.head == kEmpty) {
      slot.cube = cube;
      used.push_back(static_cast<uint32_t>(&slot - slots.data()));
    }
    next[k] = slot.head;
    slot.head = k;
  }

  double cell;
  double chord;
  double degrees;  // of latitude along the distance
  // Most names stand once: the run's first place waits, its numbers field
  // and position texts as stored, for a second before its numbers are read.
  void Wait(const StoredPlace& place) {
    using readers::kLatitude, readers::kLongitude;
    first_numbers.Take(place.numbers, place.numbers_length);
    first_latitude.Take(place.field[kLatitude], place.length[kLatitude]);
    first_longitude.Take(place.field[kLongitude], place.length[kLongitude]);
    waiting = true;
  }
  // Keeps the waiting place (the run had no other).
  void KeepWaiting() {
    using readers::kLatitude, readers::kLongitude;
    waiting = false;
    StoredPlace first{};
    first.numbers = first_numbers.bytes;
    first.numbers_length = first_numbers.length;
    first.field[kLatitude] = first_latitude.bytes;
    first.length[kLatitude] = first_latitude.length;
    first.field[kLongitude] = first_longitude.bytes;
    first.length[kLongitude] = first_longitude.length;
    const PlaceNumbers n = LoadPlaceNumbers(first);
    if (!std::isnan(n.latitude) && !std::isnan(n.longitude)) {
      Merged(n.latitude, n.longitude, n.feature_class);
    }
  }
  bool waiting = false;
  template <size_t kSize>
  struct Copy {  // of a field
    char bytes[kSize];
    size_t length = 0;
    void Take(const char* from, size_t n) {
      length = std::min(n, sizeof bytes);
      std::memcpy(bytes, from, length);
    }
  };
  Copy<kPlaceNumbersLength> first_numbers;
  Copy<kPlaceFieldLengths[readers::kLatitude]> first_latitude;
  Copy<kPlaceFieldLengths[readers::kLongitude]> first_longitude;
  std::vector<Kept> kept;
  std::vector<Slot> slots;
  std::vector<uint32_t> used;                     // the slots in use
  std::vector<uint32_t> next;                     // of each kept place
  Copy<kPlaceFieldLengths[readers::kName]> name;  // the run's name as stored
  bool any = false;
};

DuplicateMerger::DuplicateMerger(OrderedPlaceWriter& next, double metres)
    : next_(next), run_(std::make_unique<Run>(metres)) {}

DuplicateMerger::~DuplicateMerger() = default;

void DuplicateMerger::Begin(uint64_t places) {
  next_.Begin(places);
}

void DuplicateMerger::Write(const StoredPlace& place) {
  Run& run = *run_;
  const char* name = place.field[readers::kName];
  const size_t length = place.length[readers::kName];
  if (!run.any || dbf::CompareBlankFilled(run.name.bytes, run.name.length, name, length) != 0) {
    run.Clear();
    run.name.Take(name, length);
    run.any = true;
  }
  if (run.kept.empty() && !run.waiting) {
    run.Wait(place);
    return next_.Write(place);
  }
  if (run.waiting) run.KeepWaiting();
  const PlaceNumbers numbers = LoadPlaceNumbers(place);
  // A place without numbers is no one's duplicate.
  if (!std::isnan(numbers.latitude) && !std::isnan(numbers.longitude) &&
      run.Merged(numbers.latitude, numbers.longitude, numbers.feature_class)) {
    ++merged_;
    return;
  }
  next_.Write(place);
}

void DuplicateMerger::End() {
  run_->Clear();
  next_.End();
}

std::string DuplicateMerger::Report() const {
  return CountOf(merged_, "duplicate", "duplicates") + " merged";
}

uint64_t NamesTableBytes(uint64_t places) {
  // The header (32 bytes, 32 for each of the five fields, the end mark),
  // the records, the end-of-file byte.
  return 32 + 32 * 5 + 1 + places * kPlaceRecordLength + 1;
}

uint64_t TableSizeWatch::AllowedPlaces(uint64_t limit) {
  const uint64_t empty = NamesTableBytes(0);
  return limit < empty ? 0 : (limit - empty) / kPlaceRecordLength;
}

std::string LargeTableWarning(uint64_t limit_bytes) {
  const bool gib = limit_bytes == kLargestOpenedTable;
  const std::string size = gib ? std::string("2 GiB") : GroupedCount(limit_bytes) + " bytes";
  return "The name database grows past " + size + " (more than " +
         GroupedCount(TableSizeWatch::AllowedPlaces(limit_bytes)) +
         " places): 32-bit programs and several DBF readers cannot open a table that large. "
         "The run goes on. To make the database smaller, choose an area, the feature types or "
         "classes to keep, or merge duplicates (the Options of the window, or toponyx-create's "
         "--area, --types, --classes and --merge-duplicates), or tick fewer files.";
}

void TableSizeWatch::Warn() {
  warned_ = true;
  ui_.ShowMessage(MessageKind::kWarning, LargeTableWarning(limit_));
}

void WorkingTableSink::StoreNumbers(const readers::Place& place, char* out) {
  // Without stages the chain hands on places whose numbers are still
  // texts: the record's texts are read when a duplicate is looked for.
  if (place.numbers_from_texts) return StorePlaceClass(place.feature_class, out);
  StorePlaceNumbers({place.latitude, place.longitude, place.feature_class}, out);
}

}  // namespace toponyx::pipeline
