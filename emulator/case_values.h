// The value and result forms of the catalogue cases (tests/cases/README.md),
// read for one build.
#ifndef GH_EMULATOR_CASE_VALUES_H
#define GH_EMULATOR_CASE_VALUES_H

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "emulator/host.h"
#include "emulator/ntlm_check.h"
#include "emulator/value.h"

namespace ghemu {

// A case that does not have the documented form.
struct CaseError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A value form: "abc", {"text"}, {"codes"}, {"hex"}, {"bytes"}, {"number"},
// a JSON number, {"repeat", "times"}, {"concat"}, {"result_of"}.  previous holds the
// results of the earlier steps of the case.
Value caseValue(const nlohmann::json &j, Build build, const std::vector<Result> &previous);

// An argument: a value form, optionally with "field" and "kind".
Param caseParam(const nlohmann::json &j, Build build, const std::vector<Result> &previous);

// An expected result: a value form, {"none": true}, {"any": "text" |
// "binary" | "number"}, {"ntlm_authenticate": {...}}, {"wide", "byte"};
// with an optional "type".
struct Expected {
    bool none = false;
    std::optional<ValueKind> any;  // {"any": "text"}: any value of that kind
    std::optional<NtlmExpectation> ntlm;  // a text checked by checkNtlmAuthenticate
    mutable std::string whyNot;    // what the last failed NTLM check found
    Value value;
    std::optional<int> type;

    bool matches(const Result &r) const;
    std::string describe(Build build) const;
};
Expected caseExpected(const nlohmann::json &j, Build build, const std::vector<Result> &previous);

}  // namespace ghemu

#endif
