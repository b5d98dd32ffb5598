#!/usr/bin/env python3
"""Runs glyphhost command lines written as a transcript and compares what
they print with the lines written below them.

    run_commands.py [--both-builds] [--set NAME=VALUE]... FILE -- GLYPHHOST...

GLYPHHOST is how to start glyphhost (under wine: the runner, then the
program).  FILE is a transcript: in a Markdown file, the lines of its code
blocks; otherwise every line.

    $ glyphhost [OPTIONS] call NAME ARG...    a command, as typed in a POSIX shell
                                              (a line ending in \\ goes on below;
                                              "< PATH" at the end is its input)
    text: "abc"                               a line it prints on standard output
    bytes> 610d62                             one given by its bytes in hexadecimal
                                              (bytes> alone: an empty line)
    2> glyphhost: error: ...                  a line it prints on standard error
    exit 3                                    its exit status
    # ...                                     a note

A blank line or the next command ends a command's lines.  "…" in an
expected line stands for any characters.  The exit status is 0 unless given,
or 3 when a line says "no result set"; standard error must be exactly the
lines given (when none are given for status 3, it is not checked).  {tmp}
is a fresh folder, {here} the transcript's folder and {NAME} a value given
with --set, in commands and in expected lines.

--both-builds: a command that names no build (--build, --library) runs in
the wide build as written and again with --build byte, with the same
expected lines: the reference's examples hold in both builds unless they
say otherwise.
"""
import os
import re
import shlex
import subprocess
import sys
import tempfile


def transcript_lines(path):
    with open(path, encoding="utf-8") as f:
        lines = f.read().split("\n")
    if not path.endswith(".md"):
        return list(enumerate(lines, 1))
    out, inside = [], False
    for number, line in enumerate(lines, 1):
        if line.startswith("```"):
            inside = not inside
            out.append((number, ""))
        elif inside:
            out.append((number, line))
    return out


def commands(path):
    """[(line number, command text, expected stdout, expected stderr, status)]"""
    found = []
    current = None
    continuing = False
    for number, line in transcript_lines(path):
        if continuing:
            current["command"] += " " + line.strip()
            continuing = current["command"].endswith("\\")
            if continuing:
                current["command"] = current["command"][:-1].rstrip()
            continue
        if line.startswith("$ "):
            current = {"line": number, "command": line[2:].strip(), "out": [], "err": [], "status": None}
            found.append(current)
            continuing = current["command"].endswith("\\")
            if continuing:
                current["command"] = current["command"][:-1].rstrip()
        elif not line.strip():
            current = None
        elif current is None or line.startswith("#"):
            continue
        elif line.startswith("2> "):
            current["err"].append(line[3:])
        elif re.fullmatch(r"exit \d+", line):
            current["status"] = int(line.split()[1])
        elif line.startswith("bytes>"):
            current["out"].append(bytes.fromhex(line[6:]).decode("utf-8", "surrogateescape"))
        else:
            current["out"].append(line)
    return found


def matches(pattern, line):
    parts = pattern.split("…")
    return re.fullmatch(".*".join(re.escape(p) for p in parts), line, re.S) is not None


def lines_match(patterns, lines):
    return len(patterns) == len(lines) and all(matches(p, l) for p, l in zip(patterns, lines))


def run_once(command, stdin):
    with open(stdin, "rb") if stdin else open(os.devnull, "rb") as given:
        return subprocess.run(command, stdin=given, capture_output=True)


def main():
    args = sys.argv[1:]
    split = args.index("--")
    options, glyphhost = args[:split], args[split + 1:]
    both = "--both-builds" in options
    values = dict(o[6:].split("=", 1) for o in options if o.startswith("--set="))
    path = [o for o in options if not o.startswith("--")][0]
    values["here"] = os.path.dirname(os.path.abspath(path))
    failures = runs = retried = 0
    with tempfile.TemporaryDirectory() as tmp:
        values["tmp"] = tmp

        def fill(text):
            for name, value in values.items():
                text = text.replace("{%s}" % name, value)
            return text

        for c in commands(path):
            c["out"], c["err"] = [fill(line) for line in c["out"]], [fill(line) for line in c["err"]]
            text = fill(c["command"])
            words = shlex.split(text)
            stdin = None
            if len(words) > 2 and words[-2] == "<":
                stdin, words = words[-1], words[:-2]
            if not words or words[0] != "glyphhost":
                print("%s:%d: not a glyphhost command: %s" % (path, c["line"], text))
                failures += 1
                continue
            status = c["status"]
            if status is None:
                status = 3 if any(l == "no result set" or l.endswith(": no result set") for l in c["out"]) else 0
            variants = [words[1:]]
            if both and not any(w in ("--build", "--library") for w in words[1:words.index("call")
                                                                                 if "call" in words else 1]):
                variants.append(["--build", "byte"] + words[1:])
            for variant in variants:
                runs += 1
                done = run_once(glyphhost + variant, stdin)
                if done.returncode != 0 and not done.stdout and not done.stderr:
                    # glyphhost never fails silently (every non-zero status
                    # comes with a line on standard error); wine's loader
                    # now and then does, before the program starts.
                    retried += 1
                    done = run_once(glyphhost + variant, stdin)
                out = done.stdout.decode("utf-8", "surrogateescape").split("\n")
                err = done.stderr.decode("utf-8", "surrogateescape").split("\n")
                out, err = out[:-1] if out[-1] == "" else out, err[:-1] if err[-1] == "" else err
                problems = []
                if done.returncode != status:
                    problems.append("exit status %d, not %d" % (done.returncode, status))
                if not lines_match(c["out"], out):
                    problems.append("standard output:\n    " + "\n    ".join(out) +
                                    "\n  expected:\n    " + "\n    ".join(c["out"]))
                if (c["err"] or status != 3) and not lines_match(c["err"], err):
                    problems.append("standard error:\n    " + "\n    ".join(err) +
                                    "\n  expected:\n    " + "\n    ".join(c["err"]))
                if problems:
                    failures += 1
                    print("%s:%d: glyphhost %s\n  %s" % (path, c["line"], shlex.join(variant),
                                                         "\n  ".join(problems)))
    print("%d commands run, %d failed" % (runs, failures))
    if retried:
        print("%d silent start failures (no output at all) run again" % retried)
    return 1 if failures or not runs else 0


if __name__ == "__main__":
    sys.exit(main())
