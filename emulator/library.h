// A library as the host drives it: loaded from its file (or linked into the
// process), its catalogue, its instances, and calls with full control over
// the message, the function number and the parameters.  After every message
// the memory manager is checked: a call must leave no block and no heap
// buffer live and misuse no handle; whatever it did wrong is in the
// outcome's problems, together with the host's own findings.
//
//   auto lib = ghemu::Library::load("bin/glyphHerderU.so");
//   ghemu::Session session(*lib);              // one connected instance
//   ghemu::CallOutcome out = session.call("MD5Digest", {ghemu::textParam(lib->build(), "abc")});
//   // out.result, out.log, out.problems, out.allocationEvents
//
// Raw control: Library::send(message, slot, host) with any message, and a
// Host whose function number and parameter count are set at will.
#ifndef GH_EMULATOR_LIBRARY_H
#define GH_EMULATOR_LIBRARY_H

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "emulator/catalogue.h"
#include "emulator/host.h"
#include "emulator/system.h"

namespace ghemu {

// A function name (or number) the catalogue does not know.
struct UnknownFunction : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The host's instance slot: what the library stores there between connect
// and disconnect.
struct Instance {
    void *slot = nullptr;
};

struct CallOutcome {
    Result result;                       // what was set on the result, if anything
    std::vector<OpEntry> log;            // the operations asked, in order
    std::vector<std::string> problems;   // leaks, misuse, operations a host refuses
    unsigned long allocationEvents = 0;  // the library's allocations during the call
    // The named fields the call wrote, and what they hold now.
    std::vector<std::pair<std::u32string, Value>> changedFields;

    bool ok() const { return problems.empty(); }
    size_t count(int32_t op) const;      // log entries of one operation
    std::string problemText() const;     // the problems joined with "; "
};

class Library {
public:
    // Loads a library file and reads its catalogue; the catalogue's marker
    // decides the build (and must match expected, when given).  Throws
    // LoadError or CatalogueError.
    static std::unique_ptr<Library> load(const std::string &path, std::optional<Build> expected = {});
    // A library linked into the process: its entry point and catalogue.
    Library(GlyphHerderEntry entryPoint, Catalogue catalogue, std::string name = "(in process)");

    Build build() const { return catalogue_.build(); }
    const Catalogue &catalogue() const { return catalogue_; }
    const std::string &path() const { return path_; }
    GlyphHerderEntry entry() const { return entry_; }

    // The function number of a catalogue name, or of a decimal number (any
    // 32-bit value, for tests of the dispatch).  Throws UnknownFunction.
    int32_t functionNumber(std::string_view nameOrNumber) const;

    // One message with this host current.  With failAt > 0 the library's
    // failAt-th allocation during the message fails.
    CallOutcome send(int32_t message, void **slot, Host &host, unsigned long failAt = 0);
    CallOutcome connect(Instance &instance, Host &host, unsigned long failAt = 0);
    // Whether each message checks the memory manager's counters (on by
    // default).  Calls made from several threads at once must switch it off:
    // the counters are the whole process's, so one call would be charged
    // with another's blocks; check them once all calls are done instead.
    void setMemoryChecks(bool on) { memoryChecks_ = on; }
    CallOutcome disconnect(Instance &instance, Host &host);
    // A call message: the host holds the function number and parameters.
    CallOutcome call(Instance &instance, Host &host, unsigned long failAt = 0);

private:
    Library(std::unique_ptr<LibraryFile> file, Catalogue catalogue, std::string path);

    std::unique_ptr<LibraryFile> file_;
    GlyphHerderEntry entry_;
    Catalogue catalogue_;
    std::string path_;
    bool memoryChecks_ = true;
};

// A parameter of text from UTF-8 (code points in the wide build, the bytes in
// the byte build), of binary bytes, or a number.
Param textParam(Build build, std::string_view utf8);
Param binaryParam(std::vector<uint8_t> bytes);
Param numberParam(double n);

// A host and connected instances of one library, disconnected at the end.
class Session {
public:
    // Connects the instances; throws std::runtime_error when one cannot be.
    explicit Session(Library &library, size_t instances = 1);
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    Library &library() { return library_; }
    Host &host() { return host_; }
    Instance &instance(size_t i = 0) { return instances_.at(i); }

    // Calls a function by name (or number) with these parameters.
    CallOutcome call(std::string_view function, std::vector<Param> params, size_t instance = 0,
                     unsigned long failAt = 0);
    // Disconnects every instance now; the problems found, if any.
    std::vector<std::string> close();

private:
    Library &library_;
    Host host_;
    std::vector<Instance> instances_;
};

}  // namespace ghemu

#endif
