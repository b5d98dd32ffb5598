/* glyphherder.h: the interface between glyphHerder and its host, for anyone
 * who writes a host or a test harness of their own.  Plain C (C99 and
 * later) and C++; nothing here needs the library's sources.
 *
 * The library (glyphHerderU, the wide build: a host character is a 32-bit
 * code; glyphHerder, the byte build: a character is a byte) exports one
 * entry point, glyphHerder.  The host sends it three messages: connect (the
 * library keeps its state for the instance in the instance slot), call (one
 * catalogue function) and disconnect.  During a call everything travels
 * through the host's callback: the library asks for the function number and
 * the parameters and sets the result.  Values of any length travel in memory
 * blocks of the global memory manager that host and library share: kernel32's
 * GlobalAlloc family on Windows, libglyphmem.so.1 elsewhere (declared below),
 * each block a 32-bit count followed by that many characters or bytes.
 *
 * examples/host.c is a complete host in C. */
#ifndef GLYPHHERDER_H
#define GLYPHHERDER_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* --- Calling conventions ------------------------------------------------
 *
 * Windows: the entry point is __stdcall (on 32-bit Windows the callee pops
 * its six 4-byte arguments, and the DLL exports the plain name
 * "glyphHerder", not "_glyphHerder@24"); the callback is __cdecl (the
 * caller pops its arguments).  Elsewhere both follow the platform's C
 * calling convention. */
#if defined(_WIN32)
#  define GLYPHHERDER_ENTRY_CALL __stdcall
#  define GLYPHHERDER_CALLBACK_CALL __cdecl
#else
#  define GLYPHHERDER_ENTRY_CALL
#  define GLYPHHERDER_CALLBACK_CALL
#endif

/* --- Messages of the entry point ----------------------------------------
 * Only the low 16 bits of the message are read, as a signed number; any
 * other message is ignored. */
enum {
    GLYPHHERDER_MSG_CONNECT = 0,    /* allocate the instance's state, store it in the slot */
    GLYPHHERDER_MSG_CALL = 1,       /* run one catalogue function */
    GLYPHHERDER_MSG_DISCONNECT = 2  /* free the instance's state, clear the slot */
};

/* --- The callback -------------------------------------------------------
 * The first argument is the operation; the others are 32-bit integers
 * (16-bit values sign-extended) and addresses, as listed per operation.  The
 * library reads the return value of GLYPHHERDER_OP_GET_FLD_REF only. */
enum {
    /* (const CountedText255 *name): the field's reference in the low 16
     * bits of the return value, 0 when there is no such field. */
    GLYPHHERDER_OP_GET_FLD_REF = 28,
    /* (int32 target, int32 type, const void *value): set a value on the
     * result (GLYPHHERDER_RESULT) or on a field reference.  The host copies
     * the value during the call; blocks stay the library's. */
    GLYPHHERDER_OP_SET_FLD_VAL = 30,
    /* (int32 target, const double *number): set a number. */
    GLYPHHERDER_OP_SET_FLD_NUMBER = 31,
    /* (int32 fieldReference, int32 type, int32 count, void *buffer): fetch
     * a field's value, as GLYPHHERDER_OP_GET_FUNC_PARM does a parameter's. */
    GLYPHHERDER_OP_GET_FLD_VAL = 38,
    /* (ParamInfo record *): the host writes kind and status for the field
     * number in the record (see the records below). */
    GLYPHHERDER_OP_GET_FLD_INFO = 45,
    /* (int32_t *number): the catalogue number of the function called. */
    GLYPHHERDER_OP_GET_PACKAGE_ID = 48,
    /* (int32 parameter, int32 type, int32 count, void *buffer): fetch a
     * parameter (GLYPHHERDER_PARAM_FIRST + i) or the parameter count
     * (GLYPHHERDER_PARAM_COUNT, as a number). */
    GLYPHHERDER_OP_GET_FUNC_PARM = 51
};

/* Value numbers: the targets and parameters of the operations above. */
enum {
    GLYPHHERDER_RESULT = 202,      /* the function's result */
    GLYPHHERDER_PARAM_COUNT = 210, /* the number of parameters passed */
    GLYPHHERDER_PARAM_FIRST = 211  /* the first parameter; 212 the second, ... */
};

/* Type codes (16-bit), with the count the fetch takes and what the buffer
 * receives.  A character is a uint32_t in the wide build, a byte in the
 * byte build. */
enum {
    GLYPHHERDER_TYPE_NUMBER = 0,        /* count 8 or 64: a double */
    GLYPHHERDER_TYPE_TEXT = 2,          /* count n: up to n characters and a zero character
                                           (buffer of n + 1); set: zero-terminated characters */
    GLYPHHERDER_TYPE_LENGTH = 4,        /* count 4: int32 length in characters (fetch only) */
    GLYPHHERDER_TYPE_TEXT_BLOCK = 8,    /* count 0: the buffer is a handle slot (HGLOBAL);
                                           the host stores a block of characters in it, or
                                           fills (resizes) the block the slot already holds;
                                           set: the address of a handle */
    GLYPHHERDER_TYPE_BINARY_BLOCK = 10, /* as 8, a block of bytes */
    GLYPHHERDER_TYPE_DATA_LENGTH = 11,  /* count 4: int32 length in bytes (fetch only) */
    GLYPHHERDER_TYPE_FIELD_NUMBER = 240 /* count 2: int16 field number (fetch only); negative
                                           means binary, as do the kinds below */
};

/* Field kinds the host reports through GLYPHHERDER_OP_GET_FLD_INFO that
 * make a parameter binary; any other kind is text. */
enum {
    GLYPHHERDER_KIND_BINARY_14 = 14,
    GLYPHHERDER_KIND_BINARY_15 = 15,
    GLYPHHERDER_KIND_BINARY_16 = 16
};

/* The callback and the entry point.  On 32-bit Windows every argument of
 * the entry point is 4 bytes (24 bytes, popped by the library); on 64-bit
 * platforms the slot, the three host values and the callback are
 * pointer-sized and the message a 32-bit integer.  The three host values
 * are not used. */
typedef int32_t(GLYPHHERDER_CALLBACK_CALL *GlyphHerderCallback)(int32_t op, ...);
typedef void(GLYPHHERDER_ENTRY_CALL *GlyphHerderEntryPoint)(int32_t message, void **instanceSlot,
                                                           intptr_t hostValue1, intptr_t hostValue2,
                                                           intptr_t hostValue3,
                                                           GlyphHerderCallback callback);
/* The name to look up with dlsym or GetProcAddress. */
#define GLYPHHERDER_ENTRY_NAME "glyphHerder"

/* --- Records ------------------------------------------------------------ */

/* Memory blocks: a 32-bit count (native byte order), then count characters
 * (a text block) or bytes (a binary block).  The block may be larger. */
enum { GLYPHHERDER_BLOCK_COUNT_SIZE = 4 };

/* CountedText255, the name given to GLYPHHERDER_OP_GET_FLD_REF: element 0
 * is the count, elements 1 to 255 the characters. */
typedef struct GlyphHerderCountedTextWide {
    uint32_t elements[256];
} GlyphHerderCountedTextWide;
typedef struct GlyphHerderCountedTextByte {
    unsigned char elements[256];
} GlyphHerderCountedTextByte;

/* ParamInfoRecord, the record of GLYPHHERDER_OP_GET_FLD_INFO: the library
 * writes nameLength 0, fieldNumber, kind 0 and request 2; the host writes
 * kind and sets status to 1 when it knows the field.  The other bytes are
 * the host's. */
typedef struct GlyphHerderParamInfoWide {
    uint32_t nameLength;            /* offset 0 */
    uint32_t name[255];             /* offset 4, not read */
    int16_t fieldNumber;            /* offset 1024 */
    int16_t kind;                   /* offset 1026 */
    int16_t reserved1;              /* offset 1028 */
    int16_t request;                /* offset 1030 */
    unsigned char reserved2[68];    /* offset 1032 */
    int16_t status;                 /* offset 1100 */
    int16_t reserved3;              /* offset 1102; size 1104 */
} GlyphHerderParamInfoWide;
typedef struct GlyphHerderParamInfoByte {
    unsigned char nameLength;       /* offset 0 */
    unsigned char name[255];        /* offset 1, not read */
    int16_t fieldNumber;            /* offset 256 */
    int16_t kind;                   /* offset 258 */
    int16_t reserved1;              /* offset 260 */
    int16_t request;                /* offset 262 */
    unsigned char reserved2[68];    /* offset 264 */
    int16_t status;                 /* offset 332 */
    int16_t reserved3;              /* offset 334; size 336 */
} GlyphHerderParamInfoByte;
enum {
    GLYPHHERDER_PARAM_INFO_SIZE_WIDE = 1104,
    GLYPHHERDER_PARAM_INFO_SIZE_BYTE = 336,
    GLYPHHERDER_PARAM_INFO_REQUEST = 2, /* what the library asks */
    GLYPHHERDER_PARAM_INFO_VALID = 1    /* the status of a known field */
};

/* --- The catalogue ------------------------------------------------------
 *
 * Windows: a raw-data resource (type 10) named "Q7INF" of 14 bytes, and
 * string-table entries 12061 to 12099 (language 1033).  Elsewhere the same
 * data are exported as two data symbols:
 *   const unsigned char glyphHerderQ7INF[14];
 *   const GlyphHerderCatalogueString glyphHerderStrings[];  (ends with {0, NULL})
 * The descriptor is "UFNC" (wide build) or "7FNC" (byte build), the first
 * string id as a 16-bit little-endian number, then 8 zero bytes.  String
 * 12060 + n describes function number n, "name(parameters):reference", the
 * first one preceded by the group name and "~"; string 12099 is
 * "*glyphHerder". */
#define GLYPHHERDER_DESCRIPTOR_SYMBOL "glyphHerderQ7INF"
#define GLYPHHERDER_STRINGS_SYMBOL "glyphHerderStrings"
#define GLYPHHERDER_MARKER_WIDE "UFNC"
#define GLYPHHERDER_MARKER_BYTE "7FNC"
#define GLYPHHERDER_GROUP_NAME "GlyphHerder"
enum {
    GLYPHHERDER_DESCRIPTOR_SIZE = 14,
    GLYPHHERDER_FIRST_STRING_ID = 12061,
    GLYPHHERDER_FUNCTION_COUNT = 38,
    GLYPHHERDER_LAST_STRING_ID = 12099
};
typedef struct GlyphHerderCatalogueString {
    uint32_t id;
    const char *text;
} GlyphHerderCatalogueString;

/* Function numbers: what GLYPHHERDER_OP_GET_PACKAGE_ID answers. */
enum {
    GLYPHHERDER_FN_splitstring = 1,
    GLYPHHERDER_FN_stripNullBytes = 2,
    GLYPHHERDER_FN_howMany = 3,
    GLYPHHERDER_FN_XORbytes = 4,
    GLYPHHERDER_FN_hexEncode = 5,
    GLYPHHERDER_FN_hexDecode = 6,
    GLYPHHERDER_FN_base64Encode = 7,
    GLYPHHERDER_FN_base64Decode = 8,
    GLYPHHERDER_FN_MD5Digest = 9,
    GLYPHHERDER_FN_makeCRAMresponse = 10,
    GLYPHHERDER_FN_wrapBinary = 11,
    GLYPHHERDER_FN_leadingInteger = 12,
    GLYPHHERDER_FN_trailingInteger = 13,
    GLYPHHERDER_FN_leadingDecimal = 14,
    GLYPHHERDER_FN_trailingDecimal = 15,
    GLYPHHERDER_FN_blowfishContext = 16,
    GLYPHHERDER_FN_blowfishEncryptToBin = 17,
    GLYPHHERDER_FN_blowfishDecryptBin = 18,
    GLYPHHERDER_FN_blowfishEncryptToText = 19,
    GLYPHHERDER_FN_blowfishDecryptText = 20,
    GLYPHHERDER_FN_filenameOfPath = 21,
    GLYPHHERDER_FN_folderPartOfPath = 22,
    GLYPHHERDER_FN_reduceToAlphanumeric = 23,
    GLYPHHERDER_FN_indexedPart = 24,
    GLYPHHERDER_FN_indexOfPart = 25,
    GLYPHHERDER_FN_longAt = 26,
    GLYPHHERDER_FN_shortAt = 27,
    GLYPHHERDER_FN_crc16 = 28,
    GLYPHHERDER_FN_wrapLinesWith = 29,
    GLYPHHERDER_FN_setLinebreaks = 30,
    GLYPHHERDER_FN_binaryToHex = 31,
    GLYPHHERDER_FN_hexToBinary = 32,
    GLYPHHERDER_FN_MD4Digest = 33,
    GLYPHHERDER_FN_NTLMchallenge = 34,
    GLYPHHERDER_FN_NTLMresponse = 35,
    GLYPHHERDER_FN_SHA1Digest = 36,
    GLYPHHERDER_FN_SHA256Digest = 37,
    GLYPHHERDER_FN_SHA512Digest = 38
};

/* --- The memory manager -------------------------------------------------
 *
 * Windows: <windows.h> (kernel32).  Elsewhere libglyphmem.so.1, beside the
 * libraries; link to it (cc host.c -l:libglyphmem.so.1 -L. -Wl,-rpath,...)
 * so that host and library share it.  The same calls and semantics as
 * Windows: a moveable block's handle is not its address; GlobalLock counts
 * locks and gives the address, GlobalUnlock counts down; GMEM_ZEROINIT
 * zero-fills; a failed GlobalReAlloc leaves the block as it was. */
#if defined(_WIN32)
#  include <windows.h>
#else
typedef void *HGLOBAL;
typedef unsigned int UINT;
typedef size_t SIZE_T;
typedef int BOOL;
#  ifndef GMEM_FIXED
#    define GMEM_FIXED 0x0000u
#    define GMEM_MOVEABLE 0x0002u
#    define GMEM_ZEROINIT 0x0040u
#  endif
HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);
HGLOBAL GlobalReAlloc(HGLOBAL mem, SIZE_T bytes, UINT flags);
SIZE_T GlobalSize(HGLOBAL mem);
void *GlobalLock(HGLOBAL mem);
BOOL GlobalUnlock(HGLOBAL mem);
HGLOBAL GlobalFree(HGLOBAL mem);
#endif

#ifdef __cplusplus
}
#endif

#endif
