// The simple uppercase mapping from a table of runs (generated from
// UnicodeData.txt by tools/gen_unicode_upper.py): about 1450 mappings in
// 200 runs, searched by bisection.
#include "auth/unicode_upper.h"

#include <stddef.h>

namespace {

struct UpperRun {
    uint32_t first;   // the first code point of the run
    uint16_t count;   // code points in the run
    uint16_t stride;  // 1: consecutive; 2: every second one
    int32_t delta;    // capital = code point + delta
};

constexpr UpperRun kRuns[] = {
#include "auth/unicode_upper_table.inc"
};
constexpr size_t kRunCount = sizeof kRuns / sizeof kRuns[0];

}  // namespace

uint32_t unicode_simple_upper(uint32_t c) {
    if (c < 0x61) return c;
    if (c <= 0x7A) return c - 0x20;  // most names are ASCII
    // The last run starting at or before c.
    size_t lo = 0, hi = kRunCount;
    while (hi - lo > 1) {
        size_t mid = lo + (hi - lo) / 2;
        if (kRuns[mid].first <= c) {
            lo = mid;
        } else {
            hi = mid;
        }
    }
    const UpperRun &run = kRuns[lo];
    if (c < run.first) return c;
    uint32_t offset = c - run.first;
    if (offset % run.stride != 0 || offset / run.stride >= run.count) return c;
    return static_cast<uint32_t>(static_cast<int64_t>(c) + run.delta);
}
