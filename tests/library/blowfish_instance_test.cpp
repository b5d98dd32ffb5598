// The key schedule each instance keeps is wiped before the instance's memory
// goes back to the memory manager: at disconnect, and when a second connect
// replaces the context.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/globalmem.h"
#include "tests/support/loaded.h"

namespace {

class BlowfishInstance : public ghtest::EachBuild {};
GH_FOR_EACH_BUILD(BlowfishInstance);

using Bytes = std::vector<uint8_t>;

void recordFree(const void *data, size_t size, void *context) {
    const auto *p = static_cast<const uint8_t *>(data);
    static_cast<std::vector<Bytes> *>(context)->emplace_back(p, p + size);
}

// The contents of every block freed while message runs; the message must go
// without problems.
template <class Message>
std::vector<Bytes> freedDuring(Message message) {
    std::vector<Bytes> freed;
    glyphmem_watch_frees(recordFree, &freed);
    ghemu::CallOutcome out = message();
    glyphmem_watch_frees(nullptr, nullptr);
    EXPECT_TRUE(out.ok()) << out.problemText();
    return freed;
}

bool allZero(const Bytes &b) {
    return std::all_of(b.begin(), b.end(), [](uint8_t v) { return v == 0; });
}

// Connects the instance and sets a key; the context's bytes afterwards.
Bytes connectWithKey(ghemu::Library &library, ghemu::Host &host, ghemu::Instance &instance) {
    EXPECT_TRUE(library.connect(instance, host).ok());
    host.setFunctionNumber(library.functionNumber("blowfishContext"));
    host.setParams({ghemu::textParam(library.build(), "a key to be wiped")});
    ghemu::CallOutcome out = library.call(instance, host);
    EXPECT_TRUE(out.ok()) << out.problemText();
    EXPECT_EQ(out.result, ghemu::Result::of(HOST_TYPE_NUMBER, ghemu::Value::ofNumber(0)));
    // The context is a fixed block: its handle is its address.
    const auto *context = static_cast<const uint8_t *>(instance.slot);
    return Bytes(context, context + GlobalSize(instance.slot));
}

TEST_P(BlowfishInstance, TheKeyScheduleIsWipedBeforeItsMemoryIsFreed) {
    ghemu::Host host(build());
    ghemu::Instance instance;
    Bytes before = connectWithKey(library(), host, instance);
    ASSERT_FALSE(allZero(before));

    std::vector<Bytes> freed = freedDuring([&] { return library().disconnect(instance, host); });
    ASSERT_EQ(freed.size(), 1u);
    EXPECT_EQ(freed[0].size(), before.size());
    EXPECT_TRUE(allZero(freed[0]));
}

TEST_P(BlowfishInstance, AReplacedContextIsWipedToo) {
    ghemu::Host host(build());
    ghemu::Instance instance;
    Bytes before = connectWithKey(library(), host, instance);
    ASSERT_FALSE(allZero(before));

    std::vector<Bytes> freed = freedDuring([&] { return library().connect(instance, host); });
    ASSERT_EQ(freed.size(), 1u);
    EXPECT_TRUE(allZero(freed[0]));
    EXPECT_TRUE(library().disconnect(instance, host).ok());
}

}  // namespace
