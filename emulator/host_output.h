// How glyphhost shows values.  By default every character can be seen for
// what it is: a text is shown in double quotes, with control characters,
// characters that are not Unicode scalar values, backslashes and double
// quotes written as escapes that the esc: argument form reads back
// (\r \n \t \0 \\ \" and \x{HEX}).  The raw form is the characters
// themselves: UTF-8 in the wide build, the bytes in the byte build.
//
// The byte build's characters are bytes 0 to 255, shown as the characters
// of those codes (Latin-1, as a typed argument reads them): 0xE9 is é, and
// 0x80 to 0x9F, control characters there, are escapes.
#ifndef GH_EMULATOR_HOST_OUTPUT_H
#define GH_EMULATOR_HOST_OUTPUT_H

#include <string>

#include "emulator/value.h"

namespace ghemu {

// Whether a character is written as an escape in the shown form (the
// reference generator mirrors this rule for the outputs on its page).
bool needsEscape(char32_t code);

// The text's characters with escapes, without quotes.
std::string escapedText(const Value &text);

// The text's characters as they are: UTF-8 (any code, in the generalised
// form for codes that are not scalar values) in the wide build, the bytes in
// the byte build.
std::string rawText(const Value &text, Build build);

// A value as glyphhost prints it: a number as a number, binary as lowercase
// hexadecimal ("(empty)" when it holds no byte) with its readable form when
// every byte is printable ASCII, a text quoted and escaped (raw: as it is).
std::string shownValue(const Value &v, Build build, bool raw);

// Only the value, for --value-only: a text escaped without quotes (raw: as
// it is), binary as hexadecimal (empty when it holds no byte), a number.
std::string bareValue(const Value &v, Build build, bool raw);

// "number", "text" or "binary": the kind of a value, whatever host type
// (text or text block, binary block) the library set it as.
const char *kindName(const Value &v);

}  // namespace ghemu

#endif
