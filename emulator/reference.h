// The function reference built into glyphhost: one entry per catalogue
// function, as docs/functions.md shows it, in plain text.  The table is
// generated at build time from docs/functions.json (tools/gen_reference.py).
#ifndef GH_EMULATOR_REFERENCE_H
#define GH_EMULATOR_REFERENCE_H

#include <cstddef>
#include <string>

namespace ghemu {

struct ReferenceEntry {
    int number;           // the function number (catalogue position)
    const char *name;
    const char *group;    // the group's title, as the page has it
    const char *summary;  // one line
    bool built;           // false: the library sets no result yet
    int paramCount;       // the parameters it reads at most, shown or not in the catalogue text
    const char *call;     // name(every parameter), optional ones in brackets
    const char *text;     // the whole entry, wrapped for a terminal
};

extern const ReferenceEntry kReferenceEntries[];
extern const size_t kReferenceEntryCount;
// The notation of the examples, printed after an entry.
extern const char *const kReferenceLegend;

// The entry of a function named exactly, or by its number; null when there
// is none.
const ReferenceEntry *findReferenceEntry(const std::string &nameOrNumber);

}  // namespace ghemu

#endif
