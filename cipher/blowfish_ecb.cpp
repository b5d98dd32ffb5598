// ECB mode and padding, and the list of the ECB kernels.  ECB blocks are
// independent, so the portable kernel runs four side by side: their S-box
// loads overlap instead of waiting on each other, which roughly triples the
// speed of one block at a time on current x86 cores.  The vector kernel
// (cipher/blowfish_vbmi.cpp) runs 64 at once, byte-sliced; it leaves the
// blocks after its last whole step to the portable code, and a value of
// fewer than four blocks never reaches it.
#include "cipher/blowfish_ecb.h"

#include <string.h>

#include "cipher/blowfish_kernels.h"
#include "cipher/blowfish_round.h"
#include "platform/cpu_features.h"

namespace {

enum { LANES = 4 };

inline uint32_t loadBe32(const uint8_t *p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | p[3];
}

inline void storeBe32(uint8_t *p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}

// The rounds of LANES blocks at once.  P is walked forwards to encrypt and
// backwards to decrypt; everything else is the same.
template <bool Encrypt>
inline void runLanes(const BlowfishContext *ctx, uint8_t *data) {
    const uint32_t *P = ctx->P;
    uint32_t l[LANES];
    uint32_t r[LANES];
#pragma GCC unroll 4
    for (int k = 0; k < LANES; ++k) {
        l[k] = loadBe32(data + 8 * k) ^ P[Encrypt ? 0 : 17];
        r[k] = loadBe32(data + 8 * k + 4);
    }
#pragma GCC unroll 8
    for (int i = 1; i < 17; i += 2) {
        const uint32_t p1 = P[Encrypt ? i : 17 - i];
        const uint32_t p2 = P[Encrypt ? i + 1 : 16 - i];
#pragma GCC unroll 4
        for (int k = 0; k < LANES; ++k) r[k] ^= blowfishF(ctx, l[k]) ^ p1;
#pragma GCC unroll 4
        for (int k = 0; k < LANES; ++k) l[k] ^= blowfishF(ctx, r[k]) ^ p2;
    }
#pragma GCC unroll 4
    for (int k = 0; k < LANES; ++k) {
        storeBe32(data + 8 * k, r[k] ^ P[Encrypt ? 17 : 0]);
        storeBe32(data + 8 * k + 4, l[k]);
    }
}

// One block at a time.
template <bool Encrypt>
inline void runBlocks(const BlowfishContext *ctx, uint8_t *data, size_t blocks) {
    for (size_t i = 0; i < blocks; ++i) {
        uint8_t *block = data + BLOWFISH_BLOCK * i;
        uint32_t l = loadBe32(block);
        uint32_t r = loadBe32(block + 4);
        if (Encrypt) {
            blowfishEncryptHalves(ctx, l, r);
        } else {
            blowfishDecryptHalves(ctx, l, r);
        }
        storeBe32(block, l);
        storeBe32(block + 4, r);
    }
}

template <bool Encrypt>
void runEcb(const BlowfishContext *ctx, uint8_t *data, size_t blocks) {
    size_t i = 0;
    for (; blocks - i >= LANES; i += LANES) runLanes<Encrypt>(ctx, data + BLOWFISH_BLOCK * i);
    runBlocks<Encrypt>(ctx, data + BLOWFISH_BLOCK * i, blocks - i);
}

#if GH_BLOWFISH_HAVE_VBMI
const BlowfishEcbPath kVbmi = {"avx512vbmi", blowfish_ecb_encrypt_vbmi, blowfish_ecb_decrypt_vbmi};
#endif
const BlowfishEcbPath kPortable = {"portable", blowfish_ecb_encrypt_portable, blowfish_ecb_decrypt_portable};

// Byte-sliced AVX-512 VBMI runs about 2.9 times as fast as the portable
// code on Zen 4.  Gathering the S-box words (AVX2, 16 or 32 blocks a step;
// AVX-512, 32 or 64) ran at 0.83-0.88 of the portable code there, so no
// gather path is kept (bench/README.md).
const KernelPath kPaths[] = {
#if GH_BLOWFISH_HAVE_VBMI
    {"avx512vbmi", CPU_AVX512VBMI, &kVbmi},
#endif
    {"portable", 0, &kPortable},
};

}  // namespace

Kernel gBlowfishEncryptKernel("blowfish_ecb_encrypt", kPaths);
Kernel gBlowfishDecryptKernel("blowfish_ecb_decrypt", kPaths);

void blowfish_ecb_encrypt_portable(const BlowfishContext *ctx, uint8_t *data, size_t blocks) {
    runEcb<true>(ctx, data, blocks);
}

void blowfish_ecb_decrypt_portable(const BlowfishContext *ctx, uint8_t *data, size_t blocks) {
    runEcb<false>(ctx, data, blocks);
}

// Fewer blocks than the portable code interleaves take the same scalar
// code on every path; they skip the indirect call of the chosen path, which
// costs a short value (a catalogue call's 8 bytes) a few per cent.
void blowfish_ecb_encrypt(const BlowfishContext *ctx, uint8_t *data, size_t blocks) {
    if (blocks < LANES) return runBlocks<true>(ctx, data, blocks);
    static_cast<const BlowfishEcbPath *>(gh_kernel_fns(&gBlowfishEncryptKernel))->encrypt(ctx, data, blocks);
}

void blowfish_ecb_decrypt(const BlowfishContext *ctx, uint8_t *data, size_t blocks) {
    if (blocks < LANES) return runBlocks<false>(ctx, data, blocks);
    static_cast<const BlowfishEcbPath *>(gh_kernel_fns(&gBlowfishDecryptKernel))->decrypt(ctx, data, blocks);
}

size_t blowfish_pad(uint8_t *data, size_t n) {
    size_t p = blowfish_pad_length(n);
    memset(data + n, static_cast<int>(p), p);
    return n + p;
}

bool blowfish_unpadded_length(const uint8_t *data, size_t n, size_t *plainLength) {
    if (n == 0) return false;
    size_t p = data[n - 1];
    if (p == 0 || p > BLOWFISH_BLOCK || p > n) return false;
    *plainLength = n - p;
    return true;
}
