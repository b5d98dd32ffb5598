// The mutation tool's tests read this file: each operator has a place in
// it, and so has each trap the tool must leave alone.
#include <atomic>
#include <stdint.h>
#define LIMIT(a, b) ((a) < (b) ? (a) : (b))

namespace {

const size_t kWidth = 8;
std::atomic<int> counter{0};

template <class T>
bool below(T a, T b) {
    return a < b;
}

}  // namespace

/* a < b in a comment, and 1 + 1 */
int clamp(int x, int low, int high) {
    if (x < low) return low;
    if (x > high) return high;
    return x;
}

size_t count_spaces(const char *s, size_t n) {
    size_t total = 0;
    for (size_t i = 0; i < n; ++i) {
        if (s[i] == ' ' || s[i] == '\t') total += 1;
    }
    return total;
}

uint32_t mix(uint32_t a, uint32_t b) {
    uint32_t x = static_cast<uint32_t>(a * 3u) ^ (b >> 4);
    return x + (a & 0xFFu) - 1;
}

void reset(uint8_t *out) {
    out[0] = 0;
}

void fill(uint8_t *out, size_t n, const char *text) {
    const char *label = R"(a < b && c > d)";
    char quote = '<';
    reset(out);
    for (size_t i = 0; i + 1 < n; i++) out[i] = static_cast<uint8_t>(text[i]);
    counter.fetch_add(1);
    (void)label;
    (void)quote;
}

size_t first_byte(const char *text) {
    uint8_t copy[kWidth + 1];
    copy[0] = static_cast<uint8_t>(text[0]);
    return copy[0];
}
