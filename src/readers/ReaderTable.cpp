#include "readers/Readers.h"

namespace toponyx::readers {

const ReaderTable& DefaultReaders() {
  static const ReaderTable table{
      ReadUsaGnisTextFile, ReadUsaGnisPlain, ReadWorldGns,    ReadGeoNames,
      ReadOsGazetteer,     ReadWaypoints,    ReadToponyxText,
  };
  return table;
}

Reader ReaderTable::For(Format format) const {
  switch (format) {
    case Format::kUsaGnisText:
      return usa_gnis_text_file;
    case Format::kUsaGnisPlain:
      return usa_gnis_plain;
    case Format::kWorldGns:
      return world_gns;
    case Format::kGeoNames:
      return geonames;
    case Format::kOsGazetteer:
      return os_gazetteer;
    case Format::kWaypoints:
      return waypoints;
    case Format::kToponyxText:
      return toponyx_text;
    case Format::kUsaGnisColumns:
      return usa_gnis_columns;
    case Format::kOsOpenNames:
      return os_open_names;
    case Format::kGpx:
      return gpx;
    case Format::kOsOpenNamesHeader:
    case Format::kNone:
      break;
  }
  return nullptr;
}

}  // namespace toponyx::readers
