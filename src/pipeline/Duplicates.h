// Writers that stand between the ordered walk and the name database: the
// merge of duplicates, and the watch over the table's size.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "frontend/BuildUi.h"
#include "pipeline/Output.h"

namespace toponyx::pipeline {

// What the working index carries of each place beside its five fields
// when duplicates are merged: its class letter and its numbers.
struct PlaceNumbers {
  double latitude;
  double longitude;
  char feature_class;
};
// The class letter, then 'N' and the numbers in whole ten-millionths of a
// degree (about a centimetre): ten bytes.
inline constexpr size_t kPlaceNumbersLength = 10;
void StorePlaceNumbers(const PlaceNumbers& numbers, char* out);
// A place whose numbers are those of its position texts (what
// PositionValue reads) keeps only its class letter and 'T': the numbers
// are read from the record's LATITUDE and LONGITUDE when a duplicate is
// looked for, and the index entry stays short.
void StorePlaceClass(char feature_class, char* out);
// From a place of the walk: its numbers field as the index entry holds it
// (trailing blanks removed), and for 'T' its position texts.
PlaceNumbers LoadPlaceNumbers(const StoredPlace& place);
// The number of a position text in ten-millionths of a degree, as
// StorePlaceNumbers keeps PositionValue's; INT32_MIN for no number.
int32_t PositionUnits(std::string_view text);

inline constexpr double kEarthRadiusMetres = 6371008.8;  // the mean radius
// The great-circle distance of two positions on the mean sphere.
double DistanceMetres(double lat1, double lon1, double lat2, double lon2);

// Places of the same name (as the index compares names) and the same class
// letter within `metres` of a place kept before them become that place:
// the first one read stays. Equal names meet in the walk as one run, in
// the order they were read; each run's kept places are looked up in a
// grid of cells twice `metres` wide, so a long run costs little more than
// a short one.
class DuplicateMerger final : public OrderedPlaceWriter {
 public:
  DuplicateMerger(OrderedPlaceWriter& next, double metres);
  ~DuplicateMerger() override;
  void Begin(uint64_t places) override;
  void Write(const StoredPlace& place) override;
  void End() override;
  uint64_t merged() const { return merged_; }
  std::string Report() const;

 private:
  struct Run;
  OrderedPlaceWriter& next_;
  std::unique_ptr<Run> run_;
  uint64_t merged_ = 0;
};

// The largest table 32-bit programs and several DBF readers open.
inline constexpr uint64_t kLargestOpenedTable = (uint64_t{1} << 31) - 1;
// The bytes of a name database of so many places.
uint64_t NamesTableBytes(uint64_t places);
std::string LargeTableWarning(uint64_t limit_bytes);

// Passes every place on; before the place that would take the table past
// the limit, the front end is warned once (the run goes on).
class TableSizeWatch final : public OrderedPlaceWriter {
 public:
  TableSizeWatch(OrderedPlaceWriter& next, BuildUi& ui, uint64_t limit_bytes)
      : next_(next), ui_(ui), limit_(limit_bytes) {}
  void Begin(uint64_t places) override { next_.Begin(places); }
  void Write(const StoredPlace& place) override {
    if (++written_ > allowed_ && !warned_) Warn();
    next_.Write(place);
  }
  void End() override { next_.End(); }
  bool warned() const { return warned_; }
  // The places a table of limit bytes holds.
  static uint64_t AllowedPlaces(uint64_t limit);

 private:
  void Warn();
  OrderedPlaceWriter& next_;
  BuildUi& ui_;
  uint64_t limit_;
  uint64_t allowed_ = AllowedPlaces(limit_);
  uint64_t written_ = 0;
  bool warned_ = false;
};

}  // namespace toponyx::pipeline
