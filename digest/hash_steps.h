// The class record of a hash from its typed steps: the record's void *
// forms forward to them.  Only the hashes' own .cpp files include this.
#ifndef GH_HASH_STEPS_H
#define GH_HASH_STEPS_H

#include <stddef.h>
#include <stdint.h>

#include "digest/hash_class.h"

namespace digest_detail {

template <class Context, void (*Init)(Context *), void (*Update)(Context *, const uint8_t *, size_t),
          void (*Final)(Context *, uint8_t *)>
struct HashSteps {
    static void init(void *ctx) { Init(static_cast<Context *>(ctx)); }
    static void update(void *ctx, const uint8_t *data, size_t len) {
        Update(static_cast<Context *>(ctx), data, len);
    }
    static void final(void *ctx, uint8_t *out) { Final(static_cast<Context *>(ctx), out); }
    // Constant: the record is in place before any code runs.
    static constexpr HashClass record(const char *name, size_t blockSize, size_t outputSize) {
        return {name, sizeof(Context), blockSize, outputSize, init, update, final};
    }
};

}  // namespace digest_detail

#endif
