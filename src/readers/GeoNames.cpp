// GeoNames files: tab-separated UTF-8, one feature a line, no header. The
// format dispatch has read line 1 into the current-line buffer; it is read
// here first, then the rest of the file.
#include <string>
#include <string_view>
#include <unordered_map>

#include "pipeline/BuildContext.h"
#include "readers/CodeLists.h"
#include "readers/Fields.h"
#include "readers/Readers.h"
#include "text/CodePage.h"
#include "text/Text.h"

namespace toponyx::readers {
namespace {

constexpr int kNameField = 2;
constexpr int kAsciiNameField = 3;
constexpr int kAlternateNamesField = 4;
constexpr int kLatitudeField = 5;
constexpr int kLongitudeField = 6;
constexpr int kFeatureCodeField = 8;

// A name that cannot stand as the place's name: empty, or with a "?" (what
// the code-page conversion leaves of a character it cannot write).
bool Unusable(std::string_view name) {
  return text::IsEmptyText(name) || name.find('?') != std::string_view::npos;
}

class GeoNamesReader {
 public:
  explicit GeoNamesReader(pipeline::BuildContext& ctx) : ctx_(ctx) {}

  void Line(const std::string& raw) {
    text::Utf8LineToAnsi(raw, decoded_);  // a broken line becomes empty
    f_.Cut(decoded_, '\t');
    const std::string_view lat = f_.Get(kLatitudeField, "");
    const std::string_view lon = f_.Get(kLongitudeField, "");
    if (text::IsEmptyText(lat) && text::IsEmptyText(lon)) return;

    std::string_view name = f_.Get(kNameField, "");
    if (Unusable(name)) name = f_.Get(kAsciiNameField, "");
    if (Unusable(name)) name = f_.Get(kAlternateNamesField, "");
    name = text::GetField(name, 1, "", ',');
    if (name.empty()) name = kNotIdentified;

    ctx_.AppendPlace(name, FullCode(text::TrimBlanks(f_.Get(kFeatureCodeField, ""))), {}, lat, lon);
  }

 private:
  struct Code {
    std::string full;  // proper-cased description
    bool noted = false;
  };

  // The proper-cased description of a feature code, "Not Available" for a
  // code the table lacks; noted in the full-code list on first use.
  const std::string& FullCode(std::string_view code) {
    static const std::string kNotAvailable = "Not Available";
    const std::string* description = GeoNamesDescription(code);
    if (description == nullptr) description = &kNotAvailable;
    if (description != last_description_) {
      auto [it, fresh] = codes_.try_emplace(description);
      if (fresh) text::ProperCase(*description, it->second.full);
      last_description_ = description;
      last_ = &it->second;
    }
    if (!last_->noted) {
      const std::string_view full = last_->full;
      if (!ctx_.full_codes.Contains(full)) ctx_.full_codes.Add(text::TrimBlanks(full));
      last_->noted = true;
    }
    return last_->full;
  }

  pipeline::BuildContext& ctx_;
  std::string decoded_;
  FieldCuts<kFeatureCodeField> f_;
  // One entry per description met in this file (the table has 672 rows).
  std::unordered_map<const std::string*, Code> codes_;
  const std::string* last_description_ = nullptr;
  Code* last_ = nullptr;
};

}  // namespace

void ReadGeoNames(pipeline::BuildContext& ctx) {
  GeoNamesReader reader(ctx);
  reader.Line(ctx.line);  // line 1, read by the format dispatch
  while (!ctx.input.Eof()) {
    ctx.input.ReadTextLine(ctx.line);
    reader.Line(ctx.line);
  }
}

}  // namespace toponyx::readers
