// GeoJSON (a FeatureCollection or a Feature) and GeoJSON text sequences
// (one feature after another, each after a record separator or on a line
// of its own), as web maps and open-data portals hand them out: every
// feature with a name property ("name", else "NAME", "Name", "title") is a
// place. Its geometry gives its position as a KML placemark's does (a
// point where it is, a line halfway along it, a polygon at a point inside
// it, a Multi... geometry or a GeometryCollection by its first geometry);
// the full code is the first of the properties "type", "class", "category",
// "feature_class" and "fclass" that the feature has, else "Feature".
// Positions are [longitude, latitude] in WGS 84, as GeoJSON defines them.
//
// The file is parsed as a stream by RapidJSON's SAX reader: memory holds
// one feature's texts and the points of its geometry (see Shapes.h), never
// the file. A text that breaks off is left at the next line or record
// separator, where the reading goes on.
#include <rapidjson/error/error.h>
#include <rapidjson/memorystream.h>
#include <rapidjson/reader.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "readers/Formats.h"
#include "readers/MapPlaces.h"
#include "readers/Readers.h"
#include "readers/Shapes.h"

namespace toponyx::readers {
namespace {

constexpr std::string_view kFeatureType = "Feature";
// Texts longer than this are cut (a name is no document).
constexpr size_t kMaxText = 4096;
// Nesting deeper than this is no GeoJSON: the text is given up (and the
// parser's own stack stays small).
constexpr int kMaxDepth = 128;
constexpr char kRecordSeparator = '\x1E';

// The file's text for RapidJSON, block by block from the open input (its
// byte-order mark passed over, UTF-16 arriving as UTF-8). A record
// separator reads as white space. Peek() gives '\0' at the end.
class BlockStream {
 public:
  using Ch = char;
  explicit BlockStream(text::TextFile& file) : file_(file), block_(256 * 1024) { Next(); }

  Ch Peek() const { return *at_; }
  Ch Take() {
    if (at_ == &nul_) return '\0';  // the end stays the end
    const Ch c = *at_;
    if (++at_ == end_) Next();
    return c;
  }
  size_t Tell() const { return static_cast<size_t>(taken_ + static_cast<uint64_t>(at_ - start_)); }
  // True when every byte has been taken.
  bool AtEnd() const { return at_ == &nul_; }

  // Unused: the reader does not parse in place.
  Ch* PutBegin() { return nullptr; }
  void Put(Ch) {}
  void Flush() {}
  size_t PutEnd(Ch*) { return 0; }

 private:
  void Next() {
    taken_ += static_cast<uint64_t>(end_ - start_);
    const size_t n = at_ == &nul_ ? 0 : file_.ReadBytes(block_.data(), block_.size());
    if (n == 0) {
      start_ = at_ = end_ = &nul_;
      return;
    }
    for (size_t i = 0; i < n; ++i) {
      if (block_[i] == kRecordSeparator) block_[i] = ' ';
    }
    start_ = at_ = block_.data();
    end_ = start_ + n;
  }

  text::TextFile& file_;
  std::vector<char> block_;
  char nul_ = '\0';
  const char* start_ = &nul_;
  const char* at_ = nullptr;
  const char* end_ = &nul_;
  uint64_t taken_ = 0;
};

// What a member of an object is to the reader.
enum class Role : uint8_t {
  kIgnored,
  kFeature,      // a top-level object, or an object of its "features"
  kFeatures,     // the "features" of a top-level object
  kProperties,   // a feature's "properties"
  kGeometry,     // a feature's "geometry", or one of a collection's "geometries"
  kGeometries,   // a GeometryCollection's "geometries"
  kCoordinates,  // a geometry's "coordinates", at any depth
};

enum class Member : uint8_t {
  kOther,
  kType,
  kFeatures,
  kProperties,
  kGeometry,
  kGeometries,
  kCoordinates,
};

enum class Shape : uint8_t {
  kUnknown,
  kPoint,
  kMultiPoint,
  kLineString,
  kMultiLineString,
  kPolygon,
  kMultiPolygon,
  kOther,
};

Shape ShapeOf(std::string_view type) {
  if (type == "Point") return Shape::kPoint;
  if (type == "MultiPoint") return Shape::kMultiPoint;
  if (type == "LineString") return Shape::kLineString;
  if (type == "MultiLineString") return Shape::kMultiLineString;
  if (type == "Polygon") return Shape::kPolygon;
  if (type == "MultiPolygon") return Shape::kMultiPolygon;
  return Shape::kOther;
}

// The rank of a property among the names (and the codes); 0 for none.
int NameRank(std::string_view key) {
  return key == "name" ? 1 : key == "NAME" ? 2 : key == "Name" ? 3 : key == "title" ? 4 : 0;
}
int CodeRank(std::string_view key) {
  return key == "type"            ? 1
         : key == "class"         ? 2
         : key == "category"      ? 3
         : key == "feature_class" ? 4
         : key == "fclass"        ? 5
                                  : 0;
}

// One feature as it streams past.
struct FeatureState {
  bool is_feature = false;  // "type": "Feature"
  bool have_point = false;
  double lat = 0, lon = 0;
  int name_rank = 0, code_rank = 0;
  std::string name, code;
  void Clear() {
    is_feature = have_point = false;
    name_rank = code_rank = 0;
    name.clear();
    code.clear();
  }
};

class GeoJsonHandler : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, GeoJsonHandler> {
 public:
  explicit GeoJsonHandler(ReaderRun& run) : places_(run, kFeatureType, true) {}

  // A new JSON text.
  void Reset() {
    frames_.clear();
    key_ = Member::kOther;
    property_rank_ = 0;
  }

  bool StartObject() {
    Role role = Role::kIgnored;
    if (frames_.empty()) {
      role = Role::kFeature;
    } else {
      const Frame& parent = frames_.back();
      if (parent.role == Role::kFeatures) {
        role = Role::kFeature;
      } else if (parent.role == Role::kFeature && key_ == Member::kProperties) {
        role = Role::kProperties;
      } else if ((parent.role == Role::kFeature && key_ == Member::kGeometry) ||
                 parent.role == Role::kGeometries) {
        role = Role::kGeometry;
      }
    }
    if (role == Role::kFeature) SlotAt(frames_.size()).Clear();
    return Push(role);
  }

  bool Key(const char* s, rapidjson::SizeType length, bool) {
    const std::string_view k(s, length);
    key_ = Member::kOther;
    property_rank_ = 0;
    switch (frames_.back().role) {
      case Role::kFeature:
        key_ = k == "type"         ? Member::kType
               : k == "features"   ? Member::kFeatures
               : k == "properties" ? Member::kProperties
               : k == "geometry"   ? Member::kGeometry
                                   : Member::kOther;
        break;
      case Role::kGeometry:
        key_ = k == "type"          ? Member::kType
               : k == "coordinates" ? Member::kCoordinates
               : k == "geometries"  ? Member::kGeometries
                                    : Member::kOther;
        break;
      case Role::kProperties:
        // A name as -rank, a code as +rank.
        if (const int rank = NameRank(k)) {
          property_rank_ = -rank;
        } else if (const int code = CodeRank(k)) {
          property_rank_ = code;
        }
        break;
      default:
        break;
    }
    return true;
  }

  bool EndObject(rapidjson::SizeType) {
    const Frame frame = frames_.back();
    frames_.pop_back();
    if (frame.role == Role::kGeometry) {
      GeometryEnd(frame);
    } else if (frame.role == Role::kFeature) {
      FeatureState& f = SlotAt(frames_.size());
      if (f.is_feature && f.have_point) places_.Add(f.name, f.code, f.lat, f.lon, true);
    }
    return true;
  }

  bool StartArray() {
    Role role = Role::kIgnored;
    if (!frames_.empty()) {
      Frame& parent = frames_.back();
      if (parent.role == Role::kFeature && key_ == Member::kFeatures && frames_.size() == 1) {
        role = Role::kFeatures;
      } else if (parent.role == Role::kGeometry && key_ == Member::kGeometries) {
        role = Role::kGeometries;
      } else if (parent.role == Role::kGeometry && key_ == Member::kCoordinates) {
        role = Role::kCoordinates;
        // The points are the latest geometry's.
        shape_.Clear();
        shape_owner_ = frames_.size();
        position_depth_ = -1;
        coordinates_base_ = frames_.size();
        part_ = {-1, -1};
      } else if (parent.role == Role::kCoordinates) {
        role = Role::kCoordinates;
        ++parent.count;
      }
    }
    if (!Push(role)) return false;
    if (role == Role::kCoordinates) {
      Frame& f = frames_.back();
      f.index = frames_.size() - 1 > coordinates_base_ ? frames_[frames_.size() - 2].count - 1 : 0;
      numbers_ = 0;
    }
    return true;
  }

  bool EndArray(rapidjson::SizeType) {
    const Frame frame = frames_.back();
    frames_.pop_back();
    if (frame.role == Role::kCoordinates) PositionEnd();
    return true;
  }

  bool String(const char* s, rapidjson::SizeType length, bool) {
    Scalar(std::string_view(s, length), false);
    return true;
  }
  bool RawNumber(const char* s, rapidjson::SizeType length, bool) {
    Scalar(std::string_view(s, length), true);
    return true;
  }
  bool Default() {  // null, true, false
    key_ = Member::kOther;
    property_rank_ = 0;
    return true;
  }

 private:
  struct Frame {
    Role role;
    Shape shape = Shape::kUnknown;  // of a geometry
    int count = 0;                  // arrays of a coordinates array so far
    int index = 0;                  // a coordinates array's place in its parent
  };

  bool Push(Role role) {
    if (frames_.size() >= kMaxDepth) return false;  // no GeoJSON: the text is given up
    frames_.push_back(Frame{role});
    key_ = Member::kOther;
    property_rank_ = 0;
    return true;
  }

  // The state of the feature whose object is frames_[index]: the
  // top-level one, or one of its "features".
  FeatureState& SlotAt(size_t index) { return index == 0 ? top_ : inner_; }
  // The feature that holds the innermost frame.
  FeatureState* Holder() {
    for (size_t i = frames_.size(); i-- > 0;) {
      if (frames_[i].role == Role::kFeature) return &SlotAt(i);
    }
    return nullptr;
  }

  void Scalar(std::string_view value, bool number) {
    if (frames_.empty()) return;
    Frame& frame = frames_.back();
    switch (frame.role) {
      case Role::kFeature:
        if (key_ == Member::kType && !number) {
          SlotAt(frames_.size() - 1).is_feature = value == kFeatureType;
        }
        break;
      case Role::kGeometry:
        if (key_ == Member::kType && !number) frame.shape = ShapeOf(value);
        break;
      case Role::kProperties:
        if (property_rank_ != 0) Property(value);
        break;
      case Role::kCoordinates:
        if (number) Number(value);
        break;
      default:
        break;
    }
    key_ = Member::kOther;
    property_rank_ = 0;
  }

  void Property(std::string_view value) {
    FeatureState* f = Holder();
    if (f == nullptr) return;
    const int rank = property_rank_ < 0 ? -property_rank_ : property_rank_;
    int& held = property_rank_ < 0 ? f->name_rank : f->code_rank;
    if (held != 0 && held <= rank) return;
    // A blank value counts as none.
    bool blank = true;
    for (const char c : value) blank = blank && (c == ' ' || c == '\t' || c == '\n' || c == '\r');
    if (blank) return;
    held = rank;
    (property_rank_ < 0 ? f->name : f->code).assign(value.substr(0, kMaxText));
  }

  void Number(std::string_view value) {
    const int depth = static_cast<int>(frames_.size() - coordinates_base_) - 1;
    if (position_depth_ < 0) position_depth_ = depth;
    if (depth != position_depth_ || numbers_ >= 2) {
      ++numbers_;
      return;
    }
    position_[numbers_++] = PositionValue(value);
  }

  // The end of an array of coordinates: a position, when it held numbers.
  void PositionEnd() {
    const int depth = static_cast<int>(frames_.size() - coordinates_base_);
    if (depth != position_depth_ || numbers_ < 2) {
      numbers_ = 0;
      return;
    }
    numbers_ = 0;
    // Where the position stands: its polygon (of a MultiPolygon) and its
    // ring (of a polygon) or part (of a MultiLineString).
    int polygon = 0, ring = 0;
    if (position_depth_ == 3) {
      polygon = frames_[coordinates_base_ + 1].index;
      ring = frames_[coordinates_base_ + 2].index;
    } else if (position_depth_ == 2) {
      ring = frames_[coordinates_base_ + 1].index;
    }
    if (polygon != 0) return;  // a MultiPolygon is read by its first polygon
    if (ring != part_.second) {
      shape_.StartRing();
      part_ = {polygon, ring};
    }
    shape_.Add(position_[0], position_[1]);
  }

  void GeometryEnd(const Frame& frame) {
    FeatureState* f = Holder();
    if (f == nullptr || f->have_point || shape_owner_ != frames_.size() + 1) return;
    shape_owner_ = 0;
    ShapePoints::Kind kind;
    int depth;  // the depth of positions in the coordinates
    switch (frame.shape) {
      case Shape::kPoint:
        kind = ShapePoints::Kind::kPoint, depth = 0;
        break;
      case Shape::kMultiPoint:
        kind = ShapePoints::Kind::kPoint, depth = 1;
        break;
      case Shape::kLineString:
        kind = ShapePoints::Kind::kLine, depth = 1;
        break;
      case Shape::kMultiLineString:
        kind = ShapePoints::Kind::kLine, depth = 2;
        break;
      case Shape::kPolygon:
        kind = ShapePoints::Kind::kArea, depth = 2;
        break;
      case Shape::kMultiPolygon:
        kind = ShapePoints::Kind::kArea, depth = 3;
        break;
      default:
        return;
    }
    double lat, lon;
    if (depth == position_depth_ && shape_.Where(kind, lat, lon)) {
      f->have_point = true;
      f->lat = lat;
      f->lon = lon;
    }
  }

  MapPlaces places_;
  std::vector<Frame> frames_;
  Member key_ = Member::kOther;
  int property_rank_ = 0;  // the property being read: -rank of a name, +rank of a code
  FeatureState top_, inner_;
  // The points of the latest "coordinates" and where they stand.
  ShapePoints shape_;
  size_t shape_owner_ = 0;       // depth of the geometry they belong to (0: none)
  size_t coordinates_base_ = 0;  // frames below the outermost coordinates array
  int position_depth_ = -1;      // arrays around a position's array, -1 until known
  std::pair<int, int> part_ = {-1, -1};
  int numbers_ = 0;
  double position_[2] = {0, 0};
};

constexpr unsigned kParseFlags = rapidjson::kParseStopWhenDoneFlag |
                                 rapidjson::kParseNumbersAsStringsFlag |
                                 rapidjson::kParseNanAndInfFlag;

void ReadGeoJson(ReaderInput& in, ReaderRun& run) {
  GeoJsonHandler handler(run);
  BlockStream stream(in.file);
  rapidjson::Reader reader;
  for (;;) {
    while (!stream.AtEnd() && (stream.Peek() == ' ' || stream.Peek() == '\n' ||
                               stream.Peek() == '\r' || stream.Peek() == '\t')) {
      stream.Take();
    }
    if (stream.AtEnd()) break;
    handler.Reset();
    if (!reader.Parse<kParseFlags>(stream, handler).IsError()) continue;
    // The rest of a broken text is passed over up to the next line.
    while (!stream.AtEnd() && stream.Peek() != '\n' && stream.Peek() != '\r') stream.Take();
  }
}

// Whether a ".json" file's top-level object is a FeatureCollection or a
// Feature: its "type", or a "features" array, within the first block.
class SniffHandler : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, SniffHandler> {
 public:
  bool geojson = false;

  bool StartObject() { return Open(true); }
  bool StartArray() { return Open(false); }
  bool EndObject(rapidjson::SizeType) { return Close(); }
  bool EndArray(rapidjson::SizeType) { return Close(); }
  bool Key(const char* s, rapidjson::SizeType length, bool) {
    key_ = depth_ == 1 ? std::string_view(s, length) : std::string_view();
    key_type_ = key_ == "type";
    key_features_ = key_ == "features";
    return true;
  }
  bool String(const char* s, rapidjson::SizeType length, bool) {
    if (depth_ == 1 && key_type_) {
      const std::string_view type(s, length);
      geojson = type == "FeatureCollection" || type == kFeatureType;
      return false;  // decided
    }
    key_type_ = key_features_ = false;
    return true;
  }
  bool Default() {
    key_type_ = key_features_ = false;
    return depth_ > 0;
  }

 private:
  bool Open(bool object) {
    if (depth_ == 0 && !object) return false;  // no object: no GeoJSON
    if (depth_ == 1 && key_features_ && !object) {
      geojson = true;
      return false;
    }
    key_type_ = key_features_ = false;
    ++depth_;
    return depth_ < kMaxDepth;
  }
  bool Close() {
    --depth_;
    return depth_ > 0;
  }
  std::string_view key_;
  bool key_type_ = false, key_features_ = false;
  int depth_ = 0;
};

Claim RecogniseGeoJson(Probe& probe, Detection&) {
  if (LowerExtension(probe.name()) != ".json") return Claim::kYes;
  std::vector<char> head(64 * 1024);
  size_t n = 0;
  while (n < head.size()) {
    const size_t got = probe.file().ReadBytes(head.data() + n, head.size() - n);
    if (got == 0) break;
    n += got;
  }
  probe.file().Rewind();
  rapidjson::MemoryStream stream(head.data(), n);
  SniffHandler sniff;
  rapidjson::Reader reader;
  reader.Parse<kParseFlags>(stream, sniff);
  return sniff.geojson ? Claim::kYes : Claim::kNo;
}

}  // namespace

const FormatRow kGeoJsonFormat{
    .name = "GeoJSON",
    .extensions = ".geojson;.json;.geojsons;.geojsonl",
    .recognise = RecogniseGeoJson,
    .reader = ReadGeoJson,
    .help_anchor = "places.html#geojson",
    .summary = "GeoJSON features (.geojson, .json) and feature sequences (.geojsons, .geojsonl)",
};

}  // namespace toponyx::readers
