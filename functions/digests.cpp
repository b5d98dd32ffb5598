// The catalogue functions MD5Digest (9), MD4Digest (33), SHA1Digest (36),
// SHA256Digest (37) and SHA512Digest (38): fetch the data (or, for the two
// SHA-2 functions, a file's contents), digest, set lowercase hexadecimal
// text.  Every failure gives the empty text.
//
// The data parameter is binary when its field number is negative or its
// kind is 15, 14 or 16 AND its length is above 0 (so an empty binary value
// takes the text path: the digest of zero bytes either way).  Binary data
// are digested whole, zero bytes included.  Text ends at its first zero
// character; in the wide build each character contributes only its LOW 8
// BITS (U+20AC gives the byte AC, and U+0100 ends the data).  That is not
// the byte form other functions use, but stored digests depend on it.
//
// Nothing is kept between calls: the file reader gets what it needs as
// arguments, so calls on different instances may overlap.
#include <string.h>

#include "digest/digest_any.h"
#include "encoding/hex.h"
#include "functions/params.h"
#include "host/call.h"
#include "host/chars.h"
#include "host/wrappers.h"
#include "platform/file_stream.h"

using namespace params;

namespace {

void setDigestResult(DigestContext *ctx, HostCallback cb) {
    uint8_t digest[HASH_MAX_OUTPUT_SIZE];
    size_t n = ctx->hash->outputSize;
    digest_final(ctx, digest);
    qchar text[2 * HASH_MAX_OUTPUT_SIZE + 1];
    for (size_t i = 0; i < n; ++i) {
        text[2 * i] = digest[i];
        byte_to_hex_in_place(&text[2 * i]);
    }
    text[2 * n] = 0;
    SetFldVal(HOST_RESULT, HOST_TYPE_TEXT, text, cb);
}

void feedDigest(void *user, const uint8_t *data, size_t n) {
    digest_update(static_cast<DigestContext *>(user), data, n);
}

// A new block of `size` bytes kept in a working slot, locked; null when it
// cannot be had.
void *newWorkingBuffer(CallFrame *frame, uint64_t size) {
    XPHandle *slot = KeepBlock(frame, NewXPHandle(static_cast<int64_t>(size)));
    return slot ? LockXPHandle(*slot) : nullptr;
}

// File mode: parameter 1 names a file whose contents are digested.  The
// whole path counts, however long (it is fetched as a block); it ends at its
// first zero character.  A path the system refuses gives the empty text.
CaseExit digestFile(CallFrame *frame, const HashClass *hash) {
    XPHandle *pathSlot = fetch_text_block(frame, 1);
    LockedText text;
    if (!pathSlot || !lock_text(pathSlot, &text)) return EXIT_EMPTY_TEXT;
    size_t n = 0;
    while (n < text.count && text.chars[n]) ++n;
    // Only an empty path is refused: in the wide build one that starts with a
    // character whose low 8 bits are zero (U+0100, U+4E00, ...) names a file
    // like any other.
    if (n == 0) return EXIT_EMPTY_TEXT;
    DigestContext ctx;
    digest_init(&ctx, hash);
    int status;
#if GH_WIDE && defined(_WIN32)
    // Every character as UTF-16, surrogate pairs included.
    auto *chars = static_cast<qchar *>(newWorkingBuffer(frame, (n + 1) * sizeof(qchar)));
    auto *units = static_cast<uint16_t *>(newWorkingBuffer(frame, (2 * n + 1) * sizeof(uint16_t)));
    if (!chars || !units) return EXIT_EMPTY_TEXT;
    memcpy(chars, text.chars, n * sizeof(qchar));
    chars[n] = 0;
    CHRcharToOschar(chars, units);
    status = gh_file_stream_utf16(units, feedDigest, &ctx);
#elif GH_WIDE
    auto *utf8 = static_cast<char *>(newWorkingBuffer(frame, 4 * static_cast<uint64_t>(n) + 1));
    if (!utf8) return EXIT_EMPTY_TEXT;
    if (gh_utf8_from_code_points(text.chars, n, utf8) == static_cast<size_t>(-1))
        return EXIT_EMPTY_TEXT;  // no file can have this name
    status = gh_file_stream(utf8, feedDigest, &ctx);
#else
    auto *path = static_cast<char *>(newWorkingBuffer(frame, static_cast<uint64_t>(n) + 1));
    if (!path) return EXIT_EMPTY_TEXT;
    memcpy(path, text.chars, n);
    path[n] = 0;
    status = gh_file_stream(path, feedDigest, &ctx);
#endif
    if (status != GH_FILE_OK) return EXIT_EMPTY_TEXT;
    setDigestResult(&ctx, frame->cb);
    return EXIT_CLEANUP;
}

CaseExit digestParameter(CallFrame *frame, const HashClass *hash, bool fileModeOffered) {
    if (frame->paramCount < 1) return EXIT_EMPTY_TEXT;
    HostCallback cb = frame->cb;
    const int param = ParamNumber(1);

    if (fileModeOffered && frame->paramCount >= 2 &&
        static_cast<int16_t>(GetFuncParmInt2(ParamNumber(2), cb)) != 0)
        return digestFile(frame, hash);

    // No callback asks the length first: an empty value digests the same as
    // binary or as text.
    bool binary = IsBinaryField(GetParamFieldNumber(param, cb), cb);
    XPHandle delivered = nullptr;
    if (!GetFuncParmBlock(param, binary ? HOST_TYPE_BINARY_BLOCK : HOST_TYPE_TEXT_BLOCK, &delivered, cb))
        return EXIT_EMPTY_TEXT;
    XPHandle *block = keep_delivered(frame, delivered);
    if (!block) return EXIT_EMPTY_TEXT;
    void *locked = LockXPHandle(*block);
    if (!locked) return EXIT_EMPTY_TEXT;

    DigestContext ctx;
    digest_init(&ctx, hash);
    if (binary) {
        digest_update(&ctx, MemBlockBytes(locked), MemBlockCheckedCount(*block, locked, 1));
    } else {
        uint32_t n = MemBlockCheckedCount(*block, locked, sizeof(qchar));
#if GH_WIDE
        digest_update_low8_until_zero(&ctx, MemBlockChars(locked), n);
#else
        const uint8_t *bytes = MemBlockBytes(locked);
        const void *zero = n ? memchr(bytes, 0, n) : nullptr;
        digest_update(&ctx, bytes, zero ? static_cast<size_t>(static_cast<const uint8_t *>(zero) - bytes) : n);
#endif
    }
    UnlockXPHandle(*block);
    setDigestResult(&ctx, cb);
    return EXIT_CLEANUP;
}

}  // namespace

CaseExit case_MD5Digest(CallFrame *frame) { return digestParameter(frame, &kMd5Hash, false); }
CaseExit case_MD4Digest(CallFrame *frame) { return digestParameter(frame, &kMd4Hash, false); }
CaseExit case_SHA1Digest(CallFrame *frame) { return digestParameter(frame, &kSha1Hash, false); }
CaseExit case_SHA256Digest(CallFrame *frame) { return digestParameter(frame, &kSha256Hash, true); }
CaseExit case_SHA512Digest(CallFrame *frame) { return digestParameter(frame, &kSha512Hash, true); }
