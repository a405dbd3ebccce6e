// What every reader shares: the place record's fields, the four position
// text forms, packed DMS, and the two code lists of a run.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace toponyx::readers {

// Field positions of a place record in the working table.
enum PlaceField : int {
  kName = 0,       // character 45
  kFullCode = 1,   // character 40
  kMajorCode = 2,  // character 40
  kLatitude = 3,   // character 10
  kLongitude = 4,  // character 10
};

// The feature type of a place whose code the reader does not know.
inline constexpr std::string_view kNotIdentified = "Not Identified";

// Exact powers of ten (every one up to 1e22 is a double without rounding).
inline constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                          1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

// The nine broad feature classes (MAJOR_CODE) in the order the .types file
// lists them, and the world GNS class letters that give them, in the same
// order.
inline constexpr std::string_view kMajorCodes[9] = {"Administrative Region",
                                                    "City or Town",
                                                    "Vegetation",
                                                    "Locality",
                                                    "Undersea",
                                                    "Road or Railroad",
                                                    "Mountain, Hill, Elevation",
                                                    "River, Stream, Water",
                                                    "Spot Feature"};
inline constexpr std::string_view kMajorCodeClasses = "APVLURTHS";

// The MAJOR_CODE of a feature class: one of the nine letters, compared
// exactly; "" for any other text.
inline std::string_view MajorCodeOfClass(std::string_view feature_class) {
  if (feature_class.size() != 1) return {};
  const size_t at = kMajorCodeClasses.find(feature_class[0]);
  return at == std::string_view::npos ? std::string_view() : kMajorCodes[at];
}

// The class letter of a source's class text: one of the nine letters,
// compared exactly; 0 for any other text.
inline char ClassLetter(std::string_view feature_class) {
  return feature_class.size() == 1 &&
                 kMajorCodeClasses.find(feature_class[0]) != std::string_view::npos
             ? feature_class[0]
             : '\0';
}

// Form B: 7 decimals after the user's decimal separator, at most 11
// significant digits ("34.2563889", "-118.5041667").
void FormatSevenDecimalsLocal(double value, std::string& out);
// Form C: exactly 5 decimals with a full stop, right-aligned in at least 9
// characters (" 12.34568", "-151.20000").
void FormatFiveDecimalsPadded(double value, std::string& out);
// Form D: 8 decimals after the user's decimal separator, at most 12
// significant digits ("51.50000000").
void FormatEightDecimalsLocal(double value, std::string& out);
// DDMMSSH or DDDMMSSH ("341523N", "1183015w") as decimal degrees in form B,
// "-" in front for S or W; returns the number the text stands for.
double PackedDmsToText(std::string_view packed, std::string& out);

// The FULL_CODE texts of one run: sorted, free of duplicates when letter
// case is ignored; the spelling added first stays.
class FullCodeList {
 public:
  bool Contains(std::string_view text) const;
  // Adds text unless an equal text (ignoring case) is held.
  void Add(std::string_view text);
  // Adds TrimBlanks then ProperCase of text (the "normalised" form).
  void AddNormalised(std::string_view text);
  // Tests text and, when absent, adds it normalised.
  void Note(std::string_view text) {
    if (!Contains(text)) AddNormalised(text);
  }
  const std::vector<std::string>& Items() const { return items_; }
  void Clear() { items_.clear(); }

 private:
  std::vector<std::string> items_;
  std::string scratch_;
};

// Codes and descriptions from WorldCodes.list; looked up ignoring case.
class WorldCodeList {
 public:
  void Add(std::string_view code, std::string_view description);
  // Description of the first code equal to code (ignoring case), or null.
  const std::string* Find(std::string_view code) const;
  size_t size() const { return codes_.size(); }
  bool empty() const { return codes_.empty(); }
  void Clear();

 private:
  void Sort() const;
  std::vector<std::string> codes_;
  std::vector<std::string> descriptions_;
  mutable std::vector<uint32_t> order_;  // indices sorted by code, stable
  mutable bool sorted_ = true;
};

}  // namespace toponyx::readers
