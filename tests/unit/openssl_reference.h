// OpenSSL as an independent reference for the digest tests and benchmarks.
// Kept in its own translation unit: OpenSSL's context names (MD5_CTX ...)
// are the same published names as ours.
#ifndef GH_TEST_OPENSSL_REFERENCE_H
#define GH_TEST_OPENSSL_REFERENCE_H

#include <stddef.h>
#include <stdint.h>

enum RefDigest { REF_MD4, REF_MD5, REF_SHA1, REF_SHA256, REF_SHA512 };

// One call over len bytes; out has room for the digest.
void ref_digest(RefDigest which, const uint8_t *data, size_t len, uint8_t *out);

// The digest of `tail` hashed after a run whose length counter, in bits, is
// (high, low) (the run itself contributes nothing: the state is the initial
// one; the counter must be a whole number of blocks).
void ref_digest_after_counter(RefDigest which, uint64_t bitsHigh, uint64_t bitsLow,
                              const uint8_t *tail, size_t len, uint8_t *out);

#endif
