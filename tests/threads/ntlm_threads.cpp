// NTLMresponse on many instances at once: each thread has its own host, its
// own instance and its own credentials, and every answer must be its own,
// proofs and all (a buffer shared between calls would mix them).  The
// linux-tsan preset runs it under ThreadSanitizer, which also reports any
// data race inside the libraries.
//
//   gh_ntlm_threads        both libraries next to the program
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "emulator/library.h"
#include "emulator/ntlm_check.h"

namespace {

constexpr int kThreads = 8;
constexpr int kCallsPerThread = 25;

const char *kChallenge =
    "TlRMTVNTUAACAAAADAAMADAAAAAzgoriASNFZ4mrze8AAAAAAAAAACQAJAA8AAAARABPAE0AQQBJAE4AAgAMAEQAbwBtAGEAaQBu"
    "AAEADABTAGUAcgB2AGUAcgAAAAAA";

std::atomic<int> gFailures{0};

void fail(const std::string &what) {
    std::fprintf(stderr, "%s\n", what.c_str());
    ++gFailures;
}

// One thread's instance: connect, calls with credentials of its own, disconnect.
void runInstance(ghemu::Library &library, int thread) {
    ghemu::Build build = library.build();
    ghemu::Host host(build);
    ghemu::CurrentHost current(host);
    ghemu::Instance instance;
    library.entry()(GH_MSG_CONNECT, &instance.slot, 0, 0, 0, ghemu::Host::callback());
    if (!instance.slot) return fail("connect failed");
    host.setFunctionNumber(library.functionNumber("NTLMresponse"));
    for (int i = 0; i < kCallsPerThread; ++i) {
        std::string user = "user" + std::to_string(thread);
        std::string password = "password " + std::to_string(thread) + "/" + std::to_string(i);
        std::string workstation(static_cast<size_t>(1 + (thread * 7 + i) % 40), 'w');
        host.setParams({ghemu::textParam(build, kChallenge), ghemu::textParam(build, user),
                        ghemu::textParam(build, password), ghemu::textParam(build, workstation)});
        host.beginCall();
        library.entry()(GH_MSG_CALL, &instance.slot, 0, 0, 0, ghemu::Host::callback());
        ghemu::Result result = host.takeResult();
        for (const std::string &p : host.problems()) fail(p);
        if (!result.set || !result.value.isText()) return fail("no text set");
        ghemu::NtlmExpectation expected;
        expected.challenge = ghemu::base64Prefix(kChallenge);
        for (const std::string *s : {&user, &password, &workstation}) {
            std::u32string codes(s->begin(), s->end());
            (s == &user ? expected.user : s == &password ? expected.password : expected.workstation) = codes;
        }
        expected.hashUser = U"USER" + expected.user.substr(4);
        expected.hashDomain = U"DOMAIN";
        std::string problem = ghemu::checkNtlmAuthenticate(ghemu::encodeUtf8(result.value.text()), expected);
        if (!problem.empty()) fail(std::string(ghemu::buildName(build)) + " thread " + std::to_string(thread) + ": " + problem);
    }
    library.entry()(GH_MSG_DISCONNECT, &instance.slot, 0, 0, 0, ghemu::Host::callback());
}

}  // namespace

int main() {
    try {
        for (bool wide : {true, false}) {
            auto library = ghemu::Library::load(ghemu::libraryPathNextToExecutable(wide));
            std::vector<std::thread> threads;
            for (int t = 0; t < kThreads; ++t) threads.emplace_back(runInstance, std::ref(*library), t);
            for (std::thread &t : threads) t.join();
        }
    } catch (const std::exception &e) {
        fail(e.what());
    }
    std::printf("%d instances of each build, %d calls each: %d failures\n", kThreads, kCallsPerThread, gFailures.load());
    return gFailures ? 1 : 0;
}
