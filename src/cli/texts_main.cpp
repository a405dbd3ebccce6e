// Writes the texts of toponyx-create that are derived from the table of
// formats, for the build: the bash completion, and the manual page from its
// template.
//   toponyx-texts completion OUTPUT
//   toponyx-texts man TEMPLATE OUTPUT
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "cli/Texts.h"

int main(int argc, char** argv) {
  using namespace toponyx;
  const std::string mode = argc > 1 ? argv[1] : "";
  std::string text;
  const char* output = nullptr;
  if (mode == "completion" && argc == 3) {
    text = cli::CompletionScript(readers::DefaultFormats());
    output = argv[2];
  } else if (mode == "man" && argc == 4) {
    std::ifstream in(argv[2], std::ios::binary);
    const std::string page_template{std::istreambuf_iterator<char>(in),
                                    std::istreambuf_iterator<char>()};
    if (!in) {
      std::cerr << "toponyx-texts: cannot read " << argv[2] << "\n";
      return 1;
    }
    text = cli::ManPage(page_template, readers::DefaultFormats());
    output = argv[3];
  } else {
    std::cerr << "usage: toponyx-texts completion OUTPUT | man TEMPLATE OUTPUT\n";
    return 2;
  }
  std::ofstream out(output, std::ios::binary);
  out << text;
  out.close();
  if (!out) {
    std::cerr << "toponyx-texts: cannot write " << output << "\n";
    return 1;
  }
  return 0;
}
