// The function catalogue as the library sees it, and the catalogue data that
// the library file carries for hosts.
//
// On Windows the data are resources: a string table (language 1033) with
// strings 12061 to 12099, and the 14-byte raw-data resource "Q7INF".  On other
// platforms the same data are exported from the library file as plain data,
// readable by a host with dlsym without calling any library code:
//
//   const unsigned char glyphHerderQ7INF[14];
//       "UFNC" (wide build) or "7FNC" (byte build), 12061 as a 16-bit
//       little-endian number, then 8 zero bytes.
//   const GlyphCatalogueString glyphHerderStrings[];
//       { id, text } for ids 12061 to 12099 in order, then { 0, NULL }.
#ifndef GH_CATALOGUE_H
#define GH_CATALOGUE_H

#include <stdint.h>

#include "platform/platform.h"

#define GH_GROUP_NAME "GlyphHerder"
#define GH_LIBRARY_NAME "glyphHerder"
enum {
    GH_CATALOGUE_FIRST_ID = 12061,
    GH_FUNCTION_COUNT = 38,
    GH_CATALOGUE_LAST_ID = GH_CATALOGUE_FIRST_ID + GH_FUNCTION_COUNT, /* "*glyphHerder" */
    GH_DESCRIPTOR_SIZE = 14
};

#ifdef __cplusplus
extern "C" {
#endif

typedef struct GlyphCatalogueString {
    uint32_t id;
    const char *text;
} GlyphCatalogueString;

#define GH_CATALOGUE_DESCRIPTOR_SYMBOL "glyphHerderQ7INF"
#define GH_CATALOGUE_STRINGS_SYMBOL "glyphHerderStrings"

#ifdef __cplusplus
}
#endif

#endif
