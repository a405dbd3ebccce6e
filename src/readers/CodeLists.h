// The GeoNames feature-code table built into the program: rows of code and
// description in a fixed order, parsed once from the embedded
// GeoNamesCodes.txt.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace toponyx::readers {

struct CodeRow {
  std::string code;
  std::string description;
};

// Rows of a "code,description" text, one a line, in order. A line ends at LF
// (a CR before it is dropped); the code is the text before the first comma
// and the description the rest, both as they stand. Empty lines and lines
// without a comma are passed over.
std::vector<CodeRow> ParseCodeRows(std::string_view text);

// A code table searched the way a scan from the first row finds a code: the
// code must equal a row's code exactly (letter case counts), and of rows with
// the same code the first one answers. A hash of the codes gives the answer
// without the scan.
class CodeTable {
 public:
  explicit CodeTable(std::vector<CodeRow> rows);
  CodeTable(const CodeTable&) = delete;
  CodeTable& operator=(const CodeTable&) = delete;

  // The description of the first row whose code is code, or null.
  const std::string* Find(std::string_view code) const;
  const std::vector<CodeRow>& rows() const { return rows_; }

 private:
  std::vector<CodeRow> rows_;
  // Views into rows_ (which never changes after construction) -> row index.
  std::unordered_map<std::string_view, size_t> first_row_;
};

// The built-in GeoNames table (672 rows), parsed at first use.
const CodeTable& GeoNamesCodeTable();
// The description of a GeoNames feature code, or null when the table has no
// row of that code (the reader writes "Not Available" then).
const std::string* GeoNamesDescription(std::string_view code);

}  // namespace toponyx::readers
