// The emulator's platform code: library loading and catalogue reading, the
// memory manager's test controls, the executable's folder.
//
// Linux: the library exports its catalogue as the data symbols of
// resources/catalogue.h, read with dlsym; glyphmem offers the test controls.
// Windows: the catalogue is the "Q7INF" raw-data resource and the string
// table (language 1033); kernel32's memory manager has no test controls.
#include "emulator/system.h"

#include "platform/globalmem.h"
#include "resources/catalogue.h"

#if defined(_WIN32)
#  include <windows.h>
#else
#  include <dlfcn.h>
#  include <unistd.h>
#endif

namespace ghemu {

namespace {

// Far more strings than a catalogue has: a table without its terminator is
// not walked without end.
constexpr size_t kMaxStrings = 4096;

}  // namespace

#if defined(_WIN32)

std::unique_ptr<LibraryFile> LibraryFile::open(const std::string &path) {
    HMODULE module = LoadLibraryA(path.c_str());
    if (!module) {
        throw LoadError("cannot load " + path + " (error " + std::to_string(GetLastError()) + ")");
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
    HRSRC info = FindResourceExA(module, MAKEINTRESOURCEA(10), "Q7INF",
                                 MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    HGLOBAL loaded = info ? LoadResource(module, info) : nullptr;
    const void *data = loaded ? LockResource(loaded) : nullptr;
    if (!data) throw LoadError("the library has no Q7INF descriptor resource");
    const auto *bytes = static_cast<const uint8_t *>(data);
    raw.descriptor.assign(bytes, bytes + SizeofResource(module, info));
    for (uint32_t id = GH_CATALOGUE_FIRST_ID; raw.strings.size() < kMaxStrings; ++id) {
        char buffer[1024];
        int n = LoadStringA(module, id, buffer, sizeof buffer);
        if (n <= 0) break;
        raw.strings.emplace_back(id, std::string(buffer, static_cast<size_t>(n)));
    }
    return raw;
}

std::string libraryPathNextToExecutable(bool wide) {
    char buffer[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    std::string exe(buffer, n);
    size_t slash = exe.find_last_of("\\/");
    std::string folder = slash == std::string::npos ? "." : exe.substr(0, slash);
    return folder + (wide ? "\\glyphHerderU.dll" : "\\glyphHerder.dll");
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

bool memoryControlsAvailable() { return true; }

MemoryCounters memoryCounters() {
    MemoryCounters c;
    c.blocks = glyphmem_live_blocks();
    c.heap = glyphmem_live_heap();
    c.misuse = glyphmem_misuse_count();
    c.events = glyphmem_events();
    return c;
}

void failNthAllocation(unsigned long n) { glyphmem_fail_nth(n); }

PausedInjection::PausedInjection() { glyphmem_pause_injection(); }
PausedInjection::~PausedInjection() { glyphmem_resume_injection(); }

#endif

}  // namespace ghemu
