// The common exits and the dispatch, in-process.
#include <gtest/gtest.h>

#include "host/call.h"
#include "host/wrappers.h"
#include "library/dispatch.h"
#include "tests/support/in_process.h"

namespace {

using ghemu::Value;
using ghtest::kBuild;
using ExitsTest = ghtest::HostTest;

// A case that fetches two blocks, locks one, then fails.
CaseExit failAfterTwoBlocks(CallFrame *frame) {
    XPHandle first = nullptr;
    XPHandle second = nullptr;
    GetFuncParm(ParamNumber(1), HOST_TYPE_TEXT_BLOCK, 0, &first, frame->cb);
    if (!KeepBlock(frame, first)) return EXIT_EMPTY_TEXT;
    GetFuncParm(ParamNumber(2), HOST_TYPE_BINARY_BLOCK, 0, &second, frame->cb);
    if (!KeepBlock(frame, second)) return EXIT_EMPTY_TEXT;
    LockXPHandle(second);
    return frame->resultStatus ? EXIT_STATUS : EXIT_EMPTY_TEXT;
}

CallFrame frameFor(HostCallback cb) {
    CallFrame frame{};
    frame.cb = cb;
    return frame;
}

TEST_F(ExitsTest, AFailingCaseFreesBothBlocks) {
    host.setParams({ghemu::textParam(kBuild, "first"), ghemu::binaryParam({1, 2, 3})});
    for (int16_t status : {0, -1}) {
        CallFrame frame = frameFor(cb);
        frame.resultStatus = status;
        LeaveCall(&frame, failAfterTwoBlocks(&frame));
        for (XPHandle slot : frame.slots) EXPECT_EQ(slot, nullptr);
        if (status) {
            EXPECT_EQ(host.result(), ghemu::Result::of(HOST_TYPE_NUMBER, Value::ofNumber(-1)));
        } else {
            EXPECT_EQ(host.result(), ghemu::Result::of(HOST_TYPE_TEXT, Value::ofText(U"")));
        }
    }
    // The clean-up exit sets nothing.
    host.beginCall();
    CallFrame frame = frameFor(cb);
    LeaveCall(&frame, EXIT_CLEANUP);
    EXPECT_FALSE(host.result().set);
}

TEST_F(ExitsTest, ASeventhBlockIsFreedAndRefused) {
    CallFrame frame = frameFor(cb);
    for (int i = 0; i < WORKING_SLOTS; ++i) ASSERT_NE(KeepBlock(&frame, NewEmptyMemBlock()), nullptr);
    EXPECT_EQ(KeepBlock(&frame, NewEmptyMemBlock()), nullptr);
    EXPECT_EQ(KeepBlock(&frame, nullptr), nullptr);
    LeaveCall(&frame, EXIT_CLEANUP);
}

// The catalogue string of function n names the case the dispatch runs for n.
TEST(Dispatch, CatalogueStringsNameTheDispatchedFunctions) {
    const ghemu::Catalogue &catalogue = ghtest::inProcessLibrary().catalogue();
    ASSERT_EQ(catalogue.functions().size(), static_cast<size_t>(GH_FUNCTION_COUNT));
    for (int n = 1; n <= GH_FUNCTION_COUNT; ++n) {
        const CatalogueEntry *entry = find_catalogue_entry(n);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(catalogue.find(n)->name, entry->name) << n;
    }
    EXPECT_EQ(find_catalogue_entry(0), nullptr);
    EXPECT_EQ(find_catalogue_entry(GH_FUNCTION_COUNT + 1), nullptr);

    // The same for the library file of this build, as a host reads it.
    auto file = ghemu::Library::load(ghemu::libraryPathNextToExecutable(GH_WIDE), kBuild);
    ASSERT_EQ(file->catalogue().functions().size(), static_cast<size_t>(GH_FUNCTION_COUNT));
    for (int n = 1; n <= GH_FUNCTION_COUNT; ++n) {
        EXPECT_EQ(file->catalogue().find(n)->name, find_catalogue_entry(n)->name) << n;
        EXPECT_EQ(file->catalogue().find(n)->stringId, static_cast<uint32_t>(12061 + n - 1));
    }
}

// Only the low 16 bits of the function number count: 65537 runs function 1
// exactly as 1 does (same operations, same result).
TEST(Dispatch, FunctionNumber65537RunsFunctionOne) {
    ghemu::Library &library = ghtest::inProcessLibrary();
    ghemu::Session session(library);
    ghemu::Host &host = session.host();
    host.setField(U"list", Value::ofText(U"a,b,c"));
    auto callWith = [&](int32_t number) {
        host.setField(U"list", Value::ofText(U"a,b,c"));
        host.setFunctionNumber(number);
        host.setParams({ghemu::textParam(kBuild, "list"), ghemu::textParam(kBuild, ",")});
        ghemu::CallOutcome out = library.call(session.instance(), host);
        EXPECT_TRUE(out.ok()) << out.problemText();
        std::vector<std::string> ops;
        for (const ghemu::OpEntry &e : out.log) ops.push_back(e.describe());
        return std::make_pair(ops, out.result);
    };
    auto one = callWith(1);
    auto big = callWith(65537);
    EXPECT_EQ(big, one);
    if (find_catalogue_entry(1)->run) {
        EXPECT_NE(big, callWith(39));  // splitstring did something
    }
}

}  // namespace
