// The two-way token search on any token and text, against a direct search:
// the first occurrence from several start positions, and the count of
// leftmost non-overlapping occurrences.  Heap buffers of exactly the token's
// and the text's length.  Every input runs on each path of the scans in
// turn (scan_force_path).
//
// Input: a byte for the token's length (1 to 64) and the width (bit 7:
// 32-bit characters), a byte for the alphabet (0: the bytes as they are;
// otherwise each byte modulo 2 + that byte % 4, so that tokens repeat
// themselves and nearly match), the token, then the text.  In 32-bit text
// a character is a byte's value, or its high bits set (0xFFFFFF00 + value)
// when it is odd, so characters compare as unsigned 32-bit codes.
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "tests/support/text_reference.h"
#include "text/scan_kernels.h"
#include "text/token_search.h"

namespace {

template <class C>
C characterOf(uint8_t b, uint8_t alphabet) {
    uint32_t c = alphabet ? 'a' + b % (2 + alphabet % 4) : b;
    if (sizeof(C) == 4 && (b & 1)) c |= 0xFFFFFF00u;
    return static_cast<C>(c);
}

template <class C>
void check(ghfuzz::FuzzInput &in, size_t m, uint8_t alphabet) {
    textref::Text<C> token, s;
    for (size_t i = 0; i < m && !in.empty(); ++i) token.push_back(characterOf<C>(in.byte(), alphabet));
    if (token.empty()) return;
    while (!in.empty()) s.push_back(characterOf<C>(in.byte(), alphabet));
    std::unique_ptr<C[]> t(new C[token.size()]);
    std::unique_ptr<C[]> text(new C[s.size() ? s.size() : 1]);
    std::memcpy(t.get(), token.data(), token.size() * sizeof(C));
    if (!s.empty()) std::memcpy(text.get(), s.data(), s.size() * sizeof(C));

    TokenSearch<C> search = token_search_prepare(t.get(), token.size());
    size_t expectedFrom = s.size();  // the first occurrence at or after `from`, found going backwards
    for (size_t from = s.size() + 1; from-- > 0;) {
        if (textref::matchesAt(s, from, token)) expectedFrom = from;
        if (from % 7 == 0 || from + 8 > s.size()) {
            GH_FUZZ_CHECK(token_find(search, text.get(), s.size(), from) == expectedFrom);
        }
    }
    GH_FUZZ_CHECK(token_count(search, text.get(), s.size()) == textref::howMany(token, s));
}

}  // namespace

// Each input runs on every path of the scans this processor has.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    for (int tier = TEXT_SCAN_TIERS - 1; tier >= 0; --tier) {
        if (!scan_tier_runs(tier)) continue;
        scan_force_path(tier);
        ghfuzz::FuzzInput in(data, size);
        uint8_t shape = in.byte();
        uint8_t alphabet = in.byte();
        size_t m = 1 + (shape & 0x3F);
        if (shape & 0x80) {
            check<uint32_t>(in, m, alphabet);
        } else {
            check<uint8_t>(in, m, alphabet);
        }
    }
    scan_force_path(-1);
    return 0;
}
