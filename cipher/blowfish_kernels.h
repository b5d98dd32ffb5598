// The Blowfish ECB kernels behind blowfish_ecb_encrypt and
// blowfish_ecb_decrypt, for the tests and the benchmarks.
//
// A kernel encrypts or decrypts `blocks` 8-byte blocks in place, as
// blowfish_ecb_encrypt does; the vector ones run many blocks side by side
// and hand the blocks left over to the portable code.
#ifndef GH_BLOWFISH_KERNELS_H
#define GH_BLOWFISH_KERNELS_H

#include <stddef.h>
#include <stdint.h>

#include "cipher/blowfish.h"
#include "platform/kernels.h"

typedef void (*BlowfishEcbFn)(const BlowfishContext *ctx, uint8_t *data, size_t blocks);

struct BlowfishEcbPath {
    const char *name;
    BlowfishEcbFn encrypt;
    BlowfishEcbFn decrypt;
};

// Four blocks interleaved in scalar code (portable).
void blowfish_ecb_encrypt_portable(const BlowfishContext *ctx, uint8_t *data, size_t blocks);
void blowfish_ecb_decrypt_portable(const BlowfishContext *ctx, uint8_t *data, size_t blocks);

#if defined(__x86_64__)
#  define GH_BLOWFISH_HAVE_VBMI 1
// 64 blocks a step, byte-sliced, S-boxes looked up with byte permutes
// (AVX-512 VBMI); only to be called where the CPU has it.  x86-64 only: it
// needs all 32 vector registers.
void blowfish_ecb_encrypt_vbmi(const BlowfishContext *ctx, uint8_t *data, size_t blocks);
void blowfish_ecb_decrypt_vbmi(const BlowfishContext *ctx, uint8_t *data, size_t blocks);
#else
#  define GH_BLOWFISH_HAVE_VBMI 0
#endif

// The kernels of blowfish_ecb_encrypt and blowfish_ecb_decrypt over one list
// of paths, best first (platform/kernels.h); a path's table is a
// BlowfishEcbPath.
extern Kernel gBlowfishEncryptKernel;
extern Kernel gBlowfishDecryptKernel;

inline const BlowfishEcbPath &blowfish_path_of(const KernelPath &p) {
    return *static_cast<const BlowfishEcbPath *>(p.fns);
}

#endif
