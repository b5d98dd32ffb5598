// The dispatch table, made from the catalogue.
#include "library/dispatch.h"
#include "resources/catalogue.h"

#define GH_DECLARE_1(name) CaseExit case_##name(CallFrame *frame);
#define GH_DECLARE_0(name)
#define GH_FUNCTION(number, name, params, reference, built) GH_DECLARE_##built(name)
#include "resources/catalogue.def"
#undef GH_FUNCTION

namespace {

#define GH_RUN_1(name) &case_##name
#define GH_RUN_0(name) nullptr
#define GH_FUNCTION(number, name, params, reference, built) {number, #name, GH_RUN_##built(name)},
constexpr CatalogueEntry kCatalogue[] = {
#include "resources/catalogue.def"
};
#undef GH_FUNCTION

constexpr bool numberedInOrder() {
    int expected = 1;
    for (const CatalogueEntry &e : kCatalogue) {
        if (e.number != expected++) return false;
    }
    return true;
}
static_assert(sizeof kCatalogue / sizeof kCatalogue[0] == GH_FUNCTION_COUNT,
              "the catalogue has 38 functions");
static_assert(numberedInOrder(), "catalogue rows are numbered 1, 2, 3, ... in order");

}  // namespace

const CatalogueEntry *find_catalogue_entry(int number) {
    if (number < 1 || number > GH_FUNCTION_COUNT) return nullptr;
    return &kCatalogue[number - 1];
}
