// The emulated Omnis host: the parameters of a call, named fields, the
// function's result, and the host callback that serves the library's
// operations 28, 30, 31, 38, 45, 48 and 51 from them.
//
// The callback has no user-data argument, so it serves the host made current
// on the calling thread with CurrentHost; Library does that around each
// entry-point call, and in-process tests do it around their wrapper calls:
//
//   ghemu::Host host(ghemu::Build::Wide);
//   host.setParams({ghemu::Param{ghemu::Value::ofNumber(3.99)}});
//   ghemu::CurrentHost current(host);
//   int32_t n = GetFuncParmInt2(211, ghemu::Host::callback());
//
// Blocks the host delivers come from the shared global memory manager (with
// fault injection paused) and become the library's; values the library sets
// are copied at once, and the library's blocks are never kept or freed.
//
// A lean host: each value is held once, in the build's own form (texts as
// 32-bit characters in the wide build, as bytes in the byte build); lengths
// are answered without touching the value; a block is filled with one copy
// straight from the held value; a value set is copied out once.  What the
// library asks is logged as small records, with no text built per operation.
// Anything the library does that a host could not accept (an unknown
// operation or target, a block whose count exceeds its size, ...) is noted
// as a problem.
#ifndef GH_EMULATOR_HOST_H
#define GH_EMULATOR_HOST_H

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "emulator/value.h"
#include "host/host_callback.h"

namespace ghemu {

// A parameter: its value, its 16-bit field number (by default one of its
// own, 1000 + its position) and its field kind (by default 15 for a binary
// value, 0 otherwise; 14, 15 and 16 make it binary, as does a negative field
// number).
struct Param {
    Value value;
    std::optional<int16_t> fieldNumber;
    std::optional<int16_t> kind;
};

// One operation the library asked of the host.
struct OpEntry {
    int32_t op = 0;
    int32_t number = 0;  // parameter, target, field reference or field number
    int32_t type = 0;
    int32_t count = 0;
    std::string name;    // operation 28: the name looked up (UTF-8)
    std::string describe() const;
};

class Host {
public:
    explicit Host(Build build);
    Host(const Host &) = delete;
    Host &operator=(const Host &) = delete;

    Build build() const { return build_; }

    // The next call: its function number (operation 48), its parameters
    // (operation 51 from 211 on) and the count reported on 210 (by default
    // the number of parameters; parameters beyond it are not delivered).
    void setFunctionNumber(int32_t number) { functionNumber_ = number; }
    int32_t functionNumber() const { return functionNumber_; }
    void setParams(std::vector<Param> params);
    void setParamCount(std::optional<int32_t> count) { paramCount_ = count; }
    const std::vector<Param> &params() const { return params_; }

    // Named fields, found by operation 28.  They keep their values from call
    // to call.  Returns the field's reference.
    int16_t setField(const std::u32string &name, Value value);
    const Value *field(const std::u32string &name) const;
    // Names of the fields a library wrote since beginCall, in order of names.
    std::vector<std::u32string> changedFields() const;
    void clearFields();

    // Operation 45 answers for a field number that is not a parameter's.
    void setFieldKind(int16_t fieldNumber, int16_t kind) { extraKinds_[fieldNumber] = kind; }

    // Mistakes of a careless host, which the library must take in its stride:
    // parameters beyond the reported count delivered all the same; blocks
    // whose count says one element more than they hold.
    struct Mistakes {
        bool uncountedParams = false;
        bool overstatedCounts = false;
    };
    void setMistakes(Mistakes mistakes) { mistakes_ = mistakes; }

    // Forgets the result, the log and the problems of the previous call.
    void beginCall();
    const Result &result() const { return result_; }
    const std::vector<OpEntry> &log() const { return log_; }
    // The result and the log handed over without a copy (the host keeps
    // none afterwards).
    Result takeResult() { return std::exchange(result_, Result::none()); }
    std::vector<OpEntry> takeLog() { return std::exchange(log_, {}); }
    size_t count(int32_t op) const;  // log entries of that operation
    const std::vector<std::string> &problems() const { return problems_; }
    void noteProblem(std::string what);

    // The callback for the library; it serves the current host.
    static HostCallback callback();
    // One operation with its arguments (the callback unpacks them).
    int32_t operation(int32_t op, int32_t a, int32_t b, int32_t c, void *p);

private:
    struct Field {
        std::u32string name;
        Value value;
        int16_t ref;
        bool changed;
    };

    int32_t paramCountValue() const;
    const Value *paramValue(int32_t number) const;
    std::optional<int16_t> paramFieldNumber(int32_t number) const;
    // byteLength, when given, caches the value's length in bytes
    // (SIZE_MAX: not known yet).
    void fetch(const Value &v, int16_t fieldNumber, int32_t type, int32_t count, void *buffer,
               size_t *byteLength = nullptr);
    // Puts a block of 4 + bytes bytes holding count in the slot (the block
    // offered there resized, or a new one) and has write fill its data.
    template <class Write>
    void deliverBlock(void *slot, uint32_t count, size_t bytes, Write write);
    std::optional<Value> readSetValue(int32_t type, const void *address);
    void store(int32_t target, int32_t type, Value v);
    Field *fieldByRef(int32_t ref);

    int32_t getFldRef(const void *counted);
    void getFldInfo(void *record);

    Build build_;
    int32_t functionNumber_ = 0;
    std::vector<Param> params_;
    std::vector<size_t> paramByteLengths_;  // each parameter's length in bytes, once asked
    std::optional<int32_t> paramCount_;
    std::vector<Field> fields_;
    std::map<int16_t, int16_t> extraKinds_;
    Mistakes mistakes_;
    Result result_;
    std::vector<OpEntry> log_;
    std::vector<std::string> problems_;
};

// Makes a host the one the callback serves on this thread, for the lifetime
// of the object (the previous one is restored afterwards).
class CurrentHost {
public:
    explicit CurrentHost(Host &host);
    ~CurrentHost();
    CurrentHost(const CurrentHost &) = delete;
    CurrentHost &operator=(const CurrentHost &) = delete;

private:
    Host *previous_;
};

// The first reference operation 28 hands out; far from 202, 210 and the
// parameter numbers.
enum { FIRST_FIELD_REFERENCE = 20001, FIRST_PARAM_FIELD_NUMBER = 1000 };

}  // namespace ghemu

#endif
