// Writes an OpenStreetMap extract of realistic shape for bench/osm.sh, with
// libosmium's PBF writer:
//   gen_osm FILE.osm.pbf NODES WAYS [NODES_PER_UNNAMED_WAY [TAGGED_POINTS]]
// A quarter of the ways are named: streams (runs of four touching ways of
// one name, some with a waterway relation), lakes and forests (closed ways,
// some forests as multipolygons of two untagged rings) and, like most
// named ways of a real extract, streets that no place comes from. The
// other ways are unnamed roads and buildings of NODES_PER_UNNAMED_WAY nodes
// (default 9). The nodes the ways leave over stand alone: of the first
// TAGGED_POINTS of them (default all) a quarter are named villages, peaks
// and viewpoints and another quarter unnamed benches; the rest are
// untagged. Longer unnamed ways with the same TAGGED_POINTS make a larger
// file with the same chosen objects. Nodes, ways and relations follow each
// other sorted by id, and the header says so. Output is deterministic.
#include <cstdio>
#include <cstdlib>
#include <osmium/builder/attr.hpp>
#include <osmium/io/pbf_output.hpp>
#include <osmium/io/writer.hpp>
#include <string>
#include <vector>

#include "bench/common/Random.h"

namespace {

using namespace osmium::builder::attr;  // NOLINT

constexpr int kNamedNodesPerWay = 9;  // nodes of each named way

enum class Kind { kStream, kLake, kForest, kStreet, kRoad, kBuilding };

// The way's kind: a quarter are named (streams come in runs of four).
Kind KindOf(uint64_t way) {
  if (way % 4 != 0) return way % 3 == 0 ? Kind::kBuilding : Kind::kRoad;
  switch ((way / 4) % 10) {
    case 0:
    case 1:
    case 2:
    case 3:
      return Kind::kStream;
    case 4:
    case 5:
      return Kind::kLake;
    case 6:
    case 7:
      return Kind::kForest;
    default:
      return Kind::kStreet;
  }
}
bool Named(Kind k) {
  return k == Kind::kStream || k == Kind::kLake || k == Kind::kForest || k == Kind::kStreet;
}
bool Closed(Kind k) {
  return k == Kind::kLake || k == Kind::kForest || k == Kind::kBuilding;
}

// Every 200th forest is a multipolygon of two untagged halves instead.
bool ForestRelation(uint64_t way) {
  return (way / 40) % 200 == 7;
}

class Extract {
 public:
  Extract(const char* path, uint64_t nodes, uint64_t ways, int unnamed_nodes,
          uint64_t tagged_points)
      : writer_(path, Header(), osmium::io::overwrite::allow),
        nodes_(nodes),
        ways_(ways),
        unnamed_nodes_(unnamed_nodes),
        tagged_points_(tagged_points) {}

  void Write() {
    // Nodes: those of each way in turn, around a place of its own, then the
    // ones left standing alone.
    uint64_t id = 0;
    for (uint64_t w = 1; w <= ways_ && id < nodes_; ++w) {
      toponyx::bench::Random r(w * 0x9E3779B97F4A7C15ULL);
      double lon = 5 + r.Uniform() * 10, lat = 45 + r.Uniform() * 10;
      const int n = NodesOf(w);
      for (int i = 0; i < n && id < nodes_; ++i) {
        Node(++id, _location(lon, lat));
        lon += (r.Uniform() - 0.3) * 1e-3;
        lat += (r.Uniform() - 0.3) * 1e-3;
      }
      Flush();
    }
    ways_written_ = 0;
    last_way_node_ = id;
    toponyx::bench::Random r(12345);
    static const char* const kPlaces[] = {"place", "village", "natural",
                                          "peak",  "tourism", "viewpoint"};
    for (uint64_t point = 0; id < nodes_; ++point) {
      const osmium::Location at(5 + r.Uniform() * 10, 45 + r.Uniform() * 10);
      ++id;
      if (point >= tagged_points_) {
        Node(id, _location(at));
      } else if (point % 4 == 0) {
        const int k = static_cast<int>(point / 4 % 3) * 2;
        Node(id, _location(at), _tag(kPlaces[k], kPlaces[k + 1]),
             _tag("name", NameOf("Point", point)));
      } else if (point % 4 == 1) {
        Node(id, _location(at), _tag("amenity", "bench"));
      } else {
        Node(id, _location(at));
      }
      Flush();
    }
    // Ways, over the nodes written for them.
    uint64_t first = 0;
    osmium::object_id_type stream_end = 0;
    std::vector<osmium::object_id_type> refs;
    for (uint64_t w = 1; w <= ways_; ++w) {
      const int n = NodesOf(w);
      refs.clear();
      for (int i = 0; i < n; ++i)
        refs.push_back(static_cast<osmium::object_id_type>(first + 1 + i));
      const Kind kind = KindOf(w);
      // The streams of a run touch: each begins where the one before ended.
      if (kind == Kind::kStream) {
        if ((w / 4) % 10 != 0 && stream_end != 0) refs.front() = stream_end;
        stream_end = refs.back();
      }
      if (Closed(kind)) refs.back() = refs.front();
      first += n;
      if (first > last_way_node_) break;
      AddWay(w, kind, refs);
      Flush();
    }
    // Relations: the waterways of every 50th stream and the forests made of
    // two halves.
    uint64_t relation = 0;
    for (uint64_t w = 1; w <= ways_written_; ++w) {
      const Kind kind = KindOf(w);
      if (kind == Kind::kStream && (w / 4) % 10 == 0 && (w / 40) % 50 == 3) {
        std::vector<osmium::builder::attr::member_type> members;
        for (uint64_t m = w; m < w + 16 && m <= ways_written_; m += 4) {
          members.emplace_back(osmium::item_type::way, static_cast<osmium::object_id_type>(m));
        }
        Relation(++relation, _members(members), _tag("type", "waterway"),
                 _tag("waterway", "stream"), _tag("name", NameOf("Stream", w / 40)));
      } else if (kind == Kind::kForest && (w / 4) % 10 == 6 && ForestRelation(w) &&
                 w + 4 <= ways_written_) {
        Relation(
            ++relation,
            _members(
                {{osmium::item_type::way, static_cast<osmium::object_id_type>(w), "outer"},
                 {osmium::item_type::way, static_cast<osmium::object_id_type>(w + 4), "outer"}}),
            _tag("type", "multipolygon"), _tag("landuse", "forest"),
            _tag("name", NameOf("Forest", w)));
      }
      Flush();
    }
    writer_(std::move(buffer_));
    writer_.close();
  }

 private:
  static osmium::io::Header Header() {
    osmium::io::Header header;
    header.set("generator", "gen_osm");
    header.set("sorting", "Type_then_ID");
    return header;
  }

  // Objects with the metadata an extract carries (version, time, changeset;
  // no user names).
  template <class... Attributes>
  void Node(uint64_t id, Attributes&&... a) {
    osmium::builder::add_node(buffer_, _id(static_cast<osmium::object_id_type>(id)),
                              _version(Version(id)), _timestamp(Time(id)), _cid(Changeset(id)),
                              std::forward<Attributes>(a)...);
  }
  template <class... Attributes>
  void Way(uint64_t id, Attributes&&... a) {
    osmium::builder::add_way(buffer_, _id(static_cast<osmium::object_id_type>(id)),
                             _version(Version(id)), _timestamp(Time(id)), _cid(Changeset(id)),
                             std::forward<Attributes>(a)...);
  }
  template <class... Attributes>
  void Relation(uint64_t id, Attributes&&... a) {
    osmium::builder::add_relation(buffer_, _id(static_cast<osmium::object_id_type>(id)),
                                  _version(Version(id)), _timestamp(Time(id)), _cid(Changeset(id)),
                                  std::forward<Attributes>(a)...);
  }
  static uint64_t Hash(uint64_t id) { return id * 0x9E3779B97F4A7C15ULL; }
  static osmium::object_version_type Version(uint64_t id) {
    return static_cast<osmium::object_version_type>(1 + (Hash(id) >> 60));
  }
  static osmium::Timestamp Time(uint64_t id) {
    return osmium::Timestamp(static_cast<uint32_t>(1200000000 + (Hash(id) >> 20) % 500000000));
  }
  static osmium::changeset_id_type Changeset(uint64_t id) {
    return static_cast<osmium::changeset_id_type>(1 + (Hash(id) >> 30) % 100000000);
  }

  int NodesOf(uint64_t way) const {
    return Named(KindOf(way)) ? kNamedNodesPerWay : unnamed_nodes_;
  }

  static std::string NameOf(const char* what, uint64_t n) {
    static const char* const kParts[] = {"Alt",  "Berg", "Ober", "Unter", "Sankt", "Neu",
                                         "Wald", "Bach", "See",  "Brück", "Mühl",  "Hof"};
    return std::string(what) + " " + kParts[n % 12] + kParts[n / 12 % 12] + std::to_string(n);
  }

  void AddWay(uint64_t w, Kind kind, const std::vector<osmium::object_id_type>& refs) {
    ++ways_written_;
    const uint64_t id = w;
    const auto nodes = _nodes(refs);
    switch (kind) {
      case Kind::kStream:
        // A run of four shares its name.
        Way(id, nodes, _tag("waterway", "stream"), _tag("name", NameOf("Stream", w / 40)));
        break;
      case Kind::kLake:
        Way(id, nodes, _tag("natural", "water"), _tag("name", NameOf("Lake", w)));
        break;
      case Kind::kForest:
        if (ForestRelation(w)) {
          Way(id, nodes);
        } else {
          Way(id, nodes, _tag("landuse", "forest"), _tag("name", NameOf("Forest", w)));
        }
        break;
      case Kind::kStreet:
        Way(id, nodes, _tag("highway", "residential"), _tag("name", NameOf("Street", w)));
        break;
      case Kind::kRoad:
        Way(id, nodes, _tag("highway", "service"));
        break;
      case Kind::kBuilding:
        Way(id, nodes, _tag("building", "yes"));
        break;
    }
  }

  void Flush() {
    if (buffer_.committed() < (8u << 20)) return;
    writer_(std::move(buffer_));
    buffer_ = osmium::memory::Buffer(16u << 20, osmium::memory::Buffer::auto_grow::yes);
  }

  osmium::io::Writer writer_;
  osmium::memory::Buffer buffer_{16u << 20, osmium::memory::Buffer::auto_grow::yes};
  uint64_t nodes_, ways_;
  int unnamed_nodes_;
  uint64_t tagged_points_;
  uint64_t ways_written_ = 0;
  uint64_t last_way_node_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(
        stderr, "usage: gen_osm FILE.osm.pbf NODES WAYS [NODES_PER_UNNAMED_WAY [TAGGED_POINTS]]\n");
    return 2;
  }
  Extract extract(argv[1], std::strtoull(argv[2], nullptr, 10), std::strtoull(argv[3], nullptr, 10),
                  argc > 4 ? std::atoi(argv[4]) : 9,
                  argc > 5 ? std::strtoull(argv[5], nullptr, 10) : UINT64_MAX);
  extract.Write();
  return 0;
}
