// CRC-16: check values, Python's binascii.crc_hqx as an independent
// XMODEM reference, a bit-at-a-time X-25 reference, and every kernel this CPU
// runs against the one-byte-at-a-time table kernel.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <random>
#include <string>
#include <vector>

#include "encoding/crc16.h"
#include "encoding/crc16_kernels.h"
#include "tests/support/guarded.h"
#include "tests/unit/kernel_check.h"

namespace {

using Bytes = std::vector<uint8_t>;

const uint8_t kCheck[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};

// X-25 one bit at a time, straight from its definition.
uint16_t X25Bitwise(const uint8_t *data, size_t n) {
    uint16_t crc = 0xFFFF;
    for (size_t i = 0; i < n; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0x8408 : crc >> 1;
    }
    return crc ^ 0xFFFF;
}

// Both forms choose from the same list.
std::vector<Crc16Variant> AllVariants() {
    std::vector<Crc16Variant> all;
    for (const Crc16Variant *v : runnableTables<Crc16Variant>(gCrc16XmodemKernel)) all.push_back(*v);
    return all;
}

TEST(Crc16, CheckValues) {
    EXPECT_EQ(crc16_xmodem(kCheck, 9, 0), 0x31C3);
    EXPECT_EQ(crc16_x25(kCheck, 9), 0x906E);
    for (const Crc16Variant &v : AllVariants()) {
        SCOPED_TRACE(v.name);
        EXPECT_EQ(v.msb(0, kCheck, 9), 0x31C3);
        EXPECT_EQ(v.lsb(0xFFFF, kCheck, 9) ^ 0xFFFF, 0x906E);
    }
    EXPECT_EQ(crc16_xmodem(nullptr, 0, 0x1234), 0x1234);  // nothing to add
    EXPECT_EQ(crc16_x25(nullptr, 0), 0x0000);
}

struct XmodemVector {
    uint16_t initial, crc;
    const char *hex;
};

const XmodemVector kXmodemVectors[] = {
#include "tests/unit/crc16_xmodem_vectors.inc"
};

TEST(Crc16, XmodemMatchesBinasciiCrcHqx) {
    for (const XmodemVector &v : kXmodemVectors) {
        std::string hex = v.hex;
        Bytes data;
        for (size_t i = 0; i + 1 < hex.size(); i += 2) {
            data.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
        }
        EXPECT_EQ(crc16_xmodem(data.data(), data.size(), v.initial), v.crc) << data.size();
        for (const Crc16Variant &k : AllVariants()) {
            EXPECT_EQ(k.msb(v.initial, data.data(), data.size()), v.crc) << k.name << " " << data.size();
        }
    }
    EXPECT_GT(sizeof kXmodemVectors / sizeof kXmodemVectors[0], 40u);  // the file was read whole
}

// Every kernel against the byte-at-a-time one, both forms, random start
// registers: every length up to 4 KiB twice, once ending at the end of the
// sample (so that ASan sees a read past it) and once from an offset that
// runs through 0..63 as the length grows; and every alignment 0..63 at the
// lengths where the kernels change step (one round of 8 or 16 lanes, one
// more block, one more lane, a ragged tail).  The sample ends where readable
// memory ends, so a read past it faults.  X-25 also against the bitwise
// definition.
const size_t kMaxLength = 4096, kSampleLength = kMaxLength + 64;
const uint8_t *gSample;

void ExpectEveryKernelAgrees(const std::vector<Crc16Variant> &variants, const uint8_t *p, size_t n, uint16_t start) {
    uint16_t msb = crc16_msb_bytewise(start, p, n);
    uint16_t lsb = crc16_lsb_bytewise(start, p, n);
    for (const Crc16Variant &v : variants) {
        ASSERT_EQ(v.msb(start, p, n), msb) << v.name << " length " << n << " at " << (p - gSample);
        ASSERT_EQ(v.lsb(start, p, n), lsb) << v.name << " length " << n << " at " << (p - gSample);
    }
}

TEST(Crc16, EveryKernelMatchesTheBytewiseOne) {
    std::mt19937 rng(16);
    Bytes bytes(kSampleLength);
    for (auto &b : bytes) b = static_cast<uint8_t>(rng());
    Guarded<uint8_t> sample(bytes);
    gSample = sample.p;
    const std::vector<Crc16Variant> variants = AllVariants();
    for (size_t n = 0; n <= kMaxLength; ++n) {
        ASSERT_NO_FATAL_FAILURE(ExpectEveryKernelAgrees(variants, gSample + kSampleLength - n, n, static_cast<uint16_t>(rng())));
        ASSERT_NO_FATAL_FAILURE(ExpectEveryKernelAgrees(variants, gSample + n / 64 % 64, n, static_cast<uint16_t>(rng())));
    }
    for (size_t n : {15, 16, 127, 128, 129, 255, 256, 257, 319, 320, 383, 511, 512, 527, 575, 1023, 1024, 4096}) {
        for (size_t at = 0; at < 64; ++at) {
            ASSERT_NO_FATAL_FAILURE(ExpectEveryKernelAgrees(variants, gSample + at, n, static_cast<uint16_t>(rng())));
        }
    }
    for (size_t n : {0, 1, 2, 63, 64, 65, 200, 600, 4096}) {
        EXPECT_EQ(crc16_x25(gSample, n), X25Bitwise(gSample, n)) << n;
    }
}

// Long inputs of extreme content, where folding constants would show.
TEST(Crc16, LongRunsOfZerosAndOnes) {
    for (uint8_t fill : {0x00, 0xFF, 0x80, 0x01}) {
        Bytes data(1 << 16, fill);
        for (const Crc16Variant &v : AllVariants()) {
            EXPECT_EQ(v.msb(0, data.data(), data.size()), crc16_msb_bytewise(0, data.data(), data.size()))
                << v.name;
            EXPECT_EQ(v.lsb(0xFFFF, data.data(), data.size()),
                      crc16_lsb_bytewise(0xFFFF, data.data(), data.size()))
                << v.name;
        }
    }
}

}  // namespace
