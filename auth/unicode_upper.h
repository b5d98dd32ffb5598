// The simple uppercase mapping of Unicode (one code point to one code point;
// ß and the ligatures, which uppercase to two letters, stay as they are), as
// servers apply it to a user name before hashing it for NTLMv2.
#ifndef GH_UNICODE_UPPER_H
#define GH_UNICODE_UPPER_H

#include <stdint.h>

// The capital of c, or c itself when it has none (also for any value above
// 0x10FFFF).  Never moves a code point into or out of the basic plane.
uint32_t unicode_simple_upper(uint32_t c);

#endif
