// CRC-16 in the two variants the library offers.  Pure functions over bytes.
#ifndef GH_CRC16_H
#define GH_CRC16_H

#include <stddef.h>
#include <stdint.h>

// CRC-16/XMODEM with the given initial value: polynomial 0x1021, most
// significant bit first, no reflection, no final XOR.  With initial value 0
// the check value (of the ASCII digits 123456789) is 0x31C3.
uint16_t crc16_xmodem(const uint8_t *data, size_t n, uint16_t initial);

// CRC-16/X-25 (also CRC-16/IBM-SDLC): polynomial 0x1021 reflected (0x8408),
// initial value 0xFFFF, final XOR 0xFFFF.  Check value 0x906E.
uint16_t crc16_x25(const uint8_t *data, size_t n);

#endif
