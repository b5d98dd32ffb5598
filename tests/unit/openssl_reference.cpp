// OpenSSL as a reference (see openssl_reference.h).
#define OPENSSL_SUPPRESS_DEPRECATED 1
#include "openssl_reference.h"

#include <openssl/md4.h>
#include <openssl/md5.h>
#include <openssl/sha.h>

void ref_digest(RefDigest which, const uint8_t *data, size_t len, uint8_t *out) {
    switch (which) {
    case REF_MD4:
        MD4(data, len, out);
        break;
    case REF_MD5:
        MD5(data, len, out);
        break;
    case REF_SHA1:
        SHA1(data, len, out);
        break;
    case REF_SHA256:
        SHA256(data, len, out);
        break;
    case REF_SHA512:
        SHA512(data, len, out);
        break;
    }
}

void ref_digest_after_counter(RefDigest which, uint64_t bitsHigh, uint64_t bitsLow,
                              const uint8_t *tail, size_t len, uint8_t *out) {
    switch (which) {
    case REF_MD4: {
        MD4_CTX c;
        MD4_Init(&c);
        c.Nl = static_cast<MD4_LONG>(bitsLow);
        c.Nh = static_cast<MD4_LONG>(bitsLow >> 32);
        MD4_Update(&c, tail, len);
        MD4_Final(out, &c);
        break;
    }
    case REF_MD5: {
        MD5_CTX c;
        MD5_Init(&c);
        c.Nl = static_cast<MD5_LONG>(bitsLow);
        c.Nh = static_cast<MD5_LONG>(bitsLow >> 32);
        MD5_Update(&c, tail, len);
        MD5_Final(out, &c);
        break;
    }
    case REF_SHA1: {
        SHA_CTX c;
        SHA1_Init(&c);
        c.Nl = static_cast<SHA_LONG>(bitsLow);
        c.Nh = static_cast<SHA_LONG>(bitsLow >> 32);
        SHA1_Update(&c, tail, len);
        SHA1_Final(out, &c);
        break;
    }
    case REF_SHA256: {
        SHA256_CTX c;
        SHA256_Init(&c);
        c.Nl = static_cast<SHA_LONG>(bitsLow);
        c.Nh = static_cast<SHA_LONG>(bitsLow >> 32);
        SHA256_Update(&c, tail, len);
        SHA256_Final(out, &c);
        break;
    }
    case REF_SHA512: {
        SHA512_CTX c;
        SHA512_Init(&c);
        c.Nl = bitsLow;
        c.Nh = bitsHigh;
        SHA512_Update(&c, tail, len);
        SHA512_Final(out, &c);
        break;
    }
    }
}
