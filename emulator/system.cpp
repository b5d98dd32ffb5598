// The emulator's platform code: library loading and catalogue reading, the
// memory manager's test controls, the executable's folder, the tools'
// command line and output.
//
// Linux: the library exports its catalogue as the data symbols of
// resources/catalogue.h, read with dlsym; the test build of glyphmem offers
// the test controls, looked up with dlsym, so that glyphhost runs with the
// shipped build too (which has none).
// Windows: the catalogue is the "Q7INF" raw-data resource and the string
// table (language 1033); kernel32's memory manager has no test controls.
#include "emulator/system.h"

#include <cstdio>
#include <cwchar>

#include "platform/globalmem.h"
#include "resources/catalogue.h"

#if defined(_WIN32)
#  include <windows.h>
#  include <fcntl.h>
#  include <io.h>
#  include <shellapi.h>
#else
#  include <dlfcn.h>
#  include <execinfo.h>
#  include <unistd.h>
#endif

namespace ghemu {

namespace {

// Far more strings than a catalogue has: a table without its terminator is
// not walked without end.
constexpr size_t kMaxStrings = 4096;

}  // namespace

#if defined(_WIN32)

namespace {

// The tools speak UTF-8; Windows file names and strings are UTF-16.
std::wstring utf8ToWide(const std::string &s) {
    if (s.empty()) return std::wstring();
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), &w[0], n);
    return w;
}

std::string wideToUtf8(const wchar_t *w, size_t length) {
    if (length == 0) return std::string();
    int wn = static_cast<int>(length);
    int n = WideCharToMultiByte(CP_UTF8, 0, w, wn, nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, w, wn, &s[0], n, nullptr, nullptr);
    return s;
}

}  // namespace

std::unique_ptr<LibraryFile> LibraryFile::open(const std::string &path) {
    // A bare file name would be searched for along the DLL search path; the
    // user means the file in the current folder.
    std::string file = path.find_first_of("\\/") == std::string::npos ? ".\\" + path : path;
    // No "bad image" or "insert disk" dialog for a file that is not a DLL:
    // the tools run unattended.
    UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadLibraryW(utf8ToWide(file).c_str());
    DWORD error = GetLastError();
    SetErrorMode(oldMode);
    if (!module) {
        throw LoadError("cannot load " + path + " (error " + std::to_string(error) + ")");
    }
    auto entry = reinterpret_cast<GlyphHerderEntry>(
        reinterpret_cast<void *>(GetProcAddress(module, "glyphHerder")));
    if (!entry) {
        FreeLibrary(module);
        throw LoadError(path + " has no entry point glyphHerder");
    }
    return std::unique_ptr<LibraryFile>(new LibraryFile(module, entry));
}

LibraryFile::~LibraryFile() { FreeLibrary(static_cast<HMODULE>(handle_)); }

RawCatalogue LibraryFile::readCatalogue() const {
    HMODULE module = static_cast<HMODULE>(handle_);
    RawCatalogue raw;
    HRSRC info = FindResourceExW(module, MAKEINTRESOURCEW(10) /* RT_RCDATA */, L"Q7INF",
                                 MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    HGLOBAL loaded = info ? LoadResource(module, info) : nullptr;
    const void *data = loaded ? LockResource(loaded) : nullptr;
    if (!data) throw LoadError("the library has no Q7INF descriptor resource");
    const auto *bytes = static_cast<const uint8_t *>(data);
    raw.descriptor.assign(bytes, bytes + SizeofResource(module, info));
    for (uint32_t id = GH_CATALOGUE_FIRST_ID; raw.strings.size() < kMaxStrings; ++id) {
        // With no buffer, LoadStringW points at the string in the resource
        // itself: no length limit, and the UTF-16 text as the host sees it.
        const wchar_t *text = nullptr;
        int n = LoadStringW(module, id, reinterpret_cast<LPWSTR>(&text), 0);
        if (n <= 0 || !text) break;
        raw.strings.emplace_back(id, wideToUtf8(text, static_cast<size_t>(n)));
    }
    return raw;
}

std::string libraryPathNextToExecutable(bool wide) {
    wchar_t buffer[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    std::string exe = wideToUtf8(buffer, n);
    size_t slash = exe.find_last_of("\\/");
    std::string folder = slash == std::string::npos ? "." : exe.substr(0, slash);
    return folder + (wide ? "\\glyphHerderU.dll" : "\\glyphHerder.dll");
}

Utf8Arguments::Utf8Arguments(int argc, char **argv) {
    int n = 0;
    LPWSTR *wide = CommandLineToArgvW(GetCommandLineW(), &n);
    if (wide) {
        for (int i = 0; i < n; ++i) strings_.push_back(wideToUtf8(wide[i], wcslen(wide[i])));
        LocalFree(wide);
    } else {
        strings_.assign(argv, argv + argc);
    }
    for (std::string &a : strings_) pointers_.push_back(&a[0]);
    pointers_.push_back(nullptr);
}

void useExactOutput() {
    std::fflush(stdout);
    std::fflush(stderr);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    SetConsoleOutputCP(CP_UTF8);
}

void watchAllocations(void (*)(void *), void *) {}
std::vector<uintptr_t> libraryStackOffsets(const void *) { return {}; }
std::vector<std::string> describeLibraryOffsets(const std::string &, const std::vector<uintptr_t> &offsets) {
    return std::vector<std::string>(offsets.size(), "?");
}

bool memoryControlsAvailable() { return false; }
MemoryCounters memoryCounters() { return {}; }
void failNthAllocation(unsigned long) {}
PausedInjection::PausedInjection() {}
PausedInjection::~PausedInjection() {}

#else  // Linux and other platforms with dlopen and glyphmem

std::unique_ptr<LibraryFile> LibraryFile::open(const std::string &path) {
    // A path without a slash would be searched for; the user means the file.
    std::string file = path.find('/') == std::string::npos ? "./" + path : path;
    void *handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char *why = dlerror();
        throw LoadError("cannot load " + path + ": " + (why ? why : "unknown error"));
    }
    void *symbol = dlsym(handle, "glyphHerder");
    if (!symbol) {
        dlclose(handle);
        throw LoadError(path + " has no entry point glyphHerder");
    }
    GlyphHerderEntry entry;
    static_assert(sizeof entry == sizeof symbol, "function and data pointers differ in size");
    __builtin_memcpy(&entry, &symbol, sizeof entry);
    return std::unique_ptr<LibraryFile>(new LibraryFile(handle, entry));
}

LibraryFile::~LibraryFile() { dlclose(handle_); }

RawCatalogue LibraryFile::readCatalogue() const {
    RawCatalogue raw;
    const auto *descriptor =
        static_cast<const uint8_t *>(dlsym(handle_, GH_CATALOGUE_DESCRIPTOR_SYMBOL));
    const auto *strings =
        static_cast<const GlyphCatalogueString *>(dlsym(handle_, GH_CATALOGUE_STRINGS_SYMBOL));
    if (!descriptor) throw LoadError("the library exports no catalogue descriptor");
    if (!strings) throw LoadError("the library exports no catalogue strings");
    raw.descriptor.assign(descriptor, descriptor + GH_DESCRIPTOR_SIZE);
    for (size_t i = 0; strings[i].text; ++i) {
        if (i == kMaxStrings) throw LoadError("the catalogue strings have no end");
        raw.strings.emplace_back(strings[i].id, strings[i].text);
    }
    return raw;
}

std::string libraryPathNextToExecutable(bool wide) {
    char buffer[4096];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    std::string exe = n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
    size_t slash = exe.rfind('/');
    std::string folder = slash == std::string::npos ? "." : exe.substr(0, slash);
    return folder + (wide ? "/glyphHerderU.so" : "/glyphHerder.so");
}

Utf8Arguments::Utf8Arguments(int argc, char **argv) : strings_(argv, argv + argc) {
    for (std::string &a : strings_) pointers_.push_back(&a[0]);
    pointers_.push_back(nullptr);
}

void useExactOutput() {}

namespace {

// The test controls of the glyphmem this process loaded, or all null.
struct MemoryControls {
    decltype(&glyphmem_live_blocks) liveBlocks = nullptr;
    decltype(&glyphmem_live_heap) liveHeap = nullptr;
    decltype(&glyphmem_misuse_count) misuseCount = nullptr;
    decltype(&glyphmem_events) events = nullptr;
    decltype(&glyphmem_fail_nth) failNth = nullptr;
    decltype(&glyphmem_watch_allocations) watchAllocations = nullptr;
    decltype(&glyphmem_pause_injection) pause = nullptr;
    decltype(&glyphmem_resume_injection) resume = nullptr;
    bool complete = false;
};

template <class F>
void lookUp(F &f, const char *name) {
    void *symbol = dlsym(RTLD_DEFAULT, name);
    static_assert(sizeof f == sizeof symbol, "function and data pointers differ in size");
    __builtin_memcpy(&f, &symbol, sizeof f);
}

const MemoryControls &controls() {
    static const MemoryControls c = [] {
        MemoryControls m;
        lookUp(m.liveBlocks, "glyphmem_live_blocks");
        lookUp(m.liveHeap, "glyphmem_live_heap");
        lookUp(m.misuseCount, "glyphmem_misuse_count");
        lookUp(m.events, "glyphmem_events");
        lookUp(m.failNth, "glyphmem_fail_nth");
        lookUp(m.watchAllocations, "glyphmem_watch_allocations");
        lookUp(m.pause, "glyphmem_pause_injection");
        lookUp(m.resume, "glyphmem_resume_injection");
        m.complete = m.liveBlocks && m.liveHeap && m.misuseCount && m.events && m.failNth &&
                     m.watchAllocations && m.pause && m.resume;
        return m;
    }();
    return c;
}

}  // namespace

bool memoryControlsAvailable() { return controls().complete; }

MemoryCounters memoryCounters() {
    MemoryCounters c;
    const MemoryControls &m = controls();
    if (!m.complete) return c;
    c.blocks = m.liveBlocks();
    c.heap = m.liveHeap();
    c.misuse = m.misuseCount();
    c.events = m.events();
    return c;
}

void failNthAllocation(unsigned long n) {
    if (controls().complete) controls().failNth(n);
}

void watchAllocations(void (*fn)(void *), void *context) {
    if (controls().complete) controls().watchAllocations(fn, context);
}

std::vector<uintptr_t> libraryStackOffsets(const void *inLibrary) {
    Dl_info library;
    if (!dladdr(inLibrary, &library) || !library.dli_fbase) return {};
    void *frames[64];
    int n = backtrace(frames, 64);
    std::vector<uintptr_t> offsets;
    for (int i = 0; i < n; ++i) {
        Dl_info info;
        if (dladdr(frames[i], &info) && info.dli_fbase == library.dli_fbase) {
            offsets.push_back(reinterpret_cast<uintptr_t>(frames[i]) - reinterpret_cast<uintptr_t>(library.dli_fbase));
        }
    }
    return offsets;
}

std::vector<std::string> describeLibraryOffsets(const std::string &path, const std::vector<uintptr_t> &offsets) {
    std::vector<std::string> out;
    for (uintptr_t o : offsets) {
        char hex[32];
        std::snprintf(hex, sizeof hex, "+0x%lx", static_cast<unsigned long>(o));
        out.push_back(hex);
    }
    if (offsets.empty() || path.find('\'') != std::string::npos) return out;
    // A return address is the instruction after the call: one byte back is
    // the call itself.
    std::string command = "addr2line -f -s -C -e '" + path + "'";
    for (uintptr_t o : offsets) {
        char hex[32];
        std::snprintf(hex, sizeof hex, " 0x%lx", static_cast<unsigned long>(o - 1));
        command += hex;
    }
    command += " 2>/dev/null";
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    std::vector<std::string> lines;
    char line[4096];
    while (std::fgets(line, sizeof line, pipe)) {
        std::string l(line);
        while (!l.empty() && (l.back() == '\n' || l.back() == '\r')) l.pop_back();
        lines.push_back(l);
    }
    if (pclose(pipe) == 0 && lines.size() == 2 * offsets.size()) {
        for (size_t i = 0; i < offsets.size(); ++i) {
            if (lines[2 * i + 1].rfind("??", 0) != 0) out[i] = lines[2 * i] + " at " + lines[2 * i + 1];
        }
    }
    return out;
}

PausedInjection::PausedInjection() {
    if (controls().complete) controls().pause();
}
PausedInjection::~PausedInjection() {
    if (controls().complete) controls().resume();
}

#endif

}  // namespace ghemu
