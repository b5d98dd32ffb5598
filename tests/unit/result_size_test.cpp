// The sizes results are made in, at the limits of a 32-bit count and of a
// 32-bit address space: the last value that still fits and the first that
// does not, for each function that computes one.  (These tests also run in
// the 32-bit Windows build, where MemBlockSize meets a 32-bit size_t.)
#include <gtest/gtest.h>

#include <stdint.h>

#include <vector>

#include "auth/ntlm.h"
#include "cipher/blowfish_ecb.h"
#include "cipher/blowfish_text.h"
#include "encoding/base64.h"
#include "encoding/hex.h"
#include "encoding/percent.h"
#include "host/block_size.h"

namespace {

constexpr uint64_t k2p31 = uint64_t{1} << 31;
constexpr uint64_t k2p32 = uint64_t{1} << 32;
constexpr uint64_t kAny = UINT64_MAX;         // a 64-bit address space
constexpr uint64_t kSize32 = UINT32_MAX;      // a 32-bit one

TEST(MemBlockSize, TheCountIsThirtyTwoBitsWhateverThePlatform) {
    EXPECT_EQ(MemBlockSizeWithin(UINT32_MAX, 1, 0, kAny), k2p32 + 3);
    EXPECT_EQ(MemBlockSizeWithin(k2p32, 1, 0, kAny), 0u);
    EXPECT_EQ(MemBlockSizeWithin(UINT32_MAX, 4, 1, kAny), 4 + 4 * k2p32);
    EXPECT_EQ(MemBlockSizeWithin(k2p31, 4, 0, kAny), 4 + 4 * k2p31);  // past 2^31 - 1: fine
    EXPECT_EQ(MemBlockSizeWithin(0, 4, 0, kAny), 4u);
}

TEST(MemBlockSize, ABlockMustFitTheAddressSpace) {
    // Bytes: 4 + n up to 2^32 - 1.
    EXPECT_EQ(MemBlockSizeWithin(UINT32_MAX - 4, 1, 0, kSize32), uint64_t{UINT32_MAX});
    EXPECT_EQ(MemBlockSizeWithin(UINT32_MAX - 3, 1, 0, kSize32), 0u);
    // Four bytes a character: a count far below 2^32 already does not fit.
    EXPECT_EQ(MemBlockSizeWithin((k2p32 - 8) / 4, 4, 0, kSize32), k2p32 - 4);
    EXPECT_EQ(MemBlockSizeWithin((k2p32 - 8) / 4 + 1, 4, 0, kSize32), 0u);
    // A terminator counts.
    EXPECT_EQ(MemBlockSizeWithin((k2p32 - 8) / 4, 4, 1, kSize32), 0u);
    EXPECT_EQ(MemBlockSize(UINT32_MAX, 4), sizeof(size_t) == 8 ? 4 + 4 * uint64_t{UINT32_MAX} : 0u);
    EXPECT_EQ(MemBlockSize(k2p32, 1), 0u);
}

// The most a block can hold: exactly the last count MemBlockSizeWithin
// accepts, whichever limit comes first.
TEST(MemBlockSize, TheMostABlockCanHold) {
    EXPECT_EQ(MemBlockMaxCountWithin(1, kAny), uint64_t{UINT32_MAX});
    EXPECT_EQ(MemBlockMaxCountWithin(4, kAny), uint64_t{UINT32_MAX});
    for (uint64_t element : {1, 2, 4, 8}) {
        uint64_t most = MemBlockMaxCountWithin(element, kSize32);
        EXPECT_NE(MemBlockSizeWithin(most, element, 0, kSize32), 0u) << element;
        EXPECT_EQ(MemBlockSizeWithin(most + 1, element, 0, kSize32), 0u) << element;
    }
    EXPECT_EQ(MemBlockMaxCountWithin(4, kSize32), (k2p32 - 5) / 4);
    EXPECT_EQ(MemBlockMaxCountWithin(4, 3), 0u);
    EXPECT_EQ(MemBlockMaxCount(4), sizeof(size_t) == 8 ? uint64_t{UINT32_MAX} : (k2p32 - 5) / 4);
}

// wrapLinesWith's output block doubles up to the most a block holds, and
// takes just what is needed when doubling is not enough; past the most,
// nothing.
TEST(MemBlockSize, AGrowingBlock) {
    const uint64_t most = UINT32_MAX;
    EXPECT_EQ(GrownBlockCount(100, 101, most), 200u);
    EXPECT_EQ(GrownBlockCount(100, 250, most), 250u);
    EXPECT_EQ(GrownBlockCount(most / 2, most / 2 + 1, most), most - 1);
    EXPECT_EQ(GrownBlockCount(most / 2 + 1, most / 2 + 2, most), most);  // twice would pass 2^32 - 1
    EXPECT_EQ(GrownBlockCount(most - 1, most, most), most);
    EXPECT_EQ(GrownBlockCount(most, most + 1, most), 0u);
    const uint64_t wide32 = MemBlockMaxCountWithin(4, kSize32);
    EXPECT_EQ(GrownBlockCount(wide32 - 10, wide32 - 5, wide32), wide32);
    EXPECT_EQ(GrownBlockCount(wide32 - 10, wide32 + 1, wide32), 0u);
}

// binaryToHex: two characters a byte.
TEST(ResultSizes, HexTextOfABinaryValue) {
    EXPECT_EQ(MemBlockSizeWithin(hex_text_length(k2p31 - 1), 1, 0, kAny), 4 + k2p32 - 2);
    EXPECT_EQ(MemBlockSizeWithin(hex_text_length(k2p31), 1, 0, kAny), 0u);
    EXPECT_EQ(hex_text_length(UINT32_MAX), 2 * uint64_t{UINT32_MAX});  // no wrap
    // Wide characters in a 32-bit address space: 2^29 - 1 bytes at most.
    EXPECT_NE(MemBlockSizeWithin(hex_text_length((1u << 29) - 1), 4, 0, kSize32), 0u);
    EXPECT_EQ(MemBlockSizeWithin(hex_text_length(1u << 29), 4, 0, kSize32), 0u);
}

// hexEncode: room for three characters each.
TEST(ResultSizes, RoomForPercentEscapes) {
    EXPECT_EQ(percent_encoded_room(1431655765u), uint64_t{UINT32_MAX});
    EXPECT_NE(MemBlockSizeWithin(percent_encoded_room(1431655765u), 1, 0, kAny), 0u);
    EXPECT_EQ(MemBlockSizeWithin(percent_encoded_room(1431655766u), 1, 0, kAny), 0u);
    EXPECT_EQ(percent_encoded_room(UINT32_MAX), 3 * uint64_t{UINT32_MAX});
}

// base64Encode: 4 characters for each 3 bytes begun; base64Decode: room for
// what the whole text could give, and the NUL after it.
TEST(ResultSizes, Base64) {
    EXPECT_EQ(base64_encoded_length(3221225469u), k2p32 - 4);
    EXPECT_NE(MemBlockSizeWithin(base64_encoded_length(3221225469u), 1, 0, kAny), 0u);
    EXPECT_EQ(base64_encoded_length(3221225470u), k2p32);
    EXPECT_EQ(MemBlockSizeWithin(base64_encoded_length(3221225470u), 1, 0, kAny), 0u);
    EXPECT_EQ(base64_encoded_length(1610612736u), k2p31);  // past 2^31 - 1, and fits
    EXPECT_EQ(base64_encoded_length(UINT32_MAX), 5726623060u);
    // The largest text a block can hold decodes into a block that fits even a
    // 32-bit address space.
    EXPECT_EQ(base64_decoded_max(UINT32_MAX), 3221225472u);
    EXPECT_EQ(MemBlockSizeWithin(base64_decoded_max(UINT32_MAX), 1, 1, kSize32), 3221225477u);
}

// Blowfish: the padding can push a count past 2^32 - 1, and the text form,
// three characters a byte, passes it long before.
TEST(ResultSizes, BlowfishPaddingAndTextForm) {
    EXPECT_EQ(blowfish_padded_length(0), 8u);
    EXPECT_EQ(blowfish_padded_length(8), 16u);
    EXPECT_EQ(blowfish_padded_length(UINT32_MAX - 8), k2p32 - 8);
    EXPECT_EQ(blowfish_padded_length(UINT32_MAX - 7), k2p32);  // a multiple of 8: a whole block more
    EXPECT_EQ(blowfish_padded_length(UINT32_MAX), k2p32);
    EXPECT_FALSE(FitsHostCount(blowfish_padded_length(UINT32_MAX - 7)));

    EXPECT_TRUE(FitsHostCount(blowfish_text_length(blowfish_padded_length(1431655759u))));
    EXPECT_FALSE(FitsHostCount(blowfish_text_length(blowfish_padded_length(1431655760u))));
    EXPECT_NE(blowfish_text_size((SIZE_MAX - 1) / 3), 0u);
    EXPECT_EQ(blowfish_text_size((SIZE_MAX - 1) / 3 + 1), 0u);
}

// NTLMresponse: every field of its answer has a 16-bit length, so the
// largest answer, as Base64 text of 4-byte characters, fits a block even in
// a 32-bit address space.
TEST(ResultSizes, TheLargestNtlmAnswer) {
    std::vector<uint8_t> name(65535, 'n'), info(65535 - 48, 0);
    std::vector<uint32_t> astral(NTLM_MAX_NAME_CHARS, 0x1F600);
    NtlmChallenge challenge = {};
    challenge.targetName = name.data();
    challenge.targetNameLength = name.size();
    challenge.serverChallenge = name.data();
    challenge.targetInfo = info.data();
    challenge.targetInfoLength = info.size();
    NtlmCredentials credentials = {astral.data(), astral.size(), astral.data(),
                                   astral.size(), astral.data(), astral.size()};
    uint64_t length = ntlm_authenticate_length(&challenge, &credentials);
    EXPECT_EQ(length, 64u + 65535 + 4 * NTLM_MAX_NAME_CHARS + 4 * NTLM_MAX_NAME_CHARS + 24 + 65535);
    EXPECT_NE(MemBlockSizeWithin(base64_encoded_length(length), 4, 0, kSize32), 0u);
}

}  // namespace
