// glyphhost: the command-line host.  Lists a build's catalogue and calls its
// functions, one or several on one instance.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "emulator/host_args.h"
#include "emulator/host_output.h"
#include "emulator/kernel_paths.h"
#include "emulator/library.h"
#include "emulator/reference.h"

namespace {

const char *kDescription =
    "glyphhost - the command-line host of the glyphHerder library.\n"
    "\n"
    "  glyphhost [OPTIONS] list                      the catalogue: number, name, parameters, reference,\n"
    "                                                and what each function does\n"
    "  glyphhost help [NAME]                         a function's reference entry (without NAME: all names)\n"
    "  glyphhost --version                           the version of glyphHerder\n"
    "  glyphhost [OPTIONS] call [@N] NAME [ARG...] [:: [@N] NAME [ARG...]]...\n"
    "                                                calls functions, one after another\n"
    "  glyphhost [OPTIONS] run FILE                  calls from a script (FILE - reads standard input)\n"
    "  glyphhost paths                               the fast paths of each kernel on this processor, the one\n"
    "                                                the library takes and why (GH_FORCE_PATH=kernel:path,...\n"
    "                                                and GH_FORCE_PORTABLE=1 change it; a force that cannot be\n"
    "                                                followed is an error)\n"
    "\n"
    "NAME is a catalogue name or a function number.  Options go before the subcommand:\n"
    "every word after NAME is an argument, and one that looks like an option (--name) is\n"
    "refused (text:--name passes it as text).  @N before NAME sends the call to the Nth\n"
    "connected instance (@1, the first, by default; up to @16): each has its own state,\n"
    "such as its Blowfish key.\n"
    "\n"
    "Arguments are text unless a prefix says otherwise:\n"
    "  abc              text: the characters typed (UTF-8).  In the byte build each must be\n"
    "                   one of its characters, U+0000 to U+00FF: a typed é is the byte E9;\n"
    "                   bytes that are not UTF-8 go as they are\n"
    "  text:STR         text, explicitly (text::: passes \"::\", text:num:3 passes \"num:3\",\n"
    "                   text: alone the empty text)\n"
    "  esc:STR          text with escapes: \\r \\n \\t \\0 \\\\ \\\" and \\x{HEX} for any code,\n"
    "                   e.g. esc:a\\r\\nb or esc:caf\\x{E9} (quote it for the shell: 'esc:a\\r\\nb')\n"
    "  expr:EXPR        text made of pieces: \"text\" (escapes as in esc:), each optionally\n"
    "                   followed by *N, joined with +, e.g. 'expr:\"ab\"*3+\"\\n\"'\n"
    "  num:N            a number: 3, -2.5, 1e12, nan, inf\n"
    "  hex:00ab         binary, from pairs of hexadecimal digits (hex: alone: empty)\n"
    "  bytes:STR        binary, the UTF-8 bytes of STR\n"
    "  codes:233,8364   text of these character codes (decimal or 0x...)\n"
    "  textfile:PATH    text, the contents of a UTF-8 file (its bytes in the byte build)\n"
    "  binfile:PATH     binary, the contents of a file\n"
    "  field:NAME=VAL   sets the named field NAME to VAL (any form above) and passes NAME\n"
    "  field:NAME       passes NAME, a field set by an earlier call\n"
    "  prev:            the previous call's result, with its type\n"
    "\n"
    "Output: the result's kind and value, or \"no result set\"; then every named field the\n"
    "call changed (field NAME = ...).  A text is shown in double quotes with escapes, as\n"
    "esc: reads them, for control characters, NUL, \\ and \" and codes that are not Unicode\n"
    "characters; others are printed as UTF-8.  The byte build's characters are the bytes\n"
    "0 to 255, printed as the characters of those codes (the byte E9 as é; 80 to 9F as\n"
    "escapes).  Binary is lowercase hexadecimal, followed by its text in parentheses when\n"
    "every byte is printable ASCII, or (empty).  A number is printed as a number.  The\n"
    "label is the value's kind, text, binary or number, whether the library set a text as\n"
    "a text or as a text block.  With several calls each line starts with the function's\n"
    "name (and @N when the calls use several instances).\n"
    "  --value-only     prints only the values, one line a call: a text escaped, without\n"
    "                   quotes; binary as hexadecimal; never a message in a value's place\n"
    "  --raw            prints texts as they are: UTF-8 in the wide build, the bytes\n"
    "                   themselves in the byte build, with no quotes or escapes\n"
    "  --out FILE       writes the last call's result to FILE: binary as its bytes, text as\n"
    "                   --raw prints it, a number as printed; no file when it set no result\n"
    "\n"
    "Exit status:\n"
    "  0  every call set a result\n"
    "  1  a usage, argument, file or loading error (one line on standard error)\n"
    "  2  the library misbehaved: a memory block left live, a handle freed twice, an\n"
    "     operation no host accepts\n"
    "  3  a call set no result (\"glyphhost: NAME set no result\" on standard error)\n"
    "  4  with --fail-empty: a result was the empty text or an empty binary value\n"
    "     (\"glyphhost: NAME gave the empty text\" on standard error)\n"
    "Every call runs; the status is the first of 3 and 4 that applies.  A call with more\n"
    "arguments than its function reads is made, with a warning that names its parameters.\n"
    "\n"
    "Scripts: one call per line, [@N] NAME ARG..., words separated by blanks; '...' and\n"
    "\"...\" quote (in \"...\" \\\" and \\\\ stand for \" and \\); # begins a comment.  Every line's\n"
    "function name is checked before the first line runs.\n"
    "\n"
    "Examples:\n"
    "  glyphhost list\n"
    "  glyphhost help hexEncode\n"
    "  glyphhost call MD5Digest abc                  text: \"900150983cd24fb0d6963f7d28e17f72\"\n"
    "  glyphhost --value-only call base64Encode hex:00ff10\n"
    "  glyphhost call blowfishContext secret :: blowfishEncryptToText 'attack at dawn'\n"
    "  glyphhost call @1 blowfishContext one :: @2 blowfishContext two \\\n"
    "      :: @1 blowfishEncryptToText abc :: @2 blowfishEncryptToText abc\n"
    "  glyphhost call splitstring field:list=a,b,c , :: splitstring field:list ,\n"
    "  glyphhost call base64Encode 'esc:a\\r\\nb' :: base64Decode prev:\n"
    "  glyphhost --fail-empty call base64Decode '!!'    (exit status 4)\n"
    "  glyphhost call makeCRAMresponse PDE4OTYuNjk3MTcwOTUyQHBvc3RvZmZpY2UucmVzdG9uLm1jaS5uZXQ+ tim tanstaaftanstaaf\n"
    "  glyphhost call NTLMchallenge :: NTLMresponse \"$TYPE2\" User Password COMPUTER\n"
    "  glyphhost --build byte --out bytes.bin call hexToBinary 00ff\n"
    "  echo 'SHA1Digest \"hello world\"' | glyphhost run -\n";

struct Options {
    std::string build = "wide";
    bool buildGiven = false;
    std::string library;
    std::string out;
    bool valueOnly = false;
    bool raw = false;
    bool failEmpty = false;
};

// The exit statuses (--help lists them).
enum Status { kOk = 0, kUsage = 1, kMisbehaved = 2, kNoResult = 3, kEmptyResult = 4 };

// A failure of the library itself (exit status 2).
struct LibraryFault : std::runtime_error {
    using std::runtime_error::runtime_error;
};

void warn(const std::string &what) { std::fprintf(stderr, "glyphhost: %s\n", what.c_str()); }

std::unique_ptr<ghemu::Library> openLibrary(const Options &o) {
    auto build = ghemu::parseBuild(o.build);
    if (!build) throw ghemu::ArgumentError("--build takes wide or byte");
    if (o.library.empty()) {
        return ghemu::Library::load(ghemu::libraryPathNextToExecutable(*build == ghemu::Build::Wide), build);
    }
    auto library = ghemu::Library::load(o.library);
    if (o.buildGiven && library->build() != *build) {
        throw ghemu::ArgumentError("--build " + o.build + " disagrees with --library " + o.library + ", which is the " +
                                   ghemu::buildName(library->build()) + " build (leave out --build with --library)");
    }
    return library;
}

void list(const Options &o) {
    auto library = openLibrary(o);
    const ghemu::Catalogue &c = library->catalogue();
    size_t nameWidth = 0, paramWidth = 0;
    for (const auto &f : c.functions()) {
        nameWidth = std::max(nameWidth, f.name.size());
        paramWidth = std::max(paramWidth, f.params.size() + 2);
    }
    std::printf("# %s: %s build, group %s, %zu functions\n", library->path().c_str(),
                ghemu::buildName(library->build()), c.group().c_str(), c.functions().size());
    for (const auto &f : c.functions()) {
        std::string params = "(" + f.params + ")";
        std::printf("%2d  %-*s  %-*s  %u\n", f.number, static_cast<int>(nameWidth), f.name.c_str(),
                    static_cast<int>(paramWidth), params.c_str(), f.reference);
        const ghemu::ReferenceEntry *entry = ghemu::findReferenceEntry(f.name);
        if (!entry) {
            std::printf("    (not in the function reference)\n");
        } else {
            std::printf("    %s%s\n", entry->summary, entry->built ? "" : " (not available yet)");
        }
    }
}

std::vector<std::string> referenceNames() {
    std::vector<std::string> names;
    for (size_t i = 0; i < ghemu::kReferenceEntryCount; ++i) names.push_back(ghemu::kReferenceEntries[i].name);
    return names;
}

// Without a name: every function by group, with its summary.  With one: its
// reference entry, then the notation of the examples.
void help(const std::string &name) {
    if (name.empty()) {
        std::string group;
        for (size_t i = 0; i < ghemu::kReferenceEntryCount; ++i) {
            const ghemu::ReferenceEntry &e = ghemu::kReferenceEntries[i];
            if (group != e.group) {
                group = e.group;
                std::printf("%s%s\n", i ? "\n" : "", e.group);
            }
            std::printf("  %-22s %s%s\n", e.name, e.summary, e.built ? "" : " (not available yet)");
        }
        std::printf("\nglyphhost help NAME prints a function's entry: parameters, result, failures, examples.\n");
        return;
    }
    const ghemu::ReferenceEntry *entry = ghemu::findReferenceEntry(name);
    if (!entry) {
        std::string near = ghemu::nearestName(name, referenceNames());
        throw ghemu::ArgumentError("no function is named \"" + name + "\"" +
                                   (!near.empty() ? " (did you mean " + near + "?)"
                                                  : std::string(" (glyphhost help lists them)")));
    }
    std::printf("%s\n%s", entry->text, ghemu::kReferenceLegend);
}

// The file --out names gets the result's own bytes; no file when none was set.
void writeOut(const Options &o, const ghemu::Result &r, ghemu::Build build) {
    if (!r.set) return;
    std::string data = r.value.isBinary() ? std::string(r.value.bytes.begin(), r.value.bytes.end())
                                          : ghemu::bareValue(r.value, build, true);
    std::ofstream out(o.out, std::ios::binary);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    if (!out) throw ghemu::ArgumentError("cannot write " + o.out);
}

// The function number of a call's name; unknown names are refused with the
// nearest name of the catalogue.
int32_t functionNumber(const ghemu::Library &library, const ghemu::CallWords &call, const std::string &where) {
    try {
        return library.functionNumber(call.function);
    } catch (const ghemu::UnknownFunction &) {
        std::vector<std::string> names;
        for (const auto &f : library.catalogue().functions()) names.push_back(f.name);
        std::string near = ghemu::nearestName(call.function, names);
        throw ghemu::ArgumentError(where + "unknown function \"" + call.function + "\"" +
                                   (!near.empty() ? " (did you mean " + near + "?)"
                                                  : std::string(" (glyphhost list shows them)")));
    }
}

std::string ordinal(size_t n) {
    const char *suffix = n % 10 == 1 && n % 100 != 11 ? "st" : n % 10 == 2 && n % 100 != 12 ? "nd"
                         : n % 10 == 3 && n % 100 != 13 ? "rd" : "th";
    return std::to_string(n) + suffix;
}

// A call with more arguments than its function reads: made, with a warning.
void warnSurplus(const std::string &name, size_t given) {
    const ghemu::ReferenceEntry *entry = ghemu::findReferenceEntry(name);
    if (!entry || given <= static_cast<size_t>(entry->paramCount)) return;
    size_t first = static_cast<size_t>(entry->paramCount) + 1;
    std::string reads = entry->paramCount == 0   ? "no parameter"
                        : entry->paramCount == 1 ? "1 parameter"
                                                 : std::to_string(entry->paramCount) + " parameters";
    warn("warning: " + std::string(entry->call) + " reads " + reads + ": the " + ordinal(first) + " argument" +
         (given > first ? " and those after it are" : " is") + " passed but not read");
}

// Runs the calls, on as many instances as they name, printing each result
// as it comes.  Returns the exit status.
int runCalls(const Options &o, const std::vector<ghemu::CallWords> &calls, const std::string &script = {}) {
    auto library = openLibrary(o);
    ghemu::Build build = library->build();
    size_t instances = 1;
    std::vector<int32_t> numbers;
    for (const ghemu::CallWords &call : calls) {
        // Every name is checked before the first call is made.
        std::string where = call.line ? script + " line " + std::to_string(call.line) + ": " : "";
        numbers.push_back(functionNumber(*library, call, where));
        instances = std::max(instances, call.instance + 1);
    }
    ghemu::Session session(*library, instances);
    std::optional<ghemu::Result> previous;
    std::map<std::u32string, ghemu::Value> known;  // the fields, as they were after the last call
    int status = kOk;
    for (size_t i = 0; i < calls.size(); ++i) {
        const ghemu::CallWords &call = calls[i];
        ghemu::Host &host = session.host();
        const ghemu::CatalogueFunction *f = library->catalogue().find(numbers[i]);
        std::string name = f ? f->name : call.function;
        std::vector<ghemu::Param> params;
        try {
            for (const std::string &a : call.args) params.push_back(ghemu::parseArgument(a, build, previous, host));
        } catch (const ghemu::ArgumentError &e) {
            throw ghemu::ArgumentError((call.line ? script + " line " + std::to_string(call.line) + ": " : "") +
                                       e.what());
        }
        warnSurplus(name, params.size());
        for (const ghemu::Param &p : params) {
            // A field an argument set counts as it was set, not as changed by the call.
            if (const ghemu::Value *v = host.field(p.value.isText() ? p.value.text() : U"")) known[p.value.text()] = *v;
        }
        host.setFunctionNumber(numbers[i]);
        host.setParams(std::move(params));
        host.setParamCount(std::nullopt);
        ghemu::CallOutcome out = library->call(session.instance(call.instance), host);
        std::string lead;
        if (calls.size() > 1 && !o.valueOnly) {
            lead = (instances > 1 ? "@" + std::to_string(call.instance + 1) + " " : std::string()) + name + ": ";
        }
        const ghemu::Result &r = out.result;
        bool toFile = !o.out.empty() && i + 1 == calls.size();
        if (toFile) writeOut(o, r, build);
        if (!r.set) {
            if (!o.valueOnly) std::cout << lead << "no result set\n";
        } else if (o.valueOnly) {
            if (!toFile) std::cout << ghemu::bareValue(r.value, build, o.raw) << "\n";
        } else if (toFile) {
            std::cout << lead << ghemu::kindName(r.value) << ": written to " << o.out << "\n";
        } else {
            std::cout << lead << ghemu::kindName(r.value) << ": " << ghemu::shownValue(r.value, build, o.raw) << "\n";
        }
        for (const std::u32string &field : host.changedFields()) {
            const ghemu::Value *v = host.field(field);
            auto before = known.find(field);
            if (before != known.end() && before->second == *v) continue;  // written, but as it was
            known[field] = *v;
            if (o.valueOnly) continue;
            std::cout << lead << "field " << ghemu::bareValue(ghemu::Value::ofText(field), build, o.raw) << " = "
                      << ghemu::kindName(*v) << ": " << ghemu::shownValue(*v, build, o.raw) << "\n";
        }
        std::cout.flush();
        if (!out.ok()) throw LibraryFault(name + ": " + out.problemText());
        if (!r.set) {
            warn(name + " set no result");
            if (status == kOk) status = kNoResult;
        } else if (o.failEmpty && ((r.value.isText() && r.value.textLength() == 0) ||
                                   (r.value.isBinary() && r.value.bytes.empty()))) {
            warn(name + " gave " + (r.value.isText() ? "the empty text" : "an empty binary value"));
            if (status == kOk) status = kEmptyResult;
        }
        previous = r;
    }
    std::vector<std::string> closing = session.close();
    if (!closing.empty()) throw LibraryFault("disconnect: " + closing.front());
    return status;
}

std::vector<ghemu::CallWords> readScript(const std::string &path) {
    std::ifstream file;
    std::istream *in = &std::cin;
    if (path != "-") {
        std::error_code ec;
        if (std::filesystem::is_directory(std::filesystem::u8path(path), ec)) {
            throw ghemu::ArgumentError("cannot read " + path + ": it is a folder, not a file");
        }
        file.open(std::filesystem::u8path(path));
        if (!file) throw ghemu::ArgumentError("cannot read " + path);
        in = &file;
    }
    std::vector<ghemu::CallWords> calls;
    std::string line;
    for (size_t number = 1; std::getline(*in, line); ++number) {
        ghemu::CallWords call;
        try {
            std::vector<std::string> words = ghemu::splitScriptLine(line);
            if (words.empty()) continue;
            size_t first = 0;
            if (auto instance = ghemu::instanceWord(words[0])) {
                call.instance = *instance;
                first = 1;
            }
            if (first >= words.size()) throw ghemu::ArgumentError("an instance without a call");
            call.function = words[first];
            call.args.assign(words.begin() + static_cast<long>(first) + 1, words.end());
        } catch (const ghemu::ArgumentError &e) {
            throw ghemu::ArgumentError(path + " line " + std::to_string(number) + ": " + e.what());
        }
        call.line = number;
        calls.push_back(call);
    }
    if (in->bad()) throw ghemu::ArgumentError("cannot read " + path + ": " + std::strerror(errno));
    if (calls.empty()) throw ghemu::ArgumentError(path + " holds no call");
    return calls;
}

// Takes the words of a call (NAME and everything after it) out of the
// command line, so that no argument is ever read as an option: the options
// are those before the subcommand and between "call" and NAME.
std::vector<std::string> separateCallWords(int argc, char **argv, std::vector<std::string> *words) {
    static const std::vector<std::string> withValue = {"--build", "--library", "--out"};
    std::vector<std::string> args;
    bool inCall = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        bool option = a.size() > 1 && a[0] == '-';
        if (!option) {
            if (inCall) {
                words->assign(argv + i, argv + argc);
                break;
            }
            inCall = a == "call";
        }
        args.push_back(a);
        if (option && std::find(withValue.begin(), withValue.end(), a) != withValue.end() && i + 1 < argc) {
            args.push_back(argv[++i]);
        }
    }
    return args;
}

int run(int argc, char **argv) {
    CLI::App app{kDescription, "glyphhost"};
    app.require_subcommand(1);
    // Options are spelt --option on every platform: under wine a path starts
    // with a slash, which CLI11 would otherwise take for a /option.
    app.allow_windows_style_options(false);
    Options o;
    CLI::Option *buildOption =
        app.add_option("--build", o.build, "wide (default) or byte: the library next to glyphhost");
    app.add_option("--library", o.library, "load this library file instead (its catalogue says its build)");
    app.add_option("--out", o.out, "write the last result to FILE: binary as its bytes, text as --raw prints it");
    app.add_flag("--value-only", o.valueOnly, "print only the results' values, one line a call");
    app.add_flag("--raw", o.raw, "print texts as they are, without quotes or escapes");
    app.add_flag("--fail-empty", o.failEmpty, "exit status 4 when a result is empty");
    app.set_version_flag("--version", "glyphHerder " GH_VERSION);

    CLI::App *listCmd = app.add_subcommand("list", "print the catalogue");
    CLI::App *callCmd = app.add_subcommand("call", "call [@N] NAME [ARG...] [:: [@N] NAME [ARG...]]...");
    CLI::App *runCmd = app.add_subcommand("run", "run the calls of a script file (- for standard input)");
    std::string script;
    runCmd->add_option("file", script, "the script")->required();
    CLI::App *helpCmd = app.add_subcommand("help", "print the reference entry of a function");
    std::string helpName;
    helpCmd->add_option("name", helpName, "a function's name or number (none: list them all)");
    CLI::App *pathsCmd = app.add_subcommand("paths", "print each kernel's paths, the one taken and why");
    for (CLI::App *sub : {listCmd, callCmd, runCmd, helpCmd, pathsCmd}) sub->fallthrough();

    std::vector<std::string> words;
    std::vector<std::string> args = separateCallWords(argc, argv, &words);
    std::reverse(args.begin(), args.end());  // CLI11 takes them last first
    try {
        app.parse(args);
    } catch (const CLI::CallForHelp &e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion &e) {
        return app.exit(e);
    } catch (const CLI::ParseError &e) {
        std::fprintf(stderr, "glyphhost: error: %s (glyphhost --help explains)\n", e.what());
        return kUsage;
    }
    o.buildGiven = buildOption->count() > 0;
    if (listCmd->parsed()) {
        list(o);
        return kOk;
    }
    if (helpCmd->parsed()) {
        help(helpName);
        return kOk;
    }
    if (pathsCmd->parsed()) {
        std::vector<std::string> problems = ghemu::reportKernelPaths(std::cout);
        std::cout.flush();
        for (const std::string &p : problems) std::fprintf(stderr, "glyphhost: error: %s\n", p.c_str());
        return problems.empty() ? kOk : kUsage;
    }
    if (callCmd->parsed()) {
        if (words.empty()) throw ghemu::ArgumentError("call needs a function name");
        std::vector<ghemu::CallWords> calls = ghemu::splitCalls(words);
        for (const ghemu::CallWords &call : calls) {
            for (const std::string &a : call.args) ghemu::refuseOptionWord(a);
        }
        return runCalls(o, calls);
    }
    return runCalls(o, readScript(script), script);
}

}  // namespace

int main(int argc, char **argv) {
    try {
        ghemu::useExactOutput();
        ghemu::Utf8Arguments args(argc, argv);
        return run(args.argc(), args.argv());
    } catch (const LibraryFault &e) {
        std::fprintf(stderr, "glyphhost: error: the library misbehaved: %s\n", e.what());
        return kMisbehaved;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "glyphhost: error: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "glyphhost: error: unexpected failure\n");
    }
    return kUsage;
}
