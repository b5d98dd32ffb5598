// glyphhost: the command-line host.  Lists a build's catalogue and calls its
// functions, one or several on one instance.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "emulator/host_args.h"
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
    "  glyphhost [OPTIONS] call NAME [ARG...] [:: NAME [ARG...]]...\n"
    "                                                calls functions, one after another, on one instance\n"
    "  glyphhost [OPTIONS] run FILE                  calls from a script (FILE - reads standard input)\n"
    "  glyphhost paths                               the fast paths of each kernel on this processor, the one\n"
    "                                                the library takes and why (GH_FORCE_PATH=kernel:path,...\n"
    "                                                and GH_FORCE_PORTABLE=1 change it; a force that cannot be\n"
    "                                                followed is an error)\n"
    "\n"
    "NAME is a catalogue name or a function number.  Options go before NAME.\n"
    "\n"
    "Arguments are text unless a prefix says otherwise:\n"
    "  abc              text: UTF-8, characters in the wide build, the bytes in the byte build\n"
    "  text:STR         text, explicitly (text::: passes \"::\", text:num:3 passes \"num:3\")\n"
    "  num:N            a number: 3, -2.5, 1e12, nan, inf\n"
    "  hex:00ab         binary, from pairs of hexadecimal digits\n"
    "  bytes:STR        binary, the UTF-8 bytes of STR\n"
    "  codes:233,8364   text of these character codes (decimal or 0x...)\n"
    "  textfile:PATH    text, the contents of a UTF-8 file\n"
    "  binfile:PATH     binary, the contents of a file\n"
    "  field:NAME=VAL   sets the named field NAME to VAL (any form above) and passes NAME\n"
    "  field:NAME       passes NAME, a field set by an earlier call\n"
    "  prev:            the previous call's result, with its type\n"
    "\n"
    "Output: the result's type and value (text as UTF-8, binary as lowercase hexadecimal and,\n"
    "when its bytes are printable ASCII, also as text in parentheses; numbers as numbers),\n"
    "or \"no result set\"; then every named field the call changed.\n"
    "With several calls each line starts with the function's name.  The exit status is 0,\n"
    "1 for a usage or argument error, 2 when the library misbehaved (a memory block left\n"
    "live, a handle freed twice, an operation no host accepts).\n"
    "\n"
    "Scripts: one call per line, NAME ARG..., words separated by blanks; '...' and \"...\"\n"
    "quote (in \"...\" \\\" and \\\\ stand for \" and \\); # begins a comment.\n"
    "\n"
    "Examples:\n"
    "  glyphhost list\n"
    "  glyphhost help hexEncode\n"
    "  glyphhost call MD5Digest abc                  text: 900150983cd24fb0d6963f7d28e17f72\n"
    "  glyphhost --value-only call base64Encode hex:00ff10\n"
    "  glyphhost call blowfishContext secret :: blowfishEncryptToText 'attack at dawn'\n"
    "  glyphhost call splitstring field:list=a,b,c , :: splitstring field:list ,\n"
    "  glyphhost call hexEncode abc :: hexDecode prev:\n"
    "  glyphhost call makeCRAMresponse PDE4OTYuNjk3MTcwOTUyQHBvc3RvZmZpY2UucmVzdG9uLm1jaS5uZXQ+ tim tanstaaftanstaaf\n"
    "  glyphhost call NTLMchallenge :: NTLMresponse \"$TYPE2\" User Password COMPUTER\n"
    "  glyphhost --build byte --out bytes.bin call hexToBinary 00ff\n"
    "  echo 'SHA1Digest \"hello world\"' | glyphhost run -\n";

struct Options {
    std::string build = "wide";
    std::string library;
    std::string out;
    bool valueOnly = false;
};

// A failure of the library itself (exit status 2).
struct LibraryFault : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::string valueText(const ghemu::Value &v, ghemu::Build build) {
    switch (v.kind) {
    case ghemu::ValueKind::Number:
        return ghemu::formatNumber(v.number);
    case ghemu::ValueKind::Text:
        return ghemu::textToUtf8(v.text(), build);
    case ghemu::ValueKind::Binary:
        return ghemu::toHex(v.bytes);
    }
    return {};
}

// Binary that reads as plain text is also shown as text, for the eye.
std::string readableBinary(const ghemu::Value &v) {
    if (!v.isBinary() || v.bytes.empty() || v.bytes.size() > 200) return {};
    for (uint8_t b : v.bytes) {
        if (b < 0x20 || b > 0x7E) return {};
    }
    return " (\"" + std::string(v.bytes.begin(), v.bytes.end()) + "\")";
}

std::unique_ptr<ghemu::Library> openLibrary(const Options &o) {
    if (!o.library.empty()) return ghemu::Library::load(o.library);
    auto build = ghemu::parseBuild(o.build);
    if (!build) throw ghemu::ArgumentError("--build takes wide or byte");
    return ghemu::Library::load(ghemu::libraryPathNextToExecutable(*build == ghemu::Build::Wide), build);
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
        const ghemu::ReferenceEntry *near = ghemu::findReferenceEntryIgnoringCase(name);
        throw ghemu::ArgumentError("no function is named \"" + name + "\"" +
                                   (near ? std::string(" (did you mean ") + near->name + "?)"
                                         : std::string(" (glyphhost help lists them)")));
    }
    std::printf("%s\n%s", entry->text, ghemu::kReferenceLegend);
}

void writeOut(const std::string &path, const ghemu::Result &r, ghemu::Build build) {
    std::ofstream out(path, std::ios::binary);
    std::string data;
    if (r.set) {
        data = r.value.isBinary() ? std::string(r.value.bytes.begin(), r.value.bytes.end())
                                  : valueText(r.value, build);
    }
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    if (!out) throw ghemu::ArgumentError("cannot write " + path);
}

// Runs the calls on one instance, printing each result as it comes.
void runCalls(const Options &o, const std::vector<ghemu::CallWords> &calls) {
    auto library = openLibrary(o);
    ghemu::Build build = library->build();
    ghemu::Session session(*library);
    std::optional<ghemu::Result> previous;
    for (size_t i = 0; i < calls.size(); ++i) {
        const ghemu::CallWords &call = calls[i];
        ghemu::Host &host = session.host();
        int32_t number;
        try {
            number = library->functionNumber(call.function);
        } catch (const ghemu::UnknownFunction &) {
            throw ghemu::ArgumentError("unknown function \"" + call.function + "\" (glyphhost list shows them)");
        }
        std::vector<ghemu::Param> params;
        for (const std::string &a : call.args) params.push_back(ghemu::parseArgument(a, build, previous, host));
        host.setFunctionNumber(number);
        host.setParams(std::move(params));
        host.setParamCount(std::nullopt);
        ghemu::CallOutcome out = library->call(session.instance(), host);
        const ghemu::CatalogueFunction *f = library->catalogue().find(number);
        std::string name = f ? f->name : call.function;
        std::string lead = calls.size() > 1 && !o.valueOnly ? name + ": " : "";
        const ghemu::Result &r = out.result;
        bool toFile = !o.out.empty() && i + 1 == calls.size();
        if (toFile) writeOut(o.out, r, build);
        if (o.valueOnly) {
            if (!toFile) std::cout << (r.set ? valueText(r.value, build) : "no result set") << "\n";
        } else if (!r.set) {
            std::cout << lead << "no result set\n";
        } else if (toFile) {
            std::cout << lead << ghemu::typeName(r.type) << ": written to " << o.out << "\n";
        } else {
            std::cout << lead << ghemu::typeName(r.type) << ": " << valueText(r.value, build)
                      << readableBinary(r.value) << "\n";
        }
        if (!o.valueOnly) {
            for (const std::u32string &field : host.changedFields()) {
                const ghemu::Value *v = host.field(field);
                std::cout << lead << "field " << ghemu::textToUtf8(field, build) << " = "
                          << (v->isNumber() ? "number" : v->isText() ? "text" : "binary") << ": "
                          << valueText(*v, build) << "\n";
            }
        }
        std::cout.flush();
        if (!out.ok()) throw LibraryFault(name + ": " + out.problemText());
        previous = r;
    }
    std::vector<std::string> closing = session.close();
    if (!closing.empty()) throw LibraryFault("disconnect: " + closing.front());
}

std::vector<ghemu::CallWords> readScript(const std::string &path) {
    std::ifstream file;
    std::istream *in = &std::cin;
    if (path != "-") {
        file.open(path);
        if (!file) throw ghemu::ArgumentError("cannot read " + path);
        in = &file;
    }
    std::vector<ghemu::CallWords> calls;
    std::string line;
    for (size_t number = 1; std::getline(*in, line); ++number) {
        std::vector<std::string> words;
        try {
            words = ghemu::splitScriptLine(line);
        } catch (const ghemu::ArgumentError &e) {
            throw ghemu::ArgumentError(path + " line " + std::to_string(number) + ": " + e.what());
        }
        if (words.empty()) continue;
        ghemu::CallWords call;
        call.function = words[0];
        call.args.assign(words.begin() + 1, words.end());
        calls.push_back(call);
    }
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
    app.add_option("--build", o.build, "wide (default) or byte: the library next to glyphhost");
    app.add_option("--library", o.library, "load this library file instead");
    app.add_option("--out", o.out, "write the (last) result to FILE: binary raw, text as UTF-8");
    app.add_flag("--value-only", o.valueOnly, "print only the result's value");
    app.set_version_flag("--version", "glyphHerder " GH_VERSION);

    CLI::App *listCmd = app.add_subcommand("list", "print the catalogue");
    CLI::App *callCmd = app.add_subcommand("call", "call NAME [ARG...] [:: NAME [ARG...]]...");
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
        return 1;
    }
    if (listCmd->parsed()) {
        list(o);
        return 0;
    }
    if (helpCmd->parsed()) {
        help(helpName);
        return 0;
    }
    if (pathsCmd->parsed()) {
        std::vector<std::string> problems = ghemu::reportKernelPaths(std::cout);
        std::cout.flush();
        for (const std::string &p : problems) std::fprintf(stderr, "glyphhost: error: %s\n", p.c_str());
        return problems.empty() ? 0 : 1;
    }
    if (callCmd->parsed()) {
        if (words.empty()) throw ghemu::ArgumentError("call needs a function name");
        runCalls(o, ghemu::splitCalls(words));
        return 0;
    }
    runCalls(o, readScript(script));
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    try {
        ghemu::useExactOutput();
        ghemu::Utf8Arguments args(argc, argv);
        return run(args.argc(), args.argv());
    } catch (const LibraryFault &e) {
        std::fprintf(stderr, "glyphhost: error: the library misbehaved: %s\n", e.what());
        return 2;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "glyphhost: error: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "glyphhost: error: unexpected failure\n");
    }
    return 1;
}
