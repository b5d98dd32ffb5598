// The searches of scan.h written once over a vector instruction set, for
// the kernel files (scan_sse2.cpp, scan_avx2.cpp, scan_avx512.cpp,
// scan_neon.cpp).  Each of
// them defines GH_SCAN_TARGET (its target attribute) and an Ops type per
// character width, then includes this file, whose functions it instantiates
// in its own anonymous namespace.
//
// An Ops type gives, for a block of kLanes characters, a bit mask with one
// bit per character (bit k for the character at k):
//   V splat(C), V load(const C *), uint64_t eq(V, V), uint64_t le(V, V)
//   (unsigned <=), and, when kMasked, V loadFirst(const C *p, size_t k): the
//   first k < kLanes characters at p, the rest zero, without reading past
//   them (AVX-512 masked loads).
// Without masked loads, the part of a text shorter than a block is read as
// the last whole block of the text, overlapping what was searched already,
// or one character at a time when the whole text is shorter than a block:
// nothing outside the text is ever read.
#ifndef GH_SCAN_TARGET
#  error "define GH_SCAN_TARGET before including scan_simd.h"
#endif

#include <stddef.h>
#include <stdint.h>

#include "text/bits.h"

namespace {

inline uint64_t lowBits(size_t k) { return k >= 64 ? ~uint64_t{0} : (uint64_t{1} << k) - 1; }

// What each search looks for: the mask of a whole block, of the first k
// characters of one (masked loads only), and the test of one character.
template <class O>
struct EqOne {
    using C = typename O::C;
    typename O::V v;
    C c;
    GH_SCAN_TARGET uint64_t block(const C *p) const { return O::eq(O::load(p), v); }
    GH_SCAN_TARGET uint64_t first(const C *p, size_t k) const { return O::eq(O::loadFirst(p, k), v); }
    bool one(const C *s, size_t i) const { return s[i] == c; }
};

template <class O>
struct EqEither {
    using C = typename O::C;
    typename O::V va, vb;
    C a, b;
    GH_SCAN_TARGET uint64_t block(const C *p) const {
        typename O::V x = O::load(p);
        return O::eq(x, va) | O::eq(x, vb);
    }
    GH_SCAN_TARGET uint64_t first(const C *p, size_t k) const {
        typename O::V x = O::loadFirst(p, k);
        return O::eq(x, va) | O::eq(x, vb);
    }
    bool one(const C *s, size_t i) const { return s[i] == a || s[i] == b; }
};

template <class O>
struct AtMost {
    using C = typename O::C;
    typename O::V v;
    C limit;
    GH_SCAN_TARGET uint64_t block(const C *p) const { return O::le(O::load(p), v); }
    GH_SCAN_TARGET uint64_t first(const C *p, size_t k) const { return O::le(O::loadFirst(p, k), v); }
    bool one(const C *s, size_t i) const { return s[i] <= limit; }
};

// a at i and b at i + gap: the block at p and the block gap further on.
template <class O>
struct Pair {
    using C = typename O::C;
    typename O::V va, vb;
    C a, b;
    size_t gap;
    GH_SCAN_TARGET uint64_t block(const C *p) const { return O::eq(O::load(p), va) & O::eq(O::load(p + gap), vb); }
    GH_SCAN_TARGET uint64_t first(const C *p, size_t k) const {
        return O::eq(O::loadFirst(p, k), va) & O::eq(O::loadFirst(p + gap, k), vb);
    }
    bool one(const C *s, size_t i) const { return s[i] == a && s[i + gap] == b; }
};

// The first i < n that m matches, or n.  (For Pair, s[0, n + gap) is read.)
template <class O, class M>
GH_SCAN_TARGET inline size_t searchForward(const typename O::C *s, size_t n, const M &m) {
    constexpr size_t L = O::kLanes;
    size_t i = 0;
    for (; n - i >= L; i += L) {
        uint64_t hit = m.block(s + i);
        if (hit) return i + lowestBit(hit);
    }
    if (i == n) return n;
    size_t k = n - i;
    uint64_t hit;
    if constexpr (O::kMasked) {
        hit = m.first(s + i, k) & lowBits(k);
    } else {
        if (n < L) {
            for (; i < n; ++i) {
                if (m.one(s, i)) return i;
            }
            return n;
        }
        hit = m.block(s + n - L) >> (L - k);  // the last block: its first L - k were searched
    }
    return hit ? i + lowestBit(hit) : n;
}

// The last i < n that m matches, or n.
template <class O, class M>
GH_SCAN_TARGET inline size_t searchBackward(const typename O::C *s, size_t n, const M &m) {
    constexpr size_t L = O::kLanes;
    size_t i = n;
    while (i >= L) {
        i -= L;
        uint64_t hit = m.block(s + i);
        if (hit) return i + highestBit(hit);
    }
    if (i == 0) return n;
    uint64_t hit;
    if constexpr (O::kMasked) {
        hit = m.first(s, i) & lowBits(i);
    } else {
        if (n < L) {
            while (i-- > 0) {
                if (m.one(s, i)) return i;
            }
            return n;
        }
        hit = m.block(s) & lowBits(i);  // the first block: all but its first i were searched
    }
    return hit ? highestBit(hit) : n;
}

template <class O>
GH_SCAN_TARGET size_t findChar(const typename O::C *s, size_t n, typename O::C c) {
    EqOne<O> m{O::splat(c), c};
    return searchForward<O>(s, n, m);
}

template <class O>
GH_SCAN_TARGET size_t findEither(const typename O::C *s, size_t n, typename O::C a, typename O::C b) {
    EqEither<O> m{O::splat(a), O::splat(b), a, b};
    return searchForward<O>(s, n, m);
}

template <class O>
GH_SCAN_TARGET size_t findLastChar(const typename O::C *s, size_t n, typename O::C c) {
    EqOne<O> m{O::splat(c), c};
    return searchBackward<O>(s, n, m);
}

template <class O>
GH_SCAN_TARGET size_t findLastAtMost(const typename O::C *s, size_t n, typename O::C limit) {
    AtMost<O> m{O::splat(limit), limit};
    return searchBackward<O>(s, n, m);
}

template <class O>
GH_SCAN_TARGET size_t findPair(const typename O::C *s, size_t n, typename O::C a, typename O::C b, size_t gap) {
    Pair<O> m{O::splat(a), O::splat(b), a, b, gap};
    return searchForward<O>(s, n, m);
}

// scan_mark_chars: each word of marks from the masks of 64 / kLanes blocks,
// the last, partial word one character at a time.
template <class O, bool WithAtMost>
GH_SCAN_TARGET inline void markWords(const typename O::C *s, size_t n, typename O::C c, typename O::C limit,
                                     uint64_t *equal, uint64_t *atMost) {
    constexpr size_t L = O::kLanes;
    const typename O::V vc = O::splat(c), vl = O::splat(limit);
    size_t i = 0;
    for (; n - i >= 64; i += 64) {
        uint64_t e = 0, a = 0;
        for (size_t j = 0; j < 64; j += L) {
            typename O::V x = O::load(s + i + j);
            e |= O::eq(x, vc) << j;
            if (WithAtMost) a |= O::le(x, vl) << j;
        }
        equal[i / 64] = e;
        if (WithAtMost) atMost[i / 64] = a;
    }
    mark_chars_tail(s, n, c, limit, equal, atMost, i);
}

template <class O>
GH_SCAN_TARGET void markChars(const typename O::C *s, size_t n, typename O::C c, typename O::C limit,
                              uint64_t *equal, uint64_t *atMost) {
    if (atMost) {
        markWords<O, true>(s, n, c, limit, equal, atMost);
    } else {
        markWords<O, false>(s, n, c, limit, equal, atMost);
    }
}

// One character at a time (the ends of the vector copies).
template <class C>
inline size_t copyWithoutTail(C *dst, const C *src, size_t n, C c, size_t i, size_t o) {
    for (; i < n; ++i) {
        C x = src[i];
        dst[o] = x;
        o += x != c;
    }
    return o;
}

inline bool keptByCode(const CharKeepSet &keep, uint32_t c) {
    if (c < 256) return keep.byteKept[c] != 0;
    for (size_t i = 0; i < keep.wideCount; ++i) {
        if (keep.wideKept[i] == c) return true;
    }
    return false;
}

template <class C>
inline size_t copyKeptTail(C *dst, const C *src, size_t n, const CharKeepSet &keep, size_t i, size_t o) {
    for (; i < n; ++i) {
        C x = src[i];
        dst[o] = x;
        o += keptByCode(keep, x);
    }
    return o;
}

// The 256 codes of a keep set as two nibble tables for byte shuffles: for a
// code x below 128, bit x >> 4 of lowHalf[x & 15] says whether it is kept;
// for one from 128, bit (x >> 4) - 8 of highHalf[x & 15].
struct NibbleTables {
    uint8_t lowHalf[16];
    uint8_t highHalf[16];
};

inline NibbleTables nibbleTables(const CharKeepSet &keep) {
    NibbleTables t = {};
    for (unsigned x = 0; x < 256; ++x) {
        if (!keep.byteKept[x]) continue;
        uint8_t bit = static_cast<uint8_t>(1u << ((x >> 4) & 7));
        if (x < 128) {
            t.lowHalf[x & 15] |= bit;
        } else {
            t.highHalf[x & 15] |= bit;
        }
    }
    return t;
}

}  // namespace
