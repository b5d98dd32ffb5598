// The chooser of platform/kernels.h on kernels of its own (features no
// processor has, tables that leave functions out), the force switch, and
// every kernel of the library (library/kernel_list.h) against the rule it
// must follow: GH_FORCE_PATH's path where it names one this processor runs,
// else the first path of its list this processor runs (the portable one
// under GH_FORCE_PORTABLE=1).  ctest runs this file also with
// GH_FORCE_PORTABLE=1 and with a GH_FORCE_PATH (tests/CMakeLists.txt).
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "library/kernel_list.h"
#include "platform/cpu_features.h"

namespace {

constexpr uint64_t kNoCpu = uint64_t{1} << 40;  // a feature no processor has

// Tables of two functions; a null entry: the tier leaves it out.
struct Pair {
    int first, second;
};
const Pair kWide = {1, 0}, kNarrow = {2, 2}, kPortable = {3, 3};
bool hasFunction(const void *fns, int slot) {
    const Pair *p = static_cast<const Pair *>(fns);
    return (slot == 0 ? p->first : p->second) != 0;
}
const KernelPath kFakePaths[] = {
    {"future", kNoCpu, &kWide},
    {"wide", 0, &kWide},
    {"narrow", 0, &kNarrow},
    {"portable", 0, &kPortable},
};

void setEnv(const char *name, const char *value) {
#ifdef _WIN32
    _putenv_s(name, value);  // an empty value removes it
#else
    setenv(name, value, 1);
#endif
}

void unsetEnv(const char *name) {
#ifdef _WIN32
    _putenv_s(name, "");
#else
    unsetenv(name);
#endif
}

std::string envOr(const char *name) {
    const char *v = getenv(name);
    return v ? v : "";
}

// Sets GH_FORCE_PATH for one test, restoring it after.
class ForcePath {
public:
    explicit ForcePath(const char *value) : saved_(envOr("GH_FORCE_PATH")), had_(getenv("GH_FORCE_PATH")) {
        setEnv("GH_FORCE_PATH", value);
    }
    ~ForcePath() {
        if (had_) {
            setEnv("GH_FORCE_PATH", saved_.c_str());
        } else {
            unsetEnv("GH_FORCE_PATH");
        }
    }

private:
    std::string saved_;
    bool had_;
};

bool portableForced() { return envOr("GH_FORCE_PORTABLE") == "1"; }

TEST(KernelChooser, TakesTheFirstPathThatRunsAndHasTheFunction) {
    ForcePath none("");
    Kernel first("fake_first", kFakePaths, 0, hasFunction);
    Kernel second("fake_second", kFakePaths, 1, hasFunction);
    EXPECT_FALSE(gh_kernel_path_runs(first, 0));   // needs what no processor has
    EXPECT_FALSE(gh_kernel_has_path(second, 1));   // the wide tier leaves it out
    EXPECT_TRUE(gh_kernel_has_path(second, 3));    // the portable one has everything
    EXPECT_EQ(gh_kernel_find_path(second, "wide"), -1);
    EXPECT_EQ(gh_kernel_find_path(second, "narrow"), 2);
    if (portableForced()) {
        EXPECT_EQ(gh_kernel_path(&first), 3);
        EXPECT_EQ(first.how, KERNEL_HOW_PORTABLE);
    } else {
        EXPECT_EQ(gh_kernel_path(&first), 1);
        EXPECT_EQ(gh_kernel_path(&second), 2);
        EXPECT_EQ(first.how, KERNEL_HOW_PREFERRED);
    }
    EXPECT_EQ(first.refusal, KERNEL_FORCE_NONE);
    EXPECT_EQ(gh_kernel_fns(&first), first.paths[first.chosen.load()].fns);
}

TEST(KernelChooser, FollowsOrRefusesTheForceSwitch) {
    ForcePath force("other:x,fake_a:narrow,fake_a:wide,,fake_b:future,fake_c:none,fake_d:wide,"
                    "fake_e:abcdefghijklmnopqrstuvwxyz0123456789");
    Kernel a("fake_a", kFakePaths, 0, hasFunction), b("fake_b", kFakePaths, 0, hasFunction),
        c("fake_c", kFakePaths, 0, hasFunction), d("fake_d", kFakePaths, 1, hasFunction),
        e("fake_e", kFakePaths, 0, hasFunction);
    char why[200];
    if (!portableForced()) {
        EXPECT_EQ(gh_kernel_path(&a), 2);  // the first entry for a kernel counts
        EXPECT_EQ(a.how, KERNEL_HOW_FORCED);
        EXPECT_STREQ(gh_kernel_refusal(&a, why, sizeof why), "");
    }
    EXPECT_EQ(gh_kernel_path(&b), portableForced() ? 3 : 1);  // refused: the ordinary choice
    EXPECT_EQ(b.refusal, KERNEL_FORCE_CANNOT_RUN);
    EXPECT_STREQ(b.refusedPath, "future");
    EXPECT_STREQ(gh_kernel_refusal(&b, why, sizeof why),
                 portableForced() ? "GH_FORCE_PATH=fake_b:future: GH_FORCE_PORTABLE=1 leaves only the portable path"
                                  : "GH_FORCE_PATH=fake_b:future: this processor cannot run it (no ?)");
    gh_kernel_path(&c);
    EXPECT_EQ(c.refusal, KERNEL_FORCE_NO_SUCH_PATH);
    EXPECT_STREQ(gh_kernel_refusal(&c, why, sizeof why), "GH_FORCE_PATH=fake_c:none: fake_c has no path none");
    gh_kernel_path(&d);  // the wide tier has no second function
    EXPECT_EQ(d.refusal, KERNEL_FORCE_NO_SUCH_PATH);
    gh_kernel_path(&e);
    EXPECT_STREQ(e.refusedPath, "abcdefghijklmnopqrstuvwxyz01234");  // cut short to fit the record
}

bool passOverNarrow(const void *fns, int, uint64_t) { return fns == &kNarrow; }

TEST(KernelChooser, PassesOverWhatTheFamilySaysButCanBeForcedThere) {
    ForcePath force("fake_forced:narrow");
    Kernel over("fake_over", kFakePaths, 1, hasFunction, passOverNarrow);
    Kernel forced("fake_forced", kFakePaths, 1, hasFunction, passOverNarrow);
    EXPECT_EQ(gh_kernel_path(&over), 3);
    EXPECT_TRUE(gh_kernel_passed_over(over, 2));
    EXPECT_TRUE(gh_kernel_path_runs(over, 2));  // and the tests still run it
    EXPECT_EQ(gh_kernel_path(&forced), portableForced() ? 3 : 2);
}

TEST(KernelChooser, SplitsTheForceSwitchIntoEntries) {
    ForcePath force(",a:b,,noColon,c:,long_name:path_name,");
    std::vector<std::string> entries;
    const char *cursor = nullptr;
    KernelForceEntry e;
    while (gh_kernel_force_next(&cursor, &e))
        entries.push_back(std::string(e.kernel, e.kernelLength) + "|" + std::string(e.path, e.pathLength));
    EXPECT_EQ(entries, (std::vector<std::string>{"a|b", "noColon|", "c|", "long_name|path_name"}));
}

TEST(KernelChooser, ThreadsRacingTheFirstUseAgree) {
    ForcePath none("");
    Kernel k("fake_race", kFakePaths, 1, hasFunction);
    std::vector<int> got(8, -1);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) threads.emplace_back([&, t] { got[t] = gh_kernel_path(&k); });
    for (auto &th : threads) th.join();
    for (int g : got) EXPECT_EQ(g, k.chosen.load());
}

#if defined(__linux__) && (defined(__x86_64__) || defined(__aarch64__))
// Detection against the kernel's view (/proc/cpuinfo): a feature read as
// present where it is not runs illegal instructions, one read as absent a
// slower path.  Each feature needs all the flags named, x86's or ARM's.
TEST(CpuFeatures, AgreeWithTheKernelsFlags) {
    std::ifstream info("/proc/cpuinfo");
    std::map<std::string, std::string> first;  // the first processor's lines
    for (std::string line; std::getline(info, line) && !line.empty();) {
        size_t colon = line.find(':');
        if (colon != std::string::npos && colon > 0)
            first.emplace(line.substr(0, line.find_last_not_of(" \t", colon - 1) + 1), line.substr(colon + 1));
    }
#ifdef __aarch64__
    const bool arm = true;
#else
    const bool arm = false;
#endif
    std::istringstream words(first[arm ? "Features" : "flags"]);
    std::set<std::string> flags{std::istream_iterator<std::string>(words), std::istream_iterator<std::string>()};
    if (flags.empty()) GTEST_SKIP() << "no flags in /proc/cpuinfo (an emulator's?)";
    auto hasAll = [&](const std::string &names) {
        std::istringstream needed(names);
        bool all = !names.empty();
        for (std::string name; needed >> name;) all = all && flags.count(name);
        return all;
    };
    const struct {
        uint64_t bit;
        bool CpuFeatures::*flag;
        const char *x86, *arm;
    } kFeatures[] = {
        {CPU_SSE2, &CpuFeatures::sse2, "sse2", ""}, {CPU_SSSE3, &CpuFeatures::ssse3, "ssse3", ""},
        {CPU_SSE41, &CpuFeatures::sse41, "sse4_1", ""}, {CPU_PCLMUL, &CpuFeatures::pclmul, "pclmulqdq", ""},
        {CPU_BMI2, &CpuFeatures::bmi2, "bmi2", ""}, {CPU_SHA, &CpuFeatures::sha, "sha_ni", ""},
        {CPU_AVX2, &CpuFeatures::avx2, "avx avx2", ""},
        {CPU_VPCLMUL, &CpuFeatures::vpclmul, "avx avx2 vpclmulqdq", ""},
        {CPU_AVX512VL, &CpuFeatures::avx512vl, "avx avx2 avx512f avx512vl", ""},
        {CPU_AVX512BW, &CpuFeatures::avx512bw, "avx avx2 avx512f avx512vl avx512bw", ""},
        {CPU_AVX512VBMI, &CpuFeatures::avx512vbmi, "avx avx2 avx512f avx512vl avx512bw avx512vbmi", ""},
        {CPU_AVX512VBMI2, &CpuFeatures::avx512vbmi2, "avx avx2 avx512f avx512vl avx512bw avx512_vbmi2", ""},
        {CPU_NEON, &CpuFeatures::neon, "", "asimd"}, {CPU_AES, &CpuFeatures::aes, "", "aes"},
        {CPU_PMULL, &CpuFeatures::pmull, "", "pmull"}, {CPU_SHA1, &CpuFeatures::sha1, "", "sha1"},
        {CPU_SHA2, &CpuFeatures::sha2, "", "sha2"}, {CPU_SHA512, &CpuFeatures::sha512, "", "sha512"},
    };
    const uint64_t bits = gh_cpu_detected_bits();
    const CpuFeatures detected = gh_cpu_detected();
    for (const auto &f : kFeatures) {
        const char *needs = arm ? f.arm : f.x86;
        EXPECT_EQ((bits & f.bit) != 0, hasAll(needs)) << needs;
        EXPECT_EQ(detected.*f.flag, hasAll(needs)) << needs;
    }
    // AVX-512 in two halves: AMD's family 19h (Zen 4).
    bool halves = hasAll(arm ? "" : "avx avx2 avx512f avx512vl") && first["vendor_id"] == " AuthenticAMD" &&
                  first["cpu family"] == " 25";
    EXPECT_EQ((bits & CPU_AVX512_HALVES) != 0, halves);
}
#endif

// The rule, worked out apart from the chooser.
int expectedPath(const Kernel &k) {
    auto runs = [&](int i) {
        if (portableForced()) return i == k.count - 1;
        return gh_kernel_has_path(k, i) && (k.paths[i].needs & ~gh_cpu_detected_bits()) == 0;
    };
    std::string force = "," + envOr("GH_FORCE_PATH") + ",";
    size_t at = force.find("," + std::string(k.name) + ":");
    if (at != std::string::npos) {
        size_t from = at + strlen(k.name) + 2;
        std::string path = force.substr(from, force.find(',', from) - from);
        int i = gh_kernel_find_path(k, path.c_str());
        if (i >= 0 && runs(i)) return i;
    }
    for (int i = 0; i < k.count; ++i)
        if (runs(i) && (portableForced() || !gh_kernel_passed_over(k, i))) return i;
    return -1;
}

TEST(KernelList, EveryKernelTakesThePathItsRuleGives) {
    ASSERT_GT(kAllKernelCount, 0);
    std::set<std::string> names;
    for (int n = 0; n < kAllKernelCount; ++n) {
        Kernel *k = kAllKernels[n];
        SCOPED_TRACE(k->name);
        EXPECT_TRUE(names.insert(k->name).second) << "two kernels of one name";
        EXPECT_EQ(gh_kernel_find_path(*k, k->name), -1);
        EXPECT_EQ(k->paths[k->count - 1].needs, 0u) << "the last path runs anywhere";
        for (int i = 0; i + 1 < k->count; ++i) EXPECT_NE(k->paths[i].needs, 0u) << "only the portable path needs nothing";
        std::set<std::string> paths;
        for (int i = 0; i < k->count; ++i) EXPECT_TRUE(paths.insert(k->paths[i].name).second);
        EXPECT_EQ(gh_kernel_path(k), expectedPath(*k)) << k->paths[gh_kernel_path(k)].name;
        EXPECT_EQ(gh_find_kernel(k->name), k);
    }
    EXPECT_EQ(gh_find_kernel("no_such_kernel"), nullptr);
}

// Whatever GH_FORCE_PATH says, the problems are reported and nothing fails.
TEST(KernelList, ReportsWhatTheForceSwitchCannotDo) {
    char problems[4096];
    gh_kernel_force_problems(problems, sizeof problems);
    std::string report = problems;
    std::string force = envOr("GH_FORCE_PATH");
    if (force.empty()) {
        EXPECT_EQ(report, "");
    }
    if (force.find("no_such_kernel:") != std::string::npos) {
        EXPECT_NE(report.find("no kernel is named no_such_kernel"), std::string::npos) << report;
    }
}

// Entries no kernel takes come first, a line each: one without a path, and
// a name longer than any kernel's (shown cut to 63 characters).
TEST(KernelList, ReportsEachEntryNoKernelTakesOnALine) {
    const std::string cut(63, 'k');
    ForcePath force(("sha1," + cut + "k:x").c_str());
    char problems[4096];
    gh_kernel_force_problems(problems, sizeof problems);
    const std::string expected =
        "GH_FORCE_PATH=sha1: not kernel:path\nGH_FORCE_PATH=" + cut + ":x: no kernel is named " + cut + "\n";
    EXPECT_EQ(std::string(problems).substr(0, expected.size()), expected);
}

}  // namespace
