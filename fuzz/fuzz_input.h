// Reading a fuzz input as a stream of small decisions.  Past the end every
// read gives zeros, so any input, however short, is a complete program.
#ifndef GH_FUZZ_INPUT_H
#define GH_FUZZ_INPUT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace ghfuzz {

class FuzzInput {
public:
    FuzzInput(const uint8_t *data, size_t size) : data_(data), size_(size) {}

    bool empty() const { return at_ >= size_; }
    size_t left() const { return size_ - at_; }

    uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    // Little-endian, the low part read first (the two reads of one
    // expression would be unsequenced).
    uint16_t u16() {
        uint16_t low = byte();
        return static_cast<uint16_t>(low | byte() << 8);
    }
    uint32_t u32() {
        uint32_t low = u16();
        return low | static_cast<uint32_t>(u16()) << 16;
    }
    uint64_t u64() {
        uint64_t low = u32();
        return low | static_cast<uint64_t>(u32()) << 32;
    }
    double real() {
        uint64_t bits = u64();
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return d;
    }

    // Up to n of the next bytes (fewer when the input ends); *got says how
    // many.  The pointer stays valid for the whole input.
    const uint8_t *bytes(size_t n, size_t *got) {
        if (n > left()) n = left();
        const uint8_t *p = data_ + at_;
        at_ += n;
        *got = n;
        return p;
    }
    const uint8_t *rest(size_t *got) { return bytes(left(), got); }

private:
    const uint8_t *data_;
    size_t size_;
    size_t at_ = 0;
};

// A broken expectation: report and stop the process, so that libFuzzer keeps
// the input (and the replay program fails).
[[noreturn]] inline void fail(const char *what, const char *detail = "") {
    std::fprintf(stderr, "fuzz check failed: %s %s\n", what, detail);
    std::abort();
}

#define GH_FUZZ_CHECK(condition) \
    do { if (!(condition)) ::ghfuzz::fail(#condition, __FILE__); } while (0)

}  // namespace ghfuzz

#endif
