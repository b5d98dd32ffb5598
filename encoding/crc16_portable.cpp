// The portable CRC-16 kernels: one byte at a time, and slicing by 16.
//
// Table k holds, for each byte value, the register that byte leaves when it
// is followed by k zero bytes (starting from a zero register).  CRCs are
// linear, so 16 bytes whose first two have the register folded into them
// give the new register as the XOR of 16 lookups, none waiting on another.
#include "encoding/crc16_kernels.h"

namespace {

enum { SLICES = 16 };

struct Crc16Tables {
    uint16_t t[SLICES][256];
};

constexpr uint16_t kPolyMsb = 0x1021;  // x^16 + x^12 + x^5 + 1
constexpr uint16_t kPolyLsb = 0x8408;  // the same, bits reversed

constexpr Crc16Tables makeMsbTables() {
    Crc16Tables tables{};
    for (unsigned b = 0; b < 256; ++b) {
        unsigned c = b << 8;
        for (int bit = 0; bit < 8; ++bit) c = (c & 0x8000) ? (c << 1) ^ kPolyMsb : c << 1;
        tables.t[0][b] = static_cast<uint16_t>(c);
    }
    for (int k = 1; k < SLICES; ++k) {
        for (unsigned b = 0; b < 256; ++b) {
            unsigned prev = tables.t[k - 1][b];
            tables.t[k][b] = static_cast<uint16_t>((prev << 8) ^ tables.t[0][prev >> 8]);
        }
    }
    return tables;
}

constexpr Crc16Tables makeLsbTables() {
    Crc16Tables tables{};
    for (unsigned b = 0; b < 256; ++b) {
        unsigned c = b;
        for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? (c >> 1) ^ kPolyLsb : c >> 1;
        tables.t[0][b] = static_cast<uint16_t>(c);
    }
    for (int k = 1; k < SLICES; ++k) {
        for (unsigned b = 0; b < 256; ++b) {
            unsigned prev = tables.t[k - 1][b];
            tables.t[k][b] = static_cast<uint16_t>((prev >> 8) ^ tables.t[0][prev & 0xFF]);
        }
    }
    return tables;
}

constexpr Crc16Tables kMsb = makeMsbTables();
constexpr Crc16Tables kLsb = makeLsbTables();

static_assert(kMsb.t[0][1] == kPolyMsb && kLsb.t[0][0x80] == kPolyLsb,
              "the single-bit entries are the polynomial");

}  // namespace

uint16_t crc16_msb_bytewise(uint16_t crc, const uint8_t *data, size_t n) {
    unsigned c = crc;
    for (size_t i = 0; i < n; ++i) c = (c << 8 & 0xFFFF) ^ kMsb.t[0][(c >> 8) ^ data[i]];
    return static_cast<uint16_t>(c);
}

uint16_t crc16_lsb_bytewise(uint16_t crc, const uint8_t *data, size_t n) {
    unsigned c = crc;
    for (size_t i = 0; i < n; ++i) c = (c >> 8) ^ kLsb.t[0][(c ^ data[i]) & 0xFF];
    return static_cast<uint16_t>(c);
}

uint16_t crc16_msb_slice16(uint16_t crc, const uint8_t *data, size_t n) {
    unsigned c = crc;
    for (; n >= SLICES; n -= SLICES, data += SLICES) {
        unsigned next = 0;
        next ^= kMsb.t[15][data[0] ^ (c >> 8)];
        next ^= kMsb.t[14][data[1] ^ (c & 0xFF)];
        for (int j = 2; j < SLICES; ++j) next ^= kMsb.t[SLICES - 1 - j][data[j]];
        c = next;
    }
    return crc16_msb_bytewise(static_cast<uint16_t>(c), data, n);
}

uint16_t crc16_lsb_slice16(uint16_t crc, const uint8_t *data, size_t n) {
    unsigned c = crc;
    for (; n >= SLICES; n -= SLICES, data += SLICES) {
        unsigned next = 0;
        next ^= kLsb.t[15][data[0] ^ (c & 0xFF)];
        next ^= kLsb.t[14][data[1] ^ (c >> 8)];
        for (int j = 2; j < SLICES; ++j) next ^= kLsb.t[SLICES - 1 - j][data[j]];
        c = next;
    }
    return crc16_lsb_bytewise(static_cast<uint16_t>(c), data, n);
}
