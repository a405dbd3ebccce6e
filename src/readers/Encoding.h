// The readers handle text in ANSI (Windows-1252). A file that began with a
// byte-order mark arrives as UTF-8 (text/LineReader.h): its lines are
// turned into ANSI the way every UTF-8 line is.
#pragma once

#include <string>

#include "text/CodePage.h"
#include "text/LineReader.h"

namespace toponyx::readers {

// The line in ANSI: converted in place when the file is UTF-8 (or when
// also_if_utf8 is set and the line is UTF-8 with a multi-byte sequence),
// else as read. scratch is the reader's reused buffer.
inline void LineAsAnsi(const text::TextFile& file, std::string& line, std::string& scratch,
                       bool also_if_utf8 = false) {
  bool decode = file.IsUtf8();
  if (!decode && also_if_utf8) {
    bool high = false;
    for (char c : line) high = high || static_cast<unsigned char>(c) >= 0x80;
    decode = high && codepage::IsUtf8(line);
  }
  if (!decode) return;
  text::Utf8LineToAnsi(line, scratch);  // a broken line becomes empty
  line.swap(scratch);
}

}  // namespace toponyx::readers
