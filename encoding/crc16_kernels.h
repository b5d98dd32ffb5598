// The CRC-16 kernels behind crc16_xmodem and crc16_x25, for the tests and the
// benchmarks.
//
// A kernel continues a CRC register over n more bytes: crc16_msb_* kernels
// the register of the MSB-first (XMODEM) form, crc16_lsb_* kernels that of
// the reflected form.  Neither applies a final XOR.
#ifndef GH_CRC16_KERNELS_H
#define GH_CRC16_KERNELS_H

#include <stddef.h>
#include <stdint.h>

#include "platform/kernels.h"

typedef uint16_t (*Crc16Kernel)(uint16_t crc, const uint8_t *data, size_t n);

struct Crc16Variant {
    const char *name;
    Crc16Kernel msb;  // XMODEM register
    Crc16Kernel lsb;  // X-25 register
};

// One byte at a time through a 256-entry table: the reference.
uint16_t crc16_msb_bytewise(uint16_t crc, const uint8_t *data, size_t n);
uint16_t crc16_lsb_bytewise(uint16_t crc, const uint8_t *data, size_t n);

// Sixteen bytes a step through sixteen tables (portable).
uint16_t crc16_msb_slice16(uint16_t crc, const uint8_t *data, size_t n);
uint16_t crc16_lsb_slice16(uint16_t crc, const uint8_t *data, size_t n);

#if defined(__x86_64__) || defined(__i386__)
#  define GH_CRC16_HAVE_CLMUL 1
#  define GH_CRC16_HAVE_VPCLMUL 1
// Carry-less multiplication folding on 128-bit registers (PCLMULQDQ,
// SSSE3); only to be called when the CPU has both.
uint16_t crc16_msb_clmul(uint16_t crc, const uint8_t *data, size_t n);
uint16_t crc16_lsb_clmul(uint16_t crc, const uint8_t *data, size_t n);
// The same on 512-bit registers (VPCLMULQDQ, AVX-512 F/BW); only to be
// called when the CPU has them.
uint16_t crc16_msb_vpclmul(uint16_t crc, const uint8_t *data, size_t n);
uint16_t crc16_lsb_vpclmul(uint16_t crc, const uint8_t *data, size_t n);
#else
#  define GH_CRC16_HAVE_CLMUL 0
#  define GH_CRC16_HAVE_VPCLMUL 0
#endif
#if defined(__aarch64__)
#  define GH_CRC16_HAVE_PMULL 1
// The same folding with PMULL (64-bit ARM); only to be called where the
// CPU has it.
uint16_t crc16_msb_pmull(uint16_t crc, const uint8_t *data, size_t n);
uint16_t crc16_lsb_pmull(uint16_t crc, const uint8_t *data, size_t n);
#else
#  define GH_CRC16_HAVE_PMULL 0
#endif

// The kernels of crc16_xmodem (XMODEM) and crc16_x25, over one
// list of variants, best first (platform/kernels.h); a path's table is a
// Crc16Variant.  The two forms are chosen apart: their kernels differ in
// cost (the ARM kernel mirrors every byte's bits for X-25), which could
// change their ranking.
extern Kernel gCrc16XmodemKernel;
extern Kernel gCrc16X25Kernel;

inline const Crc16Variant &crc16_variant_of(const KernelPath &p) { return *static_cast<const Crc16Variant *>(p.fns); }

// The kernels crc16_xmodem and crc16_x25 use.
inline Crc16Kernel crc16_chosen_msb() { return static_cast<const Crc16Variant *>(gh_kernel_fns(&gCrc16XmodemKernel))->msb; }
inline Crc16Kernel crc16_chosen_lsb() { return static_cast<const Crc16Variant *>(gh_kernel_fns(&gCrc16X25Kernel))->lsb; }

#endif
