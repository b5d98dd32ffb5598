// The dispatch: the catalogue's rows as the entry point sees them.
#ifndef GH_DISPATCH_H
#define GH_DISPATCH_H

#include "host/call.h"

// A row of the catalogue as the dispatch sees it.
struct CatalogueEntry {
    int number;
    const char *name;
    CaseFunction run;  // null while the function is not built
};

// The entry for function number 1..38, or null for any other number.
const CatalogueEntry *find_catalogue_entry(int number);

#endif
