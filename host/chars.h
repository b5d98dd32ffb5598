// Conversions between the host's characters and the bytes the algorithms
// work on.
//
// In the wide build a host character is a 32-bit code: text is encoded to
// bytes on the way in (characters up to 255 as one byte, higher ones in the
// multi-byte forms of platform/charcodec.h) and widened one character per
// byte on the way out.  In the byte build a character is a byte and nothing
// needs converting; the wide-only functions do not exist there.
//
// Functions that write into caller memory take its size on trust: the caller
// provides room for the result and any terminator.
#ifndef GH_CHARS_H
#define GH_CHARS_H

#include <stddef.h>
#include <stdint.h>

#include "host/memblock.h"

// Characters before the first zero character; 0 for a null address.
size_t OMstrlen(const qchar *s);

// Copies a zero-terminated text into the counted form (256 elements: the
// count, then up to 255 characters).  The count is the number of characters
// before the zero, at most 254; 255 elements are copied at most.
void sthandle(const qchar *s, qchar *counted);

// Encodes *count characters as bytes, characters above 255 in their
// multi-byte forms (a copy in the byte build), then a NUL if terminate is
// set; *count becomes the number of bytes written, NUL excluded.
void CHRencodeQcharStringToAscii(const qchar *chars, uint32_t *count, uint8_t *out,
                                 bool terminate);

// One byte per character, the character truncated to its low 8 bits, up to
// the zero character; then a NUL if terminate is set.
void CHRtruncateQcharStringToAscii(const qchar *chars, uint8_t *out, bool terminate);

// One character per byte for count bytes, no terminator.
void CHRcopyAsciiDataToQchar(const uint8_t *bytes, size_t count, qchar *out);

// Replaces the MemBlock of characters at *h by one of their byte form; true
// on success.  On failure *h keeps the old block.  The wide build narrows a
// short text of one byte a character in its own block, and otherwise sizes
// a new block exactly; the byte build keeps the block, which already holds
// bytes.
bool convertQHStrToAsciiHStr(XPHandle *h);

#if GH_WIDE
// One character per byte up to the NUL; then a zero character if terminate.
void CHRcopyAsciiStringToQchar(const uint8_t *bytes, qchar *out, bool terminate);

// Replaces the MemBlock of bytes at *h by a MemBlock of characters, one per
// byte, followed by a zero character; true on success.  On failure *h keeps
// the old block.
bool convertAsciiHStrToQHStr(XPHandle *h);

// Converts a zero-terminated text to UTF-16 for the system's file functions,
// then a zero unit; returns the units written, the zero excluded.  Codes above
// 0x10FFFF become the unit 0x0001.  out has room for 2 units a character + 1.
size_t CHRcharToOschar(const qchar *chars, uint16_t *out);
#endif

// The count of a locked MemBlock that the host delivered, limited to the
// elements its block really holds: a count larger than the block is never
// trusted.
uint32_t MemBlockCheckedCount(XPHandle h, const void *locked, size_t elementSize);

#endif
