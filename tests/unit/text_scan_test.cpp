// The text scans: every kernel of every path this processor runs against
// the portable kernel, at every length up to a few vector blocks, over texts
// that end where readable memory ends (so that a read past them faults), in
// both widths.
#include <gtest/gtest.h>

#if defined(__linux__)
#  include <sys/mman.h>
#endif

#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/cpu_features.h"
#include "tests/support/guarded.h"
#include "text/scan_kernels.h"

namespace {

template <class C>
const KernelPath *tiers() {
    return sizeof(C) == 1 ? kScanPaths8 : kScanPaths32;
}

template <class C>
const ScanKernels<C> &portableSet() {
    return scan_set_of<C>(tiers<C>()[TEXT_SCAN_TIERS - 1]);
}

// The sets this processor runs other than the portable one (a set's null
// entries: kernels that tier leaves to another).
template <class C>
std::vector<const ScanKernels<C> *> fastSets() {
    std::vector<const ScanKernels<C> *> sets;
    for (int i = 0; i + 1 < TEXT_SCAN_TIERS; ++i) {
        const KernelPath &p = tiers<C>()[i];
        if ((p.needs & ~gh_cpu_detected_bits()) == 0) sets.push_back(&scan_set_of<C>(p));
    }
    return sets;
}

// Characters that make matches frequent, and codes that catch signed
// compares and truncation (the top bit, the highest code, a wide code whose
// low byte is a delimiter).
template <class C>
C characterFrom(uint32_t r) {
    static const uint32_t codes[] = {'a', 'b', ',', ' ', 13, 10, 0, 0x1F, 0x20, 0x21, 0x7F, 0x80, 0xE9, 0xFF};
    static const uint32_t wide[] = {0x100, 0x12C, 0x80000000u, 0xFFFFFFFFu, 0x7FFFFFFFu, 0x20AC};
    uint32_t k = r % 24;
    if (k < 14) return static_cast<C>(codes[k]);
    if (sizeof(C) == 4 && k < 20) return static_cast<C>(wide[k - 14]);
    return static_cast<C>('c' + r % 3);
}

template <class C>
class TextScans : public ::testing::Test {
protected:
    std::mt19937 rng{20240612};

    std::vector<C> randomText(size_t n) {
        std::vector<C> t(n);
        // Some texts from two or three characters only: long runs, dense matches.
        uint32_t few = rng() % 4 == 0 ? 2 + rng() % 2 : 0;
        for (C &c : t) c = few ? characterFrom<C>(rng() % few + 4) : characterFrom<C>(static_cast<uint32_t>(rng()));
        return t;
    }
    // Lengths 0 to 200 one by one, then some long ones.
    size_t lengthOf(int round) { return round <= 200 ? static_cast<size_t>(round) : 200 + rng() % 3000; }
};
using CharTypes = ::testing::Types<uint8_t, uint32_t>;
TYPED_TEST_SUITE(TextScans, CharTypes);

TYPED_TEST(TextScans, SearchesAndCountsMatchThePortableKernels) {
    using C = TypeParam;
    const ScanKernels<C> &portable = portableSet<C>();
    for (int round = 0; round < 400; ++round) {
        size_t n = this->lengthOf(round);
        std::vector<C> t = this->randomText(n);
        Guarded<C> text(t);
        C *s = text.p;
        C c = n && this->rng() % 2 ? t[this->rng() % n] : characterFrom<C>(static_cast<uint32_t>(this->rng()));
        C d = characterFrom<C>(static_cast<uint32_t>(this->rng()));
        C limits[] = {C(32), C(0), C(~C(0)), c};
        size_t gap = 1 + this->rng() % 70;
        for (const ScanKernels<C> *k : fastSets<C>()) {
            SCOPED_TRACE(std::string(k->name) + " n=" + std::to_string(n) + " round " + std::to_string(round));
            if (k->findChar) {
                ASSERT_EQ(k->findChar(s, n, c), portable.findChar(s, n, c));
            }
            if (k->findEither) {
                ASSERT_EQ(k->findEither(s, n, c, d), portable.findEither(s, n, c, d));
            }
            if (k->findLastChar) {
                ASSERT_EQ(k->findLastChar(s, n, c), portable.findLastChar(s, n, c));
            }
            for (C limit : limits) {
                if (k->findLastAtMost) {
                    ASSERT_EQ(k->findLastAtMost(s, n, limit), portable.findLastAtMost(s, n, limit));
                }
            }
            if (k->countChar) {
                ASSERT_EQ(k->countChar(s, n, c), portable.countChar(s, n, c));
            }
            if (k->markChars) {
                size_t words = (n + 63) / 64;
                std::vector<uint64_t> e(words + 1, 0x5A5A), a(words + 1, 0x5A5A), pe(words + 1, 0x5A5A),
                    pa(words + 1, 0x5A5A);
                k->markChars(s, n, c, limits[round % 4], e.data(), a.data());
                portable.markChars(s, n, c, limits[round % 4], pe.data(), pa.data());
                ASSERT_EQ(e, pe);
                ASSERT_EQ(a, pa);
                k->markChars(s, n, d, C(32), e.data(), nullptr);
                portable.markChars(s, n, d, C(32), pe.data(), nullptr);
                ASSERT_EQ(e, pe);
            }
            // A pair search reads gap characters beyond its length.
            if (k->findPair && n > gap) {
                ASSERT_EQ(k->findPair(s, n - gap, c, d, gap), portable.findPair(s, n - gap, c, d, gap));
                if (n > 1) {
                    ASSERT_EQ(k->findPair(s, n - 1, d, c, 1), portable.findPair(s, n - 1, d, c, 1));
                }
            }
        }
    }
}

TYPED_TEST(TextScans, CountsSurviveLongRunsOfMatches) {
    using C = TypeParam;
    // More matches than a byte or a 16-bit lane counts, in every lane.
    for (size_t n : {size_t{255 * 64 + 63}, size_t{70001}}) {
        std::vector<C> t(n, C(','));
        t[n / 2] = C('a');
        for (const ScanKernels<C> *k : fastSets<C>()) {
            if (k->countChar) {
                EXPECT_EQ(k->countChar(t.data(), n, C(',')), n - 1) << k->name;
            }
        }
    }
#if defined(__x86_64__) && defined(__linux__)
    // 2^28 wide characters and more (1 GiB of zero pages, never written):
    // more blocks than one pass of 32-bit lanes takes.
    const size_t n = (size_t{1} << 28) + 20;
    if (sizeof(C) == 1 || fastSets<C>().empty()) return;
    void *zeros = mmap(nullptr, n * sizeof(C), PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    ASSERT_NE(zeros, MAP_FAILED);
    for (const ScanKernels<C> *k : fastSets<C>()) {
        if (k->countChar) {
            EXPECT_EQ(k->countChar(static_cast<const C *>(zeros), n, C(0)), n) << k->name;
        }
    }
    munmap(zeros, n * sizeof(C));
#endif
}

// A filtering copy three ways: to another buffer, in place, and towards the
// front of its own buffer.  Only what the copy returns is compared.
template <class C, class Copy>
void checkCopy(const std::vector<C> &t, size_t offset, Copy copy, Copy reference, const char *name) {
    const size_t n = t.size();
    std::vector<C> expected(n + 1);
    expected.resize(reference(expected.data(), t.data(), n));
    Guarded<C> source(t);
    std::unique_ptr<C[]> out(new C[n + 1]);
    size_t got = copy(out.get(), source.p, n);
    ASSERT_EQ(std::vector<C>(out.get(), out.get() + got), expected) << name << " to another buffer";
    Guarded<C> inPlace(t, offset);
    got = copy(inPlace.p, inPlace.p, n);
    ASSERT_EQ(std::vector<C>(inPlace.p, inPlace.p + got), expected) << name << " in place";
    Guarded<C> shifted(t, offset);
    got = copy(shifted.start, shifted.p, n);
    ASSERT_EQ(std::vector<C>(shifted.start, shifted.start + got), expected) << name << " towards the front";
}

TYPED_TEST(TextScans, CopiesMatchThePortableKernels) {
    using C = TypeParam;
    const ScanKernels<C> &portable = portableSet<C>();
    for (int round = 0; round < 400; ++round) {
        size_t n = this->lengthOf(round), offset = 1 + this->rng() % 70;
        std::vector<C> t = this->randomText(n);
        C c = characterFrom<C>(static_cast<uint32_t>(this->rng()));
        C to = characterFrom<C>(static_cast<uint32_t>(this->rng()));
        C from = this->rng() % 2 ? C(13) : C(10);
        bool dropLf = this->rng() % 2;
        CharKeepSet keep = {};
        for (uint8_t &kept : keep.byteKept) kept = this->rng() % 3 != 0;
        keep.wideCount = this->rng() % 3;
        for (size_t i = 0; i < keep.wideCount; ++i) keep.wideKept[i] = characterFrom<C>(14 + i * 2);
        using Copy = std::function<size_t(C *, const C *, size_t)>;
        for (const ScanKernels<C> *k : fastSets<C>()) {
            SCOPED_TRACE(std::string(k->name) + " n=" + std::to_string(n) + " round " + std::to_string(round));
            if (k->copyWithout) {
                checkCopy<C, Copy>(t, offset, [&](C *o, const C *s, size_t m) { return k->copyWithout(o, s, m, c); },
                                   [&](C *o, const C *s, size_t m) { return portable.copyWithout(o, s, m, c); },
                                   "copy_without");
            }
            if (k->copyKept) {
                checkCopy<C, Copy>(t, offset, [&](C *o, const C *s, size_t m) { return k->copyKept(o, s, m, keep); },
                                   [&](C *o, const C *s, size_t m) { return portable.copyKept(o, s, m, keep); },
                                   "copy_kept");
            }
            if (k->copyBreaks) {
                checkCopy<C, Copy>(
                    t, offset, [&](C *o, const C *s, size_t m) { return k->copyBreaks(o, s, m, from, to, dropLf); },
                    [&](C *o, const C *s, size_t m) { return portable.copyBreaks(o, s, m, from, to, dropLf); },
                    "copy_breaks");
            }
            if (::testing::Test::HasFatalFailure()) return;
        }
    }
}

// One character to drop in a run of kept ones, at every place of a few
// blocks: blocks kept whole but for one character, and in wide text a code
// above 255 (whose low byte is kept) alone among codes below 256.
TYPED_TEST(TextScans, CopiesDropOneCharacterFromALongRun) {
    using C = TypeParam;
    const ScanKernels<C> &portable = portableSet<C>();
    CharKeepSet keep = {};
    for (uint8_t &kept : keep.byteKept) kept = 1;
    keep.byteKept[static_cast<uint8_t>(',')] = 0;
    using Copy = std::function<size_t(C *, const C *, size_t)>;
    for (C odd : {C(','), C(sizeof(C) == 1 ? ',' : 0x161)}) {
        for (size_t at = 0; at < 130; ++at) {
            std::vector<C> t(130, C('a'));
            t[at] = odd;
            for (const ScanKernels<C> *k : fastSets<C>()) {
                SCOPED_TRACE(std::string(k->name) + " at " + std::to_string(at));
                if (k->copyKept) {
                    checkCopy<C, Copy>(t, 1, [&](C *o, const C *s, size_t m) { return k->copyKept(o, s, m, keep); },
                                       [&](C *o, const C *s, size_t m) { return portable.copyKept(o, s, m, keep); },
                                       "copy_kept");
                }
                if (k->copyWithout) {
                    checkCopy<C, Copy>(t, 1, [&](C *o, const C *s, size_t m) { return k->copyWithout(o, s, m, odd); },
                                       [&](C *o, const C *s, size_t m) { return portable.copyWithout(o, s, m, odd); },
                                       "copy_without");
                }
                if (::testing::Test::HasFatalFailure()) return;
            }
        }
    }
}

// The portable kernels against direct loops over the contracts of scan.h,
// on texts where the copies' subtle cases are frequent (a line feed after
// the break character, at block edges; the break character at the end).
TYPED_TEST(TextScans, PortableCopiesFollowTheirContracts) {
    using C = TypeParam;
    const ScanKernels<C> &portable = portableSet<C>();
    for (int round = 0; round < 300; ++round) {
        std::vector<C> t(this->lengthOf(round));
        for (C &x : t) x = this->rng() % 3 == 0 ? C(13) : this->rng() % 2 ? C(10) : C('x');
        std::vector<C> expected, out(t.size());
        for (size_t i = 0; i < t.size(); ++i) {
            if (t[i] == 13) {
                expected.push_back(C('|'));
            } else if (!(t[i] == 10 && i > 0 && t[i - 1] == 13)) {
                expected.push_back(t[i]);
            }
        }
        out.resize(portable.copyBreaks(out.data(), t.data(), t.size(), C(13), C('|'), true));
        ASSERT_EQ(out, expected) << round;
    }
}

}  // namespace
