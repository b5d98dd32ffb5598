/* A host of its own for glyphHerder on Linux, in plain C: it loads the wide
 * build (glyphHerderU.so) with dlopen, connects an instance, calls MD5Digest
 * and then splitstring three times on a field named "list", and
 * disconnects.  It serves the callback operations those calls make: the
 * function number, parameters by number (text, number, length, field number,
 * text block), field information, a field by name, its value, and setting
 * the result and the field.
 *
 * In the folder of the Linux package:
 *
 *   cc -std=c99 -Iinclude examples/host.c -o host -L. -l:libglyphmem.so.1 -ldl -Wl,-rpath,'$ORIGIN'
 *   ./host ./glyphHerderU.so
 *
 * It links to libglyphmem.so.1, the memory manager it shares with the
 * library: blocks the host allocates are freed by the library and the other
 * way round.  (On Windows a host uses LoadLibrary, GetProcAddress and
 * kernel32's GlobalAlloc family the same way.) */
#define _POSIX_C_SOURCE 200809L

#include <dlfcn.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "glyphherder.h"

/* A value the host holds: a number or a text (ASCII here, for brevity). */
typedef struct {
    int isNumber;
    double number;
    char text[256];
} Value;

/* The host's state: the call being made, and its one field. */
static int32_t gFunction;
static Value gParams[4];
static int gParamCount;
static Value gResult;
static Value gList;  /* the field "list", reference kListRef */
enum { kListRef = 1 };

static void setText(Value *v, const char *s) {
    v->isNumber = 0;
    snprintf(v->text, sizeof v->text, "%s", s);
}

/* A block of the shared memory manager holding the value's characters
 * (32-bit in the wide build): the block in the slot is resized, or a new one
 * made.  Returns 0 when memory runs out. */
static int fillTextBlock(HGLOBAL *slot, const Value *v) {
    uint32_t n = (uint32_t)strlen(v->text);
    SIZE_T size = GLYPHHERDER_BLOCK_COUNT_SIZE + 4 * (SIZE_T)n;
    HGLOBAL h = *slot ? GlobalReAlloc(*slot, size, GMEM_MOVEABLE) : GlobalAlloc(GMEM_MOVEABLE, size);
    if (!h) return 0;
    unsigned char *p = (unsigned char *)GlobalLock(h);
    memcpy(p, &n, 4);
    for (uint32_t i = 0; i < n; ++i) {
        uint32_t c = (unsigned char)v->text[i];
        memcpy(p + 4 + 4 * i, &c, 4);
    }
    GlobalUnlock(h);
    *slot = h;
    return 1;
}

/* Writes a value into the library's buffer as the type asks. */
static void fetch(const Value *v, int16_t fieldNumber, int16_t type, int32_t count, void *buffer) {
    size_t length = strlen(v->text);
    switch (type) {
    case GLYPHHERDER_TYPE_NUMBER: {
        double d = v->isNumber ? v->number : atof(v->text);
        memcpy(buffer, &d, sizeof d);
        break;
    }
    case GLYPHHERDER_TYPE_TEXT: {
        size_t n = length < (size_t)count ? length : (size_t)count;
        uint32_t *out = (uint32_t *)buffer;
        for (size_t i = 0; i < n; ++i) out[i] = (unsigned char)v->text[i];
        out[n] = 0;
        break;
    }
    case GLYPHHERDER_TYPE_LENGTH:
    case GLYPHHERDER_TYPE_DATA_LENGTH: {
        int32_t n = (int32_t)length;
        memcpy(buffer, &n, sizeof n);
        break;
    }
    case GLYPHHERDER_TYPE_FIELD_NUMBER:
        memcpy(buffer, &fieldNumber, sizeof fieldNumber);
        break;
    case GLYPHHERDER_TYPE_TEXT_BLOCK:
        fillTextBlock((HGLOBAL *)buffer, v);
        break;
    default:
        fprintf(stderr, "host: a fetch of type %d, which this host does not serve\n", type);
        break;
    }
}

/* Reads a value the library sets: a text, a block of characters or a number. */
static void store(int16_t target, int16_t type, const void *address) {
    Value *v = target == GLYPHHERDER_RESULT ? &gResult : target == kListRef ? &gList : NULL;
    if (!v || !address) return;
    const uint32_t *chars = NULL;
    uint32_t n = 0;
    HGLOBAL h = NULL;
    if (type == GLYPHHERDER_TYPE_NUMBER) {
        v->isNumber = 1;
        memcpy(&v->number, address, sizeof v->number);
        return;
    } else if (type == GLYPHHERDER_TYPE_TEXT) {
        chars = (const uint32_t *)address;
        while (chars[n]) ++n;
    } else if (type == GLYPHHERDER_TYPE_TEXT_BLOCK) {
        memcpy(&h, address, sizeof h);
        const unsigned char *p = (const unsigned char *)GlobalLock(h);
        memcpy(&n, p, 4);
        chars = (const uint32_t *)(const void *)(p + 4);
    } else {
        fprintf(stderr, "host: a value of type %d, which this host does not take\n", type);
        return;
    }
    v->isNumber = 0;
    if (n >= sizeof v->text) n = sizeof v->text - 1;
    for (uint32_t i = 0; i < n; ++i) v->text[i] = chars[i] < 128 ? (char)chars[i] : '?';
    v->text[n] = 0;
    if (h) GlobalUnlock(h);  /* the block stays the library's */
}

static int32_t GLYPHHERDER_CALLBACK_CALL callback(int32_t op, ...) {
    va_list ap;
    va_start(ap, op);
    int32_t answer = 0;
    switch (op) {
    case GLYPHHERDER_OP_GET_PACKAGE_ID:
        *va_arg(ap, int32_t *) = gFunction;
        break;
    case GLYPHHERDER_OP_GET_FUNC_PARM: {
        int16_t number = (int16_t)va_arg(ap, int32_t);
        int16_t type = (int16_t)va_arg(ap, int32_t);
        int32_t count = va_arg(ap, int32_t);
        void *buffer = va_arg(ap, void *);
        int index = number - GLYPHHERDER_PARAM_FIRST;
        if (number == GLYPHHERDER_PARAM_COUNT) {
            Value c = {1, gParamCount, ""};
            fetch(&c, 0, type, count, buffer);
        } else if (index >= 0 && index < gParamCount) {
            fetch(&gParams[index], (int16_t)(1 + index), type, count, buffer);
        }
        break;
    }
    case GLYPHHERDER_OP_GET_FLD_INFO: {
        /* Every parameter is a text field (kind 0). */
        GlyphHerderParamInfoWide *record = va_arg(ap, GlyphHerderParamInfoWide *);
        if (record->fieldNumber >= 1 && record->fieldNumber <= gParamCount) {
            record->kind = 0;
            record->status = GLYPHHERDER_PARAM_INFO_VALID;
        }
        break;
    }
    case GLYPHHERDER_OP_GET_FLD_REF: {
        const GlyphHerderCountedTextWide *name = va_arg(ap, const GlyphHerderCountedTextWide *);
        const char *list = "list";
        uint32_t n = name->elements[0];
        answer = kListRef;
        if (n != strlen(list)) answer = 0;
        for (uint32_t i = 0; answer && i < n; ++i) {
            if (name->elements[1 + i] != (unsigned char)list[i]) answer = 0;
        }
        break;
    }
    case GLYPHHERDER_OP_GET_FLD_VAL: {
        int16_t ref = (int16_t)va_arg(ap, int32_t);
        int16_t type = (int16_t)va_arg(ap, int32_t);
        int32_t count = va_arg(ap, int32_t);
        void *buffer = va_arg(ap, void *);
        if (ref == kListRef) fetch(&gList, 0, type, count, buffer);
        break;
    }
    case GLYPHHERDER_OP_SET_FLD_VAL: {
        int16_t target = (int16_t)va_arg(ap, int32_t);
        int16_t type = (int16_t)va_arg(ap, int32_t);
        store(target, type, va_arg(ap, const void *));
        break;
    }
    case GLYPHHERDER_OP_SET_FLD_NUMBER: {
        int16_t target = (int16_t)va_arg(ap, int32_t);
        store(target, GLYPHHERDER_TYPE_NUMBER, va_arg(ap, const double *));
        break;
    }
    default:
        fprintf(stderr, "host: unknown operation %d\n", (int)op);
        break;
    }
    va_end(ap);
    return answer;
}

/* Calls a function with up to four text parameters. */
static void call(GlyphHerderEntryPoint entry, void **slot, int32_t function, int count, const char **texts) {
    gFunction = function;
    gParamCount = count;
    for (int i = 0; i < count; ++i) setText(&gParams[i], texts[i]);
    setText(&gResult, "");
    entry(GLYPHHERDER_MSG_CALL, slot, 0, 0, 0, callback);
}

int main(int argc, char **argv) {
    const char *path = argc > 1 ? argv[1] : "./glyphHerderU.so";
    void *library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        fprintf(stderr, "host: %s\n", dlerror());
        return 1;
    }
    void *symbol = dlsym(library, GLYPHHERDER_ENTRY_NAME);
    const unsigned char *descriptor = (const unsigned char *)dlsym(library, GLYPHHERDER_DESCRIPTOR_SYMBOL);
    if (!symbol || !descriptor || memcmp(descriptor, GLYPHHERDER_MARKER_WIDE, 4) != 0) {
        fprintf(stderr, "host: %s is not the wide build of glyphHerder\n", path);
        return 1;
    }
    GlyphHerderEntryPoint entry;
    memcpy(&entry, &symbol, sizeof entry);  /* ISO C has no cast from void * */

    void *instance = NULL;
    entry(GLYPHHERDER_MSG_CONNECT, &instance, 0, 0, 0, callback);
    if (!instance) {
        fprintf(stderr, "host: the library could not connect\n");
        return 1;
    }

    const char *abc[] = {"abc"};
    call(entry, &instance, GLYPHHERDER_FN_MD5Digest, 1, abc);
    printf("MD5Digest(\"abc\") = %s\n", gResult.text);

    setText(&gList, "a,b,c");
    const char *split[] = {"list", ","};
    for (int i = 0; i < 3; ++i) {
        call(entry, &instance, GLYPHHERDER_FN_splitstring, 2, split);
        printf("splitstring(\"list\", \",\") = %s, list = \"%s\"\n", gResult.text, gList.text);
    }

    entry(GLYPHHERDER_MSG_DISCONNECT, &instance, 0, 0, 0, callback);
    dlclose(library);
    return instance == NULL ? 0 : 1;
}
