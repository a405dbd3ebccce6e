#include "cli/Texts.h"

#include <vector>

#include "pipeline/FileList.h"

namespace toponyx::cli {

namespace {

// The masks of the listed formats, separated by blanks.
std::string Masks(const readers::FormatTable& formats) {
  return formats.InputMask(" ");
}

// The lines of a text, broken at blanks so that no line passes `width`
// characters after its indent; the first line begins at `first`.
std::string Wrap(std::string_view text, size_t first, size_t indent, size_t width) {
  std::string out;
  size_t column = first;
  bool line_start = true;
  while (!text.empty()) {
    const size_t blank = text.find(' ');
    const std::string_view word = text.substr(0, blank);
    if (!line_start && column + 1 + word.size() > width) {
      out += "\n" + std::string(indent, ' ');
      column = indent;
      line_start = true;
    }
    if (!line_start) {
      out += ' ';
      ++column;
    }
    out += word;
    column += word.size();
    line_start = false;
    if (blank == std::string_view::npos) break;
    text.remove_prefix(blank + 1);
  }
  return out;
}

// The summaries of the formats, each once, in table order.
std::vector<std::string_view> Summaries(const readers::FormatTable& formats) {
  std::vector<std::string_view> lines;
  for (const readers::FormatRow& row : formats.rows()) {
    if (!row.listed || row.summary.empty()) continue;
    bool seen = false;
    for (std::string_view l : lines) seen = seen || l == row.summary;
    if (!seen) lines.push_back(row.summary);
  }
  return lines;
}

}  // namespace

std::string HelpText(const readers::FormatTable& formats) {
  std::string text =
      "Build a Toponyx name database, NAME.names and NAME.types, from downloaded\n"
      "gazetteer files, loose or in archives. The FILEs must all stand in one folder.\n"
      "\n"
      "      --name NAME    name of the database (required)\n"
      "      --save DIR     folder for the database (default: the current folder)\n"
      "      --temp DIR     folder for the temporary files (default: a private folder\n"
      "                     in the system's temporary folder, removed afterwards)\n"
      "      --all DIR      ";
  text += Wrap("read every data file of DIR (" + Masks(formats) + ")", 21, 21, 79);
  text +=
      "\n"
      "      --columns NAME,LAT,LON[,TYPE]\n"
      "                     the name, latitude, longitude (and feature type) columns\n"
      "                     of delimited tables whose header names them otherwise:\n"
      "                     header names or column numbers from 1\n"
      "      --area SOUTH,WEST,NORTH,EAST\n"
      "                     keep only the places inside the area (WGS 84 decimal\n"
      "                     degrees; WEST greater than EAST crosses the 180th\n"
      "                     meridian)\n"
      "      --types FILE   keep only the places whose full code FILE lists (a .types\n"
      "                     file as the program writes it, with the unwanted lines\n"
      "                     deleted; letter case is ignored)\n"
      "      --classes LIST keep only the places of these classes, letters of\n"
      "                     A P V L U R T H S (--classes PTH); places whose source has\n"
      "                     no class pass\n"
      "      --alternate-names\n"
      "                     add a record, with the same codes and position, for each\n"
      "                     further name a source gives (GeoNames alternatenames,\n"
      "                     OpenStreetMap alt_name, old_name, official_name, loc_name,\n"
      "                     short_name and name:LANG)\n"
      "      --languages LIST\n"
      "                     the languages of OpenStreetMap's name:LANG taken as\n"
      "                     alternate names with --alternate-names (en,de; default:\n"
      "                     none)\n"
      "      --merge-duplicates[=METRES]\n"
      "                     places of the same name and class within METRES (default\n"
      "                     200) of each other become one, the first one read; a place\n"
      "                     whose source has no class matches any class\n"
      "  -q, --quiet        write nothing to stderr but the messages of the run\n"
      "      --require-places\n"
      "                     exit with status 1 when no place was read (the empty\n"
      "                     database is written all the same)\n"
      "  -h, --help         display this help and exit\n"
      "      --version      output version information and exit\n"
      "\n"
      "Files read (each recognised by its extension, its name and its first line):\n";
  for (std::string_view summary : Summaries(formats)) {
    text += "  " + Wrap(summary, 2, 4, 79) + "\n";
  }
  text +=
      "\n"
      "The messages of the run go to stderr, the paths of the two files written to\n"
      "stdout.\n"
      "\n"
      "A database past 2 GiB (about 14.7 million places), which 32-bit programs and\n"
      "several DBF readers cannot open, is warned of before it is written; the run\n"
      "goes on.\n"
      "\n"
      "Exit status:\n"
      " 0  if the database was built,\n"
      " 1  if the run failed (or, with --require-places, read no place),\n"
      " 2  if the request was refused or the arguments are wrong,\n"
      " 128+N  if signal N stopped the run.\n";
  return text;
}

std::string CompletionScript(const readers::FormatTable& formats) {
  // Extensions without their dot, as written and in capitals.
  std::string lower, upper;
  const std::string masks = formats.InputMask(";");
  for (size_t at = 0; at < masks.size();) {
    const size_t semi = std::min(masks.find(';', at), masks.size());
    const std::string_view extension = std::string_view(masks).substr(at + 2, semi - at - 2);
    lower += (lower.empty() ? "" : "|") + std::string(extension);
    std::string capitals(extension);
    for (char& c : capitals) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
    upper += "|" + capitals;
    at = semi + 1;
  }
  return "# Completion of toponyx-create's options, their folders and its data files\n"
         "# (generated from the program's table of formats).\n"
         "_toponyx_create() {\n"
         "  local cur prev words cword\n"
         "  _init_completion || return\n"
         "  case $prev in\n"
         "    --save | --temp | --all)\n"
         "      _filedir -d\n"
         "      return\n"
         "      ;;\n"
         "    --types)\n"
         "      _filedir types\n"
         "      return\n"
         "      ;;\n"
         "    --name | --columns | --area | --classes | --languages)\n"
         "      return\n"
         "      ;;\n"
         "  esac\n"
         "  if [[ $cur == -* ]]; then\n"
         "    COMPREPLY=($(compgen -W '--name --save --temp --all --columns --quiet "
         "--require-places "
         "--area --types --classes --alternate-names --languages --merge-duplicates "
         "--help --version' -- \"$cur\"))\n"
         "    return\n"
         "  fi\n"
         "  _filedir '@(" +
         lower + upper +
         ")'\n"
         "} && complete -F _toponyx_create toponyx-create\n";
}

std::string ManPage(std::string_view page_template, const readers::FormatTable& formats) {
  std::string list;
  for (std::string_view summary : Summaries(formats)) {
    list += ".IP \\(bu 2\n";
    // A line that begins with a full stop would be a request to roff.
    if (summary.starts_with(".")) list += "\\&";
    list += std::string(summary) + "\n";
  }
  std::string page(page_template);
  auto fill = [&page](std::string_view placeholder, const std::string& text) {
    for (size_t at = page.find(placeholder); at != std::string::npos;
         at = page.find(placeholder, at + text.size())) {
      page.replace(at, placeholder.size(), text);
    }
  };
  fill("%INPUT_MASKS%", Masks(formats));
  if (!list.empty()) list.pop_back();  // the template's own line feed follows
  fill("%FORMAT_LIST%", list);
  return page;
}

}  // namespace toponyx::cli
