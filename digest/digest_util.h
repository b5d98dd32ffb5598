// Small helpers the digest primitives share: loads and stores of words in
// either byte order, rotations, and a wipe the compiler cannot drop.
#ifndef GH_DIGEST_UTIL_H
#define GH_DIGEST_UTIL_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

namespace digest_detail {

inline uint32_t rotl32(uint32_t x, unsigned n) { return (x << n) | (x >> ((32 - n) & 31)); }
inline uint32_t rotr32(uint32_t x, unsigned n) { return (x >> n) | (x << ((32 - n) & 31)); }
inline uint64_t rotr64(uint64_t x, unsigned n) { return (x >> n) | (x << ((64 - n) & 63)); }

// Makes x opaque to the optimiser at this point: what was added to it so far
// is added now, and later terms cannot be reassociated in front of it.
#if defined(__GNUC__) || defined(__clang__)
#  define GH_OPAQUE(x) __asm__("" : "+r"(x))
#else
#  define GH_OPAQUE(x) ((void)0)
#endif

// memcpy keeps the loads legal at any alignment; compilers turn them into
// plain moves (and bswap/movbe for the big-endian forms).
inline uint32_t load_le32(const uint8_t *p) {
    uint32_t v;
    memcpy(&v, p, 4);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    v = __builtin_bswap32(v);
#endif
    return v;
}
inline uint32_t load_be32(const uint8_t *p) {
    uint32_t v;
    memcpy(&v, p, 4);
#if !defined(__BYTE_ORDER__) || __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    v = __builtin_bswap32(v);
#endif
    return v;
}
inline uint64_t load_be64(const uint8_t *p) {
    uint64_t v;
    memcpy(&v, p, 8);
#if !defined(__BYTE_ORDER__) || __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    v = __builtin_bswap64(v);
#endif
    return v;
}
inline uint16_t load_le16(const uint8_t *p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline void store_le16(uint8_t *p, size_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline uint64_t load_le64(const uint8_t *p) {
    return static_cast<uint64_t>(load_le32(p)) | static_cast<uint64_t>(load_le32(p + 4)) << 32;
}
inline void store_le32(uint8_t *p, uint32_t v) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    v = __builtin_bswap32(v);
#endif
    memcpy(p, &v, 4);
}
inline void store_be32(uint8_t *p, uint32_t v) {
#if !defined(__BYTE_ORDER__) || __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    v = __builtin_bswap32(v);
#endif
    memcpy(p, &v, 4);
}
inline void store_le64(uint8_t *p, uint64_t v) {
    store_le32(p, static_cast<uint32_t>(v));
    store_le32(p + 4, static_cast<uint32_t>(v >> 32));
}
inline void store_be64(uint8_t *p, uint64_t v) {
#if !defined(__BYTE_ORDER__) || __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    v = __builtin_bswap64(v);
#endif
    memcpy(p, &v, 8);
}

// Zeroes n bytes in a way the optimiser keeps: a context wiped just before
// it goes out of scope is a dead store it would otherwise remove.  The empty
// assembly statement "reads" the memory, so the memset must happen; memset
// itself stays fast (a byte loop through a volatile pointer costs a cycle a
// byte, which showed in short digests).
inline void wipe(void *p, size_t n) {
    memset(p, 0, n);
#if defined(__GNUC__) || defined(__clang__)
    __asm__ __volatile__("" : : "r"(p) : "memory");
#else
    volatile uint8_t *q = static_cast<volatile uint8_t *>(p);
    for (size_t i = 0; i < n; ++i) q[i] = 0;
#endif
}

}  // namespace digest_detail

#endif
