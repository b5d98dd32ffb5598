// Conversions between 32-bit characters and bytes: the portable code and
// the choice of kernels.
#include "platform/charcodec.h"

#include "platform/charcodec_kernels.h"
#include "platform/cpu_features.h"
#include "platform/path_choice.h"

namespace {

inline unsigned encodedSize(uint32_t c) {
    if (c <= 0xFF) return 1;
    if (c <= 0x7FF) return 2;
    if (c <= 0xFFFF) return 3;
    if (c <= 0x1FFFFF) return 4;
    if (c <= 0x3FFFFFF) return 5;
    return 6;
}

inline uint8_t continuation(uint32_t x) { return static_cast<uint8_t>(0x80 | (x & 0x3F)); }

// True when the eight characters at p are all below 0x100, the common case
// that a block-at-a-time loop takes without looking at each one.
inline bool eightBelow256(const uint32_t *p) {
    return ((p[0] | p[1] | p[2] | p[3] | p[4] | p[5] | p[6] | p[7]) >> 8) == 0;
}

}  // namespace

uint64_t qchar_encoded_length_portable(const uint32_t *chars, size_t n) {
    uint64_t total = 0;
    size_t i = 0;
    for (; n - i >= 8; i += 8) {
        if (eightBelow256(chars + i)) {
            total += 8;
        } else {
            for (size_t k = i; k < i + 8; ++k) total += encodedSize(chars[k]);
        }
    }
    for (; i < n; ++i) total += encodedSize(chars[i]);
    return total;
}

namespace {

// Writes the byte form of c at o; returns the end.
inline uint8_t *encodeOne(uint32_t c, uint8_t *o) {
    switch (encodedSize(c)) {
    case 1:
        *o++ = static_cast<uint8_t>(c);
        break;
    case 2:
        *o++ = static_cast<uint8_t>(0xC0 + (c >> 6));
        *o++ = continuation(c);
        break;
    case 3:
        *o++ = static_cast<uint8_t>(0xE0 + (c >> 12 & 0x0F));
        *o++ = continuation(c >> 6);
        *o++ = continuation(c);
        break;
    case 4:
        *o++ = static_cast<uint8_t>(0xF0 + (c >> 18 & 0x07));
        *o++ = continuation(c >> 12);
        *o++ = continuation(c >> 6);
        *o++ = continuation(c);
        break;
    case 5:
        *o++ = static_cast<uint8_t>(0xF8 + (c >> 24 & 0x07));
        *o++ = continuation(c >> 18);
        *o++ = continuation(c >> 12);
        *o++ = continuation(c >> 6);
        *o++ = continuation(c);
        break;
    default:
        *o++ = static_cast<uint8_t>(0xFC + (c >> 30 & 0x07));
        *o++ = continuation(c >> 24);
        *o++ = continuation(c >> 18);
        *o++ = continuation(c >> 12);
        *o++ = continuation(c >> 6);
        *o++ = continuation(c);
        break;
    }
    return o;
}

}  // namespace

size_t qchar_encode_portable(const uint32_t *chars, size_t n, uint8_t *out) {
    uint8_t *o = out;
    size_t i = 0;
    for (; n - i >= 8; i += 8) {
        if (eightBelow256(chars + i)) {
            for (size_t k = 0; k < 8; ++k) o[k] = static_cast<uint8_t>(chars[i + k]);
            o += 8;
        } else {
            for (size_t k = i; k < i + 8; ++k) o = encodeOne(chars[k], o);
        }
    }
    for (; i < n; ++i) o = encodeOne(chars[i], o);
    return static_cast<size_t>(o - out);
}

void bytes_widen_portable(const uint8_t *bytes, size_t n, uint32_t *out) {
    for (size_t i = 0; i < n; ++i) out[i] = bytes[i];
}

void qchar_narrow_low8_portable(const uint32_t *chars, size_t n, uint8_t *out) {
    for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(chars[i]);
}

namespace {

const CharCodecKernels kPortable = {"portable", qchar_encoded_length_portable,
                                    qchar_encode_portable, bytes_widen_portable,
                                    qchar_narrow_low8_portable};

const CharCodecKernels *kernelsOf(CharCodecPath path, const CpuFeatures &f) {
    switch (path) {
    case CHARCODEC_PORTABLE:
        return &kPortable;
    case CHARCODEC_AVX2:
        return f.avx2 ? &kCharCodecAvx2 : nullptr;
    case CHARCODEC_AVX512:
        return f.avx512bw ? &kCharCodecAvx512 : nullptr;
    default:
        return nullptr;
    }
}

// Each conversion is chosen on its own (platform/path_choice.h): the four
// are bound by different things (compares, shuffles, stores).
PathChoice gChoices[CHARCODEC_FUNCTIONS] = {
    PathChoice("qchar_encoded_length"), PathChoice("qchar_encode"), PathChoice("bytes_widen"),
    PathChoice("qchar_narrow_low8")};

// 1024 characters of text below 0x100 (the common case; blocks with higher
// characters go through the portable code on every path), 16 passes a run.
enum { kSampleChars = 1024, kSamplePasses = 16 };
struct Sample {
    uint32_t chars[kSampleChars];
    uint8_t bytes[kSampleChars];
    uint32_t wide[kSampleChars];
};

void prepareSample(void *sample) {
    Sample *s = static_cast<Sample *>(sample);
    uint32_t x = 0x6C078965u;
    for (size_t i = 0; i < kSampleChars; ++i) {
        x = x * 1103515245u + 12345u;
        uint32_t r = x >> 24;
        // Mostly letters and spaces, now and then a Latin-1 letter.
        s->chars[i] = r < 40 ? ' ' : r < 248 ? 'a' + r % 26 : 0xC0 + r % 64;
        s->bytes[i] = static_cast<uint8_t>(s->chars[i]);
    }
}

// Path numbers are CharCodecPath.
const CharCodecKernels *const kSets[CHARCODEC_PATHS] = {&kPortable, &kCharCodecAvx2,
                                                        &kCharCodecAvx512};
inline const CharCodecKernels *setOf(int path) { return kSets[path]; }

template <CharCodecFunction F>
void runSample(void *sample, int path) {
    Sample *s = static_cast<Sample *>(sample);
    const CharCodecKernels *k = setOf(path);
    for (int pass = 0; pass < kSamplePasses; ++pass) {
        switch (F) {
        case CHARCODEC_ENCODED_LENGTH:
            s->wide[pass] = static_cast<uint32_t>(k->encodedLength(s->chars, kSampleChars));
            break;
        case CHARCODEC_ENCODE:
            k->encode(s->chars, kSampleChars, s->bytes);
            break;
        case CHARCODEC_WIDEN:
            k->widen(s->bytes, kSampleChars, s->wide);
            break;
        default:
            k->narrowLow8(s->chars, kSampleChars, s->bytes);
            break;
        }
    }
}

void (*const kRuns[CHARCODEC_FUNCTIONS])(void *, int) = {
    runSample<CHARCODEC_ENCODED_LENGTH>, runSample<CHARCODEC_ENCODE>, runSample<CHARCODEC_WIDEN>,
    runSample<CHARCODEC_NARROW_LOW8>};

const char *setName(int path) { return setOf(path)->name; }

int choose(CharCodecFunction f) {
    int path = gh_path_chosen(gChoices[f]);
    if (path >= 0) return path;
    CpuFeatures cpu = gh_cpu_features();  // none under GH_FORCE_PORTABLE=1
    int paths[CHARCODEC_PATHS];
    int count = 0;
    for (int p = CHARCODEC_PATHS - 1; p >= CHARCODEC_PORTABLE; --p) {  // the widest first
        if (kernelsOf(static_cast<CharCodecPath>(p), cpu)) paths[count++] = p;
    }
    Sample sample;
    PathTrial trial = {paths, count, setName, prepareSample, kRuns[f], &sample};
    return gh_path_choose(&gChoices[f], trial);
}

inline const CharCodecKernels *chosen(CharCodecFunction f) {
    int path = gh_path_chosen(gChoices[f]);
    return setOf(path >= 0 ? path : choose(f));
}

}  // namespace

const CharCodecKernels *charcodec_kernels_for(CharCodecPath path) {
    return kernelsOf(path, gh_cpu_detected());
}

const PathChoice *charcodec_choice(CharCodecFunction f) {
    if (f < 0 || f >= CHARCODEC_FUNCTIONS) return nullptr;
    choose(f);
    return &gChoices[f];
}

uint64_t qchar_encoded_length(const uint32_t *chars, size_t n) {
    return chosen(CHARCODEC_ENCODED_LENGTH)->encodedLength(chars, n);
}

size_t qchar_encode(const uint32_t *chars, size_t n, uint8_t *out) {
    return chosen(CHARCODEC_ENCODE)->encode(chars, n, out);
}

void bytes_widen(const uint8_t *bytes, size_t n, uint32_t *out) {
    chosen(CHARCODEC_WIDEN)->widen(bytes, n, out);
}

void qchar_narrow_low8(const uint32_t *chars, size_t n, uint8_t *out) {
    chosen(CHARCODEC_NARROW_LOW8)->narrowLow8(chars, n, out);
}
