#include "readers/MapPlaces.h"

#include <cmath>

#include "readers/PlaceRecord.h"
#include "text/CodePage.h"
#include "text/Text.h"

namespace toponyx::readers {

void MapPlaces::Clean(std::string_view text, bool utf8, std::string& out) {
  std::string_view ansi = text;
  if (utf8) {
    bool plain = true;
    for (const char c : text) plain = plain && static_cast<unsigned char>(c) < 0x80;
    if (!plain) {
      text::Utf8LineToAnsi(text, decoded_);  // a broken text becomes empty
      ansi = decoded_;
    }
  }
  out.clear();
  bool blank = true;  // leading blanks go
  for (const char c : ansi) {
    const bool space = static_cast<unsigned char>(c) < 32 || c == ' ' || c == '\x7F';
    if (space && collapse_ && blank) continue;
    out.push_back(space ? ' ' : c);
    blank = space;
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
}

bool MapPlaces::Add(std::string_view name, std::string_view code, double lat, double lon,
                    bool utf8) {
  if (!std::isfinite(lat) || !std::isfinite(lon) || std::fabs(lat) > 90 || std::fabs(lon) > 180) {
    return false;
  }
  Clean(name, utf8, name_);
  // Leading blanks of a table's name go as well.
  const std::string_view shown = text::TrimBlanks(name_);
  if (shown.empty()) return false;
  const std::string_view full = codes_.Get(code, [&](std::string_view c, std::string& out) {
    Clean(c, utf8, out);
    if (text::IsEmptyText(out)) out.assign(fallback_);
    if (!run_.full_codes.Contains(out)) run_.full_codes.Add(out);
  });
  FormatFiveDecimalsPadded(lat, lat_);
  FormatFiveDecimalsPadded(lon, lon_);
  run_.places.Add(Place{.name = shown,
                        .full_code = text::TrimBlanks(full),
                        .latitude = lat,
                        .longitude = lon,
                        .latitude_text = lat_,
                        .longitude_text = lon_});
  return true;
}

}  // namespace toponyx::readers
