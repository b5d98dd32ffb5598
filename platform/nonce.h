/* What makes every NTLMv2 response fresh: 8 bytes from the operating
 * system's random generator for the client challenge, and the current time
 * as a FILETIME (UTC, 100 ns units since 1601-01-01).
 *
 * Linux: getrandom() and the real-time clock.  Windows: RtlGenRandom
 * (advapi32's SystemFunction036, present since Windows XP) and
 * GetSystemTimeAsFileTime; system DLLs only. */
#ifndef GH_NONCE_H
#define GH_NONCE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Fills the client challenge and the time; 0 when the random generator
 * fails (the caller gives up then: a guessable challenge would let a
 * response be replayed). */
int gh_fresh_nonce(uint8_t clientChallenge[8], uint64_t *fileTime);

/* FOR IN-PROCESS TESTS ONLY: while a source is set, gh_fresh_nonce asks it
 * instead of the system, so that a whole NTLMresponse call gives a known
 * answer (or sees the generator fail).  Null restores the system.  The
 * shipped libraries never export it. */
typedef int (*GhNonceSource)(uint8_t clientChallenge[8], uint64_t *fileTime);
void gh_set_nonce_source_for_tests(GhNonceSource source);

#ifdef __cplusplus
}
#endif

#endif
