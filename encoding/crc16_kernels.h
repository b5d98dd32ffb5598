// The CRC-16 kernels behind crc16_xmodem and crc16_x25, for the chooser, the
// tests and the benchmarks.
//
// A kernel continues a CRC register over n more bytes: crc16_msb_* kernels
// the register of the MSB-first (XMODEM) form, crc16_lsb_* kernels that of
// the reflected form.  Neither applies a final XOR.
#ifndef GH_CRC16_KERNELS_H
#define GH_CRC16_KERNELS_H

#include <stddef.h>
#include <stdint.h>

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
// Carry-less multiplication folding (PCLMULQDQ, SSE4.1); only to be called
// when the CPU has both.
uint16_t crc16_msb_clmul(uint16_t crc, const uint8_t *data, size_t n);
uint16_t crc16_lsb_clmul(uint16_t crc, const uint8_t *data, size_t n);
#endif

// The portable variant (slicing).
const Crc16Variant *crc16_portable_variant();

// The variants this CPU can run, best first; *count gets their number.  The
// portable one is always among them.
const Crc16Variant *crc16_variants(size_t *count);

// The kernels crc16_xmodem and crc16_x25 use: the fastest of the variants
// this CPU runs, each form timed and chosen once, at its first use
// (platform/path_choice.h; the portable one when the environment variable
// GH_FORCE_PORTABLE is 1), then fixed for the life of the process.
Crc16Kernel crc16_chosen_msb();
Crc16Kernel crc16_chosen_lsb();

// How each was chosen (made now if need be); its paths carry the variants'
// names.
struct PathChoice;
const PathChoice *crc16_xmodem_choice();
const PathChoice *crc16_x25_choice();

#endif
