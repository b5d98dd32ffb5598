// Running the catalogue cases.
#include "emulator/case_runner.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <set>
#include <sstream>

#include <nlohmann/json.hpp>

#include "emulator/case_values.h"
#include "emulator/fault_sweep.h"

namespace ghemu {

using nlohmann::json;

namespace {

const std::set<std::string> kCaseKeys = {"name",   "comment", "build",       "call",      "args",
                                         "result", "fields",  "fields_after", "steps",     "instances",
                                         "failure", "fault_sweep", "param_count", "host_mistakes"};
const std::set<std::string> kStepKeys = {"comment", "call",     "args",     "result",     "fields",
                                         "fields_after", "instance", "failure", "param_count"};

struct Step {
    json call;
    json args = json::array();
    json result;  // null: not checked
    json fields = json::object();
    json fieldsAfter = json::object();
    json failure;  // null: the case's
    size_t instance = 0;
    std::optional<int32_t> paramCount;
};

struct Case {
    std::string name;
    std::optional<Build> only;
    std::vector<Step> steps;
    size_t instances = 1;
    json fields = json::object();
    json failure = json::array({json{{"text", ""}}});
    bool sweep = true;
    Host::Mistakes mistakes;
};

void checkKeys(const json &j, const std::set<std::string> &allowed, const char *what) {
    for (auto it = j.begin(); it != j.end(); ++it) {
        if (!allowed.count(it.key())) throw CaseError(std::string("unknown key \"") + it.key() + "\" in a " + what);
    }
}

json objectOf(const json &j, const char *key) {
    if (!j.contains(key)) return json::object();
    if (!j[key].is_object()) throw CaseError(std::string("\"") + key + "\" takes an object of field names");
    return j[key];
}

Step parseStep(const json &j, const char *what) {
    checkKeys(j, what == std::string("case") ? kCaseKeys : kStepKeys, what);
    Step s;
    if (!j.contains("call")) throw CaseError(std::string("a ") + what + " without \"call\"");
    s.call = j["call"];
    if (!s.call.is_string() && !s.call.is_number_integer()) {
        throw CaseError("\"call\" takes a function name or number");
    }
    if (j.contains("args")) {
        s.args = j["args"];
        if (!s.args.is_array()) throw CaseError("\"args\" takes a list");
    }
    if (j.contains("result")) s.result = j["result"];
    if (what != std::string("case")) {
        s.fields = objectOf(j, "fields");
        if (j.contains("failure")) s.failure = j["failure"];
        if (j.contains("instance")) {
            if (!j["instance"].is_number_unsigned()) throw CaseError("\"instance\" takes an index");
            s.instance = j["instance"].get<size_t>();
        }
    }
    s.fieldsAfter = objectOf(j, "fields_after");
    if (j.contains("param_count")) {
        if (!j["param_count"].is_number_integer()) throw CaseError("\"param_count\" takes a number");
        s.paramCount = j["param_count"].get<int32_t>();
    }
    return s;
}

Case parseCase(const json &j) {
    if (!j.is_object()) throw CaseError("a case is an object");
    checkKeys(j, kCaseKeys, "case");
    Case c;
    if (j.contains("build")) {
        std::string b = j["build"].is_string() ? j["build"].get<std::string>() : "";
        if (b != "both") {
            c.only = parseBuild(b);
            if (!c.only) throw CaseError("\"build\" takes \"wide\", \"byte\" or \"both\"");
        }
    }
    c.fields = objectOf(j, "fields");
    if (j.contains("failure")) {
        c.failure = j["failure"];
        if (!c.failure.is_array()) throw CaseError("\"failure\" takes a list of results");
    }
    if (j.contains("fault_sweep")) {
        if (!j["fault_sweep"].is_boolean()) throw CaseError("\"fault_sweep\" takes true or false");
        c.sweep = j["fault_sweep"].get<bool>();
    }
    for (const json &m : j.value("host_mistakes", json::array())) {
        if (m == "uncounted_params") {
            c.mistakes.uncountedParams = true;
        } else if (m == "overstated_counts") {
            c.mistakes.overstatedCounts = true;
        } else {
            throw CaseError("\"host_mistakes\" takes \"uncounted_params\" and \"overstated_counts\"");
        }
    }
    if (j.contains("steps")) {
        for (const char *k : {"call", "args", "result", "fields_after", "param_count"}) {
            if (j.contains(k)) throw CaseError(std::string("a case with \"steps\" has its \"") + k + "\" in the steps");
        }
        if (!j["steps"].is_array() || j["steps"].empty()) throw CaseError("\"steps\" takes a list of calls");
        for (const json &s : j["steps"]) {
            if (!s.is_object()) throw CaseError("a step is an object");
            c.steps.push_back(parseStep(s, "step"));
        }
        if (j.contains("instances")) {
            if (!j["instances"].is_number_unsigned() || j["instances"].get<size_t>() == 0 ||
                j["instances"].get<size_t>() > 64) {
                throw CaseError("\"instances\" takes a count from 1 to 64");
            }
            c.instances = j["instances"].get<size_t>();
        }
        for (const Step &s : c.steps) {
            if (s.instance >= c.instances) throw CaseError("a step names an instance the case does not connect");
        }
    } else {
        c.steps.push_back(parseStep(j, "case"));
    }
    return c;
}

void setFields(Host &host, const json &fields, Build build, const std::vector<Result> &previous) {
    for (auto it = fields.begin(); it != fields.end(); ++it) {
        host.setField(Value::ofUtf8(build, it.key()).text(), caseValue(it.value(), build, previous));
    }
}

// A library fault found while setting up a case (a connect that fails).
struct SetupFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

using StepCheck = std::function<void(size_t step, const CallOutcome &, Host &, const std::vector<Result> &previous)>;

// The function a step calls, by name (a number as the catalogue knows it).
std::string functionName(const Library &library, const json &call) {
    if (call.is_string()) return call.get<std::string>();
    const CatalogueFunction *f = library.catalogue().find(static_cast<int16_t>(call.get<int32_t>()));
    return f ? f->name : "#" + call.dump();
}

// One run of a case's steps 0..last on freshly connected instances; failAt
// applies to step last.  sites, when given, learns which function each
// allocation belongs to; beforeLast, when given, sees the host just before
// step last is called.  The instances are disconnected at the end, and what
// that finds is added to the last outcome's problems.
CallOutcome runSteps(Library &library, const Case &c, size_t last, unsigned long failAt, const StepCheck &check,
                     AllocationSites *sites, const std::function<void(Host &)> &beforeLast = nullptr) {
    Build build = library.build();
    Host host(build);
    host.setMistakes(c.mistakes);
    std::vector<Instance> instances(c.instances);
    std::vector<std::string> closing;
    auto disconnectAll = [&] {
        for (Instance &i : instances) {
            if (!i.slot) continue;
            CallOutcome out = library.disconnect(i, host);
            for (const std::string &p : out.problems) closing.push_back("at disconnect: " + p);
            i.slot = nullptr;
        }
    };
    CallOutcome lastOutcome;
    try {
        std::vector<Result> previous;
        setFields(host, c.fields, build, previous);
        for (Instance &i : instances) {
            CallOutcome out = library.connect(i, host);
            if (!i.slot || !out.ok()) throw SetupFailure("connect failed: " + out.problemText());
        }
        for (size_t s = 0; s <= last; ++s) {
            const Step &step = c.steps[s];
            setFields(host, step.fields, build, previous);
            host.setFunctionNumber(step.call.is_string() ? library.functionNumber(step.call.get<std::string>())
                                                         : step.call.get<int32_t>());
            std::vector<Param> params;
            for (const json &a : step.args) params.push_back(caseParam(a, build, previous));
            host.setParams(std::move(params));
            host.setParamCount(step.paramCount);
            if (s == last && beforeLast) beforeLast(host);
            if (sites) sites->attribute(functionName(library, step.call));
            CallOutcome out = library.call(instances[step.instance], host, s == last ? failAt : 0);
            if (sites) sites->attribute("");
            if (check) check(s, out, host, previous);
            previous.push_back(out.result);
            if (s == last) lastOutcome = std::move(out);
        }
    } catch (...) {
        if (sites) sites->attribute("");
        disconnectAll();
        throw;
    }
    disconnectAll();
    lastOutcome.problems.insert(lastOutcome.problems.end(), closing.begin(), closing.end());
    return lastOutcome;
}

std::string stepName(const Case &c, size_t s) {
    std::string call = c.steps[s].call.is_string() ? c.steps[s].call.get<std::string>() : c.steps[s].call.dump();
    return c.steps.size() == 1 ? call : "step " + std::to_string(s) + " (" + call + ")";
}

std::string compactLog(const std::vector<OpEntry> &log) {
    std::string s;
    for (const OpEntry &e : log) {
        s += (s.empty() ? "" : " ") + std::to_string(e.op);
        if (e.op == 30 || e.op == 38 || e.op == 51) s += "(" + std::to_string(e.number) + ",t" + std::to_string(e.type) + ")";
        if (e.op == 31 || e.op == 45) s += "(" + std::to_string(e.number) + ")";
        if (e.op == 28) s += "(\"" + e.name + "\")";
    }
    return s.empty() ? "none" : s;
}

class CaseRun {
public:
    CaseRun(Library &library, const Case &c, const std::string &file, const CaseRunOptions &options,
            CaseReport &report)
        : library_(library), case_(c), file_(file), options_(options), report_(report) {}

    // True when the case passed.
    bool run() {
        size_t before = report_.failures.size();
        try {
            runSteps(library_, case_, case_.steps.size() - 1, 0,
                     [this](size_t s, const CallOutcome &out, Host &host, const std::vector<Result> &previous) {
                         checkStep(s, out, host, previous);
                     },
                     options_.sites);
        } catch (const std::exception &e) {
            fail("", e.what());
        }
        if (report_.failures.size() == before && options_.faultSweep && case_.sweep && memoryControlsAvailable()) {
            for (size_t s = 0; s < case_.steps.size(); ++s) sweep(s);
        }
        return report_.failures.size() == before;
    }

private:
    void fail(const std::string &where, const std::string &message) {
        report_.failures.push_back(CaseFailure{file_, case_.name, buildName(library_.build()), where, message});
    }

    void checkStep(size_t s, const CallOutcome &out, Host &host, const std::vector<Result> &previous) {
        const Step &step = case_.steps[s];
        Build build = library_.build();
        if (!out.ok()) fail(stepName(case_, s), out.problemText());
        if (!step.result.is_null()) {
            Expected expected = caseExpected(step.result, build, previous);
            if (!expected.matches(out.result)) {
                fail(stepName(case_, s), "expected " + expected.describe(build) + "\n     got " +
                                             describeResult(out.result, build) + "\n     host operations: " +
                                             compactLog(out.log));
            }
        }
        for (auto it = step.fieldsAfter.begin(); it != step.fieldsAfter.end(); ++it) {
            Value expected = caseValue(it.value(), build, previous);
            const Value *actual = host.field(Value::ofUtf8(build, it.key()).text());
            if (!actual || *actual != expected) {
                fail(stepName(case_, s), "field \"" + it.key() + "\": expected " + describeValue(expected, build) +
                                             "\n     got " + (actual ? describeValue(*actual, build) : "no such field"));
            }
        }
    }

    // The fields a step's fields_after names, as the host holds them.
    std::vector<std::optional<Value>> namedFields(const Step &step, const Host &host) const {
        std::vector<std::optional<Value>> values;
        for (auto it = step.fieldsAfter.begin(); it != step.fieldsAfter.end(); ++it) {
            const Value *v = host.field(Value::ofUtf8(library_.build(), it.key()).text());
            values.push_back(v ? std::optional<Value>(*v) : std::nullopt);
        }
        return values;
    }

    // One attempt of the sweep of step s.  The fields its fields_after names
    // must hold those values when the call gives its normal result, and the
    // values they had before the call when it gives a failure result: a
    // call that fails changes no field, and one that succeeds changes all
    // it should.  (A result that is both, say the empty text, allows
    // either.)  What differs is added to the outcome's problems.
    CallOutcome sweepAttempt(size_t s, unsigned long failAt, const std::vector<Expected> &allowed,
                             std::optional<Result> *normal) {
        const Step &step = case_.steps[s];
        Build build = library_.build();
        std::vector<std::optional<Value>> before, after;
        CallOutcome out = runSteps(
            library_, case_, s, failAt,
            [&](size_t at, const CallOutcome &, Host &host, const std::vector<Result> &) {
                if (at == s) after = namedFields(step, host);
            },
            options_.sites, [&](Host &host) { before = namedFields(step, host); });
        if (failAt == 0) *normal = out.result;
        if (!*normal || after.size() != before.size()) return out;
        bool succeeded = out.result == **normal;
        bool failed = std::any_of(allowed.begin(), allowed.end(), [&](const Expected &e) { return e.matches(out.result); });
        if (!succeeded && !failed) return out;  // the sweep reports the result itself
        size_t i = 0;
        for (auto it = step.fieldsAfter.begin(); it != step.fieldsAfter.end(); ++it, ++i) {
            std::optional<Value> expected = caseValue(it.value(), build, {});
            if ((succeeded && after[i] == expected) || (failed && after[i] == before[i])) continue;
            auto show = [&](const std::optional<Value> &v) { return v ? describeValue(*v, build) : std::string("no such field"); };
            out.problems.push_back("field \"" + it.key() + "\" holds " + show(after[i]) + ", not " +
                                   (succeeded ? show(expected) + " (the call gave its normal result)" : "") +
                                   (succeeded && failed ? " or " : "") +
                                   (failed ? show(before[i]) + " (as before a failed call)" : ""));
        }
        return out;
    }

    void sweep(size_t s) {
        Build build = library_.build();
        const json &failures = case_.steps[s].failure.is_null() ? case_.failure : case_.steps[s].failure;
        std::vector<Expected> allowed;
        std::string where = "allocation-failure sweep of " + stepName(case_, s);
        try {
            for (const json &f : failures) allowed.push_back(caseExpected(f, build, {}));
            std::optional<Result> normal;
            SweepReport sweep = sweepAllocationFailures(
                [&](unsigned long failAt) { return sweepAttempt(s, failAt, allowed, &normal); },
                [&](const Result &r) {
                    return std::any_of(allowed.begin(), allowed.end(), [&](const Expected &e) { return e.matches(r); });
                },
                build);
            report_.sweptCalls += sweep.events;
            for (const std::string &f : sweep.failures) fail(where, f);
        } catch (const std::exception &e) {
            fail(where, e.what());
        }
    }

    Library &library_;
    const Case &case_;
    const std::string &file_;
    const CaseRunOptions &options_;
    CaseReport &report_;
};

std::string baseName(const std::string &path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string CaseFailure::text() const {
    std::string s = "FAIL " + file + ": \"" + caseName + "\" [" + build + "]";
    if (!where.empty()) s += " " + where;
    return s + ":\n     " + message;
}

void runCaseFile(const std::string &path, Library &library, const CaseRunOptions &options, CaseReport &report) {
    std::string file = baseName(path);
    json doc;
    try {
        std::ifstream in(path, std::ios::binary);
        if (!in) throw CaseError("cannot be read");
        doc = json::parse(in);
        if (!doc.is_object() || !doc.contains("cases") || !doc["cases"].is_array()) {
            throw CaseError("is not an object with a list \"cases\"");
        }
    } catch (const std::exception &e) {
        report.failures.push_back(CaseFailure{file, "(the file)", buildName(library.build()), "", e.what()});
        ++report.failed;
        return;
    }
    std::set<std::string> names;
    for (const json &j : doc["cases"]) {
        std::string name = j.is_object() && j.contains("name") && j["name"].is_string()
                               ? j["name"].get<std::string>()
                               : "(case " + std::to_string(names.size() + 1) + ")";
        Case c;
        try {
            if (!names.insert(name).second) throw CaseError("another case of this file has the same name");
            c = parseCase(j);
            c.name = name;
        } catch (const std::exception &e) {
            report.failures.push_back(CaseFailure{file, name, buildName(library.build()), "", e.what()});
            ++report.failed;
            continue;
        }
        if ((c.only && *c.only != library.build()) ||
            (!options.nameFilter.empty() && name.find(options.nameFilter) == std::string::npos)) {
            ++report.skipped;
            continue;
        }
        bool passed = CaseRun(library, c, file, options, report).run();
        ++(passed ? report.passed : report.failed);
    }
}

std::vector<std::string> caseFiles(const std::string &folderOrFile) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::is_directory(folderOrFile, ec)) return {folderOrFile};
    std::vector<std::string> files;
    for (const fs::directory_entry &e : fs::directory_iterator(folderOrFile, ec)) {
        if (e.path().extension() == ".json") files.push_back(e.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace ghemu
