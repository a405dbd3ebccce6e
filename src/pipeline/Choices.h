// What the user chose to go in: an area, feature types, classes, alternate
// names and merged duplicates. Every choice is off by default; with none,
// every place of every file goes in as read. The front ends fill a Choices
// value; the run makes its place stages from it (the merge of duplicates
// happens in the ordered walk, see Duplicates.h).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pipeline/PlaceStage.h"
#include "platform/File.h"

namespace toponyx::pipeline {

// WGS 84 decimal degrees; west greater than east crosses the 180th
// meridian. The edges belong to the area.
struct Area {
  double south = 0, west = 0, north = 0, east = 0;
  bool Contains(double latitude, double longitude) const {
    if (!(latitude >= south && latitude <= north)) return false;  // NaN is outside
    if (west <= east) return longitude >= west && longitude <= east;
    return longitude >= west || longitude <= east;
  }
  bool operator==(const Area&) const = default;
};

// The class letters in the order world GNS files list them.
inline constexpr std::string_view kClassLetters = "APVLURTHS";
// The default distance of merged duplicates.
inline constexpr double kDefaultMergeMetres = 200;

struct Choices {
  std::optional<Area> area;
  // The full codes kept (as a .types file lists them); none: every type.
  std::optional<std::vector<std::string>> types;
  // The class letters kept ("": every class); places whose source has no
  // class pass.
  std::string classes;
  bool alternate_names = false;
  std::vector<std::string> languages;  // of OpenStreetMap's name:LANG
  // Places of equal name and class this close become one.
  std::optional<double> merge_metres;

  bool Any() const { return area || types || !classes.empty() || alternate_names || merge_metres; }
  bool operator==(const Choices&) const = default;
};

// "SOUTH,WEST,NORTH,EAST": four numbers, latitudes from -90 to 90 with
// south not above north, longitudes from -180 to 180.
bool ParseArea(std::string_view text, Area& area);
std::string AreaText(const Area& area);
// Class letters (either case), each one of the nine; kept in their
// canonical order, each once.
bool ParseClasses(std::string_view text, std::string& letters);
// "en,de": language codes separated by commas, blanks around them ignored.
bool ParseLanguages(std::string_view text, std::vector<std::string>& languages);
std::string LanguagesText(const std::vector<std::string>& languages);
// A distance in metres: a number above 0.
bool ParseMetres(std::string_view text, double& metres);

// The full codes a .types file lists: the lines before the "##########"
// line that are no comment (";...") and no datum line ("DATUM,...").
std::vector<std::string> TypesFileCodes(std::string_view text);
// The codes of the .types file at path; false with the reason when it
// cannot be read.
bool ReadTypesFile(platform::FileSystem& fs, const std::string& path,
                   std::vector<std::string>& codes, std::string& error);

// The stages of the choices, in the order they take places: area, types,
// classes, then alternate names (which add records after the place).
std::vector<std::shared_ptr<PlaceStage>> MakeStages(const Choices& choices);

// The choices that are on, in one line for the main window ("" for none):
// "Area 45.8,5.9,47.9,10.5; 12 types; classes PTH; alternate names (en, de);
// duplicates merged within 200 m".
std::string ChoicesSummary(const Choices& choices);

// A count with its thousands grouped: 1,204,331.
std::string GroupedCount(uint64_t n);
// The grouped count and the noun, singular for 1: "1 place", "2,000 places".
std::string CountOf(uint64_t n, std::string_view one, std::string_view many);

}  // namespace toponyx::pipeline
