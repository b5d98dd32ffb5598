// The system's random generator and clock, for the NTLMv2 client challenge
// and timestamp.
#include "platform/nonce.h"

#include <stddef.h>

#if defined(_WIN32)
#  include <windows.h>
#  include <ntsecapi.h>  // RtlGenRandom, which is advapi32's SystemFunction036
#else
#  include <errno.h>
#  include <sys/random.h>
#  include <time.h>
#endif

namespace {

// Written by tests only, before the calls that read it.
GhNonceSource gTestSource = nullptr;

// 1970-01-01 as a FILETIME (100 ns units since 1601-01-01).
constexpr uint64_t kUnixEpochAsFileTime = 116444736000000000ull;

bool systemRandom(uint8_t *out, size_t n) {
#if defined(_WIN32)
    return RtlGenRandom(out, static_cast<ULONG>(n)) != FALSE;
#else
    while (n) {
        ssize_t got = getrandom(out, n, 0);
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        out += got;
        n -= static_cast<size_t>(got);
    }
    return true;
#endif
}

uint64_t systemFileTime() {
#if defined(_WIN32)
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    return static_cast<uint64_t>(ft.dwHighDateTime) << 32 | ft.dwLowDateTime;
#else
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return kUnixEpochAsFileTime + static_cast<uint64_t>(ts.tv_sec) * 10000000u +
           static_cast<uint64_t>(ts.tv_nsec) / 100u;
#endif
}

}  // namespace

extern "C" {

int gh_fresh_nonce(uint8_t clientChallenge[8], uint64_t *fileTime) {
    GhNonceSource source = __atomic_load_n(&gTestSource, __ATOMIC_ACQUIRE);
    if (source) return source(clientChallenge, fileTime);
    if (!systemRandom(clientChallenge, 8)) return 0;
    *fileTime = systemFileTime();
    return 1;
}

void gh_set_nonce_source_for_tests(GhNonceSource source) {
    __atomic_store_n(&gTestSource, source, __ATOMIC_RELEASE);
}

}  // extern "C"
