// Everything of the emulator that differs between Linux and Windows: loading
// a library file and reading its catalogue data, the memory manager's test
// controls, and where the executable lives.  All of it is in system.cpp.
#ifndef GH_EMULATOR_SYSTEM_H
#define GH_EMULATOR_SYSTEM_H

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "host/host_callback.h"

namespace ghemu {

// A library file that cannot be loaded or lacks what a host needs.
struct LoadError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The catalogue data as the library file carries it: the 14-byte
// descriptor and the catalogue strings with their identifiers, in order.
struct RawCatalogue {
    std::vector<uint8_t> descriptor;
    std::vector<std::pair<uint32_t, std::string>> strings;
};

// A loaded library file (dlopen on Linux, LoadLibrary on Windows).  The file
// stays loaded while the object lives.
class LibraryFile {
public:
    // Throws LoadError when the file cannot be loaded or has no entry point.
    static std::unique_ptr<LibraryFile> open(const std::string &path);
    ~LibraryFile();
    LibraryFile(const LibraryFile &) = delete;
    LibraryFile &operator=(const LibraryFile &) = delete;

    GlyphHerderEntry entry() const { return entry_; }
    // Throws LoadError when the descriptor or the strings are missing.
    RawCatalogue readCatalogue() const;

private:
    LibraryFile(void *handle, GlyphHerderEntry entryPoint) : handle_(handle), entry_(entryPoint) {}
    void *handle_;
    GlyphHerderEntry entry_;
};

// The file name of a build's library next to the running executable.
std::string libraryPathNextToExecutable(bool wide);

// The memory manager's test controls.  Where they are missing (Windows),
// memoryControlsAvailable() is false and the rest report zeros and do nothing.
struct MemoryCounters {
    size_t blocks = 0;          // live blocks of the global memory manager
    size_t heap = 0;            // live buffers of the library's ordinary heap
    unsigned long misuse = 0;   // handles given that were not live blocks
    unsigned long events = 0;   // allocation events counted so far
};
bool memoryControlsAvailable();
MemoryCounters memoryCounters();
// The nth allocation event from now fails; 0 cancels.
void failNthAllocation(unsigned long n);

// Host-side allocations are made inside one of these, so that neither fault
// injection nor the event count touches them.
class PausedInjection {
public:
    PausedInjection();
    ~PausedInjection();
    PausedInjection(const PausedInjection &) = delete;
    PausedInjection &operator=(const PausedInjection &) = delete;
};

// Where a library allocates (for the allocation-failure sweep's count of
// allocation points; nothing of it on Windows, where nothing is recorded).
// watchAllocations: fn(context) is called at each allocation event the
// memory manager counts, with its lock held (fn must not call it); null
// stops.  libraryStackOffsets: the return addresses on the calling thread's
// stack that lie in the loaded library containing inLibrary, as offsets
// from its start, innermost first.  describeLibraryOffsets: the source
// place of each offset in a library file ("function at file:line", by
// addr2line where it is installed, else the offset in hexadecimal).
void watchAllocations(void (*fn)(void *context), void *context);
std::vector<uintptr_t> libraryStackOffsets(const void *inLibrary);
std::vector<std::string> describeLibraryOffsets(const std::string &path, const std::vector<uintptr_t> &offsets);

// The command line of a tool as UTF-8, whatever the platform: on Windows
// from the UTF-16 command line (argv there is in the ANSI code page, which
// cannot hold every character), elsewhere argv itself.
class Utf8Arguments {
public:
    Utf8Arguments(int argc, char **argv);
    int argc() const { return static_cast<int>(pointers_.size()) - 1; }
    char **argv() { return pointers_.data(); }

private:
    std::vector<std::string> strings_;
    std::vector<char *> pointers_;  // into strings_, then a null
};

// A tool's output is data: the same bytes on every platform.  On Windows
// standard output and error are switched to binary (no CR added before LF)
// and the console shows UTF-8.  Elsewhere nothing changes.
void useExactOutput();

}  // namespace ghemu

#endif
