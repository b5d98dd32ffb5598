// Memory blocks of the library's layer over the shared memory manager.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "host/memblock.h"
#include "platform/globalmem.h"
#include "tests/support/in_process.h"

namespace {

using ghtest::HostTest;

bool allBytes(XPHandle h, size_t n, uint8_t value) {
    auto *p = static_cast<uint8_t *>(LockXPHandle(h));
    bool all = true;
    for (size_t i = 0; i < n; ++i) all = all && p[i] == value;
    UnlockXPHandle(h);
    return all;
}

using MemBlockTest = HostTest;

TEST_F(MemBlockTest, ZeroFilledUpTo8192BytesOnly) {
    XPHandle small = NewXPHandle(8192);
    XPHandle large = NewXPHandle(8193);
    ASSERT_TRUE(small && large);
    EXPECT_EQ(GetXPHandleSize(small), 8192u);
    EXPECT_TRUE(allBytes(small, 8192, 0));
    // The memory manager fills undefined memory with a pattern, so code that
    // relies on zeros above the limit shows up.
    EXPECT_FALSE(allBytes(large, 8193, 0));
    DisposeXPHandle(small);
    DisposeXPHandle(large);
    EXPECT_EQ(NewXPHandle(-1), nullptr);
}

// The benchmarks' measure of memory: blocks and heap buffers together,
// both copies counted while a resize moves a block.
TEST_F(MemBlockTest, PeakCountsBlocksAndHeapTogether) {
    glyphmem_reset_peak();
    size_t base = glyphmem_live_bytes() + glyphmem_live_heap_bytes();
    EXPECT_EQ(glyphmem_peak_bytes(), base);
    XPHandle h = NewXPHandle(10000);
    void *buffer = glyphmem_heap_alloc(3000);
    EXPECT_EQ(glyphmem_live_heap_bytes(), 3000u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(buffer) % alignof(std::max_align_t), 0u);  // as malloc's own
    glyphmem_heap_free(buffer);
    ASSERT_EQ(ResizeXPHandle(&h, 20000), 0);
    EXPECT_EQ(glyphmem_peak_bytes(), base + 30000);
    DisposeXPHandle(h);
    EXPECT_EQ(glyphmem_live_heap_bytes(), 0u);
    EXPECT_EQ(glyphmem_live_bytes(), 0u);
}

// The benchmarks' switches change costs, never what a block holds; switched
// on again, undefined memory is filled once more.
TEST_F(MemBlockTest, BenchmarkSwitchesKeepTheSemantics) {
    glyphmem_set_fill(0);
    glyphmem_set_move_on_resize(0);
    XPHandle h = NewMemBlockFromBytes("abcd", 4);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(ResizeXPHandle(&h, 100000), 0);
    EXPECT_EQ(ghtest::blockBytes(h), (std::vector<uint8_t>{'a', 'b', 'c', 'd'}));
    auto *p = static_cast<uint8_t *>(LockXPHandle(h));
    EXPECT_EQ(p[99999], 0);  // grown space is zero-filled all the same
    UnlockXPHandle(h);
    DisposeXPHandle(h);
    glyphmem_set_fill(1);
    glyphmem_set_move_on_resize(1);
    XPHandle large = NewXPHandle(8193);
    EXPECT_TRUE(allBytes(large, 8193, 0xA5));
    DisposeXPHandle(large);
}

TEST_F(MemBlockTest, FailedResizeKeepsHandleAndData) {
    XPHandle h = NewMemBlockFromBytes("abcd", 4);
    ASSERT_NE(h, nullptr);
    XPHandle before = h;
    glyphmem_fail_nth(1);
    EXPECT_EQ(ResizeXPHandle(&h, 100000), 1);
    EXPECT_EQ(h, before);
    EXPECT_EQ(ghtest::blockBytes(h), (std::vector<uint8_t>{'a', 'b', 'c', 'd'}));
    // A successful resize zero-fills what it adds.
    EXPECT_EQ(ResizeXPHandle(&h, 64), 0);
    EXPECT_TRUE([&] {
        auto *p = static_cast<uint8_t *>(LockXPHandle(h));
        bool zero = true;
        for (size_t i = 8; i < 64; ++i) zero = zero && p[i] == 0;
        UnlockXPHandle(h);
        return zero;
    }());
    DisposeXPHandle(h);
}

// Many blocks held at once each keep their own bytes.
TEST_F(MemBlockTest, ManyLiveBlocksStayApart) {
    std::vector<XPHandle> blocks;
    for (uint8_t i = 0; i < 100; ++i) blocks.push_back(NewMemBlockFromBytes(&i, 1));
    for (uint8_t i = 0; i < 100; ++i) EXPECT_EQ(ghtest::blockBytes(blocks[i]), std::vector<uint8_t>{i});
    for (XPHandle h : blocks) DisposeXPHandle(h);
    EXPECT_EQ(glyphmem_live_bytes(), 0u);
}

TEST_F(MemBlockTest, FixedBlocksAreZeroFilledAndNullIsHarmless) {
    auto *p = static_cast<uint8_t *>(NewXPPointer(300));
    ASSERT_NE(p, nullptr);
    bool zero = true;
    for (size_t i = 0; i < 300; ++i) zero = zero && p[i] == 0;
    EXPECT_TRUE(zero);
    DisposeXPPointer(p);
    DisposeXPPointer(nullptr);
    DisposeXPHandle(nullptr);
    UnlockXPHandle(nullptr);
    EXPECT_EQ(LockXPHandle(nullptr), nullptr);
}

}  // namespace
