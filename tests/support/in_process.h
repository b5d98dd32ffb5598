// Support for tests that link one build's host layer (ghcore_wide or
// ghcore_byte) and drive it in-process through the emulator's callback.
#ifndef GH_TESTS_IN_PROCESS_H
#define GH_TESTS_IN_PROCESS_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "emulator/library.h"
#include "emulator/memory_watch.h"
#include "host/memblock.h"
#include "resources/catalogue.h"

extern "C" const unsigned char glyphHerderQ7INF[];
extern "C" const GlyphCatalogueString glyphHerderStrings[];

namespace ghtest {

constexpr ghemu::Build kBuild = GH_WIDE ? ghemu::Build::Wide : ghemu::Build::Byte;

// The library linked into this test, driven like a loaded one.
inline ghemu::Library &inProcessLibrary() {
    static ghemu::Library library(&glyphHerder,
                                  ghemu::Catalogue::fromData(glyphHerderQ7INF, glyphHerderStrings));
    return library;
}

// A host made current for the test; at the end nothing may be left live.
class HostTest : public ::testing::Test {
protected:
    void TearDown() override {
        EXPECT_EQ(watch.problems(), std::vector<std::string>{});
        EXPECT_EQ(host.problems(), std::vector<std::string>{});
    }
    ghemu::MemoryWatch watch;
    ghemu::Host host{kBuild};
    ghemu::CurrentHost current{host};
    HostCallback cb = ghemu::Host::callback();
};

// A MemBlock's contents (it is locked and unlocked).
inline std::vector<uint8_t> blockBytes(XPHandle h) {
    void *p = LockXPHandle(h);
    uint32_t n = MemBlockCount(p);
    std::vector<uint8_t> out(MemBlockBytes(p), MemBlockBytes(p) + n);
    UnlockXPHandle(h);
    return out;
}

inline std::u32string blockChars(XPHandle h) {
    void *p = LockXPHandle(h);
    uint32_t n = MemBlockCount(p);
    std::u32string out(MemBlockChars(p), MemBlockChars(p) + n);
    UnlockXPHandle(h);
    return out;
}

// A MemBlock holding these characters (count = their number).
inline XPHandle charBlock(const std::u32string &chars) {
    std::vector<qchar> q(chars.begin(), chars.end());
    XPHandle h = NewXPHandle(static_cast<int64_t>(MEMBLOCK_HEADER + q.size() * sizeof(qchar)));
    void *p = LockXPHandle(h);
    SetMemBlockCount(p, static_cast<uint32_t>(q.size()));
    if (!q.empty()) __builtin_memcpy(MemBlockChars(p), q.data(), q.size() * sizeof(qchar));
    UnlockXPHandle(h);
    return h;
}

}  // namespace ghtest

#endif
