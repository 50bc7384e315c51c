#pragma once
// Edit masks applied to text (FORMATTEXT).
//
// A mask is "pattern;save-literals;blank"; the fields are read from the left,
// so when more fields follow (FORMATTEXT appends ";0; ") the first ones win.
// Pattern characters:
//   0 9 #  digit slots (required, optional, digit or sign)
//   L l    letter slots; A a letter-or-digit slots; C c any-character slots
//   >  <   upper / lower case what follows; "<>" stops both
//   \      the next character is a literal
//   _      a literal blank
//   /  :   the locale's date and time separators
//   !      (anywhere) fill from the right: missing characters show as
//          leading blanks instead of trailing ones
//   other  literal, inserted into the result
// The characters of the value fill the slots in order, unchecked (formatting
// never drops what the user typed); slots left over show the blank character
// (" " unless the mask names one) and characters left over are kept after the
// result (before it when filling from the right). With save-literals on (any
// field but "0"; on when absent) the value is taken to hold the literals too:
// a value character equal to the literal at its place is consumed by it.
// Text is CP936: a double-byte character is one character, in the pattern and
// in the value, and is never case-converted.

#include <string>
#include <string_view>

namespace rtl {

std::string FormatMaskText(std::string_view editMask, std::string_view value);

} // namespace rtl
