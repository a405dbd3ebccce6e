// OpenStreetMap extracts (.osm.pbf, .osm, .osm.bz2): every object with a
// name whose tags the code list knows (OsmCodes.list) is a place, nodes,
// ways and relations alike, with the code list's FULL_CODE and class, at
// one label point (readers/OsmGeometry.h). Rivers, streams and canals are
// one place per waterway: a waterway relation, or the ways of one name
// that touch. An open way of a boundary is a stretch of a border line and
// gives none (its area is a relation).
//
// The memory grows with the chosen objects, never with the file: no store
// of every node's position (a planet file has billions). Three passes:
//   1. relations: the chosen multipolygons, boundaries and waterways, and
//      the ids of their member ways;
//   2. ways: the chosen ways, and the node ids of them and of the member
//      ways;
//   3. nodes: the chosen nodes become places at once, and the positions of
//      the nodes the ways need are kept.
// The ways and relations then become places at their label points. Passes
// 2 and 3 end where a file sorted by type and id (as its header says) has
// no more of what they read. A damaged or cut file ends each pass at the
// damage: what came before it is kept, and the file is named in the run's
// warnings.
#include <algorithm>
#include <cstring>
#include <deque>
#include <limits>
#include <memory>
#include <new>
#include <osmium/osm/location.hpp>
#include <osmium/osm/node.hpp>
#include <osmium/osm/relation.hpp>
#include <osmium/osm/way.hpp>
#include <osmium/thread/pool.hpp>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/Error.h"
#include "readers/Formats.h"
#include "readers/OsmCodes.h"
#include "readers/OsmGeometry.h"
#include "readers/OsmStream.h"
#include "readers/PlaceRecord.h"
#include "readers/Readers.h"
#include "text/CodePage.h"
#include "text/Text.h"

namespace toponyx::readers {
namespace {

constexpr size_t kAbsent = std::numeric_limits<size_t>::max();

// A sorted set of ids, asked mostly in ascending order (as sorted files
// give them): a cursor follows the questions, and a jump ahead or back is
// a binary search.
class IdIndex {
 public:
  void Build(std::vector<int64_t> ids) {
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    ids_ = std::move(ids);
    cursor_ = 0;
    last_ = std::numeric_limits<int64_t>::min();
  }
  size_t size() const { return ids_.size(); }

  // The id's place in the set, or kAbsent.
  size_t Find(int64_t id) {
    if (ids_.empty()) return kAbsent;
    // The cursor stands at the first id not below the id asked before.
    if (id < last_) cursor_ = 0;
    last_ = id;
    // A few steps ahead, else a search of the rest.
    size_t steps = 0;
    while (cursor_ < ids_.size() && ids_[cursor_] < id && steps < 8) {
      ++cursor_;
      ++steps;
    }
    if (cursor_ < ids_.size() && ids_[cursor_] < id) {
      cursor_ = static_cast<size_t>(
          std::lower_bound(ids_.begin() + static_cast<ptrdiff_t>(cursor_), ids_.end(), id) -
          ids_.begin());
    }
    return cursor_ < ids_.size() && ids_[cursor_] == id ? cursor_ : kAbsent;
  }

 private:
  std::vector<int64_t> ids_;
  size_t cursor_ = 0;
  int64_t last_ = std::numeric_limits<int64_t>::min();
};

// Bytes kept in blocks of a mebibyte that never move: what is kept grows
// without copies of all of it and without room kept for twice as much.
class BlockStore {
 public:
  static constexpr size_t kBlock = size_t{1} << 20;

  // Keeps n bytes (at most kBlock) in one piece; returns where.
  uint64_t Add(const void* data, size_t n) {
    if (kBlock - used_ < n) {
      blocks_.push_back(std::make_unique_for_overwrite<uint8_t[]>(kBlock));
      used_ = 0;
    }
    const uint64_t at = (blocks_.size() - 1) * kBlock + used_;
    std::memcpy(blocks_.back().get() + used_, data, n);
    used_ += n;
    return at;
  }
  const uint8_t* At(uint64_t at) const { return blocks_[at / kBlock].get() + at % kBlock; }

 private:
  std::vector<std::unique_ptr<uint8_t[]>> blocks_;
  size_t used_ = kBlock;  // of the last block
};

// The node ids of ways, each way's as differences from the id before,
// zigzag-coded in base-128 digits: neighbouring nodes have near ids, so
// most take one or two bytes instead of eight.
class RefStore {
 public:
  struct Range {
    uint64_t at = 0;
    uint32_t count = 0;
  };

  Range Add(const osmium::WayNodeList& nodes) {
    // A way has at most a few thousand nodes (2,000 by the rules of the
    // map); longer ones keep their first nodes, as much as a block holds.
    const size_t count = std::min<size_t>(nodes.size(), BlockStore::kBlock / 10);
    scratch_.clear();
    int64_t before = 0;
    for (size_t i = 0; i < count; ++i) {
      const int64_t ref = nodes[i].ref();
      const uint64_t delta = static_cast<uint64_t>(ref) - static_cast<uint64_t>(before);
      before = ref;
      uint64_t zigzag = (delta << 1) ^ (static_cast<int64_t>(delta) < 0 ? ~uint64_t{0} : 0);
      while (zigzag >= 0x80) {
        scratch_.push_back(static_cast<uint8_t>(zigzag | 0x80));
        zigzag >>= 7;
      }
      scratch_.push_back(static_cast<uint8_t>(zigzag));
    }
    return Range{bytes_.Add(scratch_.data(), scratch_.size()), static_cast<uint32_t>(count)};
  }

  template <class Each>
  void ForEach(Range range, const Each& each) const {
    if (range.count == 0) return;
    const uint8_t* p = bytes_.At(range.at);
    int64_t id = 0;
    for (uint32_t i = 0; i < range.count; ++i) {
      uint64_t zigzag = 0;
      for (int shift = 0;; shift += 7) {
        const uint8_t byte = *p++;
        zigzag |= uint64_t{byte & 0x7fu} << shift;
        if (byte < 0x80) break;
      }
      const uint64_t delta = (zigzag >> 1) ^ (~(zigzag & 1) + 1);
      id = static_cast<int64_t>(static_cast<uint64_t>(id) + delta);
      each(id);
    }
  }

 private:
  BlockStore bytes_;
  std::vector<uint8_t> scratch_;
};

// The names of a chosen way or relation, kept in the reader's text store
// as one record: the name's length (a byte) and bytes, the number of
// further names, and each of those the same way.
constexpr size_t kMaxText = 255;  // bytes of a name kept (the table keeps 45)
constexpr size_t kMaxAlternates = 255;

struct ChosenRelation {
  uint64_t names = 0;
  size_t members_at = 0;  // its member ways in member_ids_
  uint32_t members = 0;
  uint8_t row = 0;
  bool waterway = false;  // a line (type=waterway), else an area
};

// 24 bytes a way: a planet has millions.
struct ChosenWay {
  uint64_t names = 0;
  uint64_t refs_at = 0;  // its node ids: RefStore::Range{refs_at, refs}
  uint32_t refs = 0;
  uint8_t row = 0;
  bool merge = false;  // a river, stream or canal: merged with the touching ways of its name
  RefStore::Range Refs() const { return {refs_at, refs}; }
};

// The keys of the further names, in the order they are taken, before the
// "name:<language>" of the run's languages.
constexpr std::string_view kAlternateKeys[] = {"alt_name", "old_name", "official_name", "loc_name",
                                               "short_name"};

constexpr int kPasses = 3;

class OsmReader {
 public:
  OsmReader(ReaderRun& run, std::string path, OsmEncoding encoding)
      : run_(run),
        codes_(DefaultOsmCodes()),
        path_(std::move(path)),
        encoding_(encoding),
        noted_(codes_.rows().size(), false),
        merged_(codes_.rows().size(), false),
        boundaries_(codes_.rows().size(), false) {
    for (size_t i = 0; i < codes_.rows().size(); ++i) {
      const OsmCode& row = codes_.rows()[i];
      merged_[i] = row.key == "waterway" &&
                   (row.value == "river" || row.value == "stream" || row.value == "canal");
      boundaries_[i] = row.key == "boundary";
    }
    for (const std::string& language : run_.languages) {
      language_keys_.push_back("name:" + language);
    }
  }

  void Read() {
    osmium::thread::Pool pool(static_cast<int>(std::max(1u, std::thread::hardware_concurrency())));
    Pass(pool, 0, osmium::osm_entity_bits::relation, [this](const osmium::OSMEntity& e) {
      OnRelation(static_cast<const osmium::Relation&>(e));
      return true;
    });
    {
      std::vector<int64_t> waterway_ids;
      for (const ChosenRelation& r : relations_) {
        if (!r.waterway) continue;
        waterway_ids.insert(waterway_ids.end(),
                            member_ids_.begin() + static_cast<ptrdiff_t>(r.members_at),
                            member_ids_.begin() + static_cast<ptrdiff_t>(r.members_at + r.members));
      }
      waterway_members_.Build(std::move(waterway_ids));
      member_ways_.Build(member_ids_);
      member_refs_.assign(member_ways_.size(), RefStore::Range{});
    }

    Pass(pool, 1,
         sorted_ ? osmium::osm_entity_bits::way | osmium::osm_entity_bits::relation
                 : osmium::osm_entity_bits::way,
         [this](const osmium::OSMEntity& e) {
           if (e.type() != osmium::item_type::way) return false;  // past the ways
           OnWay(static_cast<const osmium::Way&>(e));
           return true;
         });
    {
      size_t count = 0;
      for (const RefStore::Range& range : member_refs_) count += range.count;
      for (const ChosenWay& way : ways_) count += way.refs;
      std::vector<int64_t> node_ids;
      node_ids.reserve(count);
      auto take = [&node_ids](int64_t id) { node_ids.push_back(id); };
      for (const RefStore::Range& range : member_refs_) refs_.ForEach(range, take);
      for (const ChosenWay& way : ways_) refs_.ForEach(way.Refs(), take);
      needed_nodes_.Build(std::move(node_ids));
      positions_.assign(needed_nodes_.size(), osmium::Location());
    }

    Pass(pool, 2,
         sorted_ ? osmium::osm_entity_bits::node | osmium::osm_entity_bits::way
                 : osmium::osm_entity_bits::node,
         [this](const osmium::OSMEntity& e) {
           if (e.type() != osmium::item_type::node) return false;  // past the nodes
           OnNode(static_cast<const osmium::Node&>(e));
           return true;
         });
    Progress(kPasses, 0);

    PlaceRelations();
    PlaceWays();
    PlaceMergedWays();
  }

  const std::string& damage() const { return damage_; }

 private:
  // One pass over the file: each object of the types asked for, until
  // `each` says stop, the file ends, or its damage.
  template <class Each>
  void Pass(osmium::thread::Pool& pool, int pass, osmium::osm_entity_bits::type types,
            const Each& each) {
    try {
      OsmStream stream(path_, encoding_, types, pool);
      file_size_ = stream.FileSize();
      if (pass == 0 && encoding_ == OsmEncoding::kPbf) {
        sorted_ = stream.Header().get("sorting") == "Type_then_ID";
      }
      osmium::memory::Buffer block;
      for (;;) {
        const OsmStream::Step step = stream.Next(block);
        Progress(pass, stream.BytesRead());
        if (step == OsmStream::Step::kEnd) return;
        if (step == OsmStream::Step::kWaiting) continue;
        for (const osmium::OSMEntity& e : block.select<osmium::OSMEntity>()) {
          if (!each(e)) return;
        }
      }
    } catch (const Error&) {
      throw;  // the file cannot be read: the run ends
    } catch (const Cancelled&) {
      throw;
    } catch (const std::bad_alloc&) {
      throw;
    } catch (const std::exception& e) {
      // What the parser found wrong with the file: the pass ends here.
      if (damage_.empty()) damage_ = e.what();
    }
  }

  void Progress(int pass, uint64_t bytes) {
    if (!run_.file_progress) return;
    run_.file_progress((static_cast<uint64_t>(pass) * file_size_ + std::min(bytes, file_size_)) /
                       kPasses);
  }

  // --- the three passes ----------------------------------------------------

  void OnRelation(const osmium::Relation& relation) {
    const osmium::TagList& tags = relation.tags();
    const char* name = tags["name"];
    if (name == nullptr || *name == '\0') return;
    const char* type = tags["type"];
    if (type == nullptr) return;
    const std::string_view kind = type;
    const bool waterway = kind == "waterway";
    if (!waterway && kind != "multipolygon" && kind != "boundary") return;
    const int row = codes_.Match(tags);
    if (row == OsmCodeList::kNone) return;
    ChosenRelation chosen{
        .members_at = member_ids_.size(), .row = static_cast<uint8_t>(row), .waterway = waterway};
    for (const osmium::RelationMember& member : relation.members()) {
      if (member.type() != osmium::item_type::way) continue;
      member_ids_.push_back(member.ref());
      member_inner_.push_back(std::strcmp(member.role(), "inner") == 0);
      ++chosen.members;
    }
    if (chosen.members == 0 || !Keep(tags, name, chosen.names)) {
      member_ids_.resize(chosen.members_at);
      member_inner_.resize(chosen.members_at);
      return;
    }
    relations_.push_back(chosen);
  }

  void OnWay(const osmium::Way& way) {
    const size_t member = member_ways_.Find(way.id());
    RefStore::Range refs;
    if (member != kAbsent) {
      refs = refs_.Add(way.nodes());
      member_refs_[member] = refs;
    }
    const osmium::TagList& tags = way.tags();
    const char* name = tags["name"];
    if (name == nullptr || *name == '\0' || way.nodes().size() < 2) return;
    const int row = codes_.Match(tags);
    if (row == OsmCodeList::kNone) return;
    const bool merge = merged_[static_cast<size_t>(row)];
    // A waterway relation is the place of its ways.
    if (merge && waterway_members_.Find(way.id()) != kAbsent) return;
    // An open way of a boundary is a stretch of the border line, not the
    // area (which is a relation or a closed way).
    const bool closed = way.nodes().front().ref() == way.nodes().back().ref();
    if (!closed && boundaries_[static_cast<size_t>(row)]) return;
    ChosenWay chosen{.row = static_cast<uint8_t>(row), .merge = merge};
    if (!Keep(tags, name, chosen.names)) return;
    if (member == kAbsent) refs = refs_.Add(way.nodes());
    chosen.refs_at = refs.at;
    chosen.refs = refs.count;
    ways_.push_back(chosen);
  }

  void OnNode(const osmium::Node& node) {
    const size_t at = needed_nodes_.Find(node.id());
    if (at != kAbsent) positions_[at] = node.location();
    const osmium::TagList& tags = node.tags();
    if (tags.empty() || !node.location().valid()) return;
    const char* name = tags["name"];
    if (name == nullptr || *name == '\0') return;
    const int row = codes_.Match(tags);
    if (row == OsmCodeList::kNone || !TakeNames(tags, name)) return;
    views_.clear();
    for (size_t i = 0; i < alternate_count_; ++i) views_.emplace_back(alternates_[i]);
    Emit(name_, row, {node.location().lon(), node.location().lat()});
  }

  // --- names ---------------------------------------------------------------

  // The name (ANSI, blanks around it removed) into name_ and, when the run
  // wants them, the further names into alternates_; false when the name
  // is empty.
  bool TakeNames(const osmium::TagList& tags, const char* name) {
    text::Utf8LineToAnsi(name, ansi_);
    name_.assign(text::TrimBlanks(ansi_).substr(0, kMaxText));
    alternate_count_ = 0;
    if (name_.empty()) return false;
    if (!run_.want_alternate_names) return true;
    for (const std::string_view key : kAlternateKeys) {
      if (const char* value = tags.get_value_by_key(key.data())) AddAlternates(value);
    }
    for (const std::string& key : language_keys_) {
      if (const char* value = tags[key.c_str()]) AddAlternates(value);
    }
    return true;
  }

  // Each of the ";"-separated names of a value that is neither the name nor
  // one taken before (letter case ignored).
  void AddAlternates(std::string_view value) {
    for (;;) {
      const size_t semi = value.find(';');
      text::Utf8LineToAnsi(value.substr(0, semi), ansi_);
      const std::string_view alternate = text::TrimBlanks(ansi_).substr(0, kMaxText);
      bool known = alternate.empty() || text::EqualsIgnoreCase(alternate, name_);
      for (size_t i = 0; i < alternate_count_ && !known; ++i) {
        known = text::EqualsIgnoreCase(alternate, alternates_[i]);
      }
      if (!known && alternate_count_ < kMaxAlternates) {
        if (alternate_count_ == alternates_.size()) alternates_.emplace_back();
        alternates_[alternate_count_++].assign(alternate);
      }
      if (semi == std::string_view::npos) return;
      value.remove_prefix(semi + 1);
    }
  }

  // Keeps the names of a chosen way or relation (where: `names`).
  bool Keep(const osmium::TagList& tags, const char* name, uint64_t& names) {
    if (!TakeNames(tags, name)) return false;
    record_.clear();
    auto put = [this](std::string_view text) {
      record_.push_back(static_cast<char>(text.size()));
      record_.append(text);
    };
    put(name_);
    record_.push_back(static_cast<char>(alternate_count_));
    for (size_t i = 0; i < alternate_count_; ++i) put(alternates_[i]);
    names = texts_.Add(record_.data(), record_.size());
    return true;
  }

  // The name of a kept record, and its further names into views_.
  std::string_view Names(uint64_t names) {
    const char* p = reinterpret_cast<const char*>(texts_.At(names));
    auto take = [&p] {
      const size_t n = static_cast<uint8_t>(*p++);
      const std::string_view text(p, n);
      p += n;
      return text;
    };
    const std::string_view name = take();
    const size_t alternates = static_cast<uint8_t>(*p++);
    views_.clear();
    for (size_t i = 0; i < alternates; ++i) views_.push_back(take());
    return name;
  }
  std::string_view Name(uint64_t names) const {
    const char* p = reinterpret_cast<const char*>(texts_.At(names));
    return std::string_view(p + 1, static_cast<uint8_t>(*p));
  }

  // --- label points --------------------------------------------------------

  // One way of an object for its label point; true when it is closed (its
  // last node is its first, and it has four nodes or more).
  bool AddWay(RefStore::Range refs, bool inner) {
    if (refs.count == 0) return false;
    points_.clear();
    int64_t first = 0, last = 0;
    uint32_t i = 0;
    refs_.ForEach(refs, [&](int64_t id) {
      if (i++ == 0) first = id;
      last = id;
      const size_t at = needed_nodes_.Find(id);
      if (at != kAbsent && positions_[at].valid()) {
        points_.push_back({positions_[at].lon(), positions_[at].lat()});
      }
    });
    label_.AddWay(first, last, points_, inner);
    return first == last && refs.count >= 4;
  }

  std::pair<int64_t, int64_t> Ends(RefStore::Range refs) const {
    std::pair<int64_t, int64_t> ends{0, 0};
    uint32_t i = 0;
    refs_.ForEach(refs, [&](int64_t id) {
      if (i++ == 0) ends.first = id;
      ends.second = id;
    });
    return ends;
  }

  void PlaceRelations() {
    for (const ChosenRelation& relation : relations_) {
      label_.Clear();
      for (uint32_t i = 0; i < relation.members; ++i) {
        const size_t member = member_ways_.Find(member_ids_[relation.members_at + i]);
        if (member != kAbsent) AddWay(member_refs_[member], member_inner_[relation.members_at + i]);
      }
      MapPoint at;
      if (relation.waterway ? label_.Line(at) : label_.Area(at)) {
        Emit(Names(relation.names), relation.row, at);
      }
    }
  }

  void PlaceWays() {
    for (const ChosenWay& way : ways_) {
      if (way.merge) continue;
      label_.Clear();
      const bool closed = AddWay(way.Refs(), false);
      MapPoint at;
      if (closed ? label_.Area(at) : label_.Line(at)) Emit(Names(way.names), way.row, at);
    }
  }

  // Rivers, streams and canals: the ways of one row and one name that
  // share an end node are one waterway (union-find over their end nodes),
  // placed halfway along its ways.
  void PlaceMergedWays() {
    std::vector<uint32_t> merged;
    for (size_t i = 0; i < ways_.size(); ++i) {
      if (ways_[i].merge) merged.push_back(static_cast<uint32_t>(i));
    }
    auto same = [this](uint32_t a, uint32_t b) {
      return ways_[a].row == ways_[b].row && Name(ways_[a].names) == Name(ways_[b].names);
    };
    std::stable_sort(merged.begin(), merged.end(), [this](uint32_t a, uint32_t b) {
      if (ways_[a].row != ways_[b].row) return ways_[a].row < ways_[b].row;
      return Name(ways_[a].names) < Name(ways_[b].names);
    });
    std::vector<uint32_t> parent;
    std::vector<std::pair<int64_t, uint32_t>> ends;
    std::vector<std::pair<uint32_t, uint32_t>> components;  // (root, way) in group order
    for (size_t begin = 0; begin < merged.size();) {
      size_t end = begin + 1;
      while (end < merged.size() && same(merged[begin], merged[end])) ++end;
      const uint32_t n = static_cast<uint32_t>(end - begin);
      parent.resize(n);
      ends.clear();
      for (uint32_t i = 0; i < n; ++i) {
        parent[i] = i;
        const auto [first, last] = Ends(ways_[merged[begin + i]].Refs());
        ends.emplace_back(first, i);
        ends.emplace_back(last, i);
      }
      auto root = [&parent](uint32_t i) {
        while (parent[i] != i) i = parent[i] = parent[parent[i]];
        return i;
      };
      std::sort(ends.begin(), ends.end());
      for (size_t k = 1; k < ends.size(); ++k) {
        if (ends[k].first != ends[k - 1].first) continue;
        const uint32_t a = root(ends[k].second), b = root(ends[k - 1].second);
        if (a != b) parent[std::max(a, b)] = std::min(a, b);
      }
      components.clear();
      for (uint32_t i = 0; i < n; ++i) components.emplace_back(root(i), i);
      std::stable_sort(components.begin(), components.end(),
                       [](const auto& a, const auto& b) { return a.first < b.first; });
      for (size_t c = 0; c < components.size();) {
        size_t d = c;
        label_.Clear();
        for (; d < components.size() && components[d].first == components[c].first; ++d) {
          AddWay(ways_[merged[begin + components[d].second]].Refs(), false);
        }
        MapPoint at;
        const ChosenWay& way = ways_[merged[begin + components[c].second]];
        if (label_.Line(at)) Emit(Names(way.names), way.row, at);
        c = d;
      }
      begin = end;
    }
  }

  // --- places --------------------------------------------------------------

  void Emit(std::string_view name, int row, MapPoint at) {
    const OsmCode& code = codes_.row(row);
    if (!noted_[static_cast<size_t>(row)]) {
      if (!run_.full_codes.Contains(code.full_code)) run_.full_codes.Add(code.full_code);
      noted_[static_cast<size_t>(row)] = true;
    }
    FormatFiveDecimalsPadded(at.lat, latitude_);
    FormatFiveDecimalsPadded(at.lon, longitude_);
    run_.places.Add(Place{
        .name = name,
        .full_code = code.full_code,
        .major_code = MajorCodeOfClass(std::string_view(&code.feature_class, 1)),
        .latitude = at.lat,
        .longitude = at.lon,
        .latitude_text = latitude_,
        .longitude_text = longitude_,
        .feature_class = code.feature_class,
        .alternate_names = views_,
    });
  }

  ReaderRun& run_;
  const OsmCodeList& codes_;
  std::string path_;
  OsmEncoding encoding_;
  uint64_t file_size_ = 0;
  bool sorted_ = false;  // the header says: nodes, then ways, then relations, each by id
  std::string damage_;
  std::vector<bool> noted_;       // rows whose FULL_CODE the run's list has
  std::vector<bool> merged_;      // rows whose ways are merged into waterways
  std::vector<bool> boundaries_;  // rows that are areas only (boundary=*)
  std::vector<std::string> language_keys_;

  // Pass 1.
  std::deque<ChosenRelation> relations_;
  std::vector<int64_t> member_ids_;  // the member ways of the chosen relations
  std::vector<bool> member_inner_;   // ... and whether each is an inner one
  IdIndex member_ways_;              // the same, sorted, once each
  IdIndex waterway_members_;         // the member ways of the waterway relations
  // Pass 2.
  RefStore refs_;
  std::vector<RefStore::Range> member_refs_;  // of member_ways_, where found
  std::deque<ChosenWay> ways_;
  // Pass 3.
  IdIndex needed_nodes_;
  std::vector<osmium::Location> positions_;  // of needed_nodes_, where found

  // The names of chosen ways and relations.
  BlockStore texts_;
  std::string record_;

  // Scratch.
  std::string ansi_, name_;
  std::vector<std::string> alternates_;
  size_t alternate_count_ = 0;
  std::vector<std::string_view> views_;
  std::vector<MapPoint> points_;
  LabelPoint label_;
  std::string latitude_, longitude_;
};

void ReadOsm(ReaderInput& in, ReaderRun& run) {
  OsmReader reader(run, std::string(in.path), static_cast<OsmEncoding>(in.found.layout));
  reader.Read();
  run.file_damage = reader.damage();
}

// --- recognition -------------------------------------------------------

// The first bytes of the file, leaving it where it was for the formats
// asked after this one.
std::string_view Peek(Probe& probe, char (&bytes)[4096]) {
  if (probe.first_line_read()) {
    const std::string& line = probe.FirstLine();
    const size_t n = std::min(line.size(), sizeof bytes);
    std::memcpy(bytes, line.data(), n);
    return {bytes, n};
  }
  const size_t n = probe.file().ReadBytes(bytes, sizeof bytes);
  probe.file().Rewind();
  return {bytes, n};
}

// An XML document whose first element is <osm ...>.
bool IsOsmXml(std::string_view s) {
  if (s.starts_with("\xEF\xBB\xBF")) s.remove_prefix(3);
  for (;;) {
    while (!s.empty() && (s[0] == ' ' || s[0] == '\t' || s[0] == '\r' || s[0] == '\n')) {
      s.remove_prefix(1);
    }
    std::string_view close;
    if (s.starts_with("<?")) {
      close = "?>";
    } else if (s.starts_with("<!--")) {
      close = "-->";
    } else if (s.starts_with("<!")) {
      close = ">";
    } else {
      break;
    }
    const size_t end = s.find(close);
    if (end == std::string_view::npos) return false;
    s.remove_prefix(end + close.size());
  }
  return s.size() > 4 && s.starts_with("<osm") &&
         std::string_view(" \t\r\n>/").find(s[4]) != std::string_view::npos;
}

Claim RecognisePbf(Probe&, Detection& found) {
  found.layout = static_cast<int>(OsmEncoding::kPbf);
  return Claim::kYes;
}

Claim RecogniseXml(Probe& probe, Detection& found) {
  char bytes[4096];
  found.layout = static_cast<int>(Peek(probe, bytes).starts_with("BZh") ? OsmEncoding::kXmlBzip2
                                                                        : OsmEncoding::kXml);
  return Claim::kYes;
}

// What a ".gz" file expands to is named ".usa": OpenStreetMap XML there is
// known by its first element.
Claim RecogniseExpandedXml(Probe& probe, Detection& found) {
  char bytes[4096];
  if (!IsOsmXml(Peek(probe, bytes))) return Claim::kNo;
  found.layout = static_cast<int>(OsmEncoding::kXml);
  return Claim::kYes;
}

}  // namespace

const FormatRow kOsmPbfFormat{
    .name = "OpenStreetMap PBF",
    .extensions = ".osm.pbf;.pbf",
    .recognise = RecognisePbf,
    .reader = ReadOsm,
    .help_anchor = "formats.html#osm",
    .summary = "OpenStreetMap extracts (.osm.pbf, .osm, .osm.bz2)",
};

const FormatRow kOsmXmlFormat{
    .name = "OpenStreetMap XML",
    .extensions = ".osm;.osm.bz2",
    .recognise = RecogniseXml,
    .reader = ReadOsm,
    .help_anchor = "formats.html#osm",
    .summary = "OpenStreetMap extracts (.osm.pbf, .osm, .osm.bz2)",
};

const FormatRow kOsmXmlExpandedFormat{
    .name = "OpenStreetMap XML (expanded)",
    .extensions = ".usa;",
    .listed = false,
    .recognise = RecogniseExpandedXml,
    .reader = ReadOsm,
    .help_anchor = "formats.html#osm",
    .summary = "",
};

}  // namespace toponyx::readers
