// The program's text operations. All texts are single-byte texts (the ANSI
// code page, Windows-1252); upper- and lower-casing touch the ASCII letters
// only. Fields are views into the caller's text: nothing here allocates
// except ProperCase into a caller's buffer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Ascii.h"

namespace toponyx::text {

using platform::EqualsIgnoreCase;
using platform::ToLowerAscii;
using platform::ToUpperAscii;

// The text without leading and trailing space characters (code 32 only).
std::string_view TrimBlanks(std::string_view s);
// True when the text is empty or consists of spaces only.
bool IsEmptyText(std::string_view s);
// True when the text is empty or every character has a code of 32 or less.
bool IsBlankText(std::string_view s);

// The n-th field (from 1) of text split at sep, trimmed of blanks. A missing
// field, or an empty one, gives def; a field of spaces only gives "".
std::string_view GetField(std::string_view text, int n, std::string_view def, char sep);
// The n-th field read as a decimal integer after every character but "+",
// "-" and the digits became a blank; def when it is not one.
int32_t GetIntField(std::string_view text, int n, int32_t def, char sep);
// The n-th field read as a decimal number (full stop, optional exponent)
// after every character but "+-.0123456789Ee" became a blank; def for a
// missing or empty field, 0 when no digit is left.
double GetFloatField(std::string_view text, int n, double def, char sep);

// Reads a text the way GetIntField reads its field (blanking, then a decimal
// integer); false when it is not one. Used for datums.dat as well.
bool ParseLooseInt(std::string_view s, int32_t& value);
// Reads a text the way GetFloatField reads its field.
double ParseLooseFloat(std::string_view s);
// A plain decimal number with a full stop ("-33.86", "1e5"); blanks around
// it are ignored. An empty text or one without a number gives 0; otherwise
// the value of its longest leading number.
double ParseDecimal(std::string_view s);

// Proper capitals: see the rules in Text.cpp. Writes into out (reused).
void ProperCase(std::string_view t, std::string& out);
std::string ProperCase(std::string_view t);

// ASCII-only case helpers.
void UpperCaseAscii(std::string& s);
std::string UpperCaseAscii(std::string_view s);
// <0, 0, >0 comparing bytes after folding a-z to A-Z.
int CompareIgnoreCase(std::string_view a, std::string_view b);
// Matches name against a pattern of "*" (any run) and "?" (any one byte),
// the letter case of A to Z ignored.
bool WildcardMatch(std::string_view pattern, std::string_view name);
// True when the text, upper-cased (ASCII), contains needle; needle must
// already be in upper case. No copy of the text is made.
bool ContainsUpperCased(std::string_view text, std::string_view needle);
inline bool Contains(std::string_view text, std::string_view needle) {
  return text.find(needle) != std::string_view::npos;
}

}  // namespace toponyx::text
