// The argument language of glyphhost: calls separated by "::", arguments
// with optional prefixes, and script lines with shell-like quoting.
//
//   abc              text (UTF-8; characters in the wide build, bytes in the byte build)
//   text:STR         text, explicitly (text::: is the text "::", text:num:3 the text "num:3")
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

struct CallWords {
    std::string function;
    std::vector<std::string> args;
};

// Splits words at every "::" into calls; an empty call is an error.
std::vector<CallWords> splitCalls(const std::vector<std::string> &words);

// One argument as a parameter.  field: forms set the field on host; prev:
// needs the previous call's result.
Param parseArgument(const std::string &word, Build build, const std::optional<Result> &previous, Host &host);

// A script line split into words: blanks separate words; '...' keeps its
// contents as they are; "..." too, except that \" and \\ stand for " and \;
// outside quotes a backslash keeps the next character; a # at the start of
// a word begins a comment.  Throws ArgumentError on an unterminated quote.
std::vector<std::string> splitScriptLine(const std::string &line);

}  // namespace ghemu

#endif
