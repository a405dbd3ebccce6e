// KML 2.2, as Earth browsers and web maps save places: every Placemark with
// a name is a place. A Point stands where it is, a LineString (or a
// LinearRing, a track of gx:coord points) at the point halfway along it, a
// Polygon at a point inside it (its holes left out); a MultiGeometry (or a
// gx:MultiTrack) by its first geometry that has a point. The full code is
// the name of the nearest enclosing Folder that has one, else "Placemark".
// Coordinates are "lon,lat[,alt]" tuples in WGS 84, as KML defines them.
// Namespace prefixes ("kml:", "gx:") are passed over; the file is parsed as
// a stream by expat, and what follows a fault in the XML is passed over.
// The KMZ row: a ZIP archive whose document (doc.kml, else its first .kml)
// staging expands and this reader reads.
#include <expat.h>

#include <string>
#include <string_view>
#include <vector>

#include "readers/Formats.h"
#include "readers/MapPlaces.h"
#include "readers/Readers.h"
#include "readers/Shapes.h"

namespace toponyx::readers {
namespace {

constexpr std::string_view kPlacemark = "Placemark";
// Names longer than this are cut (a name is no document).
constexpr size_t kMaxText = 4096;
// A coordinate tuple longer than this is no tuple.
constexpr size_t kMaxTuple = 96;

std::string_view LocalName(const XML_Char* name) {
  const std::string_view n(name);
  const size_t colon = n.rfind(':');
  return colon == std::string_view::npos ? n : n.substr(colon + 1);
}

bool IsXmlSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

class KmlReader {
 public:
  explicit KmlReader(ReaderRun& run) : places_(run, kPlacemark, true) {}

  void Parse(text::TextFile& file) {
    std::vector<char> block(256 * 1024);
    size_t n = file.ReadBytes(block.data(), block.size());
    XML_Parser parser = XML_ParserCreate(file.IsUtf8() ? "UTF-8" : nullptr);
    if (parser == nullptr) return;
    XML_SetUserData(parser, this);
    XML_SetElementHandler(parser, &KmlReader::Start, &KmlReader::End);
    XML_SetCharacterDataHandler(parser, &KmlReader::Text);
    try {
      for (;;) {
        const bool last = n == 0;
        if (XML_Parse(parser, block.data(), static_cast<int>(n), last) == XML_STATUS_ERROR ||
            last) {
          break;
        }
        n = file.ReadBytes(block.data(), block.size());
      }
    } catch (...) {
      XML_ParserFree(parser);  // a cancelled run stops here
      throw;
    }
    XML_ParserFree(parser);
    while (!file.Eof()) file.ReadBytes(block.data(), block.size());  // the rest passed over
  }

 private:
  enum class Capture { kNone, kPlacemarkName, kFolderName, kCoordinates, kTrackCoord };

  struct Folder {
    int depth;
    std::string name;
  };

  static void Start(void* self, const XML_Char* name, const XML_Char**) {
    static_cast<KmlReader*>(self)->OnStart(LocalName(name));
  }
  static void End(void* self, const XML_Char* name) {
    static_cast<KmlReader*>(self)->OnEnd(LocalName(name));
  }
  static void Text(void* self, const XML_Char* s, int len) {
    static_cast<KmlReader*>(self)->OnText(std::string_view(s, static_cast<size_t>(len)));
  }

  static bool IsGeometry(std::string_view e) {
    return e == "Point" || e == "LineString" || e == "LinearRing" || e == "Polygon" || e == "Track";
  }

  void OnStart(std::string_view element) {
    ++depth_;
    if (placemark_depth_ == 0) {
      if (element == "Folder") {
        folders_.push_back({depth_, {}});
      } else if (element == kPlacemark) {
        placemark_depth_ = depth_;
        name_.clear();
        have_point_ = false;
        geometry_depth_ = 0;
      } else if (element == "name" && !folders_.empty() && folders_.back().depth == depth_ - 1) {
        folders_.back().name.clear();
        capture_ = Capture::kFolderName;
      }
      return;
    }
    if (depth_ == placemark_depth_ + 1 && element == "name") {
      name_.clear();
      capture_ = Capture::kPlacemarkName;
    } else if (geometry_depth_ == 0) {
      if (!have_point_ && IsGeometry(element)) {
        geometry_depth_ = depth_;
        kind_ = element == "Point"     ? ShapePoints::Kind::kPoint
                : element == "Polygon" ? ShapePoints::Kind::kArea
                                       : ShapePoints::Kind::kLine;
        shape_.Clear();
      }
    } else if (element == "coordinates") {
      shape_.StartRing();  // each LinearRing of a polygon has its own
      tuple_.clear();
      capture_ = Capture::kCoordinates;
    } else if (element == "coord") {
      tuple_.clear();
      capture_ = Capture::kTrackCoord;
    }
  }

  void OnEnd(std::string_view element) {
    switch (capture_) {
      case Capture::kCoordinates:
        Tuple();
        break;
      case Capture::kTrackCoord:
        TrackCoord();
        break;
      default:
        break;
    }
    capture_ = Capture::kNone;
    if (placemark_depth_ != 0) {
      if (depth_ == geometry_depth_) {
        double lat, lon;
        if (shape_.Where(kind_, lat, lon)) {
          have_point_ = true;
          lat_ = lat;
          lon_ = lon;
        }
        geometry_depth_ = 0;
      } else if (depth_ == placemark_depth_ && element == kPlacemark) {
        if (have_point_) places_.Add(name_, FolderName(), lat_, lon_, true);
        placemark_depth_ = 0;
      }
    } else if (!folders_.empty() && folders_.back().depth == depth_ && element == "Folder") {
      folders_.pop_back();
    }
    --depth_;
  }

  // The name of the nearest enclosing folder that has one.
  std::string_view FolderName() const {
    for (auto f = folders_.rbegin(); f != folders_.rend(); ++f) {
      for (const char c : f->name) {
        if (!IsXmlSpace(c)) return f->name;
      }
    }
    return {};
  }

  void OnText(std::string_view s) {
    switch (capture_) {
      case Capture::kNone:
        return;
      case Capture::kPlacemarkName:
        Keep(name_, s);
        return;
      case Capture::kFolderName:
        Keep(folders_.back().name, s);
        return;
      case Capture::kTrackCoord:
        if (tuple_.size() < kMaxTuple) tuple_.append(s.substr(0, kMaxTuple - tuple_.size()));
        return;
      case Capture::kCoordinates:
        // Tuples are separated by white space and may be cut between two
        // calls: a tuple is read when the space after it (or the element's
        // end) comes.
        for (const char c : s) {
          if (IsXmlSpace(c)) {
            Tuple();
          } else if (tuple_.size() <= kMaxTuple) {
            tuple_.push_back(c);
          }
        }
        return;
    }
  }

  static void Keep(std::string& text, std::string_view s) {
    if (text.size() < kMaxText) text.append(s.substr(0, kMaxText - text.size()));
  }

  // "lon,lat[,alt]".
  void Tuple() {
    if (tuple_.empty()) return;
    if (tuple_.size() <= kMaxTuple) {
      const std::string_view t = tuple_;
      const size_t comma = t.find(',');
      if (comma != std::string_view::npos) {
        const size_t next = t.find(',', comma + 1);
        shape_.Add(PositionValue(t.substr(0, comma)),
                   PositionValue(t.substr(comma + 1, next == std::string_view::npos
                                                         ? std::string_view::npos
                                                         : next - comma - 1)));
      }
    }
    tuple_.clear();
  }

  // gx:coord: "lon lat alt".
  void TrackCoord() {
    std::string_view t = tuple_, numbers[2];
    int count = 0;
    while (count < 2) {
      while (!t.empty() && IsXmlSpace(t.front())) t.remove_prefix(1);
      if (t.empty()) break;
      size_t end = 0;
      while (end < t.size() && !IsXmlSpace(t[end])) ++end;
      numbers[count++] = t.substr(0, end);
      t.remove_prefix(end);
    }
    if (count == 2) shape_.Add(PositionValue(numbers[0]), PositionValue(numbers[1]));
    tuple_.clear();
  }

  MapPlaces places_;
  int depth_ = 0;
  int placemark_depth_ = 0;  // depth of the open Placemark, 0 outside one
  int geometry_depth_ = 0;   // depth of the geometry being read, 0 outside one
  std::vector<Folder> folders_;
  Capture capture_ = Capture::kNone;
  std::string name_, tuple_;
  ShapePoints shape_;
  ShapePoints::Kind kind_ = ShapePoints::Kind::kPoint;
  bool have_point_ = false;  // the placemark's position is known
  double lat_ = 0, lon_ = 0;
};

void ReadKml(ReaderInput& in, ReaderRun& run) {
  KmlReader reader(run);
  reader.Parse(in.file);
}

Claim RecogniseByExtension(Probe&, Detection&) {
  return Claim::kYes;
}

}  // namespace

const FormatRow kKmlFormat{
    .name = "KML",
    .extensions = ".kml",
    .recognise = RecogniseByExtension,
    .reader = ReadKml,
    .help_anchor = "places.html#kml",
    .summary = "KML placemarks (.kml)",
};

const FormatRow kKmzFormat{
    .name = "KMZ",
    .extensions = ".kmz",
    .container = Container::kZip,
    .document = ".kml",
    .help_anchor = "places.html#kml",
    .summary = "KMZ archives of KML placemarks (.kmz)",
};

}  // namespace toponyx::readers
