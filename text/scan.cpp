// The scans: the portable kernels, and the choice among the kernel sets
// (scan_kernels.h).  The portable byte searches lean on the C library where
// it has them (memchr, memrchr), which is vectorised there already.
#include "text/scan.h"

#include <string.h>

#include <atomic>

#include "platform/cpu_features.h"
#include "platform/path_choice.h"
#include "text/scan_kernels.h"

namespace {

template <class C>
size_t findChar(const C *s, size_t n, C c) {
    for (size_t i = 0; i < n; ++i) {
        if (s[i] == c) return i;
    }
    return n;
}

size_t findByte(const uint8_t *s, size_t n, uint8_t c) {
    const void *p = n ? memchr(s, c, n) : nullptr;
    return p ? static_cast<size_t>(static_cast<const uint8_t *>(p) - s) : n;
}

template <class C>
size_t findEither(const C *s, size_t n, C a, C b) {
    for (size_t i = 0; i < n; ++i) {
        if (s[i] == a || s[i] == b) return i;
    }
    return n;
}

template <class C>
size_t findLastChar(const C *s, size_t n, C c) {
    for (size_t i = n; i-- > 0;) {
        if (s[i] == c) return i;
    }
    return n;
}

size_t findLastByte(const uint8_t *s, size_t n, uint8_t c) {
#if defined(__GLIBC__)
    const void *p = n ? memrchr(s, c, n) : nullptr;
    return p ? static_cast<size_t>(static_cast<const uint8_t *>(p) - s) : n;
#else
    return findLastChar(s, n, c);
#endif
}

template <class C>
size_t findLastAtMost(const C *s, size_t n, C limit) {
    for (size_t i = n; i-- > 0;) {
        if (s[i] <= limit) return i;
    }
    return n;
}

template <class C>
size_t countChar(const C *s, size_t n, C c) {
    size_t count = 0;
    for (size_t i = 0; i < n; ++i) count += s[i] == c;
    return count;
}

template <class C>
size_t copyWithout(C *dst, const C *src, size_t n, C c) {
    size_t o = 0;
    for (size_t i = 0; i < n; ++i) {
        C x = src[i];
        dst[o] = x;  // written always, counted only when kept: no branch to mispredict
        o += x != c;
    }
    return o;
}

bool wideKept(const CharKeepSet &keep, uint32_t c) {
    for (size_t i = 0; i < keep.wideCount; ++i) {
        if (keep.wideKept[i] == c) return true;
    }
    return false;
}

size_t copyKeptBytes(uint8_t *dst, const uint8_t *src, size_t n, const CharKeepSet &keep) {
    size_t o = 0;
    for (size_t i = 0; i < n; ++i) {
        uint8_t x = src[i];
        dst[o] = x;
        o += keep.byteKept[x];
    }
    return o;
}

size_t copyKeptWide(uint32_t *dst, const uint32_t *src, size_t n, const CharKeepSet &keep) {
    size_t o = 0;
    for (size_t i = 0; i < n; ++i) {
        uint32_t x = src[i];
        dst[o] = x;
        o += x < 256 ? keep.byteKept[x] : wideKept(keep, x);
    }
    return o;
}

// The first character by the C library's search, the second checked.
size_t findPairBytes(const uint8_t *s, size_t n, uint8_t a, uint8_t b, size_t gap) {
    for (size_t i = findByte(s, n, a); i < n; i += 1 + findByte(s + i + 1, n - i - 1, a)) {
        if (s[i + gap] == b) return i;
    }
    return n;
}

size_t findPairWide(const uint32_t *s, size_t n, uint32_t a, uint32_t b, size_t gap) {
    for (size_t i = 0; i < n; ++i) {
        if (s[i] == a && s[i + gap] == b) return i;
    }
    return n;
}

template <class C>
size_t copyBreaks(C *dst, const C *src, size_t n, C from, C to, bool dropLf) {
    return copy_breaks_tail(dst, src, n, from, to, dropLf, 0, 0, false);
}

}  // namespace

const ScanKernels<uint8_t> kScanPortableU8 = {
    "portable",        findByte,           findEither<uint8_t>, findLastByte, findLastAtMost<uint8_t>,
    countChar<uint8_t>, copyWithout<uint8_t>, copyKeptBytes,     findPairBytes, copyBreaks<uint8_t>};
const ScanKernels<uint32_t> kScanPortableU32 = {
    "portable",          findChar<uint32_t>,    findEither<uint32_t>, findLastChar<uint32_t>,
    findLastAtMost<uint32_t>, countChar<uint32_t>, copyWithout<uint32_t>, copyKeptWide, findPairWide,
    copyBreaks<uint32_t>};

template <class C>
bool scan_kernel_present(const ScanKernels<C> &k, TextScanFunction f) {
    switch (f) {
    case TEXT_SCAN_FIND_CHAR:
        return k.findChar;
    case TEXT_SCAN_FIND_EITHER:
        return k.findEither;
    case TEXT_SCAN_FIND_LAST_CHAR:
        return k.findLastChar;
    case TEXT_SCAN_FIND_LAST_AT_MOST:
        return k.findLastAtMost;
    case TEXT_SCAN_COUNT_CHAR:
        return k.countChar;
    case TEXT_SCAN_COPY_WITHOUT:
        return k.copyWithout;
    case TEXT_SCAN_COPY_KEPT:
        return k.copyKept;
    case TEXT_SCAN_FIND_PAIR:
        return k.findPair;
    case TEXT_SCAN_COPY_BREAKS:
        return k.copyBreaks;
    default:
        return false;
    }
}
template bool scan_kernel_present(const ScanKernels<uint8_t> &, TextScanFunction);
template bool scan_kernel_present(const ScanKernels<uint32_t> &, TextScanFunction);

namespace {

bool runnable(TextScanPath path, const CpuFeatures &f) {
    switch (path) {
    case TEXT_SCAN_PORTABLE:
        return true;
    case TEXT_SCAN_SSE2:
        return f.sse2;
    case TEXT_SCAN_AVX2:
        return f.avx2;
    case TEXT_SCAN_AVX512:
        return f.avx512bw;
    case TEXT_SCAN_AVX512VBMI2:
        return f.avx512vbmi2;
    default:
        return false;
    }
}

// Per width: the sets by path number, and the choices.
template <class C>
struct Width;

template <>
struct Width<uint8_t> {
    static const ScanKernels<uint8_t> *const sets[TEXT_SCAN_PATHS];
    static PathChoice choices[TEXT_SCAN_FUNCTIONS];
};
const ScanKernels<uint8_t> *const Width<uint8_t>::sets[TEXT_SCAN_PATHS] = {
    &kScanPortableU8, &kScanSse2U8, &kScanAvx2U8, &kScanAvx512U8, &kScanAvx512Vbmi2U8};
PathChoice Width<uint8_t>::choices[TEXT_SCAN_FUNCTIONS] = {
    PathChoice("find_char8"),  PathChoice("find_either8"), PathChoice("find_last_char8"),
    PathChoice("find_last_at_most8"), PathChoice("count_char8"), PathChoice("copy_without8"),
    PathChoice("copy_kept8"),  PathChoice("find_pair8"), PathChoice("copy_breaks8")};

template <>
struct Width<uint32_t> {
    static const ScanKernels<uint32_t> *const sets[TEXT_SCAN_PATHS];
    static PathChoice choices[TEXT_SCAN_FUNCTIONS];
};
const ScanKernels<uint32_t> *const Width<uint32_t>::sets[TEXT_SCAN_PATHS] = {
    &kScanPortableU32, &kScanSse2U32, &kScanAvx2U32, &kScanAvx512U32, &kScanAvx512Vbmi2U32};
PathChoice Width<uint32_t>::choices[TEXT_SCAN_FUNCTIONS] = {
    PathChoice("find_char32"),  PathChoice("find_either32"), PathChoice("find_last_char32"),
    PathChoice("find_last_at_most32"), PathChoice("count_char32"), PathChoice("copy_without32"),
    PathChoice("copy_kept32"),  PathChoice("find_pair32"), PathChoice("copy_breaks32")};

template <class C>
const ScanKernels<C> *kernelsFor(TextScanPath path, const CpuFeatures &f) {
    if (path < TEXT_SCAN_PORTABLE || path >= TEXT_SCAN_PATHS || !runnable(path, f)) return nullptr;
    const ScanKernels<C> *k = Width<C>::sets[path];
    for (int function = 0; function < TEXT_SCAN_FUNCTIONS; ++function) {
        if (scan_kernel_present(*k, static_cast<TextScanFunction>(function))) return k;
    }
    return nullptr;  // none built for this architecture or width
}

// The timing sample: 2048 characters of comma-separated words, now and
// then quoted with a space inside, a CR LF every dozen words, a zero
// character now and then; each scan is run over it as the text functions
// use it.
enum { kSampleChars = 2048, kWindow = 72 };

template <class C>
struct Sample {
    C text[kSampleChars];
    C work[kSampleChars];
    CharKeepSet keep;
    size_t sink;
    TextScanFunction function;
};

template <class C>
void prepareSample(void *sample) {
    Sample<C> *s = static_cast<Sample<C> *>(sample);
    uint32_t x = 0x2545F491u;
    auto next = [&x](uint32_t n) {
        x = x * 1103515245u + 12345u;
        return (x >> 16) % n;
    };
    size_t i = 0;
    for (unsigned word = 0; i < kSampleChars; ++word) {
        bool quoted = next(16) == 0;
        if (quoted) s->text[i++] = '"';
        for (uint32_t k = 3 + next(7); k > 0 && i < kSampleChars; --k) s->text[i++] = static_cast<C>('a' + next(26));
        if (quoted && i + 1 < kSampleChars) {
            s->text[i++] = ' ';
            s->text[i++] = '"';
        }
        if (i < kSampleChars && next(64) == 0) s->text[i++] = 0;
        if (word % 12 == 11 && i + 2 <= kSampleChars) {
            s->text[i++] = '\r';
            s->text[i++] = '\n';
        } else if (i < kSampleChars) {
            s->text[i++] = ',';
        }
    }
    memset(s->keep.byteKept, 0, sizeof s->keep.byteKept);
    for (int c = '0'; c <= '9'; ++c) s->keep.byteKept[c] = 1;
    for (int c = 'a'; c <= 'z'; ++c) s->keep.byteKept[c] = 1;
    for (int c = 'A'; c <= 'Z'; ++c) s->keep.byteKept[c] = 1;
    s->keep.byteKept[int{','}] = s->keep.byteKept[int{'.'}] = 1;
    s->keep.wideCount = 0;
    s->sink = 0;
}

template <class C>
void runSample(void *sample, int path) {
    Sample<C> *s = static_cast<Sample<C> *>(sample);
    const ScanKernels<C> &k = *Width<C>::sets[path];
    const C *t = s->text;
    const size_t n = kSampleChars;
    size_t sum = 0;
    switch (s->function) {
    case TEXT_SCAN_FIND_CHAR:  // the next line break, again and again; then a long search
        for (size_t i = 0; i < n; ++i) i += k.findChar(t + i, n - i, C('\n'));
        sum += k.findChar(t, n, C('\\'));
        break;
    case TEXT_SCAN_FIND_EITHER:
        for (size_t i = 0; i < n; ++i) i += k.findEither(t + i, n - i, C('\r'), C('\n'));
        sum += k.findEither(t, n, C('{'), C('}'));
        break;
    case TEXT_SCAN_FIND_LAST_CHAR:  // the last of a rare character, and of an absent one
        sum += k.findLastChar(t, n, C('\n')) + k.findLastChar(t, n, C('\\'));
        break;
    case TEXT_SCAN_FIND_LAST_AT_MOST:  // the windows of wrapped lines
        for (size_t i = 0; i + kWindow <= n; i += kWindow) sum += k.findLastAtMost(t + i, kWindow, C(' '));
        break;
    case TEXT_SCAN_COUNT_CHAR:
        sum += k.countChar(t, n, C(',')) + k.countChar(t, n, C('\n'));
        break;
    case TEXT_SCAN_COPY_WITHOUT:
        sum += k.copyWithout(s->work, t, n, C(0));
        break;
    case TEXT_SCAN_COPY_KEPT:
        sum += k.copyKept(s->work, t, n, s->keep);
        break;
    case TEXT_SCAN_FIND_PAIR:  // the candidates of a short token, again and again; then a long search
        for (size_t i = 0; i + 1 < n; ++i) i += k.findPair(t + i, n - i - 1, C('e'), C(','), 1);
        sum += k.findPair(t, n - 5, C('x'), C('q'), 5);
        break;
    default:  // CR LF to LF
        sum += k.copyBreaks(s->work, t, n, C('\r'), C('\n'), true);
        break;
    }
    s->sink += sum;
}

template <class C>
const char *setName(int path) {
    return Width<C>::sets[path]->name;
}

template <class C>
int choose(TextScanFunction f) {
    PathChoice &choice = Width<C>::choices[f];
    int path = gh_path_chosen(choice);
    if (path >= 0) return path;
    CpuFeatures cpu = gh_cpu_features();  // none under GH_FORCE_PORTABLE=1
    int paths[TEXT_SCAN_PATHS];
    int count = 0;
    for (int p = TEXT_SCAN_PATHS - 1; p >= TEXT_SCAN_PORTABLE; --p) {  // the widest first
        const ScanKernels<C> *k = kernelsFor<C>(static_cast<TextScanPath>(p), cpu);
        if (k && scan_kernel_present(*k, f)) paths[count++] = p;
    }
    Sample<C> sample;
    sample.function = f;
    PathTrial trial = {paths, count, setName<C>, prepareSample<C>, runSample<C>, &sample};
    return gh_path_choose(&choice, trial);
}

// The test hook's path, or -1.
std::atomic<int> gForcedPath{-1};

template <class C>
const ScanKernels<C> &forced(int path, TextScanFunction f) {
    const ScanKernels<C> *k = kernelsFor<C>(static_cast<TextScanPath>(path), gh_cpu_detected());
    return k && scan_kernel_present(*k, f) ? *k : *Width<C>::sets[TEXT_SCAN_PORTABLE];
}

template <class C>
inline const ScanKernels<C> &chosen(TextScanFunction f) {
    int path = gForcedPath.load(std::memory_order_relaxed);
    if (__builtin_expect(path >= 0, 0)) return forced<C>(path, f);
    path = gh_path_chosen(Width<C>::choices[f]);
    return *Width<C>::sets[path >= 0 ? path : choose<C>(f)];
}

}  // namespace

void scan_force_path(TextScanPath path) {
    gForcedPath.store(path >= TEXT_SCAN_PORTABLE && path < TEXT_SCAN_PATHS ? path : -1, std::memory_order_relaxed);
}

const ScanKernels<uint8_t> *scan_kernels8_for(TextScanPath path) { return kernelsFor<uint8_t>(path, gh_cpu_detected()); }
const ScanKernels<uint32_t> *scan_kernels32_for(TextScanPath path) {
    return kernelsFor<uint32_t>(path, gh_cpu_detected());
}

const PathChoice *scan_choice8(TextScanFunction f) {
    if (f < 0 || f >= TEXT_SCAN_FUNCTIONS) return nullptr;
    choose<uint8_t>(f);
    return &Width<uint8_t>::choices[f];
}

const PathChoice *scan_choice32(TextScanFunction f) {
    if (f < 0 || f >= TEXT_SCAN_FUNCTIONS) return nullptr;
    choose<uint32_t>(f);
    return &Width<uint32_t>::choices[f];
}

size_t scan_find_char(const uint8_t *s, size_t n, uint8_t c) { return chosen<uint8_t>(TEXT_SCAN_FIND_CHAR).findChar(s, n, c); }
size_t scan_find_char(const uint32_t *s, size_t n, uint32_t c) {
    return chosen<uint32_t>(TEXT_SCAN_FIND_CHAR).findChar(s, n, c);
}

size_t scan_find_either(const uint8_t *s, size_t n, uint8_t a, uint8_t b) {
    return chosen<uint8_t>(TEXT_SCAN_FIND_EITHER).findEither(s, n, a, b);
}
size_t scan_find_either(const uint32_t *s, size_t n, uint32_t a, uint32_t b) {
    return chosen<uint32_t>(TEXT_SCAN_FIND_EITHER).findEither(s, n, a, b);
}

size_t scan_find_last_char(const uint8_t *s, size_t n, uint8_t c) {
    return chosen<uint8_t>(TEXT_SCAN_FIND_LAST_CHAR).findLastChar(s, n, c);
}
size_t scan_find_last_char(const uint32_t *s, size_t n, uint32_t c) {
    return chosen<uint32_t>(TEXT_SCAN_FIND_LAST_CHAR).findLastChar(s, n, c);
}

size_t scan_find_last_at_most(const uint8_t *s, size_t n, uint8_t limit) {
    return chosen<uint8_t>(TEXT_SCAN_FIND_LAST_AT_MOST).findLastAtMost(s, n, limit);
}
size_t scan_find_last_at_most(const uint32_t *s, size_t n, uint32_t limit) {
    return chosen<uint32_t>(TEXT_SCAN_FIND_LAST_AT_MOST).findLastAtMost(s, n, limit);
}

size_t scan_find_pair(const uint8_t *s, size_t n, uint8_t a, uint8_t b, size_t gap) {
    return chosen<uint8_t>(TEXT_SCAN_FIND_PAIR).findPair(s, n, a, b, gap);
}
size_t scan_find_pair(const uint32_t *s, size_t n, uint32_t a, uint32_t b, size_t gap) {
    return chosen<uint32_t>(TEXT_SCAN_FIND_PAIR).findPair(s, n, a, b, gap);
}

size_t scan_count_char(const uint8_t *s, size_t n, uint8_t c) { return chosen<uint8_t>(TEXT_SCAN_COUNT_CHAR).countChar(s, n, c); }
size_t scan_count_char(const uint32_t *s, size_t n, uint32_t c) {
    return chosen<uint32_t>(TEXT_SCAN_COUNT_CHAR).countChar(s, n, c);
}

size_t scan_copy_without(uint8_t *dst, const uint8_t *src, size_t n, uint8_t c) {
    return chosen<uint8_t>(TEXT_SCAN_COPY_WITHOUT).copyWithout(dst, src, n, c);
}
size_t scan_copy_without(uint32_t *dst, const uint32_t *src, size_t n, uint32_t c) {
    return chosen<uint32_t>(TEXT_SCAN_COPY_WITHOUT).copyWithout(dst, src, n, c);
}

size_t scan_copy_breaks(uint8_t *dst, const uint8_t *src, size_t n, uint8_t from, uint8_t to, bool dropLf) {
    return chosen<uint8_t>(TEXT_SCAN_COPY_BREAKS).copyBreaks(dst, src, n, from, to, dropLf);
}
size_t scan_copy_breaks(uint32_t *dst, const uint32_t *src, size_t n, uint32_t from, uint32_t to, bool dropLf) {
    return chosen<uint32_t>(TEXT_SCAN_COPY_BREAKS).copyBreaks(dst, src, n, from, to, dropLf);
}

size_t scan_copy_kept(uint8_t *dst, const uint8_t *src, size_t n, const CharKeepSet &keep) {
    return chosen<uint8_t>(TEXT_SCAN_COPY_KEPT).copyKept(dst, src, n, keep);
}
size_t scan_copy_kept(uint32_t *dst, const uint32_t *src, size_t n, const CharKeepSet &keep) {
    return chosen<uint32_t>(TEXT_SCAN_COPY_KEPT).copyKept(dst, src, n, keep);
}

// The spans are short (the spaces at a text's ends): no kernels.
namespace {
template <class C>
size_t spanChar(const C *s, size_t n, C c) {
    size_t i = 0;
    while (i < n && s[i] == c) ++i;
    return i;
}

template <class C>
size_t spanCharBack(const C *s, size_t n, C c) {
    size_t i = n;
    while (i > 0 && s[i - 1] == c) --i;
    return n - i;
}
}  // namespace

size_t scan_span_char(const uint8_t *s, size_t n, uint8_t c) { return spanChar(s, n, c); }
size_t scan_span_char(const uint32_t *s, size_t n, uint32_t c) { return spanChar(s, n, c); }
size_t scan_span_char_back(const uint8_t *s, size_t n, uint8_t c) { return spanCharBack(s, n, c); }
size_t scan_span_char_back(const uint32_t *s, size_t n, uint32_t c) { return spanCharBack(s, n, c); }
