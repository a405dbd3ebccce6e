// A place as a reader hands it on: the texts the table will store, where it
// lies as numbers, and what its source says of it beyond the table's
// fields. Readers make places and never format table bytes; whatever stands
// between them and the table (a choice of area or of types, say) can ask a
// place where it is without reading text back.
#pragma once

#include <limits>
#include <span>
#include <string_view>

namespace toponyx::readers {

struct Place {
  // NAME, FULL_CODE and MAJOR_CODE as the table stores them (ANSI; cut to
  // the field when stored).
  std::string_view name = {};
  std::string_view full_code = {};
  std::string_view major_code = {};
  // WGS 84 decimal degrees, north and east positive; NaN where the source's
  // position text is no number (the record keeps the text all the same).
  double latitude = std::numeric_limits<double>::quiet_NaN();
  double longitude = std::numeric_limits<double>::quiet_NaN();
  // Set by readers whose positions are the source's own texts: the numbers
  // are those of the texts (PositionValue), reckoned by the place chain
  // before the first stage that reads them, and never when there is none.
  bool numbers_from_texts = false;
  // LATITUDE and LONGITUDE as the format's reader writes them: the
  // source's own text, or one of the program's position text forms.
  std::string_view latitude_text = {};
  std::string_view longitude_text = {};
  // The source's class letter (A P V L U R T H S, as world GNS files use
  // them) where the source has one, else 0.
  char feature_class = 0;
  // Further names the source gives the place (ANSI), where the run asked
  // for them (ReaderRun::want_alternate_names); empty otherwise.
  std::span<const std::string_view> alternate_names = {};
};

// Where places go, one at a time: the run's chain of place stages, whose
// last link stores them.
class PlaceSink {
 public:
  virtual ~PlaceSink() = default;
  virtual void Add(const Place& place) = 0;
};

// The number a position text stands for: a decimal number with an optional
// sign, blanks around it allowed; NaN for any other text ("UNKNOWN", "",
// "12abc").
double PositionValue(std::string_view text);

}  // namespace toponyx::readers
