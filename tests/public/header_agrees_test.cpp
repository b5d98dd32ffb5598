// include/glyphherder.h, the public header, against the library's own
// definitions: every number, type and record layout must agree.  All of it
// is checked when this file compiles; the program checks the strings.
#include "include/glyphherder.h"

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <type_traits>

#include "host/host_callback.h"
#include "resources/catalogue.h"

// Two numbers of different enumerations, compared as numbers.
#define GH_SAME(a, b) (static_cast<long>(a) == static_cast<long>(b))

static_assert(GH_SAME(GLYPHHERDER_MSG_CONNECT, GH_MSG_CONNECT) && GH_SAME(GLYPHHERDER_MSG_CALL, GH_MSG_CALL) &&
                  GH_SAME(GLYPHHERDER_MSG_DISCONNECT, GH_MSG_DISCONNECT),
              "messages");

static_assert(GH_SAME(GLYPHHERDER_OP_GET_FLD_REF, HOST_OP_GET_FLD_REF) && GH_SAME(GLYPHHERDER_OP_SET_FLD_VAL, HOST_OP_SET_FLD_VAL) &&
                  GH_SAME(GLYPHHERDER_OP_SET_FLD_NUMBER, HOST_OP_SET_FLD_NUMBER) &&
                  GH_SAME(GLYPHHERDER_OP_GET_FLD_VAL, HOST_OP_GET_FLD_VAL) &&
                  GH_SAME(GLYPHHERDER_OP_GET_FLD_INFO, HOST_OP_GET_FLD_INFO) &&
                  GH_SAME(GLYPHHERDER_OP_GET_PACKAGE_ID, HOST_OP_GET_PACKAGE_ID) &&
                  GH_SAME(GLYPHHERDER_OP_GET_FUNC_PARM, HOST_OP_GET_FUNC_PARM),
              "callback operations");

static_assert(GH_SAME(GLYPHHERDER_RESULT, HOST_RESULT) && GH_SAME(GLYPHHERDER_PARAM_COUNT, HOST_PARAM_COUNT) &&
                  GH_SAME(GLYPHHERDER_PARAM_FIRST, HOST_PARAM_FIRST),
              "value numbers");

static_assert(GH_SAME(GLYPHHERDER_TYPE_NUMBER, HOST_TYPE_NUMBER) && GH_SAME(GLYPHHERDER_TYPE_TEXT, HOST_TYPE_TEXT) &&
                  GH_SAME(GLYPHHERDER_TYPE_LENGTH, HOST_TYPE_LENGTH) && GH_SAME(GLYPHHERDER_TYPE_TEXT_BLOCK, HOST_TYPE_TEXT_BLOCK) &&
                  GH_SAME(GLYPHHERDER_TYPE_BINARY_BLOCK, HOST_TYPE_BINARY_BLOCK) &&
                  GH_SAME(GLYPHHERDER_TYPE_DATA_LENGTH, HOST_TYPE_DATA_LENGTH) &&
                  GH_SAME(GLYPHHERDER_TYPE_FIELD_NUMBER, HOST_TYPE_FIELD_NUMBER),
              "type codes");

static_assert(GH_SAME(GLYPHHERDER_KIND_BINARY_14, HOST_KIND_BINARY_14) && GH_SAME(GLYPHHERDER_KIND_BINARY_15, HOST_KIND_BINARY_15) &&
                  GH_SAME(GLYPHHERDER_KIND_BINARY_16, HOST_KIND_BINARY_16),
              "binary field kinds");

// The entry point and the callback, calling conventions included.
static_assert(std::is_same<GlyphHerderCallback, HostCallback>::value, "callback type");
static_assert(std::is_same<GlyphHerderEntryPoint, GlyphHerderEntry>::value, "entry point type");
static_assert(std::is_same<GlyphHerderEntryPoint, decltype(&glyphHerder)>::value, "the exported entry point");

// The records.
#define GH_AT(record, field, offset) static_assert(offsetof(record, field) == (offset), #record "." #field)
static_assert(sizeof(GlyphHerderParamInfoWide) == PARAM_INFO_SIZE_WIDE, "ParamInfoRecord, wide");
static_assert(GH_SAME(GLYPHHERDER_PARAM_INFO_SIZE_WIDE, PARAM_INFO_SIZE_WIDE), "ParamInfoRecord size, wide");
GH_AT(GlyphHerderParamInfoWide, nameLength, PARAM_INFO_NAME_LENGTH_WIDE);
GH_AT(GlyphHerderParamInfoWide, fieldNumber, PARAM_INFO_FIELD_WIDE);
GH_AT(GlyphHerderParamInfoWide, kind, PARAM_INFO_KIND_WIDE);
GH_AT(GlyphHerderParamInfoWide, request, PARAM_INFO_REQUEST_WIDE);
GH_AT(GlyphHerderParamInfoWide, status, PARAM_INFO_STATUS_WIDE);
static_assert(sizeof(GlyphHerderParamInfoByte) == PARAM_INFO_SIZE_BYTE, "ParamInfoRecord, byte");
static_assert(GH_SAME(GLYPHHERDER_PARAM_INFO_SIZE_BYTE, PARAM_INFO_SIZE_BYTE), "ParamInfoRecord size, byte");
GH_AT(GlyphHerderParamInfoByte, nameLength, PARAM_INFO_NAME_LENGTH_BYTE);
GH_AT(GlyphHerderParamInfoByte, fieldNumber, PARAM_INFO_FIELD_BYTE);
GH_AT(GlyphHerderParamInfoByte, kind, PARAM_INFO_KIND_BYTE);
GH_AT(GlyphHerderParamInfoByte, request, PARAM_INFO_REQUEST_BYTE);
GH_AT(GlyphHerderParamInfoByte, status, PARAM_INFO_STATUS_BYTE);
static_assert(sizeof(GlyphHerderCountedTextWide) == 4 * COUNTED_TEXT_ELEMENTS, "CountedText255, wide");
static_assert(sizeof(GlyphHerderCountedTextByte) == COUNTED_TEXT_ELEMENTS, "CountedText255, byte");

// The catalogue.
static_assert(GH_SAME(GLYPHHERDER_DESCRIPTOR_SIZE, GH_DESCRIPTOR_SIZE) && GH_SAME(GLYPHHERDER_FIRST_STRING_ID, GH_CATALOGUE_FIRST_ID) &&
                  GH_SAME(GLYPHHERDER_FUNCTION_COUNT, GH_FUNCTION_COUNT) && GH_SAME(GLYPHHERDER_LAST_STRING_ID, GH_CATALOGUE_LAST_ID),
              "catalogue numbers");
static_assert(sizeof(GlyphHerderCatalogueString) == sizeof(GlyphCatalogueString), "catalogue string");
GH_AT(GlyphHerderCatalogueString, id, offsetof(GlyphCatalogueString, id));
GH_AT(GlyphHerderCatalogueString, text, offsetof(GlyphCatalogueString, text));

// Every function number, from the one catalogue table, and no more.
#define GH_FUNCTION(number, name, parameters, reference, built) \
    static_assert(GLYPHHERDER_FN_##name == (number), "function number of " #name);
#include "resources/catalogue.def"
#undef GH_FUNCTION
#define GH_FUNCTION(number, name, parameters, reference, built) +1
constexpr int kCatalogueRows = 0
#include "resources/catalogue.def"
    ;
#undef GH_FUNCTION
static_assert(kCatalogueRows == GLYPHHERDER_FUNCTION_COUNT, "one number per function");

int main() {
    int failures = 0;
    auto same = [&](const char *what, const char *a, const char *b) {
        if (std::strcmp(a, b) != 0) {
            std::fprintf(stderr, "%s: \"%s\" in glyphherder.h, \"%s\" in the library\n", what, a, b);
            ++failures;
        }
    };
    same("descriptor symbol", GLYPHHERDER_DESCRIPTOR_SYMBOL, GH_CATALOGUE_DESCRIPTOR_SYMBOL);
    same("strings symbol", GLYPHHERDER_STRINGS_SYMBOL, GH_CATALOGUE_STRINGS_SYMBOL);
    same("group name", GLYPHHERDER_GROUP_NAME, GH_GROUP_NAME);
    same("entry point", GLYPHHERDER_ENTRY_NAME, GH_LIBRARY_NAME);
    std::printf("%d passed, %d failed\n", 4 - failures, failures);
    return failures ? 1 : 0;
}
