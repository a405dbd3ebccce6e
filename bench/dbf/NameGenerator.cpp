#include "NameGenerator.h"

#include "readers/PlaceRecord.h"

#include <cstring>
#include <string_view>

namespace toponyx::bench {
namespace {

// Windows-1252 text: \xE9 e-acute, \xFC u-umlaut, \xF6 o-umlaut, \xE4
// a-umlaut, \xF1 n-tilde, \xE7 c-cedilla, \xE5 a-ring, \xE8 e-grave, \xE3
// a-tilde and \xF8 o-slash (these two have no OEM byte), \xC9, \xD6, \xC5.
constexpr std::string_view kSyllables[] = {"ber",
                                           "lin",
                                           "ham",
                                           "ton",
                                           "wick",
                                           "ford",
                                           "burg",
                                           "dorf",
                                           "ville",
                                           "mar",
                                           "ka",
                                           "to",
                                           "ri",
                                           "na",
                                           "sa",
                                           "lo",
                                           "go",
                                           "ko",
                                           "shi",
                                           "yama",
                                           "ga",
                                           "wa",
                                           "ra",
                                           "mo",
                                           "ne",
                                           "li",
                                           "an",
                                           "el",
                                           "or",
                                           "us",
                                           "is",
                                           "ia",
                                           "str\xF6m",
                                           "m\xFC",
                                           "h\xF6",
                                           "j\xF6",
                                           "\xF1"
                                           "e",
                                           "\xE7"
                                           "a",
                                           "\xE3o",
                                           "r\xE9",
                                           "\xE8s",
                                           "\xE5s",
                                           "\xF8y",
                                           "sk",
                                           "vik",
                                           "by",
                                           "thorpe",
                                           "stead",
                                           "bach",
                                           "heim",
                                           "ov",
                                           "ice",
                                           "grad"};
constexpr std::string_view kCapitals[] = {"\xC9", "\xD6", "\xC5"};
constexpr std::string_view kPrefixes[] = {
    "Saint ", "San ",  "Santa ", "Lake ", "Mount ", "Port ", "New ", "North ", "South ",
    "East ",  "West ", "Bad ",   "Le ",   "La ",    "El ",   "Al ",  "Ban ",   "Kampung "};
constexpr std::string_view kSuffixes[] = {" Creek",
                                          " River",
                                          " Hill",
                                          " Station",
                                          " Church",
                                          " School",
                                          " Airport",
                                          " (historical)",
                                          "-sur-Mer",
                                          " Heights",
                                          " Park",
                                          " Cemetery",
                                          " Elementary School",
                                          " Post Office"};
constexpr std::string_view kFullCodes[] = {"Populated Place",
                                           "Stream",
                                           "Summit",
                                           "Lake",
                                           "Church",
                                           "School",
                                           "Locality",
                                           "Farm",
                                           "Hotel",
                                           "Spring(s)",
                                           "Cemetery",
                                           "Bridge",
                                           "Valley",
                                           "Island",
                                           "Airport",
                                           "Park",
                                           "Railroad Station",
                                           "Reservoir",
                                           "Cape",
                                           "Bay",
                                           "Hill",
                                           "Ridge",
                                           "Well",
                                           "Building"};

template <typename T, size_t N>
constexpr uint32_t Count(const T (&)[N]) {
  return static_cast<uint32_t>(N);
}

constexpr size_t kRecent = 4096;

}  // namespace

NameGenerator::NameGenerator(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ULL + 1) {
  recent_.reserve(kRecent);
}

uint64_t NameGenerator::Random() {  // xorshift64*
  state_ ^= state_ >> 12;
  state_ ^= state_ << 25;
  state_ ^= state_ >> 27;
  return state_ * 0x2545F4914F6CDD1DULL;
}

void NameGenerator::AppendWord(std::string& out) {
  const size_t start = out.size();
  if (Below(40) == 0) {
    out.append(kCapitals[Below(Count(kCapitals))]);
  }
  const uint32_t syllables = 1 + Below(4);
  for (uint32_t i = 0; i < syllables; ++i) out.append(kSyllables[Below(Count(kSyllables))]);
  char& first = out[start];
  if (first >= 'a' && first <= 'z') first = static_cast<char>(first - 32);
}

void NameGenerator::MakeName(std::string& out) {
  out.clear();
  if (Below(6) == 0) out.append(kPrefixes[Below(Count(kPrefixes))]);
  const uint32_t words = Below(5) == 0 ? 2 : 1;
  for (uint32_t i = 0; i < words; ++i) {
    if (i > 0) out.push_back(Below(3) == 0 ? '-' : ' ');
    AppendWord(out);
  }
  if (Below(4) == 0) out.append(kSuffixes[Below(Count(kSuffixes))]);
  if (Below(30) == 0) {  // longer than the field
    while (out.size() <= 50) {
      out.append(" of the ");
      AppendWord(out);
    }
  }
  const uint32_t casing = Below(20);
  if (casing < 2) {  // the capitals of some national files
    for (char& c : out) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    }
  } else if (casing == 2) {
    for (char& c : out) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
  }
}

// A coordinate with five decimals, the way the readers write them.
void NameGenerator::Degrees(double range, std::string& out) {
  const auto limit = static_cast<uint32_t>(range * 100000);
  const uint32_t magnitude = Below(limit + 1);
  char buffer[16];
  char* p = buffer + sizeof buffer;
  uint32_t v = magnitude;
  for (int digit = 0; digit < 5; ++digit, v /= 10) *--p = static_cast<char>('0' + v % 10);
  *--p = '.';
  do {
    *--p = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v > 0);
  if (magnitude != 0 && Below(2) == 0) *--p = '-';
  out.assign(p, buffer + sizeof buffer);
}

void NameGenerator::Next(PlaceText& out) {
  if (!recent_.empty() && Below(4) == 0) {  // a name met before
    out.name = recent_[Below(static_cast<uint32_t>(recent_.size()))];
  } else {
    MakeName(out.name);
    if (recent_.size() < kRecent) {
      recent_.push_back(out.name);
    } else {
      recent_[recent_next_] = out.name;
      recent_next_ = (recent_next_ + 1) % kRecent;
    }
  }
  out.full_code = kFullCodes[Below(Count(kFullCodes))];
  out.major_code = readers::kMajorCodes[Below(Count(readers::kMajorCodes))];
  Degrees(90, out.latitude);
  Degrees(180, out.longitude);
}

}  // namespace toponyx::bench
