#include "readers/Formats.h"

#include "text/Text.h"

namespace toponyx::readers {

namespace {

// Calls each(entry) for every ";"-separated entry of a row's extensions.
template <class Each>
bool AnyExtension(std::string_view extensions, const Each& each) {
  for (;;) {
    const size_t semi = extensions.find(';');
    if (each(extensions.substr(0, semi))) return true;
    if (semi == std::string_view::npos) return false;
    extensions.remove_prefix(semi + 1);
  }
}

bool EndsWithIgnoringCase(std::string_view name, std::string_view tail) {
  return name.size() >= tail.size() &&
         text::EqualsIgnoreCase(name.substr(name.size() - tail.size()), tail);
}

}  // namespace

bool FormatTable::RowTakesName(const FormatRow& row, std::string_view name) {
  const std::string x = LowerExtension(name);
  return AnyExtension(row.extensions, [&](std::string_view e) {
    if (e.empty()) return x.empty();
    // ".osm.pbf": the name's last extension, and the one before it.
    if (e.find('.', 1) != std::string_view::npos) {
      return !x.empty() && EndsWithIgnoringCase(name, e) && EndsWithIgnoringCase(e, x);
    }
    return x == e;
  });
}

const FormatRow* FormatTable::RowForName(std::string_view name) const {
  for (const FormatRow& row : rows_) {
    if (RowTakesName(row, name)) return &row;
  }
  return nullptr;
}

bool FormatTable::Listed(std::string_view name) const {
  for (const FormatRow& row : rows_) {
    if (row.listed && RowTakesName(row, name)) return true;
  }
  return false;
}

std::string FormatTable::InputMask(std::string_view separator) const {
  std::string mask;
  std::vector<std::string_view> seen;
  for (const FormatRow& row : rows_) {
    if (!row.listed) continue;
    AnyExtension(row.extensions, [&](std::string_view e) {
      if (e.empty()) return false;
      for (std::string_view s : seen) {
        if (s == e) return false;
      }
      seen.push_back(e);
      if (!mask.empty()) mask += separator;
      mask += "*";
      mask += e;
      return false;
    });
  }
  return mask;
}

Detection FormatTable::Detect(Probe& probe) const {
  Detection best;
  for (const FormatRow& row : rows_) {
    if (row.container != Container::kNone || row.recognise == nullptr) continue;
    if (!RowTakesName(row, probe.name())) continue;
    Detection found;
    const Claim claim = row.recognise(probe, found);
    if (claim > best.claim) {
      best = std::move(found);
      best.claim = claim;
      best.format = &row;
      if (claim == Claim::kYes) break;
    }
  }
  if (best.format != nullptr && best.format->start == ReaderStart::kAtLineOne &&
      probe.first_line_read()) {
    probe.file().Rewind();
  }
  return best;
}

// --- archives -------------------------------------------------------------

const FormatRow kZipArchiveFormat{
    .name = "ZIP archives",
    .extensions = ".zip",
    .container = Container::kZip,
    .help_anchor = "formats.html#archives",
    .summary = "ZIP archives of any of them (.zip)",
};

const FormatRow kGzipArchiveFormat{
    .name = "gzip files",
    .extensions = ".gz",
    .container = Container::kGzip,
    .help_anchor = "formats.html#archives",
    .summary = "gzip files of USA GNIS files and GeoNames dumps (.gz)",
};

const FormatTable& DefaultFormats() {
  static const FormatTable table({
      kZipArchiveFormat,
      kGzipArchiveFormat,
      kOsGazetteerFormat,
      kUsaGnisTextFormat,
      kDomesticNamesFormat,
      kGeoNamesFormat,
      kWorldGnsFormat,
      kWaypointsFormat,
      kToponyxTextFormat,
      kUsaGazetteerCsvFormat,
      kOsOpenNamesFormat,
      kOsOpenNamesHeaderFormat,
      kGpxFormat,
      kOsmPbfFormat,
      kOsmXmlFormat,
      kOsmXmlExpandedFormat,
      kKmlFormat,
      kKmzFormat,
      kGeoJsonFormat,
      kDelimitedTableFormat,
      kGeoNamesGzipFormat,
      kUsaGnisPlainFormat,
  });
  return table;
}

}  // namespace toponyx::readers
