#!/usr/bin/env python3
"""The function reference, made from one data file, docs/functions.json.

    python3 tools/gen_reference.py                   the page, on standard output
    python3 tools/gen_reference.py --write           writes docs/functions.md
    python3 tools/gen_reference.py --cpp FILE        the entries glyphhost help prints, as C++
    python3 tools/gen_reference.py --examples FILE   the examples as catalogue cases

The data file holds, for every catalogue function, its summary, parameters,
result, failure results, build differences, choices and examples.  Each
example is a catalogue case (tests/cases/README.md) without its name, so the
test command runs the documented calls against both builds and fails when a
documented result is wrong.  The page shows each example as the glyphhost
command that runs it and the lines glyphhost prints, and a second test runs
those commands (tests/glyphhost/run_commands.py).  The catalogue text of each entry and whether the
function is built come from resources/catalogue.def.  The examples of a
function that is not built yet are left out of the cases (the generator names
them); its entry says it is not available yet.

The page and the help text are two renderings of the same entries: Markdown,
and plain text wrapped for a terminal.

docs/functions.json: "intro", "reading" (the sections on parameters, results
and the notation), "legend" (the notation in short, after each help entry),
"groups" (id, title, intro, in the page's order) and "functions", each with
  name, group, summary      one line of ASCII (also in glyphhost list and the
                            release READMEs)
  description               paragraphs
  params                    name, type, optional, default, about
  result, builds            text
  failures                  result, when
  choices                   what the library chose where behaviour could differ
  examples                  catalogue cases without a name (tests/cases/README.md),
                            at least two; values the page can show (no field
                            kinds); texts beyond ASCII only in wide examples or
                            as "codes".  An "ntlm_authenticate" result is shown
                            as what the runner checks of the message.
Prose may use `code spans`.  A flag parameter's type starts with "flag": the
page adds the rule the code follows (FLAG_RULE).  In the reading sections
{failures_as_numbers} stands for the sentence, made from the entries, on the
functions whose failure results are numbers.
"""
import argparse
import json
import os
import re
import sys
import textwrap

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DATA = os.path.join(ROOT, "docs", "functions.json")
PAGE = os.path.join(ROOT, "docs", "functions.md")
CATALOGUE = os.path.join(ROOT, "resources", "catalogue.def")

# Keys an example may have: those of a catalogue case the page can show.
EXAMPLE_KEYS = {"comment", "build", "call", "args", "result", "fields", "fields_after", "steps",
                "instances"}
STEP_KEYS = {"comment", "call", "args", "result", "fields", "fields_after", "instance"}
PARAM_KEYS = {"name", "type", "optional", "default", "about"}
FUNCTION_KEYS = {"name", "group", "summary", "description", "params", "result", "failures",
                 "builds", "choices", "examples"}
# How every flag parameter is described: what the library does with its number.
FLAG_RULE = "flag: on when the low 16 bits of its integer are not 0"
TEXT_WIDTH = 78      # help text
PAGE_WIDTH = 100     # Markdown source
EXAMPLE_WIDTH = 96   # a command of several calls on one line up to this


class DataError(Exception):
    pass


# --- The catalogue -----------------------------------------------------------

def read_catalogue():
    """[(number, name, parameter text, built)] from resources/catalogue.def."""
    row = re.compile(r'^GH_FUNCTION\( *(\d+), ([A-Za-z_]\w*), "((?:[^"\\]|\\.)*)", (\d+), ([01])\)$')
    rows = []
    with open(CATALOGUE, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if not line.lstrip().startswith("GH_FUNCTION"):
                continue
            m = row.match(line)
            if not m:
                raise DataError("catalogue.def: not a row: " + line)
            params = m.group(3).replace('\\"', '"').replace("\\\\", "\\")
            rows.append((int(m.group(1)), m.group(2), params, m.group(5) == "1"))
    return rows


# --- Values as the examples show them ----------------------------------------

def text_literal(codes):
    """A text between double quotes.  Control characters are escapes (\\r,
    \\n, \\t, \\0, \\x{..}), and so is a double quote (\\x{22}); a backslash
    stands for itself, so an example must not hold one before r, n, t, 0 or x."""
    out = []
    for i, c in enumerate(codes):
        ch = chr(c) if c <= 0x10FFFF else None
        if ch == "\\" and i + 1 < len(codes) and codes[i + 1] < 128 and chr(codes[i + 1]) in "rnt0x":
            raise DataError("a backslash before %s would read as an escape" % chr(codes[i + 1]))
        if c == 13:
            out.append("\\r")
        elif c == 10:
            out.append("\\n")
        elif c == 9:
            out.append("\\t")
        elif c == 0:
            out.append("\\0")
        elif ch == '"' or c < 0x20 or 0x7F <= c < 0xA0 or c == 0xAD or ch is None or not ch.isprintable():
            out.append("\\x{%X}" % c)
        else:
            out.append(ch)
    return '"' + "".join(out) + '"'


def number_literal(n):
    if isinstance(n, str):
        return n
    if isinstance(n, float) and n.is_integer() and abs(n) < 1e15:
        n = int(n)
    return str(n)


def value_text(v, where):
    """An argument, a field value or an expected value, as the page shows it."""
    if isinstance(v, str):
        return text_literal([ord(c) for c in v])
    if isinstance(v, bool) or v is None:
        raise DataError(where + ": not a value: " + json.dumps(v))
    if isinstance(v, (int, float)):
        return number_literal(v)
    if not isinstance(v, dict):
        raise DataError(where + ": not a value: " + json.dumps(v))
    extra = set(v) - {"text", "codes", "hex", "bytes", "number", "repeat", "times", "concat", "type",
                      "result_of"}
    if extra:
        raise DataError(where + ": the page cannot show " + ", ".join(sorted(extra)))
    if "text" in v:
        return value_text(v["text"], where)
    if "codes" in v:
        return text_literal(v["codes"])
    if "hex" in v:
        h = v["hex"]
        return "<" + " ".join(h[i:i + 2] for i in range(0, len(h), 2)) + ">"
    if "bytes" in v:
        return "<" + text_literal([ord(c) for c in v["bytes"]]) + ">"
    if "number" in v:
        return number_literal(v["number"])
    if "repeat" in v:
        return value_text(v["repeat"], where) + " × " + "{:,}".format(v["times"])
    if "concat" in v:
        return " + ".join(value_text(item, where) for item in v["concat"])
    if "result_of" in v:
        return "(the result of line %d)" % (v["result_of"] + 1)
    raise DataError(where + ": not a value: " + json.dumps(v))


def capitals(v):
    """A user name with a-z in capitals, as an NTLM check hashes it by default."""
    if isinstance(v, str):
        return "".join(chr(ord(c) - 32) if "a" <= c <= "z" else c for c in v)
    if isinstance(v, dict) and "text" in v:
        return capitals(v["text"])
    if isinstance(v, dict) and "codes" in v:
        return {"codes": [c - 32 if 97 <= c <= 122 else c for c in v["codes"]]}
    if isinstance(v, dict) and "repeat" in v:
        return {"repeat": capitals(v["repeat"]), "times": v["times"]}
    raise DataError("give hash_user for this user name")


NTLM_KEYS = {"challenge", "user", "password", "workstation", "hash_domain", "hash_user", "time"}


def ntlm_text(n, where):
    """An NTLM authenticate message the runner checks field by field (it
    differs on every call), in two lines."""
    extra = set(n) - NTLM_KEYS
    if extra:
        raise DataError(where + ": the page cannot show " + ", ".join(sorted(extra)))
    hash_user = n.get("hash_user", capitals(n["user"]))
    time = "time %s" % number_literal(n["time"]) if "time" in n else "time now"
    return ("an authenticate message: user %s, workstation %s,\n"
            "proofs of %s for %s in %s, %s" % (
                value_text(n["user"], where), value_text(n["workstation"], where),
                value_text(n["password"], where), value_text(hash_user, where),
                value_text(n.get("hash_domain", ""), where), time))


def expected_text(r, where):
    if isinstance(r, dict):
        if r.get("none"):
            return "no result"
        if "any" in r:
            return "a %s that differs on every call" % r["any"]
        if "ntlm_authenticate" in r:
            return ntlm_text(r["ntlm_authenticate"], where)
        if "wide" in r or "byte" in r:
            return "%s in the wide build, %s in the byte build" % (
                expected_text(r["wide"], where), expected_text(r["byte"], where))
    return value_text(r, where)


def is_ascii_text(v):
    return all(32 <= ord(c) < 127 or c in "\r\n\t" for c in v)


def check_plain_texts(v, wide_only, where):
    """A plain string is read as UTF-8 by the byte build, which the page does
    not show: outside ASCII an example for both builds gives codes."""
    if isinstance(v, str):
        if not wide_only and not is_ascii_text(v):
            raise DataError(where + ': "%s": beyond ASCII, use {"codes": [...]} '
                            '(or make the example wide only)' % v)
    elif isinstance(v, dict):
        for key in ("text", "repeat", "concat", "wide", "byte"):
            if key in v:
                check_plain_texts(v[key], wide_only or key == "wide", where)
        if "ntlm_authenticate" in v:
            check_plain_texts([v["ntlm_authenticate"].get(key) for key in sorted(NTLM_KEYS - {"time"})
                               if key in v["ntlm_authenticate"]], wide_only, where)
    elif isinstance(v, list):
        for item in v:
            check_plain_texts(item, wide_only, where)


# --- Examples ----------------------------------------------------------------

def example_steps(ex):
    return ex["steps"] if "steps" in ex else [ex]


# --- Examples as glyphhost commands ------------------------------------------
#
# Each example is shown as the glyphhost command that runs it, as typed in a
# POSIX shell, and the lines glyphhost prints; tests/reference/run_commands.py
# runs the commands of the page and compares.  The rules below mirror
# glyphhost's (emulator/host_args.h, emulator/host_output.h).

# The argument prefixes glyphhost knows: a text that starts with one is
# passed as text:TEXT.
HOST_PREFIXES = ("text:", "esc:", "expr:", "num:", "hex:", "bytes:", "codes:", "textfile:", "binfile:",
                 "field:", "prev:")
SHELL_SAFE = set("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_@%+=:,./-")
LONG_OUTPUT = 200   # an output line longer than this is shortened on the page, with a note
SHOWN_HEAD = 40     # characters of a shortened value shown


def codes_of(v, where):
    """The character codes of a text value (str, text, codes, repeat, concat)."""
    if isinstance(v, str):
        return [ord(c) for c in v]
    if isinstance(v, dict):
        if "text" in v:
            return codes_of(v["text"], where)
        if "codes" in v:
            return list(v["codes"])
        if "repeat" in v:
            return codes_of(v["repeat"], where) * v["times"]
        if "concat" in v:
            return [c for item in v["concat"] for c in codes_of(item, where)]
    raise DataError(where + ": not a text: " + json.dumps(v))


def needs_escape(c):
    """glyphhost's rule (emulator/host_output.cpp): the characters a shown
    text writes as escapes."""
    return c < 0x20 or 0x7F <= c < 0xA0 or 0xD800 <= c <= 0xDFFF or c > 0x10FFFF or c in (0x5C, 0x22)


def escaped(codes):
    """Codes as glyphhost shows them and as esc: reads them."""
    named = {13: "\\r", 10: "\\n", 9: "\\t", 0: "\\0", 0x5C: "\\\\", 0x22: '\\"'}
    return "".join(named.get(c) or ("\\x{%02X}" % c if needs_escape(c) else chr(c)) for c in codes)


def shown_text(codes):
    return '"' + escaped(codes) + '"'


def shell_word(word):
    """A word as typed in a POSIX shell: as it is when that is safe, else in
    single quotes."""
    if word and all(ch in SHELL_SAFE or (ord(ch) >= 0xA0 and ch.isprintable()) for ch in word):
        return word
    if "'" in word and not any(ch in word for ch in '"$`\\!'):
        return '"' + word + '"'
    return "'" + word.replace("'", "'\\''") + "'"


def expr_pieces(v, where):
    """A text value of repeats and concatenations as glyphhost's expr: form."""
    if isinstance(v, dict) and "concat" in v:
        return "+".join(expr_pieces(item, where) for item in v["concat"])
    if isinstance(v, dict) and "repeat" in v:
        return '"%s"*%d' % (escaped(codes_of(v["repeat"], where)), v["times"])
    return '"%s"' % escaped(codes_of(v, where))


def text_arg(codes):
    s = "".join(chr(c) for c in codes if c <= 0x10FFFF)
    if any(needs_escape(c) and c not in (0x5C, 0x22) for c in codes) or \
            (len(s) == len(codes) and not s.isprintable()):
        return "esc:" + escaped(codes)
    if not s or s.startswith(HOST_PREFIXES) or s == "::" or re.match(r"--[A-Za-z]", s):
        return "text:" + s
    return s


def host_arg(v, where, step):
    """An argument as glyphhost's word for it."""
    if isinstance(v, bool) or v is None:
        raise DataError(where + ": not a value: " + json.dumps(v))
    if isinstance(v, (int, float)):
        return "num:" + number_literal(v)
    if isinstance(v, str):
        return text_arg(codes_of(v, where))
    extra = set(v) - {"text", "codes", "hex", "bytes", "number", "repeat", "times", "concat", "result_of"}
    if extra:
        raise DataError(where + ": the page cannot show " + ", ".join(sorted(extra)))
    if "number" in v:
        return "num:" + number_literal(v["number"])
    if "hex" in v:
        return "hex:" + v["hex"].lower()
    if "bytes" in v:
        b = v["bytes"].encode("utf-8")
        if b and all(0x21 <= x < 0x7F for x in b):
            return "bytes:" + v["bytes"]
        return "hex:" + b.hex()
    if "result_of" in v:
        if v["result_of"] != step - 1:
            raise DataError(where + ": only the previous step's result can be passed (prev:)")
        return "prev:"
    if "repeat" in v or "concat" in v:
        return "expr:" + expr_pieces(v, where)
    return text_arg(codes_of(v, where))


def format_number(n):
    """glyphhost's number form: whole numbers without a point."""
    if isinstance(n, str):
        return {"nan": "nan", "inf": "inf", "-inf": "-inf"}[n]
    if isinstance(n, float) and n.is_integer() and abs(n) < 1e17:
        n = int(n)
    return repr(n) if isinstance(n, float) else str(n)


def shown_value(v, where):
    """A value as glyphhost prints it after its kind."""
    if isinstance(v, (int, float)) and not isinstance(v, bool):
        return "number: " + format_number(v)
    if isinstance(v, dict) and "number" in v:
        return "number: " + format_number(v["number"])
    if isinstance(v, dict) and ("hex" in v or "bytes" in v):
        b = bytes.fromhex(v["hex"]) if "hex" in v else v["bytes"].encode("utf-8")
        if not b:
            return "binary: (empty)"
        readable = ' ("%s")' % escaped(list(b)) if len(b) <= 200 and all(0x20 <= x < 0x7F for x in b) else ""
        return "binary: " + b.hex() + readable
    return "text: " + shown_text(codes_of(v, where))


def expected_lines(r, build, where):
    """What glyphhost prints for an expected result: [(line, note)]."""
    if isinstance(r, dict):
        if r.get("none"):
            return [("no result set", None)]
        if "any" in r:
            return [("%s: …" % r["any"], "differs on every call")]
        if "ntlm_authenticate" in r:
            return [('text: "TlRMTVNTUAADAAAA…"', ntlm_text(r["ntlm_authenticate"], where))]
        if "wide" in r or "byte" in r:
            return expected_lines(r[build], build, where)
    line = shown_value(r, where)
    if len(line) > LONG_OUTPUT:
        kind = line.split(":", 1)[0]
        whole = ("expr:" + expr_pieces(r, where)) if kind == "text" else line
        line = line[:len(kind) + 3 + SHOWN_HEAD] + "…" + ('"' if kind == "text" else "")
        return [(line, "the whole value: " + whole)]
    return [(line, None)]


def splits_by_build(ex):
    return any(isinstance(step.get("result"), dict) and ("wide" in step["result"] or "byte" in step["result"])
               for step in example_steps(ex))


def example_command(ex, build, where):
    """One example as ("note", text), ("command", [lines]) and ("output", line)."""
    steps = example_steps(ex)
    several = ex.get("instances", 1) > 1
    calls, out = [], []
    before = {}
    for n, step in enumerate(steps):
        swhere = where + (" step %d" % n if "steps" in ex else "")
        for key in step:
            if key not in (STEP_KEYS if "steps" in ex else EXAMPLE_KEYS):
                raise DataError(swhere + ": unknown key " + key)
        fields = dict(ex.get("fields", {})) if n == 0 else {}
        fields.update(step.get("fields", {}))
        words = ["@%d" % (step.get("instance", 0) + 1)] if several else []
        words.append(step["call"])
        pending = dict(fields)
        for a in step.get("args", []):
            if isinstance(a, str) and (a in pending or a in before):
                if a in pending:
                    words.append("field:%s=%s" % (a, host_arg(pending.pop(a), swhere, n)))
                    before[a] = fields[a]
                else:
                    words.append("field:" + a)
            else:
                words.append(host_arg(a, swhere, n))
        if pending:
            raise DataError(swhere + ": no argument names the field " + ", ".join(pending))
        calls.append(" ".join(shell_word(w) for w in words))
        count, full_call = PARAMETERS[step["call"]]
        given = len(step.get("args", []))
        if given > count:
            out.append(("stderr", surplus_warning(full_call, count, given)))
        lead = ""
        if len(steps) > 1:
            lead = ("@%d " % (step.get("instance", 0) + 1) if several else "") + step["call"] + ": "
        if "comment" in step and "steps" in ex:
            out.append(("note", step["comment"]))
        if "result" in step:
            for line, note in expected_lines(step["result"], build, swhere):
                out.append(("output", lead + line))
                if note:
                    out.append(("note", note))
        for name, value in step.get("fields_after", {}).items():
            if before.get(name) != value:
                out.append(("output", "%sfield %s = %s" % (lead, name, shown_value(value, swhere))))
                before[name] = value
    option = "" if build is None else "--build %s " % build
    first = "glyphhost %scall %s" % (option, calls[0])
    single = " :: ".join([first] + calls[1:])
    if len(single) + 2 <= EXAMPLE_WIDTH or len(calls) == 1:
        command = [single]
    else:
        command = [first + " \\"] + ["    :: %s \\" % c for c in calls[1:-1]] + ["    :: " + calls[-1]]
    return [("command", command)] + out


# Each function's parameter count and full call text, by name (load fills it).
PARAMETERS = {}


def ordinal(n):
    suffix = "th" if 10 <= n % 100 <= 20 else {1: "st", 2: "nd", 3: "rd"}.get(n % 10, "th")
    return "%d%s" % (n, suffix)


def surplus_warning(full_call, count, given):
    """glyphhost's warning for arguments beyond those a function reads."""
    reads = {0: "no parameter", 1: "1 parameter"}.get(count, "%d parameters" % count)
    return "glyphhost: warning: %s reads %s: the %s argument %s passed but not read" % (
        full_call, reads, ordinal(count + 1), "and those after it are" if given > count + 1 else "is")


def example_lines(ex, where):
    """The lines of one example: a note, then the command or, where the
    builds give different results, one command for each build."""
    for key in ex:
        if key not in EXAMPLE_KEYS:
            raise DataError(where + ": unknown key " + key)
    lines = []
    if "comment" in ex:
        lines.append(("note", ex["comment"]))
    builds = [ex["build"]] if ex.get("build") in ("wide", "byte") else \
        ["wide", "byte"] if splits_by_build(ex) else [None]
    for build in builds:
        lines += example_command(ex, build, where)
    return lines


def format_lines(lines):
    out = []
    for kind, content in lines:
        if kind == "note":
            out.append("# " + content.replace("\n", "\n# "))
        elif kind == "command":
            out += ["$ " + content[0]] + content[1:]
        elif kind == "stderr":
            out.append("2> " + content)
        else:
            out.append(content)
    return "\n".join(out).split("\n")


def examples_block(examples, where):
    """The examples of one entry; an example of more than a command and
    its result stands apart from the others."""
    out = []
    previous_long = False
    for i, ex in enumerate(examples):
        lines = format_lines(example_lines(ex, "%s example %d" % (where, i + 1)))
        long = len(lines) > 2
        if out and (long or previous_long):
            out.append("")
        out += lines
        previous_long = long
    return out


def functions_called(ex):
    return [step["call"] for step in example_steps(ex)]


# --- Entries -----------------------------------------------------------------

class Entry:
    """One function's reference entry, as blocks both renderings share."""

    def __init__(self, data, number, params_text, built, group_title):
        self.data = data
        self.name = data["name"]
        self.number = number
        self.signature = "%s(%s)" % (self.name, params_text)
        self.built = built
        self.group_title = group_title

    def full_call(self):
        """name(every parameter), the catalogue's and the hidden ones, the
        optional ones in brackets: for glyphhost's warning about surplus
        arguments."""
        required = [p["name"] for p in self.data["params"] if not p.get("optional")]
        optional = [p["name"] for p in self.data["params"] if p.get("optional")]
        text = ", ".join(required)
        for i, name in enumerate(optional):
            text += (" [" if text else "[") + ("," if text or i else "") + name
        return "%s(%s%s)" % (self.name, text, "]" * len(optional))

    def blocks(self):
        d = self.data
        b = []
        b.append(("para", d["summary"]))
        if not self.built:
            b.append(("para", "Not available yet in this version of the library: a call sets no "
                              "result. The entry describes the function as it will behave."))
        for para in d.get("description", []):
            b.append(("para", para))
        b.append(("heading", "Parameters"))
        if not d["params"]:
            b.append(("para", "None."))
        items = []
        for p in d["params"]:
            for key in p:
                if key not in PARAM_KEYS:
                    raise DataError(self.name + ": parameter key " + key)
            kind = p["type"]
            if kind.startswith("flag"):
                kind = FLAG_RULE + kind[len("flag"):]
            if p.get("optional"):
                kind += ", optional"
            if "default" in p:
                kind += ", default " + p["default"]
            items.append("`%s` (%s): %s" % (p["name"], kind, p["about"]))
        if items:
            b.append(("list", items))
        b.append(("heading", "Result"))
        b.append(("para", d["result"]))
        b.append(("heading", "Failure results"))
        b.append(("list", ["%s: %s" % (f["result"], f["when"]) for f in d["failures"]]))
        b.append(("heading", "Wide and byte builds"))
        b.append(("para", d["builds"]))
        if d.get("choices"):
            b.append(("heading", "Choices made here"))
            b.append(("list", d["choices"]))
        b.append(("heading", "Examples"))
        b.append(("code", examples_block(d["examples"], self.name)))
        return b

    def markdown(self):
        out = ["### " + self.name, "",
               "`%s` · function %d · %s" % (self.signature, self.number, self.group_title), ""]
        for kind, content in self.blocks():
            if kind == "heading":
                out += ["**%s**" % content, ""]
            elif kind == "para":
                out += wrap(content, PAGE_WIDTH) + [""]
            elif kind == "list":
                for item in content:
                    out += wrap(item, PAGE_WIDTH, "- ", "  ")
                out.append("")
            elif kind == "code":
                out += ["```"] + content + ["```", ""]
        return "\n".join(out)

    def text(self):
        out = [self.signature, "function %d, %s" % (self.number, self.group_title), ""]
        for kind, content in self.blocks():
            if kind == "heading":
                out += [content]
            elif kind == "para":
                out += wrap(plain(content), TEXT_WIDTH, "  ", "  ") + [""]
            elif kind == "list":
                for item in content:
                    out += wrap(plain(item), TEXT_WIDTH, "  - ", "    ")
                out.append("")
            elif kind == "code":
                out += ["    " + line if line else "" for line in content] + [""]
        return "\n".join(out).rstrip("\n") + "\n"


def plain(s):
    """Inline Markdown for a terminal: emphasis loses its stars; code spans
    keep their backticks, which read well as quotes."""
    return re.sub(r"\*([^*\s][^*]*)\*", r"\1", s)


def wrap(s, width, first="", rest=""):
    return textwrap.wrap(s, width, initial_indent=first, subsequent_indent=rest,
                         break_long_words=False, break_on_hyphens=False) or [first.rstrip()]


# --- The whole reference -----------------------------------------------------

def load():
    with open(DATA, encoding="utf-8") as f:
        data = json.load(f)
    catalogue = read_catalogue()
    by_name = {name: (number, params, built) for number, name, params, built in catalogue}
    groups = {g["id"]: g for g in data["groups"]}
    seen = set()
    entries = []
    for f in data["functions"]:
        for key in f:
            if key not in FUNCTION_KEYS:
                raise DataError("%s: unknown key %s" % (f.get("name"), key))
        name = f["name"]
        if name not in by_name:
            raise DataError(name + ": not in the catalogue")
        if name in seen:
            raise DataError(name + ": described twice")
        seen.add(name)
        if f["group"] not in groups:
            raise DataError(name + ": unknown group " + f["group"])
        if len(f["examples"]) < 2:
            raise DataError(name + ": fewer than two examples")
        if "\n" in f["summary"] or len(f["summary"]) > 100 or not f["summary"].isascii():
            # (the release READMEs carry it too: plain ASCII)
            raise DataError(name + ": the summary must be one short line of ASCII")
        for i, ex in enumerate(f["examples"]):
            wide_only = ex.get("build") == "wide"
            for step in example_steps(ex):
                if step["call"] not in by_name:
                    raise DataError("%s example %d: calls %s" % (name, i + 1, step["call"]))
                check_plain_texts(step.get("args", []), wide_only, "%s example %d" % (name, i + 1))
                check_plain_texts(step.get("result"), wide_only, "%s example %d" % (name, i + 1))
        number, params, built = by_name[name]
        entries.append(Entry(f, number, params, built, groups[f["group"]]["title"]))
        PARAMETERS[name] = (len(f["params"]), entries[-1].full_call())
    order = [g["id"] for g in data["groups"]]
    entries.sort(key=lambda e: order.index(e.data["group"]))
    missing = [name for _, name, _, _ in catalogue if name not in seen]
    if missing:
        raise DataError("no entry for " + ", ".join(missing))
    return data, entries, by_name


def failure_kinds(entry):
    """Whether some failure results of an entry are numbers, and whether
    some are not (a failure result "none" counts as neither)."""
    results = [f["result"] for f in entry.data["failures"]]
    numbers = any(r.startswith("the number") for r in results)
    others = any(not r.startswith("the number") and r != "none" for r in results)
    return numbers, others


def failures_as_numbers(entries):
    """The sentence of the reading section on failures that are numbers,
    made from the entries so that it cannot say otherwise than they do."""
    only, some = [], []
    for e in entries:
        numbers, others = failure_kinds(e)
        if numbers:
            (some if others else only).append(e.name)

    def names(items):
        return items[0] if len(items) == 1 else ", ".join(items[:-1]) + " and " + items[-1]
    parts = []
    if only:
        parts.append("%s fail%s only with numbers" % (names(only), "" if len(only) > 1 else "s"))
    if some:
        parts.append("%s fail%s with a number in some cases and with a text or binary value in others" % (
            names(some), "" if len(some) > 1 else "s"))
    return "; ".join(parts) + "; each entry lists which." if parts else ""


def reading_text(text, entries):
    return text.replace("{failures_as_numbers}", failures_as_numbers(entries))


def anchor(name):
    return name.lower()


def page(data, entries):
    out = ["# glyphHerder function reference", ""]
    out += wrap(data["intro"], PAGE_WIDTH) + [""]
    out += ["## Contents", ""]
    for g in data["groups"]:
        out.append("**%s**" % g["title"])
        out.append("")
        for e in entries:
            if e.data["group"] == g["id"]:
                note = "" if e.built else " *(not available yet)*"
                out.append("- [`%s`](#%s): %s%s" % (e.name, anchor(e.name), e.data["summary"], note))
        out.append("")
    for section in data["reading"]:
        out += ["## " + section["title"], ""]
        for para in section["paras"]:
            if isinstance(para, list):
                for item in para:
                    out += wrap(reading_text(item, entries), PAGE_WIDTH, "- ", "  ")
            else:
                out += wrap(reading_text(para, entries), PAGE_WIDTH)
            out.append("")
    for g in data["groups"]:
        out += ["## " + g["title"], ""]
        out += wrap(g["intro"], PAGE_WIDTH) + [""]
        for e in entries:
            if e.data["group"] == g["id"]:
                out.append(e.markdown())
    return "\n".join(out).rstrip("\n") + "\n"


def legend(data):
    """The notation of the examples, in short, for the end of a help text."""
    return "\n".join(wrap(plain(data["legend"]), TEXT_WIDTH)) + "\n"


def cpp_string(s):
    if ')gh"' in s:
        raise DataError('an entry holds )gh"')
    return 'R"gh(' + s + ')gh"'


def cpp_source(data, entries):
    out = ["// The entries of `glyphhost help`, written by tools/gen_reference.py from",
           "// docs/functions.json and resources/catalogue.def.  Do not edit.",
           '#include "emulator/reference.h"', "", "namespace ghemu {", "",
           "const ReferenceEntry kReferenceEntries[] = {"]
    for e in entries:  # in the page's order, by group
        out.append("    {%d, %s, %s, %s, %s, %d, %s, %s}," % (
            e.number, json.dumps(e.name), json.dumps(e.group_title),
            json.dumps(e.data["summary"], ensure_ascii=False), "true" if e.built else "false",
            len(e.data["params"]), json.dumps(e.full_call()), cpp_string(e.text())))
    out += ["};", "const size_t kReferenceEntryCount = sizeof kReferenceEntries / sizeof kReferenceEntries[0];",
            "const char *const kReferenceLegend = " + cpp_string(legend(data)) + ";", "",
            "}  // namespace ghemu", ""]
    return "\n".join(out)


def example_cases(entries, by_name):
    """The examples as catalogue cases, and the names of the functions whose
    examples wait until they are built."""
    cases, pending = [], []
    for e in entries:
        for i, ex in enumerate(e.data["examples"]):
            unbuilt = [c for c in functions_called(ex) if not by_name[c][2]]
            if unbuilt:
                pending.extend(c for c in unbuilt if c not in pending)
                continue
            case = {"name": "%s example %d" % (e.name, i + 1)}
            case.update(ex)
            cases.append(case)
    return cases, pending


def write_if_changed(path, text):
    try:
        with open(path, encoding="utf-8", newline="") as f:
            if f.read() == text:
                return
    except OSError:
        pass
    with open(path, "w", encoding="utf-8", newline="") as f:
        f.write(text)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--write", action="store_true", help="write docs/functions.md")
    ap.add_argument("--cpp", metavar="FILE", help="write the help entries as C++")
    ap.add_argument("--examples", metavar="FILE", help="write the examples as catalogue cases")
    args = ap.parse_args()
    try:
        data, entries, by_name = load()
        text = page(data, entries)
    except (DataError, KeyError) as e:
        sys.exit("gen_reference: %s" % e)
    if args.cpp:
        write_if_changed(args.cpp, cpp_source(data, entries))
    if args.examples:
        cases, pending = example_cases(entries, by_name)
        write_if_changed(args.examples, json.dumps({"cases": cases}, indent=1, ensure_ascii=False) + "\n")
        print("gen_reference: %d examples as cases" % len(cases))
        if pending:
            print("gen_reference: skipped the examples of functions not built yet: " + ", ".join(pending))
    if args.write:
        write_if_changed(PAGE, text)
    if not (args.cpp or args.examples or args.write):
        sys.stdout.flush()
        sys.stdout.buffer.write(text.encode("utf-8"))


if __name__ == "__main__":
    main()
