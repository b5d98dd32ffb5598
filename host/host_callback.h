/* The interface between the host and the library: the entry point, the host
 * callback, its operation codes, value numbers, type codes and records.
 *
 * This header is plain C so that a host written in C can use it.  It holds the
 * layouts of both builds: the wide build (host characters are 32-bit) and the
 * byte build (characters are bytes). */
#ifndef GH_HOST_CALLBACK_H
#define GH_HOST_CALLBACK_H

#include <stdint.h>

#include "platform/platform.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Messages of the entry point.  Only the low 16 bits of the message argument
 * are read, as a signed number. */
enum {
    GH_MSG_CONNECT = 0,
    GH_MSG_CALL = 1,
    GH_MSG_DISCONNECT = 2
};

/* Host operations: the first argument of every callback call. */
enum {
    HOST_OP_GET_FLD_REF = 28,    /* CountedText255 *name -> field reference */
    HOST_OP_SET_FLD_VAL = 30,    /* target, type, value address */
    HOST_OP_SET_FLD_NUMBER = 31, /* target, address of an 8-byte real */
    HOST_OP_GET_FLD_VAL = 38,    /* field reference, type, count, buffer */
    HOST_OP_GET_FLD_INFO = 45,   /* ParamInfoRecord address */
    HOST_OP_GET_PACKAGE_ID = 48, /* address of a 32-bit integer */
    HOST_OP_GET_FUNC_PARM = 51   /* parameter number, type, count, buffer */
};

/* Value numbers. */
enum {
    HOST_RESULT = 202,      /* the function's result */
    HOST_PARAM_COUNT = 210, /* number of parameters passed */
    HOST_PARAM_FIRST = 211  /* first parameter; 212 the second, ... */
};

/* Type codes. */
enum {
    HOST_TYPE_NUMBER = 0,        /* 8-byte IEEE real (count 8 or 64) */
    HOST_TYPE_TEXT = 2,          /* count n: up to n characters and a zero */
    HOST_TYPE_LENGTH = 4,        /* 32-bit length in characters */
    HOST_TYPE_TEXT_BLOCK = 8,    /* handle slot: MemBlock of characters */
    HOST_TYPE_BINARY_BLOCK = 10, /* handle slot: MemBlock of bytes */
    HOST_TYPE_DATA_LENGTH = 11,  /* 32-bit length in bytes */
    HOST_TYPE_FIELD_NUMBER = 240 /* 16-bit signed field number */
};

/* Field kinds that make a parameter binary. */
enum {
    HOST_KIND_BINARY_14 = 14,
    HOST_KIND_BINARY_15 = 15,
    HOST_KIND_BINARY_16 = 16
};

/* The host callback.  The first argument is the operation code; the rest are
 * 32-bit integers (16-bit values travel sign-extended) and addresses.  The
 * caller removes the arguments.  The return value is read for operation 28
 * only (its low 16 bits are the field reference, 0 for none). */
typedef int32_t(GH_CALLBACK_CALL *HostCallback)(int32_t op, ...);

/* The entry point.  On 32-bit Windows all six arguments are 32-bit and the
 * callee pops them (24 bytes); the export is the plain name "glyphHerder".
 * On 64-bit platforms the instance slot, the three unused host values and the
 * callback are pointer-sized; the message is a 32-bit integer. */
GH_EXPORT void GH_ENTRY_CALL glyphHerder(int32_t message, void **instanceSlot,
                                         intptr_t hostValue1, intptr_t hostValue2,
                                         intptr_t hostValue3, HostCallback callback);

typedef void(GH_ENTRY_CALL *GlyphHerderEntry)(int32_t message, void **instanceSlot,
                                              intptr_t hostValue1, intptr_t hostValue2,
                                              intptr_t hostValue3, HostCallback callback);

/* ParamInfoRecord, the record of operation 45 (field information).  The host
 * defines it; its size and offsets differ between the builds. */
enum {
    PARAM_INFO_SIZE_WIDE = 1104,
    PARAM_INFO_NAME_LENGTH_WIDE = 0, /* 32-bit, set 0 */
    PARAM_INFO_FIELD_WIDE = 1024,    /* 16-bit field number */
    PARAM_INFO_KIND_WIDE = 1026,     /* 16-bit kind, written by the host */
    PARAM_INFO_REQUEST_WIDE = 1030,  /* 16-bit, set 2 */
    PARAM_INFO_STATUS_WIDE = 1100,   /* 16-bit, 1 = valid */

    PARAM_INFO_SIZE_BYTE = 336,
    PARAM_INFO_NAME_LENGTH_BYTE = 0, /* 8-bit */
    PARAM_INFO_FIELD_BYTE = 256,
    PARAM_INFO_KIND_BYTE = 258,
    PARAM_INFO_REQUEST_BYTE = 262,
    PARAM_INFO_STATUS_BYTE = 332
};

/* CountedText255: element 0 is the count, elements 1 to 255 the characters
 * (32-bit elements in the wide build, bytes in the byte build). */
enum { COUNTED_TEXT_ELEMENTS = 256 };

#ifdef __cplusplus
}
#endif

#endif
