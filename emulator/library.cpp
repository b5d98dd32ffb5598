// Driving a library through its entry point.
#include "emulator/library.h"

#include <cerrno>
#include <cstdlib>

#include "emulator/memory_watch.h"

namespace ghemu {

size_t CallOutcome::count(int32_t op) const {
    size_t n = 0;
    for (const OpEntry &e : log) n += e.op == op;
    return n;
}

std::string CallOutcome::problemText() const {
    std::string s;
    for (const std::string &p : problems) s += (s.empty() ? "" : "; ") + p;
    return s;
}

std::unique_ptr<Library> Library::load(const std::string &path, std::optional<Build> expected) {
    std::unique_ptr<LibraryFile> file = LibraryFile::open(path);
    Catalogue catalogue;
    try {
        catalogue = Catalogue::parse(file->readCatalogue());
    } catch (const CatalogueError &e) {
        throw CatalogueError(path + ": " + e.what());
    }
    if (expected && *expected != catalogue.build()) {
        throw CatalogueError(path + " is the " + buildName(catalogue.build()) + " build, not the " +
                             buildName(*expected) + " build");
    }
    return std::unique_ptr<Library>(new Library(std::move(file), std::move(catalogue), path));
}

Library::Library(std::unique_ptr<LibraryFile> file, Catalogue catalogue, std::string path)
    : file_(std::move(file)), entry_(file_->entry()), catalogue_(std::move(catalogue)), path_(std::move(path)) {}

Library::Library(GlyphHerderEntry entryPoint, Catalogue catalogue, std::string name)
    : entry_(entryPoint), catalogue_(std::move(catalogue)), path_(std::move(name)) {}

int32_t Library::functionNumber(std::string_view nameOrNumber) const {
    if (const CatalogueFunction *f = catalogue_.find(nameOrNumber)) return f->number;
    std::string text(nameOrNumber);
    if (!text.empty()) {
        char *end = nullptr;
        errno = 0;
        long long n = std::strtoll(text.c_str(), &end, 10);
        if (*end == '\0' && errno == 0 && n >= INT32_MIN && n <= INT32_MAX) return static_cast<int32_t>(n);
    }
    throw UnknownFunction("no function named \"" + text + "\" in " + path_);
}

CallOutcome Library::send(int32_t message, void **slot, Host &host, unsigned long failAt) {
    if (host.build() != build()) {
        throw std::logic_error(std::string("a host of the ") + buildName(host.build()) +
                               " build cannot drive the " + buildName(build()) + " build");
    }
    host.beginCall();
    void *before = slot ? *slot : nullptr;
    if (!memoryChecks_) {
        if (failAt) throw std::logic_error("an allocation failure needs the memory checks");
        CurrentHost current(host);
        entry_(message, slot, 0, 0, 0, Host::callback());
        CallOutcome out;
        out.problems = host.problems();
        out.result = host.takeResult();
        out.log = host.takeLog();
        return out;
    }
    MemoryWatch watch;
    {
        CurrentHost current(host);
        if (failAt) failNthAllocation(failAt);
        entry_(message, slot, 0, 0, 0, Host::callback());
        if (failAt) failNthAllocation(0);
    }
    CallOutcome out;
    out.allocationEvents = watch.events();
    // A connect that filled an empty slot keeps one block (one that replaced
    // a context has freed the old one); a disconnect that cleared the slot
    // has freed one.  Nothing else may change.
    void *after = slot ? *slot : nullptr;
    long expectedBlocks = 0;
    auto low = static_cast<int16_t>(message);
    if (low == GH_MSG_CONNECT && after && !before) expectedBlocks = 1;
    if (low == GH_MSG_DISCONNECT && before && !after) expectedBlocks = -1;
    out.problems = watch.problems(expectedBlocks);
    for (const std::string &p : host.problems()) out.problems.push_back(p);
    out.result = host.takeResult();
    out.log = host.takeLog();
    for (std::u32string &name : host.changedFields()) {
        const Value *v = host.field(name);
        out.changedFields.emplace_back(std::move(name), v ? *v : Value());
    }
    return out;
}

CallOutcome Library::connect(Instance &instance, Host &host, unsigned long failAt) {
    return send(GH_MSG_CONNECT, &instance.slot, host, failAt);
}

CallOutcome Library::disconnect(Instance &instance, Host &host) {
    return send(GH_MSG_DISCONNECT, &instance.slot, host);
}

CallOutcome Library::call(Instance &instance, Host &host, unsigned long failAt) {
    return send(GH_MSG_CALL, &instance.slot, host, failAt);
}

Param textParam(Build build, std::string_view utf8) { return Param{Value::ofUtf8(build, utf8), {}, {}}; }
Param binaryParam(std::vector<uint8_t> bytes) { return Param{Value::ofBinary(std::move(bytes)), {}, {}}; }
Param numberParam(double n) { return Param{Value::ofNumber(n), {}, {}}; }

Session::Session(Library &library, size_t instances)
    : library_(library), host_(library.build()), instances_(instances) {
    for (Instance &i : instances_) {
        CallOutcome out = library_.connect(i, host_);
        if (!i.slot || !out.ok()) {
            close();
            throw std::runtime_error("cannot connect an instance of " + library_.path() +
                                     (out.ok() ? std::string() : ": " + out.problemText()));
        }
    }
}

Session::~Session() { close(); }

CallOutcome Session::call(std::string_view function, std::vector<Param> params, size_t instance,
                          unsigned long failAt) {
    host_.setFunctionNumber(library_.functionNumber(function));
    host_.setParams(std::move(params));
    host_.setParamCount(std::nullopt);
    return library_.call(instances_.at(instance), host_, failAt);
}

std::vector<std::string> Session::close() {
    std::vector<std::string> problems;
    for (Instance &i : instances_) {
        if (!i.slot) continue;
        CallOutcome out = library_.disconnect(i, host_);
        problems.insert(problems.end(), out.problems.begin(), out.problems.end());
        i.slot = nullptr;  // never disconnected twice, whatever the library did
    }
    return problems;
}

}  // namespace ghemu
