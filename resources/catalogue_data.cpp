// The catalogue data exported from the library file on platforms without
// Windows resources (see catalogue.h for the symbols and their layout).
#include "resources/catalogue.h"

#if !defined(_WIN32)

extern "C" {

GH_EXPORT extern const unsigned char glyphHerderQ7INF[GH_DESCRIPTOR_SIZE];
const unsigned char glyphHerderQ7INF[GH_DESCRIPTOR_SIZE] = {
#if GH_WIDE
    'U', 'F', 'N', 'C',
#else
    '7', 'F', 'N', 'C',
#endif
    GH_CATALOGUE_FIRST_ID & 0xFF, GH_CATALOGUE_FIRST_ID >> 8,
    0, 0, 0, 0, 0, 0, 0, 0};

#define GH_ENTRY_TEXT(name, params, reference) #name "(" params "):" #reference
#define GH_FUNCTION(number, name, params, reference, built)                          \
    {GH_CATALOGUE_FIRST_ID + (number) - 1,                                           \
     (number) == 1 ? GH_GROUP_NAME "~" GH_ENTRY_TEXT(name, params, reference)        \
                   : GH_ENTRY_TEXT(name, params, reference)},

GH_EXPORT extern const GlyphCatalogueString glyphHerderStrings[];
const GlyphCatalogueString glyphHerderStrings[] = {
#include "resources/catalogue.def"
    {GH_CATALOGUE_LAST_ID, "*" GH_LIBRARY_NAME},
    {0, nullptr}};
#undef GH_FUNCTION

}  // extern "C"

#endif
