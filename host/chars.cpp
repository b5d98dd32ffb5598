// Character conversions between the host's text and bytes.
#include "host/chars.h"

#include <string.h>

#include "host/block_size.h"
#include "platform/charcodec.h"

size_t OMstrlen(const qchar *s) {
    if (!s) return 0;
    size_t n = 0;
    while (s[n]) ++n;
    return n;
}

void sthandle(const qchar *s, qchar *counted) {
    size_t copied = 0;
    size_t length = 0;
    // Copy until the zero character has been copied or 255 elements are full.
    while (copied < 255) {
        qchar c = s ? s[copied] : 0;
        counted[1 + copied] = c;
        ++copied;
        if (!c) break;
        ++length;
    }
    counted[0] = static_cast<qchar>(length > 254 ? 254 : length);
}

void CHRtruncateQcharStringToAscii(const qchar *chars, uint8_t *out, bool terminate) {
    size_t i = 0;
    for (; chars[i]; ++i) out[i] = static_cast<uint8_t>(chars[i]);
    if (terminate) out[i] = 0;
}

void CHRcopyAsciiDataToQchar(const uint8_t *bytes, size_t count, qchar *out) {
#if GH_WIDE
    bytes_widen(bytes, count, out);
#else
    if (count) memmove(out, bytes, count);
#endif
}

uint32_t MemBlockCheckedCount(XPHandle h, const void *locked, size_t elementSize) {
    size_t size = GetXPHandleSize(h);
    if (size < MEMBLOCK_HEADER) return 0;  // not even the count is there to read
    uint32_t n = MemBlockCount(locked);
    size_t room = (size - MEMBLOCK_HEADER) / elementSize;
    return n <= room ? n : static_cast<uint32_t>(room);
}

#if GH_WIDE

void CHRencodeQcharStringToAscii(const qchar *chars, uint32_t *count, uint8_t *out,
                                 bool terminate) {
    size_t written = qchar_encode(chars, *count, out);
    if (terminate) out[written] = 0;
    *count = static_cast<uint32_t>(written);
}

void CHRcopyAsciiStringToQchar(const uint8_t *bytes, qchar *out, bool terminate) {
    size_t i = 0;
    for (; bytes[i]; ++i) out[i] = bytes[i];
    if (terminate) out[i] = 0;
}

// The longest text narrowed in its own block: beyond it the copy into a
// new block, by the vector kernels, costs less than the scalar loop.
constexpr uint32_t kNarrowInPlace = 256;

bool convertQHStrToAsciiHStr(XPHandle *h) {
    if (!h || !*h) return false;
    void *old = LockXPHandle(*h);
    if (!old) return false;
    uint32_t n = MemBlockCheckedCount(*h, old, sizeof(qchar));
    if (n == 0) {
        UnlockXPHandle(*h);
        return true;  // an empty value stays as it is
    }
    const qchar *chars = MemBlockChars(old);
    uint64_t length = qchar_encoded_length(chars, n);
    if (length == n && n <= kNarrowInPlace) {
        // A byte a character, and short: narrowed in the block itself, front
        // to back (each byte lands where its character has been read), with
        // no new block to allocate.  The block keeps its size; its count
        // says what it holds.
        uint8_t *bytes = MemBlockBytes(old);
        for (uint32_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(chars[i]);
        SetMemBlockCount(old, n);
        UnlockXPHandle(*h);
        return true;
    }
    // Sized exactly: two passes over the characters cost less than a block
    // of six bytes a character.
    uint64_t size = MemBlockSize(length, 1);
    XPHandle fresh = size ? NewXPHandle(static_cast<int64_t>(size)) : nullptr;
    void *p = fresh ? LockXPHandle(fresh) : nullptr;
    if (!p) {
        DisposeXPHandle(fresh);
        UnlockXPHandle(*h);
        return false;
    }
    uint32_t count = n;
    CHRencodeQcharStringToAscii(chars, &count, MemBlockBytes(p), false);
    SetMemBlockCount(p, count);
    UnlockXPHandle(fresh);
    UnlockXPHandle(*h);
    DisposeXPHandle(*h);
    *h = fresh;
    return true;
}

bool convertAsciiHStrToQHStr(XPHandle *h) {
    if (!h || !*h) return false;
    void *old = LockXPHandle(*h);
    if (!old) return false;
    uint32_t n = MemBlockCheckedCount(*h, old, 1);
    uint64_t size = MemBlockSize(n, sizeof(qchar), 1);  // and a zero character
    XPHandle fresh = size ? NewXPHandle(static_cast<int64_t>(size)) : nullptr;
    void *p = fresh ? LockXPHandle(fresh) : nullptr;
    if (!p) {
        DisposeXPHandle(fresh);
        UnlockXPHandle(*h);
        return false;
    }
    SetMemBlockCount(p, n);
    CHRcopyAsciiDataToQchar(MemBlockBytes(old), n, MemBlockChars(p));
    MemBlockChars(p)[n] = 0;
    UnlockXPHandle(fresh);
    UnlockXPHandle(*h);
    DisposeXPHandle(*h);
    *h = fresh;
    return true;
}

size_t CHRcharToOschar(const qchar *chars, uint16_t *out) {
    size_t u = 0;
    for (size_t i = 0; chars[i]; ++i) {
        uint32_t c = chars[i];
        if (c < 0x10000) {
            out[u++] = static_cast<uint16_t>(c);
        } else if (c <= 0x10FFFF) {
            out[u++] = static_cast<uint16_t>(0xD800 + ((c - 0x10000) >> 10 & 0x3FF));
            out[u++] = static_cast<uint16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out[u++] = 0x0001;
        }
    }
    out[u] = 0;
    return u;
}

#else  // byte build

void CHRencodeQcharStringToAscii(const qchar *chars, uint32_t *count, uint8_t *out,
                                 bool terminate) {
    if (*count) memmove(out, chars, *count);
    if (terminate) out[*count] = 0;
}

bool convertQHStrToAsciiHStr(XPHandle *h) {
    // The text already is bytes: the block serves as it is.
    return h && *h;
}

#endif
