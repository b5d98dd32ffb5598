// The library's wrappers on the host operations.  Every catalogue case
// reaches the host through these; each takes the callback of the current
// call as its last argument.
//
// The host's return values are not inspected (except for GetFldRef): a fetch
// that delivers nothing is recognised by what the buffer still holds.
#ifndef GH_WRAPPERS_H
#define GH_WRAPPERS_H

#include <stddef.h>
#include <stdint.h>

#include "host/host_callback.h"
#include "host/memblock.h"

// ParamInfoRecord of this build.
#if GH_WIDE
enum {
    PARAM_INFO_SIZE = PARAM_INFO_SIZE_WIDE,
    PARAM_INFO_FIELD = PARAM_INFO_FIELD_WIDE,
    PARAM_INFO_KIND = PARAM_INFO_KIND_WIDE,
    PARAM_INFO_REQUEST = PARAM_INFO_REQUEST_WIDE,
    PARAM_INFO_STATUS = PARAM_INFO_STATUS_WIDE
};
#else
enum {
    PARAM_INFO_SIZE = PARAM_INFO_SIZE_BYTE,
    PARAM_INFO_FIELD = PARAM_INFO_FIELD_BYTE,
    PARAM_INFO_KIND = PARAM_INFO_KIND_BYTE,
    PARAM_INFO_REQUEST = PARAM_INFO_REQUEST_BYTE,
    PARAM_INFO_STATUS = PARAM_INFO_STATUS_BYTE
};
#endif

struct ParamInfoRecord {
    unsigned char bytes[PARAM_INFO_SIZE];
};

// Operation 51: fetch parameter paramNumber as type into buffer.
int32_t GetFuncParm(int paramNumber, int type, int32_t count, void *buffer, HostCallback cb);

// Operation 51 for a block type (HOST_TYPE_TEXT_BLOCK, HOST_TYPE_BINARY_BLOCK):
// the host fills the block at *slot or puts a new one there.  A block too
// small to hold its 32-bit count is no value: it is freed, *slot is null and
// the result false (true otherwise, a null *slot then meaning that the host
// delivered nothing).
bool GetFuncParmBlock(int paramNumber, int type, XPHandle *slot, HostCallback cb);

// A parameter as a 32-bit integer: the 8-byte real truncated toward zero; a
// real outside the signed 32-bit range, or not a number, gives INT32_MIN.
int32_t GetFuncParmInt2(int paramNumber, HostCallback cb);

// A text parameter as a NUL-terminated byte string of at most max characters
// (the low 8 bits of each character in the wide build).  out has room for
// max + 2 bytes.
void getAsciiStringFuncParm(int paramNumber, int max, uint8_t *out, HostCallback cb);

// Any parameter as a MemBlock of bytes: a binary value (negative field
// number, or kind 15, 14 or 16) as its bytes; a text as its byte form.
// Returns true when a block was delivered; the caller owns it (unlocked).
// *isBinary says which of the two it was (false after a failure): a flag
// that only repeated the return value would tell the caller nothing.
// With paramNumber 0 or a null output, returns false and touches nothing.
bool getBinOrAsciiHandle(int paramNumber, XPHandle *handle, uint32_t *length, bool *isBinary,
                         HostCallback cb);

// Operation 28: the field reference of a named field (low 16 bits), 0 for none.
int32_t GetFldRef(const qchar *name, HostCallback cb);

// Operation 38: fetch a field's value.
int32_t GetFldVal(int fieldRef, int type, int32_t count, void *buffer, HostCallback cb);

// Operation 45: the record's status.
int16_t GetFldInfo(ParamInfoRecord *record, HostCallback cb);

// True when the host describes the field number validly and with that kind.
bool IsThisFieldType(int fieldNumber, int kind, HostCallback cb);

// The kind the host gives the field number in one operation 45, or -1 when
// it does not describe it validly.  (One answer tells every kind apart: a
// caller testing several kinds asks once.)
int FieldKind(int fieldNumber, HostCallback cb);

// True when the field number is negative or of kind 15, 14 or 16.
bool IsBinaryField(int16_t fieldNumber, HostCallback cb);

// Parameter paramNumber's 16-bit field number (0 when the host gives none).
int16_t GetParamFieldNumber(int paramNumber, HostCallback cb);

// Operation 48: the function number.
int32_t GetPackageId(HostCallback cb);

// Operation 30: set target to the value at valueAddress.
int32_t SetFldVal(int target, int type, const void *valueAddress, HostCallback cb);

// Operation 31 with the integer as an exact 8-byte real.
void SetFldInt(int target, int16_t value, HostCallback cb);
void SetFldLong(int target, int32_t value, HostCallback cb);

// Sets a NUL-terminated 7-bit byte string as text (widened in the wide build).
void setStringField(int target, const uint8_t *text, HostCallback cb);

// Sets a MemBlock of bytes as a text block (widened to characters in the wide
// build, through a copy: the caller's block stays untouched and its own).
void setStringHandleField(int target, XPHandle bytes, HostCallback cb);

#endif
