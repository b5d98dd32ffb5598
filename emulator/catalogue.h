// The function catalogue as a host reads it from a library file: the
// descriptor decides the build, the strings name the functions.
#ifndef GH_EMULATOR_CATALOGUE_H
#define GH_EMULATOR_CATALOGUE_H

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "emulator/system.h"
#include "emulator/value.h"

struct GlyphCatalogueString;

namespace ghemu {

// Catalogue data that does not have the expected form.
struct CatalogueError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct CatalogueFunction {
    int number = 0;          // position: the function number of a call
    uint32_t stringId = 0;   // 12060 + number
    std::string name;
    std::string params;      // the parameter text between the parentheses
    uint32_t reference = 0;  // the number after the colon
    std::string text;        // the whole catalogue string
};

class Catalogue {
public:
    // Validates and parses: the descriptor is 14 bytes, "UFNC" (wide) or
    // "7FNC" (byte), 12061 little-endian, 8 zeros; the strings run from 12061
    // without gaps; the first names the group before "~"; the last is "*"
    // and the library name; every other is name(params):reference.
    static Catalogue parse(const RawCatalogue &raw);
    // The same over the data symbols as a library exports them (for a
    // library linked into the process).
    static Catalogue fromData(const unsigned char *descriptor, const GlyphCatalogueString *strings);

    Build build() const { return build_; }
    const std::string &group() const { return group_; }
    const std::string &libraryName() const { return libraryName_; }
    const std::vector<CatalogueFunction> &functions() const { return functions_; }

    // By name (exact, case-sensitive) or number; null when absent.
    const CatalogueFunction *find(std::string_view name) const;
    const CatalogueFunction *find(int number) const;

private:
    Build build_ = Build::Wide;
    std::string group_;
    std::string libraryName_;
    std::vector<CatalogueFunction> functions_;
};

}  // namespace ghemu

#endif
