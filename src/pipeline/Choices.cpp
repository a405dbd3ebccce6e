#include "pipeline/Choices.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <unordered_set>

#include "platform/Ascii.h"
#include "text/Text.h"

namespace toponyx::pipeline {

namespace {

bool ParseNumber(std::string_view text, double& value) {
  text = text::TrimBlanks(text);
  if (text.empty()) return false;
  if (text.front() == '+') text.remove_prefix(1);
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && std::isfinite(value);
}

// The pieces of a comma-separated text.
std::vector<std::string_view> Pieces(std::string_view text) {
  std::vector<std::string_view> pieces;
  for (;;) {
    const size_t comma = text.find(',');
    pieces.push_back(text.substr(0, comma));
    if (comma == std::string_view::npos) return pieces;
    text.remove_prefix(comma + 1);
  }
}

std::string Number(double v) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.10g", v);
  return buffer;
}

class AreaStage final : public PlaceStage {
 public:
  explicit AreaStage(const Area& area) : area_(area) {}
  void Take(const readers::Place& place, readers::PlaceSink& next) override {
    if (area_.Contains(place.latitude, place.longitude)) return next.Add(place);
    ++left_out_;
  }
  std::string Report() const override {
    return CountOf(left_out_, "place", "places") + " outside the area left out";
  }

 private:
  Area area_;
  uint64_t left_out_ = 0;
};

// Codes compared as the types choice compares them: the ASCII letters
// taken as capitals, without copying the code.
struct FoldedHash {
  using is_transparent = void;
  size_t operator()(std::string_view code) const {
    uint64_t h = 1469598103934665603ULL;  // FNV-1a
    for (char c : code)
      h = (h ^ static_cast<unsigned char>(platform::ToUpperAscii(c))) * 1099511628211ULL;
    return static_cast<size_t>(h);
  }
};
struct FoldedEqual {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const {
    return platform::EqualsIgnoreCase(a, b);
  }
};

class TypesStage final : public PlaceStage {
 public:
  bool NeedsNumbers() const override { return false; }
  explicit TypesStage(const std::vector<std::string>& codes) {
    for (const std::string& code : codes) {
      const std::string_view trimmed = text::TrimBlanks(code);
      if (!trimmed.empty()) kept_.emplace(trimmed);
    }
  }
  void Take(const readers::Place& place, readers::PlaceSink& next) override {
    // A run has few codes, most readers hand each one on from one place
    // in memory: the answers are remembered by where the code lies (and
    // checked against its bytes, since a line buffer holds other codes at
    // the same place later).
    const std::string_view code = place.full_code;
    Memo& memo = memo_[(reinterpret_cast<uintptr_t>(code.data()) >> 3 ^ code.size()) % kMemos];
    if (!(memo.valid && memo.code == code)) {
      memo.code.assign(code);
      memo.keep = kept_.find(text::TrimBlanks(code)) != kept_.end();
      memo.valid = true;
    }
    if (memo.keep) return next.Add(place);
    ++left_out_;
  }
  std::string Report() const override {
    return CountOf(left_out_, "place", "places") + " of other types left out";
  }

 private:
  struct Memo {
    std::string code;
    bool keep = false;
    bool valid = false;
  };
  static constexpr size_t kMemos = 64;
  std::unordered_set<std::string, FoldedHash, FoldedEqual> kept_;
  Memo memo_[kMemos];
  uint64_t left_out_ = 0;
};

class ClassesStage final : public PlaceStage {
 public:
  bool NeedsNumbers() const override { return false; }
  explicit ClassesStage(std::string_view letters) {
    for (char c : letters) kept_[static_cast<unsigned char>(c)] = true;
  }
  void Take(const readers::Place& place, readers::PlaceSink& next) override {
    if (place.feature_class == 0 || kept_[static_cast<unsigned char>(place.feature_class)]) {
      return next.Add(place);
    }
    ++left_out_;
  }
  std::string Report() const override {
    return CountOf(left_out_, "place", "places") + " of other classes left out";
  }

 private:
  bool kept_[256] = {};
  uint64_t left_out_ = 0;
};

// Each further name of a place becomes a record of its own with the same
// codes and position; a name equal to the main one (or to an earlier
// further one) when the letter case is ignored is not repeated.
class AlternateNamesStage final : public PlaceStage {
 public:
  bool NeedsNumbers() const override { return false; }
  void Take(const readers::Place& place, readers::PlaceSink& next) override {
    next.Add(place);
    const auto names = place.alternate_names;
    if (names.empty()) return;
    readers::Place further = place;
    further.alternate_names = {};
    for (size_t i = 0; i < names.size(); ++i) {
      const std::string_view name = text::TrimBlanks(names[i]);
      bool known = name.empty() || platform::EqualsIgnoreCase(name, text::TrimBlanks(place.name));
      for (size_t j = 0; j < i && !known; ++j) {
        known = platform::EqualsIgnoreCase(name, text::TrimBlanks(names[j]));
      }
      if (known) continue;
      further.name = name;
      next.Add(further);
      ++added_;
    }
  }
  std::string Report() const override {
    return CountOf(added_, "alternate name", "alternate names") + " added";
  }

 private:
  uint64_t added_ = 0;
};

}  // namespace

bool ParseArea(std::string_view text, Area& area) {
  const std::vector<std::string_view> pieces = Pieces(text);
  if (pieces.size() != 4) return false;
  double v[4];
  for (int i = 0; i < 4; ++i) {
    if (!ParseNumber(pieces[i], v[i])) return false;
  }
  const Area a{v[0], v[1], v[2], v[3]};
  for (double latitude : {a.south, a.north}) {
    if (latitude < -90 || latitude > 90) return false;
  }
  for (double longitude : {a.west, a.east}) {
    if (longitude < -180 || longitude > 180) return false;
  }
  if (a.south > a.north) return false;
  area = a;
  return true;
}

std::string AreaText(const Area& area) {
  return Number(area.south) + "," + Number(area.west) + "," + Number(area.north) + "," +
         Number(area.east);
}

bool ParseClasses(std::string_view text, std::string& letters) {
  bool chosen[kClassLetters.size()] = {};
  if (text::TrimBlanks(text).empty()) return false;
  for (char c : text) {
    if (c == ' ' || c == ',') continue;
    const size_t at = kClassLetters.find(platform::ToUpperAscii(c));
    if (at == std::string_view::npos) return false;
    chosen[at] = true;
  }
  letters.clear();
  for (size_t i = 0; i < kClassLetters.size(); ++i) {
    if (chosen[i]) letters += kClassLetters[i];
  }
  return true;
}

bool ParseLanguages(std::string_view text, std::vector<std::string>& languages) {
  std::vector<std::string> parsed;
  if (text::TrimBlanks(text).empty()) {
    languages.clear();
    return true;
  }
  for (std::string_view piece : Pieces(text)) {
    piece = text::TrimBlanks(piece);
    if (piece.empty()) return false;
    for (char c : piece) {
      const bool fits = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '-' || c == '_';
      if (!fits) return false;
    }
    parsed.emplace_back(piece);
  }
  languages = std::move(parsed);
  return true;
}

std::string LanguagesText(const std::vector<std::string>& languages) {
  std::string out;
  for (const std::string& language : languages) out += (out.empty() ? "" : ",") + language;
  return out;
}

bool ParseMetres(std::string_view text, double& metres) {
  double v;
  if (!ParseNumber(text, v) || !(v > 0)) return false;
  metres = v;
  return true;
}

std::vector<std::string> TypesFileCodes(std::string_view text) {
  std::vector<std::string> codes;
  while (!text.empty()) {
    const size_t end = text.find_first_of("\r\n");
    const std::string_view line = text::TrimBlanks(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.starts_with("##########")) break;
    if (line.empty() || line.front() == ';') continue;
    if (line.size() >= 6 && platform::EqualsIgnoreCase(line.substr(0, 6), "DATUM,")) continue;
    codes.emplace_back(line);
  }
  return codes;
}

bool ReadTypesFile(platform::FileSystem& fs, const std::string& path,
                   std::vector<std::string>& codes, std::string& error) {
  auto file = fs.Open(path, platform::OpenMode::kRead);
  if (!file) {
    error = "Cannot open file " + path + ": " + fs.LastError();
    return false;
  }
  std::string text;
  char buffer[1 << 14];
  for (;;) {
    const int64_t n = file->Read(buffer, sizeof buffer);
    if (n < 0) {
      error = "Cannot read file " + path + ": " + fs.LastError();
      file->Close();
      return false;
    }
    if (n == 0) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  file->Close();
  codes = TypesFileCodes(text);
  return true;
}

std::vector<std::shared_ptr<PlaceStage>> MakeStages(const Choices& choices) {
  std::vector<std::shared_ptr<PlaceStage>> stages;
  if (choices.area) stages.push_back(std::make_shared<AreaStage>(*choices.area));
  if (choices.types) stages.push_back(std::make_shared<TypesStage>(*choices.types));
  if (!choices.classes.empty()) stages.push_back(std::make_shared<ClassesStage>(choices.classes));
  if (choices.alternate_names) stages.push_back(std::make_shared<AlternateNamesStage>());
  return stages;
}

std::string ChoicesSummary(const Choices& choices) {
  std::vector<std::string> parts;
  if (choices.area) parts.push_back("area " + AreaText(*choices.area));
  if (choices.types) {
    const size_t n = choices.types->size();
    parts.push_back(CountOf(n, "type", "types"));
  }
  if (!choices.classes.empty()) parts.push_back("classes " + choices.classes);
  if (choices.alternate_names) {
    parts.push_back(choices.languages.empty()
                        ? std::string("alternate names")
                        : "alternate names (" + LanguagesText(choices.languages) + ")");
  }
  if (choices.merge_metres) {
    parts.push_back("duplicates merged within " + Number(*choices.merge_metres) + " m");
  }
  std::string line;
  for (const std::string& part : parts) line += (line.empty() ? "" : "; ") + part;
  if (!line.empty()) line[0] = platform::ToUpperAscii(line[0]);
  return line;
}

std::string GroupedCount(uint64_t n) {
  std::string digits = std::to_string(n);
  for (size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, 1, ',');
  return digits;
}

std::string CountOf(uint64_t n, std::string_view one, std::string_view many) {
  return GroupedCount(n) + ' ' + std::string(n == 1 ? one : many);
}

}  // namespace toponyx::pipeline
