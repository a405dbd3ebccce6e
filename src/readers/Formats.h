// The table of formats: one row per kind of file the program reads, in the
// order their recognitions are tried. Everything that depends on the kinds
// of file (staging, the file list and --all, the dialog filters, --help,
// the manual page, the shell completion, the help pages) is derived from
// it, so a new format is one reader file and one row.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "readers/Detect.h"
#include "readers/Readers.h"

namespace toponyx::readers {

// A reader of one format.
using Reader = void (*)(ReaderInput& in, ReaderRun& run);
// A format's recognition: how sure it is of the file, with what it found.
using Recognise = Claim (*)(Probe& probe, Detection& found);

// Archives are no formats of their own: staging expands them and reads
// what they hold.
enum class Container { kNone, kZip, kGzip };

// Where a format's reader begins.
enum class ReaderStart {
  kAfterRecognition,  // where the recognition left the file (lines it read are taken)
  kAtLineOne,         // the file read again from its start (the line buffer as it was)
};

struct FormatRow {
  // As the help and the messages name the format ("GeoNames").
  std::string_view name = {};
  // The extensions of its files, lower case with their dot, ";"-separated
  // (".txt", ".osm.pbf;.pbf"); an empty entry stands for a name without
  // extension.
  std::string_view extensions = {};
  // Whether its files are offered: the file list, --all and staging take
  // the listed extensions (others reach a reader only from an archive).
  bool listed = true;
  Container container = Container::kNone;
  // An archive that holds one document among other members (a KMZ holds
  // doc.kml and its images): the document's extension (".kml"). Only that
  // member is read: the one named doc<extension>, else the first with the
  // extension; the others are passed over without a word.
  std::string_view document = {};
  Recognise recognise = nullptr;
  // Null: the format's files give no place by design (no warning either).
  Reader reader = nullptr;
  ReaderStart start = ReaderStart::kAfterRecognition;
  // The world code list is loaded before its reader runs.
  bool needs_world_codes = false;
  // The caption of a filter entry of its own in the folder dialog, "" for
  // none (every listed format is in the first entry).
  std::string_view dialog_filter = {};
  // Its page and anchor in the help ("formats.html#geonames").
  std::string_view help_anchor = {};
  // One line for --help and the manual page ("GeoNames dumps (.txt)").
  std::string_view summary = {};
};

class FormatTable {
 public:
  explicit FormatTable(std::vector<FormatRow> rows) : rows_(std::move(rows)) {}

  const std::vector<FormatRow>& rows() const { return rows_; }

  // True when the row's extensions include the name's.
  static bool RowTakesName(const FormatRow& row, std::string_view name);
  // The first row whose extensions include the name's, or null.
  const FormatRow* RowForName(std::string_view name) const;
  // The masks of every listed extension in table order, each once, joined
  // by `separator` ("*.zip;*.gz;*.txt;...").
  std::string InputMask(std::string_view separator = ";") const;
  // True when the name has a listed extension.
  bool Listed(std::string_view name) const;

  // Recognises a file: every row of the name's extension is asked in
  // order, up to the first that is sure. The file is left where the chosen
  // reader begins.
  Detection Detect(Probe& probe) const;

 private:
  std::vector<FormatRow> rows_;
};

// The program's formats.
const FormatTable& DefaultFormats();

// The rows of the program's formats, each defined beside its reader.
extern const FormatRow kZipArchiveFormat;
extern const FormatRow kGzipArchiveFormat;
extern const FormatRow kOsGazetteerFormat;
extern const FormatRow kUsaGnisTextFormat;
extern const FormatRow kDomesticNamesFormat;
extern const FormatRow kGeoNamesFormat;
extern const FormatRow kWorldGnsFormat;
// The column layouts of world GNS files (Detection::layout).
enum GnsLayout : int {
  kGnsNewer = 0,    // a header with "DATE", UTF-8
  kGnsOlder = 1,    // a header without "DATE"
  kGnsCurrent = 2,  // the current download: lower-case column names ("lat_dd", ...)
};
extern const FormatRow kWaypointsFormat;
extern const FormatRow kToponyxTextFormat;
extern const FormatRow kUsaGazetteerCsvFormat;
extern const FormatRow kOsOpenNamesFormat;
extern const FormatRow kOsOpenNamesHeaderFormat;
extern const FormatRow kGpxFormat;
extern const FormatRow kOsmPbfFormat;
extern const FormatRow kOsmXmlFormat;
// OpenStreetMap XML that a ".gz" file expanded (to "<name>.usa"): known by
// its content, before the USA GNIS reader takes the file.
extern const FormatRow kOsmXmlExpandedFormat;
extern const FormatRow kKmlFormat;
extern const FormatRow kKmzFormat;
extern const FormatRow kGeoJsonFormat;
extern const FormatRow kDelimitedTableFormat;
extern const FormatRow kGeoNamesGzipFormat;
extern const FormatRow kUsaGnisPlainFormat;

}  // namespace toponyx::readers
