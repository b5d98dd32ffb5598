// The entry point of each shipped library: messages, instances, dispatch.
#include <gtest/gtest.h>

#include "platform/globalmem.h"
#include "tests/support/loaded.h"

namespace {

using ghemu::CallOutcome;
using ghemu::Host;
using ghemu::Instance;

class EntryPoint : public ghtest::EachBuild {};
GH_FOR_EACH_BUILD(EntryPoint);

// The result a call without a context gives, and that nothing else was asked.
void expectNoContextResult(const CallOutcome &out) {
    EXPECT_TRUE(out.ok()) << out.problemText();
    EXPECT_EQ(out.result, ghemu::Result::of(HOST_TYPE_NUMBER, ghemu::Value::ofNumber(2)));
    EXPECT_EQ(out.count(HOST_OP_GET_PACKAGE_ID), 0u);
    EXPECT_EQ(out.count(HOST_OP_GET_FUNC_PARM), 0u);
    EXPECT_EQ(out.log.size(), 1u);
}

TEST_P(EntryPoint, UnknownMessagesAreIgnored) {
    Host host(build());
    Instance instance;
    for (int32_t message : {3, -1, 32767, -32768}) {
        CallOutcome out = library().send(message, &instance.slot, host);
        EXPECT_TRUE(out.ok()) << out.problemText();
        EXPECT_TRUE(out.log.empty()) << message;
        EXPECT_EQ(instance.slot, nullptr);
    }
    ASSERT_TRUE(library().connect(instance, host).ok());
    void *context = instance.slot;
    EXPECT_TRUE(library().send(3, &instance.slot, host).log.empty());
    EXPECT_EQ(instance.slot, context);
    EXPECT_TRUE(library().disconnect(instance, host).ok());
}

TEST_P(EntryPoint, OnlyTheLow16BitsOfTheMessageCount) {
    Host host(build());
    Instance instance;
    CallOutcome out = library().send(65536, &instance.slot, host);  // connect
    EXPECT_TRUE(out.ok()) << out.problemText();
    EXPECT_NE(instance.slot, nullptr);
    out = library().send(65536 + 2, &instance.slot, host);  // disconnect
    EXPECT_TRUE(out.ok()) << out.problemText();
    EXPECT_EQ(instance.slot, nullptr);
}

TEST_P(EntryPoint, ACallWithoutContextGivesTwoAndAsksNothing) {
    Host host(build());
    host.setFunctionNumber(9);
    Instance instance;
    expectNoContextResult(library().call(instance, host));  // never connected

    ASSERT_TRUE(library().connect(instance, host).ok());
    ASSERT_TRUE(library().disconnect(instance, host).ok());
    expectNoContextResult(library().call(instance, host));  // disconnected
}

TEST_P(EntryPoint, AFailedConnectBeepsAndLeavesTheSlot) {
    Host host(build());
    Instance instance;
    int sentinel = 0;
    instance.slot = &sentinel;  // untouched means untouched
    unsigned long beeps = glyphmem_beep_count();
    CallOutcome out = library().connect(instance, host, 1);
    EXPECT_TRUE(out.ok()) << out.problemText();
    EXPECT_EQ(out.allocationEvents, 1u);
    EXPECT_EQ(instance.slot, &sentinel);
    EXPECT_EQ(glyphmem_beep_count(), beeps + 1);
    EXPECT_EQ(glyphmem_last_beep_frequency(), 1500u);
    EXPECT_EQ(glyphmem_last_beep_duration(), 2u);

    instance.slot = nullptr;
    ASSERT_TRUE(library().connect(instance, host, 1).ok());
    EXPECT_EQ(instance.slot, nullptr);
    host.setFunctionNumber(16);
    expectNoContextResult(library().call(instance, host));
}

TEST_P(EntryPoint, DisconnectTwiceDoesNothingTheSecondTime) {
    Host host(build());
    Instance instance;
    ASSERT_TRUE(library().connect(instance, host).ok());
    ASSERT_TRUE(library().disconnect(instance, host).ok());
    CallOutcome out = library().disconnect(instance, host);
    EXPECT_TRUE(out.ok()) << out.problemText();
    EXPECT_TRUE(out.log.empty());
    EXPECT_EQ(instance.slot, nullptr);
}

TEST_P(EntryPoint, NumbersOutsideTheCatalogueAskBothAndSetNothing) {
    ghemu::Session session(library());
    Host &host = session.host();
    for (int32_t number : {0, 39, 40, -1, 65536 + 39, 65536}) {
        host.setFunctionNumber(number);
        host.setParams({ghemu::textParam(build(), "x")});
        CallOutcome out = library().call(session.instance(), host);
        EXPECT_TRUE(out.ok()) << out.problemText();
        EXPECT_FALSE(out.result.set) << number;
        ASSERT_EQ(out.log.size(), 2u) << number;
        EXPECT_EQ(out.log[0].op, HOST_OP_GET_PACKAGE_ID);
        EXPECT_EQ(out.log[1].op, HOST_OP_GET_FUNC_PARM);
        EXPECT_EQ(out.log[1].number, HOST_PARAM_COUNT);
    }
}

TEST_P(EntryPoint, ASecondConnectReplacesTheContextWithoutLosingIt) {
    Host host(build());
    Instance instance;
    ASSERT_TRUE(library().connect(instance, host).ok());
    CallOutcome out = library().connect(instance, host);
    EXPECT_TRUE(out.ok()) << out.problemText();  // no block left live
    EXPECT_NE(instance.slot, nullptr);
    EXPECT_TRUE(library().disconnect(instance, host).ok());
}

TEST_P(EntryPoint, InstancesAreIndependent) {
    ghemu::Session session(library(), 3);
    EXPECT_NE(session.instance(0).slot, session.instance(1).slot);
    EXPECT_NE(session.instance(1).slot, session.instance(2).slot);
    EXPECT_EQ(session.close(), std::vector<std::string>{});
}

}  // namespace
