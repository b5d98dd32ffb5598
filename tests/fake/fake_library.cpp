// A test-only library with the shipped libraries' interface (wide build),
// whose functions behave well or badly on purpose, so that the emulator's
// checks can be seen to catch what they should.  It talks to the host
// through the raw callback, with nothing of the real library linked in.
//
// Built twice: glyphFake.so, and with FAKE_BAD_CATALOGUE glyphFakeBad.so
// whose catalogue descriptor carries an unknown marker.
#include <cstdint>
#include <cstring>

#include "host/host_callback.h"
#include "platform/globalmem.h"
#include "resources/catalogue.h"

extern "C" {

GH_EXPORT extern const unsigned char glyphHerderQ7INF[GH_DESCRIPTOR_SIZE];
const unsigned char glyphHerderQ7INF[GH_DESCRIPTOR_SIZE] = {
#ifdef FAKE_BAD_CATALOGUE
    'X', 'F', 'N', 'C',
#else
    'U', 'F', 'N', 'C',
#endif
    0x1D, 0x2F, 0, 0, 0, 0, 0, 0, 0, 0};

GH_EXPORT extern const GlyphCatalogueString glyphHerderStrings[];
const GlyphCatalogueString glyphHerderStrings[] = {
    {12061, "GlyphHerder~echo(value):1"},   // the value back, as a text block
    {12062, "leak(value):2"},               // the same, but keeps a block live
    {12063, "doubleFree(value):3"},         // frees its block twice
    {12064, "overCount():4"},               // a block whose count exceeds it
    {12065, "careless(value):5"},           // a wrong result when out of memory
    {12066, "setField(name,value):6"},      // writes a named field, result 1
    {12067, "fieldCareless(name,value):7"}, // the same, but out of memory leaves the field
    {12068, "twoFields(a,b,value):8"},     // writes two fields, the second after an allocation
    {12069, "*glyphHerder"},
    {0, nullptr}};

}  // extern "C"

namespace {

using Chars = uint32_t;  // the wide build's characters

// What leak leaves live, kept so that a test can give it back once it has
// seen the leak reported (the leak checker of a sanitized build would
// report it again at exit).
HGLOBAL leaked[64];
unsigned leakedCount = 0;

void setText(HostCallback cb, const Chars *text) { cb(HOST_OP_SET_FLD_VAL, HOST_RESULT, HOST_TYPE_TEXT, text); }

void setNumber(HostCallback cb, double n) { cb(HOST_OP_SET_FLD_VAL, HOST_RESULT, HOST_TYPE_NUMBER, &n); }

HGLOBAL fetchBlock(HostCallback cb, int param) {
    HGLOBAL h = nullptr;
    cb(HOST_OP_GET_FUNC_PARM, param, HOST_TYPE_TEXT_BLOCK, 0, &h);
    return h;
}

// A copy of a block, made with two allocations (a scratch buffer and the
// copy), so a sweep has two events to fail.
HGLOBAL copyBlock(HGLOBAL h) {
    void *scratch = glyphmem_heap_alloc(16);
    if (!scratch) return nullptr;
    glyphmem_heap_free(scratch);
    SIZE_T size = GlobalSize(h);
    HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!copy) return nullptr;
    std::memcpy(GlobalLock(copy), GlobalLock(h), size);
    GlobalUnlock(copy);
    GlobalUnlock(h);
    return copy;
}

void echo(HostCallback cb, bool careless) {
    static const Chars empty[] = {0};
    static const Chars oops[] = {'o', 'o', 'p', 's', 0};
    HGLOBAL h = fetchBlock(cb, HOST_PARAM_FIRST);
    if (!h) return setText(cb, empty);
    HGLOBAL copy = copyBlock(h);
    if (copy) {
        cb(HOST_OP_SET_FLD_VAL, HOST_RESULT, HOST_TYPE_TEXT_BLOCK, &copy);
        GlobalFree(copy);
    } else {
        setText(cb, careless ? oops : empty);
    }
    GlobalFree(h);
}

// The field reference of the name in parameter `param`, 0 for none.
int16_t fieldRef(HostCallback cb, int32_t param) {
    Chars counted[256] = {0};
    cb(HOST_OP_GET_FUNC_PARM, param, HOST_TYPE_TEXT, 254, counted + 1);
    Chars n = 0;
    while (counted[1 + n]) ++n;
    counted[0] = n;
    return static_cast<int16_t>(cb(HOST_OP_GET_FLD_REF, counted));
}

// Sets the field named by parameter 1 to parameter 2; the result is 1, or 0
// when there is no such field.  careless: a scratch allocation comes first,
// and when it fails the result is 1 all the same but the field is not
// written (a success reported for work not done).
void setField(HostCallback cb, bool careless) {
    int16_t ref = fieldRef(cb, HOST_PARAM_FIRST);
    if (!ref) return setNumber(cb, 0);
    HGLOBAL h = fetchBlock(cb, HOST_PARAM_FIRST + 1);
    if (!h) return setNumber(cb, 0);
    void *scratch = careless ? glyphmem_heap_alloc(16) : nullptr;
    if (!careless || scratch) cb(HOST_OP_SET_FLD_VAL, static_cast<int32_t>(ref), HOST_TYPE_TEXT_BLOCK, &h);
    if (scratch) glyphmem_heap_free(scratch);
    GlobalFree(h);
    setNumber(cb, 1);
}

void run(int function, HostCallback cb) {
    switch (function) {
    case 1:
        return echo(cb, false);
    case 2: {
        HGLOBAL h = fetchBlock(cb, HOST_PARAM_FIRST);
        cb(HOST_OP_SET_FLD_VAL, HOST_RESULT, HOST_TYPE_TEXT_BLOCK, &h);
        if (leakedCount < 64) leaked[leakedCount++] = h;
        return;  // h is not freed
    }
    case 3: {
        HGLOBAL h = fetchBlock(cb, HOST_PARAM_FIRST);
        cb(HOST_OP_SET_FLD_VAL, HOST_RESULT, HOST_TYPE_TEXT_BLOCK, &h);
        GlobalFree(h);
        GlobalFree(h);
        return;
    }
    case 4: {
        HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 8);
        if (!h) return;
        uint32_t count = 100;
        std::memcpy(GlobalLock(h), &count, 4);
        GlobalUnlock(h);
        cb(HOST_OP_SET_FLD_VAL, HOST_RESULT, HOST_TYPE_TEXT_BLOCK, &h);
        GlobalFree(h);
        return;
    }
    case 5:
        return echo(cb, true);
    case 6:
        return setField(cb, false);
    case 7:
        return setField(cb, true);
    case 8: {  // when the copy cannot be made, the first field is left written
        int16_t a = fieldRef(cb, HOST_PARAM_FIRST), b = fieldRef(cb, HOST_PARAM_FIRST + 1);
        HGLOBAL h = fetchBlock(cb, HOST_PARAM_FIRST + 2);
        if (!a || !b || !h) return setNumber(cb, 0);
        cb(HOST_OP_SET_FLD_VAL, static_cast<int32_t>(a), HOST_TYPE_TEXT_BLOCK, &h);
        HGLOBAL copy = copyBlock(h);
        GlobalFree(h);
        if (!copy) return setNumber(cb, 0);
        cb(HOST_OP_SET_FLD_VAL, static_cast<int32_t>(b), HOST_TYPE_TEXT_BLOCK, &copy);
        GlobalFree(copy);
        return setNumber(cb, 1);
    }
    default:
        return;
    }
}

}  // namespace

// Frees what leak left live.
extern "C" GH_EXPORT void glyphFakeReclaim() {
    while (leakedCount) GlobalFree(leaked[--leakedCount]);
}

extern "C" GH_EXPORT void GH_ENTRY_CALL glyphHerder(int32_t message, void **slot, intptr_t, intptr_t,
                                                    intptr_t, HostCallback cb) {
    switch (static_cast<int16_t>(message)) {
    case GH_MSG_CONNECT:
        if (void *context = GlobalAlloc(GPTR, 16)) *slot = context;
        return;
    case GH_MSG_DISCONNECT:
        if (*slot) GlobalFree(*slot);
        *slot = nullptr;
        return;
    case GH_MSG_CALL: {
        if (!*slot) return setNumber(cb, 2);
        int32_t function = 0;
        cb(HOST_OP_GET_PACKAGE_ID, &function);
        return run(function, cb);
    }
    default:
        return;
    }
}
