// USA GNIS files in three layouts: tab-separated decimal degrees, "|"
// separated decimal degrees with a header line, and the old fixed columns
// with packed degrees-minutes-seconds positions.
#include <string>
#include <string_view>

#include "pipeline/BuildContext.h"
#include "readers/Fields.h"
#include "readers/PlaceRecord.h"
#include "readers/Readers.h"
#include "text/Text.h"

namespace toponyx::readers {
namespace {

using pipeline::BuildContext;

// Columns of the fixed layout (1-based, inclusive).
constexpr size_t kNameColumn = 14, kNameWidth = 100;   // 14-113
constexpr size_t kClassColumn = 115, kClassWidth = 9;  // 115-123
constexpr size_t kLatColumn = 141, kLatWidth = 7;      // 141-147
constexpr size_t kLonColumn = 149, kLonWidth = 8;      // 149-156

std::string_view Columns(std::string_view line, size_t first, size_t width) {
  if (line.size() < first) return {};
  return line.substr(first - 1, width);
}

class UsaReader {
 public:
  explicit UsaReader(BuildContext& ctx) : ctx_(ctx) {}

  // The decimal layouts (the staged name holds "DECI"): header lines set the
  // separator, every other line is a data line.
  void ReadDecimalFile() {
    while (!ctx_.input.Eof()) {
      ctx_.input.ReadTextLine(ctx_.line);
      if (IsHeader()) continue;
      DecimalLine();
    }
  }

  // The plain entry without "DECI": every line is a fixed-layout line.
  void ReadFixedFile() {
    while (!ctx_.input.Eof()) {
      ctx_.input.ReadTextLine(ctx_.line);
      FixedLine();
    }
  }

  // The text-file entry without "DECI": a "|" header switches the following
  // lines to the decimal layout; before it (or after a header without "|")
  // lines are fixed-layout lines.
  void ReadMixedFile() {
    while (!ctx_.input.Eof()) {
      ctx_.input.ReadTextLine(ctx_.line);
      if (IsHeader()) continue;
      if (separator_ == '|') {
        DecimalLine();
      } else {
        FixedLine();
      }
    }
  }

 private:
  // A header line holds "FEATURE_ID" (ignoring case) and sets the separator.
  bool IsHeader() {
    if (!text::ContainsUpperCased(ctx_.line, "FEATURE_ID")) return false;
    separator_ = ctx_.line.find('|') != std::string::npos ? '|' : '\t';
    return true;
  }

  void DecimalLine() {
    fields_.Cut(ctx_.line, separator_);
    const bool bar = separator_ == '|';
    const std::string_view missing = bar ? "0" : "UNKNOWN";
    if (fields_.Get(10, missing) == missing || fields_.Get(11, missing) == missing) return;

    std::string& name = ctx_.scratch[0];
    name.assign(fields_.Get(2, "UNKNOWN"));
    for (char& c : name) {
      if (c == ',') c = ' ';
    }
    const std::string_view code = text::TrimBlanks(fields_.Get(3, "UNKN"));
    // The record's positions: the fields with the default "UNKNOWN" (a "|"
    // field that passed the test above is never missing).
    Append(text::TrimBlanks(name), code, fields_.Get(10, "UNKNOWN"), fields_.Get(11, "UNKNOWN"));
  }

  void FixedLine() {
    const std::string_view line = ctx_.line;
    const std::string_view lat_test = Columns(line, kLatColumn, kLatWidth);
    const std::string_view lon_test = Columns(line, kLonColumn, 7);
    if (lat_test.empty() || lon_test.empty() || lat_test == "UNKNOWN" || lon_test == "UNKNOWN") {
      return;
    }
    PackedDmsToText(lat_test, ctx_.scratch[1]);
    PackedDmsToText(Columns(line, kLonColumn, kLonWidth), ctx_.scratch[2]);
    Append(text::TrimBlanks(Columns(line, kNameColumn, kNameWidth)),
           text::TrimBlanks(Columns(line, kClassColumn, kClassWidth)), ctx_.scratch[1],
           ctx_.scratch[2]);
  }

  // FULL_CODE is the proper-cased class; the class joins the full-code list.
  void Append(std::string_view name, std::string_view code, std::string_view lat,
              std::string_view lon) {
    // Lines of one class tend to follow each other: the class of the line
    // before is proper-cased and noted already.
    if (!have_last_code_ || code != last_code_) {
      last_code_.assign(code);
      have_last_code_ = true;
      text::ProperCase(code, full_);
      ctx_.full_codes.Note(code);
    }
    ctx_.AppendPlace(name, full_, {}, lat, lon);
  }

  BuildContext& ctx_;
  char separator_ = '\t';
  std::string last_code_;  // the class of the last record, and its FULL_CODE
  std::string full_;
  bool have_last_code_ = false;
  FieldCuts<11> fields_;
};

bool NameSaysDecimal(const BuildContext& ctx) {
  return text::ContainsUpperCased(ctx.Current().name, "DECI");
}

}  // namespace

void ReadUsaGnisTextFile(pipeline::BuildContext& ctx) {
  UsaReader reader(ctx);
  if (NameSaysDecimal(ctx)) {
    reader.ReadDecimalFile();
  } else {
    reader.ReadMixedFile();
  }
}

void ReadUsaGnisPlain(pipeline::BuildContext& ctx) {
  UsaReader reader(ctx);
  if (NameSaysDecimal(ctx)) {
    reader.ReadDecimalFile();
  } else {
    reader.ReadFixedFile();
  }
}

}  // namespace toponyx::readers
