// The argument language of glyphhost: calls separated by "::", arguments
// with optional prefixes, and script lines with shell-like quoting.
//
//   abc              text: the typed characters (UTF-8); in the byte build
//                    each must be one of its characters, U+0000 to U+00FF
//                    (é is the byte E9); bytes that are not UTF-8 go as they are
//   text:STR         text, explicitly (text::: is the text "::", text:num:3 the text "num:3")
//   esc:STR          text with escapes: \r \n \t \0 \\ \" and \x{HEX}, any code
//   expr:"ab"*3+"c"  text made of quoted pieces (escapes as in esc:), each
//                    repeated *N times, joined with +
//   num:N            a number (3, -2.5, 1e12, nan, inf)
//   hex:00ab         binary, from pairs of hexadecimal digits
//   bytes:STR        binary, the UTF-8 bytes of STR
//   codes:233,8364   text of these character codes (decimal, or 0x hexadecimal)
//   textfile:PATH    text, the file's contents as UTF-8 (bytes in the byte build)
//   binfile:PATH     binary, the file's contents
//   field:NAME=VAL   sets the named field NAME to VAL (any of these forms) and
//                    passes the text NAME
//   field:NAME       passes the text NAME of a field set by an earlier call
//   prev:            the previous call's result, with its type
//
// A call may start with @N (N from 1): it goes to the Nth connected instance.
#ifndef GH_EMULATOR_HOST_ARGS_H
#define GH_EMULATOR_HOST_ARGS_H

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "emulator/host.h"
#include "emulator/value.h"

namespace ghemu {

// A malformed argument, script line or file.
struct ArgumentError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The word that separates calls on the command line.
inline constexpr const char *kCallSeparator = "::";

// The most instances a run may use (@1 to @kMaxInstances).
inline constexpr size_t kMaxInstances = 16;

struct CallWords {
    std::string function;
    std::vector<std::string> args;
    size_t instance = 0;  // 0 for @1
    size_t line = 0;      // a script's line number (0 on the command line)
};

// Splits words at every "::" into calls; an empty call is an error.  An @N
// word before a call's function name picks its instance.
std::vector<CallWords> splitCalls(const std::vector<std::string> &words);

// The instance an @N word names (0 for @1), or nothing when the word is not
// of that form.  Throws ArgumentError for @0 and beyond kMaxInstances.
std::optional<size_t> instanceWord(const std::string &word);

// Refuses an argument that looks like one of glyphhost's options (--name):
// options go before the subcommand.
void refuseOptionWord(const std::string &word);

// One argument as a parameter.  field: forms set the field on host; prev:
// needs the previous call's result.
Param parseArgument(const std::string &word, Build build, const std::optional<Result> &previous, Host &host);

// The characters of esc: text (without the prefix), as codes.  Throws
// ArgumentError on an unknown or unfinished escape.
std::u32string unescape(const std::u32string &text);

// A script line split into words: blanks separate words; '...' keeps its
// contents as they are; "..." too, except that \" and \\ stand for " and \;
// outside quotes a backslash keeps the next character; a # at the start of
// a word begins a comment.  Throws ArgumentError on an unterminated quote.
std::vector<std::string> splitScriptLine(const std::string &line);

// The name among candidates nearest to name (the same letters in other
// case, or at most two letters apart), or "" when none is near.
std::string nearestName(const std::string &name, const std::vector<std::string> &candidates);

}  // namespace ghemu

#endif
