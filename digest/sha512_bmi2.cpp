// SHA-512 block step compiled for BMI2: the same rounds as the portable
// step, but the compiler may use rorx, which rotates into a new register
// without touching the flags, so the three rotations of each sigma issue in
// parallel.  Chosen only on CPUs that report BMI2 (digest_paths.cpp).
#include "digest/sha512.h"
#include "digest/sha512_rounds.h"

using namespace digest_detail;

#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("bmi2"))) void sha512_blocks_bmi2(uint64_t hash[8], const uint8_t *data,
                                                         size_t blocks) {
    sha512_blocks_body(hash, data, blocks);
}
#else
void sha512_blocks_bmi2(uint64_t hash[8], const uint8_t *data, size_t blocks) {
    sha512_blocks_body(hash, data, blocks);
}
#endif
