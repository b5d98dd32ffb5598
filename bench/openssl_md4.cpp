// OpenSSL's one-call MD4, in a file of its own: its MD4_CTX has the same
// published name as ours.  (MD4 is not in OpenSSL 3's default EVP provider.)
#define OPENSSL_SUPPRESS_DEPRECATED 1
#include <openssl/md4.h>

#include <stddef.h>
#include <stdint.h>

void openssl_md4(const uint8_t *data, size_t len, uint8_t *out) { MD4(data, len, out); }
