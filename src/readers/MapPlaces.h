// The places of map files and tables that people exchange (KML, GeoJSON,
// delimited tables): a name and a feature type as the source writes them
// (UTF-8, or ANSI where a table is), a position in WGS 84 degrees. The
// texts become ANSI with control characters as blanks (a name that runs
// over lines in XML becomes one line), the position is written in form C.
#pragma once

#include <string>
#include <string_view>

#include "readers/FullCodeCache.h"
#include "readers/Readers.h"

namespace toponyx::readers {

class MapPlaces {
 public:
  // `fallback_code` is the feature type of a place whose source gives none;
  // `collapse` makes every run of white space one blank (XML and JSON
  // texts, which are often laid out over lines).
  MapPlaces(ReaderRun& run, std::string_view fallback_code, bool collapse)
      : run_(run), fallback_(fallback_code), collapse_(collapse) {}

  // Adds the place unless its name is blank or its position is no
  // position on the globe. `utf8`: the texts are UTF-8 (else ANSI).
  // Returns whether it was added.
  bool Add(std::string_view name, std::string_view code, double lat, double lon, bool utf8);

 private:
  // text in ANSI, control characters made blanks, trimmed into out.
  void Clean(std::string_view text, bool utf8, std::string& out);

  ReaderRun& run_;
  std::string_view fallback_;
  bool collapse_;
  FullCodeCache codes_;
  std::string name_, decoded_, lat_, lon_;
};

}  // namespace toponyx::readers
