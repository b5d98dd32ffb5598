// The shared library's own translation unit.  The entry point and the
// catalogue data live in the core; this file only pulls them in, and on
// Windows supplies the load handler, which does nothing of its own.
#include "host/host_callback.h"
#include "resources/catalogue.h"

#if defined(_WIN32)
#  include <windows.h>
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
#else
extern "C" const unsigned char glyphHerderQ7INF[];
extern "C" const GlyphCatalogueString glyphHerderStrings[];
// Referenced so that the linker keeps the exported data of the core.  Marked
// used: an unused constant is dropped by clang, and with it the reference.
[[maybe_unused]] __attribute__((used)) static const void *const kKeepCatalogueData[] = {glyphHerderQ7INF,
                                                                  glyphHerderStrings};
#endif

// Referenced so that the linker keeps the entry point of the core.
[[maybe_unused]] __attribute__((used)) static const void *const kKeepEntry = reinterpret_cast<const void *>(&glyphHerder);
