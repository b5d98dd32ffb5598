// The shipped DLLs on a real Windows loader: LoadLibrary, the plain export,
// the calling convention of the entry point, kernel32's global memory, and the
// catalogue resources as the host reads them (LoadString, FindResource).
//
// The expected catalogue is made here from resources/catalogue.def by the C
// preprocessor, independently of cmake/catalogue.cmake, which wrote the
// resource script with regular expressions.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "host/host_callback.h"
#include "resources/catalogue.h"

namespace {

struct CatalogueRow {
    unsigned id;
    const char *text;
};

#define GH_ENTRY_TEXT(name, params, reference) #name "(" params "):" #reference
#define GH_FUNCTION(number, name, params, reference, built)                          \
    {GH_CATALOGUE_FIRST_ID + (number) - 1,                                           \
     (number) == 1 ? GH_GROUP_NAME "~" GH_ENTRY_TEXT(name, params, reference)        \
                   : GH_ENTRY_TEXT(name, params, reference)},
const CatalogueRow kCatalogue[] = {
#include "resources/catalogue.def"
    {GH_CATALOGUE_LAST_ID, "*" GH_LIBRARY_NAME}};
#undef GH_FUNCTION

const WORD kLanguage = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);  // 1033

struct Build {
    const wchar_t *file;
    bool wide;
};

std::wstring exeFolder() {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring s(path, n);
    return s.substr(0, s.find_last_of(L"\\/") + 1);
}

std::wstring widen(const char *s) { return std::wstring(s, s + std::strlen(s)); }

// A host that records the operations it is asked for.
struct Recorder {
    std::vector<int32_t> ops;
    int32_t functionNumber = 39;  // outside the catalogue: nothing runs
    double setNumber = -1;
    int setTarget = 0;
    std::vector<uint32_t> callSiteMisalignment;
};
Recorder *g_recorder = nullptr;

}  // namespace

extern "C" {
// The stack pointer at the entry of gh_alignment_probe, 0 once read.
volatile uint32_t gh_probe_esp;
int32_t __cdecl gh_recording_callback(int32_t op, ...);
int32_t __cdecl gh_alignment_probe(int32_t op, ...);
}

#if defined(__i386__)
// A callback that notes the stack pointer the library calls it with, then
// continues in gh_recording_callback with the stack untouched.
__asm__(".text\n"
        ".globl _gh_alignment_probe\n"
        "_gh_alignment_probe:\n"
        "\tmovl %esp, _gh_probe_esp\n"
        "\tjmp _gh_recording_callback\n");
#endif

int32_t __cdecl gh_recording_callback(int32_t op, ...) {
    va_list ap;
    va_start(ap, op);
    g_recorder->ops.push_back(op);
    if (gh_probe_esp) {
        // How far the library's call site was from a 16-byte boundary.
        g_recorder->callSiteMisalignment.push_back((gh_probe_esp + 4) & 15);
        gh_probe_esp = 0;
    }
    if (op == HOST_OP_GET_PACKAGE_ID) {
        *va_arg(ap, int32_t *) = g_recorder->functionNumber;
    } else if (op == HOST_OP_GET_FUNC_PARM) {
        int param = va_arg(ap, int);
        int type = va_arg(ap, int);
        va_arg(ap, int32_t);  // count
        void *buffer = va_arg(ap, void *);
        if (param == HOST_PARAM_COUNT && type == HOST_TYPE_NUMBER) {
            double zero = 0;
            std::memcpy(buffer, &zero, sizeof zero);
        }
    } else if (op == HOST_OP_SET_FLD_VAL) {
        g_recorder->setTarget = static_cast<int16_t>(va_arg(ap, int));
        int type = va_arg(ap, int);
        void *value = va_arg(ap, void *);
        if (type == HOST_TYPE_NUMBER) std::memcpy(&g_recorder->setNumber, value, sizeof(double));
    }
    va_end(ap);
    return 0;
}

namespace {

const HostCallback recordingCallback = gh_recording_callback;

#if defined(__i386__)
// The entry point called exactly as a 32-bit host calls it: six 32-bit
// arguments pushed and no clean-up after the call.  A host built by another
// compiler keeps the stack aligned to 4 bytes only, so the call is made with
// the stack pointer at a chosen offset from a 16-byte boundary.  Returns how
// far the stack pointer moved across the call: 0 when the entry point removed
// its 24 bytes.  Only globals are used inside the assembly, as the stack
// moves under it.
void *volatile g_entry;
volatile uint32_t g_arguments[6];
volatile uint32_t g_padding;
volatile uint32_t g_espBefore, g_espAfter, g_espAligned;

long stackMovedByCall(GlyphHerderEntry entry, int32_t message, void **slot, HostCallback cb,
                      unsigned misalignment = 0) {
    g_entry = reinterpret_cast<void *>(entry);
    g_arguments[0] = static_cast<uint32_t>(message);
    g_arguments[1] = reinterpret_cast<uint32_t>(slot);
    g_arguments[2] = g_arguments[3] = g_arguments[4] = 0;
    g_arguments[5] = reinterpret_cast<uint32_t>(cb);
    // After the padding and the 24 bytes of arguments the stack pointer sits
    // misalignment bytes above a 16-byte boundary at the call.
    g_padding = (8 - misalignment) & 15;
    __asm__ volatile(
        "movl %%esp, %[before]\n\t"
        "andl $-16, %%esp\n\t"
        "movl %%esp, %[aligned]\n\t"
        "subl %[padding], %%esp\n\t"
        "pushl %[a5]\n\t"
        "pushl %[a4]\n\t"
        "pushl %[a3]\n\t"
        "pushl %[a2]\n\t"
        "pushl %[a1]\n\t"
        "pushl %[a0]\n\t"
        "movl %[entry], %%eax\n\t"
        "call *%%eax\n\t"
        "movl %%esp, %[after]\n\t"
        "movl %[before], %%esp\n\t"
        : [before] "=m"(g_espBefore), [after] "=m"(g_espAfter), [aligned] "=m"(g_espAligned)
        : [a0] "m"(g_arguments[0]), [a1] "m"(g_arguments[1]), [a2] "m"(g_arguments[2]),
          [a3] "m"(g_arguments[3]), [a4] "m"(g_arguments[4]), [a5] "m"(g_arguments[5]),
          [entry] "m"(g_entry), [padding] "m"(g_padding)
        : "eax", "ecx", "edx", "memory", "cc");
    return static_cast<long>(g_espAfter) - (static_cast<long>(g_espAligned) - g_padding);
}
#endif

class DllTest : public ::testing::TestWithParam<Build> {
protected:
    void SetUp() override {
        path_ = exeFolder() + GetParam().file;
        module_ = LoadLibraryW(path_.c_str());
        ASSERT_NE(module_, nullptr) << "LoadLibraryW failed, error " << GetLastError();
    }
    void TearDown() override {
        if (module_) FreeLibrary(module_);
    }
    GlyphHerderEntry entry() const {
        return reinterpret_cast<GlyphHerderEntry>(
            reinterpret_cast<void *>(GetProcAddress(module_, "glyphHerder")));
    }

    std::wstring path_;
    HMODULE module_ = nullptr;
};

TEST_P(DllTest, ExportsThePlainNameOnly) {
    EXPECT_NE(entry(), nullptr);
    EXPECT_EQ(GetProcAddress(module_, "glyphHerder@24"), nullptr);
    EXPECT_EQ(GetProcAddress(module_, "_glyphHerder@24"), nullptr);
    EXPECT_EQ(GetProcAddress(module_, "_glyphHerder"), nullptr);
}

TEST_P(DllTest, CatalogueStringsAreTheTable) {
    ASSERT_EQ(sizeof kCatalogue / sizeof kCatalogue[0], 39u);
    for (const CatalogueRow &row : kCatalogue) {
        wchar_t wide[512];
        int n = LoadStringW(module_, row.id, wide, 512);
        EXPECT_EQ(std::wstring(wide, n > 0 ? n : 0), widen(row.text)) << "string " << row.id;
        char bytes[512];
        n = LoadStringA(module_, row.id, bytes, 512);
        EXPECT_EQ(std::string(bytes, n > 0 ? n : 0), row.text) << "string " << row.id;
        // The host asks for language 1033.
        HRSRC block = FindResourceExW(module_, MAKEINTRESOURCEW(6) /* RT_STRING */,
                                      MAKEINTRESOURCEW(row.id / 16 + 1), kLanguage);
        EXPECT_NE(block, nullptr) << "string block of " << row.id << " in language 1033";
    }
    wchar_t buffer[16];
    EXPECT_EQ(LoadStringW(module_, GH_CATALOGUE_LAST_ID + 1, buffer, 16), 0) << "no string 12100";
    EXPECT_EQ(LoadStringW(module_, GH_CATALOGUE_FIRST_ID - 1, buffer, 16), 0) << "no string 12060";
}

TEST_P(DllTest, DescriptorIsExact) {
    HRSRC found = FindResourceExW(module_, MAKEINTRESOURCEW(10) /* RT_RCDATA */, L"Q7INF",
                                  kLanguage);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(FindResourceW(module_, L"Q7INF", MAKEINTRESOURCEW(10)), found);
    ASSERT_EQ(SizeofResource(module_, found), 14u);
    HGLOBAL loaded = LoadResource(module_, found);
    ASSERT_NE(loaded, nullptr);
    const unsigned char *bytes = static_cast<const unsigned char *>(LockResource(loaded));
    ASSERT_NE(bytes, nullptr);
    const unsigned char expected[14] = {
        static_cast<unsigned char>(GetParam().wide ? 'U' : '7'), 'F', 'N', 'C', 0x1D, 0x2F, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(bytes, expected, sizeof expected), 0);
}

TEST_P(DllTest, VersionResourceNamesTheProduct) {
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(path_.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<unsigned char> info(size);
    ASSERT_TRUE(GetFileVersionInfoW(path_.c_str(), 0, size, info.data()));

    VS_FIXEDFILEINFO *fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void **>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, (DWORD(GH_VERSION_MAJOR) << 16) | GH_VERSION_MINOR);
    EXPECT_EQ(fixed->dwFileVersionLS, DWORD(GH_VERSION_PATCH) << 16);

    auto value = [&](const wchar_t *name) {
        std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        wchar_t *text = nullptr;
        UINT n = 0;
        if (!VerQueryValueW(info.data(), key.c_str(), reinterpret_cast<void **>(&text), &n))
            return std::wstring();
        return std::wstring(text);
    };
    EXPECT_EQ(value(L"ProductName"), L"glyphHerder");
    EXPECT_EQ(value(L"ProductVersion"), widen(GH_VERSION_STRING));
    EXPECT_EQ(value(L"FileVersion"), widen(GH_VERSION_STRING));
    EXPECT_EQ(value(L"OriginalFilename"), GetParam().file);
    std::wstring description = value(L"FileDescription");
    EXPECT_NE(description.find(GetParam().wide ? L"Omnis Studio" : L"Omnis 7"),
              std::wstring::npos);
}

TEST_P(DllTest, MessagesUseKernelGlobalMemoryAndTheCallback) {
    GlyphHerderEntry glyphHerder = entry();
    ASSERT_NE(glyphHerder, nullptr);
    Recorder recorder;
    g_recorder = &recorder;
    void *slot = nullptr;

    // A call before connect: the number 2, without asking for the function.
    glyphHerder(GH_MSG_CALL, &slot, 0, 0, 0, recordingCallback);
    EXPECT_EQ(recorder.ops, std::vector<int32_t>{HOST_OP_SET_FLD_VAL});
    EXPECT_EQ(recorder.setTarget, HOST_RESULT);
    EXPECT_EQ(recorder.setNumber, 2.0);

    // Connect: the context is a fixed block of kernel32's global memory.
    glyphHerder(GH_MSG_CONNECT, &slot, 0, 0, 0, recordingCallback);
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(GlobalHandle(slot), slot) << "a fixed block's handle is its address";
    EXPECT_GE(GlobalSize(slot), 4u + 4u * (18 + 4 * 256) + 2u);
    EXPECT_EQ(*static_cast<uint32_t *>(slot), 0x434F4F4Cu);

    // A number outside the catalogue asks the number and count, sets nothing.
    recorder.ops.clear();
    glyphHerder(GH_MSG_CALL, &slot, 0, 0, 0, recordingCallback);
    EXPECT_EQ(recorder.ops, (std::vector<int32_t>{HOST_OP_GET_PACKAGE_ID, HOST_OP_GET_FUNC_PARM}));

    glyphHerder(GH_MSG_DISCONNECT, &slot, 0, 0, 0, recordingCallback);
    EXPECT_EQ(slot, nullptr);
    g_recorder = nullptr;
}

#if defined(__i386__)
TEST_P(DllTest, EntryPointRemovesItsArguments) {
    GlyphHerderEntry glyphHerder = entry();
    ASSERT_NE(glyphHerder, nullptr);
    Recorder recorder;
    g_recorder = &recorder;
    void *slot = nullptr;
    EXPECT_EQ(stackMovedByCall(glyphHerder, 3, &slot, recordingCallback), 0) << "message 3";
    EXPECT_EQ(stackMovedByCall(glyphHerder, GH_MSG_CALL, &slot, recordingCallback), 0) << "call";
    EXPECT_EQ(stackMovedByCall(glyphHerder, GH_MSG_CONNECT, &slot, recordingCallback), 0);
    EXPECT_NE(slot, nullptr);
    EXPECT_EQ(stackMovedByCall(glyphHerder, GH_MSG_DISCONNECT, &slot, recordingCallback), 0);
    EXPECT_EQ(slot, nullptr);
    g_recorder = nullptr;
}

// A host may call with the stack aligned to 4 bytes only; the library's own
// code (SSE spills included) needs 16, so the entry point realigns: every
// call the library makes, here those to the callback, is 16-byte aligned.
TEST_P(DllTest, EntryPointRealignsTheStack) {
    GlyphHerderEntry glyphHerder = entry();
    ASSERT_NE(glyphHerder, nullptr);
    Recorder recorder;
    g_recorder = &recorder;
    void *slot = nullptr;
    for (unsigned misalignment : {0u, 4u, 8u, 12u}) {
        EXPECT_EQ(stackMovedByCall(glyphHerder, GH_MSG_CALL, &slot, gh_alignment_probe,
                                   misalignment), 0);
        EXPECT_EQ(stackMovedByCall(glyphHerder, GH_MSG_CONNECT, &slot, gh_alignment_probe,
                                   misalignment), 0);
        EXPECT_EQ(stackMovedByCall(glyphHerder, GH_MSG_CALL, &slot, gh_alignment_probe,
                                   misalignment), 0);
        EXPECT_EQ(stackMovedByCall(glyphHerder, GH_MSG_DISCONNECT, &slot, gh_alignment_probe,
                                   misalignment), 0);
    }
    EXPECT_EQ(recorder.callSiteMisalignment.size(), 12u);  // 1 + 2 callback calls each
    EXPECT_EQ(recorder.callSiteMisalignment, std::vector<uint32_t>(12, 0));
    g_recorder = nullptr;
}
#endif

INSTANTIATE_TEST_SUITE_P(Builds, DllTest,
                         ::testing::Values(Build{L"glyphHerderU.dll", true},
                                           Build{L"glyphHerder.dll", false}),
                         [](const ::testing::TestParamInfo<Build> &param) {
                             return std::string(param.param.wide ? "wide" : "byte");
                         });

}  // namespace
