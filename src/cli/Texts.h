// The texts of toponyx-create that name the formats it reads: --help, the
// manual page's list and the shell completion, all derived from the table
// of formats.
#pragma once

#include <string>

#include "readers/Formats.h"

namespace toponyx::cli {

// --help after the usage lines.
std::string HelpText(const readers::FormatTable& formats);

// The bash completion of toponyx-create: its options, folders for the
// options that take one, and the files of every listed extension.
std::string CompletionScript(const readers::FormatTable& formats);

// The manual page's template with its format placeholders filled:
// "%INPUT_MASKS%" (the masks, "*.zip *.gz ...") and "%FORMAT_LIST%" (one
// roff paragraph per format).
std::string ManPage(std::string_view page_template, const readers::FormatTable& formats);

}  // namespace toponyx::cli
